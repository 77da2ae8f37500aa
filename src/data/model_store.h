// The model store: one KrigModel per y variable (element 0 always present and
// the master copy of the design) and the shared KrigArray that says which y
// variables are responses and which are constraints, with their bounds.
//
// Every vector and matrix member of a model is its own allocation from the
// storage family; the scalars n, d, r, sigma2, stochratio and loglik are
// one-element vectors. The sizes the members were allocated with are kept in
// alloc_n / alloc_d / alloc_r, which may exceed the current n (a y matrix with
// fewer rows lowers n without shrinking the storage); releases and resizes
// always use the allocated sizes.
#ifndef DORVE_DATA_MODEL_STORE_H_
#define DORVE_DATA_MODEL_STORE_H_

#include "numeric/storage.h"

// A missing real: data read as "NA"/"na", a variance or log-likelihood not yet
// known, an absent lower bound. Compared exactly.
constexpr double kNaMarker = -1e14;
// An absent upper bound. Compared exactly.
constexpr double kNoUpperBound = 1e14;

// Placeholder sizes of model 0 until X is read.
constexpr int kPlaceholderN = 21;
constexpr int kPlaceholderD = 2;
constexpr int kPlaceholderR = 1;

constexpr int kYNameLen = 32;

// Why the last fit of a model left it unfitted. Reading its design,
// responses or correlation parameters, or a fit that succeeds, clears it.
enum FitFailure {
  kFitNotFailed = 0,
  kFitValuesOverflow = 1,  // its responses are too large for the likelihood's sums
  kFitNoFiniteTry = 2,     // no try reached a finite, unpenalised likelihood
};

// Which members of a model hold valid values (0 = not initialised, 1 = set).
// The field names are the key words that initialized_check looks up.
struct KrigInit {
  int X;
  int y;
  int R;
  int F;
  int beta;
  int alpha;
  int theta;
  int U;
  int var;
  int range;
};

struct KrigModel {
  int* n;              // [1] observations: rows of X, entries of y
  int* d;              // [1] x variables: columns of X
  int* r;              // [1] regression terms (only the intercept, 1)
  double* sigma2;      // [1] total variance; kNaMarker when unknown
  double* stochratio;  // [1] share of sigma2 due to the process; 1.0 = no random error
  double* beta;        // [r] regression coefficients
  double* alpha;       // [d] smoothness: distance to the power 2 - alpha
  double* theta;       // [d] scale of the correlation
  double* y;           // [n] responses of this y variable
  double* eigval;      // [n + r] eigenvalues of augR
  double* inveig;      // [n + r] reciprocals of eigval (0 for near-zero eigenvalues)
  double** F;          // [n x r] regression matrix
  double** X;          // [n x d] design
  double** R;          // [n x n] correlation matrix
  double** augR;       // [(n + r) x (n + r)] augmented matrix / its decomposition
  double** range;      // [d x 2] column 0 Min, column 1 Max
  StringSlot* xlabels; // [d] names of the x variables
  char yname[kYNameLen];  // "EMPTY" until a matrix names it
  KrigInit init;
  int nfixed;          // 1 when a y matrix must have exactly n rows
  int y_dropped;       // 1 when a design with other rows dropped the y read before
  int fit_failure;     // why the last fit left the model unfitted (FitFailure), 0: it did not
  double* loglik;      // [1] log-likelihood; kNaMarker when not fitted
  // What the decomposition in augR, eigval and inveig was built from, when
  // build_prediction_decomposition (kriging/correlation.h) built it: n, d,
  // X (n x d), alpha, theta and stochratio, ukey_len values. Null when the
  // decomposition was built any other way or the storage has changed since.
  // The decomposition stays in use for as long as these inputs are the
  // model's own: changing any of them makes the next prediction rebuild it.
  double* ukey;
  int ukey_len;
  // Sizes the members above were allocated with (0 when cleared).
  int alloc_n;
  int alloc_d;
  int alloc_r;
};

struct KrigArray {
  int initialized;   // 1 once default_KrigArray has run
  int has_bounds;    // the last YDescription had Min, Max or Constraint
  int nresp;         // responses: modelled and minimised
  int ncons;         // constraints: must stay within bounds
  int* resp_index;   // [nresp + ncons] first nresp: model indices of responses, ascending
  int* cons_index;   // [nresp + ncons] first ncons: model indices of constraints, ascending
  double** ydescrip; // [(nresp + ncons) x 3] lower (kNaMarker = none), upper
                     // (kNoUpperBound = none), constraint flag (exactly 1.0)
};

// Column indices of ydescrip.
constexpr int kYDescLower = 0;
constexpr int kYDescUpper = 1;
constexpr int kYDescConstraint = 2;

