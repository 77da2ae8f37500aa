#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "data/init_checks.h"
#include "data/model_store.h"
#include "fatal_test_support.h"
#include "interp/settings.h"
#include "numeric/random.h"

namespace {

// Runs a handler on a token list, returning what it printed.
template <typename Handler>
std::string run_line(Handler handler, std::vector<std::string> words) {
  std::vector<char*> tokens;
  for (auto& w : words) tokens.push_back(&w[0]);
  FILE* capture = tmpfile();
  FILE* saved = g_interp.out;
  g_interp.out = capture;
  handler(nullptr, tokens.data(), static_cast<int>(tokens.size()));
  g_interp.out = saved;
  std::string printed;
  rewind(capture);
  for (int c; (c = fgetc(capture)) != EOF;) printed += static_cast<char>(c);
  fclose(capture);
  return printed;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { g_settings = Settings(); }
  void TearDown() override { g_settings = Settings(); }
};

TEST_F(SettingsTest, RealOptionsPassThroughSinglePrecision) {
  run_line(equal_init, {"MlePercentage", "=", "0.1"});
  EXPECT_EQ(g_settings.MlePercentage, static_cast<double>(0.1f));
  EXPECT_NE(g_settings.MlePercentage, 0.1);
  run_line(equal_init, {"MinimizationTarget", "=", "-3.3"});
  EXPECT_EQ(g_settings.MinimizationTarget, static_cast<double>(-3.3f));
  EXPECT_TRUE(g_settings.target_set);
}

TEST_F(SettingsTest, RejectedValuesLeaveTheFieldUnchanged) {
  run_line(equal_init, {"GridSize", "=", "7"});
  EXPECT_EQ(run_line(equal_init, {"GridSize", "=", "-7"}),
            "Sorry, command ignored. GridSize>0 , integer.\n");
  EXPECT_EQ(g_settings.GridSize, 7);
  run_line(equal_init, {"StoppingRelativeTolerance", "=", "1"});
  EXPECT_EQ(g_settings.StoppingRelativeTolerance, 0.001);
}

TEST_F(SettingsTest, AbsoluteToleranceMustExceedTheOptimiserTolerance) {
  g_settings.OptTolAbs = 0.01;
  EXPECT_EQ(run_line(equal_init, {"StoppingAbsoluteTolerance", "=", "0.005"}),
            "Sorry, can't do so. You are attempting to set OptTolAbs >= StopTolAbs\n");
  EXPECT_EQ(run_line(equal_init, {"StoppingAbsoluteTolerance", "=", "0.02"}), "");
  EXPECT_EQ(g_settings.StoppingAbsoluteTolerance, static_cast<double>(0.02f));
}

TEST_F(SettingsTest, RandomSeedReseedsWithMultiples) {
  run_line(equal_init, {"RandomSeed", "=", "7"});
  double first = random_uniform();
  set_random_seeds(7, 14, 700);
  EXPECT_EQ(random_uniform(), first);
  set_random_seeds(10, 20, 1000);
}

TEST_F(SettingsTest, SystemCommandJoinsWordsWithThreeBlanks) {
  EXPECT_EQ(run_line(set_system_command_objective,
                     {"SystemCommandObjectiveFunction", "=", "a", "b"}),
            "SystemCommandObjectiveFunction = a   b   \n");
  EXPECT_STREQ(g_settings.ObjectiveFunction, "a   b   ");
  EXPECT_TRUE(g_settings.objective_set);
  EXPECT_TRUE(g_settings.objective_is_command);
}

TEST_F(SettingsTest, TooLongSystemCommandKeepsThePreviousObjective) {
  run_line(equal_init, {"ObjectiveFunction", "=", "./sim"});
  std::string word(70, 'w');
  EXPECT_EQ(run_line(set_system_command_objective,
                     {"SystemCommandObjectiveFunction", "=", word, word, word}),
            "ERROR: SystemCommandObjectiveFunction is too long.\n");
  EXPECT_STREQ(g_settings.ObjectiveFunction, "./sim");
  EXPECT_FALSE(g_settings.objective_is_command);
}

TEST_F(SettingsTest, ObjectiveFunctionNameIsBoundedToItsField) {
  std::string name(200, 'n');
  run_line(equal_init, {"ObjectiveFunction", "=", name});
  EXPECT_EQ(strlen(g_settings.ObjectiveFunction), static_cast<size_t>(kObjectiveTextSize - 1));
}

TEST(SettingsDeathTest, UnknownKeyIsACodeBug) {
  EXPECT_FATAL_EXIT(run_line(equal_init, {"Nonsense", "=", "1"}), ::testing::ExitedWithCode(1),
                    "Nonsense\nDORVE ERROR\\.\\.\\. \nequal_init: code bug,  missing option  \n");
}

TEST(InitChecks, DisplayNamesAndReports) {
  KrigInit init{};
  init.X = 1;
  char display[kDisplayNameSize];
  EXPECT_TRUE(initialized_check(init, "X", display));
  EXPECT_STREQ(display, "X");
  EXPECT_FALSE(initialized_check(init, "R", display));
  EXPECT_STREQ(display, "Correlation Matrix");
  EXPECT_FALSE(initialized_check(init, "var", display));
  EXPECT_STREQ(display, "Stochastic Process Variance");

  std::string printed = run_line(
      [&](KrigModel*, char**, int) {
        EXPECT_FALSE(check_initialized(init, "X", "beta", nullptr, "range", nullptr, true));
      },
      {});
  EXPECT_EQ(printed,
            "Sorry, can't do that. Regression Matrix is not initialized.\n"
            "Sorry, can't do that. Range for X is not initialized.\n");
}

TEST(InitChecks, FuncNameFollowsTheObjectiveSetting) {
  KrigInit init{};
  char display[kDisplayNameSize];
  g_settings = Settings();
  EXPECT_FALSE(initialized_check(init, "FuncName", display));
  EXPECT_STREQ(display, "Objective Function");
  g_settings.objective_set = true;
  EXPECT_TRUE(initialized_check(init, "FuncName", display));
  g_settings = Settings();
}

TEST(InitChecksDeathTest, UnknownKeyIsACodeBug) {
  KrigInit init{};
  char display[kDisplayNameSize];
  EXPECT_FATAL_EXIT(initialized_check(init, "Q", display), ::testing::ExitedWithCode(1),
                    "initialized_check code bug\\. Unrecognized option\\.");
}

}  // namespace
