#include "optim/trafo.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"

namespace {

constexpr double kExpScale = 0.01;
constexpr double kSquareScale = 10.0;
constexpr double kExpLimit = 10000000.0;  // unbounded coordinate of the box ends

enum TrafoMethod { kTrafoExp, kTrafoSin, kTrafoSquare, kTrafoUnknown };

TrafoMethod method_from_name(const char* method) {
  if (method == nullptr) return kTrafoUnknown;
  if (strcmp(method, "exp") == 0) return kTrafoExp;
  if (strcmp(method, "sin") == 0) return kTrafoSin;
  if (strcmp(method, "square") == 0) return kTrafoSquare;
  return kTrafoUnknown;
}

// Every range row must be a proper interval, whatever the method except "square".
void check_ranges(int n, double* const* range, const char* message) {
  for (int j = 0; j < n; j++) {
    if (range[j][0] >= range[j][1]) fatal_error(message);
  }
}

void check_in_range(double x, double a, double b) {
  if (!(x >= a && x <= b)) {
    fprintf(out_stream(), "x:  %f lower: %f upper: %f \n", x, a, b);
    fatal_error("trafo_ab_inf: Matrix has elements out of [a,b] range ");
  }
}

double exp_forward(double x, double a, double b) {
  check_in_range(x, a, b);
  const double w = (x - a) / (b - a);
  double v;
  if (w == 1.0) {
    v = kExpLimit;
  } else if (w == 0.0) {
    v = -kExpLimit;
  } else {
    v = log(w / (1.0 - w)) / kExpScale;
  }
  if (fabs(v) > kExpLimit) v = (v > 0.0 ? kExpLimit : -kExpLimit);
  return v;
}

double sin_forward(double x, double a, double b) {
  check_in_range(x, a, b);
  const double s = 2.0 * (x - a) / (b - a) - 1.0;
  if (s < -1.0 || s > 1.0) {
    fprintf(out_stream(), "arcsin argument %f \n", s);
    fatal_error("krigfit, trafo_corpar: arcsin argument out of range");
  }
  return asin(s);
}

double square_forward(double x) {
  if (!(x >= 0.0)) {
    fatal_error("trafo_ab_inf: Attempt of (inverse) transformation 'square' with x<0");
  }
  return sqrt(kSquareScale * x);
}

double exp_backward(double y, double a, double b) {
  const double e = exp(kExpScale * y);
  // For y beyond the overflow of exp the ratio e/(e+1) is 1: the upper bound.
  const double ratio = std::isinf(e) ? 1.0 : e / (e + 1.0);
  return a + ratio * (b - a);
}

double sin_backward(double y, double a, double b) { return a + (sin(y) + 1.0) / 2.0 * (b - a); }

double square_backward(double y) { return y * y / kSquareScale; }

}  // namespace

void trafo_ab_inf(int m, int n, double* const* x, double* const* range, double** result,
                  const char* method) {
  const TrafoMethod which = method_from_name(method);
  if (which != kTrafoSquare) {
    check_ranges(n, range, "trafo_ab_inf: their are range intervals [a,b] with a>=b");
  }
  if (which == kTrafoUnknown) fatal_error("trafo_ab_inf: Not a valid transformation method.");
  for (int i = 0; i < m; i++) {
    for (int j = 0; j < n; j++) {
      const double v = x[i][j];
      switch (which) {
        case kTrafoExp:
          result[i][j] = exp_forward(v, range[j][0], range[j][1]);
          break;
        case kTrafoSin:
          result[i][j] = sin_forward(v, range[j][0], range[j][1]);
          break;
        default:
          result[i][j] = square_forward(v);
          break;
      }
    }
  }
}

void trafo_inf_to_ab(int m, int n, double* const* y, double* const* range, double** result,
                     const char* method) {
  const TrafoMethod which = method_from_name(method);
  if (which != kTrafoSquare) {
    check_ranges(n, range, "trafo_inf_to_ab: their are range intervals [a,b] with a>=b");
  }
  if (which == kTrafoUnknown) fatal_error("trafo_inf_ab: Not a valid transformation method.");
  for (int i = 0; i < m; i++) {
    for (int j = 0; j < n; j++) {
      const double v = y[i][j];
      switch (which) {
        case kTrafoExp:
          result[i][j] = exp_backward(v, range[j][0], range[j][1]);
          break;
        case kTrafoSin:
          result[i][j] = sin_backward(v, range[j][0], range[j][1]);
          break;
        default:
          result[i][j] = square_backward(v);
          break;
      }
    }
  }
}
