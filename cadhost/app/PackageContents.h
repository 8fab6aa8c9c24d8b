// The package description of a plug-in bundle (PackageContents.xml in the bundle's folder), as
// the host's autoloader reads it: the components of the package, each naming a module with the
// host release series, processor platform and product it runs on and when it is loaded.
//
//   <ApplicationPackage ...>
//     <Components>
//       <RuntimeRequirements OS="Win64" Platform="AutoCAD*" SeriesMin="R24.0" SeriesMax="R24.0" />
//       <ComponentEntry ModuleName="./Contents/Win64/Module.arx" LoadOnAutoCADStartup="True" />
//     </Components>
//   </ApplicationPackage>
//
// Requirements given at the package's level hold for components that give none of their own.
#pragma once

#include <string>
#include <vector>

#include "HostRelease.h"

namespace cadhost::app {

struct BundleComponent {
  std::wstring moduleName;  // as the description gives it, relative to the bundle's folder
  std::wstring platforms;   // OS: "Win64", "Win32" or both as "Win32|Win64"; empty runs on either
  std::wstring products;    // Platform: product names, '|' between, '*' ending a prefix; empty: any
  int seriesMin = 0;        // release series as major * 100 + minor (R24.0 is 2400); 0: no bound
  int seriesMax = 0;
  bool loadOnStartup = false;  // LoadOnAutoCADStartup="True"
};

struct PackageContents {
  std::wstring name;
  std::vector<BundleComponent> components;
};

// Reads a package description (UTF-8). False with a message when it is not well formed, is not an
// application package, or names a series that is not one ("R24.0"), a module path that leaves
// the bundle's folder or no module at all.
bool readPackageContents(const std::string& utf8, PackageContents& package, std::wstring& error);

// "R24.0" as 2400; -1 when the text is not a release series.
int parseReleaseSeries(const std::wstring& series);

// The product name the host answers to in a component's Platform.
inline constexpr wchar_t kHostProductName[] = L"AutoCAD";

// Whether a component runs on this host: its series range holds the host's series, its platforms
// the host's processor, its products the host's product.
bool componentRunsOn(const BundleComponent& component, const HostRelease& release, Processor processor);

}  // namespace cadhost::app
