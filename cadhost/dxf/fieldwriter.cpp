// Fields on the way into a drawing file: FIELD objects with child fields and object references
// made from the host's field codes, and the extension dictionaries that hold them.
#include "fieldwriter.h"

#include "fieldcodes.h"
#include "reading.h"
#include "tagout.h"

namespace cadhost::dxf {

namespace {

// A field as the file holds it: an evaluator, a code whose child fields and object references
// are indexes, the children's own codes (without %< >%) and the referenced handles.
struct FieldPlan {
  std::wstring evaluator;
  std::wstring code;
  std::vector<std::wstring> children;
  std::vector<uint64_t> objects;
};

bool objectReference(const std::wstring& expression, uint64_t& handle) {
  static const std::wstring prefix = L"%<\\_ObjId ";
  if (expression.compare(0, prefix.size(), prefix) != 0) return false;
  handle = 0;
  for (size_t k = prefix.size(); k + 2 < expression.size(); ++k) {
    if (expression[k] < L'0' || expression[k] > L'9') return false;
    handle = handle * 10 + static_cast<uint64_t>(expression[k] - L'0');
  }
  return true;
}

FieldPlan plan(const std::wstring& code, bool top) {
  FieldPlan p;
  if (top) {
    p.evaluator = L"_text";
  } else {
    size_t end = 1;
    while (end < code.size() && code[end] != L' ' && code[end] != L'\\') ++end;
    p.evaluator = code.substr(code.empty() ? 0 : 1, end > 0 ? end - 1 : 0);
  }
  size_t at = 0;
  for (const auto& [begin, end] : acdbTopLevelFieldExpressions(code)) {
    p.code.append(code, at, begin - at);
    const std::wstring expression = code.substr(begin, end - begin);
    uint64_t handle = 0;
    if (objectReference(expression, handle)) {
      p.code += L"%<\\_ObjIdx " + std::to_wstring(p.objects.size()) + L">%";
      p.objects.push_back(handle);
    } else {
      p.code += L"%<\\_FldIdx " + std::to_wstring(p.children.size()) + L">%";
      p.children.push_back(expression.substr(2, expression.size() - 4));
    }
    at = end;
  }
  p.code.append(code, at, std::wstring::npos);
  return p;
}

class FieldMaker {
 public:
  FieldMaker(AcDbDatabase* db, FileRecord& file) : mDb(db), mImp(AcDbCore::imp(db)), mFile(file) {}

  // The bytes of a FIELD record with its children (made as new objects of the database).
  std::string fieldBytes(uint64_t handle, uint64_t owner, const std::wstring& code, bool top, const std::wstring& value,
                         std::vector<AcDbObjectId>& made, int depth) {
    const FieldPlan p = plan(code, top);
    std::vector<uint64_t> childHandles;
    for (const auto& child : p.children) {
      AcDbObjectId id;
      AcDbCore::addToDatabase(mDb, new AcDbUnmodeledObject(L"FIELD"), AcDbObjectId(mImp->findHandle(handle)), 0, id);
      made.push_back(id);
      childHandles.push_back(id.handle().value());
      const std::string bytes = depth < 8 ? fieldBytes(id.handle().value(), handle, child, false, L"", made, depth + 1)
                                          : std::string();
      setOwnBytes(AcDbCore::object(id), bytes);
    }
    std::string bytes;
    TagOut out(bytes, mFile.style, mFile.codec);
    out.string(0, "FIELD");
    out.handle(5, handle);
    out.handle(330, owner);
    out.string(100, "AcDbField");
    out.text(1, p.evaluator);
    chunks(out, p.code, 3, 2);
    out.integer(90, static_cast<int64_t>(childHandles.size()));
    for (uint64_t h : childHandles) out.handle(360, h);
    out.integer(97, static_cast<int64_t>(p.objects.size()));
    for (uint64_t h : p.objects) out.handle(331, h);
    out.integer(91, 63);
    out.integer(92, 0);
    out.integer(94, top ? 41 : 59);
    out.integer(95, 1);  // not yet evaluated
    out.integer(96, 0);
    out.string(300, "");
    out.integer(93, 0);
    out.string(7, "ACFD_FIELD_VALUE");
    out.integer(93, 0);
    out.integer(90, 4);  // a string value
    chunks(out, value, 2, 1);
    out.integer(94, 0);
    out.string(300, "");
    out.string(302, "");
    out.string(304, "ACVALUE_END");
    out.text(301, value);
    out.integer(98, static_cast<int64_t>(mFile.codec.encode(value).size()));
    return bytes;
  }

