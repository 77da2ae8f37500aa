#include "interp/command_table.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "data/database_listing.h"
#include "data/model_store.h"
#include "data/named_matrices.h"
#include "interp/analysis_commands.h"
#include "interp/help.h"
#include "interp/matrix_commands.h"
#include "interp/settings.h"
#include "interp/study_commands.h"

namespace {

void run_fit(Session& s, char** tokens, int count) { Fit(*s.models, s.ka, tokens, count); }

void run_predict(Session& s, char** tokens, int count) {
  Predict(*s.models, s.ka, tokens, count);
}

// The loop reads the RandomError setting as it stands when the command starts.
void run_minimize(Session& s, char** tokens, int count) {
  Minimize(*s.models, s.ka, tokens, count, g_settings.RandomError);
}

void run_minimize_stage(Session& s, char** tokens, int count) {
  MinimizeStage(*s.models, s.ka, tokens, count);
}

void run_main_effects(Session& s, char** tokens, int count) {
  MainEffects(*s.models, s.ka, tokens, count);
}

void run_joint_effects(Session& s, char** tokens, int count) {
  JointEffects(*s.models, s.ka, tokens, count);
}

// "cv" is dispatched here too; the handler asks for the full name.
void run_cross_validate(Session& s, char** tokens, int count) {
  CrossValidate(*s.models, s.ka, tokens, count);
}

// A design set as X may create or resize models: the handler gets the address.
void run_design(Session& s, char** tokens, int count) { Design(s.models, s.ka, tokens, count); }

// The first answers may create the y variables, which moves the models' array.
void run_evaluate(Session& s, char** tokens, int count) { Evaluate(s.models, s.ka, tokens, count); }

// Reading y may move the models' array: the handler gets its address.
void run_inout(Session& s, char** tokens, int count) { inout(s.models, s.ka, tokens, count); }

void run_setting(Session& s, char** tokens, int count) { equal_init(*s.models, tokens, count); }

void run_system_command_objective(Session& s, char** tokens, int count) {
  set_system_command_objective(*s.models, tokens, count);
}

void run_database(Session& s, char**, int count) {
  if (count == 1)
    print_database(*s.models, s.ka);
  else
    fprintf(out_stream(),
            "Unexpected input. No tokens should follow 'database' (other than comments)\n");
}

void run_help(Session&, char**, int count) { print_help(count); }

// The registry stays on when this is the first command; the loop sees to
// that. Anywhere else it is a mistake.
void run_check_allocation(Session&, char**, int) {
  if (!g_interp.first_command)
    fprintf(out_stream(), "Sorry, check_allocation must be the first input command \n");
}

const char* const kFitNames[] = {"Fit", "f", nullptr};
const char* const kMinimizeNames[] = {"Minimize", "m", nullptr};
const char* const kPredictNames[] = {"Predict", "p", nullptr};
const char* const kMinimizeStageNames[] = {"MinimizeStage", nullptr};
const char* const kMainEffectsNames[] = {"MainEffects", nullptr};
const char* const kJointEffectsNames[] = {"JointEffects", nullptr};
const char* const kCrossValidateNames[] = {"CrossValidate", "cv", nullptr};
const char* const kDesignNames[] = {"Design", nullptr};
const char* const kEvaluateNames[] = {"Evaluate", nullptr};
const char* const kSystemCommandNames[] = {"SystemCommandObjectiveFunction", nullptr};
const char* const kDatabaseNames[] = {"database", "Database", nullptr};
const char* const kHelpNames[] = {"Info", "i", "info", "help", "Help", "h", nullptr};
const char* const kCheckAllocationNames[] = {"check_allocation", nullptr};
const char* const kQuitNames[] = {"Quit", "End", "quit", "end", "q", nullptr};

// Searched in order; the first row that holds the token wins.
const CommandRow kCommandTable[] = {
    {kFitNames, nullptr, run_fit},
    {kMinimizeNames, nullptr, run_minimize},
    {kPredictNames, nullptr, run_predict},
    {kMinimizeStageNames, nullptr, run_minimize_stage},
    {kMainEffectsNames, nullptr, run_main_effects},
    {kJointEffectsNames, nullptr, run_joint_effects},
    {kCrossValidateNames, nullptr, run_cross_validate},
    {kDesignNames, nullptr, run_design},
    {kEvaluateNames, nullptr, run_evaluate},
    {nullptr, is_matrix_command_word, run_inout},
    {nullptr, is_setting_word, run_setting},
    {kSystemCommandNames, nullptr, run_system_command_objective},
    {kDatabaseNames, nullptr, run_database},
    {kHelpNames, nullptr, run_help},
    {kCheckAllocationNames, nullptr, run_check_allocation},
    {kQuitNames, nullptr, nullptr},
};

bool row_has_name(const CommandRow& row, const char* token) {
  if (row.names == nullptr) return row.accepts(token);
  for (const char* const* name = row.names; *name != nullptr; name++)
    if (strcmp(*name, token) == 0) return true;
  return false;
}

}  // namespace

const CommandRow* find_command(const char* first_token) {
  for (const CommandRow& row : kCommandTable)
    if (row_has_name(row, first_token)) return &row;
  return nullptr;
}
