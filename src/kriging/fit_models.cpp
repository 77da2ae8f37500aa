#include "kriging/fit_models.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/model_store.h"
#include "kriging/mle_tries.h"

namespace {

// Pairs of repeated points named in the warning before "and N more".
constexpr int kListedPairs = 5;

// Rows i < j of X (0-based) that are the same point and whose responses
// differ, each repeated row paired with the first row of its point.
std::vector<std::pair<int, int>> repeated_points_with_other_responses(const KrigModel* kr) {
  const int n = kr->n[0], d = kr->d[0];
  double* const* X = kr->X;
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  auto row_less = [X, d](int a, int b) {
    for (int l = 0; l < d; l++)
      if (X[a][l] != X[b][l]) return X[a][l] < X[b][l];
    return a < b;
  };
  std::sort(order.begin(), order.end(), row_less);
  auto same_point = [X, d](int a, int b) {
    for (int l = 0; l < d; l++)
      if (X[a][l] != X[b][l]) return false;
    return true;
  };
  std::vector<std::pair<int, int>> pairs;
  for (int k = 0; k < n;) {
    int end = k + 1;
    while (end < n && same_point(order[k], order[end])) end++;
    for (int e = k + 1; e < end; e++)
      if (kr->y[order[e]] != kr->y[order[k]]) pairs.push_back({order[k], order[e]});
    k = end;
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

// Without a random error the model interpolates: at a point observed twice
// with different responses it cannot, the correlation matrix is singular
// and the fit and its predictions there are not to be trusted.
void warn_of_repeated_points(const KrigModel* kr) {
  if (g_settings.RandomError) return;
  const std::vector<std::pair<int, int>> pairs = repeated_points_with_other_responses(kr);
  if (pairs.empty()) return;
  FILE* out = out_stream();
  const int count = static_cast<int>(pairs.size());
  fprintf(out, "WARNING: X rows");
  for (int i = 0; i < count && i < kListedPairs; i++)
    fprintf(out, "%s %d and %d", i > 0 ? "," : "", pairs[i].first + 1, pairs[i].second + 1);
  if (count > kListedPairs) fprintf(out, " (and %d more pairs)", count - kListedPairs);
  fprintf(out,
          " are the same point%s with different %s: a model without random error cannot pass "
          "through both. Set RandomError = TRUE, or average the responses of repeated points.\n",
          count > 1 ? "s" : "", kr->yname);
}

}  // namespace

void fit_all_models(KrigModel* models, KrigArray* ka) {
  FILE* out = out_stream();
  if (!check_initialized(models[0].init, "X", "y", nullptr, nullptr, nullptr, true)) return;
  if (!designs_are_usable(models, ka)) return;
  print_database(models, ka);
  const int ycount = ky_count(ka);
  if (ycount == 0) fprintf(out, "Sorry, no response variables.\n");
  // The tries of all y variables run together; what is printed meanwhile is
  // held back and comes out in order.
  FitBatch* batch = open_fit_batch();
  for (int i = 0; i < ycount; i++) {
    KrigModel* kr = &models[i];
    fprintf(out_stream(), "Fitting %s ... \n", kr->yname);
    // Every model gets X and y from the y read; a model without them is
    // reported and left alone rather than fitted on unset data.
    if (!check_initialized(kr->init, "X", "y", nullptr, nullptr, nullptr, true)) continue;
    // Missing or non-finite responses would be fitted as numbers; the model
    // keeps what it held and the other y variables are fitted.
    if (!responses_can_be_fitted(kr)) continue;
    warn_of_repeated_points(kr);
    add_to_fit_batch(batch, kr, 1);
  }
  run_fit_batch(batch);
}
