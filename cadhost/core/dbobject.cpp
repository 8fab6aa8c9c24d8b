// Database objects: ids and handles, the open/close protocol, erasing, cloning, and the fields
// an object keeps.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <mutex>

#include "../sdk/acutads.h"
#include "coreaccess.h"
#include "documentstate.h"
#include "hostservices.h"

namespace {
constexpr int kMaxReaders = 256;

// ---- Faults of the open protocol ---------------------------------------------------------

struct ProtocolFaults {
  std::mutex mutex;  // the file writer reads on a second thread
  std::vector<std::wstring> pending;
  long long count = 0;
#ifdef NDEBUG
  cadhost::ProtocolFaultAction action = cadhost::ProtocolFaultAction::Record;
#else
  cadhost::ProtocolFaultAction action = cadhost::ProtocolFaultAction::Stop;
#endif
};
ProtocolFaults& protocolFaults() {
  static ProtocolFaults faults;
  return faults;
}
std::atomic<int> gHostReads{0};

void recordProtocolFault(const AcDbObject* obj, const char* call, const wchar_t* what) {
  std::wstring text = obj->isA()->name();
  text += L"::";
  for (const char* c = call; c && *c; ++c) text += static_cast<wchar_t>(*c);
  text += L": ";
  text += what;
  ProtocolFaults& faults = protocolFaults();
  std::lock_guard<std::mutex> lock(faults.mutex);
  ++faults.count;
  if (faults.action == cadhost::ProtocolFaultAction::Stop) {
    std::fwprintf(stderr, L"object protocol fault: %ls\n", text.c_str());
    std::fflush(stderr);
    std::abort();
  }
  constexpr size_t kKeptFaults = 1000;  // a caller that faults in a loop is named by its first ones
  if (faults.pending.size() < kKeptFaults) faults.pending.push_back(std::move(text));
}
}  // namespace

namespace cadhost {
void setProtocolFaultAction(ProtocolFaultAction action) {
  std::lock_guard<std::mutex> lock(protocolFaults().mutex);
  protocolFaults().action = action;
}
ProtocolFaultAction protocolFaultAction() { return protocolFaults().action; }
std::vector<std::wstring> takeProtocolFaults() {
  std::lock_guard<std::mutex> lock(protocolFaults().mutex);
  std::vector<std::wstring> taken;
  taken.swap(protocolFaults().pending);
  return taken;
}
long long protocolFaultCount() {
  std::lock_guard<std::mutex> lock(protocolFaults().mutex);
  return protocolFaults().count;
}
HostReadScope::HostReadScope() { ++gHostReads; }
HostReadScope::~HostReadScope() { --gHostReads; }
}  // namespace cadhost

bool AcDbObject::readWithoutOpen(const char* call) const {
  if (gHostReads.load(std::memory_order_relaxed) > 0) return true;
  recordProtocolFault(this, call, L"read of an object that is not open");
  return false;
}

// ---- Handles and ids --------------------------------------------------------------------

AcDbHandle::AcDbHandle(const ACHAR* hex) {
  Adesk::UInt64 value = 0;
  int digits = 0;
  for (const ACHAR* p = hex; p && *p; ++p) {
    const ACHAR c = static_cast<ACHAR>(std::towupper(*p));
    int d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return;  // not a handle: stays null
    if (++digits > 16) return;
    value = value * 16 + static_cast<Adesk::UInt64>(d);
  }
  mValue = value;
}

bool AcDbHandle::getIntoAsciiBuffer(ACHAR* buffer, size_t bufferLength) const {
  ACHAR digits[17];
  int n = 0;
  Adesk::UInt64 v = mValue;
  do {
    const int d = static_cast<int>(v & 0xF);
    digits[n++] = static_cast<ACHAR>(d < 10 ? L'0' + d : L'A' + d - 10);
    v >>= 4;
  } while (v != 0);
  if (buffer == nullptr || bufferLength < static_cast<size_t>(n) + 1) return false;
  for (int i = 0; i < n; ++i) buffer[i] = digits[n - 1 - i];
  buffer[n] = 0;
  return true;
}

const AcDbObjectId AcDbObjectId::kNull;

bool AcDbObjectId::isValid() const { return mId != nullptr && mId->hasObject(); }

