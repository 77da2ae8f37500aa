#include "numeric/alloc_registry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "interp/messages.h"

bool alloc_tracking = true;

void set_alloc_tracking(bool on) { alloc_tracking = on; }

bool alloc_tracking_on() { return alloc_tracking; }

namespace {

// Two parallel arrays of `size` entries: the registered addresses and the
// element count recorded for each. Both are resized by exactly one entry on
// every addition and removal.
struct RegistryList {
  const void** address = nullptr;
  int* count = nullptr;
  int size = 0;
};

RegistryList real_list;  // real vectors and real matrix rows
RegistryList int_list;   // integer vectors
RegistryList dlist;      // real matrix row-pointer arrays

RegistryList& list_of(RegistryKind kind) {
  switch (kind) {
    case RegistryKind::kReal:
      return real_list;
    case RegistryKind::kInt:
      return int_list;
    case RegistryKind::kRowPointers:
      break;
  }
  return dlist;
}

struct ListTexts {
  const char* failure1;
  const char* failure3;
  const char* failure4;
  const char* failure5;
  const char* code_bug;
};

const ListTexts kRealListTexts = {"add_list: Failure (1)", "add_list: Failure (3)",
                                  "add_list: Failure (4)", "add_list: Failure (5)",
                                  "add_list: Code Bug (size_list ==0, add=FALSE "};
const ListTexts kIntListTexts = {"add_list: Failure (1)", "add_list: Failure (3)",
                                 "add_list: Failure (4)", "add_list: Failure (5)",
                                 "add_list: Code Bug (size_int_list ==0, add=FALSE "};
const ListTexts kDListTexts = {"add_list dr: Failure (1)", "add_list dr: Failure (3)",
                               "add_list dr: Failure (4)", "add_list dr: Failure (5)",
                               "add_list dr: Code Bug (size_dlist ==0, add=FALSE "};

void update_list(RegistryList& list, const ListTexts& texts, bool add, int n, void* p) {
  if (list.size == 0 && add) {
    list.size = 1;
    list.address = static_cast<const void**>(malloc(sizeof(const void*)));
    if (list.address == nullptr) fatal_error(texts.failure1);
    list.address[0] = p;
    list.count = static_cast<int*>(malloc(sizeof(int)));
    if (list.count == nullptr) fatal_error(texts.failure3);
    list.count[0] = n;
    return;
  }
  if (list.size == 1 && !add) {
    free(list.address);
    free(list.count);
    list.address = nullptr;
    list.count = nullptr;
    list.size = 0;
    return;
  }
  if (list.size == 0 && !add) fatal_error(texts.code_bug);

  const int old_size = list.size;
  list.size = add ? old_size + 1 : old_size - 1;
  if (!add) {
    // Close the gap: every entry after the removed one moves one place down.
    bool found = false;
    for (int i = 0; i < old_size - 1; i++) {
      if (list.address[i] == p) found = true;
      if (found) {
        list.address[i] = list.address[i + 1];
        list.count[i] = list.count[i + 1];
      }
    }
  }
  int* counts = static_cast<int*>(realloc(list.count, sizeof(int) * list.size));
  if (counts == nullptr) fatal_error(texts.failure4);
  list.count = counts;
  const void** addresses =
      static_cast<const void**>(realloc(list.address, sizeof(const void*) * list.size));
  if (addresses == nullptr) fatal_error(texts.failure5);
  list.address = addresses;
  if (add) {
    list.address[list.size - 1] = p;
    list.count[list.size - 1] = n;
  }
}

// Position (from 0) of p in the list, or -1.
int find_entry(const RegistryList& list, const void* p) {
  for (int i = 0; i < list.size; i++) {
    if (list.address[i] == p) return i;
  }
  return -1;
}

int seek_in(const RegistryList& list, int n, const void* p) {
  if (p == nullptr) return 0;
  const int at = find_entry(list, p);
  if (at < 0) return 0;
  return list.count[at] == n ? 1 : 2;
}

// The fatal texts of one kind of registered storage.
struct KindTexts {
  const char* alloc_existing;
  const char* alloc_failure;
  const char* resize_missing;
  const char* resize_wrong_n;
  const char* resize_failure;
  const char* free_wrong_n;
  const char* free_missing;
  const char* code_bug;
};

const KindTexts kRealTexts = {
    "generic_alloc: (1) Trying to allocate existing pointer. \n \t (2) Pointer not initialized "
    "to NULL",
    "generic_real_alloc: Failure.",
    "generic_alloc: Trying to reallocate nonexisting pointer.",
    "generic_alloc: Trying to reallocate with incorrect old n",
    "generic_alloc: realloc real Vector Failure.",
    "generic_alloc: Trying to free pointer with incorrect old n",
    "generic_alloc: (1) Trying to free nonexisting pointer. \n \t (2) Pointer reAssignment "
    "without change in list",
    "generic_alloc: Code Bug"};

const KindTexts kIntTexts = {
    "generic_alloc i: (1) Trying to allocate existing pointer. \n (2) Pointer not initialized to "
    "NULL ",
    "generic_real_alloc i: Failure.",
    "generic_alloc i: Trying to reallocate nonexisting pointer.",
    "generic_alloc i: Trying to reallocate with incorrect old n",
    "generic_alloc i: realloc real Vector Failure.",
    "generic_alloc i: Trying to free pointer with incorrect old n",
    "generic_alloc i: (1) Trying to free nonexisting pointer. \n (2) Pointer reassignment without "
    "change in list ",
    "generic_alloc i: Code Bug"};

const KindTexts kDrTexts = {
    "generic_alloc dr: (1) Trying to allocate existing pointer. \n (2) Pointer not initialized to "
    "NULL",
    "generic_real_alloc dr: Failure.",
    "generic_alloc dr: Trying to reallocate nonexisting pointer.",
    "generic_alloc dr: Trying to reallocate with incorrect old n",
    "generic_alloc dr: realloc real Vector Failure.",
    "generic_alloc dr:Trying to free pointer with incorrect old n",
    "generic_alloc dr: (1) Trying to free nonexisting pointer. \n (2) pointer reassignment "
    "without change in list",
    "generic_alloc dr: Code Bug."};

enum class Request { kAllocate, kResize, kRelease, kCodeBug };

// Which request the pair of counts (and the pointer) makes. A release through
// a null pointer is a code bug except for real vectors, where the lookup
// reports it as a nonexisting pointer.
Request classify(int oldn, const void* p, int newn, bool null_release_allowed) {
  if (oldn == 0 && newn != 0) return Request::kAllocate;
  if (p != nullptr && oldn != 0 && newn != 0) return Request::kResize;
  if (oldn != 0 && newn == 0 && (p != nullptr || null_release_allowed)) return Request::kRelease;
  return Request::kCodeBug;
}

}  // namespace

