// The sequential minimisation loop: refit schedule, stopping rule, the
// exchange with the objective program, the report, the growth of the
// models, ymin, and the loop as a whole on the example experiment.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "data/init_checks.h"
#include "data/model_matrices.h"
#include "fatal_test_support.h"
#include "kriging/predictor.h"
#include "seqmin/criterion_max.h"
#include "seqmin/evaluation_journal.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/exchange_file.h"
#include "seqmin/minimize_loop.h"
#include "seqmin/minimize_steps.h"
#include "seqmin_test_support.h"

using namespace seqmin_test;

namespace {

class SeqminLoop : public ::testing::Test {
 protected:
  void SetUp() override { reset_process_state(); }
  void TearDown() override { reset_process_state(); }
};

void set_objective(const char* text, bool is_command) {
  snprintf(g_settings.ObjectiveFunction, kObjectiveTextSize, "%s", text);
  g_settings.objective_set = true;
  g_settings.objective_is_command = is_command;
}

// Appends " 3.7" to the exchange file named as its argument.
const char* const kAppendScript = "#!/bin/sh\nprintf ' 3.7' >> \"$1\"\n";

// The Branin function computed by awk from the exchange file, appended to it
// (with Cost = Pressure + Temp after it when asked for).
std::string branin_script(bool with_cost) {
  std::string s =
      "#!/bin/sh\n"
      "awk '{ pi = 3.14159265358979; x1 = $2; x2 = $3;\n"
      "  q = x2 - 5.1 / (4 * pi * pi) * x1 * x1 + 5 / pi * x1 - 6;\n"
      "  printf \" %.12g\", q * q + 10 * (1 - 1 / (8 * pi)) * cos(x1) + 10";
  if (with_cost) s += "; printf \" %.12g\", x1 + x2";
  s += " }' \"$1\" > \"$1.new\"\ncat \"$1.new\" >> \"$1\"\n";
  return s;
}

// The 24-run Branin experiment over Pressure and Temp with the linear
// Cost = Pressure + Temp <= 8 that branin_script computes.
std::string experiment_dir() {
  return (std::filesystem::path(__FILE__).parent_path() / "data" / "linear_cost_experiment")
      .string();
}

}  // namespace

// ---- Refit schedule ----

TEST_F(SeqminLoop, RefitEveryIterationByDefaultAndEveryThirdWithFrequencyThree) {
  for (int it = 0; it < 7; it++) EXPECT_TRUE(do_mle(it, 30, 29)) << it;
  g_settings.MleFrequency = 3;
  std::vector<int> fits;
  for (int it = 0; it < 10; it++)
    if (do_mle(it, 30 + it, 30)) fits.push_back(it);
  EXPECT_EQ(fits, (std::vector<int>{0, 3, 6, 9}));
}

TEST_F(SeqminLoop, PercentageRefitsOnceTheDataGrewByThatFraction) {
  g_settings.MlePercentage = 0.5;
  for (int n = 21; n < 30; n++) EXPECT_FALSE(do_mle(n - 20, n, 20)) << n;
  EXPECT_TRUE(do_mle(10, 30, 20));
  // The first iteration always fits.
  EXPECT_TRUE(do_mle(0, 21, 20));
}

TEST_F(SeqminLoop, NoRefitFromMleMaxObsOnExceptTheFirstIteration) {
  g_settings.MleMaxObs = 40;
  EXPECT_TRUE(do_mle(5, 39, 38));
  EXPECT_FALSE(do_mle(5, 40, 39));
  EXPECT_FALSE(do_mle(1, 41, 40));
  EXPECT_TRUE(do_mle(0, 45, 1));
}

TEST_F(SeqminLoop, FrequencyBelowTenIsRaisedToTenAtOneHundredObservations) {
  g_settings.MleFrequency = 3;
  do_mle(4, 99, 98);
  EXPECT_EQ(g_settings.MleFrequency, 3);
  EXPECT_FALSE(do_mle(4, 100, 99));
  EXPECT_EQ(g_settings.MleFrequency, 10);
  EXPECT_TRUE(do_mle(10, 101, 100));
  g_settings.MleFrequency = 12;
  do_mle(1, 100, 99);
  EXPECT_EQ(g_settings.MleFrequency, 12);
}

TEST(SeqminLoopDeathTest, RefitScheduleWithoutAPreviousFitSizeIsACodeBug) {
  EXPECT_FATAL_EXIT(do_mle(1, 10, 0), ::testing::ExitedWithCode(1),
                    "do_mle: Code Bug , last_mle_n==0");
}

