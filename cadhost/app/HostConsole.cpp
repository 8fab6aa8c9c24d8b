// The host program's command line input and output; see HostConsole.h.
#include "HostConsole.h"

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace cadhost::app {

std::wstring decodeUtf8(const std::string& bytes) {
  size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (bytes.size() <= start) return L"";
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + start, static_cast<int>(bytes.size() - start), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data() + start, static_cast<int>(bytes.size() - start), text.data(), n);
  return text;
}

std::string encodeUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

void writeOutput(const std::wstring& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = encodeUtf8(text);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

namespace {
int gEchoPauses = 0;
}

void echoToConsole(const std::wstring& text) {
  if (gEchoPauses == 0) writeOutput(text);
}
ConsoleEchoPause::ConsoleEchoPause() { ++gEchoPauses; }
ConsoleEchoPause::~ConsoleEchoPause() { --gEchoPauses; }

// ---- Console input ----------------------------------------------------------------------

struct ConsoleLineSource::Shared {
  std::mutex mutex;
  std::deque<std::wstring> lines;
  bool ended = false;
  HANDLE available = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ~Shared() { CloseHandle(available); }
};

ConsoleLineSource::ConsoleLineSource() : mShared(std::make_shared<Shared>()) {
  DWORD inputMode = 0;
  mConsole = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &inputMode) != 0;
  // The reader owns a share of the state: it may outlive the source while blocked in a read.
  std::thread([shared = mShared] {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;
    std::string pendingBytes;
    std::wstring pendingText;
    auto deliver = [&](std::wstring line) {
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      std::lock_guard lock(shared->mutex);
      shared->lines.push_back(std::move(line));
      SetEvent(shared->available);
    };
    for (;;) {
      if (console) {
        wchar_t buffer[512];
        DWORD read = 0;
        if (!ReadConsoleW(in, buffer, 512, &read, nullptr) || read == 0) break;
        pendingText.append(buffer, read);
      } else {
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &read, nullptr) || read == 0) break;
        pendingBytes.append(buffer, read);
        const size_t lastBreak = pendingBytes.rfind('\n');
        if (lastBreak == std::string::npos) continue;
        pendingText += decodeUtf8(pendingBytes.substr(0, lastBreak + 1));
        pendingBytes.erase(0, lastBreak + 1);
      }
      for (size_t br; (br = pendingText.find(L'\n')) != std::wstring::npos;) {
        deliver(pendingText.substr(0, br));
        pendingText.erase(0, br + 1);
      }
    }
    if (!pendingBytes.empty()) pendingText += decodeUtf8(pendingBytes);
    if (!pendingText.empty()) deliver(pendingText);
    std::lock_guard lock(shared->mutex);
    shared->ended = true;
    SetEvent(shared->available);
  }).detach();
}

ConsoleLineSource::~ConsoleLineSource() = default;

HANDLE ConsoleLineSource::available() const { return mShared->available; }

bool ConsoleLineSource::poll(std::wstring& line, bool& ended) {
  std::lock_guard lock(mShared->mutex);
  ended = false;
  if (!mShared->lines.empty()) {
    line = std::move(mShared->lines.front());
    mShared->lines.pop_front();
    return true;
  }
  ended = mShared->ended;
  return false;
}

bool ConsoleLineSource::readLine(std::wstring& line) {
  for (;;) {
    bool ended = false;
    if (poll(line, ended)) return true;
    if (ended) return false;
    // Wait for the line while the host's windows go on answering.
    const DWORD woke = MsgWaitForMultipleObjects(1, &mShared->available, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
}

// ---- Scripts ----------------------------------------------------------------------------

bool ScriptLineSource::open(const std::wstring& path, std::wstring& message) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    message = L"Cannot open the script " + path + L".";
    return false;
  }
  std::string bytes;
  char buffer[8192];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  std::wstringstream in(decodeUtf8(bytes));
  for (std::wstring line; std::getline(in, line);) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    mLines.push_back(line);
  }
  return true;
}

bool ScriptLineSource::readLine(std::wstring& line) {
  if (mLines.empty()) return false;
  line = std::move(mLines.front());
  mLines.pop_front();
  return true;
}

}  // namespace cadhost::app
