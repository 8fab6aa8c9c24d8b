// Result-buffer lists and host-allocated strings.
#include <cstdarg>
#include <cstring>

#include "../sdk/acutads.h"

AcResbufValueKind acutResbufValueKind(int t) {
  switch (t) {
    case RTREAL: case RTANG: case RTORINT: return AcResbufValueKind::kReal;
    case RTPOINT: case RT3DPOINT: return AcResbufValueKind::kPoint;
    case RTSHORT: return AcResbufValueKind::kShort;
    case RTLONG: return AcResbufValueKind::kLong;
    case RTINT64: return AcResbufValueKind::kInt64;
    case RTLONG_PTR: return AcResbufValueKind::kInt64;
    case RTSTR: case RTDXF0: return AcResbufValueKind::kString;
    case RTENAME: case RTPICKS: return AcResbufValueKind::kName;
    case RTLB: case RTLE: case RTDOTE: case RTNIL: case RTT: case RTVOID: case RTNONE: return AcResbufValueKind::kNone;
    default: break;
  }
  // Group codes of drawing data, as selection filters and extended data use them.
  if (t == -4 || (t >= 0 && t <= 9) || t == 100 || t == 102 || t == 105 || (t >= 300 && t <= 369) ||
      (t >= 390 && t <= 399) || (t >= 410 && t <= 419) || (t >= 430 && t <= 439) || (t >= 470 && t <= 481) ||
      t == 999 || (t >= 1000 && t <= 1009))
    return AcResbufValueKind::kString;
  if (t == -1 || t == -2) return AcResbufValueKind::kName;
  if ((t >= 10 && t <= 17) || (t >= 110 && t <= 112) || (t >= 1010 && t <= 1013)) return AcResbufValueKind::kPoint;
  if ((t >= 38 && t <= 59) || (t >= 140 && t <= 149) || (t >= 460 && t <= 469) || (t >= 1040 && t <= 1042))
    return AcResbufValueKind::kReal;
  if ((t >= 60 && t <= 79) || (t >= 170 && t <= 179) || (t >= 270 && t <= 289) || (t >= 370 && t <= 389) ||
      (t >= 400 && t <= 409) || t == 1070)
    return AcResbufValueKind::kShort;
  if ((t >= 90 && t <= 99) || (t >= 420 && t <= 429) || (t >= 440 && t <= 459) || t == 1071)
    return AcResbufValueKind::kLong;
  if (t >= 160 && t <= 169) return AcResbufValueKind::kInt64;
  if ((t >= 290 && t <= 299)) return AcResbufValueKind::kShort;
  if (t == 310 || t == 1004) return AcResbufValueKind::kBinary;
  if (t >= 1014 && t <= 1019) return AcResbufValueKind::kPoint;
  return AcResbufValueKind::kNone;
}

resbuf* acutNewRb(int v) {
  auto* rb = new resbuf;
  std::memset(rb, 0, sizeof(*rb));
  rb->restype = static_cast<short>(v);
  return rb;
}

int acutRelRb(resbuf* rb) {
  while (rb != nullptr) {
    resbuf* next = rb->rbnext;
    const AcResbufValueKind kind = acutResbufValueKind(rb->restype);
    if (kind == AcResbufValueKind::kString) delete[] rb->resval.rstring;
    else if (kind == AcResbufValueKind::kBinary) delete[] rb->resval.rbinary.buf;
    delete rb;
    rb = next;
  }
  return RTNORM;
}

resbuf* acutBuildList(int rtype, ...) {
  va_list args;
  va_start(args, rtype);
  resbuf* head = nullptr;
  resbuf* tail = nullptr;
  for (int type = rtype; type != 0 && type != RTNONE; type = va_arg(args, int)) {
    resbuf* rb = acutNewRb(type);
    switch (acutResbufValueKind(type)) {
      case AcResbufValueKind::kReal: rb->resval.rreal = va_arg(args, double); break;
      case AcResbufValueKind::kPoint: {
        const double* p = va_arg(args, const double*);
        for (int i = 0; i < 3; ++i) rb->resval.rpoint[i] = p ? p[i] : 0.0;
        break;
      }
      case AcResbufValueKind::kShort: rb->resval.rint = static_cast<short>(va_arg(args, int)); break;
      case AcResbufValueKind::kLong: rb->resval.rlong = va_arg(args, Adesk::Int32); break;
      case AcResbufValueKind::kInt64: rb->resval.mnInt64 = va_arg(args, Adesk::Int64); break;
      case AcResbufValueKind::kString: {
        const ACHAR* s = va_arg(args, const ACHAR*);
        acutNewString(s ? s : L"", rb->resval.rstring);
        break;
      }
      case AcResbufValueKind::kName: {
        const Adesk::LongPtr* name = va_arg(args, const Adesk::LongPtr*);
        rb->resval.rlname[0] = name ? name[0] : 0;
        rb->resval.rlname[1] = name ? name[1] : 0;
        break;
      }
      case AcResbufValueKind::kBinary: {
        const ads_binary* bin = va_arg(args, const ads_binary*);
        if (bin && bin->clen > 0) {
          rb->resval.rbinary.clen = bin->clen;
          rb->resval.rbinary.buf = new char[static_cast<size_t>(bin->clen)];
          std::memcpy(rb->resval.rbinary.buf, bin->buf, static_cast<size_t>(bin->clen));
        }
        break;
      }
      case AcResbufValueKind::kNone:
        if (type != RTLB && type != RTLE && type != RTDOTE && type != RTNIL && type != RTT && type != RTVOID) {
          delete rb;
          acutRelRb(head);
          va_end(args);
          return nullptr;  // an unknown type code: the rest of the arguments cannot be read
        }
        break;
    }
    if (tail) tail->rbnext = rb;
    else head = rb;
    tail = rb;
  }
  va_end(args);
  return head;
}

Acad::ErrorStatus acutNewString(const ACHAR* pInput, ACHAR*& pOutput) {
  pOutput = nullptr;
  if (pInput == nullptr) return Acad::eOk;
  const size_t n = std::wcslen(pInput);
  pOutput = new ACHAR[n + 1];
  std::wmemcpy(pOutput, pInput, n + 1);
  return Acad::eOk;
}

void acutDelString(ACHAR*& pString) {
  delete[] pString;
  pString = nullptr;
}
