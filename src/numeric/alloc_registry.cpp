#include "numeric/alloc_registry.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "base/messages.h"

bool alloc_tracking = true;

void set_alloc_tracking(bool on) { alloc_tracking = on; }

bool alloc_tracking_on() { return alloc_tracking; }

namespace {

// The registered addresses, each with the element count recorded for it, in
// the order they were added. A removal only marks its slot dead; the dead
// slots are squeezed out (keeping the order of the live ones) once they
// outnumber the live ones, and before any access by position. An index from
// address to the slot of its first live occurrence makes every lookup,
// addition and removal cost the same whatever the number of live blocks. A
// removed address keeps its index entry, marked kNoSlot, until the next
// squeeze, so that a block resized in place is re-entered without a new
// index node.
struct RegistrySlot {
  const void* address;
  int count;
  bool live;
};

constexpr size_t kNoSlot = static_cast<size_t>(-1);

// The lists are shared by every thread that allocates (the tries of a fit run
// on a pool of threads): each entry point holds this lock. It is recursive
// because the allocation entry points look up and update through the others.
std::recursive_mutex& registry_lock() {
  static std::recursive_mutex* lock = new std::recursive_mutex;
  return *lock;
}

using RegistryGuard = std::lock_guard<std::recursive_mutex>;

struct RegistryList {
  std::vector<RegistrySlot> slots;
  std::unordered_map<const void*, size_t> first_slot;
  int size = 0;        // live entries
  int duplicates = 0;  // additions of an address that was already listed
};

// The lists are made on first use (storage may be allocated before main) and
// never destroyed (storage may be released while the program exits).
RegistryList& real_list() {  // real vectors and real matrix rows
  static RegistryList* list = new RegistryList;
  return *list;
}
RegistryList& int_list() {  // integer vectors
  static RegistryList* list = new RegistryList;
  return *list;
}
RegistryList& dlist() {  // real matrix row-pointer arrays
  static RegistryList* list = new RegistryList;
  return *list;
}

RegistryList& list_of(RegistryKind kind) {
  switch (kind) {
    case RegistryKind::kReal:
      return real_list();
    case RegistryKind::kInt:
      return int_list();
    case RegistryKind::kRowPointers:
      break;
  }
  return dlist();
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

void clear_list(RegistryList& list) {
  std::vector<RegistrySlot>().swap(list.slots);
  std::unordered_map<const void*, size_t>().swap(list.first_slot);
  list.size = 0;
  list.duplicates = 0;
}

// Squeezes the dead slots out, keeping the order: the index follows the
// entries that move and drops the addresses that are no longer listed.
void compact(RegistryList& list) {
  if (static_cast<size_t>(list.size) == list.slots.size()) return;
  size_t kept = 0;
  for (size_t i = 0; i < list.slots.size(); i++) {
    const RegistrySlot slot = list.slots[i];
    const auto it = list.first_slot.find(slot.address);
    if (slot.live) {
      if (it->second == i) it->second = kept;
      list.slots[kept++] = slot;
    } else if (it != list.first_slot.end() && it->second == kNoSlot) {
      list.first_slot.erase(it);
    }
  }
  list.slots.resize(kept);
}

// Slot of the first live occurrence of p, or -1.
long find_slot(const RegistryList& list, const void* p) {
  const auto it = list.first_slot.find(p);
  return it == list.first_slot.end() || it->second == kNoSlot ? -1
                                                              : static_cast<long>(it->second);
}

void append_entry(RegistryList& list, const ListTexts& texts, int n, void* p) {
  try {
    list.slots.push_back(RegistrySlot{p, n, true});
    const auto added = list.first_slot.emplace(p, list.slots.size() - 1);
    if (!added.second) {
      if (added.first->second == kNoSlot)
        added.first->second = list.slots.size() - 1;
      else
        list.duplicates++;
    }
  } catch (const std::bad_alloc&) {
    fatal_error(list.size == 0 ? texts.failure1 : texts.failure5);
  }
  list.size++;
}

// Removes the first live occurrence of p; when p is not listed, the last
// live entry goes (a caller removes only what a lookup has just found).
void remove_entry(RegistryList& list, const void* p) {
  long at = find_slot(list, p);
  if (at < 0) {
    at = static_cast<long>(list.slots.size()) - 1;
    while (!list.slots[at].live) at--;
  }
  RegistrySlot& slot = list.slots[at];
  slot.live = false;
  list.size--;
  const auto it = list.first_slot.find(slot.address);
  if (it != list.first_slot.end() && static_cast<long>(it->second) == at) {
    // Another live occurrence of the same address becomes the first one.
    long next = -1;
    if (list.duplicates > 0) {
      for (size_t i = at + 1; i < list.slots.size(); i++) {
        if (list.slots[i].live && list.slots[i].address == slot.address) {
          next = static_cast<long>(i);
          break;
        }
      }
    }
    if (next >= 0) {
      it->second = static_cast<size_t>(next);
      list.duplicates--;
    } else {
      it->second = kNoSlot;
    }
  } else {
    list.duplicates--;  // a later occurrence of a listed address
  }
  if (list.slots.size() > 2 * static_cast<size_t>(list.size) + 16) compact(list);
}

void update_list(RegistryList& list, const ListTexts& texts, bool add, int n, void* p) {
  if (add) {
    append_entry(list, texts, n, p);
    return;
  }
  check_invariant(list.size != 0, texts.code_bug);
  if (list.size == 1) {
    clear_list(list);
    return;
  }
  remove_entry(list, p);
}

int seek_in(const RegistryList& list, int n, const void* p) {
  if (p == nullptr) return 0;
  const long at = find_slot(list, p);
  if (at < 0) return 0;
  return list.slots[at].count == n ? 1 : 2;
}

// Position (from 1) of p's entry among the live entries, in list order.
int position_of(RegistryList& list, const void* p) {
  compact(list);
  return static_cast<int>(find_slot(list, p)) + 1;
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

namespace {

// The heap said no: the size goes into the message that names the command.
void* shortage(size_t bytes) {
  note_failed_allocation(bytes);
  report_memory_shortage();
  return nullptr;
}

}  // namespace

void* heap_alloc(int n, size_t elem_size) {
  if (n < 0 || elem_size == 0) return nullptr;
  if (static_cast<size_t>(n) > SIZE_MAX / elem_size) return shortage(SIZE_MAX);
  size_t bytes = static_cast<size_t>(n) * elem_size;
  void* p = malloc(bytes == 0 ? 1 : bytes);
  return p ? p : shortage(bytes);
}

void* heap_realloc(void* p, int n, size_t elem_size) {
  if (n < 0 || elem_size == 0) return nullptr;
  if (static_cast<size_t>(n) > SIZE_MAX / elem_size) return shortage(SIZE_MAX);
  size_t bytes = static_cast<size_t>(n) * elem_size;
  void* moved = realloc(p, bytes == 0 ? 1 : bytes);
  return moved ? moved : shortage(bytes);
}

void add_list(bool add, int n, double* p) {
  const RegistryGuard guard(registry_lock());
  update_list(real_list(), kRealListTexts, add, n, p);
}

void add_list_i(bool add, int n, int* p) {
  const RegistryGuard guard(registry_lock());
  update_list(int_list(), kIntListTexts, add, n, p);
}

void add_list_dr(bool add, int n, double** p) {
  const RegistryGuard guard(registry_lock());
  update_list(dlist(), kDListTexts, add, n, p);
}

int seek_list(int n, const double* p) {
  const RegistryGuard guard(registry_lock());
  return seek_in(real_list(), n, p);
}

int seek_list_i(int n, const int* p) {
  const RegistryGuard guard(registry_lock());
  return seek_in(int_list(), n, p);
}

int seek_list_dr(int n, double* const* p) {
  const RegistryGuard guard(registry_lock());
  const int found = seek_in(dlist(), n, p);
  if (found == 2) {
    const int position = position_of(dlist(), p);
    printf("dpointer: %p old n %d #elem %d\n", static_cast<const void*>(p),
           dlist().slots[position - 1].count, position);
  }
  return found;
}

void print_dlist(const char* label) {
  const RegistryGuard guard(registry_lock());
  printf("Double Pointer List: %s \n", label);
  for (const RegistrySlot& slot : dlist().slots)
    if (slot.live) printf("%p %d ", slot.address, slot.count);
  printf("\n");
}

double* generic_alloc(int oldn, double* p, int newn) {
  const RegistryGuard guard(registry_lock());
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
  invariant_broken(t.code_bug);
}

int* generic_alloc_i(int oldn, int* p, int newn) {
  const RegistryGuard guard(registry_lock());
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
  invariant_broken(t.code_bug);
}

double** generic_alloc_dr(int oldn, double** p, int newn) {
  const RegistryGuard guard(registry_lock());
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
  invariant_broken(t.code_bug);
}

int registry_size(RegistryKind kind) {
  const RegistryGuard guard(registry_lock());
  return list_of(kind).size;
}

const void* registry_address(RegistryKind kind, int index) {
  const RegistryGuard guard(registry_lock());
  RegistryList& list = list_of(kind);
  compact(list);
  return (index >= 0 && index < list.size) ? list.slots[index].address : nullptr;
}

int registry_count(RegistryKind kind, int index) {
  const RegistryGuard guard(registry_lock());
  RegistryList& list = list_of(kind);
  compact(list);
  return (index >= 0 && index < list.size) ? list.slots[index].count : 0;
}

void reset_alloc_registry() {
  const RegistryGuard guard(registry_lock());
  RegistryList* const lists[] = {&real_list(), &int_list(), &dlist()};
  for (RegistryList* list : lists) *list = RegistryList();
}
