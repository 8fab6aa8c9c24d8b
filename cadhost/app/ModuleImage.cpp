// Reading a module's PE header; see ModuleImage.h.
#include "ModuleImage.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace cadhost::app {

ModuleImageStatus readModuleProcessor(const std::wstring& path, Processor& processor, unsigned long& error) {
  // Mapped as a data file: found on LoadLibrary's search path, with no code run and no imports
  // resolved, whatever processor the file is built for.
  HMODULE data = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (data == nullptr) {
    error = GetLastError();
    return error == ERROR_BAD_EXE_FORMAT ? ModuleImageStatus::NotAModule : ModuleImageStatus::NotFound;
  }
  // A data file's handle is its view with the low bits set.
  const auto* view = reinterpret_cast<const unsigned char*>(reinterpret_cast<std::uintptr_t>(data) & ~std::uintptr_t{3});
  MEMORY_BASIC_INFORMATION region{};
  const size_t size = VirtualQuery(view, &region, sizeof region) != 0 ? region.RegionSize : 0;
  ModuleImageStatus status = ModuleImageStatus::NotAModule;
  IMAGE_DOS_HEADER dos{};
  if (size >= sizeof dos) {
    std::memcpy(&dos, view, sizeof dos);
    const auto peOffset = static_cast<std::uint32_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file{};
    if (dos.e_magic == IMAGE_DOS_SIGNATURE && peOffset <= size - sizeof signature - sizeof file) {
      std::memcpy(&signature, view + peOffset, sizeof signature);
      std::memcpy(&file, view + peOffset + sizeof signature, sizeof file);
      const bool dll = (file.Characteristics & IMAGE_FILE_DLL) != 0;
      if (signature == IMAGE_NT_SIGNATURE && dll && file.Machine == IMAGE_FILE_MACHINE_AMD64) {
        processor = Processor::x64;
        status = ModuleImageStatus::Read;
      } else if (signature == IMAGE_NT_SIGNATURE && dll && file.Machine == IMAGE_FILE_MACHINE_I386) {
        processor = Processor::x86;
        status = ModuleImageStatus::Read;
      }
    }
  }
  FreeLibrary(data);
  return status;
}

}  // namespace cadhost::app
