#include "kriging/fit_models.h"

#include <cstdio>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/finite_checks.h"
#include "data/init_checks.h"
#include "data/model_store.h"
#include "kriging/mle_tries.h"

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
    add_to_fit_batch(batch, kr, 1);
  }
  run_fit_batch(batch);
}
