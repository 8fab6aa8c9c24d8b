// Symbol tables: blocks (model space, paper space layouts, block definitions), layers, text
// styles and dimension styles. Records are found by name (letter case ignored) and iterated in
// table order; iterators can skip erased records.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dbmain.h"

class AcDbSymbolTableIterator;
class AcDbBlockTableRecordIterator;

#define ACDB_MODEL_SPACE L"*Model_Space"
#define ACDB_PAPER_SPACE L"*Paper_Space"

class ACCORE_PORT AcDbSymbolTableRecord : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbSymbolTableRecord);
  Acad::ErrorStatus getName(ACHAR*& pName) const;  // a copy the caller frees (acutDelString)
  Acad::ErrorStatus getName(const ACHAR*& pName) const;  // the record's own string
  Acad::ErrorStatus getName(AcString& name) const;
  // Renaming checks the name (eInvalidInput when empty, over 255 characters or holding a
  // character the host forbids in names: < > / \ " : ; ? * , = `, a '*' only leading the name of
  // an anonymous block, '|' allowed for records of external references) and, in a table, its
  // uniqueness (eDuplicateKey).
  Acad::ErrorStatus setName(const ACHAR* pName);
  bool isDependent() const;  // a record from an external reference ("XREF|NAME")

 protected:
  AcDbSymbolTableRecord() = default;
  AcDbSymbolTableRecord(const AcDbSymbolTableRecord&) = default;

 private:
  friend struct AcDbCore;
  std::wstring mName;
};

class ACCORE_PORT AcDbSymbolTable : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbSymbolTable);
  Acad::ErrorStatus getAt(const ACHAR* entryName, AcDbObjectId& recordId,
                          bool getErasedRecord = false) const;
  Acad::ErrorStatus getAt(const ACHAR* entryName, AcDbSymbolTableRecord*& pRec,
                          AcDb::OpenMode openMode, bool openErasedRec = false) const;
  bool has(const ACHAR* name) const;
  bool has(AcDbObjectId id) const;
  // Adds a record that is in no database; the table must be open for write. The record is then
  // open for write and the caller closes it. eDuplicateKey when the name is taken.
  Acad::ErrorStatus add(AcDbSymbolTableRecord* pRecord);
  Acad::ErrorStatus add(AcDbObjectId& recordId, AcDbSymbolTableRecord* pRecord);
  Acad::ErrorStatus newIterator(AcDbSymbolTableIterator*& pIterator, bool atBeginning = true,
                                bool skipDeleted = true) const;
  int numRecords(bool includeErased = false) const;

 protected:
  AcDbSymbolTable() = default;
  virtual bool acceptsRecord(const AcDbSymbolTableRecord* pRecord) const = 0;

 private:
  friend struct AcDbCore;
  friend class AcDbSymbolTableIterator;
  std::vector<AcDbObjectId> mRecords;            // table order
  std::map<std::wstring, AcDbObjectId> mByName;  // upper-case name to record
};

class ACCORE_PORT AcDbSymbolTableIterator {
 public:
  virtual ~AcDbSymbolTableIterator() = default;
  void start(bool atBeginning = true, bool skipDeleted = true);
  bool done() const;
  void step(bool forward = true, bool skipDeleted = true);
  Acad::ErrorStatus getRecordId(AcDbObjectId& id) const;
  Acad::ErrorStatus getRecord(AcDbSymbolTableRecord*& pRecord, AcDb::OpenMode openMode = AcDb::kForRead,
                              bool openErasedRec = false) const;
  Acad::ErrorStatus seek(AcDbObjectId id);

 protected:
  friend class AcDbSymbolTable;
  explicit AcDbSymbolTableIterator(const AcDbSymbolTable* pTable) : mpTable(pTable) {}
  void skipErased(bool forward);
  const AcDbSymbolTable* mpTable;
  std::vector<AcDbObjectId> mRecords;  // the records as they were when the iterator started
  long long mIndex = 0;
};

