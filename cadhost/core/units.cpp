// Linear units: formatting distances (acdbRToS) and reading them (acdbDisToF) in the host's
// five unit modes:
//   1 scientific     1.7500E+01
//   2 decimal        17.50
//   3 engineering    1'-5.50"      feet and decimal inches; the value is in inches
//   4 architectural  1'-5 1/2"     feet and fractional inches, to 1/2^precision of an inch
//   5 fractional     17 1/2        whole units and a fraction, to 1/2^precision
// Unit and precision -1 take the working drawing's LUNITS and LUPREC. Halves round away from
// zero. Reading accepts, in every mode, plain and scientific numbers and fractions ("17 1/2",
// "17-1/2", "1/2"); in engineering and architectural units also feet and inches ("1'5"",
// "1'-5 1/2"", "5.5"", "1'"), a plain number there being inches.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "../sdk/acedads.h"
#include "coreaccess.h"

namespace {

enum Mode { kScientific = 1, kDecimal = 2, kEngineering = 3, kArchitectural = 4, kFractional = 5 };

std::string fixed(double v, int precision) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, precision);
  return std::string(buffer, result.ptr);
}

// v rounded to a multiple of step, halves away from zero. A nudge of a few units in the last
// place of v keeps decimal values that binary cannot hold exactly (1.005) on the side a person
// expects; it is measured in steps and kept far below half a step, so that a large value does
// not gain a digit it does not have. A value too large to have anything below the step is
// returned as it is.
double roundTo(double v, double step) {
  const double magnitude = std::fabs(v);
  const double scaled = magnitude / step;
  if (!std::isfinite(scaled)) return v;
  const double lastPlace = std::nextafter(magnitude, HUGE_VAL) - magnitude;
  const double nudge = std::min(4 * lastPlace / step, 1e-3);
  const double rounded = std::floor(scaled + 0.5 + nudge) * step;
  return v < 0 ? -rounded : rounded;
}

std::string decimal(double v, int precision) {
  double r = roundTo(v, std::pow(10.0, -precision));
  if (r == 0) r = 0;  // no "-0.00"
  return fixed(r, precision);
}

// v / 10^exponent; the smallest numbers are scaled up first, as 10^exponent would vanish.
double mantissaOf(double v, int exponent) {
  if (exponent < -300) return (v * 1e300) / std::pow(10.0, exponent + 300);
  return v / std::pow(10.0, exponent);
}

std::string scientific(double v, int precision) {
  if (v == 0) return fixed(0, precision) + "E+00";
  int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
  if (std::fabs(mantissaOf(v, exponent)) < 1) --exponent;  // log10 a hair above the truth
  double mantissa = roundTo(mantissaOf(v, exponent), std::pow(10.0, -precision));
  if (std::fabs(mantissa) >= 10) {  // 9.99995 rounded up to 10.0000
    ++exponent;
    mantissa = roundTo(mantissaOf(v, exponent), std::pow(10.0, -precision));
  }
  char exp[16];
  std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return fixed(mantissa, precision) + exp;
}

// Whole part and a reduced fraction n/d of |v|, to 1/2^precision.
struct Mixed {
  long long whole = 0, numerator = 0, denominator = 1;
};
Mixed mixed(double magnitude, int precision) {
  const long long denominator = 1LL << precision;
  const long long units = static_cast<long long>(roundTo(magnitude, 1.0 / static_cast<double>(denominator)) * static_cast<double>(denominator) + 0.5);
  Mixed m;
  m.whole = units / denominator;
  m.numerator = units % denominator;
  m.denominator = denominator;
  while (m.numerator != 0 && m.numerator % 2 == 0) {
    m.numerator /= 2;
    m.denominator /= 2;
  }
  return m;
}

std::string fraction(const Mixed& m, bool wholeAlways) {
  std::string text;
  if (m.whole != 0 || m.numerator == 0 || wholeAlways) text = std::to_string(m.whole);
  if (m.numerator != 0) {
    if (!text.empty()) text += ' ';
    text += std::to_string(m.numerator) + "/" + std::to_string(m.denominator);
  }
  return text;
}

// Feet, whole units and fraction steps are counted in whole numbers. A distance this large has
// no exact whole part left to print (and its count would overflow), so the modes that count
// refuse it; scientific and decimal units still print it.
constexpr double kLargestCountedDistance = 1e15;

std::string format(double v, int mode, int precision) {
  const bool negative = v < 0;
  const double magnitude = std::fabs(v);
  if (mode >= kEngineering && magnitude >= kLargestCountedDistance) return "";
  switch (mode) {
    case kScientific: return scientific(v, precision);
    case kDecimal: return decimal(v, precision);
    case kEngineering: {
      long long feet = static_cast<long long>(magnitude / 12);
      double inches = roundTo(magnitude - static_cast<double>(feet) * 12, std::pow(10.0, -precision));
      if (inches >= 12) { ++feet; inches -= 12; }
      const std::string text = std::to_string(feet) + "'-" + fixed(inches, precision) + "\"";
      return negative && (feet != 0 || inches != 0) ? "-" + text : text;
    }
    case kArchitectural: {
      Mixed m = mixed(magnitude, precision);
      const long long feet = m.whole / 12;
      m.whole %= 12;
      const std::string text = std::to_string(feet) + "'-" + fraction(m, true) + "\"";
      return negative && (feet != 0 || m.whole != 0 || m.numerator != 0) ? "-" + text : text;
    }
    case kFractional: {
      const Mixed m = mixed(magnitude, precision);
      const std::string text = fraction(m, false);
      return negative && (m.whole != 0 || m.numerator != 0) ? "-" + text : text;
    }
    default: return "";
  }
}

