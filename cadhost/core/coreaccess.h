// Inside the host's core: the object-id stubs, the database's own storage, and the access that
// the core, the drawing-file reader and writer, the host program and the tests have to the
// private state of database objects. Plug-ins never see this header.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "../sdk/acdocman.h"
#include "../sdk/dbdim.h"
#include "../sdk/dbents.h"
#include "../sdk/dbfield.h"
#include "../sdk/dbmain.h"
#include "../sdk/dbsymtb.h"
#include "handleindex.h"

class AcDbImpDatabase;
namespace cadhost_detail {
class UndoHistory;
}

// What an object id points at: one per object, for the life of its database. A stub without an
// object is a forward reference from a drawing file that has not been filled (yet), or an object
// still in its drawing file (deferred): the file's reader makes it when it is first used.
class ACCORE_PORT AcDbStub {
 public:
  AcDbImpDatabase* database = nullptr;
  AcDbHandle handle;

 private:
  mutable AcDbObject* mObject = nullptr;
  // 1 + the loader's number of an object that was left in its file (kept once it is made).
  mutable uint32_t mDeferred = 0;

 public:
  bool erased = false;

  // The object (owned by the database); a deferred one is read from its file now. Null for a
  // forward reference, or when the file can no longer give the object.
  AcDbObject* object() const { return mObject != nullptr || mDeferred == 0 ? mObject : load(); }
  // The object only if it has been made: for passes over every object that may pass by objects
  // still in their file (they are unchanged since the file was read).
  AcDbObject* loaded() const { return mObject; }
  bool isDeferred() const { return mObject == nullptr && mDeferred != 0; }
  // The loader's number for a deferred object.
  uint32_t deferredSlot() const { return mDeferred - 1; }
  // Whether an object stands behind the stub, made or deferred.
  bool hasObject() const { return mObject != nullptr || mDeferred != 0; }
  // Whether the object was made from its file after the file was read (a command used it).
  bool madeFromFile() const { return mObject != nullptr && mDeferred != 0; }
  void setObject(AcDbObject* object) { mObject = object; mDeferred = 0; }
  void setDeferred(uint32_t slot) { mDeferred = slot + 1; }
  void setMadeFromFile(AcDbObject* object) { mObject = object; }
  // Puts another object of the same id in place (undo and redo give an object its earlier or
  // later state this way); where it came from (made, or made from the file) stays as it was.
  void swapObject(AcDbObject*& other) { std::swap(mObject, other); }

 private:
  AcDbObject* load() const;
};

// Makes the objects a drawing file deferred: kept by the database that the file was read into.
class ACCORE_PORT AcDbDeferredLoader {
 public:
  virtual ~AcDbDeferredLoader();
  // The object of a deferred stub, not yet in the database (the stub joins it to the database);
  // null when it cannot be made.
  virtual AcDbObject* load(const AcDbStub& stub) = 0;
  // Whether objects can be made now: not while the file is still being read, when the record of
  // an object may yet be taken by another (an object asked for then is not there, and its stub
  // stays deferred until it can be made).
  virtual bool ready() const { return true; }
  // The class the object of a deferred stub will have.
  virtual AcRxClass* objectClass(const AcDbStub& stub) const = 0;
};

// What a drawing file held for an object, kept by the file reader so that the writer can give it
// back unchanged; copied along when an object is cloned. The core only carries it.
class ACCORE_PORT AcDbStoredRecord {
 public:
  virtual ~AcDbStoredRecord();
  virtual AcDbStoredRecord* cloneRecord() const = 0;
};

// The fields an object keeps, by property name. A field of an object in a database is itself in
// the database (owned by the object); a field of an object outside any database is held here
// until the object is appended.
class AcDbFieldTable {
 public:
  struct Slot {
    std::wstring property;
    AcDbObjectId id;         // when in a database
    AcDbField* pending = nullptr;  // when not
  };
  std::vector<Slot> slots;
  Slot* find(const ACHAR* property);
};

// A database's storage: stubs, the handle index, tables, header settings.
class ACCORE_PORT AcDbImpDatabase {
 public:
  explicit AcDbImpDatabase(AcDbDatabase* pub) : pub(pub), byHandle(stubs) {}
  ~AcDbImpDatabase();

  // A new stub for an object with a handle: 0 takes the next free one from the handle seed.
  // nullptr when the handle is taken.
  AcDbStub* addObject(AcDbObject* object, Adesk::UInt64 handle = 0);
  AcDbStub* findHandle(Adesk::UInt64 handle) const;
  AcDbStub* placeholder(Adesk::UInt64 handle);  // a forward reference, made on first use
  Adesk::UInt64 nextHandle();

