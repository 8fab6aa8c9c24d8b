// Failure reports; see FailureReport.h.
#include "FailureReport.h"

bool CheckHostStatus(Acad::ErrorStatus es, const wchar_t* source, int line) {
  if (es == Acad::eOk) return true;
  // Each report ends its line, so that reports and the host's next prompt never run together.
  acutPrintf(L"!%s@%d: %s\n", source, line, acadErrorStatusText(es));
  return false;
}