// ---- Stopping rule ----

TEST_F(SeqminLoop, ToleranceRuleIsAbsoluteOrRelativeToTheTarget) {
  EXPECT_TRUE(ConvergeCrit(5.0, 0.0009));
  EXPECT_FALSE(ConvergeCrit(0.0, 0.0011));
  EXPECT_TRUE(ConvergeCrit(-20.0, 0.019));
  EXPECT_FALSE(ConvergeCrit(-20.0, 0.021));
  g_settings.StoppingAbsoluteTolerance = 1e-6;
  g_settings.StoppingRelativeTolerance = 0.1;
  EXPECT_TRUE(ConvergeCrit(3.0, 0.29));
  EXPECT_FALSE(ConvergeCrit(3.0, 0.31));
}

TEST(SeqminLoopDeathTest, QuantileAndUnknownRulesEndTheRun) {
  reset_process_state();
  snprintf(g_settings.StoppingCriterion, kShortTextSize, "%s", "quantile");
  EXPECT_FATAL_EXIT(ConvergeCrit(1.0, 0.5), ::testing::ExitedWithCode(1),
                    "This option has been removed");
  snprintf(g_settings.StoppingCriterion, kShortTextSize, "%s", "order");
  EXPECT_FATAL_EXIT(ConvergeCrit(1.0, 0.5), ::testing::ExitedWithCode(1),
                    "ConvergeCrit: This method doesn't exist ");
  reset_process_state();
}

TEST_F(SeqminLoop, ConvergenceRunsAreCountedAndAnInterruptionIsReported) {
  Captured out;
  int conv = 0;
  conv = count_convergence(conv, 30, 1.0, 1e-4);
  conv = count_convergence(conv, 31, 1.0, 1e-4);
  EXPECT_EQ(conv, 2);
  EXPECT_EQ(out.text(), "");
  conv = count_convergence(conv, 32, 1.0, 0.5);
  EXPECT_EQ(conv, 0);
  EXPECT_EQ(out.text(), "Info : 3 Consecutive Convergences Interrupted\n");
  // A failure without a run in progress says nothing.
  conv = count_convergence(conv, 33, 1.0, 0.5);
  EXPECT_EQ(out.text(), "Info : 3 Consecutive Convergences Interrupted\n");
}

TEST_F(SeqminLoop, NoConvergenceIsCountedBelowTheMinimumSample) {
  g_settings.MinimumSample = 20;
  int conv = 2;
  for (int n = 10; n < 20; n++) {
    conv = count_convergence(conv, n, 1.0, 0.0);
    EXPECT_EQ(conv, 0);
  }
  EXPECT_EQ(count_convergence(0, 20, 1.0, 0.0), 1);
}

// ---- The exchange file ----

TEST_F(SeqminLoop, ExchangeFileHoldsTheCountAndThePointWithoutLineEnd) {
  ScratchDir dir;
  const double x[2] = {0.5, 1.25};
  write_exchange_file(2, x);
  EXPECT_EQ(read_file("dorve.temp"), "2  0.500000  1.250000 ");
}

// The value a coordinate's text reads back as is what the design stores; a
// rounding that would leave the range gives the exact text instead.
TEST_F(SeqminLoop, ExchangeCoordinateIsTheValueItsTextReadsBackAs) {
  char text[64];
  const double wide[2] = {0.0, 15.0};
  EXPECT_EQ(format_exchange_coordinate(12.808658332249669, wide, text, sizeof text), 12.808658);
  EXPECT_STREQ(text, "12.808658");
  const double edge[2] = {0.0, 1.0000006};
  EXPECT_EQ(format_exchange_coordinate(1.0000006, edge, text, sizeof text), 1.0000006);
  EXPECT_STREQ(text, "1.0000006");
}

TEST_F(SeqminLoop, ObjectiveCommandLineIsTheProgramAndTheFileOrTheCommandAsGiven) {
  char line[200];
  ASSERT_TRUE(objective_command_line("./sim", false, line, sizeof line));
  EXPECT_STREQ(line, "./sim dorve.temp");
  ASSERT_TRUE(objective_command_line("sh   run.sh   ", true, line, sizeof line));
  EXPECT_STREQ(line, "sh   run.sh   ");
  // A line that does not fit is refused, and nothing is written past the buffer.
  char small[12];
  memset(small, 'Z', sizeof small);
  char guard[4] = {'G', 'G', 'G', 0};
  EXPECT_FALSE(objective_command_line("./simulator", false, small, 8));
  EXPECT_EQ(small[8], 'Z');
  EXPECT_STREQ(guard, "GGG");
  // The longest objective text a setting can hold still fits the loop's line.
  std::string longest(kObjectiveTextSize - 1, 'a');
  char full[kObjectiveTextSize + 16];
  EXPECT_TRUE(objective_command_line(longest.c_str(), false, full, sizeof full));
}

