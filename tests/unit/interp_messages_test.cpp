#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/messages.h"
#include "base/refusal_watch.h"
#include "data_test_support.h"
#include "fatal_test_support.h"

namespace {

TEST(Printers, RealVectorBreaksAfterEverySixthValue) {
  double v[7] = {1, 2, 3, 4, 5, 6, 7};
  {
    CapturedOutput out;
    print_real_vector(6, v, "alpha:");
    EXPECT_EQ(out.text(),
              "alpha:     1.00000     2.00000     3.00000     4.00000     5.00000     6.00000 \n\n");
  }
  {
    CapturedOutput out;
    print_real_vector(7, v, "theta:");
    EXPECT_EQ(out.text(),
              "theta: \n    1.00000     2.00000     3.00000     4.00000     5.00000     6.00000 \n"
              "    7.00000 \n");
  }
  {
    CapturedOutput out;
    print_real_vector(0, v, "empty");
    EXPECT_EQ(out.text(), "empty \n");
  }
}

TEST(Printers, RealMatrixSeparatesRowsWithCommas) {
  double r0[3] = {1, 2, 3}, r1[3] = {-4, 5.5, 6};
  double* m[2] = {r0, r1};
  CapturedOutput out;
  print_real_matrix(2, 3, m, "M:", false);
  EXPECT_EQ(out.text(),
            "M: \n    1.00000     2.00000     3.00000 , \n   -4.00000     5.50000     6.00000 \n");
}

TEST(Printers, PreciseMatrixUsesFifteenDecimals) {
  double r0[1] = {0.1};
  double* m[1] = {r0};
  CapturedOutput out;
  print_real_matrix(1, 1, m, "P", true);
  EXPECT_EQ(out.text(), "P \n 0.100000000000000 \n");
}

TEST(Printers, StringVectorAndMatrix) {
  StringSlot v[7];
  for (int i = 0; i < 7; i++) snprintf(v[i], kSlotLen, "n%d", i);
  {
    CapturedOutput out;
    print_string_vector(7, v, "Labels:");
    EXPECT_EQ(out.text(),
              "Labels:          n0          n1          n2          n3          n4          n5 \n"
              "         n6 \n");
  }
  StringSlot row0[2] = {"a", "b"}, row1[2] = {"c", "d"};
  StringSlot* m[2] = {row0, row1};
  CapturedOutput out;
  print_string_matrix(2, 2, m, "");
  EXPECT_EQ(out.text(), " \na b , \nc d \n");
}

TEST(Notices, InfoAndWarningLines) {
  CapturedOutput out;
  print_info("Lower bounds on responses are assumed to be -infinity");
  print_warning("One MLE try failed to start");
  EXPECT_EQ(out.text(),
            "Info : Lower bounds on responses are assumed to be -infinity\n"
            "WARNING: One MLE try failed to start\n");
}

// The watch behind --strict: refusals are seen wherever they fall in the
// writes, warnings and the "no labels" heading of a shown table are not.
TEST(RefusalWatch, SeesRefusalLinesOnly) {
  FILE* sink = fopen("/dev/null", "w");
  ASSERT_NE(sink, nullptr);
  FILE* watched = open_refusal_watch(sink);
  ASSERT_NE(watched, nullptr);
  clear_refusals();
  fputs("WARNING: Correlation Matrix is singular.\nSorry, no labels at this time \n", watched);
  fputs("ErrorVariance ignored since no StochasticProcess Variance present\n", watched);
  fputs("Tries = 2\nCannot", watched);
  EXPECT_FALSE(refusal_seen());
  fputs(" parse this line. \n", watched);
  EXPECT_TRUE(refusal_seen());
  clear_refusals();
  fprintf(watched, "\n%s", "Sorr");
  fprintf(watched, "y, command ignored. Tries>0, integer.\n");
  EXPECT_TRUE(refusal_seen());
  fclose(watched);
}

TEST(FatalErrorsDeathTest, FixedFormsAndStatuses) {
  EXPECT_FATAL_EXIT(fatal_error("inverse : Singular matrix in routine ludcmp"),
                    ::testing::ExitedWithCode(1),
                    "^DORVE ERROR\\.\\.\\. \ninverse : Singular matrix in routine ludcmp \n"
                    "Now exiting to system \\.\\.\\. \n $");
  EXPECT_FATAL_EXIT(
      fatal_error_value("trafo_corpar: theta<0.0", -0.5, "theta[i]: "),
      ::testing::ExitedWithCode(2),
      "^DORVE error \\.\\.\\. \ntheta\\[i\\]:  -0\\.500000 \ntrafo_corpar: theta<0\\.0 \n"
      "Now exiting to system \\.\\.\\. \n $");
}

TEST(FatalErrorsDeathTest, OutputWrittenBeforeIsFlushed) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  EXPECT_FATAL_EXIT(
      {
        g_interp.out = fopen(path.c_str(), "w");
        fprintf(g_interp.out, "written before the error\n");
        fatal_error("stop");
      },
      ::testing::ExitedWithCode(1), "stop");
  EXPECT_EQ(read_file(path), "written before the error\n");
}

}  // namespace

// Every way a fatal error ends the run raises the typed error with the
// status the run ends with, and the text it prints.
TEST(FatalErrors, CarryTheirMessageAndStatus) {
  const auto raised = [](void (*trigger)()) {
    try {
      trigger();
    } catch (const FatalError& e) {
      return e;
    }
    FatalError none;
    none.message = "not raised";
    return none;
  };
  const FatalError a = raised([] { check_invariant(false, "grid(): Code Bug : <=1 on grid"); });
  EXPECT_EQ(a.message, "grid(): Code Bug : <=1 on grid");
  EXPECT_EQ(a.status, 1);
  const FatalError b = raised([] { fatal_error_value("Bad value", 2.5, "theta"); });
  EXPECT_EQ(b.message, "Bad value");
  EXPECT_EQ(fatal_error_text(b),
            "DORVE error ... \ntheta 2.500000 \nBad value \n"
            "Now exiting to system ... \n ");
  EXPECT_EQ(b.status, 2);
  const FatalError c = raised([] { end_run_after_error("MSE negative", 1); });
  EXPECT_EQ(c.message, "MSE negative");
  EXPECT_EQ(fatal_error_text(c), "");
  EXPECT_EQ(c.status, 1);
}
