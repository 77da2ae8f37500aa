#include "optim/powell.h"

#include <cmath>

#include "base/messages.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

constexpr double kGold = 1.618034;           // golden ratio for bracket growth
constexpr double kGrowthLimit = 100.0;       // largest parabolic step in bracketing
constexpr double kTiny = 1.0e-20;            // keeps the parabola's denominator off 0
constexpr double kGoldenSection = 0.381966;  // golden section fraction in brent
constexpr double kAbsFloor = 1.0e-10;        // absolute tolerance floor in brent
constexpr int kBrentIterations = 100;
constexpr double kLineTolerance = 0.0002;

// The search directions carried from one call to the next (columns).
struct DirectionSet {
  double** dirs = nullptr;
  int n = 0;
};
DirectionSet g_directions;

// The line a line search runs along: the objective at x + s d.
struct Line {
  double* x = nullptr;
  double* d = nullptr;
  int n = 0;
  ObjectiveFunction f = nullptr;
  void* ctx = nullptr;
};

double line_function(double s, void* ctx) {
  const Line* line = static_cast<const Line*>(ctx);
  double* point = nullptr;
  alloc_real_vector(line->n, &point);
  for (int j = 0; j < line->n; j++) point[j] = line->x[j] + s * line->d[j];
  const double value = line->f(point, line->n, line->ctx);
  free_real_vector(line->n, &point);
  return value;
}

// Keeps the directions of the previous call when n is unchanged; otherwise
// (or at the first call) starts from the unit vectors.
void prepare_directions(int n) {
  if (g_directions.dirs != nullptr && g_directions.n == n) return;
  if (g_directions.dirs == nullptr) {
    alloc_real_matrix(n, n, &g_directions.dirs);
  } else {
    realloc_real_matrix(g_directions.n, g_directions.n, &g_directions.dirs, n, n);
  }
  g_directions.n = n;
  init_diag_mat(1.0, n, g_directions.dirs);
}

// a zero b counts as negative
double with_sign_of(double magnitude, double b) {
  return b > 0.0 ? fabs(magnitude) : -fabs(magnitude);
}

double square(double v) { return v * v; }

}  // namespace

double** powell_direction_set(int* n) {
  *n = g_directions.n;
  return g_directions.dirs;
}

void bracket_minimum(double* a, double* b, double* c, LineFunction f, void* ctx) {
  double ax = *a, bx = *b;
  double fa = f(ax, ctx);
  double fb = f(bx, ctx);
  if (fb > fa) {
    double t = ax;
    ax = bx;
    bx = t;
    t = fa;
    fa = fb;
    fb = t;
  }
  double cx = bx + kGold * (bx - ax);
  double fc = f(cx, ctx);
  while (fb > fc) {
    const double r = (bx - ax) * (fb - fc);
    const double q = (bx - cx) * (fb - fa);
    const double qr = q - r;
    const double denominator = 2.0 * with_sign_of(fabs(qr) > kTiny ? fabs(qr) : kTiny, qr);
    double u = bx - ((bx - cx) * q - (bx - ax) * r) / denominator;
    const double ulim = bx + kGrowthLimit * (cx - bx);
    double fu;
    if ((bx - u) * (u - cx) > 0.0) {
      // Parabolic u between b and c.
      fu = f(u, ctx);
      if (fu < fc) {
        ax = bx;
        bx = u;
        fa = fb;
        fb = fu;
        break;
      } else if (fu > fb) {
        cx = u;
        fc = fu;
        break;
      }
      u = cx + kGold * (cx - bx);
      fu = f(u, ctx);
    } else if ((cx - u) * (u - ulim) > 0.0) {
      // Parabolic u between c and its allowed limit.
      fu = f(u, ctx);
      if (fu < fc) {
        bx = cx;
        cx = u;
        u = cx + kGold * (cx - bx);
        fb = fc;
        fc = fu;
        fu = f(u, ctx);
      }
    } else if ((u - ulim) * (ulim - cx) >= 0.0) {
      u = ulim;
      fu = f(u, ctx);
    } else {
      u = cx + kGold * (cx - bx);
      fu = f(u, ctx);
    }
    ax = bx;
    bx = cx;
    cx = u;
    fa = fb;
    fb = fc;
    fc = fu;
  }
  *a = ax;
  *b = bx;
  *c = cx;
}

