// The module's attachment to the process: it records its instance handle, joins the dialog
// framework's resource chain as an extension module, and initialises the host's dialog library.
#include "host/HostInterface.h"
#include "platform/AdUiDialog.h"
#include "platform/ModuleResources.h"

extern "C" {
HINSTANCE _hdllInstance = nullptr;
}

namespace {
AFX_EXTENSION_MODULE g_extensionModule;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    _hdllInstance = hInstance;
    if (!g_extensionModule.bInitialized) {
      AfxInitExtensionModule(g_extensionModule, hInstance);
      new CDynLinkLibrary(g_extensionModule);
    }
    InitAcUiDLL();
  } else if (reason == DLL_PROCESS_DETACH) {
    AfxTermExtensionModule(g_extensionModule);
  }
  return TRUE;
}
