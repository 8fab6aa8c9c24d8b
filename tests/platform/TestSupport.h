// Test helpers: scripts that act inside a modal loop from a thread timer, a CBT hook that catches
// message boxes (reads their text, presses their button), and keyboard input helpers.
#pragma once

#include "platform/Platform.h"

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Rectangles compared and printed in assertions.
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* out)
{
    *out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace platform_test {

// A list of steps run one per tick of a thread timer (SetTimer with a callback), i.e. from inside
// whatever message loop is running. Timer ticks come only when no posted or input message is
// waiting, so a step sees the effects of the messages the previous step posted.
class Script {
public:
    explicit Script(CDialog* dialog = nullptr) : dialog_(dialog) {}
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // A step that runs once.
    Script& Then(std::function<void()> action);
    // A step that waits (ticks go by) until condition holds; description names it in failures.
    Script& WaitFor(std::wstring description, std::function<bool()> condition);
    // Ends the dialog given to the constructor with result.
    Script& End(int result);

    void Start();
    void Stop();
    bool Finished() const noexcept { return next_ >= steps_.size(); }

    // Ticks before a waiting script gives up (the dialog is then ended with kTimedOut).
    static constexpr int kMaxTicks = 1500;
    static constexpr int kTimedOut = -77;

private:
    struct Step {
        std::wstring description;
        std::function<bool()> run; // true: done
    };
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    CDialog* dialog_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    int ticks_ = 0;
    bool busy_ = false;
    UINT_PTR timer_ = 0;
};

// Catches every message box the thread shows (while it exists), records caption and text, and
// presses its first button. One catcher lives for the whole test program.
class MessageBoxCatcher {
public:
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    struct Box {
        std::wstring caption;
        std::wstring text;
    };
    // The boxes caught since the last call.
    std::vector<Box> Take();

    static MessageBoxCatcher* Current() noexcept { return current_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);

    HHOOK hook_ = nullptr;
    std::vector<Box> boxes_;
    std::set<HWND> seen_;
    static MessageBoxCatcher* current_;
};

// Posts a key press (down and up) to a window, as the keyboard would deliver it to the focus.
void PostKey(HWND target, UINT virtualKey);
// Posts WM_CHAR messages for each character.
void PostChars(HWND target, const std::wstring& text);
// Sets or clears a modifier key in the thread's keyboard state (GetKeyState sees it).
void SetKeyDown(BYTE virtualKey, bool down);

// A window rectangle relative to the dialog's client area.
RECT ChildRect(HWND dialog, HWND child);
std::wstring WindowText(HWND hWnd);

// Under Wine without a window manager (plain Xvfb), hiding a top-level window that Wine lets a
// window manager manage waits two seconds for an answer that never comes. The test programs turn
// that management off for themselves only (HKCU\Software\Wine\AppDefaults\<program>\X11 Driver,
// Managed = "N"); Wine's X11 driver reads it when a program starts, so the first run in a fresh
// prefix writes it and runs itself once more. Returns true when that rerun happened, with its
// exit code in exitCode; false when the caller should run the tests itself (always on Windows).
bool RerunWithUnmanagedWindows(int& exitCode);

// The test extension module (a resource-only DLL beside the test program).
HMODULE LoadTestExtensionModule();

} // namespace platform_test
