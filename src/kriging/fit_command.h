// The Fit command: fits every y variable by maximum likelihood.
#ifndef DORVE_KRIGING_FIT_COMMAND_H_
#define DORVE_KRIGING_FIT_COMMAND_H_

struct KrigModel;
struct KrigArray;

// "Fit" alone: the Database listing, then mle_fit for each y variable in
// model order with the per-try report. Any further token, X or y missing in
// model 0, or a design holding NA, inf or nan gives a message and fits
// nothing; a y variable whose responses hold them is reported and not fitted.
void Fit(KrigModel* models, KrigArray* ka, char** tokens, int count);

#endif  // DORVE_KRIGING_FIT_COMMAND_H_
