// The resource chain: current resource handle, the list of CDynLinkLibrary objects, and resource
// lookups through them.
#include "platform/ModuleResources.h"

#include <algorithm>
#include <mutex>
#include <vector>

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CCmdTarget)

namespace {

struct ResourceChain {
    std::mutex mutex;
    HINSTANCE resourceHandle = nullptr; // null: the running program
    std::vector<CDynLinkLibrary*> libraries; // most recently added first
};

ResourceChain& Chain()
{
    static ResourceChain chain;
    return chain;
}

HINSTANCE CurrentResourceHandleLocked(const ResourceChain& chain)
{
    return chain.resourceHandle != nullptr ? chain.resourceHandle : ::GetModuleHandleW(nullptr);
}

bool HasResource(HINSTANCE module, LPCWSTR name, LPCWSTR type)
{
    return module != nullptr && ::FindResourceW(module, name, type) != nullptr;
}

// Looks string nID up in one module. Strings are kept in blocks of 16 counted UTF-16 strings.
bool LoadStringFrom(HINSTANCE module, UINT nID, std::wstring& text)
{
    HRSRC block = ::FindResourceW(module, MAKEINTRESOURCEW((nID >> 4) + 1), RT_STRING);
    if (block == nullptr)
        return false;
    HGLOBAL loaded = ::LoadResource(module, block);
    const auto* data = static_cast<const WCHAR*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (data == nullptr)
        return false;
    const DWORD size = ::SizeofResource(module, block) / sizeof(WCHAR);
    const WCHAR* end = data + size;
    const WCHAR* entry = data;
    for (UINT index = 0; index < (nID & 15); ++index) {
        if (entry >= end)
            return false;
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || entry + 1 + *entry > end)
        return false;
    text.assign(entry + 1, *entry);
    return true;
}

} // namespace

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule)
{
    if (state.bInitialized)
        return TRUE;
    if (hModule == nullptr)
        return FALSE;
    state.hModule = hModule;
    state.hResource = hModule;
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll)
{
    std::vector<CDynLinkLibrary*> doomed;
    {
        ResourceChain& chain = Chain();
        std::lock_guard lock(chain.mutex);
        for (CDynLinkLibrary* library : chain.libraries) {
            if (bAll || library->m_hModule == state.hModule)
                doomed.push_back(library);
        }
    }
    for (CDynLinkLibrary* library : doomed)
        delete library; // takes itself out of the chain
    state.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : CDynLinkLibrary(state.hModule, state.hResource)
{
    m_bSystem = bSystem;
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE hModule, HINSTANCE hResource)
    : m_hModule(hModule), m_hResource(hResource != nullptr ? hResource : hModule), m_bSystem(FALSE)
{
    ResourceChain& chain = Chain();
    std::lock_guard lock(chain.mutex);
    chain.libraries.insert(chain.libraries.begin(), this);
}

CDynLinkLibrary::~CDynLinkLibrary()
{
    ResourceChain& chain = Chain();
    std::lock_guard lock(chain.mutex);
    chain.libraries.erase(std::remove(chain.libraries.begin(), chain.libraries.end(), this), chain.libraries.end());
}

HINSTANCE AfxGetResourceHandle()
{
    ResourceChain& chain = Chain();
    std::lock_guard lock(chain.mutex);
    return CurrentResourceHandleLocked(chain);
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    ResourceChain& chain = Chain();
    std::lock_guard lock(chain.mutex);
    chain.resourceHandle = hInstResource;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR lpszName, LPCWSTR lpszType)
{
    ResourceChain& chain = Chain();
    std::lock_guard lock(chain.mutex);
    HINSTANCE current = CurrentResourceHandleLocked(chain);
    if (HasResource(current, lpszName, lpszType))
        return current;
    for (const CDynLinkLibrary* library : chain.libraries) {
        if (HasResource(library->m_hResource, lpszName, lpszType))
            return library->m_hResource;
    }
    return current;
}

bool AfxLoadString(UINT nID, std::wstring& text)
{
    std::vector<HINSTANCE> modules;
    {
        ResourceChain& chain = Chain();
        std::lock_guard lock(chain.mutex);
        modules.push_back(CurrentResourceHandleLocked(chain));
        for (const CDynLinkLibrary* library : chain.libraries)
            modules.push_back(library->m_hResource);
    }
    for (HINSTANCE module : modules) {
        if (LoadStringFrom(module, nID, text))
            return true;
    }
    text.clear();
    return false;
}

std::wstring AfxLoadString(UINT nID)
{
    std::wstring text;
    AfxLoadString(nID, text);
    return text;
}
