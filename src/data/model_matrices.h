// Reads the six named matrices of an experiment into the model store: the
// design X, the responses y, and the YDescription, StochasticProcessModel,
// RegressionModel and XDescription tables. Each reader checks the matrix
// against what the store holds, prints its own messages and returns 0 or a
// code; a rejected X or y changes nothing.
#ifndef DORVE_DATA_MODEL_MATRICES_H_
#define DORVE_DATA_MODEL_MATRICES_H_

#include "data/model_store.h"

// Result of the description readers for an entry that must be a finite
// number and is not (inf, nan, an overflow, or NA where NA means nothing);
// the matrix is then not taken and the store is left as it was.
constexpr int kNonFiniteEntry = 30;

// 1 when the last check of X against the x ranges found a point outside.
extern int PtsOutOfRange;

// Reads X into model 0. With ka given, the other y variables' models take
// the new design too. Another number of rows clears every model's y; another
// number of columns clears every model's parameters (theta and alpha reset
// to 0), variance, log-likelihood and range. R, F and U are always cleared.
// 0 ok; 10 file rejected (nothing changed).
int read_x(KrigModel* models, const KrigArray* ka, const char* file_name);
// The same for model 0 alone.
int read_x(KrigModel* kr, const char* file_name);
// 0 ok; 4 file rejected; 5 store not resizable; 6 rows; 7 columns; 9 names.
int read_y(KrigModel** models, KrigArray* ka, const char* file_name);
// 0 ok; 1 entry error; 2 rows; 3 constraint value; 4 file rejected; 5 store not resizable;
// kNonFiniteEntry: a variance or bound inf or nan (NA stays allowed).
int read_ydescrip(KrigModel** models, KrigArray* ka, const char* file_name);
// 0 ok; 1 columns; 2 x names; 4 file rejected; 5 rows; 10, 11 unknown y name; 12 unknown label;
// kNonFiniteEntry: a theta or alpha NA, inf or nan.
int read_corpar(KrigModel* models, KrigArray* ka, const char* file_name);
// 0 ok; 4 file rejected or too many columns; 5 store not resizable; 7 rows;
// 21 y names differ; 22 no names; kNonFiniteEntry: a coefficient inf or nan. A
// coefficient NA leaves that y variable without one (its beta flag cleared).
int read_regmodel(KrigModel** models, KrigArray* ka, const char* file_name);
// 0 ok; 1 x names; 4 file rejected or rows; kNonFiniteEntry: a Min or Max NA, inf or nan.
int read_xdescrip(KrigModel* models, KrigArray* ka, const char* file_name);

// ---- Designs made by the program ----

// Makes points (rows x cols, names one per column; copied) the design of
// model 0 and of the other y variables' models, as read_x does with a file,
// but as new runs: the y held is dropped even when the number of rows stays.
void set_design(KrigModel* models, const KrigArray* ka, double* const* points,
                const StringSlot* names, int rows, int cols);

// Makes y (rows x cols, column j named names[j]) the responses, as read_y
// does with a file that passed its checks: rows is model 0's n and, once the
// y variables exist, cols and the names are theirs; the first responses make
// the y variables.
void set_responses(KrigModel** models, KrigArray* ka, double* const* y, const StringSlot* names,
                   int rows, int cols);

// The box an XDescription file describes, read on its own (no X needed).
struct XBox {
  int d = 0;
  StringSlot* names = nullptr;  // d: the Variable column, or x1, x2, ... without one
  double** range = nullptr;     // d x 2: Min, Max
};

// Result of read_x_box for a file without a Min or a Max column.
constexpr int kBoxWithoutLimits = 5;

// Reads file_name into box, with the checks and messages of read_xdescrip
// that do not compare it with X. 0 ok (release_x_box frees it); 4 file
// rejected; kNonFiniteEntry; kBoxWithoutLimits.
int read_x_box(const char* file_name, XBox* box);
void release_x_box(XBox* box);

// Gives model 0 the ranges (d x 2, its d) and shares them with the other y
// variables' models, as read_xdescrip does.
void set_ranges(KrigModel* models, const KrigArray* ka, double* const* range);

#endif  // DORVE_DATA_MODEL_MATRICES_H_
