// The allocation registry: a checking layer under the numeric storage. While
// tracking is on, every real vector (and real matrix row), every integer
// vector and every real matrix row-pointer array is listed with its element
// count; every resize or release must name a listed pointer and the count the
// list holds for it. Any mismatch ends the run with a fatal error.
#ifndef DORVE_NUMERIC_ALLOC_REGISTRY_H_
#define DORVE_NUMERIC_ALLOC_REGISTRY_H_

#include <cstddef>

// On at start-up; switched off (once) after the first command line unless
// that command is check_allocation.
extern bool alloc_tracking;
void set_alloc_tracking(bool on);
bool alloc_tracking_on();

// Allocate (oldn 0, newn > 0), resize (both non-zero) or release (newn 0).
// Returns the pointer now holding newn elements, or null after a release.
double* generic_alloc(int oldn, double* p, int newn);
int* generic_alloc_i(int oldn, int* p, int newn);
double** generic_alloc_dr(int oldn, double** p, int newn);

// Appends (add true) or removes (add false) a pointer's entry.
void add_list(bool add, int n, double* p);
void add_list_i(bool add, int n, int* p);
void add_list_dr(bool add, int n, double** p);

// 0: absent (or null); 1: present with count n; 2: present with another count.
int seek_list(int n, const double* p);
int seek_list_i(int n, const int* p);
int seek_list_dr(int n, double* const* p);

// Forgets every entry (the blocks they name are not released), for a harness
// that starts a new session in the same process.
void reset_alloc_registry();

// Prints the row-pointer list on standard output.
void print_dlist(const char* label);

// Read access to the lists, for diagnostics and checks.
enum class RegistryKind { kReal, kInt, kRowPointers };
int registry_size(RegistryKind kind);
const void* registry_address(RegistryKind kind, int index);
int registry_count(RegistryKind kind, int index);

// Heap helpers shared with the storage family: n elements of elem_size bytes
// (at least one byte, so an empty block is still a distinct live block);
// null for a negative or overflowing request.
void* heap_alloc(int n, size_t elem_size);
void* heap_realloc(void* p, int n, size_t elem_size);

#endif  // DORVE_NUMERIC_ALLOC_REGISTRY_H_
