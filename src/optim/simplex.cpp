#include "optim/simplex.h"

#include <cmath>

#include "numeric/storage.h"

namespace {

// The simplex being moved, its column sums and the scratch trial point.
struct Simplex {
  ObjectiveFunction f;
  void* ctx;
  int n;
  double** p;
  double* y;
  double* psum;
  double* trial;
  int evaluations;
};

void compute_column_sums(Simplex* s) {
  for (int j = 0; j < s->n; j++) {
    double sum = 0.0;
    for (int i = 0; i <= s->n; i++) sum += s->p[i][j];
    s->psum[j] = sum;
  }
}

// Tries the point on the line through vertex ihi and the centroid of the
// others, at the given factor (-1 reflects, 2 expands, 0.5 contracts). A
// strictly better trial replaces vertex ihi. Returns the trial value.
double simplex_trial(Simplex* s, int ihi, double factor) {
  const int n = s->n;
  const double fac1 = (1.0 - factor) / n;
  const double fac2 = fac1 - factor;
  double* worst = s->p[ihi];
  for (int j = 0; j < n; j++) s->trial[j] = s->psum[j] * fac1 - worst[j] * fac2;
  const double ytry = s->f(s->trial, n, s->ctx);
  s->evaluations++;
  if (ytry < s->y[ihi]) {
    s->y[ihi] = ytry;
    for (int j = 0; j < n; j++) {
      s->psum[j] += s->trial[j] - worst[j];
      worst[j] = s->trial[j];
    }
  }
  return ytry;
}

// Moves every vertex but the best halfway towards it.
void shrink_towards(Simplex* s, int ilo) {
  const int n = s->n;
  for (int i = 0; i <= n; i++) {
    if (i == ilo) continue;
    for (int j = 0; j < n; j++) s->p[i][j] = 0.5 * (s->p[i][j] + s->p[ilo][j]);
    s->y[i] = s->f(s->p[i], n, s->ctx);
  }
  s->evaluations += n;
  compute_column_sums(s);
}

}  // namespace

int simplex_minimize(ObjectiveFunction f, void* ctx, double ftol_abs, double ftol_rel,
                     int maxcount, int n, double** p, double* y) {
  if (n <= 0) return 0;
  Simplex s = {f, ctx, n, p, y, nullptr, nullptr, 0};
  alloc_real_vector(n, &s.psum);
  alloc_real_vector(n, &s.trial);
  compute_column_sums(&s);

  int ilo;
  for (;;) {
    // Rank: best (first of equal minima), worst and next-worst.
    int ihi, inhi;
    if (y[0] <= y[1]) {
      ihi = 1;
      inhi = 0;
    } else {
      ihi = 0;
      inhi = 1;
    }
    ilo = 0;
    for (int i = 0; i <= n; i++) {
      if (y[i] < y[ilo]) ilo = i;
      if (y[i] > y[ihi]) {
        inhi = ihi;
        ihi = i;
      } else if (y[i] > y[inhi] && i != ihi) {
        inhi = i;
      }
    }
    const double spread = y[ihi] - y[ilo];
    const double scale = 0.5 * fabs(y[ihi]) + 0.5 * fabs(y[ilo]);
    if (spread <= ftol_abs || spread <= ftol_rel * scale || s.evaluations >= maxcount) break;

    const double ytry = simplex_trial(&s, ihi, -1.0);
    if (ytry <= y[ilo]) {
      simplex_trial(&s, ihi, 2.0);
    } else if (ytry >= y[inhi]) {
      const double ysave = y[ihi];
      if (simplex_trial(&s, ihi, 0.5) >= ysave) shrink_towards(&s, ilo);
    }
  }

  double* row = p[0];
  p[0] = p[ilo];
  p[ilo] = row;
  const double value = y[0];
  y[0] = y[ilo];
  y[ilo] = value;

  free_real_vector(n, &s.trial);
  free_real_vector(n, &s.psum);
  return s.evaluations;
}
