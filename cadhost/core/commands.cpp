// The system registry, the dynamic linker that keeps the applications' records, the command
// stack, and running commands.
#include <algorithm>
#include <map>
#include <memory>

#include "../sdk/accmd.h"
#include "../sdk/acedads.h"
#include "../sdk/acutads.h"
#include "coreaccess.h"
#include "hostservices.h"

ACRX_DEFINE_ABSTRACT(AcRxDictionary, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcRxDynamicLinker, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcEdCommand, AcRxObject, L"")
ACRX_DEFINE_ABSTRACT(AcEdCommandStack, AcRxObject, L"")

namespace {

bool isBlank(const ACHAR* s) {
  if (s == nullptr) return true;
  for (; *s; ++s)
    if (!std::iswspace(*s)) return false;
  return true;
}

std::wstring upper(const ACHAR* s) { return acdbUpperName(s); }

// ---- Registry ---------------------------------------------------------------------------

class SystemRegistry : public AcRxDictionary {
 public:
  AcRxObject* at(const ACHAR* key) const override {
    const auto it = mEntries.find(upper(key));
    return it == mEntries.end() ? nullptr : it->second;
  }
  AcRxObject* atPut(const ACHAR* key, AcRxObject* pObject) override {
    AcRxObject*& slot = mEntries[upper(key)];
    AcRxObject* previous = slot;
    slot = pObject;
    return previous;
  }
  bool has(const ACHAR* key) const override { return mEntries.count(upper(key)) != 0; }
  AcRxObject* remove(const ACHAR* key) override {
    const auto it = mEntries.find(upper(key));
    if (it == mEntries.end()) return nullptr;
    AcRxObject* removed = it->second;
    mEntries.erase(it);
    return removed;
  }
  Adesk::UInt32 numEntries() const override { return static_cast<Adesk::UInt32>(mEntries.size()); }

 private:
  std::map<std::wstring, AcRxObject*> mEntries;
};

// ---- Applications -----------------------------------------------------------------------

struct Applications {
  std::vector<cadhost::ApplicationRecord> records;
  cadhost::ModuleLoader loader;
  cadhost::ApplicationRecord* find(void* appId) {
    for (auto& r : records)
      if (r.appId == appId) return &r;
    return nullptr;
  }
  cadhost::ApplicationRecord* findByName(const ACHAR* name) {
    std::wstring wanted = upper(name);
    const size_t slash = wanted.find_last_of(L"\\/");
    if (slash != std::wstring::npos) wanted.erase(0, slash + 1);
    for (auto& r : records)
      if (r.name == wanted) return &r;
    return nullptr;
  }
};
Applications& applications() {
  static Applications apps;
  return apps;
}

class DynamicLinker : public AcRxDynamicLinker {
 public:
  bool unlockApplication(void* appId) const override { return set(appId, &cadhost::ApplicationRecord::unlocked, true); }
  bool lockApplication(void* appId) const override { return set(appId, &cadhost::ApplicationRecord::unlocked, false); }
  bool isApplicationLocked(const ACHAR* appName) const override {
    const cadhost::ApplicationRecord* r = applications().findByName(appName);
    return r != nullptr && !r->unlocked;
  }
  bool registerAppMDIAware(void* appId) const override { return set(appId, &cadhost::ApplicationRecord::mdiAware, true); }
  bool registerAppNotMDIAware(void* appId) const override { return set(appId, &cadhost::ApplicationRecord::mdiAware, false); }
  bool isAppMDIAware(const ACHAR* appName) const override {
    const cadhost::ApplicationRecord* r = applications().findByName(appName);
    return r != nullptr && r->mdiAware;
  }
  bool loadModule(const ACHAR* fileName, bool, bool) override {
    return applications().loader.load && fileName && applications().loader.load(fileName);
  }
  bool unloadModule(const ACHAR* fileName, bool) override {
    return applications().loader.unload && fileName && applications().loader.unload(fileName);
  }

 private:
  static bool set(void* appId, bool cadhost::ApplicationRecord::*flag, bool value) {
    cadhost::ApplicationRecord* r = applications().find(appId);
    if (r == nullptr) return false;
    r->*flag = value;
    return true;
  }
};

// ---- Commands ---------------------------------------------------------------------------

class Command : public AcEdCommand {
 public:
  Command(const ACHAR* group, const ACHAR* global, const ACHAR* local, Adesk::Int32 flags, AcRxFunctionPtr fn,
          AcEdUIContext* context, int fcode, const AcRxResourceInstance& resources)
      : mGroup(group), mGlobal(global), mLocal(local), mFlags(flags), mFunction(fn), mContext(context),
        mFunctionCode(fcode), mResources(resources) {}
  AcRxFunctionPtr functionAddr() const override { return mFunction; }
  Adesk::Int32 commandFlags() const override { return mFlags; }
  const ACHAR* globalName() const override { return mGlobal.c_str(); }
  const ACHAR* localName() const override { return mLocal.c_str(); }
  const ACHAR* groupName() const override { return mGroup.c_str(); }
  int functionCode() const override { return mFunctionCode; }
  AcEdUIContext* UIContext() const override { return mContext; }
  const AcRxResourceInstance& resourceInstance() const override { return mResources; }

