// Writing the file of a save (see outputfile.h).
#include "outputfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "textcodec.h"

namespace cadhost::dxf {

namespace {
#if !defined(_WIN32)
constexpr size_t kBlock = 256 << 10;          // bytes handed to the system at a time
constexpr uint64_t kFlushEvery = 4ull << 20;  // bytes written between two flushes during the save
#endif
}  // namespace

bool OutputFile::fail() {
  mErrorNumber = errno;
  mError = fromUtf8(std::strerror(errno));
  return false;
}

#if defined(_WIN32)

OutputFile::~OutputFile() {
  if (mFile != nullptr) std::fclose(mFile);
}

bool OutputFile::open(const std::filesystem::path& path) {
  mFile = _wfopen(path.c_str(), L"wb");
  return mFile != nullptr || fail();
}

bool OutputFile::write(std::string_view bytes) { return writeOut(bytes.data(), bytes.size()); }

bool OutputFile::writeOut(const char* data, size_t size) {
  return std::fwrite(data, 1, size, mFile) == size || fail();
}

bool OutputFile::finish() {
  const bool flushed = std::fflush(mFile) == 0 && _commit(_fileno(mFile)) == 0;
  if (!flushed) fail();
  const bool closed = std::fclose(mFile) == 0;
  mFile = nullptr;
  if (!closed && flushed) fail();
  return flushed && closed;
}

#else

OutputFile::~OutputFile() {
  stopFlusher();
  if (mFd >= 0) ::close(mFd);
  std::free(mBlock);
}

bool OutputFile::open(const std::filesystem::path& path) {
  mBlock = static_cast<char*>(std::malloc(kBlock));
  if (mBlock == nullptr) {
    errno = ENOMEM;
    return fail();
  }
  mFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return mFd >= 0 || fail();
}

bool OutputFile::writeOut(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(mFd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail();
    data += n;
    size -= static_cast<size_t>(n);
    mWritten += static_cast<uint64_t>(n);
  }
  return true;
}

bool OutputFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t take = std::min(bytes.size(), kBlock - mFill);
    std::memcpy(mBlock + mFill, bytes.data(), take);
    mFill += take;
    bytes.remove_prefix(take);
    if (mFill < kBlock) break;
    mFill = 0;
    if (!writeOut(mBlock, kBlock)) return false;
    if (mWritten - mFlushTo >= kFlushEvery) requestFlush();
  }
  return true;
}

// Asks the flusher to flush what has been written so far (it takes the newest request when it is
// done with the one before).
void OutputFile::requestFlush() {
  if (!mFlusher.joinable()) {
    if (mNoFlusher) return;
    try {
      mFlusher = std::thread([this] { flushBehind(); });
    } catch (const std::system_error&) {
      mNoFlusher = true;
      return;
    }
  }
  std::lock_guard<std::mutex> lock(mLock);
  mFlushTo = mWritten;
  mChanged.notify_all();
}

void OutputFile::flushBehind() {
  std::unique_lock<std::mutex> lock(mLock);
  for (;;) {
    mChanged.wait(lock, [&] { return mFlushTo > mFlushed || mStop; });
    if (mStop) return;
    const uint64_t from = mFlushed, to = mFlushTo;
    lock.unlock();
    const int error = fdatasync(mFd) == 0 ? 0 : errno;
    // The flushed pages are clean now: the cache may let them go.
    if (error == 0) posix_fadvise(mFd, static_cast<off_t>(from), static_cast<off_t>(to - from), POSIX_FADV_DONTNEED);
    lock.lock();
    if (error != 0 && mFlushError == 0) mFlushError = error;
    mFlushed = to;
  }
}

// Ends the flusher once the flush it is making (if any) is done.
void OutputFile::stopFlusher() {
  if (!mFlusher.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mLock);
    mStop = true;
    mChanged.notify_all();
  }
  mFlusher.join();
}

bool OutputFile::finish() {
  bool ok = writeOut(mBlock, mFill);
  mFill = 0;
  stopFlusher();
  if (ok && mFlushError != 0) {
    errno = mFlushError;
    ok = fail();
  }
  ok = ok && (fsync(mFd) == 0 || fail());
  const bool closed = ::close(mFd) == 0;
  mFd = -1;
  if (ok && !closed) fail();
  return ok && closed;
}

#endif

}  // namespace cadhost::dxf
