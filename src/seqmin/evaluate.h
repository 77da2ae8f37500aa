// The Evaluate command: runs the objective on every row of X that has no y
// yet and fills y with the answers, through the exchange files Minimize uses
// (one at a time through "dorve.temp", or ParallelEvaluations at once through
// "dorve.temp.k").
//
// A row has no y yet when y has not been read (or was dropped by a new
// design), or when one of its y values is NA. Without any y variable, the
// objective's first answer value becomes the response "y"; a YDescription read
// before names the y variables and says which are constraints.
//
// After every round of evaluations the journal holds X and y as they stand,
// NA for the rows still open. A run that starts again after a kill takes the
// answers of the journal for the rows whose point it holds with a complete
// answer, so only the evaluations in flight are lost; reading the journal back
// as X and y before Evaluate resumes likewise.
#ifndef DORVE_SEQMIN_EVALUATE_H_
#define DORVE_SEQMIN_EVALUATE_H_

struct KrigModel;
struct KrigArray;

// Evaluates the open rows (at most MaxEvaluations objective calls), then
// makes the answers y, NA where a row stays open. Stops at the first row the
// objective leaves without an answer or answers with NA, inf, nan or words,
// naming that row; the answers before it are kept and journalled.
void evaluate_design(KrigModel** models, KrigArray* ka);

#endif  // DORVE_SEQMIN_EVALUATE_H_
