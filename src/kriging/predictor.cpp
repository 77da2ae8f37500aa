#include "kriging/predictor.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/ordered_tasks.h"
#include "base/settings.h"
#include "data/dumps.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "numeric/ordered_product.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

// Points whose vectors v share one pass over V.
constexpr int kPointBlock = 192;

// The raw results of a block of points: prediction and 1 - v'A+v (the MSE
// over sigma2, before the check of negative values), two per point.
void predict_block(KrigModel* kr, double* const* Xs, int N, double* const* V,
                   const double* inveig, const double* b, int count, double* const* points,
                   double* raw) {
  const int m = N + 1;
  const int d = kr->d[0];
  std::vector<double> vs(static_cast<size_t>(count) * m);  // rows v = (1, r(x))
  std::vector<double> gs(vs.size());                       // rows V'v
  std::vector<double> a(m);                                // V'v scaled by inveig
  for (int q = 0; q < count; q++) {
    double* v = &vs[static_cast<size_t>(q) * m];
    v[0] = 1.0;
    calcr(points[q], v + 1, Xs, kr->alpha, kr->theta, kr->stochratio[0], N, d);
  }
  if (count == 1)
    ordered_vector_times_matrix(vs.data(), m, V, m, gs.data());
  else
    ordered_rows_times_matrix(vs.data(), count, m, V, m, gs.data());
  for (int q = 0; q < count; q++) {
    const double* g = &gs[static_cast<size_t>(q) * m];
    for (int i = 0; i < m; i++) a[i] = g[i] * inveig[i];
    raw[2 * q] = dot_product(a.data(), m, b);
    raw[2 * q + 1] = 1.0 - dot_product(a.data(), m, g);
  }
}

// Predicts at every point from the decomposition (V, inveig) of the
// augmented matrix of the N observed points (Xs, ys). r_check_message is the
// fatal text for a model with more than one regression term.
void predict_points(KrigModel* kr, double* const* Xs, const double* ys, int N,
                    double* const* V, const double* inveig, int P, double* const* points,
                    double** result, const char* r_check_message) {
  // Only the intercept exists; anything else would not match V's order.
  if (kr->r[0] != 1) fatal_error(r_check_message);
  // calcr's own check, made once before the first point.
  const double s = kr->stochratio[0];
  if (P > 0 && !(s >= 0.0 && s <= 1.0))
    fatal_error_value("calcr: stochratio not within [0,1]", s, "stochratio: ");
  const int m = N + 1;
  std::vector<double> w(m), b(m);  // w = (0, y), b = V'w, the same for every point
  w[0] = 0.0;
  for (int i = 0; i < N; i++) w[i + 1] = ys[i];
  ordered_vector_times_matrix(w.data(), m, V, m, b.data());
  std::vector<double> raw(2 * static_cast<size_t>(P));
  const int blocks = (P + kPointBlock - 1) / kPointBlock;
  const auto block = [&](int k) {
    const int first = k * kPointBlock;
    const int count = P - first < kPointBlock ? P - first : kPointBlock;
    predict_block(kr, Xs, N, V, inveig, b.data(), count, points + first,
                  &raw[2 * static_cast<size_t>(first)]);
  };
  // The blocks are independent and print nothing, so they may share the
  // fit's threads; the checks below that may print run in point order.
  if (blocks > 1 && g_settings.Threads > 1) {
    std::vector<TaskRecord> records;
    run_ordered_tasks(blocks, g_settings.Threads, block, &records);
    put_out_in_order(records, out_stream());
  } else {
    for (int k = 0; k < blocks; k++) block(k);
  }
  for (int p = 0; p < P; p++) {
    result[p][0] = raw[2 * p];
    double mse = raw[2 * p + 1] * kr->sigma2[0];
    if (!(mse >= 0.0)) mse = check_mse(kr, mse, p);
    result[p][1] = sqrt(mse);
  }
}

}  // namespace

double check_mse(KrigModel* kr, double mse, int p) {
  // The MSE is sigma2 (1 - v' A+ v). Rounding and the eigenvalues that A+
  // takes as 0 leave it negative by up to about 1e-14 sigma2, more than 0.1
  // for responses of large magnitude. Only a shortfall below -0.1 that is
  // also below -0.1 sigma2 is impossible.
  if (mse < kMseImpossible && mse < kMseImpossible * kr->sigma2[0]) {
    FILE* out = out_stream();
    fprintf(out, "Observation Number  %d\n", p + 1);
    fprintf(out, "mse : %f\n", mse);
    emergency_dump(kr,
                   "krigblup,krigcov or mse_anyX: MSE in covariance is negative, possibly due to "
                   "scaling.");
  }
  if (mse < kMseWarn) {
    fprintf(out_stream(), "WARNING : MSE for obs. %d is %f.Set to zero.\n", p + 1, mse);
    return 0.0;
  }
  if (mse < 0.0) return 0.0;
  return mse;  // not a number: left for the caller to show
}

void krigblup(KrigModel* kr, int P, double* const* points, double** result) {
  predict_points(kr, kr->X, kr->y, kr->n[0], kr->augR, kr->inveig, P, points, result,
                 "krigblup(): regression model not dealt with, r>1 ");
}

void init_krigmse_anyX(AnyXState* state, KrigModel* kr, double* const* Xs, int N, int d, int r) {
  AnyXState& s = *state;
  check_invariant(!s.initialized, "init_krigmse_anyX: Code Bug : krigmse_anyX already initialized");
  s.initialized = true;
  s.N = N;
  s.r = r;
  alloc_real_matrix(N + r, N + r, &s.A);
  alloc_real_matrix(N, N, &s.R);
  alloc_real_matrix(N, r, &s.F);
  alloc_real_vector(N + r, &s.eig);
  alloc_real_vector(N + r, &s.inveig);
  calcF(N, r, s.F);
  calcR(Xs, kr->alpha, kr->theta, kr->stochratio[0], N, d, s.R);
  calc_augmR(N, r, s.R, s.F, s.A, s.eig, s.inveig);
}

void krigmse_anyX(const AnyXState* state, KrigModel* kr, double* const* Xs, const double* ys, int N,
                  int d, int P, double* const* points, double** result) {
  const AnyXState& s = *state;
  check_invariant(s.initialized,
                  "krigmse_anyX: Code Bug: function call without its initialization");
  check_invariant(d == kr->d[0], "mse_anyX : Code Bug : ad!= *kr->d");
  check_invariant(N == s.N, "krigmse_anyX: Code Bug : N differs from its initialization");
  predict_points(kr, Xs, ys, N, s.A, s.inveig, P, points, result,
                 "krigblup_anyXY(): regression model not dealt with, r>1 ");
}

void free_krigmse_anyX(AnyXState* state, int N, int r) {
  AnyXState& s = *state;
  check_invariant(s.initialized, "free_krigmse_anyX: Code Bug : mse_anyX was not initialized");
  check_invariant(N == s.N && r == s.r,
                  "free_krigmse_anyX: Code Bug : sizes differ from the initialization");
  free_real_matrix(N + r, N + r, &s.A);
  free_real_matrix(N, N, &s.R);
  free_real_matrix(N, r, &s.F);
  free_real_vector(N + r, &s.eig);
  free_real_vector(N + r, &s.inveig);
  s = AnyXState();
}
