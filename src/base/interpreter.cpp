#include "base/interpreter.h"

Interpreter g_interp;
