// CWnd: the framework's object for a window. It maps window handles to objects (permanent
// objects attached to a handle, temporary wrappers made for handles nobody attached), subclasses
// windows so that their messages run through the message map, and wraps the window functions the
// dialogs use. Messages reach WindowProc -> OnWndMsg -> the map; what no entry handles gets
// default processing (the window's original procedure).
#pragma once

#include "platform/CmdTarget.h"
#include "platform/Geometry.h"
#include "platform/Win32.h"

#include <cstddef>
#include <string>

class CMenu;

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return m_hWnd; }

    // The object attached to hWnd, else a temporary CWnd the framework owns and frees at idle
    // time (do not keep the pointer past the handler that got it). Null for a null handle.
    static CWnd* FromHandle(HWND hWnd);
    // The object attached to hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Attaches the object to a window without taking over its messages; FALSE when the object
    // is already attached or the window belongs to another object.
    BOOL Attach(HWND hWndNew);
    // Breaks the link and returns the handle; a subclassed window gets its original procedure back.
    HWND Detach();
    // Attaches and routes the window's messages through this object's message map.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // The same as Detach.
    HWND UnsubclassWindow();

    // Offered every message of a modal loop before it is dispatched; TRUE: handled, do not
    // dispatch.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Looks the message up in the map and calls the handler; FALSE when there is none.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Default processing: the window's original procedure (or DefWindowProcW).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled (0 outside a handler).
    LRESULT Default();
    // Called after the window received its last message (WM_NCDESTROY) and the object was
    // detached. An object that frees itself does so here.
    virtual void PostNcDestroy();
    virtual BOOL DestroyWindow();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    void SetWindowText(LPCWSTR lpszString);
    void SetWindowText(const std::wstring& text) { SetWindowText(text.c_str()); }
    std::wstring GetWindowText() const;
    void GetWindowText(std::wstring& text) const { text = GetWindowText(); }
    int GetWindowTextLength() const;

    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    void SetDlgItemText(int nID, const std::wstring& text);
    std::wstring GetDlgItemText(int nID) const;
    CWnd* GetParent() const;
    CWnd* GetTopLevelParent() const;

    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    BOOL ShowWindow(int nCmdShow);
    CWnd* SetFocus();
    static CWnd* GetFocus();
    static CWnd* GetActiveWindow();

    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* pMenu);
    BOOL DrawMenuBar();

    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    // pWndInsertAfter: a window, &wndTop, &wndBottom, &wndTopMost, &wndNoTopMost, or null.
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void ScreenToClient(LPRECT lpRect) const;
    void ClientToScreen(LPPOINT lpPoint) const;
    void ClientToScreen(LPRECT lpRect) const;

    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE);
    HFONT GetFont() const;
    void Invalidate(BOOL bErase = TRUE);
    void UpdateWindow();
    void SetRedraw(BOOL bRedraw = TRUE);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    int MessageBox(LPCWSTR lpszText, LPCWSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Insert-after values for SetWindowPos.
    static const CWnd wndTop;
    static const CWnd wndBottom;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;

protected:
    // Default handlers of the ON_WM_... entries; each gives the message default processing.
    // A derived handler calls its base's to keep the base's behaviour.
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint pos);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnDestroy();
    afx_msg void OnClose();
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);

    // Attaches to hWnd as the window being created on this thread: the next window created by the
    // thread is attached to pWnd and subclassed before it receives its first message.
    static void HookWindowCreate(CWnd* pWnd);
    // Ends HookWindowCreate; FALSE when no window was created meanwhile.
    static BOOL UnhookWindowCreate();

    DECLARE_MESSAGE_MAP()

private:
    explicit CWnd(HWND hWndSpecial) noexcept : m_hWnd(hWndSpecial) {}

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtCreateHook(int, WPARAM, LPARAM);

    WNDPROC m_pfnSuper = nullptr; // the original window procedure of a subclassed window
    bool m_bPermanent = false;    // attached through Attach/SubclassWindow (not a temporary)
};

// The window procedure of every subclassed window: finds the object and calls its WindowProc;
// an exception a handler throws is reported there and goes no further.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Frees the temporary CWnd and CMenu wrappers the calling thread made at its current modal depth
// or deeper (the modal loop does this whenever it runs idle).
void AfxDeleteTempMap();
// How many temporary wrappers exist (all threads); for diagnostics.
std::size_t AfxGetTempMapCount();
