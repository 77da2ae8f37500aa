#include "kriging/cv_plot.h"

#include <cmath>
#include <cstdio>

#include "data/model_store.h"
#include "data/svg_writer.h"

namespace {

constexpr int kPanelsPerRow = 3;
constexpr double kPageMargin = 10.0;
constexpr double kCaptionHeight = 30.0;
constexpr double kLeft = 70.0, kTop = 36.0, kBottom = 56.0, kRight = 24.0;
constexpr double kSide = 260.0;

const char* const kCaption =
    "Leave-one-out prediction against the observed value; bars: +/- 2 standard errors; "
    "dashed: y = x.";

bool point_is_shown(const CvPlotSeries& s, int i) {
  return s.predicted[i] != kNaMarker && std::isfinite(s.predicted[i]) &&
         std::isfinite(s.observed[i]) && std::isfinite(s.std_error[i]);
}

// One range for both axes, so that y = x is the diagonal of the panel.
void common_range(const CvPlotSeries& s, double* lo, double* hi) {
  *lo = INFINITY;
  *hi = -INFINITY;
  for (int i = 0; i < s.N; i++) {
    if (!point_is_shown(s, i)) continue;
    const double band = 2.0 * s.std_error[i];
    const double values[3] = {s.observed[i], s.predicted[i] - band, s.predicted[i] + band};
    for (double v : values) {
      if (v < *lo) *lo = v;
      if (v > *hi) *hi = v;
    }
  }
  widen_range(lo, hi);
  const double pad = 0.05 * (*hi - *lo);
  *lo -= pad;
  *hi += pad;
}

void draw_panel(SvgFile* svg, const CvPlotSeries& s, double x0, double y0) {
  SvgPanel p;
  p.left = x0 + kLeft;
  p.top = y0 + kTop;
  p.width = kSide;
  p.height = kSide;
  common_range(s, &p.x_lo, &p.x_hi);
  p.y_lo = p.x_lo;
  p.y_hi = p.x_hi;
  svg_line(svg, panel_x(p, p.x_lo), panel_y(p, p.y_lo), panel_x(p, p.x_hi), panel_y(p, p.y_hi),
           "#888888", 1.0, true);
  for (int i = 0; i < s.N; i++) {
    if (!point_is_shown(s, i)) continue;
    const double x = panel_x(p, s.observed[i]), band = 2.0 * s.std_error[i];
    svg_line(svg, x, panel_y(p, s.predicted[i] - band), x, panel_y(p, s.predicted[i] + band),
             "#6baed6", 1.5);
    svg_circle(svg, x, panel_y(p, s.predicted[i]), 3.0, "#08519c", "none");
  }
  char title[80], x_label[80], y_label[80];
  snprintf(title, sizeof title, "Cross-validation of %s", s.yname);
  snprintf(x_label, sizeof x_label, "observed %s", s.yname);
  snprintf(y_label, sizeof y_label, "predicted %s", s.yname);
  svg_panel_axes(svg, p, title, x_label, y_label);
}

}  // namespace

bool write_cross_validation_svg(const char* file_name, const CvPlotSeries* series, int count) {
  const int columns = count < kPanelsPerRow ? count : kPanelsPerRow;
  const int rows = (count + kPanelsPerRow - 1) / kPanelsPerRow;
  const double cell_width = kLeft + kSide + kRight, cell_height = kTop + kSide + kBottom;
  double width = 2 * kPageMargin + columns * cell_width;
  if (width < 620.0) width = 620.0;
  const double height = kCaptionHeight + rows * cell_height + kPageMargin;
  SvgFile svg;
  if (!svg_begin(&svg, file_name, width, height)) return false;
  svg_text(&svg, kPageMargin, 20, "start", 12, kCaption);
  for (int k = 0; k < count; k++)
    draw_panel(&svg, series[k], kPageMargin + (k % kPanelsPerRow) * cell_width,
               kCaptionHeight + (k / kPanelsPerRow) * cell_height);
  return svg_end(&svg);
}
