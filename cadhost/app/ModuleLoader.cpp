// Loading application modules; see ModuleLoader.h.
#include "ModuleLoader.h"

#include <algorithm>
#include <cwctype>

#include "../core/hostservices.h"
#include "HostRelease.h"
#include "ModuleImage.h"
#include "rxregsvc.h"

namespace cadhost::app {

namespace {
ModuleLoader* gActive = nullptr;

std::wstring fileNameUpper(const std::wstring& path) {
  std::wstring name = path;
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  for (auto& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

std::wstring hex(unsigned value) {
  wchar_t buffer[16];
  swprintf(buffer, 16, L"0x%X", value);
  return buffer;
}
}  // namespace

ModuleLoader::ModuleLoader() : mPreviousActive(gActive) {
  gActive = this;
  cadhost::ModuleLoader hooks;
  hooks.load = [this](const std::wstring& path) {
    std::wstring message;
    return load(path, message);
  };
  hooks.unload = [this](const std::wstring& name) {
    std::wstring message;
    return unload(name, message);
  };
  cadhost::setModuleLoader(hooks);
}

ModuleLoader::~ModuleLoader() {
  unloadAll();
  gActive = mPreviousActive;
  cadhost::setModuleLoader({});
}

ModuleLoader* ModuleLoader::active() { return gActive; }

const ModuleLoader::Module* ModuleLoader::find(const std::wstring& name) const {
  const std::wstring wanted = fileNameUpper(name);
  for (const Module& m : mModules)
    if (m.name == wanted) return &m;
  return nullptr;
}

bool ModuleLoader::load(const std::wstring& path, std::wstring& message) {
  const std::wstring name = fileNameUpper(path);
  if (find(name) != nullptr) {
    message = name + L" is already loaded.";
    return false;
  }
  const HostRelease& release = currentRelease();
  // A module of another processor is refused before any of its code runs.
  Processor processor = hostProcessor();
  unsigned long error = 0;
  switch (readModuleProcessor(path, processor, error)) {
    case ModuleImageStatus::NotFound:
      message = L"Cannot load " + path + L" (error " + std::to_wstring(error) + L").";
      return false;
    case ModuleImageStatus::NotAModule:
      message = path + L" is not an application module.";
      return false;
    case ModuleImageStatus::Read:
      break;
  }
  if (processor != hostProcessor()) {
    message = name + L" is built for " + processorName(processor) + L"; this host (" + release.name() + L", " +
              processorName(hostProcessor()) + L") loads only " + processorName(hostProcessor()) + L" modules.";
    return false;
  }
  HMODULE handle = LoadLibraryW(path.c_str());
  if (handle == nullptr) {
    message = L"Cannot load " + path + L" (error " + std::to_wstring(GetLastError()) + L").";
    return false;
  }
  auto getVersion = reinterpret_cast<unsigned (*)()>(reinterpret_cast<void*>(GetProcAddress(handle, "acrxGetApiVersion")));
  auto entryPoint = reinterpret_cast<int (*)(int, void*)>(reinterpret_cast<void*>(GetProcAddress(handle, "acrxEntryPoint")));
  if (getVersion == nullptr || entryPoint == nullptr) {
    FreeLibrary(handle);
    message = path + L" is not an application module: it lacks acrxGetApiVersion or acrxEntryPoint.";
    return false;
  }
  const unsigned version = getVersion();
  if (version != release.apiVersion()) {
    FreeLibrary(handle);
    const std::wstring releases = releasesOfApiVersion(version);
    message = name + L" was built for API version " + hex(version) + (releases.empty() ? L"" : L" (" + releases + L")") +
              L"; this host (" + release.name() + L") needs API version " + hex(release.apiVersion()) + L".";
    return false;
  }
  void* appId = handle;
  cadhost::registerApplication(name, appId);
  mModules.push_back({path, name, handle, entryPoint});
  if (entryPoint(AcRx::kInitAppMsg, appId) != AcRx::kRetOK) {
    cadhost::unregisterApplication(appId);
    mModules.pop_back();
    FreeLibrary(handle);
    message = name + L" refused to initialise.";
    return false;
  }
  message = name + L" loaded.";
  return true;
}

bool ModuleLoader::unload(const std::wstring& nameOrPath, std::wstring& message) {
  const std::wstring name = fileNameUpper(nameOrPath);
  const auto it = std::find_if(mModules.begin(), mModules.end(), [&](const Module& m) { return m.name == name; });
  if (it == mModules.end()) {
    message = name + L" is not loaded.";
    return false;
  }
  void* appId = it->handle;
  const cadhost::ApplicationRecord* record = cadhost::findApplication(appId);
  if (record != nullptr && !record->unlocked) {
    message = name + L" is locked and cannot be unloaded.";
    return false;
  }
  it->entryPoint(AcRx::kUnloadAppMsg, appId);
  cadhost::unregisterApplication(appId);
  const HMODULE handle = it->handle;
  mModules.erase(it);
  FreeLibrary(handle);
  message = name + L" unloaded.";
  return true;
}

void ModuleLoader::unloadAll() {
  // At exit every module gets its unload message, locked or not, the last loaded first.
  while (!mModules.empty()) {
    Module m = mModules.back();
    mModules.pop_back();
    m.entryPoint(AcRx::kUnloadAppMsg, m.handle);
    cadhost::unregisterApplication(m.handle);
    FreeLibrary(m.handle);
  }
}

}  // namespace cadhost::app