void* heap_alloc(int n, size_t elem_size) {
  if (n < 0 || elem_size == 0) return nullptr;
  if (static_cast<size_t>(n) > SIZE_MAX / elem_size) return nullptr;
  size_t bytes = static_cast<size_t>(n) * elem_size;
  return malloc(bytes == 0 ? 1 : bytes);
}

void* heap_realloc(void* p, int n, size_t elem_size) {
  if (n < 0 || elem_size == 0) return nullptr;
  if (static_cast<size_t>(n) > SIZE_MAX / elem_size) return nullptr;
  size_t bytes = static_cast<size_t>(n) * elem_size;
  return realloc(p, bytes == 0 ? 1 : bytes);
}

void add_list(bool add, int n, double* p) { update_list(real_list, kRealListTexts, add, n, p); }

void add_list_i(bool add, int n, int* p) { update_list(int_list, kIntListTexts, add, n, p); }

void add_list_dr(bool add, int n, double** p) { update_list(dlist, kDListTexts, add, n, p); }

int seek_list(int n, const double* p) { return seek_in(real_list, n, p); }

int seek_list_i(int n, const int* p) { return seek_in(int_list, n, p); }

int seek_list_dr(int n, double* const* p) {
  const int found = seek_in(dlist, n, p);
  if (found == 2) {
    const int at = find_entry(dlist, p);
    printf("dpointer: %p old n %d #elem %d\n", static_cast<const void*>(p), dlist.count[at],
           at + 1);
  }
  return found;
}

void print_dlist(const char* label) {
  printf("Double Pointer List: %s \n", label);
  for (int i = 0; i < dlist.size; i++) printf("%p %d ", dlist.address[i], dlist.count[i]);
  printf("\n");
}

