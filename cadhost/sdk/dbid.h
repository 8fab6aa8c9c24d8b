// Object ids and handles. An object id names one object of a loaded drawing for as long as the
// drawing is in memory; a handle names it persistently, in the drawing file.
#pragma once

#include <functional>

#include "acadstrc.h"
#include "acarray.h"

class AcDbDatabase;
class AcDbStub;
class AcRxClass;

class ACCORE_PORT AcDbHandle {
 public:
  AcDbHandle() = default;
  explicit AcDbHandle(Adesk::UInt64 value) : mValue(value) {}
  // From hexadecimal digits, as drawing files write handles; anything else gives the null handle.
  explicit AcDbHandle(const ACHAR* hex);
  bool isNull() const { return mValue == 0; }
  void setNull() { mValue = 0; }
  Adesk::UInt64 value() const { return mValue; }
  // Upper-case hexadecimal without leading zeros ("2F"); false when the buffer is too small.
  bool getIntoAsciiBuffer(ACHAR* buffer, size_t bufferLength) const;
  AcDbHandle& operator++() { ++mValue; return *this; }
  bool operator==(const AcDbHandle& h) const { return mValue == h.mValue; }
  bool operator!=(const AcDbHandle& h) const { return mValue != h.mValue; }
  bool operator<(const AcDbHandle& h) const { return mValue < h.mValue; }

 private:
  Adesk::UInt64 mValue = 0;
};

class ACCORE_PORT AcDbObjectId {
 public:
  AcDbObjectId() = default;
  explicit AcDbObjectId(AcDbStub* stub) : mId(stub) {}

  bool isNull() const { return mId == nullptr; }
  void setNull() { mId = nullptr; }
  bool isValid() const;    // names an object of a drawing in memory
  bool isErased() const;
  // The class of the object, known without opening it; null when the id names no object.
  AcRxClass* objectClass() const;
  bool isEffectivelyErased() const { return isErased(); }
  AcDbDatabase* database() const;
  AcDbHandle handle() const;
  Adesk::IntDbId asOldId() const { return reinterpret_cast<Adesk::IntDbId>(mId); }
  AcDbObjectId& setFromOldId(Adesk::IntDbId oldId) {
    mId = reinterpret_cast<AcDbStub*>(oldId);
    return *this;
  }
  AcDbStub* stub() const { return mId; }

  bool operator==(const AcDbObjectId& id) const { return mId == id.mId; }
  bool operator!=(const AcDbObjectId& id) const { return mId != id.mId; }
  bool operator<(const AcDbObjectId& id) const { return std::less<AcDbStub*>()(mId, id.mId); }
  explicit operator bool() const { return mId != nullptr; }

  static const AcDbObjectId kNull;

 private:
  AcDbStub* mId = nullptr;
};

typedef AcArray<AcDbObjectId> AcDbObjectIdArray;

template <>
struct std::hash<AcDbObjectId> {
  size_t operator()(const AcDbObjectId& id) const noexcept {
    return std::hash<AcDbStub*>()(id.stub());
  }
};
