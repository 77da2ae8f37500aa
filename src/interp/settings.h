// The `Name = value` option commands that set the Settings record.
#ifndef DORVE_INTERP_SETTINGS_H_
#define DORVE_INTERP_SETTINGS_H_

#include "base/settings.h"

struct KrigModel;

// True when word is the name of an option that `Name = value` sets.
bool is_setting_word(const char* word);

// Validates and stores one `Name = value` line.
void equal_init(KrigModel* models, char** tokens, int count);

// Stores a command of several words as the objective.
void set_system_command_objective(KrigModel* models, char** tokens, int count);

#endif  // DORVE_INTERP_SETTINGS_H_
