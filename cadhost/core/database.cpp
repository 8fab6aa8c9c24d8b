// The drawing database: object storage with handles, the default drawing, header settings,
// summary information and the host application services.
#include "../sdk/acutads.h"
#include "../sdk/acdocman.h"
#include "coreaccess.h"
#include "hostservices.h"
#include "selectionstate.h"
#include "undo.h"

ACRX_DEFINE_ABSTRACT(AcDbDatabase, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcDbHostApplicationServices, AcRxObject, L"")

// ---- Storage ----------------------------------------------------------------------------

AcDbImpDatabase::~AcDbImpDatabase() {
  cadhost_detail::deleteUndoHistory(undo);
  for (auto& stub : stubs) {
    delete stub.loaded();
    stub.setObject(nullptr);
  }
}

AcDbDeferredLoader::~AcDbDeferredLoader() = default;

AcDbObject* AcDbStub::load() const {
  cadhost::HostReadScope hostReads;  // the file's reader makes the object as the host
  AcDbDeferredLoader* loader = database != nullptr ? database->deferredLoader.get() : nullptr;
  if (loader != nullptr && !loader->ready()) return nullptr;
  AcDbObject* obj = loader != nullptr ? loader->load(*this) : nullptr;
  if (obj == nullptr) mDeferred = 0;  // cannot be made: a stub without an object from now on
  return mObject;
}

void AcDbCore::attachDeferred(const AcDbStub& stub, AcDbObject* obj, AcDbObjectId owner) {
  auto& mutableStub = const_cast<AcDbStub&>(stub);
  obj->mpStub = &mutableStub;
  obj->mOwnerId = owner;
  obj->mNew = false;
  mutableStub.setMadeFromFile(obj);
}

Adesk::UInt64 AcDbImpDatabase::nextHandle() {
  while (byHandle.contains(handseed)) ++handseed;
  return handseed++;
}

AcDbStub* AcDbImpDatabase::findHandle(Adesk::UInt64 handle) const {
  return byHandle.find(handle);
}

AcDbStub* AcDbImpDatabase::placeholder(Adesk::UInt64 handle) {
  if (AcDbStub* existing = findHandle(handle)) return existing;
  AcDbStub& stub = stubs.emplace_back();
  stub.database = this;
  stub.handle = AcDbHandle(handle);
  byHandle.insert(stubs.size() - 1);
  if (handle >= handseed) handseed = handle + 1;
  return &stub;
}

AcDbStub* AcDbImpDatabase::addObject(AcDbObject* object, Adesk::UInt64 handle) {
  if (handle == 0) handle = nextHandle();
  AcDbStub* stub = findHandle(handle);
  if (stub != nullptr) {
    if (stub->hasObject()) return nullptr;  // taken
  } else {
    stub = placeholder(handle);
  }
  stub->setObject(object);
  return stub;
}

Acad::ErrorStatus AcDbCore::addToDatabase(AcDbDatabase* db, AcDbObject* obj, AcDbObjectId owner,
                                          Adesk::UInt64 handle, AcDbObjectId& id) {
  id.setNull();
  if (db == nullptr || obj == nullptr) return Acad::eInvalidInput;
  if (obj->mpStub != nullptr) return Acad::eAlreadyInDb;
  cadhost_detail::undoWillAdd(db->mpImp);
  AcDbStub* stub = db->mpImp->addObject(obj, handle);
  if (stub == nullptr) return Acad::eHandleInUse;
  cadhost_detail::undoAdded(stub);
  obj->mpStub = stub;
  obj->mOwnerId = owner;
  id = AcDbObjectId(stub);
  ++db->mpImp->changeCount;
  // Fields held while the object was outside the drawing join it now.
  if (obj->mpFields) {
    for (auto& slot : obj->mpFields->slots) {
      if (slot.pending == nullptr) continue;
      AcDbObjectId fieldId;
      if (addToDatabase(db, slot.pending, id, 0, fieldId) == Acad::eOk) {
        slot.id = fieldId;
        slot.pending = nullptr;
      }
    }
  }
  return Acad::eOk;
}

