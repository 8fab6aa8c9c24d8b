// The TE command; see TECommand.h.
#include "TECommand.h"

#include "ModuleState.h"
#include "TEDialog/TEDialog.h"
#include "host/HostInterface.h"

void TECommand() {
  resbuf* filter = acutBuildList(-4, L"<or", RTDXF0, L"TEXT", RTDXF0, L"MTEXT", RTDXF0, L"DIMENSION", -4, L"or>", 0);
  if (g_pEditorDialog == nullptr) g_pEditorDialog = new CTEDialog(CWnd::FromHandle(adsw_acadMainWnd()), nullptr);

  // A selection made before the command serves instead of the prompt (the command takes the
  // pick-first set); a cancelled or empty selection ends the run here.
  if (acedSSGet(nullptr, nullptr, nullptr, filter, g_pEditorDialog->SelectionSet()) == RTNORM) {
    // No other drawing can become current while the editor works on this one.
    acDocManagerPtr()->disableDocumentActivation();
    if (g_pEditorDialog->ClassifySelection()) g_pEditorDialog->RunEditorDialog();
    acDocManagerPtr()->enableDocumentActivation();

    acedGrText(-3, nullptr, 0);
    acedRedraw(nullptr, 0);
    acedSSFree(g_pEditorDialog->SelectionSet());
  }

  delete g_pEditorDialog;
  g_pEditorDialog = nullptr;
  acutRelRb(filter);
}

void RefreshDisplay() {
  AcApDocument* document = acDocManagerPtr()->curDocument();
  if (document == nullptr) return;  // no drawing is shown
  AcTransactionManager* transactions = document->transactionManager();
  transactions->queueForGraphicsFlush();
  transactions->flushGraphics();
  acedUpdateDisplay();
}
