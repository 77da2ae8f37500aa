// The Wichmann-Hill combined congruential generator: the process-wide stream
// that draws the random starts of the fits and the criterion searches, and
// streams of their own for work that must not shift those draws.
#ifndef DORVE_NUMERIC_RANDOM_H_
#define DORVE_NUMERIC_RANDOM_H_

// The three state words of one stream.
struct RandomStream {
  int x = 10;
  int y = 20;
  int z = 1000;
};

// Sets the state words of stream; -45 (state unchanged) when any lies
// outside 1..30000.
int seed_random_stream(RandomStream* stream, int a, int b, int c);

// The next draw of stream, in (0, 1].
double next_uniform(RandomStream* stream);

// The process-wide stream: sets its three state words; -45 (state
// unchanged) when any lies outside 1..30000.
int set_random_seeds(int a, int b, int c);

// The next draw of the process-wide stream, in (0, 1].
double random_uniform();

// The current state words of the process-wide stream, for checks.
void get_random_state(int* x, int* y, int* z);

#endif  // DORVE_NUMERIC_RANDOM_H_
