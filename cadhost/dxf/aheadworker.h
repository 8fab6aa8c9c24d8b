// Work whose results go out in order, shared with a second thread. Items 0, 1, 2... each make
// some bytes; the caller takes them in that order. A worker thread makes items some way ahead of
// the caller, in slots of its own; the caller makes each item that the worker has not claimed
// when the caller reaches it. The worker keeps kLead items away from the caller, so that the
// caller finds items of its own to make instead of waiting, and both threads stay busy whichever
// is faster. At most kSlots items are made ahead (their bytes are all the memory this costs).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace cadhost::dxf {

// Whether the machine has a second core to share work with (asked of the system once).
bool hasSecondCore();

class AheadWorker {
 public:
  // make(item, out): the worker's way of making an item's bytes into out (empty when called);
  // false leaves the item to the caller.
  using Make = std::function<bool(size_t item, std::string& out)>;
  AheadWorker(size_t count, Make make);
  ~AheadWorker();  // stops the worker; items it did not reach are never made
  AheadWorker(const AheadWorker&) = delete;
  AheadWorker& operator=(const AheadWorker&) = delete;

  // The next item, in order: appended to out if the worker made it, else (not reached, left to
  // the caller, or failed) made by makeHere, which writes where the caller writes. With out null
  // the item is dropped, made by nobody.
  void take(size_t item, std::string* out, const std::function<void()>& makeHere);

  static constexpr size_t kSlots = 256;
  static constexpr size_t kLead = 16;

 private:
  enum State : uint8_t { kFree, kWorkerMaking, kMade, kFailed, kCallers };
  struct Slot {
    std::string bytes;
  };
  void work();

  const size_t mCount;
  const Make mMake;
  std::unique_ptr<std::atomic<uint8_t>[]> mStates;  // a State for each item
  std::array<Slot, kSlots> mSlots;                  // the bytes of item i in slot i % kSlots
  std::atomic<size_t> mConsumed{0};                 // items the caller has taken
  std::atomic<bool> mStop{false};
  std::thread mThread;
};

}  // namespace cadhost::dxf
