#include "kriging/normal.h"

#include <cmath>

namespace {

constexpr double kUpperTailCutoff = 8.0;    // beyond: 1 - Phi rounds to 0 next to 1
constexpr double kLowerTailCutoff = 37.32;  // beyond: Phi itself underflows
constexpr double kSeriesLimit = 1.28;       // below: series form, above: continued fraction
constexpr double kDensityCutoff = 37.6;

}  // namespace

double normal_cdf(double x, int lower) {
  bool up = (lower != 0);
  double z = x;
  if (z < 0.0) {
    up = !up;
    z = -z;
  }
  double v;
  if (z <= kUpperTailCutoff || (!up && z <= kLowerTailCutoff)) {
    const double y = z * z / 2.0;
    if (z > kSeriesLimit) {
      v = 0.398942280385 * exp(-y) /
          (z - 3.8052e-8 +
           1.00000615302 /
               (z + 3.98064794e-4 +
                1.98615381364 /
                    (z - 0.151679116635 +
                     5.29330324926 /
                         (z + 4.8385912808 -
                          15.1508972451 /
                              (z + 0.742380924027 + 30.789933034 / (z + 3.99019417011))))));
    } else {
      v = 0.5 - z * (0.398942280444 -
                     0.399903438504 * y /
                         (y + 5.75885480458 -
                          29.8213557808 / (y + 2.62433121679 + 48.6959930692 / (y + 5.92885724438))));
    }
  } else {
    v = 0.0;
  }
  // v is the upper tail beyond z.
  return up ? 1.0 - v : v;
}

double normal_pdf(double x) {
  if (fabs(x) > kDensityCutoff) return 0.0;
  return exp(-x * x / 2.0) * 0.3989422804014327;
}

void ExpectedImprovement(double** M, double count, double, double y_ref) {
  for (int i = 0; i < count; i++) {
    const double yhat = M[i][0];
    const double s = M[i][1];
    double value = 0.0;
    if (s != 0.0) {
      const double u = (y_ref - yhat) / s;
      value = s * (u * normal_cdf(u, 1) + normal_pdf(u));
    }
    M[i][2] = value;
  }
}
