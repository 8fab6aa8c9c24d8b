// Editor functions of the host: selection sets, entity names, display, units, the main window.
#pragma once

#include "adscodes.h"
#include "dbid.h"

// Selection. acedSSGet prompts the user unless a selection made before the command serves (for
// commands registered with ACRX_CMD_USEPICKSET) or a mode string asks for something else:
// "X" every entity of the drawing, "L" the last entity, "I" only the pick-first set.
// Returns RTNORM with a new selection set, RTCAN when the user cancelled, RTERROR when the
// selection (after the filter) is empty.
ACCORE_PORT int acedSSGet(const ACHAR* str, const void* pt1, const void* pt2,
                          const struct resbuf* filter, ads_name ss);
ACCORE_PORT int acedSSLength(const ads_name ss, Adesk::Int32* len);
ACCORE_PORT int acedSSName(const ads_name ss, Adesk::Int32 i, ads_name entres);
ACCORE_PORT int acedSSFree(const ads_name ss);
// With no entity and no set: a new empty set; with an entity and no set: a new set holding it;
// with both: the entity is added to the set, which is also the result.
ACCORE_PORT int acedSSAdd(const ads_name ename, const ads_name sname, ads_name result);
ACCORE_PORT int acedSSDel(const ads_name ename, const ads_name ss);
ACCORE_PORT int acedSSMemb(const ads_name ename, const ads_name ss);
// Sets (or, with a null set, clears) the pick-first set: what the user selected before a command.
ACCORE_PORT int acedSSSetFirst(const ads_name pset, const ads_name unused);
// The gripped and the pick-first sets as lists of one RTPICKS buffer each, or nullptr when there
// is none. Each holds a new selection set: free the set with acedSSFree, then the list with
// acutRelRb.
ACCORE_PORT int acedSSGetFirst(struct resbuf** gset, struct resbuf** pset);

// Entity names and object ids.
ACCORE_PORT Acad::ErrorStatus acdbGetAdsName(ads_name& objName, AcDbObjectId objId);
ACCORE_PORT Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& objId, const ads_name objName);
ACCORE_PORT int acdbEntLast(ads_name result);

// Display. acedGrText with box -3 restores the standard text of every text area of the host;
// -1 is the status line, -2 the mode area. acedRedraw with no entity redraws the whole drawing.
ACCORE_PORT int acedGrText(int box, const ACHAR* text, int hl);
ACCORE_PORT int acedRedraw(const ads_name ent, int mode);
ACCORE_PORT void acedUpdateDisplay();

// Linear units. unit: 1 scientific, 2 decimal, 3 engineering, 4 architectural, 5 fractional,
// -1 the drawing's LUNITS; prec: 0 to 8 digits, -1 the drawing's LUPREC.
ACCORE_PORT int acdbRToS(ads_real val, int unit, int prec, ACHAR* str, size_t nBufLen);
template <size_t N>
inline int acdbRToS(ads_real val, int unit, int prec, ACHAR (&str)[N]) {
  return acdbRToS(val, unit, prec, str, N);
}
ACCORE_PORT int acdbDisToF(const ACHAR* str, int unit, ads_real* v);

// The function code of the invoked AutoLISP function, -1 when none.
ACCORE_PORT int acedGetFunCode();

// The host's main window.
ACCORE_PORT HWND adsw_acadMainWnd();
