// What a module file says of itself before any of its code runs: the processor it is built for,
// read from its PE header. The host refuses a module of another processor without loading it.
#pragma once

#include <string>

#include "HostRelease.h"

namespace cadhost::app {

enum class ModuleImageStatus { Read, NotFound, NotAModule };

// Finds the module as LoadLibrary would (a bare file name in the program's folder first) and
// reads its processor. NotFound carries the system's error in `error`.
ModuleImageStatus readModuleProcessor(const std::wstring& path, Processor& processor, unsigned long& error);

}  // namespace cadhost::app
