// Documents: the document manager, document locks, the graphics flush of the transaction
// manager, and the display calls, all of which the host records as events.
#include <algorithm>
#include <map>

#include "../sdk/acedads.h"
#include "coreaccess.h"
#include "documentstate.h"
#include "hostservices.h"

ACRX_DEFINE_ABSTRACT(AcApDocument, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcApDocManager, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcDbTransactionManager, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcTransactionManager, AcDbTransactionManager, L"")

namespace {
struct HostState {
  std::vector<cadhost::HostEvent> events;
  std::function<void(const cadhost::HostEvent&)> listener;
  bool requireLock = true;  // as on the real host
  HWND mainWindow = nullptr;
  std::map<int, std::wstring> textAreas, standardTextAreas;
};
HostState& state() {
  static HostState s;
  return s;
}
}  // namespace

// ---- Documents --------------------------------------------------------------------------

AcApDocument::AcApDocument(AcDbDatabase* pDb, bool ownsDatabase)
    : mpDb(pDb), mOwnsDatabase(ownsDatabase), mpTransactionManager(new AcTransactionManager(pDb)) {}

AcApDocument::~AcApDocument() {
  delete mpTransactionManager;
  if (mOwnsDatabase) delete mpDb;
}

const ACHAR* AcApDocument::fileName() const {
  const ACHAR* name = L"";
  if (mpDb) mpDb->getFilename(name);
  return name;
}

const ACHAR* AcApDocument::docTitle() const { return mTitle.c_str(); }

AcAp::DocLockMode AcApDocument::lockMode(bool) const { return mLockDepth > 0 ? AcAp::kWrite : AcAp::kNotLocked; }

bool AcApDocument::isQuiescent() const { return mLockDepth == 0 && cadhost::activeCommandFlags() == 0; }

AcApDocManager::~AcApDocManager() = default;

AcApDocManager* acDocManagerPtr() {
  static AcApDocManager* manager = AcApCore::makeDocManager();
  return manager;
}

AcApDocManager* AcApCore::makeDocManager() { return new AcApDocManager; }

AcApDocument* AcApDocManager::document(const AcDbDatabase* pDb) const {
  for (AcApDocument* doc : mDocs)
    if (doc->database() == pDb) return doc;
  return nullptr;
}

int AcApDocManager::documentCount() const { return static_cast<int>(mDocs.size()); }
AcApDocument* AcApDocManager::documentAt(int index) const {
  return index >= 0 && index < documentCount() ? mDocs[static_cast<size_t>(index)] : nullptr;
}

