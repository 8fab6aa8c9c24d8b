// Fields in drawing files: finding an entity's fields through its extension dictionary, and
// putting a FIELD's child fields and object references inline in the host's form.
#include <algorithm>
#include <cwchar>

#include "fieldcodes.h"
#include "reading.h"

namespace cadhost::dxf {

namespace {

constexpr size_t kMaxFieldDepth = 16;

struct FieldParts {
  std::string evaluator;
  std::string code;
  std::vector<uint64_t> children;
  std::vector<uint64_t> objects;
};

bool readFieldParts(const ObjectRecord& record, FieldParts& parts) {
  RecordTags tags;
  if (!readRecordTags(record, tags)) return false;
  const bool binary = record.image()->style.binary;
  enum { Code, Children, Objects, Rest } state = Code;
  int64_t expected = 0;
  for (const auto& m : tags.main) {
    const Tag& t = tags.tags[m.index];
    switch (state) {
      case Code:
        if (t.code == 1 && parts.evaluator.empty()) parts.evaluator = std::string(t.value);
        else if (t.code == 2 || t.code == 3) parts.code.append(t.value);
        else if (t.code == 90) { tagInt(t, binary, expected); state = Children; }
        else if (t.code == 97) { tagInt(t, binary, expected); state = Objects; }
        break;
      case Children:
        if (t.code == 360 && static_cast<int64_t>(parts.children.size()) < expected) {
          uint64_t h = 0;
          tagHandle(t, binary, h);
          parts.children.push_back(h);
        } else if (t.code == 97) {
          tagInt(t, binary, expected);
          state = Objects;
        }
        break;
      case Objects:
        if (t.code == 331 && static_cast<int64_t>(parts.objects.size()) < expected) {
          uint64_t h = 0;
          tagHandle(t, binary, h);
          parts.objects.push_back(h);
        } else if (t.code != 331) {
          state = Rest;
        }
        break;
      case Rest:
        break;
    }
  }
  return true;
}

// Replaces each %<\NAME n>% in code by what make(n) gives.
template <class Make>
std::wstring replaceIndexed(const std::wstring& code, const wchar_t* name, Make make) {
  const std::wstring open = std::wstring(L"%<\\") + name + L" ";
  std::wstring out;
  size_t at = 0;
  for (;;) {
    const size_t p = code.find(open, at);
    if (p == std::wstring::npos) break;
    size_t q = p + open.size();
    size_t index = 0;
    const size_t digits = q;
    while (q < code.size() && code[q] >= L'0' && code[q] <= L'9' && q - digits < 9) index = index * 10 + (code[q++] - L'0');
    if (q == digits || code.compare(q, 2, L">%") != 0) {
      out.append(code, at, p + 2 - at);
      at = p + 2;
      continue;
    }
    out.append(code, at, p - at);
    out += make(index, code.substr(p, q + 2 - p));
    at = q + 2;
  }
  out.append(code, at, std::wstring::npos);
  return out;
}

// One expansion of a field's code: the fields on the way down (a field that names itself, or
// one above it, as a child would never end) and what is left of the characters a code may grow
// to (children named again and again multiply). Where either stops the expansion, the child
// stays as stored and the damage is recorded.
struct Expansion {
  std::vector<const AcDbObject*> path;
  size_t budget = 1 << 20;
  std::vector<std::pair<const AcDbObject*, size_t>> cuts;  // a field and the index of its child
};

std::wstring expand(AcDbImpDatabase* imp, const AcDbObject* field, Expansion& expansion, bool top) {
  const auto* record = objectRecord(field);
  const auto* asField = AcDbField::cast(field);
  FieldParts parts;
  if (record == nullptr || record->image() == nullptr || !readFieldParts(*record, parts)) {
    return asField ? asField->getFieldCode(AcDbField::kAddMarkers) : L"";
  }
  const TextCodec& codec = record->image()->codec;
  std::wstring code = codec.decode(parts.code);
  expansion.path.push_back(field);
  code = replaceIndexed(code, L"_FldIdx", [&](size_t i, const std::wstring& original) -> std::wstring {
    if (i >= parts.children.size()) return original;
    const AcDbStub* stub = imp->findHandle(parts.children[i]);
    if (stub == nullptr || AcDbField::cast(stub->object()) == nullptr) return original;
    const bool loops = std::find(expansion.path.begin(), expansion.path.end(), stub->object()) != expansion.path.end();
    if (loops || expansion.path.size() >= kMaxFieldDepth || expansion.budget == 0) {
      expansion.cuts.emplace_back(field, i);
      return original;
    }
    std::wstring child = expand(imp, stub->object(), expansion, false);
    if (child.size() + 4 > expansion.budget) {
      expansion.budget = 0;
      expansion.cuts.emplace_back(field, i);
      return original;
    }
    expansion.budget -= child.size() + 4;
    return L"%<" + child + L">%";
  });
  expansion.path.pop_back();
  code = replaceIndexed(code, L"_ObjIdx", [&](size_t i, const std::wstring& original) -> std::wstring {
    if (i >= parts.objects.size()) return original;
    return L"%<\\_ObjId " + std::to_wstring(parts.objects[i]) + L">%";
  });
  if (top && parts.evaluator != "_text") code = L"%<" + code + L">%";
  return code;
}

bool readTags(TagReader& reader, bool binary, RecordTags& tags) {
  while (appendTag(reader, tags.tags)) {
  }
  if (tags.tags.empty() || tags.tags[0].code != 0) return false;
  tags.dataEnd = reader.dataEnd();
  analyzeRecord(tags, binary);
  return true;
}

}  // namespace

bool readRecordTags(const ObjectRecord& record, RecordTags& tags) {
  return readRecordTags(record.image(), record.begin(), record.end(), tags);
}

bool readRecordTags(const FileImage* image, uint64_t begin, uint64_t end, RecordTags& tags) {
  tags.tags.clear();
  if (image == nullptr || end > image->size()) return false;
  TagReader reader(image->data(), static_cast<size_t>(end), image->style, static_cast<size_t>(begin), image->size());
  return readTags(reader, image->style.binary, tags);
}

bool readRecordTags(std::string_view bytes, const FileStyle& style, RecordTags& tags) {
  tags.tags.clear();
  TagReader reader(bytes.data(), bytes.size(), style, 0);
  return readTags(reader, style.binary, tags);
}

std::vector<std::pair<std::string, uint64_t>> dictionaryEntries(const FileRecord&, const ObjectRecord& record) {
  std::vector<std::pair<std::string, uint64_t>> entries;
  RecordTags tags;
  if (!readRecordTags(record, tags)) return entries;
  const bool binary = record.image()->style.binary;
  const Tag* key = nullptr;
  for (const auto& m : tags.main) {
    const Tag& t = tags.tags[m.index];
    if (t.code == 3) {
      key = &t;
    } else if ((t.code == 350 || t.code == 360) && key != nullptr) {
      uint64_t h = 0;
      if (tagHandle(t, binary, h)) entries.emplace_back(std::string(key->value), h);
      key = nullptr;
    }
  }
  return entries;
}

void attachFields(AcDbDatabase* db, FileRecord& file,
                  const std::vector<std::pair<AcDbStub*, uint64_t>>& extensionDictionaries,
                  const std::function<void(const AcDbStub*)>& damaged) {
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  for (const auto& [entityStub, dictionaryHandle] : extensionDictionaries) {
    const AcDbStub* dictionary = imp->findHandle(dictionaryHandle);
    const auto* dictionaryRecord = dictionary ? objectRecord(dictionary->object()) : nullptr;
    if (dictionaryRecord == nullptr || entityStub->object() == nullptr) continue;
    for (const auto& [key, fieldsHandle] : dictionaryEntries(file, *dictionaryRecord)) {
      if (key != "ACAD_FIELD") continue;
      const AcDbStub* fields = imp->findHandle(fieldsHandle);
      const auto* fieldsRecord = fields ? objectRecord(fields->object()) : nullptr;
      if (fieldsRecord == nullptr) continue;
      for (const auto& [property, fieldHandle] : dictionaryEntries(file, *fieldsRecord)) {
        AcDbStub* fieldStub = imp->findHandle(fieldHandle);
        auto* field = fieldStub ? AcDbField::cast(fieldStub->object()) : nullptr;
        if (field == nullptr) continue;
        Expansion expansion;
        const std::wstring code = expand(imp, field, expansion, true);
        if (!expansion.cuts.empty()) {
          damaged(fieldStub);
          for (const auto& [cutField, index] : expansion.cuts) {
            std::vector<size_t>& cut = file.cutChildren[cutField->objectId().stub()];
            if (std::find(cut.begin(), cut.end(), index) == cut.end()) cut.push_back(index);
            if (ObjectRecord* record = objectRecord(cutField)) record->set(ObjectRecord::kRepaired);
          }
        }
        AcDbCore::setFieldCodeRaw(field, code.c_str());
        // What the field holds (a code cannot hold a zero character) is what a save compares with.
        if (auto* record = dynamic_cast<FieldRecord*>(objectRecord(field)))
          record->codeAtLoad = field->getFieldCode(AcDbField::kAddMarkers);
        const std::wstring name = file.codec.decode(property);
        AcDbCore::attachField(entityStub->object(), name.c_str(), AcDbObjectId(fieldStub));
      }
    }
  }
}

}  // namespace cadhost::dxf
