// The bytes of a drawing file in memory. Large files get pages of their own (on Linux asked for
// as huge pages), which saves the host one page fault for every 4 KB of the file.
#include <cstring>
#include <new>

#include "filerecord.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace cadhost::dxf {

namespace {
constexpr size_t kMapAbove = 1 << 20;
}

FileImage* FileImage::allocate(size_t size) {
#if defined(__linux__)
  if (size >= kMapAbove) {
    void* pages = mmap(nullptr, size + 1, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages != MAP_FAILED) {
      madvise(pages, size + 1, MADV_HUGEPAGE);
      return new (std::nothrow) FileImage(static_cast<char*>(pages), size, size + 1, true);
    }
  }
#endif
  char* bytes = new (std::nothrow) char[size + 1];
  if (bytes == nullptr) return nullptr;
  return new (std::nothrow) FileImage(bytes, size, size + 1, false);
}

FileImage* FileImage::copy(std::string_view bytes) {
  FileImage* image = allocate(bytes.size());
  if (image == nullptr) throw std::bad_alloc();
  if (!bytes.empty()) std::memcpy(image->mutableData(), bytes.data(), bytes.size());
  return image;
}

FileImage::~FileImage() {
#if defined(__linux__)
  if (mMapped) {
    munmap(mBytes, mCapacity);
    return;
  }
#endif
  delete[] mBytes;
}

}  // namespace cadhost::dxf
