// Writing the file of a save (see outputfile.h).
#include "outputfile.h"

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
// Bytes written around the file cache go in whole blocks from aligned memory.
constexpr size_t kAlign = 4096;
constexpr size_t kBlock = 256 << 10;
#endif
}  // namespace

bool OutputFile::fail() {
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
  stopWriter();
  if (mFd >= 0) ::close(mFd);
  std::free(mBlocks[0]);
  std::free(mBlocks[1]);
}

bool OutputFile::open(const std::filesystem::path& path) {
  const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
#if defined(O_DIRECT)
  void* first = nullptr;
  void* second = nullptr;
  if (posix_memalign(&first, kAlign, kBlock) == 0 && posix_memalign(&second, kAlign, kBlock) == 0) {
    mBlocks[0] = static_cast<char*>(first);
    mBlocks[1] = static_cast<char*>(second);
    mFd = ::open(path.c_str(), flags | O_DIRECT, 0666);
    mDirect = mFd >= 0;
  } else {
    std::free(first);
  }
#endif
  if (mFd < 0) mFd = ::open(path.c_str(), flags, 0666);  // a file system that does not allow it
  return mFd >= 0 || fail();
}

bool OutputFile::writeOut(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(mFd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL && mDirect) {
      // A file system that opens files for direct writing but refuses the writes: through the cache.
      if (fcntl(mFd, F_SETFL, fcntl(mFd, F_GETFL) & ~O_DIRECT) != 0) return fail();
      mDirect = false;
      continue;
    }
    if (n <= 0) return fail();
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    // (A file system that refused the first block directly took it through the cache, and the
    // block to fill is empty again: the rest goes the same way.)
    if (!mDirect) return writeOut(bytes.data(), bytes.size());
    const size_t take = std::min(bytes.size(), kBlock - mFill);
    std::memcpy(mBlocks[mFilling] + mFill, bytes.data(), take);
    mFill += take;
    bytes.remove_prefix(take);
    if (mFill == kBlock && !writeBlock()) return false;
  }
  return true;
}

// A full block: the first is written here, which shows whether the file system takes direct
// writes; the next ones go to the writer, which by then is done with the block to fill next.
// (Where the system cannot start the writer, every block is written here.)
bool OutputFile::writeBlock() {
  char* full = mBlocks[mFilling];
  mFill = 0;
  if (!mWriter.joinable()) {
    if (!writeOut(full, kBlock)) return false;
    if (mDirect && !mNoWriter) {
      try {
        mWriter = std::thread([this] { writeBehind(); });
      } catch (const std::system_error&) {
        mNoWriter = true;
      }
    }
    return true;
  }
  std::unique_lock<std::mutex> lock(mLock);
  mChanged.wait(lock, [&] { return mPending == nullptr; });
  if (mWriteError != 0) {
    errno = mWriteError;
    return fail();
  }
  mPending = full;
  mChanged.notify_all();
  mFilling ^= 1;
  return true;
}

void OutputFile::writeBehind() {
  std::unique_lock<std::mutex> lock(mLock);
  for (;;) {
    mChanged.wait(lock, [&] { return mPending != nullptr || mStop; });
    if (mPending == nullptr) return;
    const char* data = mPending;
    lock.unlock();
    int error = 0;
    for (size_t done = 0; done < kBlock && error == 0;) {
      const ssize_t n = ::write(mFd, data + done, kBlock - done);
      if (n > 0) done += static_cast<size_t>(n);
      else if (n < 0 && errno != EINTR) error = errno;
      else if (n == 0) error = EIO;
    }
    lock.lock();
    if (error != 0 && mWriteError == 0) mWriteError = error;
    mPending = nullptr;
    mChanged.notify_all();
  }
}

// Waits for the block being written and ends the writer.
void OutputFile::stopWriter() {
  if (!mWriter.joinable()) return;
  {
    std::unique_lock<std::mutex> lock(mLock);
    mChanged.wait(lock, [&] { return mPending == nullptr; });
    mStop = true;
    mChanged.notify_all();
  }
  mWriter.join();
}

bool OutputFile::finish() {
  stopWriter();
  bool ok = true;
  if (mWriteError != 0) {
    errno = mWriteError;
    ok = fail();
  }
  if (ok && mDirect && mFill > 0) {
    // The whole blocks around the cache, the rest (less than a block) through it.
    const char* block = mBlocks[mFilling];
    const size_t whole = mFill / kAlign * kAlign;
    ok = writeOut(block, whole);
    if (ok && whole < mFill) {
      ok = fcntl(mFd, F_SETFL, fcntl(mFd, F_GETFL) & ~O_DIRECT) == 0 || fail();
      ok = ok && writeOut(block + whole, mFill - whole);
    }
  }
  ok = ok && (fsync(mFd) == 0 || fail());
  const bool closed = ::close(mFd) == 0;
  mFd = -1;
  if (ok && !closed) fail();
  return ok && closed;
}

#endif

}  // namespace cadhost::dxf
