// The file a save writes (the temporary file beside the drawing): its bytes go to the disk and are
// flushed there before it is closed, so that renaming it over the drawing can only give the new
// drawing whole. On Linux the bytes go straight to the disk (not through the file cache), since
// they are flushed at once in any case: a large drawing then does not fill the cache with a copy.
// A direct write waits for the disk, so full blocks are written by a thread of their own while the
// save fills the next one.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace cadhost::dxf {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();  // abandons an unfinished file (without removing it)

  bool open(const std::filesystem::path& path);
  bool write(std::string_view bytes);
  // Writes what is left, flushes the file to the disk and closes it.
  bool finish();
  // What the system said when a step failed.
  const std::wstring& error() const { return mError; }

 private:
  bool fail();
  bool writeOut(const char* data, size_t size);
#if defined(_WIN32)
  FILE* mFile = nullptr;
#else
  bool writeBlock();
  void writeBehind();
  void stopWriter();
  int mFd = -1;
  bool mDirect = false;  // writing around the file cache: whole aligned blocks only
  char* mBlocks[2] = {nullptr, nullptr};  // the one being filled, and the one being written
  int mFilling = 0;
  size_t mFill = 0;
  // The thread writing full blocks, started once a first block went to the disk directly.
  std::thread mWriter;
  std::mutex mLock;
  std::condition_variable mChanged;
  const char* mPending = nullptr;  // the block the writer is to write or is writing
  bool mStop = false;
  bool mNoWriter = false;  // the system would not start the writer
  int mWriteError = 0;  // what the system said of a block the writer could not write
#endif
  std::wstring mError;
};

}  // namespace cadhost::dxf
