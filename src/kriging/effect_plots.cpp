#include "kriging/effect_plots.h"

#include <cmath>
#include <cstdio>

#include "data/svg_writer.h"

namespace {

constexpr int kPanelsPerRow = 4;
constexpr double kPageMargin = 10.0;
constexpr double kCaptionHeight = 30.0;
constexpr double kHeadingHeight = 28.0;
// Space around a plot area for the tick values, axis labels and title.
constexpr double kLeft = 70.0, kTop = 36.0, kBottom = 56.0;
constexpr double kMainWidth = 240.0, kMainHeight = 180.0, kMainRight = 20.0;
constexpr double kJointSide = 200.0, kJointRight = 100.0;
constexpr int kColourSteps = 32;

const char* const kMainCaption =
    "Line: effect with the other x variables at the centre of their ranges. Band: +/- 2 "
    "standard errors. Grey: span of the design points; ticks: the design points.";
const char* const kJointCaption =
    "Colour: effect over the grid of the pair, the other x variables at the centre of their "
    "ranges. Dots: the design points.";

// Where the panels of a picture go: rows of at most four panels, each y
// variable starting a new row under its own heading.
struct PageLayout {
  int panels_per_model = 0, columns = 0, rows_per_model = 0;
  double cell_width = 0, cell_height = 0;
  double width = 0, height = 0;
};

PageLayout layout_page(int panels, int models, double cell_width, double cell_height) {
  PageLayout page;
  page.panels_per_model = panels;
  page.columns = panels < kPanelsPerRow ? panels : kPanelsPerRow;
  page.rows_per_model = (panels + kPanelsPerRow - 1) / kPanelsPerRow;
  page.cell_width = cell_width;
  page.cell_height = cell_height;
  const double caption_width = 900.0;
  page.width = 2 * kPageMargin + page.columns * cell_width;
  if (page.width < caption_width) page.width = caption_width;
  page.height = kCaptionHeight + models * (kHeadingHeight + page.rows_per_model * cell_height) +
                kPageMargin;
  return page;
}

// Top left corner of panel k of model m.
void cell_corner(const PageLayout& page, int m, int k, double* x, double* y) {
  const double model_top =
      kCaptionHeight + m * (kHeadingHeight + page.rows_per_model * page.cell_height);
  *x = kPageMargin + (k % kPanelsPerRow) * page.cell_width;
  *y = model_top + kHeadingHeight + (k / kPanelsPerRow) * page.cell_height;
}

void write_heading(SvgFile* svg, const PageLayout& page, int m, const char* text) {
  const double model_top =
      kCaptionHeight + m * (kHeadingHeight + page.rows_per_model * page.cell_height);
  svg_text(svg, kPageMargin, model_top + 20, "start", 15, text);
}

bool is_usable(double v) { return std::isfinite(v); }

// ---- Main effects ----

void main_effect_range(const EffectPlotModel& m, int l, double* lo, double* hi) {
  *lo = INFINITY;
  *hi = -INFINITY;
  for (int g = 0; g < m.G; g++) {
    const double* row = m.table[l * m.G + g];
    const double e = row[m.d], band = 2.0 * row[m.d + 1];
    if (!is_usable(e) || !is_usable(band)) continue;
    if (e - band < *lo) *lo = e - band;
    if (e + band > *hi) *hi = e + band;
  }
  widen_range(lo, hi);
  const double pad = 0.05 * (*hi - *lo);
  *lo -= pad;
  *hi += pad;
}

// The span of the design points in variable l, shaded, and a tick for each.
void draw_design_span(SvgFile* svg, const SvgPanel& p, const EffectPlotModel& m, int l) {
  double lo = INFINITY, hi = -INFINITY;
  for (int i = 0; i < m.n; i++) {
    const double v = m.X[i][l];
    if (!is_usable(v)) continue;
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  if (lo > hi) return;
  const double a = lo > p.x_lo ? lo : p.x_lo, b = hi < p.x_hi ? hi : p.x_hi;
  if (a <= b)
    svg_rect(svg, panel_x(p, a), p.top, panel_x(p, b) - panel_x(p, a), p.height, "#d9d9d9",
             "none", 0.6);
  const double bottom = p.top + p.height;
  for (int i = 0; i < m.n; i++) {
    const double v = m.X[i][l];
    if (is_usable(v) && v >= p.x_lo && v <= p.x_hi)
      svg_line(svg, panel_x(p, v), bottom, panel_x(p, v), bottom - 8, "#555555", 1.0);
  }
}

void draw_main_panel(SvgFile* svg, const EffectPlotModel& m, int l, double x0, double y0) {
  SvgPanel p;
  p.left = x0 + kLeft;
  p.top = y0 + kTop;
  p.width = kMainWidth;
  p.height = kMainHeight;
  p.x_lo = m.range[l][0];
  p.x_hi = m.range[l][1];
  widen_range(&p.x_lo, &p.x_hi);
  main_effect_range(m, l, &p.y_lo, &p.y_hi);
  draw_design_span(svg, p, m, l);
  const int G = m.G;
  double* xs = new double[2 * G];
  double* ys = new double[2 * G];
  for (int g = 0; g < G; g++) {
    const double* row = m.table[l * G + g];
    const double x = panel_x(p, row[l]);
    xs[g] = x;
    xs[2 * G - 1 - g] = x;
    ys[g] = panel_y(p, row[m.d] + 2.0 * row[m.d + 1]);
    ys[2 * G - 1 - g] = panel_y(p, row[m.d] - 2.0 * row[m.d + 1]);
  }
  svg_polygon(svg, xs, ys, 2 * G, "#9ecae1", 0.6);
  for (int g = 0; g < G; g++) ys[g] = panel_y(p, m.table[l * G + g][m.d]);
  svg_polyline(svg, xs, ys, G, "#08519c", 2.0);
  delete[] xs;
  delete[] ys;
  char title[80];
  snprintf(title, sizeof title, "%s by %s", m.yname, m.xlabels[l]);
  svg_panel_axes(svg, p, title, m.xlabels[l], m.yname);
}

// ---- Joint effects ----

// Lower and upper edge of grid cell g of G over [lo, hi]: half-way to the
// neighbouring grid values, the outer cells ending at the range.
void cell_edges(double lo, double hi, int G, int g, double* a, double* b) {
  const double half = 0.5 * (hi - lo) / (G - 1);
  const double v = lo + g * (hi - lo) / (G - 1);
  *a = g == 0 ? lo : v - half;
  *b = g == G - 1 ? hi : v + half;
}

void effect_extent(const EffectPlotModel& m, int first, int count, double* lo, double* hi) {
  *lo = INFINITY;
  *hi = -INFINITY;
  for (int r = first; r < first + count; r++) {
    const double e = m.table[r][m.d];
    if (!is_usable(e)) continue;
    if (e < *lo) *lo = e;
    if (e > *hi) *hi = e;
  }
  widen_range(lo, hi);
}

void draw_colour_bar(SvgFile* svg, const SvgPanel& p, double lo, double hi, const char* name) {
  const double x = p.left + p.width + 14, w = 14, step = p.height / kColourSteps;
  char colour[8];
  for (int k = 0; k < kColourSteps; k++) {
    svg_colour_scale((k + 0.5) / kColourSteps, colour, sizeof colour);
    svg_rect(svg, x, p.top + p.height - (k + 1) * step, w, step + 0.5, colour, "none");
  }
  svg_rect(svg, x, p.top, w, p.height, "none", "#333333");
  double ticks[16];
  const int count = nice_ticks(lo, hi, 5, ticks, 16);
  char text[32];
  for (int i = 0; i < count; i++) {
    const double y = p.top + p.height - (ticks[i] - lo) / (hi - lo) * p.height;
    svg_line(svg, x + w, y, x + w + 4, y, "#333333", 1.0);
    const double shown = std::fabs(ticks[i]) < 1e-9 * (hi - lo) ? 0.0 : ticks[i];
    snprintf(text, sizeof text, "%.6g", shown);
    svg_text(svg, x + w + 6, y + 3.5, "start", 10, text);
  }
  svg_text(svg, x + w + 60, p.top + p.height / 2, "middle", 12, name, -90.0);
}

void draw_joint_panel(SvgFile* svg, const EffectPlotModel& m, int l, int l2, int first,
                      double x0, double y0) {
  SvgPanel p;
  p.left = x0 + kLeft;
  p.top = y0 + kTop;
  p.width = kJointSide;
  p.height = kJointSide;
  p.x_lo = m.range[l][0];
  p.x_hi = m.range[l][1];
  p.y_lo = m.range[l2][0];
  p.y_hi = m.range[l2][1];
  widen_range(&p.x_lo, &p.x_hi);
  widen_range(&p.y_lo, &p.y_hi);
  const int G = m.G;
  double lo = 0, hi = 0;
  effect_extent(m, first, G * G, &lo, &hi);
  char colour[8];
  for (int a = 0; a < G; a++) {
    double xa = 0, xb = 0;
    cell_edges(p.x_lo, p.x_hi, G, a, &xa, &xb);
    for (int c = 0; c < G; c++) {
      const double e = m.table[first + a * G + c][m.d];
      if (!is_usable(e)) continue;
      double ya = 0, yb = 0;
      cell_edges(p.y_lo, p.y_hi, G, c, &ya, &yb);
      svg_colour_scale((e - lo) / (hi - lo), colour, sizeof colour);
      // Half a pixel more on each cell hides the seams between neighbours.
      svg_rect(svg, panel_x(p, xa), panel_y(p, yb), panel_x(p, xb) - panel_x(p, xa) + 0.5,
               panel_y(p, ya) - panel_y(p, yb) + 0.5, colour, "none");
    }
  }
  for (int i = 0; i < m.n; i++) {
    const double u = m.X[i][l], v = m.X[i][l2];
    if (u >= p.x_lo && u <= p.x_hi && v >= p.y_lo && v <= p.y_hi)
      svg_circle(svg, panel_x(p, u), panel_y(p, v), 2.5, "#ffffff", "#000000");
  }
  draw_colour_bar(svg, p, lo, hi, m.yname);
  char title[80];
  snprintf(title, sizeof title, "%s by %s and %s", m.yname, m.xlabels[l], m.xlabels[l2]);
  svg_panel_axes(svg, p, title, m.xlabels[l], m.xlabels[l2]);
}

}  // namespace

bool write_main_effects_svg(const char* file_name, const EffectPlotModel* models, int count) {
  const int d = count > 0 ? models[0].d : 0;
  const PageLayout page = layout_page(d > 0 ? d : 1, count, kLeft + kMainWidth + kMainRight,
                                      kTop + kMainHeight + kBottom);
  SvgFile svg;
  if (!svg_begin(&svg, file_name, page.width, page.height)) return false;
  svg_text(&svg, kPageMargin, 20, "start", 12, kMainCaption);
  char heading[80];
  for (int m = 0; m < count; m++) {
    snprintf(heading, sizeof heading, "Main effects on %s", models[m].yname);
    write_heading(&svg, page, m, heading);
    for (int l = 0; l < models[m].d; l++) {
      double x = 0, y = 0;
      cell_corner(page, m, l, &x, &y);
      draw_main_panel(&svg, models[m], l, x, y);
    }
  }
  return svg_end(&svg);
}

bool write_joint_effects_svg(const char* file_name, const EffectPlotModel* models, int count) {
  const int d = count > 0 ? models[0].d : 0;
  const int pairs = d * (d - 1) / 2;
  const PageLayout page = layout_page(pairs > 0 ? pairs : 1, count,
                                      kLeft + kJointSide + kJointRight,
                                      kTop + kJointSide + kBottom);
  SvgFile svg;
  if (!svg_begin(&svg, file_name, page.width, page.height)) return false;
  svg_text(&svg, kPageMargin, 20, "start", 12, kJointCaption);
  char heading[80];
  for (int m = 0; m < count; m++) {
    snprintf(heading, sizeof heading, "Joint effects on %s", models[m].yname);
    write_heading(&svg, page, m, heading);
    const int G = models[m].G;
    int k = 0;
    for (int l = 0; l < models[m].d; l++) {
      for (int l2 = l + 1; l2 < models[m].d; l2++, k++) {
        double x = 0, y = 0;
        cell_corner(page, m, k, &x, &y);
        draw_joint_panel(&svg, models[m], l, l2, k * G * G, x, y);
      }
    }
  }
  return svg_end(&svg);
}
