// CFindReplaceDialog: the common Find and Replace dialogs (FindTextW / ReplaceTextW) as a
// modeless dialog object. It owns its FINDREPLACEW record and string buffers; the dialog sends
// the registered message FINDMSGSTRINGW ("commdlg_FindReplace") to its owner for every request
// and once more when it closes (IsTerminating). The owner finds the object with GetNotifier.
//
// Make the object with new: it deletes itself when its window is destroyed, which happens right
// after the terminating notification (or with its owner). If Create fails, the caller deletes it.
// Its dialog keys work inside a CDialog modal loop (the loop offers them to PreTranslateMessage).
#pragma once

#include "platform/Dialog.h"

#include <string>

class CFindReplaceDialog : public CDialog {
    DECLARE_DYNAMIC(CFindReplaceDialog)
public:
    CFindReplaceDialog();

    // bFindDialogOnly: the Find dialog, else the Replace dialog. The owner is pParentWnd (the
    // thread's active window when null); there must be one. dwFlags: FR_DOWN, FR_MATCHCASE,
    // FR_WHOLEWORD, FR_HIDE..., FR_NO... as for FindTextW. Texts longer than the buffers
    // (kBufferLength - 1 characters) are cut. FALSE (with a message) when the dialog cannot open.
    BOOL Create(BOOL bFindDialogOnly, LPCWSTR lpszFindWhat, LPCWSTR lpszReplaceWith = nullptr,
                DWORD dwFlags = FR_DOWN, CWnd* pParentWnd = nullptr);

    // The object behind a FINDMSGSTRINGW notification (its lParam); null when lParam is not the
    // record of a CFindReplaceDialog.
    static CFindReplaceDialog* GetNotifier(LPARAM lParam);

    // What the notification asks for.
    BOOL FindNext() const noexcept { return (m_fr.Flags & FR_FINDNEXT) != 0; }
    BOOL ReplaceCurrent() const noexcept { return (m_fr.Flags & FR_REPLACE) != 0; }
    BOOL ReplaceAll() const noexcept { return (m_fr.Flags & FR_REPLACEALL) != 0; }
    BOOL IsTerminating() const noexcept { return (m_fr.Flags & FR_DIALOGTERM) != 0; }
    // The options as the user set them.
    BOOL SearchDown() const noexcept { return (m_fr.Flags & FR_DOWN) != 0; }
    BOOL MatchCase() const noexcept { return (m_fr.Flags & FR_MATCHCASE) != 0; }
    BOOL MatchWholeWord() const noexcept { return (m_fr.Flags & FR_WHOLEWORD) != 0; }
    // The texts as the user typed them: read from the dialog's edit boxes while it is open (the
    // record's copies may have passed through the ANSI code page, as under Wine), else the record's.
    std::wstring GetFindString() const;
    std::wstring GetReplaceString() const;

    static constexpr WORD kBufferLength = 128;

    FINDREPLACEW m_fr;

protected:
    // The common dialog's buttons keep their own meaning.
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;

private:
    std::wstring EditText(int nID, const wchar_t* fallback) const;

    wchar_t m_szFindWhat[kBufferLength];
    wchar_t m_szReplaceWith[kBufferLength];
    bool m_bAutoDelete = false; // set once Create succeeded
};