  AcDbDatabase* pub;
  std::deque<AcDbStub> stubs;
  AcDbHandleIndex byHandle;  // (after stubs: it refers to them)
  Adesk::UInt64 handseed = 1;
  AcDbObjectId blockTable, layerTable, textStyleTable, dimStyleTable;
  AcDbObjectId modelSpace, currentSpace;
  Adesk::Int16 lunits = 2, luprec = 4;
  AcDb::UnitsValue insunits = AcDb::kUnitsUndefined;
  AcDbObjectId textstyle, clayer, dimstyle;
  double textsize = 2.5;
  std::wstring filename;
  AcDbDatabaseSummaryInfo summary;
  AcDbObjectId lastEntity;
  Adesk::UInt64 changeCount = 0;  // grows with every change of the drawing: added, changed, erased
  std::vector<AcDbObjectId> changedSinceFlush;  // entities to draw at the next graphics flush
  std::unordered_set<AcDbObjectId> queuedForFlush;  // each changed entity once
  // What the drawing file held beyond its objects (sections, order, header), kept by the file
  // reader for the writer; owned. None for a drawing that was not read from a file.
  std::unique_ptr<AcDbStoredRecord> fileRecord;
  // Makes the objects the file reader deferred; none when there are none.
  std::unique_ptr<AcDbDeferredLoader> deferredLoader;
  // The drawing's undo groups (undo.cpp); none until a command first changes the drawing.
  cadhost_detail::UndoHistory* undo = nullptr;
};

// Access to private state for the core's own modules, the file reader and writer, the host
// program and tests. Nothing here checks the open protocol: callers own the consequences.
struct ACCORE_PORT AcDbCore {
  static AcDbImpDatabase* imp(const AcDbDatabase* db) { return db->mpImp; }
  static AcDbStub* stub(const AcDbObject* obj) { return obj->mpStub; }
  static AcDbObject* object(AcDbObjectId id) { return id.stub() ? id.stub()->object() : nullptr; }
  template <class T>
  static T* objectAs(AcDbObjectId id) { return T::cast(object(id)); }

