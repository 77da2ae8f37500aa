#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "data/svg_writer.h"
#include "data_test_support.h"
#include "svg_test_support.h"

namespace {

TEST(SvgWriter, OnlyNamesEndingInSvgAskForAPicture) {
  EXPECT_TRUE(is_svg_name("effects.svg"));
  EXPECT_TRUE(is_svg_name("out/cv.svg"));
  EXPECT_FALSE(is_svg_name(".svg"));
  EXPECT_FALSE(is_svg_name("effects.SVG"));
  EXPECT_FALSE(is_svg_name("effects.svg.mat"));
  EXPECT_FALSE(is_svg_name("screen"));
}

TEST(SvgWriter, NamesAreEscapedAndNonFiniteElementsLeftOut) {
  TempDir dir;
  SvgFile svg;
  ASSERT_TRUE(svg_begin(&svg, dir.file("a.svg").c_str(), 100, 50));
  svg_text(&svg, 1, 2, "start", 10, "a<b & \"c\" > 'd'");
  svg_line(&svg, 0, 0, NAN, 1, "#000000", 1);
  svg_circle(&svg, INFINITY, 0, 2, "#000000", "none");
  const double xs[3] = {0, NAN, 2}, ys[3] = {0, 1, 2};
  svg_polyline(&svg, xs, ys, 3, "#000000", 1);
  ASSERT_TRUE(svg_end(&svg));
  const std::string text = read_file(dir.file("a.svg"));
  EXPECT_EQ(svg_nesting_problem(text), "");
  EXPECT_NE(text.find(">a&lt;b &amp; &quot;c&quot; &gt; &apos;d&apos;</text>"), std::string::npos);
  EXPECT_EQ(count_of(text, "<line"), 0);
  EXPECT_EQ(count_of(text, "<circle"), 0);
  EXPECT_NE(text.find("points=\"0.00,0.00 2.00,2.00\""), std::string::npos);
  EXPECT_EQ(count_of(text, "nan"), 0);
  EXPECT_EQ(count_of(text, "inf"), 0);
}

TEST(SvgWriter, TicksAreRoundStepsInsideTheRange) {
  double ticks[16];
  const int count = nice_ticks(-5, 10, 5, ticks, 16);
  ASSERT_EQ(count, 8);
  for (int i = 0; i < count; i++) EXPECT_DOUBLE_EQ(ticks[i], -4.0 + 2.0 * i);
  ASSERT_EQ(nice_ticks(0.0, 0.3, 5, ticks, 16), 7);
  EXPECT_DOUBLE_EQ(ticks[6], 0.3);
  EXPECT_EQ(nice_ticks(1.0, 1.0, 5, ticks, 16), 0);
  EXPECT_EQ(nice_ticks(0.0, NAN, 5, ticks, 16), 0);
  double lo = 2.0, hi = 2.0;
  widen_range(&lo, &hi);
  EXPECT_LT(lo, 2.0);
  EXPECT_GT(hi, 2.0);
}

TEST(SvgWriter, AFileThatCannotBeCreatedIsReportedAndTheRunGoesOn) {
  TempDir dir;
  CapturedOutput captured;
  SvgFile svg;
  const std::string name = dir.file("missing/a.svg");
  EXPECT_FALSE(svg_begin(&svg, name.c_str(), 100, 50));
  EXPECT_EQ(captured.text(),
            "ERROR: Could not create file " + name + ": No such file or directory.\n");
}

TEST(SvgWriter, AFailedWriteIsReported) {
  CapturedOutput captured;
  SvgFile svg;
  ASSERT_TRUE(svg_begin(&svg, "/dev/full", 100, 50));
  EXPECT_FALSE(svg_end(&svg));
  EXPECT_EQ(captured.text(),
            "ERROR: Could not write to file /dev/full: No space left on device. The file is "
            "incomplete.\n");
}

}  // namespace
