#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "data/model_store.h"
#include "data_test_support.h"
#include "kriging/cv_plot.h"
#include "kriging/effect_plots.h"
#include "svg_test_support.h"

namespace {

// Effects of one y variable over three x variables on [0, 1], [10, 20] and
// [-1, 1], laid out as the effects tables are.
struct EffectsFixture {
  static constexpr int d = 3, G = 4, n = 5;
  std::vector<std::vector<double>> range_rows, x_rows, table_rows;
  std::vector<double*> range, X, table;
  StringSlot labels[d] = {"a<b", "speed", "c&d"};

  void point_rows(const std::vector<std::vector<double>>& rows, std::vector<double*>* out) {
    out->clear();
    for (const auto& r : rows) out->push_back(const_cast<double*>(r.data()));
  }

  EffectsFixture(bool joint) {
    range_rows = {{0, 1}, {10, 20}, {-1, 1}};
    for (int i = 0; i < n; i++)
      x_rows.push_back({0.2 * i, 11.0 + 2 * i, -0.8 + 0.3 * i});
    auto grid_value = [&](int l, int g) {
      return range_rows[l][0] + g * (range_rows[l][1] - range_rows[l][0]) / (G - 1);
    };
    auto add_row = [&](std::vector<double> coords) {
      double effect = 0.0;
      for (int l = 0; l < d; l++) effect += (l + 1) * coords[l] * coords[l];
      coords.push_back(effect);
      coords.push_back(0.1 + 0.01 * table_rows.size());
      table_rows.push_back(coords);
    };
    if (!joint) {
      for (int l = 0; l < d; l++)
        for (int g = 0; g < G; g++) {
          std::vector<double> c = {0.5, 15.0, 0.0};
          c[l] = grid_value(l, g);
          add_row(c);
        }
    } else {
      for (int l = 0; l < d; l++)
        for (int l2 = l + 1; l2 < d; l2++)
          for (int a = 0; a < G; a++)
            for (int b = 0; b < G; b++) {
              std::vector<double> c = {0.5, 15.0, 0.0};
              c[l] = grid_value(l, a);
              c[l2] = grid_value(l2, b);
              add_row(c);
            }
    }
    point_rows(range_rows, &range);
    point_rows(x_rows, &X);
    point_rows(table_rows, &table);
  }

  EffectPlotModel model(const char* yname) {
    EffectPlotModel m;
    m.yname = yname;
    m.d = d;
    m.G = G;
    m.n = n;
    m.range = range.data();
    m.X = X.data();
    m.xlabels = labels;
    m.table = table.data();
    return m;
  }
};

// Every number in the attributes of the picture is finite.
void expect_no_bad_numbers(const std::string& text) {
  EXPECT_EQ(count_of(text, "nan"), 0);
  EXPECT_EQ(count_of(text, "inf"), 0);
}

TEST(EffectPictures, MainEffectsHaveAPanelPerVariableAndModel) {
  TempDir dir;
  EffectsFixture f(false);
  const EffectPlotModel models[2] = {f.model("yield"), f.model("cost")};
  const std::string name = dir.file("effects.svg");
  ASSERT_TRUE(write_main_effects_svg(name.c_str(), models, 2));
  const std::string text = read_file(name);
  EXPECT_EQ(svg_nesting_problem(text), "");
  expect_no_bad_numbers(text);
  // A line and a band per panel, a rug tick per design point.
  EXPECT_EQ(count_of(text, "<polyline"), 6);
  EXPECT_EQ(count_of(text, "<polygon"), 6);
  EXPECT_EQ(count_of(text, "stroke=\"#555555\""), 6 * EffectsFixture::n);
  EXPECT_EQ(count_of(text, ">yield by a&lt;b</text>"), 1);
  EXPECT_EQ(count_of(text, ">cost by c&amp;d</text>"), 1);
  EXPECT_EQ(count_of(text, ">speed</text>"), 2);  // the x-axis labels
  EXPECT_EQ(count_of(text, ">Main effects on cost</text>"), 1);
  // The axis ticks of the second variable's range are round values.
  EXPECT_GE(count_of(text, ">12</text>"), 2);
  EXPECT_GE(count_of(text, ">20</text>"), 2);
}

TEST(EffectPictures, JointEffectsHaveAHeatMapPerPair) {
  TempDir dir;
  EffectsFixture f(true);
  const EffectPlotModel model = f.model("yield");
  const std::string name = dir.file("joint.svg");
  ASSERT_TRUE(write_joint_effects_svg(name.c_str(), &model, 1));
  const std::string text = read_file(name);
  EXPECT_EQ(svg_nesting_problem(text), "");
  expect_no_bad_numbers(text);
  EXPECT_EQ(count_of(text, ">yield by a&lt;b and speed</text>"), 1);
  EXPECT_EQ(count_of(text, ">yield by a&lt;b and c&amp;d</text>"), 1);
  EXPECT_EQ(count_of(text, ">yield by speed and c&amp;d</text>"), 1);
  // The design points on each of the three panels.
  EXPECT_EQ(count_of(text, "<circle"), 3 * EffectsFixture::n);
  // The lowest and the highest effect of a pair take the ends of the scale.
  EXPECT_GE(count_of(text, "fill=\"#440154\""), 3);
  EXPECT_GE(count_of(text, "fill=\"#fde725\""), 3);
}

TEST(CrossValidationPicture, PointsWithErrorBarsAndTheDiagonal) {
  TempDir dir;
  const double observed[4] = {1.0, 2.0, 3.0, 4.0};
  const double predicted[4] = {1.1, kNaMarker, 2.7, 4.2};
  const double std_error[4] = {0.1, 0.2, 0.3, 0.4};
  CvPlotSeries series[2];
  for (CvPlotSeries& s : series) {
    s.N = 4;
    s.observed = observed;
    s.predicted = predicted;
    s.std_error = std_error;
  }
  series[0].yname = "yield";
  series[1].yname = "\"cost\"";
  const std::string name = dir.file("cv.svg");
  ASSERT_TRUE(write_cross_validation_svg(name.c_str(), series, 2));
  const std::string text = read_file(name);
  EXPECT_EQ(svg_nesting_problem(text), "");
  expect_no_bad_numbers(text);
  // Three points per panel: the row without a prediction is left out.
  EXPECT_EQ(count_of(text, "<circle"), 6);
  EXPECT_EQ(count_of(text, "stroke=\"#6baed6\""), 6);
  EXPECT_EQ(count_of(text, "stroke-dasharray"), 2);
  EXPECT_EQ(count_of(text, ">observed &quot;cost&quot;</text>"), 1);
  EXPECT_EQ(count_of(text, ">predicted yield</text>"), 1);
  EXPECT_EQ(count_of(text, ">Cross-validation of yield</text>"), 1);
}

}  // namespace
