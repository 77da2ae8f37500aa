// Predictions and standard errors of every y variable at the points of a
// matrix file, written as the matrix "PredictionMatrix".
#ifndef DORVE_KRIGING_PREDICTION_MATRIX_H_
#define DORVE_KRIGING_PREDICTION_MATRIX_H_

struct KrigModel;
struct KrigArray;

// Reads the points from input and writes the predictions to output ("screen"
// or "s" shows them on the output stream), after the Database listing.
// Columns Pred.<y> and SE.<y> per y variable, in model order; a y variable
// whose model is not ready (parameters missing, or responses holding NA, inf
// or nan) holds NA in both. A design or input points holding NA, inf or nan
// are refused with a message naming the variables and rows.
void predict_matrix(KrigModel* models, KrigArray* ka, const char* input, const char* output);

#endif  // DORVE_KRIGING_PREDICTION_MATRIX_H_
