// Maximisation of the expected-improvement criterion over the box of the x
// ranges: one local search started near each design point, then searches
// from random points, each a minimisation of ei_objective in the unbounded
// "sin" coordinates, on the MinimizeContext it is handed.
#ifndef DORVE_SEQMIN_CRITERION_MAX_H_
#define DORVE_SEQMIN_CRITERION_MAX_H_

struct KrigModel;
struct MinimizeContext;

// Most tries, and most evaluations of one local search.
constexpr int kMaxCriterionTries = 2000;

// Outcomes of maximize_criterion.
enum CriterionStatus {
  kCriterionFound = 0,        // a point with positive criterion
  kCriterionNoneFound = 1,    // no point with positive criterion
  kCriterionFewExplored = 2,  // fewer than 3 tries made progress
  kCriterionOutOfRange = 3,   // design points outside the range need the "random" start
};

// Runs the tries on the response model kr; *best receives the largest
// criterion found (0 when none is positive) and x (d values) its box point.
// A CriterionOptimTries of -1 becomes twice kr's n on the first call.
int maximize_criterion(const MinimizeContext& c, KrigModel* kr, double* best, double* x);

// Builds the start simplex of one try: P ((d + 1) x d, row 0 the design point
// on entry) receives d + 1 vertices in unbounded coordinates and Y their
// ei_objective values in context c. method: "displacement" (vertices displaced by
// 0.5 / (n - 1) of each range, n the observations given), "distanceneighbour"
// (halfway to the nearest design coordinate or range limit along each axis,
// over all design points of the response model) or "random" (anywhere in
// the box).
void start_values(const MinimizeContext& c, int d, int n, double* const* range, double** P,
                  double* Y, const char* method);

#endif  // DORVE_SEQMIN_CRITERION_MAX_H_
