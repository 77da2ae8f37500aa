// Writes self-contained SVG pictures with plain fprintf: the document, text
// (escaped for XML), lines, rectangles, polylines, polygons and circles, and
// plot panels with a frame, round tick values, axis labels and a title.
// Elements with a coordinate that is not a finite number are left out, so
// that a written picture never holds "nan" or "inf".
#ifndef DORVE_DATA_SVG_WRITER_H_
#define DORVE_DATA_SVG_WRITER_H_

#include <cstdio>

// A file name ending in ".svg" asks for a picture instead of a table.
bool is_svg_name(const char* name);

struct SvgFile {
  FILE* f = nullptr;
  const char* name = nullptr;
};

// Creates the file and writes the document head (width x height pixels,
// white background). A file that cannot be created is reported with
// "ERROR: Could not create file <name>: <reason>." on the output stream and
// false is returned; the run goes on.
bool svg_begin(SvgFile* svg, const char* file_name, double width, double height);
// Closes the document and the file. A write that failed is reported as the
// matrix writer does ("ERROR: Could not write to file <name>: <reason>. The
// file is incomplete.") and false is returned.
bool svg_end(SvgFile* svg);

// Writes text with &, <, >, " and ' replaced by their XML entities.
void svg_write_escaped(FILE* f, const char* text);

// anchor: "start", "middle" or "end"; rotate in degrees about (x, y).
void svg_text(SvgFile* svg, double x, double y, const char* anchor, double size,
              const char* text, double rotate = 0.0);
void svg_line(SvgFile* svg, double x1, double y1, double x2, double y2, const char* stroke,
              double stroke_width, bool dashed = false);
void svg_rect(SvgFile* svg, double x, double y, double w, double h, const char* fill,
              const char* stroke, double fill_opacity = 1.0);
// The points whose coordinates are finite, joined.
void svg_polyline(SvgFile* svg, const double* xs, const double* ys, int count,
                  const char* stroke, double stroke_width);
void svg_polygon(SvgFile* svg, const double* xs, const double* ys, int count, const char* fill,
                 double fill_opacity);
void svg_circle(SvgFile* svg, double x, double y, double r, const char* fill,
                const char* stroke);

// Round tick values (steps of 1, 2 or 5 times a power of ten) inside
// [lo, hi], about target of them; at most max_ticks are stored. Returns
// how many were stored.
int nice_ticks(double lo, double hi, int target, double* ticks, int max_ticks);
// Widens [lo, hi] when it is empty or not finite, so that an axis can show it.
void widen_range(double* lo, double* hi);

// A plot area on the page (pixels) and the data ranges it shows.
struct SvgPanel {
  double left = 0, top = 0, width = 0, height = 0;
  double x_lo = 0, x_hi = 1, y_lo = 0, y_hi = 1;
};
double panel_x(const SvgPanel& p, double x);
double panel_y(const SvgPanel& p, double y);

// Draws the frame of the panel, the ticks with their values on both axes,
// the axis labels and the title above the panel.
void svg_panel_axes(SvgFile* svg, const SvgPanel& p, const char* title, const char* x_label,
                    const char* y_label);

// The colour of t in [0, 1] on a dark-blue to yellow scale, as "#rrggbb".
void svg_colour_scale(double t, char* colour, int capacity);

#endif  // DORVE_DATA_SVG_WRITER_H_
