// Symbol tables and their records: blocks, layers, text styles and dimension styles.
#include <algorithm>
#include <cwctype>

#include "../sdk/acutads.h"
#include "coreaccess.h"

ACRX_DEFINE_ABSTRACT(AcDbSymbolTableRecord, AcDbObject, L"")
ACRX_DEFINE_ABSTRACT(AcDbSymbolTable, AcDbObject, L"")
ACRX_DEFINE_COPYABLE(AcDbBlockTableRecord, AcDbSymbolTableRecord, L"BLOCK_RECORD")
ACRX_DEFINE_COPYABLE(AcDbLayerTableRecord, AcDbSymbolTableRecord, L"LAYER")
ACRX_DEFINE_COPYABLE(AcDbTextStyleTableRecord, AcDbSymbolTableRecord, L"STYLE")
ACRX_DEFINE_COPYABLE(AcDbDimStyleTableRecord, AcDbSymbolTableRecord, L"DIMSTYLE")
ACRX_DEFINE_ABSTRACT(AcDbBlockTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_ABSTRACT(AcDbLayerTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_ABSTRACT(AcDbTextStyleTable, AcDbSymbolTable, L"TABLE")
ACRX_DEFINE_ABSTRACT(AcDbDimStyleTable, AcDbSymbolTable, L"TABLE")

// ---- Records ----------------------------------------------------------------------------

namespace {
constexpr size_t kMaxNameLength = 255;

bool isValidSymbolName(const ACHAR* name) {
  if (name == nullptr || *name == 0) return false;
  const std::wstring s = name;
  if (s.size() > kMaxNameLength) return false;
  if (std::all_of(s.begin(), s.end(), [](wchar_t c) { return std::iswspace(c) != 0; })) return false;
  // Names of anonymous blocks begin with '*' and of external references hold '|'; the other
  // characters the host forbids in names are refused.
  for (size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (c < 0x20) return false;
    if (c == L'*' && i == 0) continue;
    if (std::wstring_view(L"<>/\\\":;?*,=`").find(c) != std::wstring_view::npos) return false;
  }
  return true;
}
}  // namespace

Acad::ErrorStatus AcDbSymbolTableRecord::getName(ACHAR*& pName) const {
  return acutNewString(readProperty(mName, __func__).c_str(), pName);
}
Acad::ErrorStatus AcDbSymbolTableRecord::getName(const ACHAR*& pName) const {
  pName = readProperty(mName, __func__).c_str();
  return Acad::eOk;
}
Acad::ErrorStatus AcDbSymbolTableRecord::getName(AcString& name) const {
  name = readProperty(mName, __func__);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableRecord::setName(const ACHAR* pName) {
  if (!isValidSymbolName(pName)) return Acad::eInvalidInput;
  auto* table = AcDbCore::objectAs<AcDbSymbolTable>(ownerId());
  if (table != nullptr && isDatabaseResident()) {
    const AcDbObjectId other = AcDbCore::findRecord(table, pName);
    if (!other.isNull() && other != objectId()) return Acad::eDuplicateKey;
    if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
    AcDbCore::renameRecord(table, this, pName);
    return Acad::eOk;
  }
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mName = pName;
  return Acad::eOk;
}

void AcDbCore::renameRecord(AcDbSymbolTable* table, AcDbSymbolTableRecord* record, const ACHAR* name) {
  const std::wstring oldKey = acdbUpperName(record->mName.c_str());
  const auto it = table->mByName.find(oldKey);
  if (it != table->mByName.end() && it->second == record->objectId()) table->mByName.erase(it);
  record->mName = name;
  table->mByName[acdbUpperName(name)] = record->objectId();
}

bool AcDbSymbolTableRecord::isDependent() const { return mName.find(L'|') != std::wstring::npos; }

bool AcDbCore::isProtected(const AcDbObject* obj) {
  if (obj->isKindOf(AcDbSymbolTable::desc())) return true;
  const AcDbDatabase* db = obj->database();
  const AcDbObjectId id = obj->objectId();
  if (db == nullptr) return false;
  if (id == db->clayer() || id == db->textstyle() || id == db->dimstyle()) return true;
  if (const auto* layer = AcDbLayerTableRecord::cast(obj)) return acdbUpperName(name(layer)) == L"0";
  if (const auto* block = AcDbBlockTableRecord::cast(obj)) return isLayout(block);
  return false;
}

bool AcDbCore::nameTakenByAnother(const AcDbObject* obj) {
  const auto* record = AcDbSymbolTableRecord::cast(obj);
  const auto* table = record ? AcDbCore::objectAs<AcDbSymbolTable>(record->ownerId()) : nullptr;
  if (table == nullptr) return false;
  const AcDbObjectId holder = findRecord(table, name(record));
  return !holder.isNull() && holder != record->objectId();
}

// When an erased record comes back, the name index names it again.
void AcDbCore::reindexRecord(AcDbObject* obj) {
  auto* record = AcDbSymbolTableRecord::cast(obj);
  auto* table = record ? AcDbCore::objectAs<AcDbSymbolTable>(record->ownerId()) : nullptr;
  if (table != nullptr) table->mByName[acdbUpperName(name(record))] = record->objectId();
}

// ---- Tables -----------------------------------------------------------------------------

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* entryName, AcDbObjectId& recordId, bool getErasedRecord) const {
  recordId.setNull();
  if (entryName == nullptr) return Acad::eInvalidInput;
  if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;
  recordId = AcDbCore::findRecord(this, entryName, getErasedRecord);
  return recordId.isNull() ? Acad::eKeyNotFound : Acad::eOk;
}

AcDbObjectId AcDbCore::findRecord(const AcDbSymbolTable* table, const ACHAR* name, bool erasedToo) {
  if (name == nullptr) return AcDbObjectId();
  const auto it = table->mByName.find(acdbUpperName(name));
  if (it == table->mByName.end() || (it->second.isErased() && !erasedToo)) return AcDbObjectId();
  return it->second;
}

Acad::ErrorStatus AcDbSymbolTable::getAt(const ACHAR* entryName, AcDbSymbolTableRecord*& pRec,
                                         AcDb::OpenMode openMode, bool openErasedRec) const {
  pRec = nullptr;
  AcDbObjectId id;
  const Acad::ErrorStatus es = getAt(entryName, id, openErasedRec);
  if (es != Acad::eOk) return es;
  return acdbOpenObject(pRec, id, openMode, openErasedRec);
}

bool AcDbSymbolTable::has(const ACHAR* name) const {
  AcDbObjectId id;
  return getAt(name, id) == Acad::eOk;
}

bool AcDbSymbolTable::has(AcDbObjectId id) const {
  return assertReadEnabled(__func__) && !id.isErased() && std::find(mRecords.begin(), mRecords.end(), id) != mRecords.end();
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbSymbolTableRecord* pRecord) {
  AcDbObjectId id;
  return add(id, pRecord);
}

Acad::ErrorStatus AcDbSymbolTable::add(AcDbObjectId& recordId, AcDbSymbolTableRecord* pRecord) {
  recordId.setNull();
  if (pRecord == nullptr) return Acad::eNullObjectPointer;
  if (pRecord->isDatabaseResident()) return Acad::eAlreadyInDb;
  if (!acceptsRecord(pRecord)) return Acad::eWrongObjectType;
  const ACHAR* name = nullptr;
  pRecord->getName(name);
  if (!isValidSymbolName(name)) return Acad::eInvalidInput;
  if (has(name)) return Acad::eDuplicateKey;
  if (!isDatabaseResident()) return Acad::eNotInDatabase;
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  AcDbObjectId id;
  const Acad::ErrorStatus es = AcDbCore::addToDatabase(database(), pRecord, objectId(), 0, id);
  if (es != Acad::eOk) return es;
  AcDbCore::addRecordToTable(this, pRecord);
  assertWriteEnabled(__func__);
  AcDbCore::beginWrite(pRecord);
  recordId = id;
  return Acad::eOk;
}

int AcDbSymbolTable::numRecords(bool includeErased) const {
  if (!assertReadEnabled(__func__)) return 0;
  if (includeErased) return static_cast<int>(mRecords.size());
  return static_cast<int>(std::count_if(mRecords.begin(), mRecords.end(), [](AcDbObjectId id) { return !id.isErased(); }));
}

Acad::ErrorStatus AcDbSymbolTable::newIterator(AcDbSymbolTableIterator*& pIterator, bool atBeginning,
                                               bool skipDeleted) const {
  pIterator = nullptr;
  if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;
  pIterator = new AcDbSymbolTableIterator(this);
  pIterator->start(atBeginning, skipDeleted);
  return Acad::eOk;
}

// ---- Iterators --------------------------------------------------------------------------

void AcDbSymbolTableIterator::start(bool atBeginning, bool skipDeleted) {
  mRecords = mpTable->mRecords;
  mIndex = atBeginning ? 0 : static_cast<long long>(mRecords.size()) - 1;
  if (skipDeleted) skipErased(atBeginning);
}

bool AcDbSymbolTableIterator::done() const {
  return mIndex < 0 || mIndex >= static_cast<long long>(mRecords.size());
}

void AcDbSymbolTableIterator::step(bool forward, bool skipDeleted) {
  mIndex += forward ? 1 : -1;
  if (skipDeleted) skipErased(forward);
}

void AcDbSymbolTableIterator::skipErased(bool forward) {
  while (!done() && mRecords[static_cast<size_t>(mIndex)].isErased()) mIndex += forward ? 1 : -1;
}

Acad::ErrorStatus AcDbSymbolTableIterator::getRecordId(AcDbObjectId& id) const {
  id.setNull();
  if (done()) return Acad::eInvalidIndex;
  id = mRecords[static_cast<size_t>(mIndex)];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbSymbolTableIterator::getRecord(AcDbSymbolTableRecord*& pRecord, AcDb::OpenMode openMode,
                                                     bool openErasedRec) const {
  pRecord = nullptr;
  AcDbObjectId id;
  const Acad::ErrorStatus es = getRecordId(id);
  if (es != Acad::eOk) return es;
  return acdbOpenObject(pRecord, id, openMode, openErasedRec);
}

Acad::ErrorStatus AcDbSymbolTableIterator::seek(AcDbObjectId id) {
  const auto it = std::find(mRecords.begin(), mRecords.end(), id);
  if (it == mRecords.end()) return Acad::eKeyNotFound;
  mIndex = it - mRecords.begin();
  return Acad::eOk;
}

#define ACDB_DEFINE_SYMBOL_TABLE(TABLE, RECORD, ITERATOR)                                             \
  Acad::ErrorStatus ITERATOR::getRecord(RECORD*& pRecord, AcDb::OpenMode openMode, bool openErasedRec) const { \
    pRecord = nullptr;                                                                               \
    AcDbObjectId id;                                                                                 \
    const Acad::ErrorStatus es = getRecordId(id);                                                    \
    if (es != Acad::eOk) return es;                                                                  \
    return acdbOpenObject(pRecord, id, openMode, openErasedRec);                                     \
  }                                                                                                  \
  Acad::ErrorStatus TABLE::getAt(const ACHAR* entryName, RECORD*& pRec, AcDb::OpenMode openMode,     \
                                 bool openErasedRec) const {                                         \
    pRec = nullptr;                                                                                  \
    AcDbObjectId id;                                                                                 \
    const Acad::ErrorStatus es = AcDbSymbolTable::getAt(entryName, id, openErasedRec);               \
    if (es != Acad::eOk) return es;                                                                  \
    return acdbOpenObject(pRec, id, openMode, openErasedRec);                                        \
  }                                                                                                  \
  Acad::ErrorStatus TABLE::newIterator(ITERATOR*& pIterator, bool atBeginning, bool skipDeleted) const { \
    pIterator = nullptr;                                                                             \
    if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;                                  \
    pIterator = new ITERATOR(this);                                                                  \
    pIterator->start(atBeginning, skipDeleted);                                                      \
    return Acad::eOk;                                                                                \
  }                                                                                                  \
  bool TABLE::acceptsRecord(const AcDbSymbolTableRecord* pRecord) const {                            \
    return pRecord->isKindOf(RECORD::desc());                                                        \
  }

ACDB_DEFINE_SYMBOL_TABLE(AcDbBlockTable, AcDbBlockTableRecord, AcDbBlockTableIterator)
ACDB_DEFINE_SYMBOL_TABLE(AcDbLayerTable, AcDbLayerTableRecord, AcDbLayerTableIterator)
ACDB_DEFINE_SYMBOL_TABLE(AcDbTextStyleTable, AcDbTextStyleTableRecord, AcDbTextStyleTableIterator)
ACDB_DEFINE_SYMBOL_TABLE(AcDbDimStyleTable, AcDbDimStyleTableRecord, AcDbDimStyleTableIterator)

// ---- Blocks -----------------------------------------------------------------------------

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbEntity* pEntity) {
  AcDbObjectId id;
  return appendAcDbEntity(id, pEntity);
}

Acad::ErrorStatus AcDbBlockTableRecord::appendAcDbEntity(AcDbObjectId& pOutputId, AcDbEntity* pEntity) {
  pOutputId.setNull();
  if (pEntity == nullptr) return Acad::eNullEntityPointer;
  if (pEntity->isDatabaseResident()) return Acad::eAlreadyInDb;
  if (!isDatabaseResident()) return Acad::eNotInDatabase;
  if (!isWriteEnabled()) return Acad::eNotOpenForWrite;
  AcDbDatabase* db = database();
  // An entity from another drawing would carry ids that mean nothing here (and that dangle
  // once the other drawing is closed): its layer, text or dimension style, or block.
  auto foreign = [db](AcDbObjectId id) { return !id.isNull() && id.database() != db; };
  const AcDbObjectId layer = pEntity->layerId();
  if (foreign(layer)) return Acad::eWrongDatabase;
  if (const auto* t = AcDbText::cast(pEntity); t && foreign(t->textStyle())) return Acad::eWrongDatabase;
  if (const auto* m = AcDbMText::cast(pEntity); m && foreign(m->textStyle())) return Acad::eWrongDatabase;
  if (const auto* d = AcDbDimension::cast(pEntity); d && (foreign(d->dimensionStyle()) || foreign(d->dimtxsty())))
    return Acad::eWrongDatabase;
  if (const auto* r = AcDbBlockReference::cast(pEntity); r && foreign(r->blockTableRecord())) return Acad::eWrongDatabase;
  if (layer.isNull()) AcDbCore::setLayerId(pEntity, db->clayer());
  if (auto* text = AcDbText::cast(pEntity); text && text->textStyle().isNull()) AcDbCore::setTextStyleRaw(text, db->textstyle());
  if (auto* mtext = AcDbMText::cast(pEntity); mtext && mtext->textStyle().isNull()) AcDbCore::setMTextStyleRaw(mtext, db->textstyle());
  if (auto* dim = AcDbDimension::cast(pEntity); dim && dim->dimensionStyle().isNull()) AcDbCore::setDimStyleRaw(dim, db->dimstyle());
  AcDbObjectId id;
  const Acad::ErrorStatus es = AcDbCore::addToDatabase(db, pEntity, objectId(), 0, id);
  if (es != Acad::eOk) return es;
  AcDbCore::addEntityToBlock(this, id);
  AcDbCore::beginWrite(pEntity);
  AcDbCore::markChanged(pEntity);
  assertWriteEnabled(__func__);
  pOutputId = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::newIterator(AcDbBlockTableRecordIterator*& pIterator, bool atBeginning,
                                                    bool skipDeleted) const {
  pIterator = nullptr;
  if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;
  pIterator = new AcDbBlockTableRecordIterator(this);
  pIterator->start(atBeginning, skipDeleted);
  return Acad::eOk;
}

bool AcDbBlockTableRecord::isLayout() const { return assertReadEnabled(__func__) && AcDbCore::isLayout(this); }

bool AcDbCore::isLayout(const AcDbBlockTableRecord* block) {
  const std::wstring upper = acdbUpperName(name(block));
  return upper == L"*MODEL_SPACE" || upper.rfind(L"*PAPER_SPACE", 0) == 0;
}

bool AcDbBlockTableRecord::isAnonymous() const {
  if (!assertReadEnabled(__func__)) return false;
  const ACHAR* name = AcDbCore::name(this);
  return name[0] == L'*' && !AcDbCore::isLayout(this);
}

Acad::ErrorStatus AcDbBlockTableRecord::setLayoutId(AcDbObjectId id) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mLayoutId = id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::setLayoutName(const ACHAR* name) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mLayoutName = name ? name : L"";
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecord::setOrigin(const AcGePoint3d& p) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mOrigin = p;
  return Acad::eOk;
}

int AcDbBlockTableRecord::entityCount(bool includeErased) const {
  if (!assertReadEnabled(__func__)) return 0;
  if (includeErased) return static_cast<int>(mEntities.size());
  return static_cast<int>(std::count_if(mEntities.begin(), mEntities.end(), [](AcDbObjectId id) { return !id.isErased(); }));
}

void AcDbBlockTableRecordIterator::start(bool atBeginning, bool skipDeleted) {
  mCount = mpRecord->mEntities.size();
  mIndex = atBeginning ? 0 : static_cast<long long>(mCount) - 1;
  if (skipDeleted) skipErased(atBeginning);
}

bool AcDbBlockTableRecordIterator::done() const { return mIndex < 0 || mIndex >= static_cast<long long>(mCount); }

void AcDbBlockTableRecordIterator::step(bool forward, bool skipDeleted) {
  mIndex += forward ? 1 : -1;
  if (skipDeleted) skipErased(forward);
}

void AcDbBlockTableRecordIterator::skipErased(bool forward) {
  while (!done() && mpRecord->mEntities[static_cast<size_t>(mIndex)].isErased()) mIndex += forward ? 1 : -1;
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntityId(AcDbObjectId& entityId) const {
  entityId.setNull();
  if (done()) return Acad::eInvalidIndex;
  entityId = mpRecord->mEntities[static_cast<size_t>(mIndex)];
  return Acad::eOk;
}

Acad::ErrorStatus AcDbBlockTableRecordIterator::getEntity(AcDbEntity*& pEntity, AcDb::OpenMode openMode,
                                                          bool openErasedEntity) const {
  pEntity = nullptr;
  AcDbObjectId id;
  const Acad::ErrorStatus es = getEntityId(id);
  if (es != Acad::eOk) return es;
  return acdbOpenObject(pEntity, id, openMode, openErasedEntity);
}

// ---- Layers, text styles, dimension styles ----------------------------------------------

#define ACDB_SETTER(CLASS, NAME, TYPE, MEMBER)             \
  Acad::ErrorStatus CLASS::NAME(TYPE value) {              \
    if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite; \
    MEMBER = value;                                        \
    return Acad::eOk;                                      \
  }

ACDB_SETTER(AcDbLayerTableRecord, setIsLocked, bool, mLocked)
ACDB_SETTER(AcDbLayerTableRecord, setIsFrozen, bool, mFrozen)
ACDB_SETTER(AcDbLayerTableRecord, setIsOff, bool, mOff)
ACDB_SETTER(AcDbLayerTableRecord, setColorIndex, Adesk::UInt16, mColorIndex)
ACDB_SETTER(AcDbTextStyleTableRecord, setObliquingAngle, double, mOblique)
ACDB_SETTER(AcDbTextStyleTableRecord, setIsShapeFile, bool, mShapeFile)
ACDB_SETTER(AcDbTextStyleTableRecord, setIsVertical, bool, mVertical)
ACDB_SETTER(AcDbDimStyleTableRecord, setDimtxsty, AcDbObjectId, mDimtxsty)

namespace {
bool isNonNegative(double v) { return v >= 0 && std::isfinite(v); }
bool isPositive(double v) { return v > 0 && std::isfinite(v); }
}  // namespace

Acad::ErrorStatus AcDbTextStyleTableRecord::setFileName(const ACHAR* fontFile) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mFont = fontFile ? fontFile : L"";
  return Acad::eOk;
}
Acad::ErrorStatus AcDbTextStyleTableRecord::setBigFontFileName(const ACHAR* fontFile) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mBigFont = fontFile ? fontFile : L"";
  return Acad::eOk;
}
Acad::ErrorStatus AcDbTextStyleTableRecord::setTextSize(double size) {
  if (!isNonNegative(size)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mTextSize = size;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbTextStyleTableRecord::setXScale(double factor) {
  if (!isPositive(factor)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mXScale = factor;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbTextStyleTableRecord::setPriorSize(double size) {
  if (!isNonNegative(size)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mPriorSize = size;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbDimStyleTableRecord::setDimtxt(double h) {
  if (!isPositive(h)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDimtxt = h;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbDimStyleTableRecord::setDimscale(double s) {
  if (!isNonNegative(s)) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDimscale = s;
  return Acad::eOk;
}
Acad::ErrorStatus AcDbDimStyleTableRecord::setDimdec(int d) {
  if (d < 0 || d > 8) return Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mDimdec = d;
  return Acad::eOk;
}
