// The drawing-file interface: reading files, writing them safely (a temporary file beside the
// target, flushed to the disk, then renamed over it), and the messages.
#include "dxffile.h"

#include <cerrno>
#include <filesystem>
#include <random>

#include "../core/hostservices.h"
#include "outputfile.h"
#include "reading.h"
#include "textcodec.h"

namespace cadhost::dxf {

namespace {

constexpr size_t kFlushAt = 256 << 10;  // bytes gathered before they go to the file

std::filesystem::path nativePath(const std::wstring& path) {
#if defined(_WIN32)
  return std::filesystem::path(path);
#else
  return std::filesystem::path(toUtf8(path));
#endif
}

Message errorMessage(std::wstring text) {
  Message m;
  m.severity = Severity::Error;
  m.text = std::move(text);
  return m;
}

std::wstring lines(const std::vector<Message>& messages) {
  std::wstring text;
  for (const auto& m : messages) {
    if (!text.empty()) text += L"\n";
    text += m.toString();
  }
  return text;
}

}  // namespace

std::wstring Message::toString() const {
  if (line >= 0) return L"line " + std::to_wstring(line) + L": " + text;
  if (offset >= 0) return L"byte " + std::to_wstring(offset) + L": " + text;
  return text;
}

bool ReadResult::hasWarnings() const {
  for (const auto& m : messages)
    if (m.severity == Severity::Warning) return true;
  return false;
}

std::wstring ReadResult::report() const { return lines(messages); }
std::wstring WriteResult::report() const { return lines(messages); }

ReadResult readDrawing(const std::wstring& path, const ReadOptions& options) {
  cadhost::HostReadScope hostReads;  // the reader and writer read the drawing as the host does
  std::string reason;
  FileImage* image = FileImage::open(nativePath(path), reason);
  if (image == nullptr) {
    ReadResult result;
    result.messages.push_back(errorMessage(L"cannot read " + path + L": " + fromUtf8(reason)));
    return result;
  }
  ReadResult result = readDrawingImage(image, path, options);
  image->release();
  return result;
}

ReadResult readDrawingFromMemory(const void* data, size_t size, const std::wstring& name, const ReadOptions& options) {
  cadhost::HostReadScope hostReads;
  FileImage* image = FileImage::copy(std::string_view(static_cast<const char*>(data), size));
  ReadResult result = readDrawingImage(image, name, options);
  image->release();
  return result;
}

namespace {

WriteResult checkWritable(AcDbDatabase* db) {
  WriteResult result;
  if (db == nullptr) {
    result.messages.push_back(errorMessage(L"there is no drawing to write"));
    return result;
  }
  for (const auto& stub : AcDbCore::imp(db)->stubs) {
    if (stub.loaded() != nullptr && AcDbCore::openForWrite(stub.loaded())) {
      ACHAR handle[20];
      stub.handle.getIntoAsciiBuffer(handle, 20);
      result.messages.push_back(errorMessage(std::wstring(L"the object ") + handle +
                                             L" is open for write; close it before the drawing is saved"));
      return result;
    }
  }
  result.ok = true;
  return result;
}

// Why a file cannot be made in the folder of target (path as the caller gave it), which the system
// refused: the folder itself when it is missing or no folder. (A folder that may not be written can
// give "No such file or directory", which names the wrong reason.)
std::wstring whyNotWritable(const std::wstring& path, const std::filesystem::path& target, const OutputFile& file) {
  const size_t slash = path.find_last_of(L"/\\");
  const std::wstring shown = slash == std::wstring::npos ? std::wstring(L".") : slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!std::filesystem::exists(folder, ec)) return L"the folder " + shown + L" does not exist";
  if (!std::filesystem::is_directory(folder, ec)) return shown + L" is not a folder";
  if (file.errorNumber() == ENOENT) return L"the folder " + shown + L" cannot be written to";
  return L"the folder " + shown + L" cannot be written to (" + file.error() + L")";
}

}  // namespace

WriteResult writeDrawingToMemory(AcDbDatabase* db, std::string& bytes) {
  cadhost::HostReadScope hostReads;
  WriteResult check = checkWritable(db);
  if (!check.ok) return check;
  std::string buffer;
  bytes.clear();
  const std::function<bool(std::string&)> flush = [&bytes](std::string& chunk) {
    bytes.append(chunk);
    return true;
  };
  WriteResult result = writeDrawingBytes(db, buffer, kFlushAt, flush);
  result.bytesWritten = bytes.size();
  return result;
}

WriteResult writeDrawing(AcDbDatabase* db, const std::wstring& path) {
  cadhost::HostReadScope hostReads;
  WriteResult check = checkWritable(db);
  if (!check.ok) return check;
  std::filesystem::path target = nativePath(path);
  std::error_code ec;
  // A link is saved through: its target is the file replaced, and the link stays.
  if (std::filesystem::is_symlink(target, ec)) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  // An existing drawing keeps its permissions, and one that may not be written is not replaced.
  const std::filesystem::file_status existing = std::filesystem::status(target, ec);
  const bool exists = !ec && std::filesystem::exists(existing);
  constexpr auto kAnyWrite = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                             std::filesystem::perms::others_write;
  if (exists && (existing.permissions() & kAnyWrite) == std::filesystem::perms::none) {
    check.ok = false;
    check.messages.push_back(errorMessage(L"cannot write " + path + L": the file is read-only; the file is as it was"));
    return check;
  }
  // The temporary file lies beside the target, so that renaming it is one step on one disk.
  std::random_device random;
  std::filesystem::path temporary = target;
  temporary += ".~" + std::to_string(random() % 1000000) + ".tmp";
  OutputFile file;
  if (!file.open(temporary)) {
    check.ok = false;
    check.messages.push_back(errorMessage(L"cannot write " + path + L": " + whyNotWritable(path, target, file)));
    return check;
  }
  if (exists) std::filesystem::permissions(temporary, existing.permissions(), ec);
  size_t written = 0;
  bool ioFailed = false;
  const std::function<bool(std::string&)> flush = [&](std::string& chunk) {
    if (!file.write(chunk)) {
      ioFailed = true;
      return false;
    }
    written += chunk.size();
    return true;
  };
  std::string buffer;
  buffer.reserve(kFlushAt + (64 << 10));
  WriteResult result = writeDrawingBytes(db, buffer, kFlushAt, flush);
  const bool finished = !ioFailed && result.ok && file.finish();
  std::wstring reason = file.error();  // what the system said when a step failed
  if (reason.empty()) reason = L"the drawing could not be written out";
  if (!result.ok || !finished) {
    std::filesystem::remove(temporary, ec);
    result.ok = false;
    result.messages.push_back(errorMessage(L"cannot write " + path + L": " + reason + L"; the file is as it was"));
    return result;
  }
  ec.clear();
  std::filesystem::rename(temporary, target, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    result.ok = false;
    result.messages.push_back(errorMessage(L"cannot replace " + path + L": " + fromUtf8(ec.message()) + L"; the file is as it was"));
    return result;
  }
  result.bytesWritten = written;
  db->setFilename(path.c_str());
  return result;
}

}  // namespace cadhost::dxf
