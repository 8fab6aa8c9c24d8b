// The host's side of the core: what the host program (and tests acting as the host) use to
// run the editor: documents, the command line, the selection source, running commands, the
// record of display and lock events, and settings that tests use to check plug-ins.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../sdk/accmd.h"
#include "../sdk/acdocman.h"
#include "../sdk/adscodes.h"
#include "../sdk/dbmain.h"

namespace cadhost {

// ---- Documents --------------------------------------------------------------------------
// Opens a document on a database; the first document becomes current. With takeOwnership the
// document deletes the database when it closes.
ACCORE_PORT AcApDocument* openDocument(AcDbDatabase* db, bool takeOwnership, const std::wstring& title = L"");
ACCORE_PORT void closeDocument(AcApDocument* doc);
ACCORE_PORT void closeAllDocuments();

// ---- Command line -----------------------------------------------------------------------
// Everything printed with acutPrintf since the last take.
ACCORE_PORT std::wstring takeCommandLineOutput();
ACCORE_PORT const std::wstring& commandLineHistory();
// Whether the command line stands at the start of a line (nothing printed yet, or a line end
// last): the host's prompts begin on a line of their own.
ACCORE_PORT bool commandLineAtLineStart();
// Called with each printed piece as it is printed (the host program echoes it to its console).
ACCORE_PORT void setCommandLineEcho(std::function<void(const std::wstring&)> echo);

// ---- Selection --------------------------------------------------------------------------
// What acedSSGet asks when it has to prompt the user.
struct SelectionRequest {
  AcDbDatabase* database = nullptr;
  const ACHAR* prompt = L"Select objects: ";
  // Whether the command takes an entity (it can be selected and passes the command's filter):
  // the prompt counts only what it takes. Valid while the prompt is asked.
  std::function<bool(AcDbObjectId)> accepts = [](AcDbObjectId) { return true; };
};
struct SelectionAnswer {
  bool cancelled = false;
  std::vector<AcDbObjectId> objects;  // in the order the user picked them
};
class SelectionSource {
 public:
  virtual ~SelectionSource() = default;
  virtual SelectionAnswer selectObjects(const SelectionRequest& request) = 0;
};
// The source that answers prompts; none cancels every prompt.
ACCORE_PORT void setSelectionSource(SelectionSource* source);
ACCORE_PORT SelectionSource* selectionSource();

// Whether an entity's layer lets the drawing show it: not frozen, and (when offCounts) not off.
// The drawing window draws what it shows; ALL leaves out frozen layers, a window off ones too.
ACCORE_PORT bool isOnShownLayer(const AcDbEntity* entity, bool offCounts = true);

// Parses one answer line to a selection prompt, as the host's command line accepts it:
// "ALL" every entity of the current space, a handle ("2F") an entity, "L" the last entity,
// "W x1,y1 x2,y2" every entity wholly inside a window, "C x1,y1 x2,y2" every entity crossing or
// inside it. Adds what it finds to objects (without repeats). Returns false with a message for
// an answer it does not understand.
ACCORE_PORT bool parseSelectionAnswer(AcDbDatabase* db, const std::wstring& line,
                                      std::vector<AcDbObjectId>& objects, std::wstring& message);

// Forgets what the user selected before a command.
ACCORE_PORT void clearPickFirst();

// The number of selection sets that are allocated and not yet freed.
ACCORE_PORT int openSelectionSetCount();

// ---- Commands ---------------------------------------------------------------------------
// Runs a command as the command line does: a name with a leading underscore is looked up as a
// global name, otherwise as a local name and then as a global one. Honours the command's
// flags: the pick-first set is kept for commands with ACRX_CMD_USEPICKSET and cleared for the
// others, and cleared after every command; a command that is not transparent is refused with the
// host's message while another command runs. Returns false when no such command exists.
ACCORE_PORT bool runCommand(const std::wstring& name);
// The flags of the command being run, 0 outside commands.
ACCORE_PORT Adesk::Int32 activeCommandFlags();

// ---- Application modules ----------------------------------------------------------------
// What the host program's loader registers with the dynamic linker for each module.
struct ApplicationRecord {
  std::wstring name;   // file name of the module, upper case without folder
  void* appId = nullptr;
  bool unlocked = false;
  bool mdiAware = false;
};
ACCORE_PORT void registerApplication(const std::wstring& name, void* appId);
ACCORE_PORT void unregisterApplication(void* appId);
ACCORE_PORT const ApplicationRecord* findApplication(void* appId);
// The loader the dynamic linker's loadModule and unloadModule use (the host program's).
struct ModuleLoader {
  std::function<bool(const std::wstring& fileName)> load;
  std::function<bool(const std::wstring& fileName)> unload;
};
ACCORE_PORT void setModuleLoader(ModuleLoader loader);

// ---- Events the host records ------------------------------------------------------------
enum class HostEventKind {
  DocumentLocked,        // detail: the lock depth after locking
  DocumentUnlocked,      // detail: the lock depth after unlocking
  GraphicsQueued,        // detail: number of entities queued
  GraphicsFlushed,       // detail: number of entities drawn
  DisplayUpdated,
  Redrawn,
  TextAreasRestored,
  TextAreaWritten,
  DocumentActivationDisabled,
  DocumentActivationEnabled,
  CommandStarted,        // text: the command's global name
  CommandEnded,
};
struct HostEvent {
  HostEventKind kind;
  AcApDocument* document = nullptr;
  long long detail = 0;
  std::wstring text;
};
// The events since the last clear, oldest first; of a long session only the recent ones.
ACCORE_PORT const std::vector<HostEvent>& hostEvents();
ACCORE_PORT void clearHostEvents();
ACCORE_PORT int countHostEvents(HostEventKind kind);
// Called for each event as it happens (the host program repaints its drawing window).
ACCORE_PORT void setHostEventListener(std::function<void(const HostEvent&)> listener);
ACCORE_PORT void recordHostEvent(HostEventKind kind, AcApDocument* doc = nullptr, long long detail = 0,
                                 const std::wstring& text = L"");

// ---- The host's rules for plug-ins ------------------------------------------------------
// Document locks: opening an object for write in a document that is not locked fails with
// eLockViolation, as on the real host. On by default; a test that needs the loose host turns it
// off by name (setRequireDocumentLockForWrite(false)) and says why.
ACCORE_PORT void setRequireDocumentLockForWrite(bool required);
ACCORE_PORT bool requireDocumentLockForWrite();

// Open state: reading a property of a database object that is not open (or after its close),
// writing one that is open only for read (or not at all), and closing an object that is not open
// are faults of the caller. The call is refused (a read gives the property type's empty value, a
// write eNotOpenForWrite, a close eNotOpenForRead) and recorded with the call's name. A host built
// without NDEBUG stops at the first fault with the call's name, as a debug build of the real host
// does; tests check after each test that it caused none.
enum class ProtocolFaultAction { Record, Stop };
ACCORE_PORT void setProtocolFaultAction(ProtocolFaultAction action);
ACCORE_PORT ProtocolFaultAction protocolFaultAction();
// The faults since the last take, oldest first, each as "AcDbText::height: read of a closed object".
ACCORE_PORT std::vector<std::wstring> takeProtocolFaults();
// The number of faults since the host started (the program's count; never reset).
ACCORE_PORT long long protocolFaultCount();

// While one lives, the host's own code (its drawing window, file writer, selection, commands)
// reads objects that it has not opened, as the real host reads its own database.
class ACCORE_PORT HostReadScope {
 public:
  HostReadScope();
  ~HostReadScope();
  HostReadScope(const HostReadScope&) = delete;
  HostReadScope& operator=(const HostReadScope&) = delete;
};
// The number of objects of a database that are open now (for read or write).
ACCORE_PORT int openObjectCount(AcDbDatabase* db);

// A number that grows with every change of a drawing (objects added, changed, erased): the
// host program compares it with the number at the last save to know of unsaved changes.
ACCORE_PORT Adesk::UInt64 drawingChangeCount(const AcDbDatabase* db);

// ---- Host settings ----------------------------------------------------------------------
ACCORE_PORT void setMainWindow(HWND hwnd);
// A fixed clock for the Date field (tests); none: the system clock.
ACCORE_PORT void setFixedClock(std::optional<std::tm> when);
ACCORE_PORT std::tm currentTime();
// The host's standard text areas (acedGrText): -1 status line, -2 mode area.
ACCORE_PORT std::wstring textArea(int box);
ACCORE_PORT void setStandardTextArea(int box, const std::wstring& text);

}  // namespace cadhost
