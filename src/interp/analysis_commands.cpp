#include "interp/analysis_commands.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/refusal_watch.h"
#include "kriging/cross_validation.h"
#include "kriging/effects.h"
#include "kriging/fit_models.h"
#include "kriging/prediction_matrix.h"
#include "seqmin/criterion_max.h"
#include "seqmin/minimize_loop.h"
#include "seqmin/minimize_stage.h"

namespace {

// ---- Predict ----
struct PredictFiles {
  const char* input = nullptr;
  const char* output = nullptr;
};

void print_usage() {
  say_on_standard_output("Usage: Predict {<input_filename} {>output_filename}\n");
}

void use_default_input(PredictFiles* f) {
  f->input = kPredictInput;
  print_info("Default input filename is used: xpred.mat");
}

void use_default_output(PredictFiles* f) {
  f->output = kPredictOutput;
  print_info("Default output filename is used: ypred.mat");
}

// The file names from the token list; false (after nothing printed) when the
// line does not have one of the accepted shapes.
bool parse_files(char** tokens, int count, PredictFiles* f) {
  if (count == 1) {
    use_default_input(f);
    use_default_output(f);
    return true;
  }
  if (count == 3) {
    if (strcmp(tokens[1], ">") == 0) {
      use_default_input(f);
      f->output = tokens[2];
      return true;
    }
    if (strcmp(tokens[1], "<") == 0) {
      f->input = tokens[2];
      use_default_output(f);
      return true;
    }
    return false;
  }
  if (count == 5) {
    if (strcmp(tokens[1], ">") == 0 && strcmp(tokens[3], "<") == 0) {
      f->output = tokens[2];
      f->input = tokens[4];
      return true;
    }
    if (strcmp(tokens[1], "<") == 0 && strcmp(tokens[3], ">") == 0) {
      f->input = tokens[2];
      f->output = tokens[4];
      return true;
    }
  }
  return false;
}

// ---- CrossValidate ----
bool is_cross_validate_line(int count, char** tokens) {
  if (strcmp(tokens[0], "CrossValidate") != 0) return false;
  if (count == 3) return strcmp(tokens[1], ">") == 0;
  if (count != 6) return false;
  const bool files_first = strcmp(tokens[1], "<") == 0 && strcmp(tokens[4], ">") == 0;
  const bool files_last = strcmp(tokens[1], ">") == 0 && strcmp(tokens[3], "<") == 0;
  return files_first || files_last;
}

// ---- MainEffects and JointEffects ----
// The command shape shared by both commands.
bool effects_line_ok(char** tokens, int count, const char* usage) {
  if (count == 3 && strcmp(tokens[1], ">") == 0) return true;
  say_on_standard_output(usage);
  return false;
}

// ---- MinimizeStage ----
// An optional sign and the leading decimal digits; 0 without them. Values
// beyond the int range are held at its limits.
int leading_integer(const char* text) {
  const long v = strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

void Fit(KrigModel* models, KrigArray* ka, char**, int count) {
  if (count != 1) {
    fprintf(out_stream(),
            "Unexpected Input. No tokens should follow 'Fit' (other than comments).\n");
    return;
  }
  fit_all_models(models, ka);
}

void Predict(KrigModel* models, KrigArray* ka, char** tokens, int count) {
  PredictFiles files;
  if (!parse_files(tokens, count, &files)) {
    print_usage();
    return;
  }
  if (is_screen(files.input)) {
    fprintf(out_stream(), "Sorry, cannot input from the screen\n");
    print_usage();
    return;
  }
  predict_matrix(models, ka, files.input, files.output);
}

void CrossValidate(KrigModel* models, KrigArray* ka, char** tokens, int count) {
  if (!is_cross_validate_line(count, tokens)) {
    say("Usage: CrossValidate {< x_filename y_filename} > filename \n");
    return;
  }
  if (count == 3)
    cross_validate_all(models, ka, nullptr, nullptr, tokens[2]);
  else if (strcmp(tokens[1], "<") == 0)
    cross_validate_all(models, ka, tokens[2], tokens[3], tokens[5]);
  else
    cross_validate_all(models, ka, tokens[4], tokens[5], tokens[2]);
}

void MainEffects(KrigModel* models, KrigArray* ka, char** tokens, int count) {
  if (!effects_line_ok(tokens, count, "Usage: MainEffects > output_filename\n")) return;
  write_main_effects(models, ka, tokens[2]);
}

void JointEffects(KrigModel* models, KrigArray* ka, char** tokens, int count) {
  if (!effects_line_ok(tokens, count, "Usage: JointEffects > output_filename\n")) return;
  write_joint_effects(models, ka, tokens[2]);
}

void Minimize(KrigModel* models, KrigArray* ka, char**, int count, bool random_error) {
  if (count != 1) {
    fprintf(out_stream(), "Unexpected Input. No tokens should follow 'Minimize'\n");
    return;
  }
  const int status = minimize_sequential(models, ka, random_error);
  if (status == kCriterionNoneFound) print_warning("Couldn't find Expected Improvement > 0.0");
  if (status == kCriterionFewExplored)
    print_warning("Local Optimizer failed to make 3 successful searches");
}

void MinimizeStage(KrigModel* models, KrigArray* ka, char** tokens, int count) {
  if (count != 4 || strcmp(tokens[2], ">") != 0) {
    say_on_standard_output("Usage: MinimizeStage number_points  >output_filename\n");
    return;
  }
  const int n_new = leading_integer(tokens[1]);
  if (n_new <= 0) {
    fprintf(out_stream(), "Sorry, command ignored. Integer value needed for MinimizeStage.\n");
    return;
  }
  if (n_new > kMaxStagePoints) {
    fprintf(out_stream(), "Sorry, command ignored. At most %d points for MinimizeStage.\n",
            kMaxStagePoints);
    return;
  }
  minimize_stage(models, ka, n_new, tokens[3]);
}