void AcDbCore::addEntityToBlock(AcDbBlockTableRecord* block, AcDbObjectId entityId) {
  block->mEntities.push_back(entityId);
  if (AcDbDatabase* db = block->database()) db->mpImp->lastEntity = entityId;
}

Acad::ErrorStatus AcDbCore::addRecordToTable(AcDbSymbolTable* table, AcDbSymbolTableRecord* record) {
  const std::wstring key = acdbUpperName(record->mName.c_str());
  const auto it = table->mByName.find(key);
  if (it != table->mByName.end() && !it->second.isErased()) return Acad::eDuplicateKey;
  table->mRecords.push_back(record->objectId());
  table->mByName[key] = record->objectId();
  return Acad::eOk;
}

// ---- The database -----------------------------------------------------------------------

namespace {

template <class Table>
AcDbObjectId addTable(AcDbDatabase* db) {
  AcDbObjectId id;
  AcDbCore::addToDatabase(db, new Table, AcDbObjectId(), 0, id);
  return id;
}

AcDbObjectId addRecord(AcDbDatabase* db, AcDbObjectId tableId, AcDbSymbolTableRecord* record,
                       const ACHAR* name) {
  record->setName(name);
  AcDbObjectId id;
  AcDbCore::addToDatabase(db, record, tableId, 0, id);
  AcDbCore::addRecordToTable(AcDbCore::objectAs<AcDbSymbolTable>(tableId), record);
  return id;
}

}  // namespace

AcDbDatabase::AcDbDatabase(bool buildDefaultDrawing, bool /*noDocument*/) : mpImp(new AcDbImpDatabase(this)) {
  if (!buildDefaultDrawing) return;
  AcDbImpDatabase& d = *mpImp;
  d.blockTable = addTable<AcDbBlockTable>(this);
  d.layerTable = addTable<AcDbLayerTable>(this);
  d.textStyleTable = addTable<AcDbTextStyleTable>(this);
  d.dimStyleTable = addTable<AcDbDimStyleTable>(this);

  d.clayer = addRecord(this, d.layerTable, new AcDbLayerTableRecord, L"0");
  d.textstyle = addRecord(this, d.textStyleTable, new AcDbTextStyleTableRecord, L"Standard");
  auto* dimStyle = new AcDbDimStyleTableRecord;
  dimStyle->setDimtxsty(d.textstyle);
  d.dimstyle = addRecord(this, d.dimStyleTable, dimStyle, L"Standard");

  auto* model = new AcDbBlockTableRecord;
  model->setLayoutName(L"Model");
  d.modelSpace = addRecord(this, d.blockTable, model, ACDB_MODEL_SPACE);
  auto* paper = new AcDbBlockTableRecord;
  paper->setLayoutName(L"Layout1");
  addRecord(this, d.blockTable, paper, ACDB_PAPER_SPACE);
  d.currentSpace = d.modelSpace;
  for (auto& stub : d.stubs) AcDbCore::setNew(stub.object(), false);
}

AcDbDatabase::~AcDbDatabase() {
  if (acdbHostApplicationServices()->workingDatabase() == this)
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  cadhost_detail::forgetSelectedEntities(this);
  delete mpImp;
}

namespace {
template <class T>
Acad::ErrorStatus openTable(AcDbObjectId id, T*& table, AcDb::OpenMode mode) {
  table = nullptr;
  if (id.isNull()) return Acad::eNullObjectId;
  return acdbOpenObject(table, id, mode);
}
}  // namespace

Acad::ErrorStatus AcDbDatabase::getBlockTable(AcDbBlockTable*& p, AcDb::OpenMode mode) { return openTable(mpImp->blockTable, p, mode); }
Acad::ErrorStatus AcDbDatabase::getLayerTable(AcDbLayerTable*& p, AcDb::OpenMode mode) { return openTable(mpImp->layerTable, p, mode); }
Acad::ErrorStatus AcDbDatabase::getTextStyleTable(AcDbTextStyleTable*& p, AcDb::OpenMode mode) { return openTable(mpImp->textStyleTable, p, mode); }
Acad::ErrorStatus AcDbDatabase::getDimStyleTable(AcDbDimStyleTable*& p, AcDb::OpenMode mode) { return openTable(mpImp->dimStyleTable, p, mode); }

