// Failure reports; see FailureReport.h.
#include "FailureReport.h"

#include <cwchar>

#include "ModuleState.h"
#include "TEDialog/TEDialog.h"

bool CheckHostStatus(Acad::ErrorStatus es, const wchar_t* source, int line) {
  if (es == Acad::eOk) return true;
  wchar_t report[256];
  std::swprintf(report, std::size(report), L"!%ls@%d: %ls", source, line, acadErrorStatusText(es));
  // Each report ends its line, so that reports and the host's next prompt never run together.
  acutPrintf(L"%s\n", report);
  // The command line is behind the editor: its status bar shows the last failure too.
  if (g_pEditorDialog != nullptr) g_pEditorDialog->ShowFailure(report);
  return false;
}
