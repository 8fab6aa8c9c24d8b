// Selection filters: conditions on type name (group 0), layer (8), text style (7), text (1),
// colour (62), space (67), layout (410), combined with -4 "<AND" "AND>", "<OR" "OR>",
// "<XOR" "XOR>", "<NOT" "NOT>". Names are matched as wildcards, letter case ignored.
#include "selectionfilter.h"

#include <cmath>
#include <vector>

#include "../sdk/acutads.h"
#include "coreaccess.h"

namespace cadhost_detail {
namespace {

std::wstring entityProperty(const AcDbEntity* e, int group, bool& has) {
  has = true;
  switch (group) {
    case 0: return e->typeName();
    case 8: {
      const auto* layer = AcDbCore::objectAs<AcDbLayerTableRecord>(e->layerId());
      return layer ? AcDbCore::name(layer) : L"";
    }
    case 7: {
      AcDbObjectId style;
      if (const auto* t = AcDbText::cast(e)) style = t->textStyle();
      else if (const auto* m = AcDbMText::cast(e)) style = m->textStyle();
      else if (const auto* d = AcDbDimension::cast(e)) style = d->dimtxsty();
      const auto* record = AcDbCore::objectAs<AcDbTextStyleTableRecord>(style);
      if (record == nullptr) break;
      return AcDbCore::name(record);
    }
    case 1: {
      if (const auto* t = AcDbText::cast(e)) return t->textStringConst();
      if (const auto* m = AcDbMText::cast(e)) return m->contentsConst();
      if (const auto* d = AcDbDimension::cast(e)) return d->dimensionTextConst();
      break;
    }
    case 410: {
      const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(e->ownerId());
      if (block == nullptr || !block->isLayout()) break;
      return block->layoutName();
    }
    default: break;
  }
  has = false;
  return L"";
}

class Condition : public SelectionFilter {
 public:
  explicit Condition(const resbuf* rb) : mGroup(rb->restype == RTDXF0 ? 0 : rb->restype) {
    if (acutResbufValueKind(rb->restype) == AcResbufValueKind::kString) mText = rb->resval.rstring ? rb->resval.rstring : L"";
    else if (acutResbufValueKind(rb->restype) == AcResbufValueKind::kShort) mNumber = rb->resval.rint;
    else if (acutResbufValueKind(rb->restype) == AcResbufValueKind::kLong) mNumber = rb->resval.rlong;
    else if (acutResbufValueKind(rb->restype) == AcResbufValueKind::kReal) mNumber = rb->resval.rreal;
  }
  static bool supports(int group) {
    return group == RTDXF0 || group == 0 || group == 1 || group == 7 || group == 8 || group == 62 || group == 67 || group == 410;
  }
  bool matches(const AcDbEntity* e) const override {
    if (mGroup == 62) return e->colorIndex() == static_cast<int>(mNumber);
    if (mGroup == 67) {
      const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(e->ownerId());
      const bool paper = block && block->isLayout() && acdbUpperName(AcDbCore::name(block)) != L"*MODEL_SPACE";
      return (paper ? 1 : 0) == static_cast<int>(mNumber);
    }
    bool has = false;
    const std::wstring value = entityProperty(e, mGroup, has);
    return has && acutWcMatch(value.c_str(), mText.c_str()) == RTNORM;
  }

 private:
  int mGroup;
  std::wstring mText;
  double mNumber = 0;
};

class Combination : public SelectionFilter {
 public:
  enum Kind { And, Or, Xor, Not };
  explicit Combination(Kind kind) : mKind(kind) {}
  std::vector<std::unique_ptr<SelectionFilter>> operands;
  bool matches(const AcDbEntity* e) const override {
    switch (mKind) {
      case And:
        for (const auto& o : operands) if (!o->matches(e)) return false;
        return true;
      case Or:
        for (const auto& o : operands) if (o->matches(e)) return true;
        return false;
      case Xor: return operands[0]->matches(e) != operands[1]->matches(e);
      case Not: return !operands[0]->matches(e);
    }
    return false;
  }
  Kind kind() const { return mKind; }

 private:
  Kind mKind;
};

std::wstring upper(const ACHAR* s) { return acdbUpperName(s); }

}  // namespace

std::unique_ptr<SelectionFilter> SelectionFilter::compile(const resbuf* list, std::wstring& message) {
  struct Open { std::unique_ptr<Combination> node; std::wstring closer; };
  std::vector<Open> stack;
  stack.push_back({std::make_unique<Combination>(Combination::And), L""});
  for (const resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
    if (rb->restype == -4) {
      const std::wstring op = upper(rb->resval.rstring);
      if (op == L"<AND" || op == L"<OR" || op == L"<XOR" || op == L"<NOT") {
        const Combination::Kind kind = op == L"<AND" ? Combination::And : op == L"<OR" ? Combination::Or
                                       : op == L"<XOR" ? Combination::Xor : Combination::Not;
        stack.push_back({std::make_unique<Combination>(kind), op.substr(1) + L">"});
        continue;
      }
      if (op == L"AND>" || op == L"OR>" || op == L"XOR>" || op == L"NOT>") {
        if (stack.size() < 2 || stack.back().closer != op) {
          message = L"unbalanced " + op + L" in the filter list";
          return nullptr;
        }
        std::unique_ptr<Combination> done = std::move(stack.back().node);
        stack.pop_back();
        const size_t n = done->operands.size();
        if ((done->kind() == Combination::Not && n != 1) || (done->kind() == Combination::Xor && n != 2) || n == 0) {
          message = L"wrong number of operands for " + op;
          return nullptr;
        }
        stack.back().node->operands.push_back(std::move(done));
        continue;
      }
      message = L"unknown operator \"" + op + L"\" in the filter list";
      return nullptr;
    }
    if (!Condition::supports(rb->restype)) {
      message = L"group code " + std::to_wstring(rb->restype) + L" cannot be filtered";
      return nullptr;
    }
    stack.back().node->operands.push_back(std::make_unique<Condition>(rb));
  }
  if (stack.size() != 1) {
    message = L"missing " + stack.back().closer + L" in the filter list";
    return nullptr;
  }
  return std::move(stack.back().node);
}

}  // namespace cadhost_detail
