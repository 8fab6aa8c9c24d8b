// Database objects: the open/close protocol, entities, the drawing database and the host's
// application services.
#pragma once

#include "acadstrc.h"
#include "acstring.h"
#include "dbid.h"
#include "gegeometry.h"
#include "rxobject.h"

class AcDbBlockTable;
class AcDbLayerTable;
class AcDbTextStyleTable;
class AcDbDimStyleTable;
class AcDbSymbolTable;
class AcDbField;
class AcDbFieldTable;
class AcDbStoredRecord;
class AcDbImpDatabase;
class AcDbDatabaseSummaryInfo;
struct AcDbCore;

namespace AcDb {
enum OpenMode { kNotOpenForRead = -1, kForRead = 0, kForWrite = 1, kForNotify = 2 };
enum TextHorzMode { kTextLeft = 0, kTextCenter = 1, kTextRight = 2, kTextAlign = 3, kTextMid = 4, kTextFit = 5 };
enum TextVertMode { kTextBase = 0, kTextBottom = 1, kTextVertMid = 2, kTextTop = 3 };
enum LineSpacingStyle { kAtLeast = 1, kExactly = 2 };
enum UnitsValue {
  kUnitsUndefined = 0, kUnitsInches = 1, kUnitsFeet = 2, kUnitsMiles = 3, kUnitsMillimeters = 4,
  kUnitsCentimeters = 5, kUnitsMeters = 6, kUnitsKilometers = 7, kUnitsMicroinches = 8,
  kUnitsMils = 9, kUnitsYards = 10, kUnitsAngstroms = 11, kUnitsNanometers = 12, kUnitsMicrons = 13,
  kUnitsDecimeters = 14, kUnitsDekameters = 15, kUnitsHectometers = 16, kUnitsGigameters = 17,
  kUnitsAstronomical = 18, kUnitsLightYears = 19, kUnitsParsecs = 20, kUnitsUSSurveyFeet = 21,
  kUnitsUSSurveyInch = 22, kUnitsUSSurveyYard = 23, kUnitsUSSurveyMile = 24, kUnitsMax = kUnitsUSSurveyMile
};
constexpr Adesk::UInt16 kByBlock = 0;
constexpr Adesk::UInt16 kByLayer = 256;
}  // namespace AcDb

