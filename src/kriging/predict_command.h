// The Predict command: predictions and standard errors of every y variable
// at the points of a matrix file, written as the matrix "PredictionMatrix".
#ifndef DORVE_KRIGING_PREDICT_COMMAND_H_
#define DORVE_KRIGING_PREDICT_COMMAND_H_

struct KrigModel;
struct KrigArray;

// Default file names.
constexpr const char* kPredictInput = "xpred.mat";
constexpr const char* kPredictOutput = "ypred.mat";

// Predict                      xpred.mat -> ypred.mat
// Predict < in | Predict > out  the other name by default
// Predict < in > out | Predict > out < in
// "screen" or "s" as the output shows the result on the output stream.
// Columns Pred.<y> and SE.<y> per y variable, in model order; a y variable
// whose model is not ready (parameters missing, or responses holding NA, inf
// or nan) holds NA in both. A design or input points holding NA, inf or nan
// are refused with a message naming the variables and rows.
void Predict(KrigModel* models, KrigArray* ka, char** tokens, int count);

#endif  // DORVE_KRIGING_PREDICT_COMMAND_H_
