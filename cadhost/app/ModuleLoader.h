// Loading application modules the way the host does: a module built for another processor is
// refused unread, a module is loaded, its API version is checked against the host release (a
// refused module is unloaded at once), it is registered with the dynamic linker and sent the
// initialisation message with its application id. Unloading sends the unload message first and
// is refused for a module that did not make itself unloadable.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace cadhost::app {

class ModuleLoader {
 public:
  ModuleLoader();
  ~ModuleLoader();  // unloads every module still loaded, as the host does at exit
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  // Loads a module by path. False with a message the host prints when it cannot.
  bool load(const std::wstring& path, std::wstring& message);
  // Unloads a module by file name or path (letter case ignored).
  bool unload(const std::wstring& name, std::wstring& message);
  void unloadAll();

  struct Module {
    std::wstring path;
    std::wstring name;  // file name, upper case
    HMODULE handle = nullptr;
    int (*entryPoint)(int, void*) = nullptr;
  };
  const std::vector<Module>& modules() const { return mModules; }
  const Module* find(const std::wstring& name) const;

  // The loader in use by the host program, or null.
  static ModuleLoader* active();

 private:
  std::vector<Module> mModules;
  ModuleLoader* mPreviousActive;
};

}  // namespace cadhost::app
