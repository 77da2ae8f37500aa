#include "kriging/predictor_gradient.h"

#include <cmath>

#include "base/messages.h"
#include "data/model_store.h"
#include "kriging/kernel.h"
#include "numeric/vecutil.h"

void open_gradient_predictor(const KrigModel* kr, double* const* Xs, const double* ys, int N,
                             double* const* V, const double* inveig, GradientPredictor* p) {
  // Only the intercept exists; anything else would not match V's order.
  if (kr->r[0] != 1) fatal_error("open_gradient_predictor: regression model not dealt with, r>1 ");
  const int m = N + 1;
  p->kr = kr;
  p->Xs = Xs;
  p->N = N;
  p->d = kr->d[0];
  p->V = V;
  p->inveig = inveig;
  p->b.assign(m, 0.0);
  p->q.assign(m, 0.0);
  p->v.assign(m, 0.0);
  p->g.assign(m, 0.0);
  p->a.assign(m, 0.0);
  p->Av.assign(m, 0.0);
  std::vector<double> w(m, 0.0);
  for (int i = 0; i < N; i++) w[i + 1] = ys[i];
  vector_times_matrix(w.data(), m, V, m, p->b.data());
  std::vector<double> scaled(p->b);
  scale_vector_elementwise(inveig, m, scaled.data());
  matrix_times_vector(m, V, m, scaled.data(), p->q.data());
}

void open_model_gradient_predictor(const KrigModel* kr, GradientPredictor* p) {
  open_gradient_predictor(kr, kr->X, kr->y, kr->n[0], kr->augR, kr->inveig, p);
}

namespace {

// v[1..N] = r(x) as calcr defines it, with one exponential per design
// point, and, when slopes is not null, slopes[i d + l] = d|x_l - X_il|^p_l / dx_l
// from the same powers.
void correlations(GradientPredictor* p, const double* x, double* slopes) {
  const KrigModel* kr = p->kr;
  kernel_correlations_with_slopes(p->Xs, p->N, x, kr->alpha, kr->theta, p->d, kr->stochratio[0],
                                  p->v.data() + 1, slopes);
}

// out = V' v row by row: the same sums, in the same order, as
// vector_times_matrix, with the rows read along their storage.
void transpose_times(double* const* V, int m, const double* v, double* out) {
  for (int k = 0; k < m; k++) out[k] = 0.0;
  for (int j = 0; j < m; j++) {
    const double vj = v[j];
    const double* row = V[j];
    for (int k = 0; k < m; k++) out[k] += vj * row[k];
  }
}

}  // namespace

void predict_with_gradient(GradientPredictor* p, const double* x, bool with_gradient,
                           GradientPrediction* out) {
  const KrigModel* kr = p->kr;
  const int m = p->N + 1, d = p->d;
  double* v = p->v.data();
  v[0] = 1.0;
  if (with_gradient) p->slopes.resize(static_cast<size_t>(p->N) * d);
  correlations(p, x, with_gradient ? p->slopes.data() : nullptr);
  transpose_times(p->V, m, v, p->g.data());
  copy_real_vector(m, p->g.data(), p->a.data());
  scale_vector_elementwise(p->inveig, m, p->a.data());
  out->yhat = dot_product(p->a.data(), m, p->b.data());
  const double mse = (1.0 - dot_product(p->a.data(), m, p->g.data())) * kr->sigma2[0];
  out->mse = mse > 0.0 ? mse : 0.0;
  if (!with_gradient) return;

  matrix_times_vector(m, p->V, m, p->a.data(), p->Av.data());
  out->dyhat.assign(d, 0.0);
  out->dmse.assign(d, 0.0);
  for (int i = 0; i < p->N; i++) {
    const double* slope = &p->slopes[static_cast<size_t>(i) * d];
    const double q = p->q[i + 1] * v[i + 1], av = p->Av[i + 1] * v[i + 1];
    for (int l = 0; l < d; l++) {
      // dr_i/dx_l = -r_i theta_l slope_il
      const double dr = -kr->theta[l] * slope[l];
      out->dyhat[l] += dr * q;
      out->dmse[l] += dr * av;
    }
  }
  for (int l = 0; l < d; l++) out->dmse[l] *= -2.0 * kr->sigma2[0];
}
