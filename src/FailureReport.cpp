// Failure reports; see FailureReport.h.
#include "FailureReport.h"

bool CheckHostStatus(Acad::ErrorStatus es, const wchar_t* source, int line) {
  if (es == Acad::eOk) return true;
  acutPrintf(L"!%s@%d: %s", source, line, acadErrorStatusText(es));
  return false;
}
