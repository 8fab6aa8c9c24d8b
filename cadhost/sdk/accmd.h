// Commands: the host's command stack with command groups, global and local names, and flags.
#pragma once

#include "acadstrc.h"
#include "rxregsvc.h"

typedef void (*AcRxFunctionPtr)();

#define ACRX_CMD_MODAL 0x00000000
#define ACRX_CMD_TRANSPARENT 0x00000001
#define ACRX_CMD_USEPICKSET 0x00000002
#define ACRX_CMD_REDRAW 0x00000004
#define ACRX_CMD_NOPERSPECTIVE 0x00000008
#define ACRX_CMD_NOMULTIPLE 0x00000010
#define ACRX_CMD_NOTILEMODE 0x00000020
#define ACRX_CMD_NOPAPERSPACE 0x00000040
#define ACRX_CMD_PLOTONLY 0x00000080
#define ACRX_CMD_NOOEM 0x00000100
#define ACRX_CMD_UNDEFINED 0x00000200
#define ACRX_CMD_INPROGRESS 0x00000400
#define ACRX_CMD_DEFUN 0x00000800
#define ACRX_CMD_NOINTERNALLOCK 0x00004000
#define ACRX_CMD_DOCREADLOCK 0x00080000
#define ACRX_CMD_DOCEXCLUSIVELOCK 0x00100000
#define ACRX_CMD_SESSION 0x00200000
#define ACRX_CMD_INTERRUPTIBLE 0x00400000
#define ACRX_CMD_NOHISTORY 0x00800000
#define ACRX_CMD_NO_UNDO_MARKER 0x01000000
#define ACRX_CMD_NOBEDIT 0x02000000

// A context menu a command may bring; none of the host's own commands here use one.
class AcEdUIContext : public AcRxObject {};

// The module whose resources a command's local name and help come from.
class AcRxResourceInstance {
 public:
  AcRxResourceInstance() = default;
  explicit AcRxResourceInstance(HINSTANCE hInstance) : mInstance(hInstance) {}
  static const AcRxResourceInstance& empty() {
    static const AcRxResourceInstance none;
    return none;
  }
  HINSTANCE instance() const { return mInstance; }
  bool isEmpty() const { return mInstance == nullptr; }

 private:
  HINSTANCE mInstance = nullptr;
};

class ACCORE_PORT AcEdCommand : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEdCommand);
  virtual AcRxFunctionPtr functionAddr() const = 0;
  virtual Adesk::Int32 commandFlags() const = 0;
  virtual const ACHAR* globalName() const = 0;
  virtual const ACHAR* localName() const = 0;
  virtual const ACHAR* groupName() const = 0;
  virtual int functionCode() const = 0;
  virtual AcEdUIContext* UIContext() const = 0;
  virtual const AcRxResourceInstance& resourceInstance() const = 0;
};

class ACCORE_PORT AcEdCommandStack : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEdCommandStack);
  // Adds a command to a group (created when missing). eDuplicateKey when the global or the
  // local name is already taken by any group; eInvalidInput for an empty or blank name.
  virtual Acad::ErrorStatus addCommand(const ACHAR* cmdGroupName, const ACHAR* cmdGlobalName,
                                       const ACHAR* cmdLocalName, Adesk::Int32 commandFlags,
                                       AcRxFunctionPtr functionAddr,
                                       AcEdUIContext* UIContext = nullptr, int fcode = -1,
                                       const AcRxResourceInstance& resourceInstance =
                                           AcRxResourceInstance::empty(),
                                       AcEdCommand** cmdPtrRet = nullptr) = 0;
  virtual Acad::ErrorStatus removeCmd(const ACHAR* cmdGroupName, const ACHAR* cmdGlobalName) = 0;
  virtual Acad::ErrorStatus removeGroup(const ACHAR* groupName) = 0;
  // Lookups ignore letter case. The global lookup accepts the name as registered and, for a
  // name typed with a leading underscore, the name without it.
  virtual AcEdCommand* lookupGlobalCmd(const ACHAR* globalName) = 0;
  virtual AcEdCommand* lookupLocalCmd(const ACHAR* localName) = 0;
  virtual AcEdCommand* lookupCmd(const ACHAR* cmdName, bool globalFlag) = 0;
};

#define acedRegCmds AcEdCommandStack::cast(acrxSysRegistry()->at(ACRX_COMMAND_DOCK))
