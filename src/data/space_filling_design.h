// The Design command's work: a space-filling design of n points in the box of
// the x variables (a maximin Latin hypercube, see numeric/space_filling.h),
// drawn from the design stream, and put where every matrix can go.
#ifndef DORVE_DATA_SPACE_FILLING_DESIGN_H_
#define DORVE_DATA_SPACE_FILLING_DESIGN_H_

struct KrigModel;
struct KrigArray;

// Most points one design may hold, as many as a MinimizeStage may propose.
constexpr int kMaxDesignPoints = 10000;

// Makes a design of n points (2 .. kMaxDesignPoints) in the box of
// box_file (an XDescription file), or of the XDescription held when
// box_file is null, and puts it in target: "X" makes it the design (and,
// with box_file, the box its XDescription), "screen" or "s" shows it, any
// other name is a matrix file (".csv": CSV). The design's names are the
// box file's Variable column (x1, x2, ... without one), or those of X.
// Refusals print one line and change nothing.
void make_space_filling_design(KrigModel** models, KrigArray* ka, int n, const char* box_file,
                               const char* target);

#endif  // DORVE_DATA_SPACE_FILLING_DESIGN_H_
