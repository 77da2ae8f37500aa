#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "data/dumps.h"
#include "data/model_store.h"
#include "data_test_support.h"
#include "fatal_test_support.h"

namespace {

// A three-run, two-variable model; with_fit adds y, parameters and a variance.
struct DumpModel {
  KrigModel kr;
  explicit DumpModel(bool with_fit) {
    memset(&kr, 0, sizeof kr);
    clear_KrigModel(&kr);
    default_KrigModel(&kr, 3, 2, 1);
    for (int i = 0; i < 3; i++) {
      kr.X[i][0] = i;
      kr.X[i][1] = 2.0 * i;
      kr.y[i] = 10.0 + i;
    }
    snprintf(kr.xlabels[0], kSlotLen, "speed");
    snprintf(kr.xlabels[1], kSlotLen, "load");
    kr.init.X = 1;
    if (!with_fit) return;
    snprintf(kr.yname, kYNameLen, "power");
    kr.init.y = 1;
    kr.alpha[0] = 0.5;
    kr.alpha[1] = 1.0;
    kr.theta[0] = 2.0;
    kr.theta[1] = 3.0;
    kr.init.alpha = kr.init.theta = 1;
    kr.beta[0] = 11.0;
    kr.init.beta = 1;
    kr.sigma2[0] = 4.0;
    kr.init.var = 1;
  }
  ~DumpModel() { free_KrigModel(&kr); }
};

const char* const kErrorFiles[] = {"error_x.mat", "error_y.mat", "error_beta.mat",
                                   "error_corpar.mat", "error_ydescrip.mat"};

TEST(DumpsDeathTest, EmergencyDumpWritesFiveFilesAndExits) {
  TempDir dir;
  DumpModel m(true);
  EXPECT_FATAL_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) exit(9);
        g_interp.out = stdout;
        emergency_dump(&m.kr, "krigblup,krigcov or mse_anyX: MSE in covariance is negative, "
                              "possibly due to scaling.");
      },
      ::testing::ExitedWithCode(1),
      "^Kobb's runtime errors \\.\\.\\. \nkrigblup,krigcov or mse_anyX: MSE in covariance is "
      "negative, possibly due to scaling\\. \nEmergency output of X,y,RegressionModel,"
      "StochasticProcessModeland yDescription\nNow exiting to system \\.\\.\\. \n $");
  for (const char* f : kErrorFiles) EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f;
  EXPECT_NE(read_file(dir.file("error_y.mat")).find("\n Case power \n"), std::string::npos);
  const std::string ydesc = read_file(dir.file("error_ydescrip.mat"));
  EXPECT_NE(ydesc.find("    1       power "), std::string::npos);
  EXPECT_EQ(ydesc.find("    2 "), std::string::npos);  // one row only
  EXPECT_NE(read_file(dir.file("error_corpar.mat")).find("Theta.power"), std::string::npos);
}

TEST(DumpsDeathTest, EmergencyDumpSkipsWhatIsMissing) {
  TempDir dir;
  DumpModel m(false);
  const std::string out = dir.file("out.txt");
  EXPECT_FATAL_EXIT(
      {
        if (chdir(dir.path().c_str()) != 0) exit(9);
        g_interp.out = fopen(out.c_str(), "w");
        emergency_dump(&m.kr, "stop");
      },
      ::testing::ExitedWithCode(1), "Now exiting to system");
  EXPECT_TRUE(std::filesystem::exists(dir.file("error_x.mat")));
  for (int i = 1; i < 5; i++) EXPECT_FALSE(std::filesystem::exists(dir.file(kErrorFiles[i])));
  EXPECT_EQ(read_file(out),
            "Writing to file error_x.mat.\n"
            "Sorry, can't do that. y is not initialized.\n"
            "Sorry, there are no RegressionCoefficients.\n"
            "Sorry, can't do that. theta is not initialized.\n"
            "Sorry, can't do that. alpha is not initialized.\n"
            "Sorry, there are no response variables.\n");
}

TEST(Dumps, TemporaryDumpWritesAndReturns) {
  TempDir dir;
  DumpModel m(true);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  std::string printed;
  {
    CapturedOutput out;
    EXPECT_TRUE(temp_dump(&m.kr, "Temporary storage of response with 100 observations."));
    printed = out.text();
  }
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(printed.rfind("Info : Output of matrices in temp files: \n\tX,y,RegressionModel,"
                          "StochasticProcessModel,yDescription\n",
                          0),
            0u);
  for (const char* f : {"temp_x.mat", "temp_y.mat", "temp_beta.mat", "temp_corpar.mat",
                        "temp_ydescrip.mat"})
    EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f;
  EXPECT_NE(read_file(dir.file("temp_beta.mat")).find("11.000000"), std::string::npos);
}

// A link planted at a dump name is not written through: the dump says so
// and writes the others.
TEST(Dumps, TemporaryDumpLeavesALinkAtItsNameAlone) {
  TempDir dir;
  DumpModel m(true);
  ASSERT_EQ(symlink("/dev/full", dir.file("temp_corpar.mat").c_str()), 0);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  bool written = true;
  std::string printed;
  {
    CapturedOutput out;
    written = temp_dump(&m.kr, "Temporary storage of response with 100 observations.");
    printed = out.text();
  }
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_FALSE(written);
  EXPECT_NE(printed.find("ERROR: temp_corpar.mat is a symbolic link, not a regular file: it is "
                         "not written.\n"),
            std::string::npos)
      << printed;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("temp_corpar.mat")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("temp_ydescrip.mat")));
}

}  // namespace
