// The flat handle index (see handleindex.h).
#include "handleindex.h"

#include "coreaccess.h"

AcDbStub* AcDbHandleIndex::find(std::uint64_t handle) const {
  if (mCount == 0) return nullptr;
  const std::size_t mask = mSlots.size() - 1;
  for (std::size_t i = slotOf(handle);; i = (i + 1) & mask) {
    const Slot& s = mSlots[i];
    if (s.stub == nullptr) return nullptr;
    if (s.handle == handle) return s.stub;
  }
}

bool AcDbHandleIndex::insert(AcDbStub* stub) {
  if ((mCount + 1) * 10 > mSlots.size() * 7) rehash(mSlots.empty() ? 16 : mSlots.size() * 2);
  const std::uint64_t handle = stub->handle.value();
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = slotOf(handle);
  for (; mSlots[i].stub != nullptr; i = (i + 1) & mask)
    if (mSlots[i].handle == handle) return false;
  mSlots[i] = {handle, stub};
  ++mCount;
  return true;
}

void AcDbHandleIndex::erase(std::uint64_t handle) {
  if (mCount == 0) return;
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = slotOf(handle);
  while (mSlots[i].stub != nullptr && mSlots[i].handle != handle) i = (i + 1) & mask;
  if (mSlots[i].stub == nullptr) return;
  mSlots[i] = {0, nullptr};
  --mCount;
  // Moves back the slots after the hole that probing could no longer reach.
  for (std::size_t j = (i + 1) & mask; mSlots[j].stub != nullptr; j = (j + 1) & mask) {
    const std::size_t home = slotOf(mSlots[j].handle);
    // The slot at j moves unless its home lies after the hole, on its way to j.
    const bool movable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
    if (movable) {
      mSlots[i] = mSlots[j];
      mSlots[j] = {0, nullptr};
      i = j;
    }
  }
}

void AcDbHandleIndex::reserve(std::size_t count) {
  std::size_t slots = 16;
  while (slots * 7 < count * 10) slots *= 2;
  if (slots > mSlots.size()) rehash(slots);
}

void AcDbHandleIndex::rehash(std::size_t slots) {
  std::vector<Slot> old;
  old.swap(mSlots);
  mSlots.assign(slots, Slot{0, nullptr});
  mShift = 64;
  for (std::size_t s = slots; s > 1; s >>= 1) --mShift;
  const std::size_t mask = slots - 1;
  for (const Slot& slot : old) {
    if (slot.stub == nullptr) continue;
    std::size_t i = slotOf(slot.handle);
    while (mSlots[i].stub != nullptr) i = (i + 1) & mask;
    mSlots[i] = slot;
  }
}
