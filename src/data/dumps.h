// Saves one model as five matrix files: X, y, RegressionModel,
// StochasticProcessModel and YDescription.
#ifndef DORVE_DATA_DUMPS_H_
#define DORVE_DATA_DUMPS_H_

struct KrigModel;

// Writes the "error_" files and ends the program with status 1. Called when
// a result is numerically impossible.
[[noreturn]] void emergency_dump(KrigModel* kr, const char* message);

// Writes the "temp_" files (overwriting earlier ones) and returns false when
// any of them could not be written whole (the writer has said so).
bool temp_dump(KrigModel* kr, const char* note);

#endif  // DORVE_DATA_DUMPS_H_