AcDbObjectId AcDbDatabase::blockTableId() const { return mpImp->blockTable; }
AcDbObjectId AcDbDatabase::layerTableId() const { return mpImp->layerTable; }
AcDbObjectId AcDbDatabase::textStyleTableId() const { return mpImp->textStyleTable; }
AcDbObjectId AcDbDatabase::dimStyleTableId() const { return mpImp->dimStyleTable; }
AcDbObjectId AcDbDatabase::modelSpaceId() const { return mpImp->modelSpace; }
AcDbObjectId AcDbDatabase::currentSpaceId() const { return mpImp->currentSpace; }

Acad::ErrorStatus AcDbDatabase::setCurrentSpace(AcDbObjectId blockId) {
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(blockId);
  if (block == nullptr || block->database() != this) return Acad::eInvalidInput;
  if (!AcDbCore::isLayout(block)) return Acad::eNotApplicable;
  cadhost_detail::undoWillChangeHeader(mpImp);
  mpImp->currentSpace = blockId;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(AcDbObjectId& retId, bool createIfNotFound,
                                                const AcDbHandle& objHandle, Adesk::UInt32) {
  retId.setNull();
  if (objHandle.isNull()) return Acad::eNullHandle;
  AcDbStub* stub = mpImp->findHandle(objHandle.value());
  if (stub == nullptr && createIfNotFound) stub = mpImp->placeholder(objHandle.value());
  if (stub == nullptr) return Acad::eKeyNotFound;
  retId = AcDbObjectId(stub);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::addAcDbObject(AcDbObjectId& objId, AcDbObject* pObj) {
  if (pObj != nullptr && pObj->isKindOf(AcDbEntity::desc())) return Acad::eWrongObjectType;
  const Acad::ErrorStatus es = AcDbCore::addToDatabase(this, pObj, AcDbObjectId(), 0, objId);
  if (es == Acad::eOk) AcDbCore::beginWrite(pObj);
  return es;
}

AcDbHandle AcDbDatabase::handseed() const { return AcDbHandle(mpImp->handseed); }
Acad::ErrorStatus AcDbDatabase::setHandseed(const AcDbHandle& h) {
  // The seed never goes back below a handle in use.
  Adesk::UInt64 highest = 0;
  mpImp->byHandle.forEach([&highest](const AcDbStub* stub) { highest = std::max(highest, stub->handle.value()); });
  if (h.value() <= highest) return Acad::eInvalidInput;
  cadhost_detail::undoWillChangeHeader(mpImp);
  mpImp->handseed = h.value();
  return Acad::eOk;
}

Adesk::Int16 AcDbDatabase::lunits() const { return mpImp->lunits; }
Acad::ErrorStatus AcDbDatabase::setLunits(Adesk::Int16 units) {
  if (units < 1 || units > 5) return Acad::eInvalidInput;
  cadhost_detail::undoWillChangeHeader(mpImp);
  mpImp->lunits = units;
  return Acad::eOk;
}
Adesk::Int16 AcDbDatabase::luprec() const { return mpImp->luprec; }
Acad::ErrorStatus AcDbDatabase::setLuprec(Adesk::Int16 prec) {
  if (prec < 0 || prec > 8) return Acad::eInvalidInput;
  cadhost_detail::undoWillChangeHeader(mpImp);
  mpImp->luprec = prec;
  return Acad::eOk;
}
AcDb::UnitsValue AcDbDatabase::insunits() const { return mpImp->insunits; }
Acad::ErrorStatus AcDbDatabase::setInsunits(AcDb::UnitsValue units) {
  if (units < AcDb::kUnitsUndefined || units > AcDb::kUnitsMax) return Acad::eInvalidInput;
  cadhost_detail::undoWillChangeHeader(mpImp);
  mpImp->insunits = units;
  return Acad::eOk;
}

namespace {
template <class Record>
Acad::ErrorStatus setCurrentRecord(AcDbDatabase* db, AcDbObjectId& slot, AcDbObjectId id) {
  const auto* record = AcDbCore::objectAs<Record>(id);
  if (record == nullptr || record->database() != db || id.isErased()) return Acad::eInvalidInput;
  cadhost_detail::undoWillChangeHeader(AcDbCore::imp(db));
  slot = id;
  return Acad::eOk;
}
}  // namespace

AcDbObjectId AcDbDatabase::textstyle() const { return mpImp->textstyle; }
Acad::ErrorStatus AcDbDatabase::setTextstyle(AcDbObjectId id) { return setCurrentRecord<AcDbTextStyleTableRecord>(this, mpImp->textstyle, id); }
AcDbObjectId AcDbDatabase::clayer() const { return mpImp->clayer; }
Acad::ErrorStatus AcDbDatabase::setClayer(AcDbObjectId id) { return setCurrentRecord<AcDbLayerTableRecord>(this, mpImp->clayer, id); }
AcDbObjectId AcDbDatabase::dimstyle() const { return mpImp->dimstyle; }
Acad::ErrorStatus AcDbDatabase::setDimstyle(AcDbObjectId id) { return setCurrentRecord<AcDbDimStyleTableRecord>(this, mpImp->dimstyle, id); }
double AcDbDatabase::textsize() const { return mpImp->textsize; }
Acad::ErrorStatus AcDbDatabase::setTextsize(double size) {
  if (!(size > 0) || !std::isfinite(size)) return Acad::eInvalidInput;
  cadhost_detail::undoWillChangeHeader(mpImp);
  mpImp->textsize = size;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::getFilename(const ACHAR*& pOutput) const {
  pOutput = mpImp->filename.c_str();
  return Acad::eOk;
}
Acad::ErrorStatus AcDbDatabase::setFilename(const ACHAR* path) {
  mpImp->filename = path ? path : L"";
  return Acad::eOk;
}
AcDbObjectId AcDbDatabase::lastEntityId() const { return mpImp->lastEntity; }
Adesk::Int64 AcDbDatabase::approxNumObjects() const { return static_cast<Adesk::Int64>(mpImp->stubs.size()); }

// ---- Summary information ----------------------------------------------------------------

Acad::ErrorStatus acdbGetSummaryInfo(AcDbDatabase* pDb, AcDbDatabaseSummaryInfo*& pInfo) {
  pInfo = nullptr;
  if (pDb == nullptr) return Acad::eNoDatabase;
  pInfo = new AcDbDatabaseSummaryInfo(AcDbCore::imp(pDb)->summary);
  return Acad::eOk;
}

Acad::ErrorStatus acdbPutSummaryInfo(const AcDbDatabaseSummaryInfo* pInfo, AcDbDatabase* pDb) {
  if (pDb == nullptr) return Acad::eNoDatabase;
  if (pInfo == nullptr) return Acad::eNullObjectPointer;
  cadhost_detail::undoWillChangeHeader(AcDbCore::imp(pDb));
  AcDbCore::imp(pDb)->summary = *pInfo;
  return Acad::eOk;
}

// ---- Host application services ----------------------------------------------------------

AcDbDatabase* AcDbHostApplicationServices::workingDatabase() const {
  if (mpWorking != nullptr) return mpWorking;
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  return doc ? doc->database() : nullptr;
}
void AcDbHostApplicationServices::setWorkingDatabase(AcDbDatabase* pDatabase) { mpWorking = pDatabase; }
const ACHAR* AcDbHostApplicationServices::program() { return L"cadhost"; }
const ACHAR* AcDbHostApplicationServices::product() { return L"Cadhost"; }

AcDbHostApplicationServices* acdbHostApplicationServices() {
  static AcDbHostApplicationServices services;
  return &services;
}
