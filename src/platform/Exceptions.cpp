// CException and its kinds, the AfxThrow helpers and the report of an exception caught at the
// boundary between message handlers and Win32.
#include "platform/Exceptions.h"

#include "platform/MessageBoxes.h"

#include <exception>
#include <iterator>
#include <new>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)
IMPLEMENT_DYNAMIC(CUserException, CSimpleException)

namespace {

const wchar_t kOutOfMemoryText[] = L"Out of memory.";
const wchar_t kInvalidArgumentText[] = L"An invalid argument was encountered.";

BOOL CopyMessage(const std::wstring& message, LPWSTR buffer, UINT capacity)
{
    if (buffer == nullptr || capacity == 0)
        return FALSE;
    const size_t count = message.size() < capacity - 1 ? message.size() : capacity - 1;
    message.copy(buffer, count);
    buffer[count] = L'\0';
    return message.empty() ? FALSE : TRUE;
}

// Text of a std::exception: what() is taken as UTF-8, falling back to the ANSI code page.
std::wstring WideFromNarrow(const char* text)
{
    if (text == nullptr || *text == '\0')
        return {};
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int length = ::MultiByteToWideChar(codePage, flags, text, -1, nullptr, 0);
        if (length > 1) {
            std::wstring wide(static_cast<size_t>(length), L'\0');
            ::MultiByteToWideChar(codePage, flags, text, -1, wide.data(), length);
            wide.resize(static_cast<size_t>(length - 1));
            return wide;
        }
    }
    return {};
}

} // namespace

BOOL CException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError != nullptr && nMaxError > 0)
        lpszError[0] = L'\0';
    return FALSE;
}

std::wstring CException::GetErrorMessageText() const
{
    wchar_t buffer[1024];
    if (!GetErrorMessage(buffer, static_cast<UINT>(std::size(buffer))))
        return {};
    return buffer;
}

int CException::ReportError(UINT nType, UINT nMessageID)
{
    std::wstring text = GetErrorMessageText();
    if (text.empty() && nMessageID != 0)
        return AfxMessageBox(nMessageID, nType);
    if (text.empty())
        text = L"An unexpected error occurred.";
    return AfxMessageBox(text, nType);
}

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CSimpleException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    return CopyMessage(m_message, lpszError, nMaxError);
}

CMemoryException::CMemoryException(BOOL bAutoDelete) : CSimpleException(kOutOfMemoryText, bAutoDelete) {}

CInvalidArgException::CInvalidArgException(std::wstring message)
    : CSimpleException(message.empty() ? std::wstring(kInvalidArgumentText) : std::move(message), TRUE)
{
}

int CUserException::ReportError(UINT, UINT)
{
    return IDOK;
}

void AfxThrowMemoryException()
{
    // Constructed once, up front of any shortage; never freed by Delete().
    static CMemoryException preallocated(FALSE);
    throw static_cast<CMemoryException*>(&preallocated);
}

void AfxThrowInvalidArgException(const std::wstring& message)
{
    throw new CInvalidArgException(message);
}

void AfxThrowUserException()
{
    throw new CUserException();
}

void AfxReportCurrentException() noexcept
{
    try {
        throw;
    } catch (CException* e) {
        try {
            if (e != nullptr)
                e->ReportError(MB_OK | MB_ICONEXCLAMATION);
        } catch (...) {
        }
        if (e != nullptr)
            e->Delete();
    } catch (const std::bad_alloc&) {
        try {
            AfxMessageBox(kOutOfMemoryText, MB_OK | MB_ICONEXCLAMATION);
        } catch (...) {
        }
    } catch (const std::exception& e) {
        try {
            std::wstring text = WideFromNarrow(e.what());
            AfxMessageBox(text.empty() ? std::wstring(L"An unexpected error occurred.") : text,
                          MB_OK | MB_ICONEXCLAMATION);
        } catch (...) {
        }
    } catch (...) {
        try {
            AfxMessageBox(L"An unexpected error occurred.", MB_OK | MB_ICONEXCLAMATION);
        } catch (...) {
        }
    }
}
