// Writing the file of a save (see outputfile.h).
#include "outputfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
  if (mFd >= 0) ::close(mFd);
  std::free(mBlock);
}

bool OutputFile::open(const std::filesystem::path& path) {
  const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
#if defined(O_DIRECT)
  void* block = nullptr;
  if (posix_memalign(&block, kAlign, kBlock) == 0) {
    mBlock = static_cast<char*>(block);
    mFd = ::open(path.c_str(), flags | O_DIRECT, 0666);
    mDirect = mFd >= 0;
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
  if (!mDirect) return writeOut(bytes.data(), bytes.size());
  while (!bytes.empty()) {
    const size_t take = std::min(bytes.size(), kBlock - mFill);
    std::memcpy(mBlock + mFill, bytes.data(), take);
    mFill += take;
    bytes.remove_prefix(take);
    if (mFill == kBlock) {
      if (!writeOut(mBlock, kBlock)) return false;
      mFill = 0;
    }
  }
  return true;
}

bool OutputFile::finish() {
  bool ok = true;
  if (mDirect && mFill > 0) {
    // The whole blocks around the cache, the rest (less than a block) through it.
    const size_t whole = mFill / kAlign * kAlign;
    ok = writeOut(mBlock, whole);
    if (ok && whole < mFill) {
      ok = fcntl(mFd, F_SETFL, fcntl(mFd, F_GETFL) & ~O_DIRECT) == 0 || fail();
      ok = ok && writeOut(mBlock + whole, mFill - whole);
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
