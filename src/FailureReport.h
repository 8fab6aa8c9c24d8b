// How the editor reports a failed host call: "!<source>@<line>: <status name>" on the host's
// command line, on a line of its own. The report ends the operation in hand; the caller leaves no
// entity open.
#pragma once

#include "host/HostInterface.h"

// True when es is eOk; otherwise prints the report and returns false.
bool CheckHostStatus(Acad::ErrorStatus es, const wchar_t* source, int line);

// Checks a host call made by the editor dialog's code.
#define TE_CHECKED(expression) CheckHostStatus((expression), L"src/TEDialog", __LINE__)
