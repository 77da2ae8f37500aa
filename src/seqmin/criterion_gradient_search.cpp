#include "seqmin/criterion_gradient_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "base/interpreter.h"
#include "base/settings.h"
#include "data/model_store.h"
#include "numeric/random.h"
#include "optim/quasi_newton.h"
#include "optim/trafo.h"
#include "seqmin/expected_improvement.h"
#include "seqmin/log_criterion.h"

namespace {

// Candidates stay this share of each range inside the box: on the box's
// faces the "sin" map has no slope, and a search started there could not
// leave them.
constexpr double kInsideMargin = 1e-4;
// Latin hypercube points: kHypercubePerDimension d + kHypercubeBase.
constexpr int kHypercubePerDimension = 100;
constexpr int kHypercubeBase = 200;
// Half-width, as a share of each range, of the box around every design
// point that one candidate is drawn from.
constexpr double kDesignScale = 0.1;
// Design points of lowest y (those that meet the constraints first) with
// kNearPerDimension d + kNearBase candidates around each, drawn from boxes
// of these half-widths in turn.
constexpr int kBestPoints = 5;
constexpr int kNearPerDimension = 4;
constexpr int kNearBase = 20;
constexpr double kNearScales[] = {0.005, 0.02, 0.08, 0.25};
// Two of the S starts closer than kStartSpacing S^(-1/d) of every range
// climb the same hill: the later one is only taken when too few distinct
// ones exist. S boxes of that half-width fill half of the box along each
// axis: 0.11 of each range for d = 2, 0.26 for d = 5, 0.36 for d = 10.
constexpr double kStartSpacing = 0.5;
// A face probe moves a coordinate by at least this share of its range.
constexpr double kFaceMove = 0.1;
// Two short searches that end closer than this share of every range have
// reached the same hill: only the better one goes on.
constexpr double kDistinctEnds = 0.01;
// Evaluations of each start's short search, searches that go on to
// convergence, and the best of those whose faces are probed.
constexpr int kShortSearch = 20;
constexpr int kContinued = 10;
constexpr int kFaceProbed = 3;
constexpr int kFaceRounds = 3;
// The quasi-Newton search in the "sin" coordinates: longest step, and the
// evaluation budget of a search to convergence, 200 + 20 per dimension.
constexpr double kMaxStep = 1.0;
constexpr int kBaseEvaluations = 200;
constexpr int kEvaluationsPerDimension = 20;

int full_budget(int d) { return kBaseEvaluations + kEvaluationsPerDimension * d; }

double clamp_inside(double v, const double* limits) {
  const double margin = kInsideMargin * (limits[1] - limits[0]);
  return std::min(std::max(v, limits[0] + margin), limits[1] - margin);
}

// count points, one in each of count slices of every axis, slices paired
// at random (draw by draw from the session's generator).
void add_latin_hypercube(int count, int d, double* const* range, std::vector<double>* out) {
  const size_t first = out->size();
  out->resize(first + static_cast<size_t>(count) * d);
  std::vector<int> slice(count);
  for (int l = 0; l < d; l++) {
    std::iota(slice.begin(), slice.end(), 0);
    for (int i = count - 1; i > 0; i--) {
      const int j = std::min(static_cast<int>(random_uniform() * (i + 1)), i);
      std::swap(slice[i], slice[j]);
    }
    const double a = range[l][0], w = range[l][1] - range[l][0];
    for (int i = 0; i < count; i++) {
      const double v = a + (slice[i] + random_uniform()) / count * w;
      (*out)[first + static_cast<size_t>(i) * d + l] = clamp_inside(v, range[l]);
    }
  }
}

// One point drawn uniformly from the box of half-width scale (share of each
// range) around center, kept inside the range.
void add_near(const double* center, double scale, int d, double* const* range,
              std::vector<double>* out) {
  for (int l = 0; l < d; l++) {
    const double w = range[l][1] - range[l][0];
    out->push_back(clamp_inside(center[l] + (2.0 * random_uniform() - 1.0) * scale * w, range[l]));
  }
}

// True when every constraint's observation at design row i lies within
// its bounds.
bool meets_constraints(const MinimizeContext& ctx, int i) {
  const KrigArray* ka = ctx.ka;
  if (!ctx.constraints) return true;
  for (int k = 0; k < ka->ncons; k++) {
    const int c = ka->cons_index[k];
    const double v = ctx.models[c].y[i];
    const double lower = ka->ydescrip[c][kYDescLower], upper = ka->ydescrip[c][kYDescUpper];
    if ((lower > kNaMarker && v < lower) || (upper < kNoUpperBound && v > upper)) return false;
  }
  return true;
}

// Indices of the design points by increasing y, those that meet the
// constraints first (ties in design order).
std::vector<int> by_increasing_y(const MinimizeContext& c, int n, const double* y) {
  std::vector<int> order(n);
  std::vector<bool> feasible(n);
  for (int i = 0; i < n; i++) feasible[i] = meets_constraints(c, i);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [y, &feasible](int i, int j) {
    if (feasible[i] != feasible[j]) return static_cast<bool>(feasible[i]);
    return y[i] < y[j];
  });
  return order;
}

