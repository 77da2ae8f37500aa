// Fitting every y variable by maximum likelihood.
#ifndef DORVE_KRIGING_FIT_MODELS_H_
#define DORVE_KRIGING_FIT_MODELS_H_

struct KrigModel;
struct KrigArray;

// The Database listing, then mle_fit for each y variable in model order with
// the per-try report. X or y missing in model 0, or a design holding NA, inf
// or nan gives a message and fits nothing; a y variable whose responses hold
// them is reported and not fitted.
void fit_all_models(KrigModel* models, KrigArray* ka);

#endif  // DORVE_KRIGING_FIT_MODELS_H_