TEST_F(SeqminLoop, ResponsesAreReadAfterTheLeadingCountAndPoint) {
  ScratchDir dir;
  double y[3] = {0, 0, 0};
  write_file("dorve.temp", "2  0.500000  1.250000  3.7");
  read_exchange_file(2, 1, y);
  EXPECT_EQ(y[0], 3.7);
  write_file("dorve.temp", "2\n0.5\t1.25\n-1e3 NA\tna 99 extra\n");
  read_exchange_file(2, 3, y);
  EXPECT_EQ(y[0], -1000.0);
  EXPECT_EQ(y[1], kNaMarker);
  EXPECT_EQ(y[2], kNaMarker);
}

TEST(SeqminLoopDeathTest, UnreadableResponsesEndTheRun) {
  ScratchDir dir;
  double y[2];
  write_file("dorve.temp", "2  0.500000  1.250000 ");
  EXPECT_FATAL_EXIT(
      read_exchange_file(2, 1, y), ::testing::ExitedWithCode(1),
      "sample_new_y: Possible reasons:\n\t\\(1\\) Minimization Function File does not "
      "exist in directory supplied. \n\t\\(2\\) Not enough values in  dorve.temp");
  write_file("dorve.temp", "2  0.5  1.25  3.7 ");
  EXPECT_FATAL_EXIT(read_exchange_file(2, 2, y), ::testing::ExitedWithCode(1), "Possible reasons");
  write_file("dorve.temp", "2  0.5  1.25  high");
  EXPECT_FATAL_EXIT(read_exchange_file(2, 1, y), ::testing::ExitedWithCode(1),
                    "Sample New Points: Not all new points can be interpreted as a number");
  write_file("dorve.temp", "2  0.5  1.25  3.7x");
  EXPECT_FATAL_EXIT(read_exchange_file(2, 1, y), ::testing::ExitedWithCode(1), "Sample New Points");
  std::filesystem::remove("dorve.temp");
  EXPECT_FATAL_EXIT(read_exchange_file(2, 1, y), ::testing::ExitedWithCode(1),
                    "sample_new_y: Can't open  dorve.temp for reading. ");
}

TEST_F(SeqminLoop, ObjectiveProgramAndObjectiveCommandBothAnswerThroughTheFile) {
  ScratchDir dir;
  write_executable("append.sh", kAppendScript);
  const double x[2] = {0.5, 1.25};
  double y[1] = {0.0};
  set_objective("./append.sh", false);
  sample_new_y(g_settings.ObjectiveFunction, 2, x, 1, y);
  EXPECT_EQ(y[0], 3.7);
  EXPECT_EQ(read_file("dorve.temp"), "2  0.500000  1.250000  3.7");
  y[0] = 0.0;
  set_objective("sh   append.sh   dorve.temp   ", true);
  sample_new_y(g_settings.ObjectiveFunction, 2, x, 1, y);
  EXPECT_EQ(y[0], 3.7);
}

TEST(SeqminLoopDeathTest, ObjectiveThatDoesNothingOrDoesNotExist) {
  ScratchDir dir;
  reset_process_state();
  const double x[2] = {0.5, 1.25};
  double y[1];
  set_objective("true", false);
  EXPECT_FATAL_EXIT(sample_new_y(g_settings.ObjectiveFunction, 2, x, 1, y),
                    ::testing::ExitedWithCode(1), "Possible reasons");
  set_objective("./no_such_simulator", false);
  EXPECT_FATAL_EXIT(
      sample_new_y(g_settings.ObjectiveFunction, 2, x, 1, y), ::testing::ExitedWithCode(1),
      "The objective command for dorve.temp exited with status 127 \\(the shell did not "
      "find the command\\)");
  reset_process_state();
}

// ---- The journal ----

