// The checks every command makes before it touches a model.
#ifndef DORVE_DATA_INIT_CHECKS_H_
#define DORVE_DATA_INIT_CHECKS_H_

struct KrigInit;
struct KrigModel;
struct KrigArray;

// Size of the display-name buffer of initialized_check.
constexpr int kDisplayNameSize = 32;

// The flag for key ("X", "y", "R", "F", "beta", "alpha", "theta", "U",
// "range", "var" or "FuncName"); the key's display name goes to display.
// An unknown key is a fatal error.
bool initialized_check(const KrigInit& init, const char* key, char* display);

// True when every given key (null ones are skipped) is initialised; with
// report, one "Sorry, can't do that." line per missing key.
bool check_initialized(const KrigInit& init, const char* k1, const char* k2, const char* k3,
                       const char* k4, const char* k5, bool report);

// True when there is at least one response variable; otherwise says so.
bool check_responses(const KrigArray* ka);

#endif  // DORVE_DATA_INIT_CHECKS_H_
