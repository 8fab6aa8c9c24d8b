// Collecting the messages of a read or a write, up to a limit.
#pragma once

#include <string>
#include <vector>

#include "dxffile.h"

namespace cadhost::dxf {

class MessageSink {
 public:
  explicit MessageSink(size_t limit) : mLimit(limit == 0 ? 1 : limit) {}
  bool wants() const { return mMessages.size() < mLimit; }
  // How many messages have been added (kept or not).
  size_t count() const { return mMessages.size() + mDropped; }
  void add(Message message) {
    if (wants()) mMessages.push_back(std::move(message));
    else ++mDropped;
  }
  // Takes the messages; those over the limit are counted in a last one.
  std::vector<Message> take() {
    if (mDropped > 0) {
      Message more;
      more.text = std::to_wstring(mDropped) + L" more warnings like the ones above";
      mMessages.push_back(more);
      mDropped = 0;
    }
    return std::move(mMessages);
  }

 private:
  size_t mLimit;
  size_t mDropped = 0;
  std::vector<Message> mMessages;
};

}  // namespace cadhost::dxf