// A journal file is replaced whole or not at all: a write that cannot
// complete leaves the previous version and no temporary file behind.
TEST_F(SeqminLoop, JournalFileIsReplacedWholeOrKeptAsItWas) {
  ScratchDir dir;
  double row0[2] = {0.1, -2.5e-7};
  double row1[2] = {3.0, 4.0};
  double* rows[2] = {row0, row1};
  StringSlot names[2] = {"a", "b"};
  const JournalMatrix one{1, 2, rows, names, "X Matrix"};
  ASSERT_TRUE(write_matrix_atomically("journal.mat", one));
  const std::string first = read_file("journal.mat");
  EXPECT_NE(first.find("    1         0.1    -2.5e-07  \n"), std::string::npos) << first;

  // A link planted at the name is neither written through nor replaced.
  const JournalMatrix two{2, 2, rows, names, "X Matrix"};
  std::filesystem::rename("journal.mat", "kept.mat");
  std::filesystem::create_symlink("kept.mat", "journal.mat");
  EXPECT_FALSE(write_matrix_atomically("journal.mat", two));
  EXPECT_EQ(read_file("kept.mat"), first);
  EXPECT_TRUE(std::filesystem::is_symlink("journal.mat"));
  std::filesystem::remove("journal.mat");
  ASSERT_TRUE(write_matrix_atomically("journal.mat", two));
  EXPECT_NE(read_file("journal.mat").find("    2           3           4  \n"), std::string::npos)
      << read_file("journal.mat");
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(".")) files += entry.is_regular_file();
  EXPECT_EQ(files, 2);
}

// ---- Report ----

TEST_F(SeqminLoop, ReportWithoutConstraints) {
  const Mat X = unit_design();
  Store store(X, {smooth_values(X)}, unit_box());
  MinimizeContext& c = store.use_as_context(-0.5);
  g_ymin = -0.25;
  const double x[2] = {0.25, 0.75};
  const double y[1] = {-0.25};
  Captured out;
  report_new_point(c, 10, 2, x, 1, y, 0.125, 0, false);
  EXPECT_EQ(out.text(),
            "xbest:     0.25000     0.75000 \n"
            "y(xbest): -2.50000e-01\n"
            "Criterion: 1.25000e-01 RelCrit: 2.50000e-01 ymin:-2.50000e-01 n= 11\n");
}

TEST_F(SeqminLoop, ReportWithConstraintsKeepsYminAndCountOnOneLine) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  store.constrain(1, kNaMarker, 1.2);
  MinimizeContext& c = store.use_as_context(0.5);
  g_ymin = 0.25;
  const double x[2] = {0.25, 0.75};
  const double y[2] = {0.25, 1.0};
  char p[32];
  snprintf(p, sizeof p, "%5.3f", prob_constraints_met(c, x));
  Captured out;
  report_new_point(c, 10, 2, x, 2, y, 0.125, 0, true);
  EXPECT_EQ(out.text(), std::string("xbest:     0.25000     0.75000 \n"
                                    "Responses at xbest:  2.500e-01  1.000e+00 \n"
                                    "Criterion:1.2500e-01 RelCrit:2.5000e-01 P(constr. met)=") +
                            p + " ymin:2.5000e-01n= 11\n" +
                            "WARNING: MinTarget< Minimal Sampled y Value\n");
}

// ---- Growth of the models and ymin ----

TEST_F(SeqminLoop, NewObservationJoinsEveryModelAndInvalidatesTheDecomposition) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  store.constrain(1, kNaMarker, 1.2);
  const double x[2] = {0.3, 0.3};
  const double y[2] = {-0.5, 0.6};
  append_observation(store.models, store.ka, x, y);
  for (int j = 0; j < 2; j++) {
    KrigModel* kr = &store.models[j];
    EXPECT_EQ(kr->n[0], 11);
    EXPECT_EQ(kr->alloc_n, 11);
    EXPECT_EQ(kr->X[10][0], 0.3);
    EXPECT_EQ(kr->X[10][1], 0.3);
    EXPECT_EQ(kr->X[9][0], 0.95);
    EXPECT_EQ(kr->y[10], y[j]);
    EXPECT_EQ(kr->y[0], j == 0 ? smooth_response(0.05, 0.45) : 0.5);
    EXPECT_EQ(kr->init.U + kr->init.R + kr->init.F, 0);
    EXPECT_EQ(kr->init.alpha, 1);
    // The grown model decomposes and predicts its new point.
    store.decompose(j);
    std::vector<double> p = {0.3, 0.3}, r(2);
    double* pp[1] = {p.data()};
    double* rp[1] = {r.data()};
    krigblup(kr, 1, pp, rp);
    EXPECT_NEAR(r[0], y[j], 1e-8);
  }
}

