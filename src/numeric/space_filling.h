// Space-filling designs in the unit cube: Latin hypercubes whose points are
// spread apart by the maximin criterion.
//
// A Latin hypercube of n points cuts every axis into n equal cells and puts
// exactly one point in each cell of every axis, at the cell's centre: each
// variable alone is sampled evenly. Among the (n!)^(d-1) such designs the
// one drawn is improved by exchanging the levels of two points in one
// column, a step kept when it lowers
//   phi = sum over the pairs of points of (1 / distance)^50,
// a smooth stand-in for the smallest distance between two points (the
// closest pairs dominate it). Spread-out points leave no large region of
// the box far from every observation, which is what a kriging model needs
// to predict well everywhere.
#ifndef DORVE_NUMERIC_SPACE_FILLING_H_
#define DORVE_NUMERIC_SPACE_FILLING_H_

#include "numeric/random.h"

// Fills points (n rows of d, n >= 2, d >= 1) with a maximin-improved Latin
// hypercube in [0, 1]^d: every entry is (k + 0.5) / n for a cell k, and each
// column holds every cell once. The draws come from stream only; the same
// stream state gives the same design. The number of exchanges tried falls
// as n d grows, so that a design of 10000 points still takes about a second.
void maximin_latin_hypercube(int n, int d, RandomStream* stream, double** points);

// The smallest Euclidean distance between two of the n points.
double smallest_point_distance(int n, int d, double* const* points);

// The stream the Design command draws from: apart from the process-wide one,
// so that a design changes none of the fits' and searches' draws. seed s
// (1 .. 21474836, as RandomSeed takes it) starts it afresh; start-up seeds
// it with 10.
void seed_design_stream(int s);
RandomStream* design_stream();

#endif  // DORVE_NUMERIC_SPACE_FILLING_H_
