// The file a save writes (the temporary file beside the drawing): its bytes go to the disk and are
// flushed there before it is closed, so that renaming it over the drawing can only give the new
// drawing whole. Flushing a large file at the end would leave the save waiting for the disk, so on
// Linux a thread of its own flushes what has been written every few megabytes while the save goes
// on, and lets the flushed pages go from the file cache (a saved drawing need not fill the cache).
#pragma once

#include <condition_variable>
#include <cstdint>
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
  // What the system said when a step failed, and its error number.
  const std::wstring& error() const { return mError; }
  int errorNumber() const { return mErrorNumber; }

 private:
  bool fail();
  bool writeOut(const char* data, size_t size);
#if defined(_WIN32)
  FILE* mFile = nullptr;
#else
  void requestFlush();
  void flushBehind();
  void stopFlusher();
  int mFd = -1;
  char* mBlock = nullptr;  // bytes gathered for the next write
  size_t mFill = 0;
  uint64_t mWritten = 0;   // bytes handed to the system
  // The flusher, started when the first kFlushEvery bytes are written.
  std::thread mFlusher;
  std::mutex mLock;
  std::condition_variable mChanged;
  uint64_t mFlushTo = 0;   // the flusher is to flush the file up to here
  uint64_t mFlushed = 0;   // and has flushed it up to here
  bool mStop = false;
  bool mNoFlusher = false;  // the system would not start the flusher: the end flushes everything
  int mFlushError = 0;      // what the system said of a flush that failed (a later one may not say it again)
#endif
  std::wstring mError;
  int mErrorNumber = 0;
};

}  // namespace cadhost::dxf
