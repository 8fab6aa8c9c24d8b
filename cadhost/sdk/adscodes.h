// Result codes, value type codes and the result-buffer list of the host's ADS-style interface
// (selection sets, entity names, command-line functions).
#pragma once

#include "adesk.h"

// Result codes of the ADS-style functions.
#define RTNORM 5100    // request succeeded
#define RTERROR (-5001)  // some other error
#define RTCAN (-5002)    // user cancelled the request
#define RTREJ (-5003)    // the host rejected the request as invalid
#define RTFAIL (-5004)   // link failure
#define RTKWORD (-5005)  // keyword returned from a get function
#define RTINPUTTRUNCATED (-5008)

// Value type codes of result buffers.
#define RTNONE 5000
#define RTREAL 5001
#define RTPOINT 5002
#define RTSHORT 5003
#define RTANG 5004
#define RTSTR 5005
#define RTENAME 5006
#define RTPICKS 5007
#define RTORINT 5008
#define RT3DPOINT 5009
#define RTLONG 5010
#define RTVOID 5014
#define RTLB 5016
#define RTLE 5017
#define RTDOTE 5018
#define RTNIL 5019
#define RTDXF0 5020  // group code 0 in a list (0 would end the argument list of acutBuildList)
#define RTT 5021
#define RTRESBUF 5023
#define RTMODELESS 5027
#define RTLONG_PTR 5030
#define RTINT64 5031

typedef double ads_real;
typedef ads_real ads_point[3];
typedef Adesk::LongPtr ads_name[2];  // two pointer-sized integers: 64-bit on x64, 32-bit on Win32
typedef ads_real* ads_pointp;
typedef Adesk::LongPtr* ads_namep;

struct ads_binary {
  short clen;
  char* buf;
};

union ads_u_val {
  ads_real rreal;
  ads_real rpoint[3];
  short rint;
  ACHAR* rstring;
  Adesk::LongPtr rlname[2];
  Adesk::LongPtr mnLongPtr;
  Adesk::Int32 rlong;
  Adesk::Int64 mnInt64;
  struct ads_binary rbinary;
  unsigned char ihandle[8];
};

struct resbuf {
  struct resbuf* rbnext;
  short restype;
  union ads_u_val resval;
};

// The value kind that a result-buffer type code carries, as acutBuildList and acutRelRb treat it.
enum class AcResbufValueKind { kNone, kReal, kPoint, kShort, kLong, kInt64, kString, kName, kBinary };
ACCORE_PORT AcResbufValueKind acutResbufValueKind(int restype);

// Copying an entity or selection-set name.
inline void ads_name_set(const ads_name from, ads_name to) { to[0] = from[0]; to[1] = from[1]; }
inline void ads_name_clear(ads_name name) { name[0] = name[1] = 0; }
inline bool ads_name_nil(const ads_name name) { return name[0] == 0 && name[1] == 0; }
inline bool ads_name_equal(const ads_name a, const ads_name b) { return a[0] == b[0] && a[1] == b[1]; }