Acad::ErrorStatus AcApDocManager::lockDocument(AcApDocument* pDoc, AcAp::DocLockMode, const ACHAR*, const ACHAR*, bool) {
  if (pDoc == nullptr || std::find(mDocs.begin(), mDocs.end(), pDoc) == mDocs.end()) return Acad::eNoDocument;
  ++pDoc->mLockDepth;
  cadhost::recordHostEvent(cadhost::HostEventKind::DocumentLocked, pDoc, pDoc->mLockDepth);
  return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::unlockDocument(AcApDocument* pDoc) {
  if (pDoc == nullptr || std::find(mDocs.begin(), mDocs.end(), pDoc) == mDocs.end()) return Acad::eNoDocument;
  if (pDoc->mLockDepth == 0) return Acad::eNotApplicable;
  --pDoc->mLockDepth;
  cadhost::recordHostEvent(cadhost::HostEventKind::DocumentUnlocked, pDoc, pDoc->mLockDepth);
  return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::setCurDocument(AcApDocument* pDoc, AcAp::DocLockMode mode, bool activate) {
  if (pDoc == nullptr || std::find(mDocs.begin(), mDocs.end(), pDoc) == mDocs.end()) return Acad::eNoDocument;
  if (pDoc != mpCurrent && mActivationDisabled > 0) return Acad::eDocumentSwitchDisabled;
  mpCurrent = pDoc;
  if (mode != AcAp::kNone) lockDocument(pDoc, mode);
  (void)activate;
  return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::activateDocument(AcApDocument* pDoc, bool) { return setCurDocument(pDoc, AcAp::kNone, true); }

Acad::ErrorStatus AcApDocManager::disableDocumentActivation() {
  ++mActivationDisabled;
  cadhost::recordHostEvent(cadhost::HostEventKind::DocumentActivationDisabled, mpCurrent, mActivationDisabled);
  return Acad::eOk;
}

Acad::ErrorStatus AcApDocManager::enableDocumentActivation() {
  if (mActivationDisabled == 0) return Acad::eNotApplicable;
  --mActivationDisabled;
  cadhost::recordHostEvent(cadhost::HostEventKind::DocumentActivationEnabled, mpCurrent, mActivationDisabled);
  return Acad::eOk;
}

AcApDocument* AcApCore::addDocument(AcDbDatabase* db, bool owns, const std::wstring& title) {
  AcApDocManager* manager = acDocManagerPtr();
  auto* doc = new AcApDocument(db, owns);
  doc->mTitle = title;
  manager->mDocs.push_back(doc);
  if (manager->mpCurrent == nullptr) manager->mpCurrent = doc;
  return doc;
}

void AcApCore::removeDocument(AcApDocument* doc) {
  AcApDocManager* manager = acDocManagerPtr();
  auto& docs = manager->mDocs;
  const auto it = std::find(docs.begin(), docs.end(), doc);
  if (it == docs.end()) return;
  docs.erase(it);
  if (manager->mpCurrent == doc) manager->mpCurrent = docs.empty() ? nullptr : docs.front();
  if (acdbHostApplicationServices()->workingDatabase() == doc->database())
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  delete doc;
}

namespace cadhost_detail {
AcApDocument* documentOf(const AcDbDatabase* db) { return acDocManagerPtr()->document(db); }
bool isDatabaseLocked(const AcDbDatabase* db) {
  const AcApDocument* doc = documentOf(db);
  return doc == nullptr || doc->lockDepth() > 0;
}
}  // namespace cadhost_detail

// ---- Document locks ---------------------------------------------------------------------

AcAxDocLock::AcAxDocLock() {
  AcApDocument* doc = acDocManagerPtr()->curDocument();
  lock(doc ? doc->database() : nullptr, kNormal);
}

AcAxDocLock::AcAxDocLock(const AcDbObjectId& objectId, DocLockType lockType) { lock(objectId.database(), lockType); }

AcAxDocLock::AcAxDocLock(AcDbDatabase* pDatabase, DocLockType lockType) { lock(pDatabase, lockType); }

void AcAxDocLock::lock(AcDbDatabase* pDatabase, DocLockType lockType) {
  AcApDocManager* manager = acDocManagerPtr();
  AcApDocument* doc = pDatabase ? manager->document(pDatabase) : nullptr;
  if (doc == nullptr) {
    mStatus = Acad::eNoDocument;
    return;
  }
  if (doc != manager->curDocument()) {
    if (lockType != kCurDocSwitch) {
      mStatus = Acad::eNotCurrentDatabase;
      return;
    }
    mpPreviousCurrent = manager->curDocument();
    if ((mStatus = manager->setCurDocument(doc)) != Acad::eOk) {
      mpPreviousCurrent = nullptr;
      return;
    }
  }
  mStatus = manager->lockDocument(doc, AcAp::kWrite);
  if (mStatus == Acad::eOk) mpDoc = doc;
}

AcAxDocLock::~AcAxDocLock() {
  if (mpDoc != nullptr) acDocManagerPtr()->unlockDocument(mpDoc);
  if (mpPreviousCurrent != nullptr) acDocManagerPtr()->setCurDocument(mpPreviousCurrent);
}

// ---- Graphics flush ---------------------------------------------------------------------

Acad::ErrorStatus AcDbTransactionManager::queueForGraphicsFlush() {
  if (mpDb == nullptr) return Acad::eNoDatabase;
  AcDbImpDatabase* imp = AcDbCore::imp(mpDb);
  imp->queuedForFlush.insert(imp->changedSinceFlush.begin(), imp->changedSinceFlush.end());
  imp->changedSinceFlush.clear();
  cadhost::recordHostEvent(cadhost::HostEventKind::GraphicsQueued, acDocManagerPtr()->document(mpDb),
                           static_cast<long long>(imp->queuedForFlush.size()));
  return Acad::eOk;
}

Acad::ErrorStatus AcDbTransactionManager::flushGraphics() {
  if (mpDb == nullptr) return Acad::eNoDatabase;
  AcDbImpDatabase* imp = AcDbCore::imp(mpDb);
  const long long drawn = static_cast<long long>(imp->queuedForFlush.size());
  imp->queuedForFlush.clear();
  cadhost::recordHostEvent(cadhost::HostEventKind::GraphicsFlushed, acDocManagerPtr()->document(mpDb), drawn);
  return Acad::eOk;
}

// ---- Display calls ----------------------------------------------------------------------

void acedUpdateDisplay() {
  cadhost::recordHostEvent(cadhost::HostEventKind::DisplayUpdated, acDocManagerPtr()->curDocument());
}

int acedRedraw(const ads_name ent, int mode) {
  std::wstring what;
  if (ent != nullptr && !ads_name_nil(ent)) {
    AcDbObjectId id;
    if (acdbGetObjectId(id, ent) != Acad::eOk) return RTERROR;
    ACHAR handle[20];
    id.handle().getIntoAsciiBuffer(handle, 20);
    what = handle;
  }
  cadhost::recordHostEvent(cadhost::HostEventKind::Redrawn, acDocManagerPtr()->curDocument(), mode, what);
  return RTNORM;
}

int acedGrText(int box, const ACHAR* text, int hl) {
  HostState& s = state();
  if (box < -2) {
    s.textAreas = s.standardTextAreas;
    cadhost::recordHostEvent(cadhost::HostEventKind::TextAreasRestored, acDocManagerPtr()->curDocument());
    return RTNORM;
  }
  s.textAreas[box] = text ? text : L"";
  cadhost::recordHostEvent(cadhost::HostEventKind::TextAreaWritten, acDocManagerPtr()->curDocument(), box, s.textAreas[box]);
  (void)hl;
  return RTNORM;
}

HWND adsw_acadMainWnd() { return state().mainWindow; }

namespace cadhost {

AcApDocument* openDocument(AcDbDatabase* db, bool takeOwnership, const std::wstring& title) {
  return AcApCore::addDocument(db, takeOwnership, title);
}

void closeDocument(AcApDocument* doc) { AcApCore::removeDocument(doc); }

void closeAllDocuments() {
  while (AcApDocument* doc = acDocManagerPtr()->documentAt(0)) AcApCore::removeDocument(doc);
}

const std::vector<HostEvent>& hostEvents() { return state().events; }
void clearHostEvents() { state().events.clear(); }
int countHostEvents(HostEventKind kind) {
  return static_cast<int>(std::count_if(state().events.begin(), state().events.end(),
                                        [kind](const HostEvent& e) { return e.kind == kind; }));
}
void setHostEventListener(std::function<void(const HostEvent&)> listener) { state().listener = std::move(listener); }
void recordHostEvent(HostEventKind kind, AcApDocument* doc, long long detail, const std::wstring& text) {
  HostState& s = state();
  // A host that runs for days keeps the recent events only: past the limit the older half goes.
  constexpr size_t kKeptEvents = size_t(1) << 18;
  if (s.events.size() >= kKeptEvents) s.events.erase(s.events.begin(), s.events.begin() + kKeptEvents / 2);
  s.events.push_back({kind, doc, detail, text});
  if (s.listener) s.listener(s.events.back());
}

void setRequireDocumentLockForWrite(bool required) { state().requireLock = required; }
bool requireDocumentLockForWrite() { return state().requireLock; }

int openObjectCount(AcDbDatabase* db) {
  if (db == nullptr) return 0;
  int count = 0;
  for (const AcDbStub& stub : AcDbCore::imp(db)->stubs)
    if (stub.loaded() && AcDbCore::isOpen(stub.loaded())) ++count;  // a deferred object is not open
  return count;
}

void setMainWindow(HWND hwnd) { state().mainWindow = hwnd; }

Adesk::UInt64 drawingChangeCount(const AcDbDatabase* db) { return db ? AcDbCore::imp(db)->changeCount : 0; }

std::wstring textArea(int box) {
  const auto it = state().textAreas.find(box);
  return it == state().textAreas.end() ? std::wstring() : it->second;
}

void setStandardTextArea(int box, const std::wstring& text) {
  state().standardTextAreas[box] = text;
  state().textAreas[box] = text;
}

}  // namespace cadhost