double brent(double ax, double bx, double cx, LineFunction f, void* ctx, double tol,
             double* xmin) {
  double a = (ax < cx ? ax : cx);
  double b = (ax > cx ? ax : cx);
  double x = bx, w = bx, v = bx;
  double fx = f(x, ctx);
  double fw = fx, fv = fx;
  double e = 0.0;  // the step before last
  double d = 0.0;
  for (int iter = 0;; iter++) {
    if (iter >= kBrentIterations) fatal_error("Powell : Too many iterations in brent");
    const double xm = (a + b) / 2.0;
    const double tol1 = tol * fabs(x) + kAbsFloor;
    const double tol2 = 2.0 * tol1;
    if (fabs(x - xm) <= tol2 - (b - a) / 2.0) {
      *xmin = x;
      return fx;
    }
    bool golden = true;
    if (fabs(e) > tol1) {
      // Parabola through x, w and v.
      const double r = (x - w) * (fx - fv);
      double q = (x - v) * (fx - fw);
      double p = (x - v) * q - (x - w) * r;
      q = 2.0 * (q - r);
      if (q > 0.0) p = -p;
      q = fabs(q);
      const double etemp = e;
      e = d;
      if (!(fabs(p) >= fabs(q * etemp / 2.0) || p <= q * (a - x) || p >= q * (b - x))) {
        golden = false;
        d = p / q;
        const double u = x + d;
        if (u - a < tol2 || b - u < tol2) d = with_sign_of(tol1, xm - x);
      }
    }
    if (golden) {
      e = (x < xm ? b - x : a - x);
      d = kGoldenSection * e;
    }
    const double u = (fabs(d) >= tol1 ? x + d : x + with_sign_of(tol1, d));
    const double fu = f(u, ctx);
    if (fu <= fx) {
      if (u >= x) {
        a = x;
      } else {
        b = x;
      }
      v = w;
      w = x;
      x = u;
      fv = fw;
      fw = fx;
      fx = fu;
    } else {
      if (u < x) {
        a = u;
      } else {
        b = u;
      }
      if (fu <= fw || w == x) {
        v = w;
        w = u;
        fv = fw;
        fw = fu;
      } else if (fu <= fv || v == x || v == w) {
        v = u;
        fv = fu;
      }
    }
  }
}

void line_minimize(double* x, double* d, int n, double* fret, ObjectiveFunction f, void* ctx) {
  Line line;
  line.n = n;
  line.f = f;
  line.ctx = ctx;
  alloc_real_vector(n, &line.x);
  alloc_real_vector(n, &line.d);
  copy_real_vector(n, x, line.x);
  copy_real_vector(n, d, line.d);
  double a = 0.0, b = 1.0, c;
  bracket_minimum(&a, &b, &c, line_function, &line);
  double xmin;
  *fret = brent(a, b, c, line_function, &line, kLineTolerance, &xmin);
  for (int j = 0; j < n; j++) {
    d[j] = d[j] * xmin;
    x[j] = x[j] + d[j];
  }
  free_real_vector(n, &line.d);
  free_real_vector(n, &line.x);
}

int powell(ObjectiveFunction f, void* ctx, double* x, int n, double ftol_rel, int maxcount,
           double* fret) {
  prepare_directions(n);
  double** D = g_directions.dirs;
  double *pt = nullptr, *ptt = nullptr, *xit = nullptr;
  alloc_real_vector(n, &pt);
  alloc_real_vector(n, &ptt);
  alloc_real_vector(n, &xit);

  *fret = f(x, n, ctx);
  copy_real_vector(n, x, pt);
  int result;
  for (int it = 0;; it++) {
    const double fp = *fret;
    int ibig = 0;
    double del = 0.0;
    for (int i = 0; i < n; i++) {
      for (int j = 0; j < n; j++) xit[j] = D[j][i];
      const double fprev = *fret;
      line_minimize(x, xit, n, fret, f, ctx);
      if (fabs(fprev - *fret) > del) {
        del = fabs(fprev - *fret);
        ibig = i;
      }
    }
    if (ftol_rel * (fabs(fp) + fabs(*fret)) >= 2.0 * fabs(fp - *fret)) {
      result = it;
      break;
    }
    if (it + 1 == maxcount) {
      result = maxcount;
      break;
    }
    for (int j = 0; j < n; j++) {
      ptt[j] = 2.0 * x[j] - pt[j];
      xit[j] = x[j] - pt[j];
      pt[j] = x[j];
    }
    const double fptt = f(ptt, n, ctx);
    if (fptt < fp) {
      const double t =
          2.0 * (fp - 2.0 * (*fret) + fptt) * square(fp - *fret - del) - del * square(fp - fptt);
      if (t < 0.0) {
        // The extrapolated direction replaces the one of largest decrease.
        line_minimize(x, xit, n, fret, f, ctx);
        for (int j = 0; j < n; j++) {
          D[j][ibig] = D[j][n - 1];
          D[j][n - 1] = xit[j];
        }
      }
    }
  }
  free_real_vector(n, &xit);
  free_real_vector(n, &ptt);
  free_real_vector(n, &pt);
  return result;
}

void reset_powell_state() { g_directions = DirectionSet(); }
