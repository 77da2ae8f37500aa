// The readers of the named matrices against the store they fill, and the
// boundary comparisons of the data checks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data/model_matrices.h"
#include "data/model_store.h"
#include "data/output_matrices.h"
#include "data_test_support.h"
#include "numeric/storage.h"
#include "numeric_test_support.h"

namespace {

// A store as start-up leaves it, with the files of one experiment beside it.
class DataModelMatrices : public ::testing::Test {
 protected:
  TempDir dir;
  TrackingScope tracking{true};
  KrigModel* models = create_first_KrigModel();
  KrigArray* ka = create_KrigArray();

  DataModelMatrices() { start_placeholder_store(models, ka); }
  ~DataModelMatrices() override { free_model_store(ka, models); }

  std::string put(const std::string& name, const std::string& content) {
    const std::string path = dir.file(name);
    write_file(path, content);
    return path;
  }
  int x(const std::string& content) {
    CapturedOutput out;
    return read_x(models, ka, put("x.mat", content).c_str());
  }
  int y(const std::string& content) {
    CapturedOutput out;
    return read_y(&models, ka, put("y.mat", content).c_str());
  }
  int ydescription(const std::string& content) {
    CapturedOutput out;
    return read_ydescrip(&models, ka, put("yd.mat", content).c_str());
  }
};

const char kTwoByThree[] = "--\na b\n--\n1 2\n3 4\n5 6\n";

TEST_F(DataModelMatrices, YAfterADescriptionMayNotHaveMoreRowsThanX) {
  ASSERT_EQ(x(kTwoByThree), 0);
  ASSERT_EQ(ydescription("--\nVariable\n--\nout\n"), 0);
  ASSERT_EQ(models[0].nfixed, 0);
  EXPECT_EQ(y("--\nout\n--\n1\n2\n3\n4\n"), 6);
  EXPECT_EQ(models[0].init.y, 0);
  EXPECT_EQ(y("--\nout\n--\n1\n2\n3\n"), 0);
  EXPECT_EQ(models[0].y[2], 3.0);
}

TEST_F(DataModelMatrices, XWithOtherColumnsResetsEveryModelsParameters) {
  ASSERT_EQ(x(kTwoByThree), 0);
  ASSERT_EQ(y("--\np q\n--\n1 10\n2 20\n3 30\n"), 0);
  for (int i = 0; i < 2; i++) {
    KrigModel& kr = models[i];
    kr.alpha[0] = kr.alpha[1] = 1.5;
    kr.theta[0] = kr.theta[1] = 2.5;
    kr.loglik[0] = -3.0;
    kr.init.alpha = kr.init.theta = kr.init.beta = kr.init.var = kr.init.range = 1;
    kr.init.R = kr.init.U = 1;
  }
  ASSERT_EQ(x("--\na b c\n--\n1 2 3\n4 5 6\n7 8 9\n"), 0);
  for (int i = 0; i < 2; i++) {
    const KrigModel& kr = models[i];
    ASSERT_EQ(kr.d[0], 3) << i;
    EXPECT_EQ(kr.X[2][2], 9.0) << i;
    for (int p = 0; p < 3; p++) {
      EXPECT_EQ(kr.alpha[p], 0.0) << i;
      EXPECT_EQ(kr.theta[p], 0.0) << i;
    }
    EXPECT_EQ(kr.loglik[0], kNaMarker) << i;
    const KrigInit& f = kr.init;
    EXPECT_EQ(f.alpha + f.theta + f.beta + f.var + f.range + f.R + f.U, 0) << i;
    // Same rows: the responses still belong to the design.
    EXPECT_EQ(f.y, 1) << i;
    EXPECT_EQ(kr.y[2], i == 0 ? 3.0 : 30.0) << i;
  }
}

TEST_F(DataModelMatrices, XWithOtherRowsDropsTheResponsesOnly) {
  ASSERT_EQ(x(kTwoByThree), 0);
  ASSERT_EQ(y("--\np q\n--\n1 10\n2 20\n3 30\n"), 0);
  models[1].theta[0] = 2.5;
  models[1].init.theta = 1;
  ASSERT_EQ(x("--\na b\n--\n1 2\n3 4\n5 6\n7 8\n"), 0);
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(models[i].n[0], 4) << i;
    EXPECT_EQ(models[i].X[3][1], 8.0) << i;
    EXPECT_EQ(models[i].init.y, 0) << i;
  }
  EXPECT_EQ(models[1].init.theta, 1);
  EXPECT_EQ(models[1].theta[0], 2.5);
  EXPECT_EQ(y("--\np q\n--\n1 10\n2 20\n3 30\n4 40\n"), 0);
  EXPECT_EQ(models[1].y[3], 40.0);
}

TEST(DataChecks, DesignPointsOnTheirLimitsAreInRange) {
  double low_row[2] = {-1.0, 2.0};
  double high_row[2] = {1.0, 5.0};
  double* X[2] = {low_row, high_row};
  double r0[2] = {-1.0, 1.0};
  double r1[2] = {2.0, 5.0};
  double* range[2] = {r0, r1};
  EXPECT_EQ(check_x_range(2, 2, X, range), 0);
  high_row[1] = std::nextafter(5.0, 6.0);
  EXPECT_EQ(check_x_range(2, 2, X, range), 1);
  high_row[1] = 5.0;
  low_row[0] = std::nextafter(-1.0, -2.0);
  EXPECT_EQ(check_x_range(2, 2, X, range), 1);
}

TEST(DataChecks, ConstraintObservationOnItsMinIsNotAViolation) {
  double bounds[3] = {2.0, kNoUpperBound, 1.0};
  double* ydescrip[1] = {bounds};
  double value[1] = {2.0};
  double* Y[1] = {value};
  EXPECT_EQ(check_constraints(1, 1, Y, ydescrip), 0);
  value[0] = std::nextafter(2.0, 1.0);
  EXPECT_EQ(check_constraints(1, 1, Y, ydescrip), 1);
}

}  // namespace