// Typed tables and iterators.
#define ACDB_DECLARE_SYMBOL_TABLE(TABLE, RECORD, ITERATOR)                                      \
  class RECORD;                                                                                \
  class ACCORE_PORT ITERATOR : public AcDbSymbolTableIterator {                                \
   public:                                                                                     \
    Acad::ErrorStatus getRecord(RECORD*& pRecord, AcDb::OpenMode openMode = AcDb::kForRead,    \
                                bool openErasedRec = false) const;                             \
    using AcDbSymbolTableIterator::getRecord;                                                  \
                                                                                               \
   private:                                                                                    \
    friend class TABLE;                                                                        \
    explicit ITERATOR(const AcDbSymbolTable* pTable) : AcDbSymbolTableIterator(pTable) {}      \
  };                                                                                           \
  class ACCORE_PORT TABLE : public AcDbSymbolTable {                                           \
   public:                                                                                     \
    ACRX_DECLARE_MEMBERS(TABLE);                                                               \
    TABLE() = default;                                                                         \
    Acad::ErrorStatus getAt(const ACHAR* entryName, RECORD*& pRec, AcDb::OpenMode openMode,    \
                            bool openErasedRec = false) const;                                 \
    using AcDbSymbolTable::getAt;                                                              \
    Acad::ErrorStatus newIterator(ITERATOR*& pIterator, bool atBeginning = true,               \
                                  bool skipDeleted = true) const;                              \
    using AcDbSymbolTable::newIterator;                                                        \
                                                                                               \
   protected:                                                                                  \
    bool acceptsRecord(const AcDbSymbolTableRecord* pRecord) const override;                   \
  };

ACDB_DECLARE_SYMBOL_TABLE(AcDbBlockTable, AcDbBlockTableRecord, AcDbBlockTableIterator)
ACDB_DECLARE_SYMBOL_TABLE(AcDbLayerTable, AcDbLayerTableRecord, AcDbLayerTableIterator)
ACDB_DECLARE_SYMBOL_TABLE(AcDbTextStyleTable, AcDbTextStyleTableRecord, AcDbTextStyleTableIterator)
ACDB_DECLARE_SYMBOL_TABLE(AcDbDimStyleTable, AcDbDimStyleTableRecord, AcDbDimStyleTableIterator)

// A block: model space, a paper space layout, or a block definition; it owns its entities.
class ACCORE_PORT AcDbBlockTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbBlockTableRecord);
  AcDbBlockTableRecord() = default;
  // Appends an entity that is in no database; the record must be open for write. The entity
  // becomes part of the drawing, open for write (the caller closes it), with a new handle and
  // this record as owner; an entity without a layer goes on the drawing's current layer, a text
  // without a style gets the current text style.
  Acad::ErrorStatus appendAcDbEntity(AcDbEntity* pEntity);
  Acad::ErrorStatus appendAcDbEntity(AcDbObjectId& pOutputId, AcDbEntity* pEntity);
  Acad::ErrorStatus newIterator(AcDbBlockTableRecordIterator*& pIterator, bool atBeginning = true,
                                bool skipDeleted = true) const;
  bool isLayout() const;  // model space or a paper space layout
  bool isAnonymous() const;
  AcDbObjectId getLayoutId() const { return readProperty(mLayoutId, __func__); }
  Acad::ErrorStatus setLayoutId(AcDbObjectId id);
  // The layout's tab name ("Model", "Layout1"); empty for a block definition.
  const ACHAR* layoutName() const { return readProperty(mLayoutName, __func__).c_str(); }
  Acad::ErrorStatus setLayoutName(const ACHAR* name);
  AcGePoint3d origin() const { return readProperty(mOrigin, __func__); }
  Acad::ErrorStatus setOrigin(const AcGePoint3d& p);
  int entityCount(bool includeErased = false) const;

 private:
  friend struct AcDbCore;
  friend class AcDbBlockTableRecordIterator;
  std::vector<AcDbObjectId> mEntities;  // in drawing order, erased ones included
  AcDbObjectId mLayoutId;
  std::wstring mLayoutName;
  AcGePoint3d mOrigin;
};

