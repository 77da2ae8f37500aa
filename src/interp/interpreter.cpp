#include "interp/interpreter.h"

Interpreter g_interp;
