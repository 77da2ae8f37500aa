// The gradient search of the expected-improvement criterion
// (CriterionOptimMethod = gradient), which climbs the logarithm of the
// criterion (log_criterion.h) with its exact gradient:
// 1. candidates spread over the box (a Latin hypercube of 100 d + 200
//    points drawn from the session's random generator), one near each
//    design point and 4 d + 20 near each of the 5 design points of lowest
//    y, each valued by the log criterion;
// 2. the best distinct candidates (CriterionOptimTries of them, 20 + d by
//    default, at least 3) each start a short quasi-Newton search of 20
//    evaluations in the unbounded "sin" coordinates of the criterion's own
//    box map, where the box's faces are smooth stationary points rather
//    than bounds;
// 3. the 10 best of those that ended on distinct hills go on to
//    convergence, and from the 3 best the coordinates are tried on the
//    faces of the box, where the criterion's hills often lie;
// 4. the search end with the largest ordinary criterion wins.
// It works on the MinimizeContext it is handed (in a stage, with the
// krigmse_anyX state open for the stage design).
#ifndef DORVE_SEQMIN_CRITERION_GRADIENT_SEARCH_H_
#define DORVE_SEQMIN_CRITERION_GRADIENT_SEARCH_H_

struct KrigModel;
struct MinimizeContext;

// Searches started when CriterionOptimTries is -1 (its default): this plus d.
constexpr int kDefaultStartsBase = 20;

// Searches run until this many could start, whatever CriterionOptimTries says.
constexpr int kFewestGradientSearches = 3;

struct GradientSearchOutcome {
  bool positive = false;  // the winner's criterion is positive
  int started = 0;        // searches that could start (L finite at their start)
};

// The gradient search on the response model kr: *best receives the
// ordinary criterion (ei_objective's) at the winner, 0 when none is
// positive, and x (d values) its box point.
GradientSearchOutcome maximize_criterion_by_gradient(const MinimizeContext& c, KrigModel* kr,
                                                     double* best, double* x);

#endif  // DORVE_SEQMIN_CRITERION_GRADIENT_SEARCH_H_
