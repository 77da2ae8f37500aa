// The widest vector instructions the processor offers, for kernels that
// are compiled once per instruction set and chosen at run time. The choice
// changes speed only: every kernel computes the same lanes with the same
// operations whatever the register width.
#ifndef DORVE_NUMERIC_CPU_FEATURES_H_
#define DORVE_NUMERIC_CPU_FEATURES_H_

enum class VectorIsa { kBaseline, kAvx2, kAvx512 };

// Put before a function of a file's own (internal linkage): it is compiled
// for the baseline instruction set and for AVX2, and the loader picks the
// processor's version. clang (the fuzzing build) builds the baseline alone.
#if defined(__clang__)
#define DORVE_VECTOR_CLONES
#else
#define DORVE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

VectorIsa vector_isa();

#endif  // DORVE_NUMERIC_CPU_FEATURES_H_
