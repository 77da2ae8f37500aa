// The widest vector instructions the processor offers, for kernels that
// are compiled once per instruction set and chosen at run time. The choice
// changes speed only: every kernel computes the same lanes with the same
// operations whatever the register width.
#ifndef DORVE_NUMERIC_CPU_FEATURES_H_
#define DORVE_NUMERIC_CPU_FEATURES_H_

enum class VectorIsa { kBaseline, kAvx2, kAvx512 };

VectorIsa vector_isa();

#endif  // DORVE_NUMERIC_CPU_FEATURES_H_