  // A DICTIONARY record with entries (hard owner).
  std::string dictionaryBytes(uint64_t handle, uint64_t owner, const std::vector<std::pair<std::wstring, uint64_t>>& entries) {
    std::string bytes;
    TagOut out(bytes, mFile.style, mFile.codec);
    out.string(0, "DICTIONARY");
    out.handle(5, handle);
    out.string(102, "{ACAD_REACTORS");
    out.handle(330, owner);
    out.string(102, "}");
    out.handle(330, owner);
    out.string(100, "AcDbDictionary");
    out.integer(280, 1);
    out.integer(281, 1);
    for (const auto& [key, h] : entries) {
      out.text(3, key);
      out.handle(360, h);
    }
    return bytes;
  }

  // A DICTIONARY of the file with entries added (and those naming erased objects left out).
  std::string extendedDictionary(const ObjectRecord& record, const std::vector<std::pair<std::wstring, uint64_t>>& added) {
    RecordTags tags;
    std::string bytes;
    if (!readRecordTags(record, tags)) return std::string(record.bytes());
    TagOut out(bytes, mFile.style, mFile.codec);
    const bool binary = record.image()->style.binary;
    for (size_t i = 0; i < tags.mainEnd; ++i) {
      const Tag& t = tags.tags[i];
      if (t.code == 3 && i + 1 < tags.mainEnd && (tags.tags[i + 1].code == 350 || tags.tags[i + 1].code == 360)) {
        uint64_t h = 0;
        tagHandle(tags.tags[i + 1], binary, h);
        const AcDbStub* stub = mImp->findHandle(h);
        if (stub != nullptr && stub->erased) {
          ++i;
          continue;
        }
      }
      out.copy(t, record.image());
    }
    for (const auto& [key, h] : added) {
      out.text(3, key);
      out.handle(360, h);
    }
    for (size_t i = tags.mainEnd; i < tags.tags.size(); ++i) out.copy(tags.tags[i], record.image());
    return bytes;
  }

  void setOwnBytes(AcDbObject* obj, const std::string& bytes) {
    FileImage* image = FileImage::copy(bytes);
    image->style = mFile.style;
    image->codec = mFile.codec;
    auto* record = new ObjectRecord(image, 0, bytes.size(), ObjectRecord::kOwnBytes);
    image->release();  // the record holds it now
    AcDbCore::setStoredRecord(obj, record);
  }

  AcDbObjectId newDictionary(AcDbObjectId owner) {
    AcDbObjectId id;
    AcDbCore::addToDatabase(mDb, new AcDbUnmodeledObject(L"DICTIONARY"), owner, 0, id);
    return id;
  }

 private:
  // A long text in pieces of 250 bytes: the first ones in code `more`, the last in code `last`.
  void chunks(TagOut& out, const std::wstring& text, int more, int last) {
    const std::string encoded = mFile.codec.encode(text);
    size_t at = 0;
    while (encoded.size() - at > 250) {
      size_t cut = at + 250;
      // Never inside a UTF-8 sequence, a caret pair or a \U+ escape.
      while (cut > at + 1 && (static_cast<unsigned char>(encoded[cut]) & 0xC0) == 0x80) --cut;
      if (cut > at + 1 && encoded[cut - 1] == '^') --cut;
      const size_t escape = encoded.rfind("\\U+", cut - 1);
      if (escape != std::string::npos && escape >= at && escape + 7 > cut && escape > at) cut = escape;
      out.string(more, std::string_view(encoded).substr(at, cut - at));
      at = cut;
    }
    out.string(last, std::string_view(encoded).substr(at));
  }