// Any object of a drawing. An object in a database is reached by its id and opened for read
// (by several at a time) or for write (by one, and only while nobody reads it); every open is
// ended by close(). An object that is not in a database (new, or a clone) is used directly and
// either appended to a database or deleted.
class ACCORE_PORT AcDbObject : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbObject);
  ~AcDbObject() override;

  AcDbObjectId objectId() const;
  AcDbObjectId ownerId() const { return mOwnerId; }
  virtual Acad::ErrorStatus setOwnerId(AcDbObjectId ownerId);
  AcDbHandle handle() const;
  void getAcDbHandle(AcDbHandle& handle) const { handle = this->handle(); }
  AcDbDatabase* database() const;

  // Ends one open. An object that is not in a database cannot be closed (eNotInDatabase).
  Acad::ErrorStatus close();
  Acad::ErrorStatus upgradeOpen();
  Acad::ErrorStatus downgradeOpen();
  // Erases (true) or unerases (false) the object; it must be open for write. Erased objects stay
  // in memory and keep their id, but are not opened unless asked for.
  Acad::ErrorStatus erase(bool erasing = true);
  bool isErased() const;
  bool isReadEnabled() const;
  bool isWriteEnabled() const;
  bool isNewObject() const;   // created or appended since the drawing was loaded
  bool isDatabaseResident() const { return mpStub != nullptr; }

  // Fields: text that is computed from an expression. An object keeps its fields under
  // property names; entity text keeps its field under "TEXT".
  bool hasFields() const;
  Acad::ErrorStatus getField(const ACHAR* propName, AcDbObjectId& fieldId) const;
  Acad::ErrorStatus getField(const ACHAR* propName, AcDbField*& pField, AcDb::OpenMode mode) const;
  // Takes ownership of a field that is not in a database; replaces any field under that name.
  Acad::ErrorStatus setField(const ACHAR* propName, AcDbField* pField, AcDbObjectId& fieldId);
  Acad::ErrorStatus removeField(const ACHAR* propName);
  Acad::ErrorStatus getFieldDictionary(AcArray<AcString>& propNames) const;

  // A copy that is in no database: every property, and copies of its fields.
  AcRxObject* clone() const override;

 protected:
  AcDbObject();
  AcDbObject(const AcDbObject& other);  // property copy for clone(); not in a database
  AcDbObject& operator=(const AcDbObject&) = delete;
  // True when the object may be changed now (not in a database, or open for write); counts the
  // change. Setters call it first with their own name and return eNotOpenForWrite when it is
  // false: a write to an object that is closed or open only for read is the caller's fault.
  bool assertWriteEnabled(const char* call);
  // True when a property may be read now: the object is open, or in no database. Getters ask
  // it with their own name; a read of a closed object is the caller's fault and reads nothing.
  bool assertReadEnabled(const char* call) const {
    return mpStub == nullptr || mReaders != 0 || mOpenForWrite || readWithoutOpen(call);
  }
  // A property's value for a getter: the value itself when it may be read, else its type's empty
  // value (after the fault has been recorded).
  template <class T>
  const T& readProperty(const T& value, const char* call) const {
    if (assertReadEnabled(call)) return value;
    static const T empty{};
    return empty;
  }
  // Called after a change of an object's field text, so that the object shows the new value.
  virtual void subSetFieldValue(const ACHAR* propName, const ACHAR* value);
  // The object's own text under a field property (entity text under "TEXT"); nullptr if none.
  virtual const ACHAR* subFieldPropertyText(const ACHAR* propName) const;
  // Makes the text of an entity agree with a field expression it was given: creates, updates or
  // removes the field under "TEXT".
  void syncTextField(const ACHAR* text);

 private:
  friend struct AcDbCore;
  // The slow path of assertReadEnabled: true while the host itself reads objects it has not opened
  // (see cadhost::HostReadScope); otherwise records the caller's fault and returns false.
  bool readWithoutOpen(const char* call) const;
  // (Ordered so that the small members come last: an entity puts its colour in the space after.)
  AcDbStub* mpStub = nullptr;         // null while the object is not in a database
  AcDbObjectId mOwnerId;
  AcDbFieldTable* mpFields = nullptr;
  AcDbStoredRecord* mpStored = nullptr; // what the drawing file held for this object
  Adesk::UInt32 mRevision = 0;          // counts changes; the file writer compares it
  Adesk::UInt32 mRevisionAtOpen = 0;    // the count when the current write open began
  Adesk::UInt16 mReaders = 0;
  bool mOpenForWrite = false;
  bool mNew = true;
};

// An object drawn in a block: it lies on a layer and has a colour.
class ACCORE_PORT AcDbEntity : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbEntity);

  ACHAR* layer() const;  // a copy the caller frees with acutDelString
  AcDbObjectId layerId() const { return readProperty(mLayerId, __func__); }
  // eKeyNotFound when the drawing has no such layer; the entity must be in a database or the
  // name is looked up in the working database.
  Acad::ErrorStatus setLayer(const ACHAR* newVal, bool doSubents = true, bool allowHiddenLayer = false);
  Acad::ErrorStatus setLayer(AcDbObjectId newVal, bool doSubents = true, bool allowHiddenLayer = false);
  Adesk::UInt16 colorIndex() const { return readProperty(mColorIndex, __func__); }
  Acad::ErrorStatus setColorIndex(Adesk::UInt16 color, bool doSubents = true);
  AcDbObjectId blockId() const { return ownerId(); }
  // Layer "0" and the colour by layer of the working database.
  void setDatabaseDefaults();
  void setDatabaseDefaults(AcDbDatabase* pDb);
  // The box that holds what the entity draws (text by the host's estimate of its size).
  virtual Acad::ErrorStatus getGeomExtents(AcDbExtents& extents) const;
  // The entity's type name in drawing files and selection filters, e.g. "TEXT", "DIMENSION".
  virtual const ACHAR* typeName() const;

 protected:
  AcDbEntity() = default;
  AcDbEntity(const AcDbEntity&) = default;

 private:
  friend struct AcDbCore;
  Adesk::UInt16 mColorIndex = AcDb::kByLayer;
  AcDbObjectId mLayerId;
};

