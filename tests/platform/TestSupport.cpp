// Test helpers: timer-driven scripts, the message box catcher and input helpers.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace platform_test {

namespace {

Script* g_runningScript = nullptr;

bool OnlyStaticsAndButtons(HWND dialog)
{
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        ::GetClassNameW(child, className, 32);
        if (lstrcmpiW(className, L"Static") != 0 && lstrcmpiW(className, L"Button") != 0)
            return false;
    }
    return true;
}

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t ch : text)
        result.push_back(ch < 128 ? static_cast<char>(ch) : '?');
    return result;
}

} // namespace

// ---- Script --------------------------------------------------------------------------------------

Script::~Script()
{
    Stop();
}

Script& Script::Then(std::function<void()> action)
{
    steps_.push_back({L"action", [action = std::move(action)] {
                          action();
                          return true;
                      }});
    return *this;
}

Script& Script::WaitFor(std::wstring description, std::function<bool()> condition)
{
    steps_.push_back({std::move(description), std::move(condition)});
    return *this;
}

Script& Script::End(int result)
{
    return Then([this, result] { dialog_->EndDialog(result); });
}

void Script::Start()
{
    g_runningScript = this;
    timer_ = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &Script::OnTick);
    ASSERT_NE(timer_, 0u);
}

void Script::Stop()
{
    if (timer_ != 0)
        ::KillTimer(nullptr, timer_);
    timer_ = 0;
    if (g_runningScript == this)
        g_runningScript = nullptr;
}

void CALLBACK Script::OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_runningScript != nullptr)
        g_runningScript->Tick();
}

void Script::Tick()
{
    if (busy_)
        return; // a step is running a nested loop of its own
    if (Finished()) {
        Stop();
        return;
    }
    if (++ticks_ > kMaxTicks) {
        ADD_FAILURE() << "script step timed out: " << Narrow(steps_[next_].description);
        Stop();
        if (dialog_ != nullptr)
            dialog_->EndDialog(kTimedOut);
        return;
    }
    busy_ = true;
    const bool done = steps_[next_].run();
    busy_ = false;
    if (done) {
        ++next_;
        ticks_ = 0;
    }
}

// ---- MessageBoxCatcher ---------------------------------------------------------------------------

MessageBoxCatcher* MessageBoxCatcher::current_ = nullptr;

MessageBoxCatcher::MessageBoxCatcher()
{
    current_ = this;
    hook_ = ::SetWindowsHookExW(WH_CBT, &MessageBoxCatcher::Hook, nullptr, ::GetCurrentThreadId());
}

MessageBoxCatcher::~MessageBoxCatcher()
{
    if (hook_ != nullptr)
        ::UnhookWindowsHookEx(hook_);
    current_ = nullptr;
}

std::vector<MessageBoxCatcher::Box> MessageBoxCatcher::Take()
{
    std::vector<Box> taken;
    taken.swap(boxes_);
    return taken;
}

LRESULT CALLBACK MessageBoxCatcher::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && current_ != nullptr) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = {};
        ::GetClassNameW(box, className, 32);
        // A message box is a dialog of statics and buttons whose text is the static 0xFFFF.
        HWND textControl = ::GetDlgItem(box, 0xFFFF);
        if (lstrcmpW(className, L"#32770") == 0 && textControl != nullptr && OnlyStaticsAndButtons(box) &&
            current_->seen_.insert(box).second) {
            current_->boxes_.push_back({WindowText(box), WindowText(textControl)});
            HWND button = ::FindWindowExW(box, nullptr, L"Button", nullptr);
            const int id = button != nullptr ? ::GetDlgCtrlID(button) : IDOK;
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- input and windows ---------------------------------------------------------------------------

void PostKey(HWND target, UINT virtualKey)
{
    const UINT scan = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    ::PostMessageW(target, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1 | (scan << 16)));
    ::PostMessageW(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
}

void PostChars(HWND target, const std::wstring& text)
{
    for (wchar_t ch : text)
        ::PostMessageW(target, WM_CHAR, ch, 1);
}

void SetKeyDown(BYTE virtualKey, bool down)
{
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[virtualKey] = down ? 0x80 : 0;
    ::SetKeyboardState(state);
}

RECT ChildRect(HWND dialog, HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hWnd, buffer, 512);
    return buffer;
}

bool RerunWithUnmanagedWindows(int& exitCode)
{
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr)
        return false; // not Wine
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::wstring program(path);
    program.erase(0, program.find_last_of(L"\\/") + 1);
    const std::wstring keyPath = L"Software\\Wine\\AppDefaults\\" + program + L"\\X11 Driver";

    wchar_t value[8] = {};
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), L"Managed", RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS &&
        (value[0] == L'N' || value[0] == L'n'))
        return false; // already in effect for this run
    if (::GetEnvironmentVariableW(L"PELLATON_PLATFORM_TEST_RERUN", nullptr, 0) != 0)
        return false; // the rerun itself: never loop
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const wchar_t no[] = L"N";
    const bool written = ::RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof(no)) ==
                         ERROR_SUCCESS;
    ::RegCloseKey(key);
    if (!written)
        return false;

    ::SetEnvironmentVariableW(L"PELLATON_PLATFORM_TEST_RERUN", L"1");
    std::wstring commandLine = ::GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(path, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    exitCode = static_cast<int>(code);
    return true;
}

HMODULE LoadTestExtensionModule()
{
    static HMODULE module = ::LoadLibraryW(L"platform_test_extension.dll");
    return module;
}

} // namespace platform_test
