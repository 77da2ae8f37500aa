#include "data/svg_writer.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "base/interpreter.h"
#include "base/safe_files.h"

namespace {

constexpr double kTickLength = 5.0;
constexpr double kTickFont = 10.0;
constexpr double kLabelFont = 12.0;
constexpr double kTitleFont = 13.0;

bool finite2(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// The points of a polyline or polygon, those with finite coordinates only.
void write_points(FILE* f, const double* xs, const double* ys, int count) {
  for (int i = 0; i < count; i++)
    if (finite2(xs[i], ys[i])) fprintf(f, "%s%.2f,%.2f", i > 0 ? " " : "", xs[i], ys[i]);
}

// A tick value as a short text: rounded to the tick step so that steps of
// 0.1 show as 0.3, not 0.30000000000000004.
void tick_text(double value, double step, char* text, int capacity) {
  if (std::fabs(value) < step * 1e-9) value = 0.0;
  snprintf(text, capacity, "%.6g", value);
}

double tick_step(const double* ticks, int count, double lo, double hi) {
  return count > 1 ? ticks[1] - ticks[0] : (hi - lo > 0 ? hi - lo : 1.0);
}

}  // namespace

bool is_svg_name(const char* name) {
  const size_t len = strlen(name);
  return len > 4 && strcmp(name + len - 4, ".svg") == 0;
}

bool svg_begin(SvgFile* svg, const char* file_name, double width, double height) {
  svg->name = file_name;
  svg->f = open_output_file(file_name, false);
  if (!svg->f) {
    fprintf(out_stream(), "ERROR: Could not create file %s: %s.\n", file_name, strerror(errno));
    return false;
  }
  fprintf(svg->f,
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
          "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\">\n",
          width, height, width, height);
  fprintf(svg->f, "<rect x=\"0\" y=\"0\" width=\"%.0f\" height=\"%.0f\" fill=\"#ffffff\"/>\n",
          width, height);
  return true;
}

bool svg_end(SvgFile* svg) {
  fputs("</svg>\n", svg->f);
  errno = 0;
  bool ok = fflush(svg->f) == 0 && !ferror(svg->f);
  int error = ok ? 0 : errno;
  if (fclose(svg->f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  svg->f = nullptr;
  if (!ok)
    fprintf(out_stream(), "ERROR: Could not write to file %s: %s. The file is incomplete.\n",
            svg->name, error != 0 ? strerror(error) : "write error");
  return ok;
}

void svg_write_escaped(FILE* f, const char* text) {
  for (const char* c = text; *c; c++) {
    switch (*c) {
      case '&': fputs("&amp;", f); break;
      case '<': fputs("&lt;", f); break;
      case '>': fputs("&gt;", f); break;
      case '"': fputs("&quot;", f); break;
      case '\'': fputs("&apos;", f); break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(*c) >= 0x20 || *c == '\t') fputc(*c, f);
    }
  }
}

void svg_text(SvgFile* svg, double x, double y, const char* anchor, double size,
              const char* text, double rotate) {
  if (!finite2(x, y)) return;
  fprintf(svg->f, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"%s\" font-size=\"%.0f\"", x, y,
          anchor, size);
  if (rotate != 0.0) fprintf(svg->f, " transform=\"rotate(%.0f %.2f %.2f)\"", rotate, x, y);
  fputc('>', svg->f);
  svg_write_escaped(svg->f, text);
  fputs("</text>\n", svg->f);
}

void svg_line(SvgFile* svg, double x1, double y1, double x2, double y2, const char* stroke,
              double stroke_width, bool dashed) {
  if (!finite2(x1, y1) || !finite2(x2, y2)) return;
  fprintf(svg->f,
          "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" "
          "stroke-width=\"%.1f\"%s/>\n",
          x1, y1, x2, y2, stroke, stroke_width, dashed ? " stroke-dasharray=\"5,4\"" : "");
}

void svg_rect(SvgFile* svg, double x, double y, double w, double h, const char* fill,
              const char* stroke, double fill_opacity) {
  if (!finite2(x, y) || !finite2(w, h)) return;
  fprintf(svg->f,
          "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\" "
          "fill-opacity=\"%.2f\" stroke=\"%s\"/>\n",
          x, y, w, h, fill, fill_opacity, stroke);
}

void svg_polyline(SvgFile* svg, const double* xs, const double* ys, int count,
                  const char* stroke, double stroke_width) {
  fputs("<polyline points=\"", svg->f);
  write_points(svg->f, xs, ys, count);
  fprintf(svg->f, "\" fill=\"none\" stroke=\"%s\" stroke-width=\"%.1f\"/>\n", stroke,
          stroke_width);
}

void svg_polygon(SvgFile* svg, const double* xs, const double* ys, int count, const char* fill,
                 double fill_opacity) {
  fputs("<polygon points=\"", svg->f);
  write_points(svg->f, xs, ys, count);
  fprintf(svg->f, "\" fill=\"%s\" fill-opacity=\"%.2f\" stroke=\"none\"/>\n", fill,
          fill_opacity);
}

void svg_circle(SvgFile* svg, double x, double y, double r, const char* fill,
                const char* stroke) {
  if (!finite2(x, y)) return;
  fprintf(svg->f, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.1f\" fill=\"%s\" stroke=\"%s\"/>\n", x,
          y, r, fill, stroke);
}

int nice_ticks(double lo, double hi, int target, double* ticks, int max_ticks) {
  if (!finite2(lo, hi) || hi <= lo || target < 1 || max_ticks < 1) return 0;
  const double raw = (hi - lo) / target;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / power;
  const double step = (fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0) *
                      power;
  const double first = std::ceil(lo / step - 1e-9);
  int count = 0;
  for (double k = first; count < max_ticks; k += 1.0) {
    const double value = k * step;
    if (value > hi + step * 1e-9) break;
    ticks[count++] = value;
  }
  return count;
}

void widen_range(double* lo, double* hi) {
  if (!finite2(*lo, *hi) || *lo > *hi) {
    *lo = 0.0;
    *hi = 1.0;
    return;
  }
  if (*hi - *lo <= 1e-12 * (std::fabs(*lo) + std::fabs(*hi))) {
    const double half = *lo == 0.0 ? 1.0 : std::fabs(*lo) * 0.1;
    *lo -= half;
    *hi += half;
  }
}

double panel_x(const SvgPanel& p, double x) {
  return p.left + (x - p.x_lo) / (p.x_hi - p.x_lo) * p.width;
}

double panel_y(const SvgPanel& p, double y) {
  return p.top + p.height - (y - p.y_lo) / (p.y_hi - p.y_lo) * p.height;
}

void svg_panel_axes(SvgFile* svg, const SvgPanel& p, const char* title, const char* x_label,
                    const char* y_label) {
  const double bottom = p.top + p.height;
  svg_rect(svg, p.left, p.top, p.width, p.height, "none", "#333333");
  double ticks[16];
  char text[32];
  int count = nice_ticks(p.x_lo, p.x_hi, 5, ticks, 16);
  double step = tick_step(ticks, count, p.x_lo, p.x_hi);
  for (int i = 0; i < count; i++) {
    const double x = panel_x(p, ticks[i]);
    svg_line(svg, x, bottom, x, bottom + kTickLength, "#333333", 1.0);
    tick_text(ticks[i], step, text, sizeof text);
    svg_text(svg, x, bottom + kTickLength + kTickFont + 1, "middle", kTickFont, text);
  }
  count = nice_ticks(p.y_lo, p.y_hi, 5, ticks, 16);
  step = tick_step(ticks, count, p.y_lo, p.y_hi);
  for (int i = 0; i < count; i++) {
    const double y = panel_y(p, ticks[i]);
    svg_line(svg, p.left - kTickLength, y, p.left, y, "#333333", 1.0);
    tick_text(ticks[i], step, text, sizeof text);
    svg_text(svg, p.left - kTickLength - 2, y + kTickFont * 0.35, "end", kTickFont, text);
  }
  svg_text(svg, p.left + p.width / 2, bottom + kTickLength + kTickFont + kLabelFont + 8, "middle",
           kLabelFont, x_label);
  svg_text(svg, p.left - 54, p.top + p.height / 2, "middle", kLabelFont, y_label, -90.0);
  svg_text(svg, p.left + p.width / 2, p.top - 8, "middle", kTitleFont, title);
}

void svg_colour_scale(double t, char* colour, int capacity) {
  // Stops of a perceptually even dark-blue, teal, green, yellow scale.
  static const double stops[5][3] = {
      {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
  if (!std::isfinite(t)) t = 0.0;
  t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
  const double pos = t * 4.0;
  const int k = pos >= 4.0 ? 3 : static_cast<int>(pos);
  const double f = pos - k;
  int rgb[3];
  for (int c = 0; c < 3; c++)
    rgb[c] = static_cast<int>(std::lround(stops[k][c] + f * (stops[k + 1][c] - stops[k][c])));
  snprintf(colour, capacity, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
}
