// Fields: parsing and evaluating field expressions, and writing their values into the text of
// the objects that keep them. See dbfield.h for the expressions understood.
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "../sdk/acedads.h"
#include "../sdk/acutads.h"
#include "coreaccess.h"
#include "hostservices.h"
#include "lettercase.h"

ACRX_DEFINE_COPYABLE(AcDbField, AcDbObject, L"FIELD")

namespace {

const std::wstring kUnevaluable = L"####";

std::wstring lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

// The format of an expression: the quoted text after "\f".
std::wstring formatOption(const std::wstring& body) {
  const size_t f = body.find(L"\\f \"");
  if (f == std::wstring::npos) return L"";
  const size_t start = f + 4, end = body.find(L'"', start);
  return end == std::wstring::npos ? L"" : body.substr(start, end - start);
}

std::wstring applyCaseOption(std::wstring text, const std::wstring& format) {
  const size_t tc = format.find(L"%tc");
  if (tc == std::wstring::npos || tc + 3 >= format.size()) return text;
  switch (format[tc + 3]) {
    case L'1': for (auto& c : text) c = cadhost_detail::upperLetter(c); break;
    case L'2': for (auto& c : text) c = cadhost_detail::lowerLetter(c); break;
    case L'3':
      for (auto& c : text) c = cadhost_detail::lowerLetter(c);
      if (!text.empty()) text[0] = cadhost_detail::upperLetter(text[0]);
      break;
    case L'4': {
      bool start = true;
      for (auto& c : text) {
        c = start ? cadhost_detail::upperLetter(c) : cadhost_detail::lowerLetter(c);
        start = std::iswspace(c) != 0;
      }
      break;
    }
    default: break;
  }
  return text;
}

std::wstring formatDate(const std::tm& t, std::wstring format) {
  static const wchar_t* kDays[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
  static const wchar_t* kMonths[] = {L"January", L"February", L"March", L"April", L"May", L"June", L"July",
                                     L"August", L"September", L"October", L"November", L"December"};
  if (format.empty()) format = L"M/d/yyyy";
  auto two = [](int v) { wchar_t b[8]; std::swprintf(b, 8, L"%02d", v); return std::wstring(b); };
  std::wstring out;
  for (size_t i = 0; i < format.size();) {
    const wchar_t c = format[i];
    size_t n = 1;
    while (i + n < format.size() && format[i + n] == c) ++n;
    const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    switch (c) {
      case L'd':
        out += n == 1 ? std::to_wstring(t.tm_mday) : n == 2 ? two(t.tm_mday)
               : n == 3 ? std::wstring(kDays[t.tm_wday]).substr(0, 3) : std::wstring(kDays[t.tm_wday]);
        break;
      case L'M':
        out += n == 1 ? std::to_wstring(t.tm_mon + 1) : n == 2 ? two(t.tm_mon + 1)
               : n == 3 ? std::wstring(kMonths[t.tm_mon]).substr(0, 3) : std::wstring(kMonths[t.tm_mon]);
        break;
      case L'y': out += n <= 2 ? two((t.tm_year + 1900) % 100) : std::to_wstring(t.tm_year + 1900); break;
      case L'h': out += n == 1 ? std::to_wstring(hour12) : two(hour12); break;
      case L'H': out += n == 1 ? std::to_wstring(t.tm_hour) : two(t.tm_hour); break;
      case L'm': out += n == 1 ? std::to_wstring(t.tm_min) : two(t.tm_min); break;
      case L's': out += n == 1 ? std::to_wstring(t.tm_sec) : two(t.tm_sec); break;
      case L't': out += t.tm_hour < 12 ? (n == 1 ? L"A" : L"AM") : (n == 1 ? L"P" : L"PM"); break;
      default: out.append(n, c); break;
    }
    i += n;
  }
  return out;
}

std::wstring formatFilename(const std::wstring& path, const std::wstring& format) {
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of(L'.');
  const std::wstring stem = dot == std::wstring::npos ? name : name.substr(0, dot);
  const size_t fn = format.find(L"%fn");
  const wchar_t kind = fn != std::wstring::npos && fn + 3 < format.size() ? format[fn + 3] : L'0';
  std::wstring value;
  switch (kind) {
    case L'1': value = folder; break;
    case L'2': value = name; break;
    case L'3': value = folder + stem; break;
    case L'6': value = stem; break;
    default: value = path; break;
  }
  return applyCaseOption(value, format);
}

std::wstring formatNumber(double v, const std::wstring& format, bool angle) {
  if (angle) v = v * 180.0 / M_PI;
  int unit = -1, precision = -1;
  const size_t lu = format.find(L"%lu"), pr = format.find(L"%pr");
  if (lu != std::wstring::npos && lu + 3 < format.size()) unit = format[lu + 3] - L'0';
  if (pr != std::wstring::npos && pr + 3 < format.size()) precision = format[pr + 3] - L'0';
  if (angle) unit = 2;
  ACHAR buffer[64];
  if (acdbRToS(v, unit, precision, buffer, 64) != RTNORM) return kUnevaluable;
  return buffer;
}

bool evaluateObjectProperty(const std::wstring& body, AcDbDatabase* db, std::wstring& value) {
  // \AcObjProp Object(%<\_ObjId N>%).Property [\f "..."]
  const size_t objId = body.find(L"\\_ObjId ");
  const size_t close = body.find(L">%)", objId == std::wstring::npos ? 0 : objId);
  if (objId == std::wstring::npos || close == std::wstring::npos || db == nullptr) return false;
  const std::wstring number = body.substr(objId + 8, close - objId - 8);
  wchar_t* end = nullptr;
  const unsigned long long handle = std::wcstoull(number.c_str(), &end, 10);
  if (end == number.c_str()) return false;
  size_t p = close + 3;
  if (p >= body.size() || body[p] != L'.') return false;
  ++p;
  size_t q = p;
  while (q < body.size() && (std::iswalnum(body[q]) || body[q] == L'_')) ++q;
  const std::wstring property = lower(body.substr(p, q - p));
  const std::wstring format = formatOption(body);
  AcDbObjectId id;
  if (db->getAcDbObjectId(id, false, AcDbHandle(handle)) != Acad::eOk || !id.isValid() || id.isErased()) return false;
  const AcDbObject* obj = AcDbCore::object(id);
  const auto* ent = AcDbEntity::cast(obj);
  if (property == L"textstring" || property == L"contents") {
    if (const auto* t = AcDbText::cast(obj)) value = t->textStringConst();
    else if (const auto* m = AcDbMText::cast(obj)) value = m->contentsConst();
    else if (const auto* d = AcDbDimension::cast(obj)) value = d->formattedText().kwszPtr();
    else return false;
    value = applyCaseOption(value, format);
    return true;
  }
  if (property == L"layer" && ent != nullptr) {
    const auto* layer = AcDbCore::objectAs<AcDbLayerTableRecord>(ent->layerId());
    value = applyCaseOption(layer ? AcDbCore::name(layer) : L"", format);
    return true;
  }
  double number_ = 0;
  bool angle = false;
  if (property == L"height") {
    if (const auto* t = AcDbText::cast(obj)) number_ = t->height();
    else if (const auto* m = AcDbMText::cast(obj)) number_ = m->textHeight();
    else return false;
  } else if (property == L"rotation") {
    angle = true;
    if (const auto* t = AcDbText::cast(obj)) number_ = t->rotation();
    else if (const auto* m = AcDbMText::cast(obj)) number_ = m->rotation();
    else return false;
  } else if (property == L"length") {
    const auto* l = AcDbLine::cast(obj);
    if (l == nullptr) return false;
    number_ = l->startPoint().distanceTo(l->endPoint());
  } else if (property == L"radius" || property == L"diameter" || property == L"area") {
    double r = 0;
    if (const auto* c = AcDbCircle::cast(obj)) r = c->radius();
    else if (const auto* a = AcDbArc::cast(obj); a && property != L"area") r = a->radius();
    else return false;
    number_ = property == L"radius" ? r : property == L"diameter" ? 2 * r : M_PI * r * r;
  } else if (property == L"measurement") {
    const auto* d = AcDbDimension::cast(obj);
    if (d == nullptr || d->measurement(number_) != Acad::eOk) return false;
  } else {
    return false;
  }
  value = formatNumber(number_, format, angle);
  return value != kUnevaluable;
}

bool evaluateExpression(const std::wstring& expression, AcDbDatabase* db, std::wstring& value) {
  // expression is "%<\Name args>%"
  const std::wstring body = expression.substr(3, expression.size() - 5);
  size_t space = body.find(L' ');
  const std::wstring evaluator = lower(body.substr(0, space));
  if (evaluator == L"acobjprop") return evaluateObjectProperty(body, db, value);
  if (evaluator != L"acvar") return false;
  if (space == std::wstring::npos) return false;
  while (space < body.size() && body[space] == L' ') ++space;
  size_t end = space;
  while (end < body.size() && body[end] != L' ' && body[end] != L'\\') ++end;
  const std::wstring variable = lower(body.substr(space, end - space));
  const std::wstring format = formatOption(body);
  if (variable == L"date") {
    value = formatDate(cadhost::currentTime(), format);
    return true;
  }
  if (db == nullptr) return false;
  if (variable == L"filename") {
    const ACHAR* path = L"";
    db->getFilename(path);
    value = formatFilename(path, format);
    return true;
  }
  const AcDbDatabaseSummaryInfo& info = AcDbCore::imp(db)->summary;
  AcString text;
  if (variable == L"author") info.getAuthor(text);
  else if (variable == L"title") info.getTitle(text);
  else if (variable == L"subject") info.getSubject(text);
  else if (variable == L"keywords") info.getKeywords(text);
  else if (variable == L"comments") info.getComments(text);
  else if (variable == L"lastsavedby") info.getLastSavedBy(text);
  else return false;
  value = applyCaseOption(text.kwszPtr(), format);
  return true;
}

}  // namespace

std::vector<std::pair<size_t, size_t>> acdbTopLevelFieldExpressions(const std::wstring& code) {
  std::vector<std::pair<size_t, size_t>> found;
  size_t i = 0;
  while ((i = code.find(L"%<", i)) != std::wstring::npos) {
    if (i + 2 >= code.size() || code[i + 2] != L'\\') { i += 2; continue; }
    int depth = 0;
    size_t j = i;
    for (; j + 1 < code.size(); ++j) {
      if (code.compare(j, 2, L"%<") == 0) { ++depth; ++j; continue; }
      if (code.compare(j, 2, L">%") == 0) {
        if (--depth == 0) break;
        ++j;
      }
    }
    if (depth != 0 || j + 1 >= code.size()) break;  // unterminated: the rest is plain text
    found.emplace_back(i, j + 2);
    i = j + 2;
  }
  return found;
}

bool acdbHasFieldExpression(const ACHAR* text) {
  // Every expression begins with "%<\"; most texts have none and need no closer look (nor a copy).
  // A search for its first character alone is quicker than one for the three.
  if (text == nullptr) return false;
  for (const ACHAR* p = std::wcschr(text, L'%'); p != nullptr; p = std::wcschr(p + 1, L'%'))
    if (p[1] == L'<' && p[2] == L'\\') return !acdbTopLevelFieldExpressions(text).empty();
  return false;
}

// ---- AcDbField --------------------------------------------------------------------------

AcDbField::AcDbField(const ACHAR* pszFieldCode, bool bTextField)
    : mCode(pszFieldCode ? pszFieldCode : L""), mTextField(bTextField) {}

const ACHAR* AcDbField::getFieldCode(FieldCodeFlag nFlag, AcArray<AcDbField*>*, AcDb::OpenMode) const {
  if (!assertReadEnabled(__func__)) return L"";
  if ((nFlag & kEvaluatedText) != 0 && (nFlag & (kFieldCode | kAddMarkers)) == 0) {
    mScratch = mValue;
  } else if ((nFlag & kAddMarkers) != 0) {
    mScratch = mCode;
  } else {
    // Child expressions stand as references to their index.
    mScratch.clear();
    size_t at = 0;
    int index = 0;
    for (const auto& [begin, end] : acdbTopLevelFieldExpressions(mCode)) {
      mScratch += mCode.substr(at, begin - at);
      mScratch += L"%<\\_FldIdx " + std::to_wstring(index++) + L">%";
      at = end;
    }
    mScratch += mCode.substr(at);
  }
  return mScratch.c_str();
}

Acad::ErrorStatus AcDbField::getFieldCode(AcString& code, FieldCodeFlag nFlag, AcArray<AcDbField*>* pChildFields,
                                          AcDb::OpenMode mode) const {
  code = getFieldCode(nFlag, pChildFields, mode);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbField::setFieldCode(const ACHAR* pszFieldCode, FieldCodeFlag) {
  if (pszFieldCode == nullptr) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mCode = pszFieldCode;
  mStatus = kNotYetEvaluated;
  return Acad::eOk;
}

int AcDbField::childCount() const {
  return static_cast<int>(acdbTopLevelFieldExpressions(readProperty(mCode, __func__)).size());
}

Acad::ErrorStatus AcDbField::evaluate(int, AcDbDatabase* pDb, int* pNumFound, int* pNumEvaluated) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  AcDbDatabase* db = pDb ? pDb : database();
  cadhost::HostReadScope hostReads;  // the objects and settings an expression names are the host's to read
  const auto expressions = acdbTopLevelFieldExpressions(mCode);
  std::wstring value;
  size_t at = 0;
  int evaluated = 0;
  for (const auto& [begin, end] : expressions) {
    value += mCode.substr(at, begin - at);
    std::wstring part;
    if (evaluateExpression(mCode.substr(begin, end - begin), db, part)) {
      ++evaluated;
      value += part;
    } else {
      value += kUnevaluable;
    }
    at = end;
  }
  value += mCode.substr(at);
  mValue = value;
  mStatus = evaluated == static_cast<int>(expressions.size()) ? kSuccess : kInvalidCode;
  if (pNumFound) *pNumFound = static_cast<int>(expressions.size());
  if (pNumEvaluated) *pNumEvaluated = evaluated;
  return Acad::eOk;
}

// ---- Evaluating an object's fields -------------------------------------------------------

Acad::ErrorStatus acdbEvaluateFields(const AcDbObjectId& objId, int nContext, const ACHAR* pszPropName,
                                     AcDbDatabase* pDb, AcFd::EvalFields, int* pNumFound, int* pNumEvaluated) {
  if (pNumFound) *pNumFound = 0;
  if (pNumEvaluated) *pNumEvaluated = 0;
  // Writing a field's value into its object is a write like any other: the object is opened for
  // write, so that a locked layer, a missing document lock or another opener refuses it.
  AcDbObject* obj = nullptr;
  const Acad::ErrorStatus opened = acdbOpenObject(obj, objId, AcDb::kForWrite, false, nullptr);
  if (opened != Acad::eOk) return opened;
  AcDbFieldTable* table = AcDbCore::fields(obj);
  const std::wstring wanted = pszPropName ? acdbUpperName(pszPropName) : L"";
  int found = 0, evaluated = 0;
  Acad::ErrorStatus result = Acad::eOk;
  for (size_t i = 0; table != nullptr && i < table->slots.size(); ++i) {
    const AcDbFieldTable::Slot& slot = table->slots[i];
    if (!wanted.empty() && acdbUpperName(slot.property.c_str()) != wanted) continue;
    AcDbField* field = nullptr;
    const Acad::ErrorStatus fieldOpened = acdbOpenObject(field, slot.id, AcDb::kForWrite);
    if (fieldOpened != Acad::eOk) {
      if (fieldOpened != Acad::eWasErased && fieldOpened != Acad::eNullObjectId) result = fieldOpened;
      continue;
    }
    int n = 0, e = 0;
    field->evaluate(nContext, pDb, &n, &e);
    const std::wstring value = field->getValue();
    const std::wstring property = slot.property;
    field->close();
    found += n;
    evaluated += e;
    AcDbCore::setFieldValue(obj, property.c_str(), value.c_str());
  }
  obj->close();
  if (pNumFound) *pNumFound = found;
  if (pNumEvaluated) *pNumEvaluated = evaluated;
  return result;
}

Acad::ErrorStatus acdbEvaluateFields(const AcDbObjectIdArray& objIds, int nContext, const ACHAR* pszPropName,
                                     AcDbDatabase* pDb, AcFd::EvalFields flags, int* pNumFound, int* pNumEvaluated) {
  int found = 0, evaluated = 0;
  Acad::ErrorStatus result = Acad::eOk;
  for (const AcDbObjectId& id : objIds) {
    int n = 0, e = 0;
    const Acad::ErrorStatus es = acdbEvaluateFields(id, nContext, pszPropName, pDb, flags, &n, &e);
    if (es != Acad::eOk) result = es;
    found += n;
    evaluated += e;
  }
  if (pNumFound) *pNumFound = found;
  if (pNumEvaluated) *pNumEvaluated = evaluated;
  return result;
}

void AcDbCore::setFieldValue(AcDbObject* obj, const ACHAR* property, const ACHAR* value) {
  const ACHAR* current = obj->subFieldPropertyText(property);
  if (current != nullptr && value != nullptr && std::wcscmp(current, value) == 0) return;
  obj->subSetFieldValue(property, value);
  ++obj->mRevision;
  if (obj->mpStub && obj->mpStub->database) ++obj->mpStub->database->changeCount;
  if (auto* ent = AcDbEntity::cast(obj)) markChanged(ent);
}
