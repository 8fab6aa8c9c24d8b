// Utility functions of the host: result-buffer lists, strings, the command line, wildcards.
#pragma once

#include "acadstrc.h"
#include "adscodes.h"

// Builds a result-buffer list from pairs (type code, value), ended by a 0 or RTNONE type code.
// Strings are copied. Returns nullptr on an unknown type code.
ACCORE_PORT struct resbuf* acutBuildList(int rtype, ...);
ACCORE_PORT struct resbuf* acutNewRb(int v);
ACCORE_PORT int acutRelRb(struct resbuf* rb);  // frees a whole list, strings included

// Prints to the host's command line, printf style; "%s" takes an ACHAR string.
ACCORE_PORT int acutPrintf(const ACHAR* format, ...);

// A copy of pInput (nullptr gives nullptr) that the receiver frees with acutDelString.
ACCORE_PORT Acad::ErrorStatus acutNewString(const ACHAR* pInput, ACHAR*& pOutput);
ACCORE_PORT void acutDelString(ACHAR*& pString);

// Wildcard match as the host's selection filters and symbol-table lookups use it: '*', '?',
// '#' (a digit), '@' (a letter), '.' (neither), '~' (negation at the start), '[...]', '[~...]',
// ',' (alternatives) and '`' (escape). Letter case is ignored. RTNORM on a match, RTERROR if not.
ACCORE_PORT int acutWcMatch(const ACHAR* string, const ACHAR* pattern);
