// Loading plug-in bundles at start; see PluginBundles.h.
#include "PluginBundles.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "HostRelease.h"
#include "PackageContents.h"

namespace cadhost::app {

namespace {

std::wstring knownFolder(int csidl) {
  wchar_t path[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

std::wstring lastPart(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Package descriptions are a few kilobytes; anything far larger is not one.
constexpr LONGLONG kMaxDescriptionSize = 1 << 20;

enum class ReadResult { Read, Missing, TooLarge };

ReadResult readFile(const std::wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReadResult::Missing;
  LARGE_INTEGER size{};
  ReadResult result = ReadResult::Read;
  if (!GetFileSizeEx(file, &size) || size.QuadPart > kMaxDescriptionSize) {
    result = ReadResult::TooLarge;
  } else {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
    bytes.resize(read);
  }
  CloseHandle(file);
  return result;
}

}  // namespace

std::vector<std::wstring> defaultPluginFolders() {
  std::vector<std::wstring> folders;
  for (int csidl : {CSIDL_APPDATA, CSIDL_COMMON_APPDATA}) {
    const std::wstring base = knownFolder(csidl);
    if (!base.empty()) folders.push_back(base + L"\\cadhost\\ApplicationPlugins");
  }
  return folders;
}

bool loadPluginBundles(ModuleLoader& loader, const std::vector<std::wstring>& folders,
                       std::vector<std::wstring>& messages) {
  bool ok = true;
  for (const std::wstring& folder : folders) {
    std::vector<std::wstring> bundles;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.bundle").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) bundles.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(bundles.begin(), bundles.end());
    for (const std::wstring& bundle : bundles) ok = loadPluginBundle(loader, bundle, messages) && ok;
  }
  return ok;
}

bool loadPluginBundle(ModuleLoader& loader, const std::wstring& bundleFolder, std::vector<std::wstring>& messages) {
  const std::wstring bundle = lastPart(bundleFolder);
  std::string bytes;
  switch (readFile(bundleFolder + L"\\PackageContents.xml", bytes)) {
    case ReadResult::Missing:
      messages.push_back(bundle + L" has no PackageContents.xml and is left out.");
      return false;
    case ReadResult::TooLarge:
      messages.push_back(bundle + L": PackageContents.xml is too large to be a package description; the bundle is left out.");
      return false;
    case ReadResult::Read:
      break;
  }
  PackageContents package;
  std::wstring error;
  if (!readPackageContents(bytes, package, error)) {
    messages.push_back(bundle + L": PackageContents.xml cannot be read (" + error + L"); the bundle is left out.");
    return false;
  }
  const HostRelease& release = currentRelease();
  const std::wstring host = release.name() + L" (" + release.series() + L") on " + processorPlatform(hostProcessor());
  bool ok = true;
  int matching = 0;
  for (const BundleComponent& component : package.components) {
    if (!componentRunsOn(component, release, hostProcessor())) continue;
    ++matching;
    if (!component.loadOnStartup) {
      messages.push_back(bundle + L": " + component.moduleName + L" is not loaded at start.");
      continue;
    }
    messages.push_back(bundle + L": loading " + component.moduleName + L" for " + host + L".");
    std::wstring message;
    ok = loader.load(bundleFolder + L"\\" + component.moduleName, message) && ok;
    messages.push_back(message);
  }
  if (matching == 0) messages.push_back(bundle + L" has no module for " + host + L".");
  return ok;
}

}  // namespace cadhost::app
