// The commands that start a study from nothing: a space-filling design of
// the x variables, and the objective run on every row of X that has no y.
#ifndef DORVE_INTERP_STUDY_COMMANDS_H_
#define DORVE_INTERP_STUDY_COMMANDS_H_

struct KrigModel;
struct KrigArray;

// Design N > target
// Design N < xdescription_file > target | Design N > target < xdescription_file
// target: X, a matrix file (".csv": CSV), or "screen" / "s".
void Design(KrigModel** models, KrigArray* ka, char** tokens, int count);

// "Evaluate" alone: the objective on every row of X that has no y yet.
void Evaluate(KrigModel** models, KrigArray* ka, char** tokens, int count);

#endif  // DORVE_INTERP_STUDY_COMMANDS_H_
