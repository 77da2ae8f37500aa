// Main and joint effects: each fitted response predicted along a regular
// grid of one x variable (or a pair), the other variables at the midpoints
// of their ranges.
#ifndef DORVE_KRIGING_EFFECTS_H_
#define DORVE_KRIGING_EFFECTS_H_

struct KrigModel;
struct KrigArray;

// Every y variable's main-effects table into the file name (the first
// replaces it, the others are appended), or on the screen. A design holding
// NA, inf or nan is refused with a message naming the variables and rows.
void write_main_effects(KrigModel* models, KrigArray* ka, const char* name);
// The same for every pair of x variables; refused with one x variable.
void write_joint_effects(KrigModel* models, KrigArray* ka, const char* name);

// The effects of one model; mode 'w' replaces the file, 'a' appends.
// False when the model is not ready (parameters missing, or responses
// holding NA, inf or nan; reported) and nothing was shown.
bool main_effects(KrigModel* kr, const char* name, char mode);
bool joint_effects(KrigModel* kr, const char* name, char mode);

#endif  // DORVE_KRIGING_EFFECTS_H_
