// The handle index of a database: from a handle to the stub that holds it. A drawing has hundreds
// of thousands of objects, so the index is one flat table of (handle, stub) slots with linear
// probing, at most 70% full: about 23 bytes an object, where a node-based map takes over 40, and
// a probe that misses does not have to visit the stub.
#pragma once

#include <cstdint>
#include <vector>

class AcDbStub;

class AcDbHandleIndex {
 public:
  AcDbStub* find(std::uint64_t handle) const;
  bool contains(std::uint64_t handle) const { return find(handle) != nullptr; }
  // Files a stub under its handle; false (and nothing changes) when the handle is taken.
  bool insert(AcDbStub* stub);
  // Takes the stub filed under a handle out of the index.
  void erase(std::uint64_t handle);
  void reserve(std::size_t count);
  std::size_t size() const { return mCount; }
  // Calls f(stub) for every stub filed.
  template <class F>
  void forEach(F f) const {
    for (const Slot& s : mSlots)
      if (s.stub != nullptr) f(s.stub);
  }

 private:
  std::size_t slotOf(std::uint64_t handle) const {
    return static_cast<std::size_t>((handle * 0x9E3779B97F4A7C15ull) >> mShift);
  }
  void rehash(std::size_t slots);
  struct Slot {
    std::uint64_t handle;
    AcDbStub* stub;  // null for an empty slot
  };
  std::vector<Slot> mSlots;
  std::size_t mCount = 0;
  unsigned mShift = 64;
};