void currentUnits(int& unit, int& precision) {
  const AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (unit == -1) unit = db ? db->lunits() : static_cast<int>(kDecimal);
  if (precision == -1) precision = db ? db->luprec() : 4;
}

// ---- Reading ----------------------------------------------------------------------------

class Reader {
 public:
  explicit Reader(std::string s) : mText(std::move(s)) {}

  bool atEnd() const { return mPos >= mText.size(); }
  char peek() const { return atEnd() ? '\0' : mText[mPos]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++mPos;
    return true;
  }
  void skipSpaces() {
    while (peek() == ' ' || peek() == '\t') ++mPos;
  }
  size_t position() const { return mPos; }
  void rewind(size_t p) { mPos = p; }

  // An unsigned decimal or scientific number.
  bool number(double& value) {
    if (!(std::isdigit(static_cast<unsigned char>(peek())) || peek() == '.')) return false;
    const char* first = mText.data() + mPos;
    const auto result = std::from_chars(first, mText.data() + mText.size(), value, std::chars_format::general);
    if (result.ec != std::errc()) return false;
    mPos += static_cast<size_t>(result.ptr - first);
    return std::isfinite(value);
  }

  bool integer(long long& value) {
    if (!std::isdigit(static_cast<unsigned char>(peek()))) return false;
    const char* first = mText.data() + mPos;
    const auto result = std::from_chars(first, mText.data() + mText.size(), value);
    if (result.ec != std::errc()) return false;
    mPos += static_cast<size_t>(result.ptr - first);
    return true;
  }

  // "n/d" with whole numbers, d not 0.
  bool fraction(double& value) {
    const size_t start = mPos;
    long long n = 0, d = 0;
    if (integer(n) && take('/') && integer(d) && d != 0) {
      value = static_cast<double>(n) / static_cast<double>(d);
      return true;
    }
    mPos = start;
    return false;
  }

  // A number, a fraction, or a whole number followed by a fraction ("17 1/2", "17-1/2").
  bool mixedNumber(double& value) {
    if (fraction(value)) return true;
    const size_t start = mPos;
    if (!number(value)) return false;
    // A fraction may follow a whole number only.
    const std::string read = mText.substr(start, mPos - start);
    if (read.find_first_not_of("0123456789") != std::string::npos) return true;
    const size_t afterWhole = mPos;
    if (take(' ') || take('-')) {
      skipSpaces();
      double part = 0;
      if (fraction(part)) {
        value += part;
        return true;
      }
    }
    mPos = afterWhole;
    return true;
  }

 private:
  std::string mText;
  size_t mPos = 0;
};

bool parse(const std::string& text, int mode, double& result) {
  Reader r(text);
  r.skipSpaces();
  const bool negative = r.take('-');
  if (!negative) r.take('+');
  r.skipSpaces();
  const bool feetAndInches = mode == kEngineering || mode == kArchitectural;
  double value = 0;
  if (!r.mixedNumber(value)) return false;
  r.skipSpaces();
  if (feetAndInches && r.take('\'')) {
    // Feet, then optionally inches after an optional dash.
    double inches = 0;
    r.skipSpaces();
    const size_t before = r.position();
    r.take('-');
    r.skipSpaces();
    if (r.mixedNumber(inches)) {
      r.skipSpaces();
      r.take('"');
    } else {
      r.rewind(before);
    }
    value = value * 12 + inches;
  } else if (feetAndInches) {
    r.take('"');
  }
  r.skipSpaces();
  if (!r.atEnd()) return false;
  result = negative ? -value : value;
  return true;
}

}  // namespace

int acdbRToS(ads_real val, int unit, int prec, ACHAR* str, size_t nBufLen) {
  if (str == nullptr || nBufLen == 0) return RTERROR;
  str[0] = 0;
  currentUnits(unit, prec);
  if (unit < kScientific || unit > kFractional || prec < 0 || prec > 8 || !std::isfinite(val)) return RTERROR;
  const std::string text = format(val, unit, prec);
  if (text.empty() || text.size() + 1 > nBufLen) return RTERROR;
  for (size_t i = 0; i < text.size(); ++i) str[i] = static_cast<ACHAR>(text[i]);
  str[text.size()] = 0;
  return RTNORM;
}

int acdbDisToF(const ACHAR* str, int unit, ads_real* v) {
  if (str == nullptr || v == nullptr) return RTERROR;
  int precision = 0;
  currentUnits(unit, precision);
  if (unit < kScientific || unit > kFractional) return RTERROR;
  std::string narrow;
  for (const ACHAR* p = str; *p; ++p) {
    if (*p > 0x7E || *p < 0x20) {
      if (*p == L'\t') { narrow += ' '; continue; }
      return RTERROR;  // no distance holds other characters
    }
    narrow += static_cast<char>(*p);
  }
  double value = 0;
  if (!parse(narrow, unit, value)) return RTERROR;
  *v = value;
  return RTNORM;
}
