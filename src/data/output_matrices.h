// Builds the named matrices the output commands show from the model store,
// in the layouts the readers accept back, and checks data against the x
// ranges and the constraint bounds.
#ifndef DORVE_DATA_OUTPUT_MATRICES_H_
#define DORVE_DATA_OUTPUT_MATRICES_H_

#include "data/model_store.h"
#include "numeric/storage.h"

// matrix (n x count, caller's) column j = model j's y; buffer receives the y
// names, each followed by five blanks. 1 when the names do not fit capacity.
int construct_ymat(const KrigModel* models, const KrigArray* ka, double** matrix, char* buffer,
                   int capacity);

// table (d x (2 count + 1), caller's): x name, then theta and alpha of each y
// variable; names "Variable", "Theta.<y>", "Alpha.<y>". Without a store, the
// one model passed is the only y variable.
void construct_cormat(const KrigModel* models, const KrigArray* ka, StringSlot** table,
                      StringSlot* names);

// Allocate *table (*rows x *cols) and *names (*cols); 1 (nothing allocated)
// when model 0 has no y variable yet. Rows: count, or 1 without an
// initialised store.
int construct_regmat(const KrigArray* ka, const KrigModel* models, StringSlot*** table,
                     StringSlot** names, int* rows, int* cols);
int construct_ydescrip(const KrigArray* ka, const KrigModel* models, StringSlot*** table,
                       StringSlot** names, int* rows, int* cols);

// 1 if some entry lies outside its column's [lower, upper].
int check_x_range(int rows, int cols, double* const* X, double* const* range);

// 1 if some constrained y variable of some row is outside its bounds.
int check_constraints(int rows, int ny, double* const* Y, double* const* ydescrip);

// names holds groups x per_group names; the first group's are copied to the
// others, then every name k becomes "<name>.<yname of model k / per_group>".
void append_ynames(const KrigModel* models, int groups, int per_group, StringSlot* names);

// Copies "<prefix><name>" into a slot, cut to the longest entry a matrix
// file accepts, so that every built name can be written and read back.
void build_slot_name(StringSlot slot, const char* prefix, const char* name);

#endif  // DORVE_DATA_OUTPUT_MATRICES_H_
