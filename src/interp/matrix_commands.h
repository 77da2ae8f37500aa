// The matrix input and output commands: "name < file" reads a named matrix
// into the model store, "name > file" writes it, "name > screen" shows it.
#ifndef DORVE_INTERP_MATRIX_COMMANDS_H_
#define DORVE_INTERP_MATRIX_COMMANDS_H_

#include "numeric/storage.h"

struct KrigModel;
struct KrigArray;

enum MatrixRequest {
  kShowMatrix = 1,   // on the output stream
  kWriteMatrix = 2,  // to a file
  kReadMatrix = 3,   // from a file
};

// Handles one "name < file" / "name > file" line. A reader may move the
// models' array, hence its address.
void inout(KrigModel** models, KrigArray* ka, char** tokens, int count);

// Performs one request on the named matrix. ka may be null for showing and
// writing (the dumps of a single model); names then describe that model alone.
// Returns false when a file could not be written whole (the writer has said
// so); true otherwise, whatever a reader found.
bool menu_print(KrigModel** models, KrigArray* ka, int mode, const char* name,
                const char* file_name);

// names[i] = yname of model i for every y variable.
void collect_ynames(const KrigArray* ka, const KrigModel* models, StringSlot* names);

#endif  // DORVE_INTERP_MATRIX_COMMANDS_H_
