// The handle index of a database: from a handle to the stub that holds it. A drawing has hundreds
// of thousands of objects, so the index is one flat table with linear probing, at most 70% full,
// of 8-byte slots: the low half of the handle (so that a probe that misses need not visit the
// stub) and where the stub stands in the database's stubs. That is about 12 bytes an object,
// where a node-based map takes over 40.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "../sdk/adesk.h"

class AcDbStub;

class ACCORE_PORT AcDbHandleIndex {
 public:
  explicit AcDbHandleIndex(const std::deque<AcDbStub>& stubs) : mStubs(stubs) {}
  AcDbHandleIndex(const AcDbHandleIndex&) = delete;
  AcDbHandleIndex& operator=(const AcDbHandleIndex&) = delete;

  AcDbStub* find(std::uint64_t handle) const;
  bool contains(std::uint64_t handle) const { return find(handle) != nullptr; }
  // Files the stub at a position of the stubs under its handle; false (and nothing changes) when
  // the handle is taken.
  bool insert(std::size_t position);
  // Takes a handle out of the index: the position of its stub, or npos when it was not filed.
  std::size_t erase(std::uint64_t handle);
  void reserve(std::size_t count);
  std::size_t size() const { return mCount; }
  // Calls f(stub) for every stub filed.
  template <class F>
  void forEach(F f) const {
    for (const Slot& s : mSlots)
      if (s.position != 0) f(stubAt(s));
  }
  static constexpr std::size_t npos = ~std::size_t(0);

 private:
  struct Slot {
    std::uint32_t low;       // the handle's low 32 bits
    std::uint32_t position;  // 1 + the stub's position; 0 for an empty slot
  };
  // A file lists its objects mostly in the order of their handles, so runs of 16 consecutive
  // handles share their home: the low 4 bits place a handle in its run, the rest are scattered.
  // Reading a drawing then probes a few cache lines in turn instead of a random one per object.
  std::size_t slotOf(std::uint64_t handle) const {
    const std::uint64_t run = ((handle >> 4) * 0x9E3779B97F4A7C15ull) >> (mShift + 4);
    return static_cast<std::size_t>((run << 4) | (handle & 15));
  }
  AcDbStub* stubAt(const Slot& s) const;
  std::uint64_t handleAt(const Slot& s) const;
  void rehash(std::size_t slots);
  const std::deque<AcDbStub>& mStubs;
  std::vector<Slot> mSlots;
  std::size_t mCount = 0;
  unsigned mShift = 64;  // 64 - log2 of the slots (at least 32 slots)
};
