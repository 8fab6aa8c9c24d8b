// The application object, its command table and the module's exported entry point.
#include "PellatonApp.h"

#include "Settings.h"
#include "TECommand.h"

namespace {

// The module's commands: TE alone, the same in every build.
const AcRxArxCommandEntry kCommandTable[] = {
    {L"Pellaton", L"_TE", L"TE", ACRX_CMD_USEPICKSET | ACRX_CMD_INTERRUPTIBLE, TECommand, nullptr, 0},
};

CPellatonApp theApp;

}  // namespace

CPellatonApp::CPellatonApp() : AcRxArxApp(kCommandTable, static_cast<int>(std::size(kCommandTable))) {}

AcRx::AppRetCode CPellatonApp::On_kInitAppMsg(void* pkt) {
  const AcRx::AppRetCode result = AcRxArxApp::On_kInitAppMsg(pkt);  // registers TE
  LoadSettings();  // its status is of no further use: missing values have their defaults
  return result;
}

AcRx::AppRetCode CPellatonApp::On_kUnloadAppMsg(void* pkt) { return AcRxArxApp::On_kUnloadAppMsg(pkt); }

void CPellatonApp::RegisterServerComponents() {}

// The host's one call into the module: every message goes to the application object.
extern "C" __declspec(dllexport) AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* pkt) {
  return theApp.acrxEntryPoint(msg, pkt);
}
