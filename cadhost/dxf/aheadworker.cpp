// Ordered work shared with a second thread (see aheadworker.h).
#include "aheadworker.h"

#include <algorithm>
#include <new>
#include <utility>

namespace cadhost::dxf {

bool hasSecondCore() {
  static const bool second = std::thread::hardware_concurrency() >= 2;
  return second;
}

AheadWorker::AheadWorker(size_t count, Make make)
    : mCount(count), mMake(std::move(make)), mStates(new std::atomic<uint8_t>[count]) {
  for (size_t i = 0; i < count; ++i) mStates[i].store(kFree, std::memory_order_relaxed);
  mThread = std::thread([this] { work(); });
}

AheadWorker::~AheadWorker() {
  mStop.store(true, std::memory_order_release);
  mThread.join();
}

void AheadWorker::work() {
  size_t item = 0;
  while (!mStop.load(std::memory_order_acquire)) {
    const size_t consumed = mConsumed.load(std::memory_order_acquire);
    item = std::max(item, consumed + kLead);
    if (item >= mCount) return;
    if (item >= consumed + kSlots) {  // its slot still holds an item the caller has not taken
      std::this_thread::yield();
      continue;
    }
    uint8_t state = kFree;
    if (!mStates[item].compare_exchange_strong(state, kWorkerMaking, std::memory_order_acq_rel)) {
      ++item;  // the caller got there first
      continue;
    }
    std::string& bytes = mSlots[item % kSlots].bytes;
    bytes.clear();
    uint8_t made = kFailed;  // unless made here, the caller makes it
    try {
      if (mMake(item, bytes)) made = kMade;
    } catch (const std::bad_alloc&) {
    }
    mStates[item].store(made, std::memory_order_release);
    ++item;
  }
}

void AheadWorker::take(size_t item, std::string* out, const std::function<void()>& makeHere) {
  uint8_t state = kFree;
  if (mStates[item].compare_exchange_strong(state, kCallers, std::memory_order_acq_rel)) {
    if (out != nullptr) makeHere();
  } else {
    while ((state = mStates[item].load(std::memory_order_acquire)) == kWorkerMaking) std::this_thread::yield();
    if (out != nullptr) {
      if (state == kFailed) makeHere();
      else out->append(mSlots[item % kSlots].bytes);
    }
  }
  mConsumed.store(item + 1, std::memory_order_release);
}

}  // namespace cadhost::dxf