  AcDbDatabase* mDb;
  AcDbImpDatabase* mImp;
  FileRecord& mFile;
};

// The text an entity shows for a field property.
std::wstring shownText(const AcDbObject* obj) {
  if (const auto* t = AcDbText::cast(obj)) return t->textStringConst();
  if (const auto* m = AcDbMText::cast(obj)) return m->contentsConst();
  if (const auto* d = AcDbDimension::cast(obj)) return d->dimensionTextConst();
  return L"";
}

// The children a FIELD record of the file lists.
std::vector<uint64_t> recordChildren(const ObjectRecord& record) {
  std::vector<uint64_t> children;
  RecordTags tags;
  if (!readRecordTags(record, tags)) return children;
  const bool binary = record.image()->style.binary;
  bool counting = false;
  for (const auto& m : tags.main) {
    const Tag& t = tags.tags[m.index];
    if (t.code == 90 && !counting) counting = true;
    else if (counting && t.code == 360) {
      uint64_t h = 0;
      if (tagHandle(t, binary, h)) children.push_back(h);
    } else if (counting) {
      break;
    }
  }
  return children;
}

}  // namespace

bool prepareFields(AcDbDatabase* db, FileRecord& file, const std::vector<AcDbStub*>& candidates,
                   const std::function<void(std::wstring)>& warn) {
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  file.replaced.clear();
  FieldMaker maker(db, file);
  bool warned = false, erased = false;
  std::vector<AcDbStub*> entities;
  for (AcDbStub* stub : candidates)
    if (stub->loaded() != nullptr && !stub->erased && AcDbEntity::cast(stub->loaded()) != nullptr) entities.push_back(stub);
  struct Pending {
    AcDbStub* field;
    std::wstring code;
    const ObjectRecord* loaded;  // the file's record of a field that was read
  };
  for (AcDbStub* entityStub : entities) {
    AcDbObject* entity = entityStub->object();
    AcDbFieldTable* table = AcDbCore::fields(entity);
    std::vector<std::pair<std::wstring, uint64_t>> slots;  // property and field, as the dictionary holds them
    std::vector<Pending> pending;
    bool anyNew = false;
    for (auto& slot : table->slots) {
      AcDbField* field = AcDbCore::objectAs<AcDbField>(slot.id);
      if (field == nullptr || slot.id.isErased()) continue;
      slots.emplace_back(slot.property, slot.id.handle().value());
      const auto* record = objectRecord(field);
      // A field read from the file; a copy made of one carries the same record but is new, and is
      // written as a field of its own.
      const bool loaded = record != nullptr && !hasOwnBytes(*record) && record->image() != nullptr && !field->isNewObject();
      const std::wstring code = field->getFieldCode(AcDbField::kAddMarkers);
      if (loaded) {
        const auto* fieldRecord = dynamic_cast<const FieldRecord*>(record);
        if (fieldRecord != nullptr && fieldRecord->codeAtLoad == code) continue;
      } else {
        anyNew = true;
      }
      pending.push_back({slot.id.stub(), code, loaded ? record : nullptr});
    }
    if (pending.empty()) continue;
    if (file.r12() || !file.hasObjects) {
      if (!warned) warn(L"fields are not saved: the drawing's version has no place for them");
      warned = true;
      continue;
    }
    // The dictionary of the entity's fields: its own from the file, or one made for it.
    AcDbObjectId fieldDictionary;
    const ObjectRecord* fileDictionary = nullptr;
    if (anyNew) {
      if (const auto it = file.fieldDictionaries.find(entityStub); it != file.fieldDictionaries.end() && !it->second.isErased()) {
        fieldDictionary = it->second;
      } else {
        const auto* entityRecord = objectRecord(entity);
        RecordTags tags;
        uint64_t xdictionary = 0;
        if (entityRecord != nullptr && !entity->isNewObject() && entityRecord->image() != nullptr &&
            !hasOwnBytes(*entityRecord) && readRecordTags(*entityRecord, tags))
          xdictionary = tags.xdictionary;
        AcDbStub* xdict = xdictionary ? imp->findHandle(xdictionary) : nullptr;
        const auto* xdictRecord = xdict && xdict->object() && !xdict->erased ? objectRecord(xdict->object()) : nullptr;
        if (xdictRecord != nullptr) {
          for (const auto& [key, h] : dictionaryEntries(file, *xdictRecord)) {
            AcDbStub* d = key == "ACAD_FIELD" ? imp->findHandle(h) : nullptr;
            if (d != nullptr && d->object() != nullptr && !d->erased && objectRecord(d->object()) != nullptr) {
              fileDictionary = objectRecord(d->object());
              fieldDictionary = AcDbObjectId(d);
              break;
            }
          }
          if (fieldDictionary.isNull()) {
            fieldDictionary = maker.newDictionary(AcDbObjectId(xdict));
            file.fieldDictionaries[entityStub] = fieldDictionary;
          }
        } else {
          AcDbObjectId xdictId = file.addedXdicts[entityStub];
          if (xdictId.isNull()) {
            xdictId = maker.newDictionary(AcDbObjectId(entityStub));
            file.addedXdicts[entityStub] = xdictId;
          }
          fieldDictionary = maker.newDictionary(xdictId);
          file.fieldDictionaries[entityStub] = fieldDictionary;
          maker.setOwnBytes(AcDbCore::object(xdictId),
                            maker.dictionaryBytes(xdictId.handle().value(), entityStub->handle.value(),
                                                  {{L"ACAD_FIELD", fieldDictionary.handle().value()}}));
        }
      }
      // An extension dictionary of the file that lacked ACAD_FIELD gains it.
      const AcDbObject* dictionaryObject = AcDbCore::object(fieldDictionary);
      const AcDbStub* xdict = dictionaryObject ? dictionaryObject->ownerId().stub() : nullptr;
      const auto* xdictRecord = xdict && xdict->object() ? objectRecord(xdict->object()) : nullptr;
      if (fileDictionary == nullptr && xdictRecord != nullptr && !hasOwnBytes(*xdictRecord))
        file.replaced[xdict] = maker.extendedDictionary(*xdictRecord, {{L"ACAD_FIELD", fieldDictionary.handle().value()}});
    }
    // The fields themselves.
    for (const Pending& p : pending) {
      auto& generated = file.generatedFields[p.field];
      uint64_t owner = fieldDictionary.isNull() ? entityStub->handle.value() : fieldDictionary.handle().value();
      if (p.loaded != nullptr) {
        RecordTags tags;
        if (readRecordTags(*p.loaded, tags) && tags.owner != 0) owner = tags.owner;
      }
      if (generated.code != p.code || generated.bytes.empty()) {
        for (AcDbObjectId child : generated.children)
          if (AcDbObject* c = AcDbCore::object(child)) AcDbCore::setErased(c, erased = true);
        generated.children.clear();
        if (p.loaded != nullptr) {
          // The file's child fields give way to the new ones.
          for (uint64_t h : recordChildren(*p.loaded))
            if (AcDbStub* child = imp->findHandle(h); child && child->object()) AcDbCore::setErased(child->object(), erased = true);
        }
        generated.code = p.code;
        generated.bytes = maker.fieldBytes(p.field->handle.value(), owner, p.code, true, shownText(entity),
                                           generated.children, 0);
      }
      if (p.loaded != nullptr) file.replaced[p.field] = generated.bytes;
      else maker.setOwnBytes(p.field->object(), generated.bytes);
    }
    if (!anyNew) continue;
    if (fileDictionary != nullptr && !hasOwnBytes(*fileDictionary)) {
      // The file's dictionary keeps its entries and gains the new fields'.
      std::vector<std::pair<std::wstring, uint64_t>> added;
      const auto existing = dictionaryEntries(file, *fileDictionary);
      for (const auto& [property, h] : slots) {
        bool listed = false;
        for (const auto& entry : existing) listed = listed || entry.second == h;
        if (!listed) added.emplace_back(property, h);
      }
      if (!added.empty()) file.replaced[fieldDictionary.stub()] = maker.extendedDictionary(*fileDictionary, added);
    } else {
      AcDbObject* dictionaryObject = AcDbCore::object(fieldDictionary);
      if (dictionaryObject != nullptr)
        maker.setOwnBytes(dictionaryObject, maker.dictionaryBytes(fieldDictionary.handle().value(),
                                                                  dictionaryObject->ownerId().handle().value(), slots));
    }
  }
  return erased;
}

}  // namespace cadhost::dxf