// Opening objects. openErased opens an erased object too. The class form also checks the class
// (eNotThatKindOfClass, nothing opened). Statuses: eNullObjectId, eWasErased, eWasOpenForWrite,
// eWasOpenForRead (a write open of an object others read), eOnLockedLayer (a write open of an
// entity on a locked layer), eLockViolation (a write open without a document lock, when the
// host asks for locks), eAtMaxReaders.
ACCORE_PORT Acad::ErrorStatus acdbOpenObject(AcDbObject*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                             bool openErased, const AcRxClass* pClass);
ACCORE_PORT Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& pObj, AcDbObjectId id,
                                                 AcDb::OpenMode mode, bool openErased = false);
ACCORE_PORT Acad::ErrorStatus acdbOpenAcDbEntity(AcDbEntity*& pEnt, AcDbObjectId id,
                                                 AcDb::OpenMode mode, bool openErased = false);
template <class T>
inline Acad::ErrorStatus acdbOpenObject(T*& pObj, AcDbObjectId id, AcDb::OpenMode mode,
                                        bool openErased = false) {
  AcDbObject* pOpened = nullptr;
  pObj = nullptr;
  const Acad::ErrorStatus es = ::acdbOpenObject(pOpened, id, mode, openErased, T::desc());
  if (es == Acad::eOk) pObj = static_cast<T*>(pOpened);
  return es;
}

// A drawing in memory: its objects, symbol tables and header settings.
class ACCORE_PORT AcDbDatabase : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDatabase);
  // A database with the tables, layer "0", text style "Standard", dimension style "Standard",
  // model space and one paper space layout; without them when buildDefaultDrawing is false
  // (a drawing file reader fills it).
  explicit AcDbDatabase(bool buildDefaultDrawing = true, bool noDocument = false);
  ~AcDbDatabase() override;
  AcDbDatabase(const AcDbDatabase&) = delete;
  AcDbDatabase& operator=(const AcDbDatabase&) = delete;

  Acad::ErrorStatus getBlockTable(AcDbBlockTable*& pTable, AcDb::OpenMode mode = AcDb::kForRead);
  Acad::ErrorStatus getLayerTable(AcDbLayerTable*& pTable, AcDb::OpenMode mode = AcDb::kForRead);
  Acad::ErrorStatus getTextStyleTable(AcDbTextStyleTable*& pTable, AcDb::OpenMode mode = AcDb::kForRead);
  Acad::ErrorStatus getDimStyleTable(AcDbDimStyleTable*& pTable, AcDb::OpenMode mode = AcDb::kForRead);
  Acad::ErrorStatus getSymbolTable(AcDbBlockTable*& p, AcDb::OpenMode mode) { return getBlockTable(p, mode); }
  Acad::ErrorStatus getSymbolTable(AcDbLayerTable*& p, AcDb::OpenMode mode) { return getLayerTable(p, mode); }
  Acad::ErrorStatus getSymbolTable(AcDbTextStyleTable*& p, AcDb::OpenMode mode) { return getTextStyleTable(p, mode); }
  Acad::ErrorStatus getSymbolTable(AcDbDimStyleTable*& p, AcDb::OpenMode mode) { return getDimStyleTable(p, mode); }

  AcDbObjectId blockTableId() const;
  AcDbObjectId layerTableId() const;
  AcDbObjectId textStyleTableId() const;
  AcDbObjectId dimStyleTableId() const;
  AcDbObjectId modelSpaceId() const;
  AcDbObjectId currentSpaceId() const;
  Acad::ErrorStatus setCurrentSpace(AcDbObjectId blockId);

  // The id of the object with a handle; with createIfNotFound a placeholder id is made that a
  // reader later fills (a forward reference of a drawing file).
  Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& retId, bool createIfNotFound,
                                    const AcDbHandle& objHandle, Adesk::UInt32 xRefId = 0);
  // Adds an object without an owner (dictionaries, fields and other non-entity objects).
  Acad::ErrorStatus addAcDbObject(AcDbObjectId& objId, AcDbObject* pObj);
  Acad::ErrorStatus addAcDbObject(AcDbObject* pObj) { AcDbObjectId id; return addAcDbObject(id, pObj); }

  // Header settings.
  AcDbHandle handseed() const;
  Acad::ErrorStatus setHandseed(const AcDbHandle& handle);
  Adesk::Int16 lunits() const;
  Acad::ErrorStatus setLunits(Adesk::Int16 units);  // 1 to 5
  Adesk::Int16 luprec() const;
  Acad::ErrorStatus setLuprec(Adesk::Int16 prec);   // 0 to 8
  AcDb::UnitsValue insunits() const;
  Acad::ErrorStatus setInsunits(AcDb::UnitsValue units);
  AcDbObjectId textstyle() const;
  Acad::ErrorStatus setTextstyle(AcDbObjectId id);
  AcDbObjectId clayer() const;
  Acad::ErrorStatus setClayer(AcDbObjectId id);
  AcDbObjectId dimstyle() const;
  Acad::ErrorStatus setDimstyle(AcDbObjectId id);
  double textsize() const;
  Acad::ErrorStatus setTextsize(double size);

  // The drawing file this database was read from or saved to ("" for a new drawing).
  Acad::ErrorStatus getFilename(const ACHAR*& pOutput) const;
  Acad::ErrorStatus setFilename(const ACHAR* path);
  // The last entity appended to a block of this drawing.
  AcDbObjectId lastEntityId() const;
  // Number of objects in memory, erased ones included.
  Adesk::Int64 approxNumObjects() const;

 private:
  friend struct AcDbCore;
  AcDbImpDatabase* mpImp;
};

