// The Fit command: fits every y variable by maximum likelihood.
#ifndef DORVE_KRIGING_FIT_COMMAND_H_
#define DORVE_KRIGING_FIT_COMMAND_H_

struct KrigModel;
struct KrigArray;

// "Fit" alone: the Database listing, then mle_fit for each y variable in
// model order with the per-try report. Any further token, or X or y missing
// in model 0, gives a message and fits nothing.
void Fit(KrigModel* models, KrigArray* ka, char** tokens, int count);

#endif  // DORVE_KRIGING_FIT_COMMAND_H_
