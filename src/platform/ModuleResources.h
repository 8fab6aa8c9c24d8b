// Where dialog templates, menus, accelerators and strings come from: the current resource handle
// and the chain of extension modules (AFX_EXTENSION_MODULE, AfxInitExtensionModule,
// CDynLinkLibrary). A plug-in module initialises its AFX_EXTENSION_MODULE and creates a
// CDynLinkLibrary when it is loaded; from then on resources that are not in the current resource
// module are looked up in its resources as well.
#pragma once

#include "platform/CmdTarget.h"
#include "platform/Win32.h"

#include <string>

// The state of one extension module, usually a static object of the module.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized = FALSE;
    HMODULE hModule = nullptr;   // the module itself
    HMODULE hResource = nullptr; // where its resources are (the module itself by default)
};

// Records hModule in state. A second call finds the state initialised and does nothing.
// Returns FALSE (and changes nothing) when hModule is null.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);
// Removes the module's CDynLinkLibrary objects from the resource chain and deletes them, and marks
// the state uninitialised. bAll: remove every library of the chain, whatever its module.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// A module in the resource chain. Constructing one (with new, normally in the module's
// initialisation) puts it at the head of the chain; deleting it takes it out again.
class CDynLinkLibrary : public CCmdTarget {
    DECLARE_DYNAMIC(CDynLinkLibrary)
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
    CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource);
    ~CDynLinkLibrary() override;

    HMODULE m_hModule;
    HMODULE m_hResource;
    BOOL m_bSystem;
};

// The module searched first; the running program unless set otherwise.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);

// The module that holds resource lpszName of lpszType: the current resource module if it has it,
// else the first module of the chain that has it; the current resource module when none has it
// (so that the caller's own FindResource reports the failure).
HINSTANCE AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType);

// String nID from the string table, looked up through the chain; empty when there is none.
std::wstring AfxLoadString(UINT nID);
// Same; returns false when the string does not exist (the string table cannot tell an empty
// string from a missing one, so an empty string counts as missing).
bool AfxLoadString(UINT nID, std::wstring& text);
