// The tries of maximum-likelihood fits (see krigfit.h for the likelihood
// and its parameters).
//
// The tries of a fit are independent once their start vertices are drawn:
// they run on a pool of up to Threads threads, each try on its own copy of
// what the likelihood overwrites, and what they print comes out in the order
// of a sequential run, so results and output do not depend on Threads.
#ifndef DORVE_KRIGING_MLE_TRIES_H_
#define DORVE_KRIGING_MLE_TRIES_H_

struct KrigModel;

// Fits kr: Tries searches by the setting MleMethod (the simplex, or the
// quasi-Newton gradient search of likelihood_gradient.h), the best
// parameters kept in kr with beta, sigma2, loglik, R, F and the augmented
// decomposition. report 1 prints a line per try; the closing summary is
// always printed.
void mle_fit(KrigModel* kr, int report);

// Several fits whose tries share one pool of threads, printed as if fitted
// one after another. Between open_fit_batch and run_fit_batch everything the
// calling thread prints is held back and comes out in its place among the
// fits' output. add_to_fit_batch adds a fit; run_fit_batch plans the fits in
// order (what a fit prints before its first try, every start vertex drawn as
// a sequential run draws them), runs all tries, prints, completes each fit
// as mle_fit does, and releases the batch. A fatal error anywhere comes out
// after the output printed before it, with its usual text.
struct FitBatch;
FitBatch* open_fit_batch();
void add_to_fit_batch(FitBatch* batch, KrigModel* kr, int report);
void run_fit_batch(FitBatch* batch);

#endif  // DORVE_KRIGING_MLE_TRIES_H_