// Summary information of a drawing (the properties a user fills in: title, author, ...).
class ACCORE_PORT AcDbDatabaseSummaryInfo {
 public:
  Acad::ErrorStatus getTitle(AcString& s) const { s = mTitle; return Acad::eOk; }
  Acad::ErrorStatus setTitle(const ACHAR* s) { mTitle = s; return Acad::eOk; }
  Acad::ErrorStatus getSubject(AcString& s) const { s = mSubject; return Acad::eOk; }
  Acad::ErrorStatus setSubject(const ACHAR* s) { mSubject = s; return Acad::eOk; }
  Acad::ErrorStatus getAuthor(AcString& s) const { s = mAuthor; return Acad::eOk; }
  Acad::ErrorStatus setAuthor(const ACHAR* s) { mAuthor = s; return Acad::eOk; }
  Acad::ErrorStatus getKeywords(AcString& s) const { s = mKeywords; return Acad::eOk; }
  Acad::ErrorStatus setKeywords(const ACHAR* s) { mKeywords = s; return Acad::eOk; }
  Acad::ErrorStatus getComments(AcString& s) const { s = mComments; return Acad::eOk; }
  Acad::ErrorStatus setComments(const ACHAR* s) { mComments = s; return Acad::eOk; }
  Acad::ErrorStatus getLastSavedBy(AcString& s) const { s = mLastSavedBy; return Acad::eOk; }
  Acad::ErrorStatus setLastSavedBy(const ACHAR* s) { mLastSavedBy = s; return Acad::eOk; }

 private:
  AcString mTitle, mSubject, mAuthor, mKeywords, mComments, mLastSavedBy;
};
ACCORE_PORT Acad::ErrorStatus acdbGetSummaryInfo(AcDbDatabase* pDb, AcDbDatabaseSummaryInfo*& pInfo);
ACCORE_PORT Acad::ErrorStatus acdbPutSummaryInfo(const AcDbDatabaseSummaryInfo* pInfo, AcDbDatabase* pDb);

class ACCORE_PORT AcDbHostApplicationServices : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbHostApplicationServices);
  // The database that operations without a database argument work on: the current document's
  // unless one was set.
  virtual AcDbDatabase* workingDatabase() const;
  virtual void setWorkingDatabase(AcDbDatabase* pDatabase);
  virtual const ACHAR* program();
  virtual const ACHAR* product();

 private:
  AcDbDatabase* mpWorking = nullptr;
};
ACCORE_PORT AcDbHostApplicationServices* acdbHostApplicationServices();
