#include "seqmin/minimize_stage.h"

#include <cmath>
#include <cstdio>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/settings.h"
#include "data/database_listing.h"
#include "data/init_checks.h"
#include "data/matrix_writer.h"
#include "data/model_store.h"
#include "kriging/correlation.h"
#include "numeric/storage.h"
#include "seqmin/criterion_max.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/minimize_steps.h"
#include "seqmin/stage_proposal.h"

namespace {

const char* const kDashes56 = "--------------------------------------------------------\n";

// The printed criterion: the g-th root that brings a generalised criterion
// back to the scale of the response. The probability of improvement (g = 0)
// is printed as it is.
double printable_criterion(double best) {
  const int g = g_settings.GlobalExpectedImprovement;
  if (g == 0) return best;
  return pow(best, 1.0 / static_cast<double>(g));
}

void report_stage_point(const MinimizeContext& c, const double* x, int d, double best, int N) {
  FILE* out = out_stream();
  print_real_vector(d, x, "xbest :");
  const double printed = printable_criterion(best);
  fprintf(out, "Criterion: %10g ", printed);
  fprintf(out, "RelCrit:%6.4e ", printed / fabs(c.target));
  if (c.constraints) fprintf(out, "P(constraints met): %5.3f ", prob_constraints_met(c, x));
  fprintf(out, "n= %3d\n", N);
  fprintf(out, "%s", kDashes56);
}

void write_stage_design(const KrigModel* kr, int N, int d, double** S, const char* file) {
  if (is_screen(file)) {
    print_string_vector(d, kr->xlabels, "Labels:");
    print_real_matrix(N, d, S, "anyX", false);
    return;
  }
  fprintf(out_stream(), "Writing design points to '%s' file...\n", file);
  writemat(N, d, S, file, kr->xlabels, "", "MinimizeStage Matrix", 'w', false);
}

}  // namespace

int minimize_stage(KrigModel* models, KrigArray* ka, int n_new, const char* file) {
  if (!minimize_entry_checks(models, ka, true)) return -1;
  FILE* out = out_stream();
  KrigModel* resp = &models[ka->resp_index[0]];
  MinimizeContext c;
  c.models = models;
  c.ka = ka;
  c.constraints = ka->ncons > 0;
  if (ka->nresp > 1) print_info("MinimizeStage for first non - constraint only.");
  const int n = resp->n[0], d = resp->d[0];
  c.n_obs = n;
  c.d = d;

  calc_ymin(ka, models);
  if (g_settings.target_set) {
    c.target = g_settings.MinimizationTarget;
    if (g_ymin < c.target) print_warning("MinTarget< Minimal Sampled y Value");
  } else {
    c.target = g_ymin;
    g_settings.MinimizationTarget = g_ymin;
  }
  print_database(models, ka);
  fprintf(out, "minimal y: %f", g_ymin);
  if (c.target != g_ymin) fprintf(out, " MinTarget: %f", c.target);
  fprintf(out, "\n");

  double best = 0.0;
  double* x = nullptr;
  alloc_real_vector(d, &x);
  StageDesign stage;
  open_stage(&c, resp, n_new, &stage);

  const int k = ky_count(ka);
  for (int j = 0; j < k; j++) {
    ensure_init(&models[j], "R");
    ensure_init(&models[j], "F");
    ensure_init(&models[j], "U");
  }

  int status = 0;
  for (int row = n; row < stage.rows; row++) {
    show_progress("MinimizeStage: point %d/%d", row - n + 1, n_new);
    status = propose_stage_point(&stage, resp, &best, x);
    if (status != 0) break;
    report_stage_point(c, x, d, best, stage_size(stage));
  }
  if (status == 0) write_stage_design(resp, stage_size(stage), d, stage.points, file);

  close_stage(&stage);
  free_real_vector(d, &x);
  return status;
}
