// Static message maps, written the MFC way:
//
//     class CMyDialog : public CAcUiDialog {
//         ...
//         DECLARE_MESSAGE_MAP()
//     };
//     BEGIN_MESSAGE_MAP(CMyDialog, CAcUiDialog)
//         ON_WM_SIZE()
//         ON_COMMAND(ID_EDIT_UNDO, &CMyDialog::OnEditUndo)
//         ON_NOTIFY(EN_SELCHANGE, IDC_TEXT, &CMyDialog::OnTextSelChange)
//     END_MESSAGE_MAP()
//
// Each entry holds the message, the notification code, the id range (or a pointer to the variable
// of a registered message) and a thunk: a captureless function that casts the target to the class
// named in BEGIN_MESSAGE_MAP and calls the handler with the arguments unpacked from WPARAM and
// LPARAM. The handler's type is checked at compile time; handlers are named with &Class::Member.
// The tables are constexpr data; a map chains to its base class's map, and the most derived
// entry that matches wins. See CWnd::OnWndMsg for the dispatch.
#pragma once

#include "platform/Geometry.h"
#include "platform/Win32.h"

class CCmdTarget;
class CWnd;

// What a thunk receives: the message as it arrived, plus the id and code of WM_COMMAND and
// WM_NOTIFY messages.
struct AFX_MSG_CALL {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT nID;
    UINT nCode;
};

using AFX_MSG_THUNK = LRESULT (*)(CCmdTarget* target, const AFX_MSG_CALL& call);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;                    // window message (WM_COMMAND, WM_NOTIFY, WM_SIZE, ...)
    UINT nCode;                       // command or notification code (WM_COMMAND, WM_NOTIFY)
    UINT nID;                         // first control or command id
    UINT nLastID;                     // last id of the range
    const UINT* pnRegisteredMessage;  // for registered messages: the variable holding the id
    AFX_MSG_THUNK pfnThunk;           // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)(); // null for the root map
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Filled by CCmdTarget::OnCmdMsg when the caller only asks whether a handler exists.
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget;
    const AFX_MSGMAP_ENTRY* pEntry;
};

// Extra data of a WM_NOTIFY routed through OnCmdMsg.
struct AFX_NOTIFY {
    LRESULT* pResult;
    NMHDR* pNMHDR;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                   \
    {                                                                                 \
        using ThisClass [[maybe_unused]] = theClass;                                  \
        using TheBaseClass = baseClass;                                               \
        static constexpr AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                      \
            AFX_MSGMAP_ENTRY{0, 0, 0, 0, nullptr, nullptr}};                                   \
        static constexpr AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                                    \
    }

// Entry helpers: _AFX_ENTRY(message, code, firstId, lastId, registeredVariable, body) where body
// runs with `self` (ThisClass*) and `call` (const AFX_MSG_CALL&) and returns the LRESULT.
#define _AFX_ENTRY(message, code, firstId, lastId, registered, ...)                            \
    AFX_MSGMAP_ENTRY{static_cast<UINT>(message), static_cast<UINT>(code), static_cast<UINT>(firstId), \
                     static_cast<UINT>(lastId), registered,                                     \
                     +[](CCmdTarget* target, const AFX_MSG_CALL& call) -> LRESULT {             \
                         ThisClass* self = static_cast<ThisClass*>(target);                     \
                         (void)self;                                                            \
                         (void)call;                                                            \
                         __VA_ARGS__                                                            \
                     }},

// LRESULT fxn(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                                         \
    _AFX_ENTRY(message, 0, 0, 0, nullptr,                                                      \
               LRESULT (ThisClass::*const handler)(WPARAM, LPARAM) = memberFxn;                \
               return (self->*handler)(call.wParam, call.lParam);)

// LRESULT fxn(WPARAM, LPARAM); idVariable is a UINT with static storage set by
// RegisterWindowMessageW before the first message arrives.
#define ON_REGISTERED_MESSAGE(idVariable, memberFxn)                                           \
    _AFX_ENTRY(0, 0, 0, 0, &(idVariable),                                                      \
               LRESULT (ThisClass::*const handler)(WPARAM, LPARAM) = memberFxn;                \
               return (self->*handler)(call.wParam, call.lParam);)

// void fxn(): menu items, accelerators (both arrive as code CN_COMMAND) and buttons (BN_CLICKED,
// which has the same code).
#define ON_COMMAND(id, memberFxn)                                                              \
    _AFX_ENTRY(WM_COMMAND, CN_COMMAND, id, id, nullptr,                                        \
               void (ThisClass::*const handler)() = memberFxn;                                 \
               (self->*handler)(); return 0;)

// void fxn(UINT id) for every command id from firstId to lastId.
#define ON_COMMAND_RANGE(firstId, lastId, memberFxn)                                           \
    _AFX_ENTRY(WM_COMMAND, CN_COMMAND, firstId, lastId, nullptr,                               \
               void (ThisClass::*const handler)(UINT) = memberFxn;                             \
               (self->*handler)(call.nID); return 0;)