// ---- Start-up, in this order ----
// Allocates the models' array with one record and clears it.
// Fatal "main realloc KrigModel Failure" when the heap is exhausted.
KrigModel* create_first_KrigModel();
// Allocates the KrigArray record and clears it.
// Fatal "main realloc KrigArray Failure" when the heap is exhausted.
KrigArray* create_KrigArray();
// After the banner: model 0 becomes the placeholder (21 x 2, r = 1, "EMPTY")
// and the KrigArray is cleared again (no y variables).
void start_placeholder_store(KrigModel* models, KrigArray* ka);

// ---- Records ----
// Sets every vector and matrix member to null (and the allocated sizes to 0);
// flags and name are untouched. Returns kr.
KrigModel* clear_KrigModel(KrigModel* kr);
// Zeroes every field. Returns ka.
KrigArray* clear_KrigArray(KrigArray* ka);

// Allocates every member of kr for n observations, d x variables and r
// regression terms and sets the defaults: flags 0, nfixed 1, fit_failure 0,
// stochratio 1.0, loglik kNaMarker, yname "EMPTY", alpha/theta/beta 0.0.
// sigma2, y, X, range, xlabels are left uninitialised. The members that the
// fit and the predictor compute (R and augR, n^2 numbers each, F, eigval,
// inveig) stay null until ensure_fit_storage makes them. kr must be cleared
// (members null).
void default_KrigModel(KrigModel* kr, int n, int d, int r);

// Allocates R (n x n), augR ((n + r) x (n + r)), F (n x r), eigval and
// inveig (n + r) at the model's sizes where they are null; their contents
// are left uninitialised. Whatever computes them calls it first, so that
// reading, showing or writing a design of a million rows allocates only X
// and y.
void ensure_fit_storage(KrigModel* kr);

// Resizes every n- and d-sized member of kr (X and xlabels included) from its
// allocated sizes to n and d, keeping overlapping values, and sets n and d.
// When n changes, the members of ensure_fit_storage are released (null until
// next computed) and the R, F and U flags cleared.
// When d changes, alpha and theta are reset to 0.0.
void resize_KrigModel(KrigModel* kr, int n, int d);
// The same for the members other than X and xlabels, for when those two have
// already been resized to n x d (the matrix reader resizes them in place).
void resize_KrigModel_to_design(KrigModel* kr, int n, int d);

// Copies X, xlabels and (if set) range from src into dst and sets dst's X (and
// range) flag. When dst's storage does not have src's d columns or holds fewer
// than src's n rows, dst is first resized to src's n and d (its R, F and U
// flags are then cleared); otherwise dst's n, d, r, y and parameters stay.
// Fatal "copy_KrigModel: X in o-KrigModel not initialized , why ? " when
// src's X flag is clear.
void copy_KrigModel(const KrigModel* src, KrigModel* dst);

// Releases ukey: the decomposition no longer counts as built from known inputs.
void forget_decomposition_key(KrigModel* kr);

// Releases every member with its allocated sizes; members that are null are
// skipped. The record itself is not released; it is left cleared.
void free_KrigModel(KrigModel* kr);

// ---- KrigArray ----
// Sets up (old_count 0) or resizes (old_count > 0) ydescrip and both index
// vectors for new_count y variables; every row becomes (kNaMarker,
// kNoUpperBound, 0.0) and every y variable a response. has_bounds untouched.
// Fatal "default_KrigArray: Code Bug n<=0" / "default_KrigArray: Code Bug , oldn<0".
void default_KrigArray(int old_count, KrigArray* ka, int new_count);
// Rebuilds nresp, ncons, resp_index and cons_index from column 2 of ydescrip
// (exactly 1.0 = constraint). Warns when no response remains.
// Fatal "Code Bug :adjust_KrigArray, ka not initialized" / "Code Bug adjust_KrigArray".
void adjust_KrigArray(KrigArray* ka);
// Number of y variables: nresp + ncons once initialised, else 0.
int ky_count(const KrigArray* ka);
// nresp + ncons as they stand, without asking whether ka is initialised: for
// the readers and writers that have already checked, or that run while the
// array is being set up.
int y_count_unchecked(const KrigArray* ka);
// Number of model records in the models' array: max(1, y variables).
int model_count(const KrigArray* ka);

// Changes the number of y variables to new_count: the KrigArray is set up
// afresh (all responses, no bounds) and the models' array is resized to
// new_count records (it may move; the new address is stored in *models).
// Added records are cleared; dropped records are released. Returns 0.
// Fatal "change_krig_p: Reallocation of KrigModel failure".
int change_krig_p(KrigArray* ka, KrigModel** models, int new_count);

// Releases ydescrip and the index vectors (count rows) if initialised, then
// the record.
void free_KrigArray(KrigArray* ka, int count);
// Releases every model record's members (model 0 always), the models' array,
// then the KrigArray.
void free_model_store(KrigArray* ka, KrigModel* models);

#endif  // DORVE_DATA_MODEL_STORE_H_
