// The test extension module: a DLL that holds nothing but resources (see ExtensionResources.rc).
#include <windows.h>

extern "C" __declspec(dllexport) int PlatformTestExtensionVersion()
{
    return 1;
}
