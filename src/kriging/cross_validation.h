// Leave-one-out cross-validation of the fitted models: each point of a
// validation set is predicted from the others with the model's parameters
// kept fixed, with its standard error and expected improvement.
#ifndef DORVE_KRIGING_CROSS_VALIDATION_H_
#define DORVE_KRIGING_CROSS_VALIDATION_H_

#include "base/string_slot.h"

struct KrigModel;
struct KrigArray;

// Size of the output-name buffer.
constexpr int kCvNameSize = 150;

// Validates every y variable on the model's own design and responses
// (x_file null) or on the points of an x file and a one-column y file, and
// writes the "CrossValidationMatrix" to out: CvPred, CvSe and CvEi per y
// variable. A design or validation files holding NA, inf or nan are refused
// with a message naming the variables and rows.
void cross_validate_all(KrigModel* models, KrigArray* ka, const char* x_file, const char* y_file,
                        const char* out);

// Sets up the validation set (as for cross_validate_all) and copies out into
// out_name (kCvNameSize characters). 0 on success; 1 after reporting a
// failure (nothing left allocated).
int get_validation_set(const KrigModel* kr, const char* x_file, const char* y_file,
                       const char* out, char* out_name, int* N, double*** Xv, double** yv);

// Reads an x file of d columns and a one-column y file with as many rows,
// all entries usable (no NA, inf or nan). The x file's columns are put in
// the order of X's names xnames (see arrange_point_columns).
int read_xy_files(const char* x_file, const char* y_file, const StringSlot* xnames, int* N, int d,
                  double*** Xv, double** yv);

// Fills result (N x 3): leave-one-out prediction, standard error and
// expected improvement over the model's smallest response. A model that is
// not fitted, or whose responses hold NA, inf or nan, gets the missing-value
// marker in all three columns.
void cross_validate_model(KrigModel* kr, double* const* Xv, const double* yv, int N, int d,
                          double** result, int cols);

#endif  // DORVE_KRIGING_CROSS_VALIDATION_H_
