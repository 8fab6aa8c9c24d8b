// AfxMessageBox, the application name used as caption, and programming error reports.
#include "platform/MessageBoxes.h"

#include "platform/ModuleResources.h"

#include <mutex>

namespace {

std::mutex& AppNameMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::wstring& AppNameStorage()
{
    static std::wstring name;
    return name;
}

std::wstring ProgramFileTitle()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length < MAX_PATH ? length : 0);
    const auto slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? std::wstring(L"Application") : name;
}

} // namespace

std::wstring AfxGetAppName()
{
    std::lock_guard lock(AppNameMutex());
    if (AppNameStorage().empty())
        AppNameStorage() = ProgramFileTitle();
    return AppNameStorage();
}

void AfxSetAppName(const std::wstring& name)
{
    std::lock_guard lock(AppNameMutex());
    AppNameStorage() = name;
}

int AfxMessageBox(const std::wstring& text, UINT nType, UINT /*nIDHelp*/)
{
    HWND owner = ::GetActiveWindow();
    const std::wstring caption = AfxGetAppName();
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    std::wstring text = AfxLoadString(nIDPrompt);
    if (text.empty())
        text = L"(message " + std::to_wstring(nIDPrompt) + L" is missing from the string table)";
    return AfxMessageBox(text, nType, nIDHelp);
}

void AfxReportProgrammingError(const std::wstring& text)
{
    const std::wstring caption = AfxGetAppName() + L": programming error";
    ::OutputDebugStringW((caption + L": " + text + L"\n").c_str());
    ::MessageBoxW(::GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP);
}