// The candidates (count x d, row by row) of the response model kr.
std::vector<double> candidates(const MinimizeContext& c, const KrigModel* kr) {
  const int n = kr->n[0], d = kr->d[0];
  std::vector<double> cand;
  add_latin_hypercube(kHypercubePerDimension * d + kHypercubeBase, d, kr->range, &cand);
  for (int i = 0; i < n; i++) add_near(kr->X[i], kDesignScale, d, kr->range, &cand);
  const std::vector<int> order = by_increasing_y(c, n, kr->y);
  const int per_point = kNearPerDimension * d + kNearBase;
  const int scales = static_cast<int>(sizeof kNearScales / sizeof kNearScales[0]);
  for (int k = 0; k < std::min(kBestPoints, n); k++)
    for (int j = 0; j < per_point; j++)
      add_near(kr->X[order[k]], kNearScales[j % scales], d, kr->range, &cand);
  return cand;
}

// Candidate indices by decreasing L; candidates where L is -inf or not a
// number are left out.
std::vector<int> rank_candidates(LogCriterion* lc, const std::vector<double>& cand, int d) {
  const int count = static_cast<int>(cand.size() / d);
  std::vector<double> value(count);
  std::vector<int> order;
  for (int i = 0; i < count; i++) {
    value[i] = log_criterion(lc, &cand[static_cast<size_t>(i) * d], nullptr);
    if (std::isfinite(value[i])) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&value](int i, int j) { return value[i] > value[j]; });
  return order;
}

// True when x differs from every chosen point by at least share of the
// range in some coordinate.
bool far_from_all(const double* x, const std::vector<const double*>& chosen, int d,
                  double* const* range, double share) {
  for (const double* c : chosen) {
    bool near = true;
    for (int l = 0; l < d && near; l++) near = fabs(x[l] - c[l]) < share * (range[l][1] - range[l][0]);
    if (near) return false;
  }
  return true;
}

// The wanted number of starts from the ranked candidates: distinct ones
// first, then the best of the others if too few are distinct.
std::vector<const double*> choose_starts(const std::vector<double>& cand,
                                         const std::vector<int>& order, int wanted, int d,
                                         double* const* range) {
  const double spacing = kStartSpacing * pow(wanted, -1.0 / d);
  std::vector<const double*> chosen;
  std::vector<bool> taken(order.size(), false);
  for (size_t k = 0; k < order.size() && static_cast<int>(chosen.size()) < wanted; k++) {
    const double* x = &cand[static_cast<size_t>(order[k]) * d];
    if (!far_from_all(x, chosen, d, range, spacing)) continue;
    chosen.push_back(x);
    taken[k] = true;
  }
  for (size_t k = 0; k < order.size() && static_cast<int>(chosen.size()) < wanted; k++)
    if (!taken[k]) chosen.push_back(&cand[static_cast<size_t>(order[k]) * d]);
  return chosen;
}

// One quasi-Newton search and where it stands.
struct Search {
  std::vector<double> t;  // unbounded coordinates: the start, then the end
  bool started = false;
  bool hit_limit = false;
  double log_value = -INFINITY;  // L at t
  double criterion = 0.0;        // the ordinary criterion at t
};

Search search_from(const double* x, int d, double* const* range) {
  Search s;
  s.t.assign(x, x + d);
  double* xrow[1] = {const_cast<double*>(x)};
  double* trow[1] = {s.t.data()};
  trafo_ab_inf(1, d, xrow, range, trow, "sin");
  return s;
}

std::vector<double> box_point(const Search& s, int d, double* const* range) {
  std::vector<double> x(d);
  double* trow[1] = {const_cast<double*>(s.t.data())};
  double* xrow[1] = {x.data()};
  trafo_inf_to_ab(1, d, trow, range, xrow, "sin");
  return x;
}

// Runs the quasi-Newton search from s->t with at most budget evaluations.
void run_search(LogCriterion* lc, int d, int budget, Search* s) {
  QuasiNewtonControl control;
  control.max_step = kMaxStep;
  control.max_evaluations = budget;
  const QuasiNewtonResult res =
      quasi_newton_minimize(negative_log_criterion_in_t, lc, d, s->t.data(), control);
  s->started = res.started;
  s->hit_limit = res.hit_limit;
  if (res.started) s->log_value = -res.f;
}

// Indices of the searches that started, by decreasing L.
std::vector<int> by_decreasing_value(const std::vector<Search>& searches) {
  std::vector<int> order;
  for (int i = 0; i < static_cast<int>(searches.size()); i++)
    if (searches[i].started) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&searches](int i, int j) {
    return searches[i].log_value > searches[j].log_value;
  });
  return order;
}