 private:
  std::wstring mGroup, mGlobal, mLocal;
  Adesk::Int32 mFlags;
  AcRxFunctionPtr mFunction;
  AcEdUIContext* mContext;
  int mFunctionCode;
  AcRxResourceInstance mResources;
};

class CommandStack : public AcEdCommandStack {
 public:
  Acad::ErrorStatus addCommand(const ACHAR* group, const ACHAR* global, const ACHAR* local, Adesk::Int32 flags,
                               AcRxFunctionPtr fn, AcEdUIContext* context, int fcode,
                               const AcRxResourceInstance& resources, AcEdCommand** cmdPtrRet) override {
    if (cmdPtrRet) *cmdPtrRet = nullptr;
    if (isBlank(group) || isBlank(global) || fn == nullptr) return Acad::eInvalidInput;
    if (isBlank(local)) local = global;
    for (const auto& c : mCommands)
      if (upper(c->globalName()) == upper(global) || upper(c->localName()) == upper(local)) return Acad::eDuplicateKey;
    mCommands.push_back(std::make_unique<Command>(group, global, local, flags, fn, context, fcode, resources));
    if (cmdPtrRet) *cmdPtrRet = mCommands.back().get();
    return Acad::eOk;
  }

  Acad::ErrorStatus removeCmd(const ACHAR* group, const ACHAR* global) override {
    const auto it = std::find_if(mCommands.begin(), mCommands.end(), [&](const auto& c) {
      return upper(c->groupName()) == upper(group) && upper(c->globalName()) == upper(global);
    });
    if (it == mCommands.end()) return Acad::eKeyNotFound;
    mCommands.erase(it);
    return Acad::eOk;
  }

  Acad::ErrorStatus removeGroup(const ACHAR* group) override {
    const size_t before = mCommands.size();
    std::erase_if(mCommands, [&](const auto& c) { return upper(c->groupName()) == upper(group); });
    return mCommands.size() == before ? Acad::eKeyNotFound : Acad::eOk;
  }

  AcEdCommand* lookupGlobalCmd(const ACHAR* globalName) override {
    const std::wstring wanted = upper(globalName);
    for (const auto& c : mCommands)
      if (upper(c->globalName()) == wanted) return c.get();
    if (!wanted.empty() && wanted[0] == L'_') return lookupGlobalCmd(globalName + 1);
    return nullptr;
  }

  AcEdCommand* lookupLocalCmd(const ACHAR* localName) override {
    const std::wstring wanted = upper(localName);
    for (const auto& c : mCommands)
      if (upper(c->localName()) == wanted) return c.get();
    return nullptr;
  }

  AcEdCommand* lookupCmd(const ACHAR* name, bool globalFlag) override {
    return globalFlag ? lookupGlobalCmd(name) : lookupLocalCmd(name);
  }

 private:
  std::vector<std::unique_ptr<Command>> mCommands;
};

struct Services {
  SystemRegistry registry;
  DynamicLinker linker;
  CommandStack commands;
  Adesk::Int32 activeFlags = 0;
  Services() {
    registry.atPut(ACRX_DYNAMIC_LINKER, &linker);
    registry.atPut(ACRX_COMMAND_DOCK, &commands);
  }
};
Services& services() {
  static Services s;
  return s;
}

}  // namespace

AcRxDictionary* acrxSysRegistry() { return &services().registry; }

int acedGetFunCode() { return -1; }  // this host defines no AutoLISP functions of its own

namespace cadhost {

bool runCommand(const std::wstring& typed) {
  Services& s = services();
  AcEdCommand* command = nullptr;
  if (!typed.empty() && typed[0] == L'_') {
    command = s.commands.lookupGlobalCmd(typed.c_str());
  } else {
    command = s.commands.lookupLocalCmd(typed.c_str());
    if (command == nullptr) command = s.commands.lookupGlobalCmd(typed.c_str());
  }
  if (command == nullptr) return false;
  // As on the real host, a command that is not transparent cannot start inside another command
  // (a dialog of a running command, say, cannot start a second one).
  if (s.activeFlags != 0 && (command->commandFlags() & ACRX_CMD_TRANSPARENT) == 0) {
    acutPrintf(L"%s** That command may not be invoked transparently **\n", commandLineAtLineStart() ? L"" : L"\n");
    return true;
  }
  // The pick-first set serves only commands that ask for it.
  if ((command->commandFlags() & ACRX_CMD_USEPICKSET) == 0) clearPickFirst();
  const std::wstring name = command->globalName();
  const AcRxFunctionPtr function = command->functionAddr();  // the command may remove itself
  const Adesk::Int32 previous = s.activeFlags;
  s.activeFlags = command->commandFlags() | ACRX_CMD_INPROGRESS;
  recordHostEvent(HostEventKind::CommandStarted, acDocManagerPtr()->curDocument(), 0, name);
  function();
  s.activeFlags = previous;
  clearPickFirst();
  recordHostEvent(HostEventKind::CommandEnded, acDocManagerPtr()->curDocument(), 0, name);
  return true;
}

Adesk::Int32 activeCommandFlags() { return services().activeFlags; }

void registerApplication(const std::wstring& name, void* appId) {
  std::wstring key = upper(name.c_str());
  const size_t slash = key.find_last_of(L"\\/");
  if (slash != std::wstring::npos) key.erase(0, slash + 1);
  applications().records.push_back({key, appId, false, false});
}

void unregisterApplication(void* appId) {
  auto& records = applications().records;
  std::erase_if(records, [appId](const ApplicationRecord& r) { return r.appId == appId; });
}

const ApplicationRecord* findApplication(void* appId) { return applications().find(appId); }

void setModuleLoader(ModuleLoader loader) { applications().loader = std::move(loader); }

}  // namespace cadhost
