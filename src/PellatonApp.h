// The application object: it answers the host's messages. At initialisation the base declares
// the module unloadable and MDI aware and registers TE; the settings are loaded after that.
// At unload TE is removed.
#pragma once

#include "host/HostInterface.h"

class CPellatonApp : public AcRxArxApp {
 public:
  CPellatonApp();

  AcRx::AppRetCode On_kInitAppMsg(void* pkt) override;
  AcRx::AppRetCode On_kUnloadAppMsg(void* pkt) override;
  void RegisterServerComponents() override;
};
