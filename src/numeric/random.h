// The process-wide Wichmann-Hill combined congruential generator.
#ifndef DORVE_NUMERIC_RANDOM_H_
#define DORVE_NUMERIC_RANDOM_H_

// Sets the three state words; -45 (state unchanged) when any lies outside 1..30000.
int set_random_seeds(int a, int b, int c);

// The next draw, in (0, 1].
double random_uniform();

// The current state words, for checks.
void get_random_state(int* x, int* y, int* z);

#endif  // DORVE_NUMERIC_RANDOM_H_
