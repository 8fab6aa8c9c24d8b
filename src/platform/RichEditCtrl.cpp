// CRichEditCtrl and the loading of the rich edit 2.0 library.
#include "platform/RichEditCtrl.h"

#include <mutex>

IMPLEMENT_DYNAMIC(CRichEditCtrl, CWnd)

BOOL AfxInitRichEdit2()
{
    static std::once_flag once;
    static HMODULE library = nullptr;
    std::call_once(once, [] { library = ::LoadLibraryW(L"riched20.dll"); });
    return library != nullptr ? TRUE : FALSE;
}

DWORD CRichEditCtrl::GetEventMask() const { return static_cast<DWORD>(SendMessage(EM_GETEVENTMASK)); }

DWORD CRichEditCtrl::SetEventMask(DWORD dwEventMask)
{
    return static_cast<DWORD>(SendMessage(EM_SETEVENTMASK, 0, static_cast<LPARAM>(dwEventMask)));
}

void CRichEditCtrl::GetSel(CHARRANGE& cr) const { SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr)); }

void CRichEditCtrl::GetSel(long& nStartChar, long& nEndChar) const
{
    CHARRANGE range{0, 0};
    GetSel(range);
    nStartChar = range.cpMin;
    nEndChar = range.cpMax;
}

void CRichEditCtrl::SetSel(CHARRANGE& cr) { SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr)); }

void CRichEditCtrl::SetSel(long nStartChar, long nEndChar)
{
    CHARRANGE range{nStartChar, nEndChar};
    SetSel(range);
}

void CRichEditCtrl::ReplaceSel(LPCWSTR lpszNewText, BOOL bCanUndo)
{
    SendMessage(EM_REPLACESEL, bCanUndo, reinterpret_cast<LPARAM>(lpszNewText != nullptr ? lpszNewText : L""));
}

long CRichEditCtrl::LineFromChar(long nIndex) const
{
    return static_cast<long>(SendMessage(EM_EXLINEFROMCHAR, 0, nIndex));
}

int CRichEditCtrl::LineIndex(int nLine) const
{
    return static_cast<int>(SendMessage(EM_LINEINDEX, static_cast<WPARAM>(nLine)));
}

int CRichEditCtrl::LineLength(int nLine) const
{
    return static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(nLine)));
}

std::wstring CRichEditCtrl::GetLine(int nIndex) const
{
    const int first = LineIndex(nIndex);
    if (first < 0)
        return {};
    // Room for the line, its end of paragraph, and the WORD that carries the buffer size.
    const int length = LineLength(first);
    std::wstring buffer(static_cast<size_t>(length) + 4, L'\0');
    *reinterpret_cast<WORD*>(buffer.data()) = static_cast<WORD>(buffer.size());
    const auto copied = SendMessage(EM_GETLINE, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(copied > 0 && static_cast<size_t>(copied) <= buffer.size() ? static_cast<size_t>(copied) : 0);
    // No paragraph follows the last line: some rich edit versions still hand out the final
    // paragraph mark, which is not part of the text.
    if (!buffer.empty() && buffer.back() == L'\r' && nIndex == GetLineCount() - 1)
        buffer.pop_back();
    return buffer;
}

int CRichEditCtrl::GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }

long CRichEditCtrl::GetTextLength() const
{
    GETTEXTLENGTHEX request{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return static_cast<long>(SendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&request)));
}

BOOL CRichEditCtrl::CanUndo() const { return static_cast<BOOL>(SendMessage(EM_CANUNDO)); }
BOOL CRichEditCtrl::CanRedo() const { return static_cast<BOOL>(SendMessage(EM_CANREDO)); }
BOOL CRichEditCtrl::Undo() { return static_cast<BOOL>(SendMessage(EM_UNDO)); }
BOOL CRichEditCtrl::Redo() { return static_cast<BOOL>(SendMessage(EM_REDO)); }
void CRichEditCtrl::EmptyUndoBuffer() { SendMessage(EM_EMPTYUNDOBUFFER); }
void CRichEditCtrl::Cut() { SendMessage(WM_CUT); }
void CRichEditCtrl::Copy() { SendMessage(WM_COPY); }
void CRichEditCtrl::Paste() { SendMessage(WM_PASTE); }
void CRichEditCtrl::Clear() { SendMessage(WM_CLEAR); }
BOOL CRichEditCtrl::SetReadOnly(BOOL bReadOnly) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, bReadOnly)); }
void CRichEditCtrl::LimitText(long nChars) { SendMessage(EM_EXLIMITTEXT, 0, nChars); }

BOOL CRichEditCtrl::SetDefaultCharFormat(CHARFORMAT2W& cf)
{
    cf.cbSize = sizeof(CHARFORMAT2W);
    return static_cast<BOOL>(SendMessage(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)));
}

DWORD CRichEditCtrl::GetDefaultCharFormat(CHARFORMAT2W& cf) const
{
    cf.cbSize = sizeof(CHARFORMAT2W);
    return static_cast<DWORD>(SendMessage(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)));
}

BOOL CRichEditCtrl::SetSelectionCharFormat(CHARFORMAT2W& cf)
{
    cf.cbSize = sizeof(CHARFORMAT2W);
    return static_cast<BOOL>(SendMessage(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)));
}

BOOL CRichEditCtrl::SetTextMode(UINT fMode)
{
    // The control answers 0 on success.
    return SendMessage(EM_SETTEXTMODE, fMode) == 0 ? TRUE : FALSE;
}

UINT CRichEditCtrl::GetTextMode() const { return static_cast<UINT>(SendMessage(EM_GETTEXTMODE)); }

COLORREF CRichEditCtrl::SetBackgroundColor(BOOL bSysColor, COLORREF cr)
{
    return static_cast<COLORREF>(SendMessage(EM_SETBKGNDCOLOR, bSysColor, static_cast<LPARAM>(cr)));
}

long CRichEditCtrl::FindText(DWORD dwFlags, FINDTEXTEXW* pFindText) const
{
    return static_cast<long>(SendMessage(EM_FINDTEXTEXW, dwFlags, reinterpret_cast<LPARAM>(pFindText)));
}

void CRichEditCtrl::HideSelection(BOOL bHide, BOOL bPerm)
{
    SendMessage(EM_HIDESELECTION, bHide, bPerm);
}
