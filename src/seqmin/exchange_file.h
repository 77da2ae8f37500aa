// The exchange with the outside objective, one evaluation through one
// exchange file: write the point, run the objective command on it, read its
// responses back and check them. The file holds the count d, the d
// coordinates and, once the objective has answered, its k responses
// ("NA" for a missing one), separated by blanks, tabs or line ends.
#ifndef DORVE_SEQMIN_EXCHANGE_FILE_H_
#define DORVE_SEQMIN_EXCHANGE_FILE_H_

#include "seqmin/objective_processes.h"

struct KrigModel;

// Room for the longest message about a failed evaluation.
constexpr int kExchangeMessageSize = 400;

// The text of one coordinate in the exchange file, and the value that text
// reads back as: the value the objective receives, which the design then
// stores. range (Min, Max of the variable; null: unknown) decides: "%f" when
// the range is at least 1 wide (and when it is unknown), unless rounding
// would carry a value inside the range out of it; otherwise the shortest
// text that reads back as the same double, so that small ranges keep their
// significant digits.
double format_exchange_coordinate(double value, const double* range, char* text, int capacity);

// Writes the count d and the point x to the exchange file, each coordinate
// by format_exchange_coordinate with its row of range (null: "%f" for all).
// A file that cannot be created ends the run.
void write_exchange_file(int d, const double* x, double* const* range = nullptr);
// The same to the exchange file named file.
void write_exchange_file_named(const char* file, int d, const double* x, double* const* range);
// The same without ending the run: false, with the message the run would
// end with in message, when the file cannot be created. written (d values,
// may be x itself, or null) receives the point as the file holds it.
bool write_exchange_file_checked(const char* file, int d, const double* x, double* const* range,
                                 double* written, char* message, int capacity);
// The same with every coordinate in the shortest text that reads back as
// the same double, whatever its range: Evaluate hands the objective exactly
// the design's rows, which a rerun of the design reproduces bit for bit.
bool write_exact_exchange_file(const char* file, int d, const double* x, char* message,
                               int capacity);

// The command line that runs the objective: the program name followed by
// the exchange file name, or (is_command) the whole command as given.
// Bounded by capacity; false when it does not fit.
bool objective_command_line(const char* objective, bool is_command, char* buffer, int capacity);

// Reads the k responses that follow the d + 1 leading tokens of the
// exchange file into ynew ("NA"/"na" give the NA marker).
void read_exchange_file(int d, int k, double* ynew);
// The same from the exchange file named file, without ending the run: false
// when the file cannot be read or does not hold k responses, with the
// message that read_exchange_file would end the run with (naming file) in
// message (capacity characters).
bool read_exchange_file_named(const char* file, int d, int k, double* ynew, char* message,
                              int capacity);

// Writes the point, runs the objective command and reads its k responses;
// x becomes the point as the exchange file holds it, the point the objective
// was evaluated at. False, with the reason in message, when the evaluation
// failed: the
// exchange file could not be written, the command could not be run, failed
// (see command_failed: an exit status other than 0, a signal, ObjectiveTimeout
// overrun) or left no readable answer.
bool evaluate_objective(const char* objective, int d, double* x, int k, double* ynew,
                        double* const* range, char* message, int capacity);
// The same, ending the run with the reason when the evaluation failed.
void sample_new_y(const char* objective, int d, const double* x, int k, double* ynew,
                  double* const* range = nullptr);

// An NA, inf or nan cannot be modelled: appending it would corrupt every
// later fit and, as a response, could become the smallest value. Says so
// (naming the y variable of models) and returns true when the answer y (k
// values) holds one.
bool refuse_unusable_answer(const KrigModel* models, int k, const double* y);

#endif  // DORVE_SEQMIN_EXCHANGE_FILE_H_