AcRxClass* AcDbObjectId::objectClass() const {
  if (mId == nullptr) return nullptr;
  if (const AcDbObject* obj = mId->loaded()) return obj->isA();
  if (!mId->isDeferred() || mId->database == nullptr || !mId->database->deferredLoader) return nullptr;
  return mId->database->deferredLoader->objectClass(*mId);
}
bool AcDbObjectId::isErased() const { return mId != nullptr && mId->erased; }
AcDbDatabase* AcDbObjectId::database() const {
  return mId && mId->database ? mId->database->pub : nullptr;
}
AcDbHandle AcDbObjectId::handle() const { return mId ? mId->handle : AcDbHandle(); }

AcDbStoredRecord::~AcDbStoredRecord() = default;

AcDbFieldTable::Slot* AcDbFieldTable::find(const ACHAR* property) {
  const std::wstring upper = acdbUpperName(property);
  for (auto& slot : slots)
    if (acdbUpperName(slot.property.c_str()) == upper) return &slot;
  return nullptr;
}

// ---- AcDbObject -------------------------------------------------------------------------

ACRX_DEFINE_ABSTRACT(AcDbObject, AcRxObject, L"")

AcDbObject::AcDbObject() = default;

AcDbObject::AcDbObject(const AcDbObject& other) : AcRxObject(), mOwnerId(other.mOwnerId) {
  if (other.mpStored) mpStored = other.mpStored->cloneRecord();
  if (other.mpFields) {
    mpFields = new AcDbFieldTable;
    for (const auto& slot : other.mpFields->slots) {
      const AcDbField* source = slot.pending ? slot.pending : AcDbCore::objectAs<AcDbField>(slot.id);
      if (source == nullptr) continue;
      AcDbFieldTable::Slot copy;
      copy.property = slot.property;
      copy.pending = static_cast<AcDbField*>(source->clone());
      mpFields->slots.push_back(copy);
    }
  }
}

AcDbObject::~AcDbObject() {
  if (mpFields) {
    for (auto& slot : mpFields->slots) delete slot.pending;  // resident fields belong to the database
    delete mpFields;
  }
  delete mpStored;
}

AcDbObjectId AcDbObject::objectId() const { return AcDbObjectId(mpStub); }
AcDbHandle AcDbObject::handle() const { return mpStub ? mpStub->handle : AcDbHandle(); }
AcDbDatabase* AcDbObject::database() const {
  return mpStub && mpStub->database ? mpStub->database->pub : nullptr;
}

Acad::ErrorStatus AcDbObject::setOwnerId(AcDbObjectId ownerId) {
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  mOwnerId = ownerId;
  return Acad::eOk;
}

bool AcDbObject::assertWriteEnabled(const char* call) {
  if (mpStub != nullptr && !mOpenForWrite) {
    recordProtocolFault(this, call, mReaders > 0 ? L"write to an object open only for read"
                                                 : L"write to an object that is not open");
    return false;
  }
  ++mRevision;
  if (mpStub != nullptr && mpStub->database) ++mpStub->database->changeCount;
  return true;
}

bool AcDbObject::isErased() const { return mpStub != nullptr && mpStub->erased; }
bool AcDbObject::isReadEnabled() const { return mpStub == nullptr || mReaders > 0 || mOpenForWrite; }
bool AcDbObject::isWriteEnabled() const { return mpStub == nullptr || mOpenForWrite; }
bool AcDbObject::isNewObject() const { return mNew; }

Acad::ErrorStatus AcDbObject::close() {
  if (mpStub == nullptr) return Acad::eNotInDatabase;
  if (mOpenForWrite) {
    mOpenForWrite = false;
    if (mRevision != mRevisionAtOpen && isKindOf(AcDbEntity::desc()) && mpStub->database)
      mpStub->database->changedSinceFlush.push_back(objectId());
    return Acad::eOk;
  }
  if (mReaders > 0) {
    --mReaders;
    return Acad::eOk;
  }
  recordProtocolFault(this, "close", L"close of an object that is not open");
  return Acad::eNotOpenForRead;
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
  if (mpStub == nullptr) return Acad::eNotInDatabase;
  if (mOpenForWrite) return Acad::eWasOpenForWrite;
  if (mReaders != 1) return mReaders == 0 ? Acad::eNotOpenForRead : Acad::eWasOpenForRead;
  AcDbObject* self = this;
  mReaders = 0;
  const Acad::ErrorStatus es = acdbOpenObject(self, objectId(), AcDb::kForWrite, true, nullptr);
  if (es != Acad::eOk) mReaders = 1;
  return es;
}

