#include "numeric/cpu_features.h"

namespace {

VectorIsa detect() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"))
    return VectorIsa::kAvx512;
  if (__builtin_cpu_supports("avx2")) return VectorIsa::kAvx2;
  return VectorIsa::kBaseline;
}

}  // namespace

VectorIsa vector_isa() {
  static const VectorIsa found = detect();
  return found;
}
