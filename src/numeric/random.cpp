#include "numeric/random.h"

// The three state words of the Wichmann-Hill generator; start-up seeds them
// with 10, 20 and 1000.
static int state_x = 10;
static int state_y = 20;
static int state_z = 1000;

static bool seed_in_range(int s) { return s >= 1 && s <= 30000; }

int set_random_seeds(int a, int b, int c) {
  if (!seed_in_range(a) || !seed_in_range(b) || !seed_in_range(c)) return -45;
  state_x = a;
  state_y = b;
  state_z = c;
  return 0;
}

void get_random_state(int* x, int* y, int* z) {
  *x = state_x;
  *y = state_y;
  *z = state_z;
}

double random_uniform() {
  state_x = 171 * (state_x % 177) - 2 * (state_x / 177);
  state_y = 172 * (state_y % 176) - 35 * (state_y / 176);
  state_z = 170 * (state_z % 178) - 63 * (state_z / 178);
  if (state_x < 0) state_x += 30269;
  if (state_y < 0) state_y += 30307;
  if (state_z < 0) state_z += 30323;
  double u = state_x / 30269.0 + state_y / 30307.0 + state_z / 30323.0;
  while (u > 1) u -= 1;
  return u;
}
