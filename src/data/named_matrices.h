// The named matrices of the model store ("X", "y", "RegressionModel", ...):
// each name leads to its reader and to its writer, for the matrix commands
// and for the dumps alike.
#ifndef DORVE_DATA_NAMED_MATRICES_H_
#define DORVE_DATA_NAMED_MATRICES_H_

#include "numeric/storage.h"

struct KrigModel;
struct KrigArray;

enum MatrixRequest {
  kShowMatrix = 1,   // on the output stream
  kWriteMatrix = 2,  // to a file
  kReadMatrix = 3,   // from a file
};

// True when word names a matrix that a command line may start with. Some
// names (used by the dumps) are known to menu_print only.
bool is_matrix_command_word(const char* word);

// Performs one request on the named matrix. ka may be null for showing and
// writing (the dumps of a single model); names then describe that model alone.
// Returns false when a file could not be written whole (the writer has said
// so); true otherwise, whatever a reader found.
bool menu_print(KrigModel** models, KrigArray* ka, int mode, const char* name,
                const char* file_name);

// names[i] = yname of model i for every y variable.
void collect_ynames(const KrigArray* ka, const KrigModel* models, StringSlot* names);

#endif  // DORVE_DATA_NAMED_MATRICES_H_
