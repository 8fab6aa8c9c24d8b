// The application base classes a module derives its one application object from. The base
// answers the host's messages: it declares the module unloadable and aware of several open
// drawings, registers the module's commands from its command table at initialisation, removes
// them at unload, and answers every other message with success.
#pragma once

#include "accmd.h"
#include "acedads.h"
#include "rxregsvc.h"

// One command of a module's command table.
struct AcRxArxCommandEntry {
  const ACHAR* groupName;
  const ACHAR* globalName;
  const ACHAR* localName;
  Adesk::Int32 commandFlags;
  AcRxFunctionPtr function;
  AcEdUIContext* uiContext;
  unsigned int localNameResourceId;  // 0: the local name is given as text
};

// One AutoLISP function of a module's function table.
// The module's instance handle, which the module records when it is attached to the process
// (every module defines it, next to its DllMain).
extern "C" HINSTANCE _hdllInstance;

struct AcRxArxLispEntry {
  const ACHAR* name;
  int (*function)();
};

class AcRxDbxApp {
 public:
  AcRxDbxApp() = default;
  virtual ~AcRxDbxApp() = default;

  // The host's message dispatch: codes 0 to 15 call their handler, any other code returns
  // kRetOK without calling anything.
  AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt) {
    switch (msg) {
      case AcRx::kInitAppMsg: return On_kInitAppMsg(pkt);
      case AcRx::kUnloadAppMsg: return On_kUnloadAppMsg(pkt);
      case AcRx::kLoadDwgMsg: return On_kLoadDwgMsg(pkt);
      case AcRx::kUnloadDwgMsg: return On_kUnloadDwgMsg(pkt);
      case AcRx::kInvkSubrMsg: return On_kInvkSubrMsg(pkt);
      case AcRx::kCfgMsg: return On_kCfgMsg(pkt);
      case AcRx::kEndMsg: return On_kEndMsg(pkt);
      case AcRx::kQuitMsg: return On_kQuitMsg(pkt);
      case AcRx::kSaveMsg: return On_kSaveMsg(pkt);
      case AcRx::kDependencyMsg: return On_kDependencyMsg(pkt);
      case AcRx::kNoDependencyMsg: return On_kNoDependencyMsg(pkt);
      case AcRx::kOleUnloadAppMsg: return On_kOleUnloadAppMsg(pkt);
      case AcRx::kPreQuitMsg: return On_kPreQuitMsg(pkt);
      case AcRx::kInitDialogMsg: return On_kInitDialogMsg(pkt);
      case AcRx::kEndDialogMsg: return On_kEndDialogMsg(pkt);
      case AcRx::kNullMsg: return On_kNullMsg(pkt);
      default: return AcRx::kRetOK;
    }
  }

  // One handler per message, in this order, then the server-components hook.
  virtual AcRx::AppRetCode On_kInitAppMsg(void* pkt);
  virtual AcRx::AppRetCode On_kUnloadAppMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kLoadDwgMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kUnloadDwgMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kInvkSubrMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kCfgMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kEndMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kQuitMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kSaveMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kDependencyMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kNoDependencyMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kOleUnloadAppMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kPreQuitMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kInitDialogMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kEndDialogMsg(void*) { return AcRx::kRetOK; }
  virtual AcRx::AppRetCode On_kNullMsg(void*) { return AcRx::kRetOK; }
  virtual void RegisterServerComponents() {}

  HINSTANCE GetModuleInstance() const { return m_hdllInstance; }
  bool IsUnlocked() const { return m_bUnlocked; }
  bool IsMDIAware() const { return m_bMDIAware; }

 protected:
  HINSTANCE m_hdllInstance = nullptr;
  bool m_bUnlocked = true;
  bool m_bMDIAware = true;
};

inline AcRx::AppRetCode AcRxDbxApp::On_kInitAppMsg(void* pkt) {
  m_hdllInstance = _hdllInstance;
  AcRxObject* pLinker = acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER);
  if (pLinker != nullptr && pLinker->isKindOf(AcRxDynamicLinker::desc())) {
    const AcRxDynamicLinker* pDynamicLinker = static_cast<AcRxDynamicLinker*>(pLinker);
    if (m_bUnlocked) pDynamicLinker->unlockApplication(pkt);
    if (m_bMDIAware) pDynamicLinker->registerAppMDIAware(pkt);
  }
  RegisterServerComponents();
  // No custom classes in the class table: the class tree needs no rebuilding.
  return AcRx::kRetOK;
}

class AcRxArxApp : public AcRxDbxApp {
 public:
  AcRxArxApp(const AcRxArxCommandEntry* commands, int commandCount,
             const AcRxArxLispEntry* lispFunctions = nullptr, int lispCount = 0)
      : mpCommands(commands), mCommandCount(commandCount), mpLisp(lispFunctions), mLispCount(lispCount) {}

  AcRx::AppRetCode On_kInitAppMsg(void* pkt) override {
    const AcRx::AppRetCode result = AcRxDbxApp::On_kInitAppMsg(pkt);
    if (AcEdCommandStack* pStack = commandStack()) {
      for (int i = 0; i < mCommandCount; ++i) {
        const AcRxArxCommandEntry& e = mpCommands[i];
        pStack->addCommand(e.groupName, e.globalName, e.localName, e.commandFlags, e.function,
                           e.uiContext, -1, AcRxResourceInstance(m_hdllInstance), nullptr);
      }
    }
    return result;
  }
  AcRx::AppRetCode On_kUnloadAppMsg(void* pkt) override {
    if (AcEdCommandStack* pStack = commandStack()) {
      for (int i = 0; i < mCommandCount; ++i)
        pStack->removeCmd(mpCommands[i].groupName, mpCommands[i].globalName);
    }
    return AcRxDbxApp::On_kUnloadAppMsg(pkt);
  }
  // AutoLISP functions are defined per drawing; the host asks for the invoked one by its code.
  AcRx::AppRetCode On_kInvkSubrMsg(void* pkt) override {
    const int code = acedGetFunCode();
    if (code >= 0 && code < mLispCount && mpLisp[code].function != nullptr) mpLisp[code].function();
    return AcRxDbxApp::On_kInvkSubrMsg(pkt);
  }

 private:
  static AcEdCommandStack* commandStack() {
    AcRxObject* p = acrxSysRegistry()->at(ACRX_COMMAND_DOCK);
    return (p != nullptr && p->isKindOf(AcEdCommandStack::desc())) ? static_cast<AcEdCommandStack*>(p)
                                                                   : nullptr;
  }
  const AcRxArxCommandEntry* mpCommands;
  int mCommandCount;
  const AcRxArxLispEntry* mpLisp;
  int mLispCount;
};