double* generic_alloc(int oldn, double* p, int newn) {
  const int seek = seek_list(oldn, p);
  const KindTexts& t = kRealTexts;
  switch (classify(oldn, p, newn, true)) {
    case Request::kAllocate: {
      if (seek != 0) fatal_error(t.alloc_existing);
      double* fresh = static_cast<double*>(heap_alloc(newn, sizeof(double)));
      if (fresh == nullptr) fatal_error(t.alloc_failure);
      add_list(true, newn, fresh);
      return fresh;
    }
    case Request::kResize: {
      if (seek == 0) fatal_error(t.resize_missing);
      if (seek == 2) fatal_error(t.resize_wrong_n);
      add_list(false, oldn, p);
      double* moved = static_cast<double*>(heap_realloc(p, newn, sizeof(double)));
      if (moved == nullptr) fatal_error(t.resize_failure);
      add_list(true, newn, moved);
      return moved;
    }
    case Request::kRelease:
      if (seek == 2) fatal_error(t.free_wrong_n);
      if (seek == 0) fatal_error(t.free_missing);
      add_list(false, oldn, p);
      free(p);
      return nullptr;
    case Request::kCodeBug:
      break;
  }
  fprintf(stderr, "oldn: %d newn: %d vec address: %p seek: %d\n", oldn, newn,
          static_cast<void*>(p), seek);
  fatal_error(t.code_bug);
}

int* generic_alloc_i(int oldn, int* p, int newn) {
  const int seek = seek_list_i(oldn, p);
  const KindTexts& t = kIntTexts;
  switch (classify(oldn, p, newn, false)) {
    case Request::kAllocate: {
      if (seek != 0) fatal_error(t.alloc_existing);
      int* fresh = static_cast<int*>(heap_alloc(newn, sizeof(int)));
      if (fresh == nullptr) fatal_error(t.alloc_failure);
      add_list_i(true, newn, fresh);
      return fresh;
    }
    case Request::kResize: {
      if (seek == 0) fatal_error(t.resize_missing);
      if (seek == 2) fatal_error(t.resize_wrong_n);
      add_list_i(false, oldn, p);
      int* moved = static_cast<int*>(heap_realloc(p, newn, sizeof(int)));
      if (moved == nullptr) fatal_error(t.resize_failure);
      add_list_i(true, newn, moved);
      return moved;
    }
    case Request::kRelease:
      if (seek == 2) fatal_error(t.free_wrong_n);
      if (seek == 0) fatal_error(t.free_missing);
      add_list_i(false, oldn, p);
      free(p);
      return nullptr;
    case Request::kCodeBug:
      break;
  }
  fatal_error(t.code_bug);
}

double** generic_alloc_dr(int oldn, double** p, int newn) {
  const int seek = seek_list_dr(oldn, p);
  const KindTexts& t = kDrTexts;
  switch (classify(oldn, p, newn, false)) {
    case Request::kAllocate: {
      if (seek != 0) fatal_error(t.alloc_existing);
      double** fresh = static_cast<double**>(heap_alloc(newn, sizeof(double*)));
      if (fresh == nullptr) fatal_error(t.alloc_failure);
      add_list_dr(true, newn, fresh);
      return fresh;
    }
    case Request::kResize: {
      if (seek == 0) fatal_error(t.resize_missing);
      if (seek == 2) {
        print_dlist(" ");
        fatal_error(t.resize_wrong_n);
      }
      add_list_dr(false, oldn, p);
      double** moved = static_cast<double**>(heap_realloc(p, newn, sizeof(double*)));
      if (moved == nullptr) fatal_error(t.resize_failure);
      add_list_dr(true, newn, moved);
      return moved;
    }
    case Request::kRelease:
      if (seek == 2) fatal_error(t.free_wrong_n);
      if (seek == 0) fatal_error(t.free_missing);
      add_list_dr(false, oldn, p);
      free(p);
      return nullptr;
    case Request::kCodeBug:
      break;
  }
  fatal_error(t.code_bug);
}

int registry_size(RegistryKind kind) { return list_of(kind).size; }

const void* registry_address(RegistryKind kind, int index) {
  const RegistryList& list = list_of(kind);
  return (index >= 0 && index < list.size) ? list.address[index] : nullptr;
}

int registry_count(RegistryKind kind, int index) {
  const RegistryList& list = list_of(kind);
  return (index >= 0 && index < list.size) ? list.count[index] : 0;
}

void reset_alloc_registry() {
  RegistryList* const lists[] = {&real_list, &int_list, &dlist};
  for (RegistryList* list : lists) {
    free(list->address);
    free(list->count);
    *list = RegistryList();
  }
}
