// The host's system registry of named services ("DynamicLinker", "ACAD_REGISTERED_COMMANDS"),
// the dynamic linker that keeps track of loaded applications, and the application messages.
#pragma once

#include "acadstrc.h"
#include "rxobject.h"

namespace AcRx {
enum AppMsgCode {
  kNullMsg = 0,
  kInitAppMsg = 1,
  kUnloadAppMsg = 2,
  kLoadDwgMsg = 3,
  kUnloadDwgMsg = 4,
  kInvkSubrMsg = 5,
  kCfgMsg = 6,
  kEndMsg = 7,
  kQuitMsg = 8,
  kSaveMsg = 9,
  kDependencyMsg = 10,
  kNoDependencyMsg = 11,
  kOleUnloadAppMsg = 12,
  kPreQuitMsg = 13,
  kInitDialogMsg = 14,
  kEndDialogMsg = 15,
  kSuspendMsg = 16
};
enum AppRetCode { kRetOK = 0, kRetError = 3 };
}  // namespace AcRx

#define ACRX_DYNAMIC_LINKER L"DynamicLinker"
#define ACRX_COMMAND_DOCK L"ACAD_REGISTERED_COMMANDS"

class ACCORE_PORT AcRxDictionary : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxDictionary);
  virtual AcRxObject* at(const ACHAR* key) const = 0;
  virtual AcRxObject* atPut(const ACHAR* key, AcRxObject* pObject) = 0;
  virtual bool has(const ACHAR* key) const = 0;
  virtual AcRxObject* remove(const ACHAR* key) = 0;
  virtual Adesk::UInt32 numEntries() const = 0;
};

// The system registry: a dictionary of the host's services.
ACCORE_PORT AcRxDictionary* acrxSysRegistry();

class ACCORE_PORT AcRxDynamicLinker : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxDynamicLinker);
  // appId is the packet of the initialisation message: the application's id.
  virtual bool unlockApplication(void* appId) const = 0;
  virtual bool lockApplication(void* appId) const = 0;
  virtual bool isApplicationLocked(const ACHAR* appName) const = 0;
  virtual bool registerAppMDIAware(void* appId) const = 0;
  virtual bool registerAppNotMDIAware(void* appId) const = 0;
  virtual bool isAppMDIAware(const ACHAR* appName) const = 0;
  // Loads an application module (on the host program only) and returns whether it was loaded.
  virtual bool loadModule(const ACHAR* fileName, bool printit, bool asCmd = false) = 0;
  virtual bool unloadModule(const ACHAR* fileName, bool asCmd = false) = 0;
};

#define acrxDynamicLinker AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER))
