// The dialog the tests drive: a CAcUiDialog over the test template whose message map has one
// entry of each kind, recording what reaches it.
#pragma once

#include "PlatformTestResources.h"
#include "TestSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace platform_test {

// Registered at start-up (see TestDialog.cpp).
extern UINT g_testRegisteredMessage;
extern UINT g_findReplaceMessage;

struct FindNotification {
    bool findNext;
    bool replaceCurrent;
    bool replaceAll;
    bool terminating;
    bool searchDown;
    bool matchCase;
    bool wholeWord;
    std::wstring findWhat;
    std::wstring replaceWith;
};

class TestDialog : public CAcUiDialog {
public:
    explicit TestDialog(CWnd* pParent = nullptr);

    CRichEditCtrl m_text;
    CComboBox m_style;
    CEdit m_height;
    CStatusBarCtrl m_status;

    // What the handlers saw.
    std::vector<UINT> commands;                  // ON_COMMAND / ON_COMMAND_RANGE ids
    int textChanges = 0;                         // EN_CHANGE from the rich edit
    std::vector<CHARRANGE> selectionChanges;     // EN_SELCHANGE notifications
    int styleChanges = 0;                        // CBN_SELCHANGE
    int applyClicks = 0;                         // BN_CLICKED of Apply
    std::vector<std::wstring> cancelSources;     // ON_COMMAND(IDCANCEL)
    std::vector<std::pair<WPARAM, LPARAM>> kickIdles;
    std::vector<UINT> preTranslated;             // every message PreTranslateMessage saw
    std::vector<std::wstring> events;            // ordered trace of selected events
    std::vector<FindNotification> findNotifications;
    std::vector<std::pair<CWnd*, CPoint>> contextMenus;
    std::vector<std::pair<CWnd*, UINT>> setCursors;
    std::vector<SIZE> sizes;
    int destroyCount = 0;
    int dataExchanges = 0;
    bool initFinishSawControls = false;
    bool initBeginSawNoControls = false;

    // Test settings.
    int cancelResult = 55;                       // what ON_COMMAND(IDCANCEL) ends with
    LPARAM idlePasses = 1;                       // WM_KICKIDLE asks for more while lParam + 1 < this
    bool useLayoutTable = true;
    std::function<void(TestDialog&)> onInitDialog; // runs at the end of OnInitDialog
    std::function<void(TestDialog&, FindNotification)> onFind;

    BOOL OnInitDialog() override;
    void OnInitDialogBegin() override;
    void OnInitDialogFinish() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    static const DLGCTLINFO kLayout[];
    static const DWORD kLayoutCount;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    afx_msg void OnFind();
    afx_msg void OnRefresh();
    afx_msg void OnStyleRange(UINT nID);
    afx_msg void OnTextChange();
    afx_msg void OnTextSelChange(NMHDR* pNotify, LRESULT* pResult);
    afx_msg void OnStyleChange();
    afx_msg void OnApply();
    afx_msg void OnCancelCommand();
    afx_msg void OnThrowMemory();
    afx_msg void OnThrowStd();
    afx_msg LRESULT OnKickIdle(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnTestRegistered(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnFindReplace(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnAppMessage(WPARAM wParam, LPARAM lParam);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint pos);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    HACCEL m_accelerators = nullptr;
};

// Runs dialog.DoModal() with script started first; returns DoModal's result.
INT_PTR RunModal(CDialog& dialog, Script& script);

} // namespace platform_test
