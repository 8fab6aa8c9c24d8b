// The flat handle index (see handleindex.h).
#include "handleindex.h"

#include "coreaccess.h"

AcDbStub* AcDbHandleIndex::stubAt(const Slot& s) const {
  return const_cast<AcDbStub*>(&mStubs[s.position - 1]);
}

std::uint64_t AcDbHandleIndex::handleAt(const Slot& s) const { return mStubs[s.position - 1].handle.value(); }

AcDbStub* AcDbHandleIndex::find(std::uint64_t handle) const {
  if (mCount == 0) return nullptr;
  const auto low = static_cast<std::uint32_t>(handle);
  const std::size_t mask = mSlots.size() - 1;
  for (std::size_t i = slotOf(handle);; i = (i + 1) & mask) {
    const Slot& s = mSlots[i];
    if (s.position == 0) return nullptr;
    if (s.low == low && handleAt(s) == handle) return stubAt(s);
  }
}

bool AcDbHandleIndex::insert(std::size_t position) {
  if (position >= UINT32_MAX) return false;
  if ((mCount + 1) * 10 > mSlots.size() * 7) rehash(mSlots.empty() ? 32 : mSlots.size() * 2);
  const std::uint64_t handle = mStubs[position].handle.value();
  const auto low = static_cast<std::uint32_t>(handle);
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = slotOf(handle);
  for (; mSlots[i].position != 0; i = (i + 1) & mask)
    if (mSlots[i].low == low && handleAt(mSlots[i]) == handle) return false;
  mSlots[i] = {low, static_cast<std::uint32_t>(position + 1)};
  ++mCount;
  return true;
}

std::size_t AcDbHandleIndex::erase(std::uint64_t handle) {
  if (mCount == 0) return npos;
  const auto low = static_cast<std::uint32_t>(handle);
  const std::size_t mask = mSlots.size() - 1;
  std::size_t i = slotOf(handle);
  while (mSlots[i].position != 0 && !(mSlots[i].low == low && handleAt(mSlots[i]) == handle)) i = (i + 1) & mask;
  if (mSlots[i].position == 0) return npos;
  const std::size_t position = mSlots[i].position - 1;
  mSlots[i] = {0, 0};
  --mCount;
  // Moves back the slots after the hole that probing could no longer reach.
  for (std::size_t j = (i + 1) & mask; mSlots[j].position != 0; j = (j + 1) & mask) {
    const std::size_t home = slotOf(handleAt(mSlots[j]));
    // The slot at j moves unless its home lies after the hole, on its way to j.
    const bool movable = i <= j ? (home <= i || home > j) : (home <= i && home > j);
    if (movable) {
      mSlots[i] = mSlots[j];
      mSlots[j] = {0, 0};
      i = j;
    }
  }
  return position;
}

void AcDbHandleIndex::reserve(std::size_t count) {
  std::size_t slots = 32;
  while (slots * 7 < count * 10) slots *= 2;
  if (slots > mSlots.size()) rehash(slots);
}

void AcDbHandleIndex::rehash(std::size_t slots) {
  std::vector<Slot> old;
  old.swap(mSlots);
  mSlots.assign(slots, Slot{0, 0});
  mShift = 64;
  for (std::size_t s = slots; s > 1; s >>= 1) --mShift;
  const std::size_t mask = slots - 1;
  for (const Slot& slot : old) {
    if (slot.position == 0) continue;
    std::size_t i = slotOf(handleAt(slot));
    while (mSlots[i].position != 0) i = (i + 1) & mask;
    mSlots[i] = slot;
  }
}
