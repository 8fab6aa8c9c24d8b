// The bytes of a drawing file. A large file read from the disk is mapped rather than copied: its
// bytes stay in the system's file cache, the host keeps only what it made of them, and after a
// pass over the file (reading it, saving it) the pages are given back; touching them again maps
// them again. A file that a save is about to replace stays readable: on POSIX systems renaming
// over a file leaves the open file as it was. Small files, files in memory and Windows (which
// cannot replace a mapped file) copy the bytes into memory; large copies get pages of their own
// (on Linux asked for as huge pages), which saves a page fault for every 4 KB of the file. Records
// read one by one from a mapped file go through a read-ahead window.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "filerecord.h"

#if defined(__linux__)
#define CADHOST_MAPS_FILES 1
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cadhost::dxf {

namespace {
constexpr size_t kMapAbove = 1 << 20;

#if defined(CADHOST_MAPS_FILES)
size_t pageSize() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}
#endif
}  // namespace

FileImage* FileImage::allocate(size_t size) {
#if defined(__linux__)
  if (size >= kMapAbove) {
    void* pages = mmap(nullptr, size + 1, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages != MAP_FAILED) {
      madvise(pages, size + 1, MADV_HUGEPAGE);
      return new (std::nothrow) FileImage(static_cast<char*>(pages), size, size + 1, Storage::OwnPages);
    }
  }
#endif
  char* bytes = new (std::nothrow) char[size + 1];
  if (bytes == nullptr) return nullptr;
  return new (std::nothrow) FileImage(bytes, size, size + 1, Storage::Heap);
}

FileImage* FileImage::copy(std::string_view bytes) {
  FileImage* image = allocate(bytes.size());
  if (image == nullptr) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(image->mutableData(), bytes.data(), bytes.size());
  return image;
}

FileImage* FileImage::open(const std::filesystem::path& path, std::string& error) {
#if defined(CADHOST_MAPS_FILES)
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  const bool stated = fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    error = !stated ? std::strerror(errno) : S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a file";
    ::close(fd);
    return nullptr;
  }
  const auto size = static_cast<size_t>(st.st_size);
  FileImage* image = nullptr;
  void* pages = size >= kMapAbove ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
  if (pages != MAP_FAILED) {
    image = new (std::nothrow) FileImage(static_cast<char*>(pages), size, size, Storage::MappedFile);
    if (image == nullptr) munmap(pages, size);
  } else {
    image = allocate(size);  // small, or the system would not map it: read into memory
  }
  if (image == nullptr) {
    ::close(fd);
    error = "not enough memory";
    return nullptr;
  }
  if (image->mapped()) {
    image->mFile = fd;
    image->mFileSize = static_cast<long long>(st.st_size);
    image->mFileChanged = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return image;
  }
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, image->mutableData() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = std::strerror(errno);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
#else  // Windows
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return nullptr;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  FileImage* image = ec ? nullptr : allocate(static_cast<size_t>(size));
  if (image == nullptr) {
    std::fclose(file);
    error = ec ? ec.message() : "not enough memory";
    return nullptr;
  }
  const size_t done = std::fread(image->mutableData(), 1, static_cast<size_t>(size), file);
  if (std::ferror(file) != 0) error = std::strerror(errno);
  std::fclose(file);
#endif
  if (!error.empty()) {
    image->release();
    return nullptr;
  }
  image->shrink(done);  // a file that shrank while it was read
  return image;
}

bool FileImage::intact() const {
#if defined(CADHOST_MAPS_FILES)
  if (mStorage != Storage::MappedFile) return true;
  struct stat st {};
  if (fstat(mFile, &st) != 0) return false;
  return static_cast<long long>(st.st_size) == mFileSize &&
         static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec == mFileChanged;
#else
  return true;
#endif
}

std::string_view FileImage::read(uint64_t begin, uint64_t end, std::string& buffer) const {
  if (end > mSize || begin > end) return {};
#if defined(CADHOST_MAPS_FILES)
  if (mStorage == Storage::MappedFile) {
    buffer.resize(static_cast<size_t>(end - begin));
    size_t done = 0;
    while (done < buffer.size()) {
      const ssize_t n = pread(mFile, buffer.data() + done, buffer.size() - done, static_cast<off_t>(begin + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return {};
      done += static_cast<size_t>(n);
    }
    return buffer;
  }
#else
  (void)buffer;
#endif
  return view(begin, end);
}

std::string_view RecordWindow::bytes(uint64_t begin, uint64_t end) {
  if (!mImage->mapped()) return mImage->read(begin, end, mWindow);
  const bool walking = begin >= mLastEnd && begin - mLastEnd < kWindow;
  mLastEnd = end;
  if (begin >= mWindowBegin && end <= mWindowBegin + mWindow.size())
    return std::string_view(mWindow).substr(static_cast<size_t>(begin - mWindowBegin), static_cast<size_t>(end - begin));
  const uint64_t windowEnd = walking ? std::min<uint64_t>(std::max(end, begin + kWindow), mImage->size()) : end;
  mWindowBegin = begin;
  if (mImage->read(begin, windowEnd, mWindow).size() == windowEnd - begin)
    return std::string_view(mWindow).substr(0, static_cast<size_t>(end - begin));
  // A file another program shortened: the record alone, if it is still there.
  const std::string_view record = mImage->read(begin, end, mWindow);
  if (record.empty()) mWindow.clear();
  return record;
}

void FileImage::releasePages(uint64_t begin, uint64_t end) {
#if defined(CADHOST_MAPS_FILES)
  if (mStorage != Storage::MappedFile) return;
  end = std::min<uint64_t>(end, mSize);
  const size_t page = pageSize();
  const uint64_t first = (begin + page - 1) / page * page;  // whole pages inside the range only
  const uint64_t last = end == mSize ? end : end / page * page;
  if (last > first) madvise(mBytes + first, static_cast<size_t>(last - first), MADV_DONTNEED);
#else
  (void)begin;
  (void)end;
#endif
}

FileImage::~FileImage() {
#if defined(CADHOST_MAPS_FILES)
  if (mStorage == Storage::MappedFile) {
    munmap(mBytes, mCapacity);
    ::close(mFile);
    return;
  }
#endif
#if defined(__linux__)
  if (mStorage == Storage::OwnPages) {
    munmap(mBytes, mCapacity);
    return;
  }
#endif
  delete[] mBytes;
}

}  // namespace cadhost::dxf
