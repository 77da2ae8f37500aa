// The matrix input and output commands: "name < file" reads a named matrix
// into the model store, "name > file" writes it, "name > screen" shows it.
#ifndef DORVE_INTERP_MATRIX_COMMANDS_H_
#define DORVE_INTERP_MATRIX_COMMANDS_H_

struct KrigModel;
struct KrigArray;

// Handles one "name < file" / "name > file" line. A reader may move the
// models' array, hence its address.
void inout(KrigModel** models, KrigArray* ka, char** tokens, int count);

#endif  // DORVE_INTERP_MATRIX_COMMANDS_H_
