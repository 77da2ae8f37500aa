// The Database listing: the store's counts and every setting that differs
// from its default.
#include "data/database_listing.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/model_store.h"

namespace {

const char* const kDashLine = "---------------------------------------------\n";

void print_store_counts(FILE* out, const KrigModel* kr, const KrigArray* ka) {
  if (kr->init.X) {
    fprintf(out, "Number of Observations :                %3d\n", kr->n[0]);
    fprintf(out, "Number of x Variables  :                %3d\n", kr->d[0]);
  }
  if (ka->initialized) {
    fprintf(out, "Number of y Variables  :                %3d\n", ka->nresp);
    fprintf(out, "Number of Constrained y Variables  :    %3d\n", ka->ncons);
  }
  if (kr->r[0] > 1) fprintf(out, "Number of Regression Terms:             %3d\n", kr->r[0]);
}

void print_stopping_rule(FILE* out, const Settings& s) {
  if (strcmp(s.StoppingCriterion, "tolerance") == 0) {
    fprintf(out, "StoppingAbsoluteTolerance:          %3.1e\n", s.StoppingAbsoluteTolerance);
    fprintf(out, "StoppingRelativeTolerance:          %3.1e\n", s.StoppingRelativeTolerance);
  } else if (strcmp(s.StoppingCriterion, "quantile") == 0) {
    fprintf(out, "GridSize:                               %3d\n", s.GridSize);
    fprintf(out, "StoppingQuantile:                   %3.1e\n", 0.01);
  }
}

void print_objective(FILE* out, const Settings& s) {
  if (!s.objective_set) return;
  if (s.objective_is_command)
    fprintf(out, "SystemCommandObjectiveFunction:\n\t%15s\n", s.ObjectiveFunction);
  else
    fprintf(out, "ObjectiveFunction:      %15s\n", s.ObjectiveFunction);
}

}  // namespace

void print_database(const KrigModel* models, const KrigArray* ka) {
  FILE* out = out_stream();
  const Settings& s = g_settings;
  const KrigModel* kr = &models[0];
  fputs(kDashLine, out);
  fputs("Database :\n", out);
  print_store_counts(out, kr, ka);
  fputs(s.RandomError ? "RandomError:                           TRUE\n"
                      : "RandomError:                          FALSE\n",
        out);
  fprintf(out, "Tries:                                  %3d\n", s.Tries);
  fprintf(out, "StoppingCriterion:               %10s\n", s.StoppingCriterion);
  if (s.Threads != default_thread_count())
    fprintf(out, "Threads:                                %3d\n", s.Threads);
  if (s.MleFrequency != 1) fprintf(out, "MleFrequency:                        %3d\n", s.MleFrequency);
  if (s.MlePercentage != 0.0)
    fprintf(out, "MlePercentage:                       %3.1e\n", s.MlePercentage);
  if (s.target_set)
    fprintf(out, "MinimizationTarget:                    %4.1e\n", s.MinimizationTarget);
  fprintf(out, "MleMaxObs:\t\t \t       %4d\n", s.MleMaxObs);
  if (strcmp(s.MleMethod, "simplex") != 0)
    fprintf(out, "MleMethod:                  %15s\n", s.MleMethod);
  if (s.MaxEvaluations != 0)
    fprintf(out, "MaxEvaluations:                      %3d\n", s.MaxEvaluations);
  if (s.ParallelEvaluations != 1)
    fprintf(out, "ParallelEvaluations:                 %3d\n", s.ParallelEvaluations);
  if (s.ObjectiveTimeout != 0)
    fprintf(out, "ObjectiveTimeout:                    %3d\n", s.ObjectiveTimeout);
  if (s.GlobalExpectedImprovement != 1)
    fprintf(out, "GlobalExpectedImprovement:              %3d\n", s.GlobalExpectedImprovement);
  print_stopping_rule(out, s);
  if (strcmp(s.CriterionOptimStart, "distanceneighbour") != 0)
    fprintf(out, "CriterionOptimStart:         %15s\n", s.CriterionOptimStart);
  if (strcmp(s.CriterionOptimMethod, "simplex") != 0)
    fprintf(out, "CriterionOptimMethod:       %15s\n", s.CriterionOptimMethod);
  if (s.CriterionOptimTries != -1 && s.CriterionOptimTries != 2 * kr->n[0])
    fprintf(out, "CriterionOptimTries:                    %3d\n", s.CriterionOptimTries);
  print_objective(out, s);
  fputs(kDashLine, out);
}
