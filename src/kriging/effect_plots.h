// Pictures of main and joint effects: one row of panels per y variable,
// at most four panels to a row. A main-effect panel shows the effect of one
// x variable with a band of +/- 2 standard errors over the grid, the span of
// the design points in that variable shaded and each point marked below the
// curve; a joint-effect panel is a heat map of the effect over the grid of
// a pair, with its colour scale and the design points.
#ifndef DORVE_KRIGING_EFFECT_PLOTS_H_
#define DORVE_KRIGING_EFFECT_PLOTS_H_

#include "base/string_slot.h"

// The effects of one y variable as computed: table rows hold the d
// coordinates of each grid point, then the effect and its standard error,
// in the row order of the effects tables (variable by variable, or pair by
// pair with the second variable varying fastest), G grid values per
// variable.
struct EffectPlotModel {
  const char* yname = "";
  int d = 0, G = 0, n = 0;
  double* const* range = nullptr;     // d x 2: lower and upper limit
  double* const* X = nullptr;         // n x d design points
  const StringSlot* xlabels = nullptr;  // d names
  double* const* table = nullptr;
};

// Write the picture of count models to file_name; false when the file could
// not be created or written (reported).
bool write_main_effects_svg(const char* file_name, const EffectPlotModel* models, int count);
bool write_joint_effects_svg(const char* file_name, const EffectPlotModel* models, int count);

#endif  // DORVE_KRIGING_EFFECT_PLOTS_H_
