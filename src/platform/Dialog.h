// CDialog: a dialog made from a template found through the resource chain, run modally by
// DoModal with the framework's own modal loop (PreTranslateMessage for every message, WM_KICKIDLE
// when the queue runs empty, dialog keys for modeless dialogs that are open at the same time),
// with OnInitDialog, data exchange, and OnOK/OnCancel for IDOK/IDCANCEL.
#pragma once

#include "platform/DataExchange.h"
#include "platform/Wnd.h"

#include <string>

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCWSTR lpszTemplateName, CWnd* pParentWnd = nullptr);

    // Shows the dialog and returns the value given to EndDialog once it is closed.
    //
    // The template comes from the module set with SetResourceInstance, else from the resource
    // chain (AfxFindResourceHandle). The owner is the top-level window of the parent (of the
    // thread's active window when there is no parent); it is disabled while the dialog runs.
    // Returns -1 when the dialog cannot be shown (no template, a control whose window class is
    // not registered, a dialog that already has a window): that is reported as a programming
    // error. When the loop meets WM_QUIT it posts it again and returns -1.
    virtual INT_PTR DoModal();

    // Ends a modal dialog: DoModal returns nResult once the current message is handled.
    void EndDialog(int nResult);
    BOOL IsModalLoopRunning() const noexcept { return m_bInModalLoop; }

    // Runs DoDataExchange: bSaveAndValidate TRUE moves control values to members (and validates),
    // FALSE fills the controls. FALSE when the exchange failed (a failure other than a validation
    // failure is reported to the user).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Called when the dialog manager has created the controls: the default runs UpdateData(FALSE)
    // and returns TRUE, which lets the dialog manager put the focus on the first control.
    virtual BOOL OnInitDialog();
    // IDOK: the default validates with UpdateData(TRUE) and ends the dialog with IDOK.
    virtual void OnOK();
    // IDCANCEL (Escape, a button with id 2, the close box): the default ends with IDCANCEL.
    virtual void OnCancel();

    // The dialog keys (Tab, Escape, Enter, mnemonics) for keyboard and mouse messages of the
    // dialog and its controls, through IsDialogMessageW.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The module the template is loaded from, instead of the resource chain.
    void SetResourceInstance(HINSTANCE hInstance) noexcept { m_hTemplateInstance = hInstance; }

    void GotoDlgCtrl(CWnd* pWndCtrl);
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void SetDefID(UINT nID);
    DWORD GetDefID() const;

    LPCWSTR m_lpszTemplateName = nullptr;
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // The window that will own the modal dialog (null: none).
    virtual HWND PreModal();

    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void RunModalLoop();
    void PumpModalMessage(MSG& msg);

    std::wstring m_templateName;
    HINSTANCE m_hTemplateInstance = nullptr;
    bool m_bInModalLoop = false;
    bool m_bEndModalLoop = false;
    int m_nModalResult = -1;
};

// The dialog procedure of the framework's dialogs: everything is handled by the window
// procedure (AfxWndProc), so it leaves every message to the dialog manager.
INT_PTR CALLBACK AfxDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
