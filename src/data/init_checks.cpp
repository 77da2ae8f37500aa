#include "data/init_checks.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/settings.h"
#include "data/model_store.h"

namespace {

struct InitKey {
  const char* key;
  int KrigInit::*flag;   // null for the objective setting
  const char* display;   // null: the key itself
};

const InitKey kInitKeys[] = {
    {"X", &KrigInit::X, nullptr},
    {"y", &KrigInit::y, nullptr},
    {"R", &KrigInit::R, "Correlation Matrix"},
    {"F", &KrigInit::F, nullptr},
    {"beta", &KrigInit::beta, "Regression Matrix"},
    {"alpha", &KrigInit::alpha, nullptr},
    {"theta", &KrigInit::theta, nullptr},
    {"U", &KrigInit::U, nullptr},
    {"range", &KrigInit::range, "Range for X"},
    {"var", &KrigInit::var, "Stochastic Process Variance"},
    {"FuncName", nullptr, "Objective Function"},
};

}  // namespace

bool initialized_check(const KrigInit& init, const char* key, char* display) {
  snprintf(display, kDisplayNameSize, "%s", key);
  for (const InitKey& k : kInitKeys) {
    if (strcmp(key, k.key) != 0) continue;
    if (k.display != nullptr) snprintf(display, kDisplayNameSize, "%s", k.display);
    return k.flag == nullptr ? g_settings.objective_set : init.*(k.flag) != 0;
  }
  fprintf(out_stream(), "%s\n", key);
  invariant_broken("initialized_check code bug. Unrecognized option.");
}

bool check_initialized(const KrigInit& init, const char* k1, const char* k2, const char* k3,
                       const char* k4, const char* k5, bool report) {
  const char* keys[] = {k1, k2, k3, k4, k5};
  bool all_set = true;
  char display[kDisplayNameSize];
  for (const char* key : keys) {
    if (key == nullptr || initialized_check(init, key, display)) continue;
    all_set = false;
    if (report) fprintf(out_stream(), "Sorry, can't do that. %s is not initialized.\n", display);
  }
  return all_set;
}

bool check_responses(const KrigArray* ka) {
  if (ka->nresp > 0) return true;
  fprintf(out_stream(), "Sorry, there are no response variables.\n");
  return false;
}