TEST_F(SeqminLoop, YminIsTheSmallestFeasibleResponse) {
  const Mat X = unit_design();
  std::vector<double> y = smooth_values(X);
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store plain(X, {y}, unit_box());
  calc_ymin(plain.ka, plain.models);
  const int at = static_cast<int>(std::min_element(y.begin(), y.end()) - y.begin());
  EXPECT_EQ(g_ymin, y[at]);
  EXPECT_EQ(g_ymin_index, at + 1);

  Store store(X, {y, cost}, unit_box());
  // Forbid the cheapest... the lowest response's point by its cost.
  store.constrain(1, kNaMarker, cost[at] - 1e-9);
  calc_ymin(store.ka, store.models);
  double feasible = 1e300;
  int feasible_at = -1;
  for (int i = 0; i < 10; i++)
    if (cost[i] <= cost[at] - 1e-9 && y[i] < feasible) feasible = y[i], feasible_at = i;
  ASSERT_GE(feasible_at, 0);
  EXPECT_EQ(g_ymin, feasible);
  EXPECT_EQ(g_ymin_index, feasible_at + 1);

  store.use_as_context(g_ymin);
  const double infeasible_better[2] = {feasible - 1.0, 5.0};
  update_ymin(store.ka, infeasible_better, 11);
  EXPECT_EQ(g_ymin, feasible);
  const double feasible_better[2] = {feasible - 1.0, 0.0};
  update_ymin(store.ka, feasible_better, 11);
  EXPECT_EQ(g_ymin, feasible - 1.0);
  EXPECT_EQ(g_ymin_index, 11);
}

TEST_F(SeqminLoop, RandomErrorUsesTheSmoothedValueOnceTheModelIsFitted) {
  const Mat X = unit_design();
  std::vector<double> y = smooth_values(X);
  Store store(X, {y}, unit_box());
  g_settings.RandomError = true;
  store.models[0].stochratio[0] = 0.8;
  store.decompose(0);
  calc_ymin(store.ka, store.models);
  const int at = g_ymin_index - 1;
  EXPECT_EQ(at, static_cast<int>(std::min_element(y.begin(), y.end()) - y.begin()));
  EXPECT_NE(g_ymin, y[at]);
  EXPECT_GT(g_ymin, y[at]);  // smoothing pulls the lowest value up
  // Not fitted yet: the observed value.
  store.models[0].init.var = 0;
  calc_ymin(store.ka, store.models);
  EXPECT_EQ(g_ymin, y[at]);
}

TEST(SeqminLoopDeathTest, NoFeasibleObservationEndsTheRun) {
  reset_process_state();
  const Mat X = unit_design();
  std::vector<double> cost(10, 5.0);
  Store store(X, {smooth_values(X), cost}, unit_box());
  store.constrain(1, kNaMarker, 1.0);
  EXPECT_FATAL_EXIT(calc_ymin(store.ka, store.models), ::testing::ExitedWithCode(1),
                    "Real_Minimum: Minimum of empty set of numbers");
}

// ---- Entry checks ----

TEST_F(SeqminLoop, EntryChecksNameWhatIsMissing) {
  const Mat X = unit_design();
  std::vector<double> cost;
  for (const auto& x : X) cost.push_back(x[0] + x[1]);
  Store store(X, {smooth_values(X), cost}, unit_box());
  store.constrain(1, kNaMarker, 1.2);
  {
    Captured out;
    EXPECT_FALSE(minimize_entry_checks(store.models, store.ka, false));
    EXPECT_EQ(out.text(), "Sorry, can't do that. Objective Function is not initialized.\n");
  }
  set_objective("./sim", false);
  {
    Captured out;
    EXPECT_TRUE(minimize_entry_checks(store.models, store.ka, false));
    EXPECT_EQ(out.text(), "");
  }
  store.models[1].init.theta = 0;
  store.models[1].init.var = 0;
  store.models[0].init.beta = 0;
  {
    Captured out;
    EXPECT_FALSE(minimize_entry_checks(store.models, store.ka, true));
    EXPECT_EQ(out.text(),
              "Sorry, can't do that. theta is not initialized.\n"
              "Sorry, can't do that. Stochastic Process Variance is not initialized.\n"
              "The previous message(s) refer to the constraints\n");
  }
  store.models[1].init.theta = store.models[1].init.var = 1;
  {
    Captured out;
    EXPECT_FALSE(minimize_entry_checks(store.models, store.ka, true));
    EXPECT_EQ(out.text(), "Sorry, can't do that. Regression Matrix is not initialized.\n");
  }
  // The unfitted check does not look at the fitted parameters.
  Captured out;
  EXPECT_TRUE(minimize_entry_checks(store.models, store.ka, false));
}