Acad::ErrorStatus AcDbObject::downgradeOpen() {
  if (!mOpenForWrite) return Acad::eNotOpenForWrite;
  close();
  mReaders = 1;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
  if (mpStub == nullptr) return Acad::eNotInDatabase;
  if (!mOpenForWrite) {
    recordProtocolFault(this, "erase", mReaders > 0 ? L"write to an object open only for read"
                                                    : L"write to an object that is not open");
    return Acad::eNotOpenForWrite;
  }
  if (mpStub->erased == erasing) return erasing ? Acad::eWasErased : Acad::eWasNotErased;
  if (erasing && AcDbCore::isProtected(this)) return Acad::eCannotBeErasedByCaller;
  if (!erasing && AcDbCore::nameTakenByAnother(this)) return Acad::eDuplicateKey;
  ++mRevision;
  AcDbCore::setErased(this, erasing);
  if (!erasing) AcDbCore::reindexRecord(this);
  return Acad::eOk;
}

void AcDbCore::setErased(AcDbObject* obj, bool erased) {
  if (obj->mpStub == nullptr) return;
  obj->mpStub->erased = erased;
  if (obj->mpStub->database) ++obj->mpStub->database->changeCount;
  // What an object owns goes with it.
  if (obj->mpFields)
    for (auto& slot : obj->mpFields->slots)
      if (slot.id.stub()) slot.id.stub()->erased = erased;
}

AcRxObject* AcDbObject::clone() const { return AcRxObject::clone(); }

// ---- Opening ----------------------------------------------------------------------------

Acad::ErrorStatus acdbOpenObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                 bool openErased, const AcRxClass* pClass) {
  pObj = nullptr;
  AcDbStub* stub = id.stub();
  if (stub == nullptr) return Acad::eNullObjectId;
  AcDbObject* obj = stub->object();
  if (obj == nullptr) return Acad::eKeyNotFound;
  if (stub->erased && !openErased) return Acad::eWasErased;
  if (pClass != nullptr && !obj->isKindOf(pClass)) return Acad::eNotThatKindOfClass;
  if (mode == AcDb::kForWrite) {
    if (AcDbCore::openForWrite(obj)) return Acad::eWasOpenForWrite;
    if (AcDbCore::readers(obj) > 0) return Acad::eWasOpenForRead;
    if (const AcDbEntity* ent = AcDbEntity::cast(obj)) {
      if (const auto* layer = AcDbCore::objectAs<AcDbLayerTableRecord>(AcDbCore::layerIdOf(ent)))
        if (AcDbCore::isLocked(layer)) return Acad::eOnLockedLayer;
    }
    if (cadhost::requireDocumentLockForWrite() && !cadhost_detail::isDatabaseLocked(stub->database->pub))
      return Acad::eLockViolation;
    AcDbCore::beginWrite(obj);
  } else {
    if (AcDbCore::openForWrite(obj)) return Acad::eWasOpenForWrite;
    if (AcDbCore::readers(obj) >= kMaxReaders) return Acad::eAtMaxReaders;
    AcDbCore::beginRead(obj);
  }
  pObj = obj;
  return Acad::eOk;
}

void AcDbCore::beginWrite(AcDbObject* obj) {
  obj->mOpenForWrite = true;
  obj->mRevisionAtOpen = obj->mRevision;
}
void AcDbCore::beginRead(AcDbObject* obj) { ++obj->mReaders; }

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
  return acdbOpenObject(pObj, id, mode, openErased, nullptr);
}

Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& pEnt, AcDbObjectId id, AcDb::OpenMode mode, bool openErased) {
  return acdbOpenObject(pEnt, id, mode, openErased);
}

void AcDbCore::attachField(AcDbObject* obj, const ACHAR* property, AcDbObjectId fieldId) {
  if (obj->mpFields == nullptr) obj->mpFields = new AcDbFieldTable;
  AcDbFieldTable::Slot* slot = obj->mpFields->find(property);
  if (slot == nullptr) {
    obj->mpFields->slots.push_back({property, AcDbObjectId(), nullptr});
    slot = &obj->mpFields->slots.back();
  }
  delete slot->pending;
  slot->pending = nullptr;
  slot->id = fieldId;
}

void AcDbCore::setStoredRecord(AcDbObject* obj, AcDbStoredRecord* record) {
  delete obj->mpStored;
  obj->mpStored = record;
}

