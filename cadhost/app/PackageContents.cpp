// Reading a plug-in bundle's package description; see PackageContents.h.
#include "PackageContents.h"

#include <cwctype>

#include "XmlDocument.h"

namespace cadhost::app {

namespace {

bool equalsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

std::vector<std::wstring> splitAlternatives(const std::wstring& list) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = list.find(L'|', start);
    std::wstring part = list.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
    while (!part.empty() && part.front() == L' ') part.erase(part.begin());
    while (!part.empty() && part.back() == L' ') part.pop_back();
    if (!part.empty()) parts.push_back(part);
    if (bar == std::wstring::npos) return parts;
    start = bar + 1;
  }
}

// The module's path relative to the bundle with backslashes, "./" dropped; false for a path that
// is absolute or climbs out of the bundle's folder.
bool bundleRelativePath(const std::wstring& given, std::wstring& path) {
  path = given;
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  while (path.compare(0, 2, L".\\") == 0) path.erase(0, 2);
  if (path.empty() || path[0] == L'\\' || path.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = path.find(L'\\', start);
    if (path.compare(start, end == std::wstring::npos ? std::wstring::npos : end - start, L"..") == 0) return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

// Reads the requirements of a RuntimeRequirements element into the component.
bool readRequirements(const XmlElement& requirements, BundleComponent& component, std::wstring& error) {
  if (const std::wstring* os = requirements.attribute(L"OS")) component.platforms = *os;
  if (const std::wstring* products = requirements.attribute(L"Platform")) component.products = *products;
  for (auto [attribute, bound] : {std::pair{L"SeriesMin", &component.seriesMin}, std::pair{L"SeriesMax", &component.seriesMax}}) {
    const std::wstring* text = requirements.attribute(attribute);
    if (text == nullptr) continue;
    *bound = parseReleaseSeries(*text);
    if (*bound < 0) {
      error = std::wstring(attribute) + L" \"" + *text + L"\" is not a release series such as R24.0";
      return false;
    }
  }
  return true;
}

}  // namespace

int parseReleaseSeries(const std::wstring& series) {
  if (series.size() < 4 || (series[0] != L'R' && series[0] != L'r')) return -1;
  const size_t dot = series.find(L'.');
  if (dot == std::wstring::npos || dot < 2 || dot > 4 || dot + 1 >= series.size() || series.size() - dot - 1 > 2) return -1;
  int major = 0, minor = 0;
  for (size_t i = 1; i < dot; ++i) {
    if (!std::iswdigit(series[i])) return -1;
    major = major * 10 + (series[i] - L'0');
  }
  for (size_t i = dot + 1; i < series.size(); ++i) {
    if (!std::iswdigit(series[i])) return -1;
    minor = minor * 10 + (series[i] - L'0');
  }
  return major * 100 + minor;
}

bool readPackageContents(const std::string& utf8, PackageContents& package, std::wstring& error) {
  package = PackageContents{};
  XmlElement root;
  if (!readXmlDocument(utf8, root, error)) return false;
  if (root.name != L"ApplicationPackage") {
    error = L"the root element is <" + root.name + L">, not <ApplicationPackage>";
    return false;
  }
  if (const std::wstring* name = root.attribute(L"Name")) package.name = *name;
  BundleComponent packageWide;
  for (const XmlElement* requirements : root.childrenNamed(L"RuntimeRequirements"))
    if (!readRequirements(*requirements, packageWide, error)) return false;
  for (const XmlElement* components : root.childrenNamed(L"Components")) {
    BundleComponent shared = packageWide;
    const auto ownRequirements = components->childrenNamed(L"RuntimeRequirements");
    if (!ownRequirements.empty()) {
      shared = BundleComponent{};
      for (const XmlElement* requirements : ownRequirements)
        if (!readRequirements(*requirements, shared, error)) return false;
    }
    for (const XmlElement* entry : components->childrenNamed(L"ComponentEntry")) {
      BundleComponent component = shared;
      const std::wstring* moduleName = entry->attribute(L"ModuleName");
      if (moduleName == nullptr || moduleName->empty()) {
        error = L"a ComponentEntry names no ModuleName";
        return false;
      }
      if (!bundleRelativePath(*moduleName, component.moduleName)) {
        error = L"ModuleName \"" + *moduleName + L"\" is not a path inside the bundle";
        return false;
      }
      const std::wstring* startup = entry->attribute(L"LoadOnAutoCADStartup");
      component.loadOnStartup = startup != nullptr && equalsIgnoringCase(*startup, L"True");
      package.components.push_back(component);
    }
  }
  return true;
}

bool componentRunsOn(const BundleComponent& component, const HostRelease& release, Processor processor) {
  const int series = parseReleaseSeries(release.series());
  if (component.seriesMin != 0 && series < component.seriesMin) return false;
  if (component.seriesMax != 0 && series > component.seriesMax) return false;
  if (!component.platforms.empty()) {
    bool runs = false;
    for (const std::wstring& platform : splitAlternatives(component.platforms))
      runs = runs || equalsIgnoringCase(platform, processorPlatform(processor));
    if (!runs) return false;
  }
  if (!component.products.empty()) {
    bool runs = false;
    for (const std::wstring& product : splitAlternatives(component.products)) {
      if (!product.empty() && product.back() == L'*')
        runs = runs || equalsIgnoringCase(product.substr(0, product.size() - 1),
                                          std::wstring(kHostProductName).substr(0, product.size() - 1));
      else
        runs = runs || equalsIgnoringCase(product, kHostProductName);
    }
    if (!runs) return false;
  }
  return true;
}

}  // namespace cadhost::app
