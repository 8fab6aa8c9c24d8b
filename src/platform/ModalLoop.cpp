// The modal loop of CDialog::DoModal: every message is offered to the dialog's
// PreTranslateMessage (and, for windows of another top-level dialog such as a modeless Find
// dialog, to that dialog's key handling) before it is dispatched; whenever the queue runs empty
// the dialog gets WM_KICKIDLE and the thread's temporary wrappers are freed.
#include "platform/Dialog.h"

#include "platform/Exceptions.h"
#include "platform/HandleMap.h"

namespace {

bool IsDialogWindow(HWND hWnd)
{
    wchar_t className[16] = {};
    return ::GetClassNameW(hWnd, className, 16) > 0 && lstrcmpW(className, L"#32770") == 0;
}

// Messages after which the loop should become idle again: not paints, caret blinks, or mouse
// moves that did not move.
class IdleTracker {
public:
    bool ResetsIdle(const MSG& msg)
    {
        if (msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE) {
            const bool same = msg.message == lastMouseMessage_ && msg.pt.x == lastMousePoint_.x &&
                              msg.pt.y == lastMousePoint_.y;
            lastMouseMessage_ = msg.message;
            lastMousePoint_ = msg.pt;
            return !same;
        }
        constexpr UINT kSystemTimer = 0x0118; // caret blink
        return msg.message != WM_PAINT && msg.message != kSystemTimer;
    }

private:
    UINT lastMouseMessage_ = 0;
    POINT lastMousePoint_{-1, -1};
};

struct ModalDepthScope {
    ModalDepthScope() noexcept { ++pellaton::platform::detail::ModalDepth(); }
    ~ModalDepthScope() { --pellaton::platform::detail::ModalDepth(); }
    ModalDepthScope(const ModalDepthScope&) = delete;
    ModalDepthScope& operator=(const ModalDepthScope&) = delete;
};

} // namespace

void CDialog::RunModalLoop()
{
    ModalDepthScope depth;
    IdleTracker idleTracker;
    bool idle = true;
    LONG idleCount = 0;
    MSG msg{};
    for (;;) {
        while (idle && !m_bEndModalLoop && m_hWnd != nullptr && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (idleCount == 0)
                AfxDeleteTempMap();
            if (!::SendMessageW(m_hWnd, WM_KICKIDLE, MSGF_DIALOGBOX, idleCount++))
                idle = false;
        }
        if (m_bEndModalLoop || m_hWnd == nullptr)
            break;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The thread is asked to end: leave the dialog and pass the request on.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            break;
        }
        if (got == -1)
            break;
        PumpModalMessage(msg);
        if (m_bEndModalLoop || m_hWnd == nullptr)
            break;
        if (idleTracker.ResetsIdle(msg)) {
            idle = true;
            idleCount = 0;
        }
    }
}

void CDialog::PumpModalMessage(MSG& msg)
{
    BOOL handled = FALSE;
    try {
        handled = PreTranslateMessage(&msg);
        if (!handled && msg.hwnd != nullptr) {
            // A window of another top-level dialog (a modeless dialog open beside this one) gets
            // its own dialog's key handling.
            HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
            if (root != nullptr && root != m_hWnd) {
                if (CWnd* other = CWnd::FromHandlePermanent(root))
                    handled = other->PreTranslateMessage(&msg);
                else if (IsDialogWindow(root))
                    handled = ::IsDialogMessageW(root, &msg);
            }
        }
    } catch (...) {
        AfxReportCurrentException();
        handled = TRUE;
    }
    if (!handled) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}