// A response holding NA, inf or nan can neither be fitted nor give ymin: both
// commands refuse it, after the lines of whatever else is missing.
TEST_F(SeqminLoop, EntryChecksRefuseAResponseHoldingNonFiniteValues) {
  const Mat X = unit_design();
  std::vector<double> y = smooth_values(X);
  y[3] = std::nan("");
  y[7] = kNaMarker;
  Store store(X, {y}, unit_box());
  set_objective("./sim", false);
  const std::string why =
      "Sorry, y holds missing or non-finite values: y1 (rows 4, 8). The model of y1 is not "
      "ready.\n";
  {
    Captured out;
    EXPECT_FALSE(minimize_entry_checks(store.models, store.ka, false));
    EXPECT_EQ(out.text(), why);
  }
  store.models[0].init.beta = 0;
  Captured out;
  EXPECT_FALSE(minimize_entry_checks(store.models, store.ka, true));
  EXPECT_EQ(out.text(), "Sorry, can't do that. Regression Matrix is not initialized.\n" + why);
}

// ---- The whole loop on the example experiment ----

namespace {

struct ExampleRun {
  int status = -1;
  int evaluations = 0;
  double ymin = 0.0;
  std::string output;
};

ExampleRun run_example(bool constrained) {
  ScratchDir dir;
  const std::string ex = experiment_dir();
  write_executable("objective.sh", branin_script(constrained));
  if (!constrained) {
    // The responses file without its Cost column.
    std::ifstream in(ex + "/responses.mat");
    std::string line, text = "Branin only\n\n-----------------\n Case     Branin\n-----------------\n";
    for (int row = 0; std::getline(in, line); row++) {
      std::istringstream fields(line);
      std::string label, branin;
      if (row >= 6 && fields >> label >> branin) text += " " + label + " " + branin + "\n";
    }
    write_file("responses.mat", text);
  }
  KrigModel* models = create_first_KrigModel();
  KrigArray* ka = create_KrigArray();
  start_placeholder_store(models, ka);
  ExampleRun run;
  {
    Captured out;
    EXPECT_EQ(read_x(models, (ex + "/design.mat").c_str()), 0);
    EXPECT_EQ(read_y(&models, ka,
                     constrained ? (ex + "/responses.mat").c_str() : "responses.mat"),
              0);
    EXPECT_EQ(read_xdescrip(models, ka, (ex + "/xdescription.mat").c_str()), 0);
    if (constrained) {
      EXPECT_EQ(read_ydescrip(&models, ka, (ex + "/ydescription.mat").c_str()), 0);
    }
    set_objective("./objective.sh", false);
    run.status = minimize_sequential(models, ka, false);
    run.output = out.text();
  }
  run.ymin = g_ymin;
  run.evaluations = models[0].n[0] - 24;
  free_model_store(ka, models);
  return run;
}

}  // namespace

TEST_F(SeqminLoop, FindsTheBraninMinimumOnTheExampleExperiment) {
  const ExampleRun run = run_example(false);
  EXPECT_EQ(run.status, kCriterionFound) << run.output;
  EXPECT_NEAR(run.ymin, 0.397887, 0.01 * 0.397887) << run.output;
  EXPECT_NE(run.output.find("Final MaxCriterion : "), std::string::npos);
  EXPECT_GT(run.evaluations, 0);
  EXPECT_EQ(run.output.find("Responses at xbest"), std::string::npos);
  std::cout << "[ info ] unconstrained: " << run.evaluations << " evaluations\n";
}

TEST_F(SeqminLoop, FindsTheFeasibleBraninMinimumUnderTheCostConstraint) {
  const ExampleRun run = run_example(true);
  EXPECT_EQ(run.status, kCriterionFound) << run.output;
  EXPECT_NEAR(run.ymin, 0.397887, 0.01 * 0.397887) << run.output;
  EXPECT_NE(run.output.find("Fitting Constraint Cost...\n"), std::string::npos);
  EXPECT_NE(run.output.find("Responses at xbest"), std::string::npos);
  std::cout << "[ info ] constrained: " << run.evaluations << " evaluations\n";
}
