// The fixed-size text slot that names and labels are kept in.
#ifndef DORVE_BASE_STRING_SLOT_H_
#define DORVE_BASE_STRING_SLOT_H_

// A string slot holds a terminated text of at most 29 characters.
constexpr int kSlotLen = 30;
typedef char StringSlot[kSlotLen];

#endif  // DORVE_BASE_STRING_SLOT_H_
