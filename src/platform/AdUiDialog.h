// The host UI library's dialog classes that plug-in dialogs derive from:
//
//   CAdUiBaseDialog : CDialog        - refuses to open before InitAcUiDLL() was called
//   CAdUiDialog : CAdUiBaseDialog    - remembered placement (SetDialogName), resizing layout
//                                      (SetControlProperty), OnInitDialogBegin/Finish
//   CAcUiDialog : CAdUiDialog        - the class plug-in dialogs derive from
//
// InitAcUiDLL() must be called (once, e.g. when the plug-in is loaded) before any of these
// dialogs is shown; DoModal before it reports a programming error and returns -1 without
// showing anything.
//
// Placement: see DialogPlacement.h for the registry key. The placement is saved when the dialog
// window is destroyed (unless it is minimised or maximised) and restored right after the whole
// WM_INITDIALOG handling (including the derived class's OnInitDialog), so that a layout table
// handed over in OnInitDialog already applies to the restored size.
//
// Layout: SetControlProperty records the listed controls' rectangles and the client size at the
// moment it is called (or, when called before the window exists, at the end of WM_INITDIALOG);
// every WM_SIZE then places them from those records. The minimum tracking size is the window size
// the template gave (recorded when WM_INITDIALOG arrives).
#pragma once

#include "platform/ControlLayout.h"
#include "platform/Dialog.h"

#include <string>
#include <vector>

// Initialises the host UI library for the process: registers the control classes its dialogs
// use. Call before showing any CAdUiBaseDialog; calling it again does nothing.
void InitAcUiDLL();
// Whether InitAcUiDLL has been called.
bool IsAcUiDLLInitialized() noexcept;

class CAdUiBaseDialog : public CDialog {
    DECLARE_DYNAMIC(CAdUiBaseDialog)
public:
    explicit CAdUiBaseDialog(UINT idd, CWnd* pParent = nullptr, HINSTANCE hDialogResource = nullptr);

    INT_PTR DoModal() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
};

class CAdUiDialog : public CAdUiBaseDialog {
    DECLARE_DYNAMIC(CAdUiDialog)
public:
    explicit CAdUiDialog(UINT idd, CWnd* pParent = nullptr, HINSTANCE hDialogResource = nullptr);

    // The name the placement is kept under; empty (the default): not kept.
    void SetDialogName(const std::wstring& name) { m_dialogName = name; }
    const std::wstring& GetDialogName() const noexcept { return m_dialogName; }

    // Hands over the resizing table (copied). count 0 or a null table removes the layout.
    void SetControlProperty(const DLGCTLINFO* table, DWORD count);

    // Runs OnInitDialogBegin, the base initialisation (data exchange), then OnInitDialogFinish.
    BOOL OnInitDialog() override;
    virtual void OnInitDialogBegin();
    // The end-of-initialisation notification: the dialog's own initialisation is done.
    virtual void OnInitDialogFinish();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // Lays the listed controls out for the new client size (nothing before a table exists or
    // when minimised). Derived OnSize handlers call it.
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);

    DECLARE_MESSAGE_MAP()

private:
    void RestorePlacement();
    void SavePlacement();

    std::wstring m_dialogName;
    std::vector<DLGCTLINFO> m_controlTable;
    bool m_layoutPending = false;
    pellaton::platform::ControlLayout m_layout;
    SIZE m_minTrackSize{0, 0};
};

class CAcUiDialog : public CAdUiDialog {
    DECLARE_DYNAMIC(CAcUiDialog)
public:
    explicit CAcUiDialog(UINT idd, CWnd* pParent = nullptr, HINSTANCE hDialogResource = nullptr);
};
