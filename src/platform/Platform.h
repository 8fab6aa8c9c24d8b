// The dialog framework in one include: run-time classes, message maps, windows, dialogs and the
// modal loop, controls, the Find/Replace dialog, extension-module resources, exceptions and the
// host UI library's dialog classes.
#pragma once

#include "platform/AdUiDialog.h"
#include "platform/CmdTarget.h"
#include "platform/Controls.h"
#include "platform/ControlLayout.h"
#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "platform/DialogPlacement.h"
#include "platform/Exceptions.h"
#include "platform/FindReplaceDialog.h"
#include "platform/Geometry.h"
#include "platform/Menu.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageMap.h"
#include "platform/ModuleResources.h"
#include "platform/RichEditCtrl.h"
#include "platform/RuntimeClass.h"
#include "platform/Wnd.h"