// The best short searches that ended on distinct hills go on to
// convergence. Returns how many of them stopped at their limit.
int continue_best(LogCriterion* lc, int d, std::vector<Search>* searches) {
  std::vector<std::vector<double>> ends;
  ends.reserve(kContinued);
  std::vector<const double*> kept;
  int interrupted = 0;
  for (int i : by_decreasing_value(*searches)) {
    if (static_cast<int>(kept.size()) >= kContinued) break;
    Search& s = (*searches)[i];
    std::vector<double> end = box_point(s, d, lc->range);
    if (!far_from_all(end.data(), kept, d, lc->range, kDistinctEnds)) continue;
    ends.push_back(end);
    kept.push_back(ends.back().data());
    run_search(lc, d, full_budget(d), &s);
    interrupted += s.hit_limit;
  }
  return interrupted;
}

// Among the points that differ from x in one coordinate, moved to a face of
// the box (kept inside), the one with the largest L above *value, into
// *best; false when none is above.
bool best_face_point(LogCriterion* lc, const std::vector<double>& x, double* value,
                     std::vector<double>* best) {
  const int d = lc->d;
  double* const* range = lc->range;
  bool found = false;
  std::vector<double> y(x);
  for (int l = 0; l < d; l++) {
    for (int side = 0; side < 2; side++) {
      y[l] = clamp_inside(range[l][side], range[l]);
      if (fabs(y[l] - x[l]) >= kFaceMove * (range[l][1] - range[l][0])) {
        const double L = log_criterion(lc, y.data(), nullptr);
        if (L > *value) {
          *value = L;
          *best = y;
          found = true;
        }
      }
    }
    y[l] = x[l];
  }
  return found;
}

// The criterion's hills often lie on the faces of the box, where the
// prediction extrapolates. From the end of s, a coordinate moved to a face
// that raises L starts a new search; s takes its end when that is better.
// Returns how many of those searches stopped at their limit.
int probe_faces(LogCriterion* lc, int d, Search* s) {
  int interrupted = 0;
  for (int round = 0; round < kFaceRounds; round++) {
    double value = s->log_value;
    std::vector<double> face;
    if (!best_face_point(lc, box_point(*s, d, lc->range), &value, &face)) break;
    Search next = search_from(face.data(), d, lc->range);
    run_search(lc, d, full_budget(d), &next);
    interrupted += next.hit_limit;
    if (!(next.started && next.log_value > s->log_value)) break;
    *s = next;
  }
  return interrupted;
}

// The search with the largest positive criterion, or, when none is
// positive, the one with the largest L; null when none started.
const Search* winner(const std::vector<Search>& searches, bool* positive) {
  const Search* best = nullptr;
  for (const Search& s : searches)
    if (s.started && s.criterion > 0.0 && (!best || s.criterion > best->criterion)) best = &s;
  *positive = best != nullptr;
  if (best) return best;
  for (const Search& s : searches)
    if (s.started && (!best || s.log_value > best->log_value)) best = &s;
  return best;
}

int searches_wanted(int d) {
  const int tries = g_settings.CriterionOptimTries;
  const int wanted = tries == -1 ? kDefaultStartsBase + d : tries;
  return std::max(wanted, kFewestGradientSearches);
}

}  // namespace

GradientSearchOutcome maximize_criterion_by_gradient(const MinimizeContext& c, KrigModel* kr,
                                                     double* best, double* x) {
  const int d = kr->d[0];
  LogCriterion lc;
  open_log_criterion(c, kr, &lc);
  const std::vector<double> cand = candidates(c, kr);
  const std::vector<const double*> starts =
      choose_starts(cand, rank_candidates(&lc, cand, d), searches_wanted(d), d, kr->range);

  std::vector<Search> searches;
  for (const double* start : starts) {
    searches.push_back(search_from(start, d, kr->range));
    run_search(&lc, d, kShortSearch, &searches.back());
  }
  int interrupted = continue_best(&lc, d, &searches);
  const std::vector<int> order = by_decreasing_value(searches);
  for (int k = 0; k < kFaceProbed && k < static_cast<int>(order.size()); k++)
    interrupted += probe_faces(&lc, d, &searches[order[k]]);
  GradientSearchOutcome outcome;
  for (Search& s : searches) {
    if (!s.started) continue;
    outcome.started++;
    s.criterion = -ei_objective(s.t.data(), d, objective_context(c));
  }
  if (interrupted > 0)
    fprintf(out_stream(), "INFO: %d gradient searches stopped at their limit of %d evaluations.\n",
            interrupted, full_budget(d));

  const Search* win = winner(searches, &outcome.positive);
  *best = outcome.positive ? win->criterion : 0.0;
  // Without a winner x is the point the simplex tries leave then (t all -1).
  const Search none{std::vector<double>(d, -1.0)};
  const std::vector<double> point = box_point(win ? *win : none, d, kr->range);
  std::copy(point.begin(), point.end(), x);
  return outcome;
}
