#include "numeric/random.h"

namespace {

// The process-wide stream; start-up seeds it with 10, 20 and 1000.
RandomStream g_stream;

bool seed_in_range(int s) { return s >= 1 && s <= 30000; }

}  // namespace

int seed_random_stream(RandomStream* stream, int a, int b, int c) {
  if (!seed_in_range(a) || !seed_in_range(b) || !seed_in_range(c)) return -45;
  stream->x = a;
  stream->y = b;
  stream->z = c;
  return 0;
}

double next_uniform(RandomStream* s) {
  s->x = 171 * (s->x % 177) - 2 * (s->x / 177);
  s->y = 172 * (s->y % 176) - 35 * (s->y / 176);
  s->z = 170 * (s->z % 178) - 63 * (s->z / 178);
  if (s->x < 0) s->x += 30269;
  if (s->y < 0) s->y += 30307;
  if (s->z < 0) s->z += 30323;
  double u = s->x / 30269.0 + s->y / 30307.0 + s->z / 30323.0;
  while (u > 1) u -= 1;
  return u;
}

int set_random_seeds(int a, int b, int c) { return seed_random_stream(&g_stream, a, b, c); }

double random_uniform() { return next_uniform(&g_stream); }

void get_random_state(int* x, int* y, int* z) {
  *x = g_stream.x;
  *y = g_stream.y;
  *z = g_stream.z;
}
