// Leave-one-out cross-validation of the fitted models: each point of a
// validation set is predicted from the others with the model's parameters
// kept fixed, with its standard error and expected improvement.
#ifndef DORVE_KRIGING_CROSS_VALIDATION_H_
#define DORVE_KRIGING_CROSS_VALIDATION_H_

struct KrigModel;
struct KrigArray;

// Size of the output-name buffer.
constexpr int kCvNameSize = 150;

// CrossValidate > out
// CrossValidate < xfile yfile > out
// CrossValidate > out < xfile yfile
// Writes the "CrossValidationMatrix": CvPred, CvSe and CvEi per y variable.
// A design or validation files holding NA, inf or nan are refused with a
// message naming the variables and rows.
void CrossValidate(KrigModel* models, KrigArray* ka, char** tokens, int count);

// Sets up the validation set and the output name from the tokens: the
// model's own design and responses, or an x file and a y file. 0 on
// success; 1 after reporting a failure (nothing left allocated).
int get_anyXY(int count, char** tokens, char* out_name, int* N, const KrigModel* kr,
              double*** Xv, double** yv);

// Reads an x file of d columns and a one-column y file with as many rows,
// all entries usable (no NA, inf or nan).
int read_xy_files(const char* x_file, const char* y_file, int* N, int d, double*** Xv,
                  double** yv);

// Fills result (N x 3): leave-one-out prediction, standard error and
// expected improvement over the model's smallest response. A model that is
// not fitted, or whose responses hold NA, inf or nan, gets the missing-value
// marker in all three columns.
void cross_validate_model(KrigModel* kr, double* const* Xv, const double* yv, int N, int d,
                          double** result, int cols);

#endif  // DORVE_KRIGING_CROSS_VALIDATION_H_
