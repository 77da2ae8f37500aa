// Main and joint effects: each fitted response predicted along a regular
// grid of one x variable (or a pair), the other variables at the midpoints
// of their ranges.
#ifndef DORVE_KRIGING_EFFECTS_H_
#define DORVE_KRIGING_EFFECTS_H_

struct KrigModel;
struct KrigArray;

// MainEffects > name: every y variable's table into one file (the first
// replaces it, the others are appended), or on the screen. A design holding
// NA, inf or nan is refused with a message naming the variables and rows.
void MainEffects(KrigModel* models, KrigArray* ka, char** tokens, int count);
// JointEffects > name: the same for every pair of x variables.
void JointEffects(KrigModel* models, KrigArray* ka, char** tokens, int count);

// The effects of one model; mode 'w' replaces the file, 'a' appends.
// False when the model is not ready (parameters missing, or responses
// holding NA, inf or nan; reported) and nothing was shown.
bool main_effects(KrigModel* kr, const char* name, char mode);
bool joint_effects(KrigModel* kr, const char* name, char mode);

#endif  // DORVE_KRIGING_EFFECTS_H_
