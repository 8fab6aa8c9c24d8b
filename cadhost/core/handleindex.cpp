// The flat handle index (see handleindex.h).
#include "handleindex.h"

#include "coreaccess.h"

AcDbStub* AcDbHandleIndex::find(std::uint64_t handle) const {
  if (mCount == 0) return nullptr;
  const std::size_t mask = mSlots.size() - 1;
  for (std::size_t i = slotOf(handle);; i = (i + 1) & mask) {
    AcDbStub* s = mSlots[i];
    if (s == nullptr) return nullptr;
    if (s->handle.value() == handle) return s;
  }
}

bool AcDbHandleIndex::insert(AcDbStub* stub) {
  if ((mCount + 1) * 10 > mSlots.size() * 7) rehash(mSlots.empty() ? 16 : mSlots.size() * 2);
  const std::uint64_t handle = stub->handle.value();
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = slotOf(handle);
  for (; mSlots[i] != nullptr; i = (i + 1) & mask)
    if (mSlots[i]->handle.value() == handle) return false;
  mSlots[i] = stub;
  ++mCount;
  return true;
}

void AcDbHandleIndex::erase(std::uint64_t handle) {
  if (mCount == 0) return;
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = slotOf(handle);
  while (mSlots[i] != nullptr && mSlots[i]->handle.value() != handle) i = (i + 1) & mask;
  if (mSlots[i] == nullptr) return;
  mSlots[i] = nullptr;
  --mCount;
  // Moves back the stubs after the hole that probing could no longer reach.
  for (std::size_t j = (i + 1) & mask; mSlots[j] != nullptr; j = (j + 1) & mask) {
    const std::size_t home = slotOf(mSlots[j]->handle.value());
    // The stub at j stays unless the hole at i lies on its way from home to j.
    const bool reachable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
    if (reachable) {
      mSlots[i] = mSlots[j];
      mSlots[j] = nullptr;
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
  std::vector<AcDbStub*> old;
  old.swap(mSlots);
  mSlots.assign(slots, nullptr);
  mShift = 64;
  for (std::size_t s = slots; s > 1; s >>= 1) --mShift;
  const std::size_t mask = slots - 1;
  for (AcDbStub* stub : old) {
    if (stub == nullptr) continue;
    std::size_t i = slotOf(stub->handle.value());
    while (mSlots[i] != nullptr) i = (i + 1) & mask;
    mSlots[i] = stub;
  }
}
