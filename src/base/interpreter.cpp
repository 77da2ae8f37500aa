#include "base/interpreter.h"

Interpreter g_interp;
thread_local FILE* t_out_capture = nullptr;
