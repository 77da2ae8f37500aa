#include "numeric/vector_exp.h"

#include <cstring>

#include "numeric/cpu_features.h"

#pragma GCC optimize("fp-contract=off")
// The vector helpers are inlined; no vector value crosses a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef double v4 __attribute__((vector_size(32)));
typedef long long v4i __attribute__((vector_size(32)));

#define DORVE_INLINE inline __attribute__((always_inline))

DORVE_INLINE v4 splat(double a) { return v4{a, a, a, a}; }

// exp(x) = 2^k exp(r), x = k ln 2 + r with |r| <= ln 2 / 2: k by rounding
// x / ln 2 (adding 1.5 2^52 leaves k in the low bits), r by the two-part
// ln 2 of Cody and Waite (k ln2_hi is exact), exp(r) by its Taylor series to
// degree 13 (truncation below 1e-17), 2^k built in the exponent field.
DORVE_INLINE v4 exp4(const v4& x) {
  const v4 shift = splat(0x1.8p52);
  v4 kd = x * splat(1.4426950408889634) + shift;
  const v4i k = (v4i)kd - (v4i)shift;
  kd = kd - shift;
  v4 r = x - kd * splat(6.93147180369123816490e-01);
  r = r - kd * splat(1.90821492927058770002e-10);
  // The series by Estrin's scheme: pairs of terms, then pairs of pairs, so
  // that the additions do not wait on one another in a single chain.
  const v4 r2 = r * r;
  const v4 r4 = r2 * r2;
  const v4 r8 = r4 * r4;
  const v4 c01 = splat(1.0) + r;
  const v4 c23 = splat(0.5) + splat(1.0 / 6.0) * r;
  const v4 c45 = splat(1.0 / 24.0) + splat(1.0 / 120.0) * r;
  const v4 c67 = splat(1.0 / 720.0) + splat(1.0 / 5040.0) * r;
  const v4 c89 = splat(1.0 / 40320.0) + splat(1.0 / 362880.0) * r;
  const v4 c1011 = splat(1.0 / 3628800.0) + splat(1.0 / 39916800.0) * r;
  const v4 c1213 = splat(1.0 / 479001600.0) + splat(1.0 / 6227020800.0) * r;
  const v4 c03 = c01 + c23 * r2;
  const v4 c47 = c45 + c67 * r2;
  const v4 c811 = c89 + c1011 * r2;
  const v4 c07 = c03 + c47 * r4;
  const v4 c813 = c811 + c1213 * r4;
  const v4 p = c07 + c813 * r8;
  const v4i scale_bits = (k + 1023) << 52;
  v4 result = p * (v4)scale_bits;
  const v4i underflow = x < splat(-708.0);
  return (v4)((v4i)result & ~underflow);
}

DORVE_INLINE void exp_loop(const double* x, double* out, long count) {
  long i = 0;
  for (; i + 4 <= count; i += 4) {
    v4 v;
    memcpy(&v, x + i, sizeof v);
    const v4 e = exp4(v);
    memcpy(out + i, &e, sizeof e);
  }
  if (i < count) {
    v4 v = splat(0.0);
    memcpy(&v, x + i, sizeof(double) * (count - i));
    const v4 e = exp4(v);
    memcpy(out + i, &e, sizeof(double) * (count - i));
  }
}

__attribute__((target("avx512f,avx512vl"))) void exp_avx512(const double* x, double* out,
                                                             long count) {
  exp_loop(x, out, count);
}

__attribute__((target("avx2"))) void exp_avx2(const double* x, double* out, long count) {
  exp_loop(x, out, count);
}

void exp_baseline(const double* x, double* out, long count) { exp_loop(x, out, count); }

}  // namespace

void exp_array(const double* x, double* out, long count) {
  switch (vector_isa()) {
    case VectorIsa::kAvx512:
      exp_avx512(x, out, count);
      break;
    case VectorIsa::kAvx2:
      exp_avx2(x, out, count);
      break;
    case VectorIsa::kBaseline:
      exp_baseline(x, out, count);
      break;
  }
}
