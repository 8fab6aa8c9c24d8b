// The host's autoloader: at start the host looks for plug-in bundles (folders named *.bundle, each
// with a PackageContents.xml) in its plug-ins folders and loads from each bundle the modules meant
// for its release series and processor, saying which. A bundle that cannot be read, or that has
// nothing for this host, is reported and left out; the other bundles still load.
#pragma once

#include <string>
#include <vector>

#include "ModuleLoader.h"

namespace cadhost::app {

// The host's plug-ins folders: %APPDATA%\cadhost\ApplicationPlugins for the user and
// %ProgramData%\cadhost\ApplicationPlugins for every user of the computer.
std::vector<std::wstring> defaultPluginFolders();

// Loads the bundles found directly in the folders, in the order of the folders and, within one, of
// the bundles' names; a missing folder holds none. Each thing done or refused adds a line to
// `messages`. False when a module meant for this host could not be loaded, or a bundle could not
// be read.
bool loadPluginBundles(ModuleLoader& loader, const std::vector<std::wstring>& folders,
                       std::vector<std::wstring>& messages);

// Loads from one bundle folder; see loadPluginBundles.
bool loadPluginBundle(ModuleLoader& loader, const std::wstring& bundleFolder, std::vector<std::wstring>& messages);

}  // namespace cadhost::app