// void fxn() for control notification wNotifyCode (sent as WM_COMMAND) from control id.
#define ON_CONTROL(wNotifyCode, id, memberFxn)                                                 \
    _AFX_ENTRY(WM_COMMAND, wNotifyCode, id, id, nullptr,                                       \
               void (ThisClass::*const handler)() = memberFxn;                                 \
               (self->*handler)(); return 0;)

#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_UPDATE(id, memberFxn) ON_CONTROL(EN_UPDATE, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)

// void fxn(NMHDR* pNotifyStruct, LRESULT* pResult) for WM_NOTIFY code from control id; the
// value the handler stores in *pResult (0 unless it does) is the message's result.
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                  \
    _AFX_ENTRY(WM_NOTIFY, wNotifyCode, id, id, nullptr,                                        \
               void (ThisClass::*const handler)(NMHDR*, LRESULT*) = memberFxn;                 \
               LRESULT result = 0;                                                             \
               (self->*handler)(reinterpret_cast<NMHDR*>(call.lParam), &result); return result;)

// BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
#define ON_WM_SETCURSOR()                                                                      \
    _AFX_ENTRY(WM_SETCURSOR, 0, 0, 0, nullptr,                                                 \
               BOOL (ThisClass::*const handler)(CWnd*, UINT, UINT) = &ThisClass::OnSetCursor;  \
               return (self->*handler)(CWnd::FromHandle(reinterpret_cast<HWND>(call.wParam)),  \
                                       LOWORD(call.lParam), HIWORD(call.lParam));)

// void OnContextMenu(CWnd* pWnd, CPoint pos): pWnd is the window clicked in, pos the mouse
// position in screen coordinates, or (-1, -1) when the menu was asked for from the keyboard
// (Shift+F10 or the context menu key).
#define ON_WM_CONTEXTMENU()                                                                    \
    _AFX_ENTRY(WM_CONTEXTMENU, 0, 0, 0, nullptr,                                               \
               void (ThisClass::*const handler)(CWnd*, CPoint) = &ThisClass::OnContextMenu;    \
               (self->*handler)(CWnd::FromHandle(reinterpret_cast<HWND>(call.wParam)),         \
                                CPoint(call.lParam)); return 0;)

// void OnSize(UINT nType, int cx, int cy)
#define ON_WM_SIZE()                                                                           \
    _AFX_ENTRY(WM_SIZE, 0, 0, 0, nullptr,                                                      \
               void (ThisClass::*const handler)(UINT, int, int) = &ThisClass::OnSize;          \
               (self->*handler)(static_cast<UINT>(call.wParam), LOWORD(call.lParam), HIWORD(call.lParam)); \
               return 0;)

// void OnDestroy()
#define ON_WM_DESTROY()                                                                        \
    _AFX_ENTRY(WM_DESTROY, 0, 0, 0, nullptr,                                                   \
               void (ThisClass::*const handler)() = &ThisClass::OnDestroy;                     \
               (self->*handler)(); return 0;)

// void OnClose()
#define ON_WM_CLOSE()                                                                          \
    _AFX_ENTRY(WM_CLOSE, 0, 0, 0, nullptr,                                                     \
               void (ThisClass::*const handler)() = &ThisClass::OnClose;                       \
               (self->*handler)(); return 0;)

// void OnGetMinMaxInfo(MINMAXINFO* lpMMI)
#define ON_WM_GETMINMAXINFO()                                                                  \
    _AFX_ENTRY(WM_GETMINMAXINFO, 0, 0, 0, nullptr,                                             \
               void (ThisClass::*const handler)(MINMAXINFO*) = &ThisClass::OnGetMinMaxInfo;    \
               (self->*handler)(reinterpret_cast<MINMAXINFO*>(call.lParam)); return 0;)

// void OnTimer(UINT_PTR nIDEvent)
#define ON_WM_TIMER()                                                                          \
    _AFX_ENTRY(WM_TIMER, 0, 0, 0, nullptr,                                                     \
               void (ThisClass::*const handler)(UINT_PTR) = &ThisClass::OnTimer;               \
               (self->*handler)(static_cast<UINT_PTR>(call.wParam)); return 0;)

// void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu)
#define ON_WM_INITMENUPOPUP()                                                                  \
    _AFX_ENTRY(WM_INITMENUPOPUP, 0, 0, 0, nullptr,                                             \
               void (ThisClass::*const handler)(CMenu*, UINT, BOOL) = &ThisClass::OnInitMenuPopup; \
               (self->*handler)(CMenu::FromHandle(reinterpret_cast<HMENU>(call.wParam)),       \
                                LOWORD(call.lParam), HIWORD(call.lParam) != 0); return 0;)
