// The kriging prediction and its mean squared error at a new point x
// together with their gradients with respect to x, for searches that climb
// the expected-improvement criterion with derivatives.
//
// With v = (1, r(x)), w = (0, y) and A+ = V diag(inveig) V' as in the
// predictor:
//   dyhat/dx_l = sum_i dr_i/dx_l q_i,           q = A+ w (fixed per design),
//   dMSE/dx_l  = -2 sigma2 sum_i dr_i/dx_l (A+ v)_i,
//   dr_i/dx_l  = -r_i theta_l p_l |x_l - X_il|^(p_l - 1) sign(x_l - X_il),
// with p_l = 2 - alpha_l. Where that derivative is not defined (x_l on a
// design coordinate with p_l <= 1, where r_i has a peak, or p_l = 0, where
// the factor is a constant) it is taken as 0; on the design coordinate with
// p_l > 1 it is 0 exactly. The value and the MSE are the predictor's up to
// rounding: the correlation's factors are summed in one exponent. r(x) and
// its slopes come from the kernel (kernel.h).
#ifndef DORVE_KRIGING_PREDICTOR_GRADIENT_H_
#define DORVE_KRIGING_PREDICTOR_GRADIENT_H_

#include <vector>

struct KrigModel;

// One design with its decomposition, and the work vectors of a prediction.
struct GradientPredictor {
  const KrigModel* kr = nullptr;
  double* const* Xs = nullptr;  // N x d observed points
  int N = 0;
  int d = 0;
  double* const* V = nullptr;     // (N + 1) x (N + 1) eigenvectors by column
  const double* inveig = nullptr;  // N + 1 reciprocal eigenvalues
  std::vector<double> b;           // V' w
  std::vector<double> q;           // A+ w
  std::vector<double> v, g, a, Av;  // work: v, V'v, inveig V'v, A+ v
  std::vector<double> slopes;       // work: N x d slopes of the distance powers
};

// A prediction at one point: the MSE is clipped at 0 (no warning) and the
// gradients hold d values each (left empty by a value-only prediction).
struct GradientPrediction {
  double yhat = 0.0;
  double mse = 0.0;
  std::vector<double> dyhat, dmse;
};

// Predicts from the N points Xs with values ys and the decomposition (V,
// inveig) of their augmented matrix, with kr's correlation parameters and
// sigma2. The storage must outlive the predictor.
void open_gradient_predictor(const KrigModel* kr, double* const* Xs, const double* ys, int N,
                             double* const* V, const double* inveig, GradientPredictor* p);

// Predicts from the model's own X, y and current decomposition (augR, inveig).
void open_model_gradient_predictor(const KrigModel* kr, GradientPredictor* p);

// The prediction at x (d values); with_gradient also fills the gradients.
void predict_with_gradient(GradientPredictor* p, const double* x, bool with_gradient,
                           GradientPrediction* out);

#endif  // DORVE_KRIGING_PREDICTOR_GRADIENT_H_
