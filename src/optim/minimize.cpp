#include "optim/minimize.h"

#include <cstring>

#include "base/messages.h"
#include "optim/powell.h"
#include "optim/simplex.h"

int minimize(ObjectiveFunction objective, void* ctx, double ftol_abs, double ftol_rel,
             int maxcount, int n, double** p, double* y, const char* method) {
  if (method != nullptr && strcmp(method, "simplex") == 0) {
    return simplex_minimize(objective, ctx, ftol_abs, ftol_rel, maxcount, n, p, y);
  }
  if (method != nullptr && strcmp(method, "powell") == 0) {
    if (n == 0) fatal_error("Minimize(Powell) : Dimension of ObjFunc is 0");
    return powell(objective, ctx, p[0], n, ftol_rel, maxcount, &y[0]);
  }
  fatal_error("minimize: Minimization method unknown");
}
