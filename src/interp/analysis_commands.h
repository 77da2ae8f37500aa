// The commands that fit, predict, validate, show effects and minimise: each
// checks the shape of its line, takes its file names and numbers from the
// tokens (or prints its usage line) and calls the computation below.
#ifndef DORVE_INTERP_ANALYSIS_COMMANDS_H_
#define DORVE_INTERP_ANALYSIS_COMMANDS_H_

struct KrigModel;
struct KrigArray;

// Default file names of Predict.
constexpr const char* kPredictInput = "xpred.mat";
constexpr const char* kPredictOutput = "ypred.mat";

// "Fit" alone: fits every y variable.
void Fit(KrigModel* models, KrigArray* ka, char** tokens, int count);

// Predict                      xpred.mat -> ypred.mat
// Predict < in | Predict > out  the other name by default
// Predict < in > out | Predict > out < in
// "screen" or "s" as the output shows the result on the output stream.
void Predict(KrigModel* models, KrigArray* ka, char** tokens, int count);

// CrossValidate > out
// CrossValidate < xfile yfile > out
// CrossValidate > out < xfile yfile
void CrossValidate(KrigModel* models, KrigArray* ka, char** tokens, int count);

// MainEffects > name and JointEffects > name ("screen" or "s" shows them).
void MainEffects(KrigModel* models, KrigArray* ka, char** tokens, int count);
void JointEffects(KrigModel* models, KrigArray* ka, char** tokens, int count);

// "Minimize" alone. random_error is the RandomError setting at the time of
// the call.
void Minimize(KrigModel* models, KrigArray* ka, char** tokens, int count, bool random_error);

// MinimizeStage N > file ("screen" or "s" shows the design).
void MinimizeStage(KrigModel* models, KrigArray* ka, char** tokens, int count);

#endif  // DORVE_INTERP_ANALYSIS_COMMANDS_H_