// ---- Fields -----------------------------------------------------------------------------

bool AcDbObject::hasFields() const {
  if (mpFields == nullptr || !assertReadEnabled(__func__)) return false;
  for (const auto& slot : mpFields->slots)
    if (slot.pending || (slot.id.stub() && !slot.id.isErased())) return true;
  return false;
}

Acad::ErrorStatus AcDbObject::getField(const ACHAR* propName, AcDbObjectId& fieldId) const {
  fieldId.setNull();
  if (!assertReadEnabled(__func__)) return Acad::eNotOpenForRead;
  if (mpFields == nullptr) return Acad::eKeyNotFound;
  AcDbFieldTable::Slot* slot = mpFields->find(propName);
  if (slot == nullptr || slot->id.isNull() || slot->id.isErased()) return Acad::eKeyNotFound;
  fieldId = slot->id;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::getField(const ACHAR* propName, AcDbField*& pField, AcDb::OpenMode mode) const {
  pField = nullptr;
  AcDbObjectId id;
  const Acad::ErrorStatus es = getField(propName, id);
  if (es != Acad::eOk) return es;
  return acdbOpenObject(pField, id, mode);
}

Acad::ErrorStatus AcDbObject::setField(const ACHAR* propName, AcDbField* pField, AcDbObjectId& fieldId) {
  fieldId.setNull();
  if (propName == nullptr || *propName == 0 || pField == nullptr) return Acad::eInvalidInput;
  if (pField->isDatabaseResident()) return Acad::eAlreadyInDb;
  // A field this object already holds (outside a drawing) stays where it is: filing it again
  // would free it while it is still held.
  if (mpFields != nullptr)
    for (const auto& held : mpFields->slots)
      if (held.pending == pField) return held.property == propName ? Acad::eOk : Acad::eInvalidInput;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  if (mpFields == nullptr) mpFields = new AcDbFieldTable;
  AcDbFieldTable::Slot* slot = mpFields->find(propName);
  if (slot == nullptr) {
    mpFields->slots.push_back({propName, AcDbObjectId(), nullptr});
    slot = &mpFields->slots.back();
  }
  if (slot->pending) delete slot->pending;
  slot->pending = nullptr;
  if (slot->id.stub()) slot->id.stub()->erased = true;  // the replaced field goes
  slot->id.setNull();
  if (mpStub != nullptr) {
    AcDbObjectId id;
    AcDbCore::addToDatabase(mpStub->database->pub, pField, objectId(), 0, id);
    slot->id = id;
    fieldId = id;
  } else {
    slot->pending = pField;
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::removeField(const ACHAR* propName) {
  if (mpFields == nullptr || mpFields->find(propName) == nullptr) return Acad::eKeyNotFound;
  if (!assertWriteEnabled(__func__)) return Acad::eNotOpenForWrite;
  auto& slots = mpFields->slots;
  const std::wstring upper = acdbUpperName(propName);
  for (auto it = slots.begin(); it != slots.end(); ++it) {
    if (acdbUpperName(it->property.c_str()) != upper) continue;
    delete it->pending;
    if (it->id.stub()) it->id.stub()->erased = true;
    slots.erase(it);
    break;
  }
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::getFieldDictionary(AcArray<AcString>& propNames) const {
  propNames.removeAll();
  if (mpFields)
    for (const auto& slot : mpFields->slots) propNames.append(AcString(slot.property));
  return Acad::eOk;
}

void AcDbObject::subSetFieldValue(const ACHAR*, const ACHAR*) {}
const ACHAR* AcDbObject::subFieldPropertyText(const ACHAR*) const { return nullptr; }

void AcDbObject::syncTextField(const ACHAR* text) {
  AcDbFieldTable::Slot* slot = mpFields ? mpFields->find(L"TEXT") : nullptr;
  if (!acdbHasFieldExpression(text)) {
    if (slot) removeField(L"TEXT");
    return;
  }
  if (slot != nullptr) {
    AcDbField* field = slot->pending ? slot->pending : AcDbCore::objectAs<AcDbField>(slot->id);
    if (field != nullptr && !slot->id.isErased()) {
      AcDbCore::setFieldCodeRaw(field, text);
      return;
    }
  }
  AcDbObjectId unused;
  setField(L"TEXT", new AcDbField(text, true), unused);
}