  // Puts an object that is in no database into one, with a given handle (0: a new handle) and
  // owner, without opening it. eHandleInUse when the handle is taken; eAlreadyInDb when the
  // object is already in a database.
  static Acad::ErrorStatus addToDatabase(AcDbDatabase* db, AcDbObject* obj, AcDbObjectId owner,
                                         Adesk::UInt64 handle, AcDbObjectId& id);
  // Adds an entity to a block's list (after addToDatabase), as appendAcDbEntity does.
  static void addEntityToBlock(AcDbBlockTableRecord* block, AcDbObjectId entityId);
  // Gives back what a block's list of entities reserved beyond its entities (after a file is read).
  static void compactEntityList(AcDbBlockTableRecord* block) { block->mEntities.shrink_to_fit(); }
  // Adds a record to a table's list and name index (after addToDatabase).
  static Acad::ErrorStatus addRecordToTable(AcDbSymbolTable* table, AcDbSymbolTableRecord* record);
  static void setErased(AcDbObject* obj, bool erased);
  // Joins an object made by a deferred loader to its stub (not a change of the drawing).
  static void attachDeferred(const AcDbStub& stub, AcDbObject* obj, AcDbObjectId owner);
  static void setOwner(AcDbObject* obj, AcDbObjectId owner) { obj->mOwnerId = owner; }
  static void setLayerId(AcDbEntity* ent, AcDbObjectId layer) { ent->mLayerId = layer; }
  static void setNew(AcDbObject* obj, bool isNew) { obj->mNew = isNew; }
  static Adesk::UInt32 revision(const AcDbObject* obj) { return obj->mRevision; }
  static AcDbStoredRecord* storedRecord(const AcDbObject* obj) { return obj->mpStored; }
  static void setStoredRecord(AcDbObject* obj, AcDbStoredRecord* record);  // takes ownership
  static AcDbFieldTable* fields(const AcDbObject* obj) { return obj->mpFields; }
  static const std::vector<AcDbObjectId>& entities(const AcDbBlockTableRecord* block) { return block->mEntities; }
  static const std::vector<AcDbObjectId>& records(const AcDbSymbolTable* table) { return table->mRecords; }
  // The raw state of a text as a file gave it: both points and the justification, without
  // deriving one point from the other.
  static void setTextPoints(AcDbText* text, const AcGePoint3d& position, const AcGePoint3d& alignment);
  static void setTextJustification(AcDbText* text, AcDb::TextHorzMode h, AcDb::TextVertMode v);
  static void setTextJustificationInPlace(AcDbText* text, AcDb::TextHorzMode h, AcDb::TextVertMode v);
  static void setTextStringRaw(AcDbText* text, const ACHAR* s) { text->mText = s ? s : L""; }
  static void setMTextContentsRaw(AcDbMText* mtext, const ACHAR* s) { mtext->mContents = s ? s : L""; }
  static void setDimensionTextRaw(AcDbDimension* dim, const ACHAR* s) { dim->mText = s ? s : L""; }
  static void beginWrite(AcDbObject* obj);
  // A copy of an object's whole state for undo: its properties, the same fields and owner, the
  // same stub, revision and stored record, not open. Null for a class that cannot be copied.
  static AcDbObject* undoSnapshot(const AcDbObject* obj);
  static void beginRead(AcDbObject* obj);
  static void setFieldCodeRaw(AcDbField* field, const ACHAR* code) { field->mCode = code ? code : L""; }
  // Files a field that is already in the database under a property of an object, as a drawing
  // file reader finds it (the field keeps its own handle and owner); replaces what was there.
  static void attachField(AcDbObject* obj, const ACHAR* property, AcDbObjectId fieldId);
  static void renameRecord(AcDbSymbolTable* table, AcDbSymbolTableRecord* record, const ACHAR* name);
  static const ACHAR* name(const AcDbSymbolTableRecord* record) { return record->mName.c_str(); }
  // What the host reads of records for its own entities, without opening them.
  static bool isLocked(const AcDbLayerTableRecord* layer) { return layer->mLocked; }
  static AcDbObjectId layerIdOf(const AcDbEntity* ent) { return ent->mLayerId; }
  static bool isLayout(const AcDbBlockTableRecord* block);
  static AcGePoint3d origin(const AcDbBlockTableRecord* block) { return block->mOrigin; }
  static int styleDimdec(const AcDbDimStyleTableRecord* style) { return style->mDimdec; }
  // A table's record by name (letter case ignored): null when there is none, or when it is
  // erased and erasedToo is false.
  static AcDbObjectId findRecord(const AcDbSymbolTable* table, const ACHAR* name, bool erasedToo = false);
  static double styleDimtxt(const AcDbDimStyleTableRecord* style) { return style->mDimtxt; }
  static AcDbObjectId styleDimtxsty(const AcDbDimStyleTableRecord* style) { return style->mDimtxsty; }
  static void setTextStyleRaw(AcDbText* text, AcDbObjectId style) { text->mStyle = style; }
  static void setMTextStyleRaw(AcDbMText* mtext, AcDbObjectId style) { mtext->mStyle = style; }
  static void setDimStyleRaw(AcDbDimension* dim, AcDbObjectId style) { dim->mDimStyle = style; }
  // True for what a drawing cannot do without: its tables, layer "0" and the current layer, text
  // style and dimension style, model space and the paper space layouts.
  static bool isProtected(const AcDbObject* obj);
  // True for an erased table record whose name a live record of its table now has.
  static bool nameTakenByAnother(const AcDbObject* obj);
  static void reindexRecord(AcDbObject* obj);
  // Writes a field's value into the text of the object that keeps it.
  static void setFieldValue(AcDbObject* obj, const ACHAR* property, const ACHAR* value);
  // Records an entity as changed for the next graphics flush.
  static void markChanged(AcDbEntity* ent);
  static bool isOpen(const AcDbObject* obj) { return obj->mOpenForWrite || obj->mReaders > 0; }
  static int readers(const AcDbObject* obj) { return obj->mReaders; }
  static bool openForWrite(const AcDbObject* obj) { return obj->mOpenForWrite; }
};

// Access to the document manager's private state.
struct ACCORE_PORT AcApCore {
  static AcApDocManager* makeDocManager();
  static AcApDocument* addDocument(AcDbDatabase* db, bool owns, const std::wstring& title);
  static void removeDocument(AcApDocument* doc);
};

// Declares the run-time class of a host class. COPYABLE classes can be cloned.
#define ACRX_DEFINE_MEMBERS_IMPL(CLASS, PARENT, DXF, COPIER)                  \
  AcRxClass* CLASS::desc() {                                                   \
    static AcRxClass theClass(L## #CLASS, PARENT::desc(), DXF, COPIER);        \
    return &theClass;                                                          \
  }                                                                            \
  AcRxClass* CLASS::isA() const { return CLASS::desc(); }

#define ACRX_DEFINE_ABSTRACT(CLASS, PARENT, DXF) ACRX_DEFINE_MEMBERS_IMPL(CLASS, PARENT, DXF, nullptr)
#define ACRX_DEFINE_COPYABLE(CLASS, PARENT, DXF)                                              \
  ACRX_DEFINE_MEMBERS_IMPL(CLASS, PARENT, DXF, [](const AcRxObject* source) -> AcRxObject* { \
    return new CLASS(*static_cast<const CLASS*>(source));                                     \
  })

// Upper-case copy for the host's case-insensitive names.
ACCORE_PORT std::wstring acdbUpperName(const ACHAR* name);

// The expressions at the top level of a field code: [begin, end) of each %<\ ... >%, nested
// ones kept inside their parents; an unterminated expression and what follows it are plain text.
ACCORE_PORT std::vector<std::pair<size_t, size_t>> acdbTopLevelFieldExpressions(const std::wstring& code);