class ACCORE_PORT AcDbBlockTableRecordIterator {
 public:
  void start(bool atBeginning = true, bool skipDeleted = true);
  bool done() const;
  void step(bool forward = true, bool skipDeleted = true);
  Acad::ErrorStatus getEntityId(AcDbObjectId& entityId) const;
  Acad::ErrorStatus getEntity(AcDbEntity*& pEntity, AcDb::OpenMode openMode = AcDb::kForRead,
                              bool openErasedEntity = false) const;

 private:
  friend class AcDbBlockTableRecord;
  explicit AcDbBlockTableRecordIterator(const AcDbBlockTableRecord* pRecord) : mpRecord(pRecord) {}
  void skipErased(bool forward);
  const AcDbBlockTableRecord* mpRecord;
  size_t mCount = 0;  // entities present when the iterator started
  long long mIndex = 0;
};

class ACCORE_PORT AcDbLayerTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbLayerTableRecord);
  AcDbLayerTableRecord() = default;
  bool isLocked() const { return readProperty(mLocked, __func__); }
  Acad::ErrorStatus setIsLocked(bool locked);
  bool isFrozen() const { return readProperty(mFrozen, __func__); }
  Acad::ErrorStatus setIsFrozen(bool frozen);
  bool isOff() const { return readProperty(mOff, __func__); }
  Acad::ErrorStatus setIsOff(bool off);
  Adesk::UInt16 colorIndex() const { return readProperty(mColorIndex, __func__); }
  Acad::ErrorStatus setColorIndex(Adesk::UInt16 color);

 private:
  friend struct AcDbCore;
  bool mLocked = false, mFrozen = false, mOff = false;
  Adesk::UInt16 mColorIndex = 7;
};

class ACCORE_PORT AcDbTextStyleTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbTextStyleTableRecord);
  AcDbTextStyleTableRecord() = default;
  Acad::ErrorStatus fileName(const ACHAR*& fontFile) const {
    fontFile = readProperty(mFont, __func__).c_str();
    return Acad::eOk;
  }
  Acad::ErrorStatus setFileName(const ACHAR* fontFile);
  Acad::ErrorStatus bigFontFileName(const ACHAR*& fontFile) const {
    fontFile = readProperty(mBigFont, __func__).c_str();
    return Acad::eOk;
  }
  Acad::ErrorStatus setBigFontFileName(const ACHAR* fontFile);
  double textSize() const { return readProperty(mTextSize, __func__); }  // 0: the height is asked for each text
  Acad::ErrorStatus setTextSize(double size);
  double xScale() const { return readProperty(mXScale, __func__); }  // the width factor
  Acad::ErrorStatus setXScale(double factor);
  double obliquingAngle() const { return readProperty(mOblique, __func__); }
  Acad::ErrorStatus setObliquingAngle(double angle);
  double priorSize() const { return readProperty(mPriorSize, __func__); }
  Acad::ErrorStatus setPriorSize(double size);
  bool isShapeFile() const { return readProperty(mShapeFile, __func__); }
  Acad::ErrorStatus setIsShapeFile(bool shape);
  bool isVertical() const { return readProperty(mVertical, __func__); }
  Acad::ErrorStatus setIsVertical(bool vertical);

 private:
  friend struct AcDbCore;
  std::wstring mFont = L"txt", mBigFont;
  double mTextSize = 0, mXScale = 1, mOblique = 0, mPriorSize = 2.5;
  bool mShapeFile = false, mVertical = false;
};

class ACCORE_PORT AcDbDimStyleTableRecord : public AcDbSymbolTableRecord {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDimStyleTableRecord);
  AcDbDimStyleTableRecord() = default;
  double dimtxt() const { return readProperty(mDimtxt, __func__); }
  Acad::ErrorStatus setDimtxt(double h);
  AcDbObjectId dimtxsty() const { return readProperty(mDimtxsty, __func__); }
  Acad::ErrorStatus setDimtxsty(AcDbObjectId id);
  double dimscale() const { return readProperty(mDimscale, __func__); }
  Acad::ErrorStatus setDimscale(double s);
  int dimdec() const { return readProperty(mDimdec, __func__); }
  Acad::ErrorStatus setDimdec(int d);

 private:
  friend struct AcDbCore;
  double mDimtxt = 0.18, mDimscale = 1;
  int mDimdec = 4;
  AcDbObjectId mDimtxsty;
};
