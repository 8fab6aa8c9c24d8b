// The framework's exception classes, thrown by pointer as in MFC code (throw new ..., catch
// (CException* e) { ...; e->Delete(); }): CException with its ReportError message box,
// CMemoryException, CInvalidArgException and CUserException, and the AfxThrow... helpers.
// The window procedure catches whatever a message handler throws (see AfxReportCurrentException).
#pragma once

#include "platform/RuntimeClass.h"
#include "platform/Win32.h"

#include <string>

class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    // bAutoDelete: the object was made with new and Delete() frees it; FALSE for the static
    // objects thrown when memory may be short.
    explicit CException(BOOL bAutoDelete = TRUE) noexcept : m_bAutoDelete(bAutoDelete) {}

    // Copies the text describing the error into lpszError (always terminated); FALSE when there
    // is no text.
    virtual BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    // The same text as a string.
    std::wstring GetErrorMessageText() const;

    // Shows the error in a message box (with nMessageID's text when there is no own text);
    // returns the button pressed.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

    // Frees the exception if it was made with new; call it in every catch block.
    void Delete();

protected:
    BOOL m_bAutoDelete;
};

// An exception that carries a fixed text.
class CSimpleException : public CException {
    DECLARE_DYNAMIC(CSimpleException)
public:
    explicit CSimpleException(BOOL bAutoDelete = TRUE) noexcept : CException(bAutoDelete) {}
    CSimpleException(std::wstring message, BOOL bAutoDelete) : CException(bAutoDelete), m_message(std::move(message)) {}

    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

protected:
    std::wstring m_message;
};

class CMemoryException : public CSimpleException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    explicit CMemoryException(BOOL bAutoDelete = TRUE);
};

class CInvalidArgException : public CSimpleException {
    DECLARE_DYNAMIC(CInvalidArgException)
public:
    explicit CInvalidArgException(std::wstring message = {});
};

// Thrown after the user was already told what is wrong (a failed data validation): catching
// code ends the operation silently; ReportError shows nothing.
class CUserException : public CSimpleException {
    DECLARE_DYNAMIC(CUserException)
public:
    CUserException() : CSimpleException(TRUE) {}
    int ReportError(UINT nType = MB_OK, UINT nMessageID = 0) override;
};

// Throws the shared, preallocated CMemoryException (no allocation is needed to throw it).
[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException(const std::wstring& message = {});
[[noreturn]] void AfxThrowUserException();

// For use inside a catch (...) block only: reports the exception being handled (CException* via
// ReportError and Delete, std::bad_alloc and other std::exception via a message box with their
// text, anything else as an unexpected error). Never throws. This is the last line before Win32:
// the window procedure and the modal loop use it so that no exception crosses into the system.
void AfxReportCurrentException() noexcept;
