// CCmdTarget: the base of every object with a message map. It owns the root of the map chain
// and the routing of commands and notifications (OnCmdMsg) through the chain.
#pragma once

#include "platform/MessageMap.h"
#include "platform/RuntimeClass.h"

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Routes a command (WM_COMMAND: nCode is CN_COMMAND for menus and accelerators, else the
    // control's notification code; pExtra null) or a notification (WM_NOTIFY: nCode is the
    // notification code, pExtra an AFX_NOTIFY) to the first matching entry of the map chain.
    // With pHandlerInfo, only reports whether a handler exists (and which) without calling it.
    // Returns TRUE when a handler was found.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    // The most derived map entry that handles message (with command/notification code and id
    // for WM_COMMAND and WM_NOTIFY), or null.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT nCode, UINT nID) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
