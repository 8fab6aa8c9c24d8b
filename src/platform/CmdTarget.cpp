// CCmdTarget: the root message map, entry lookup along the chain and command routing.
#include "platform/CmdTarget.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

namespace {

bool EntryMatches(const AFX_MSGMAP_ENTRY& entry, UINT message, UINT nCode, UINT nID)
{
    if (entry.pnRegisteredMessage != nullptr)
        return message != 0 && *entry.pnRegisteredMessage == message;
    if (entry.nMessage != message)
        return false;
    if (message == WM_COMMAND || message == WM_NOTIFY)
        return entry.nCode == nCode && entry.nID <= nID && nID <= entry.nLastID;
    return true;
}

} // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static constexpr AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static constexpr AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfnThunk != nullptr; ++entry) {
            if (EntryMatches(*entry, message, nCode, nID))
                return entry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    const bool isNotify = pExtra != nullptr;
    const UINT message = isNotify ? WM_NOTIFY : WM_COMMAND;
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, static_cast<UINT>(nCode), nID);
    if (entry == nullptr)
        return FALSE;
    if (pHandlerInfo != nullptr) {
        pHandlerInfo->pTarget = this;
        pHandlerInfo->pEntry = entry;
        return TRUE;
    }
    AFX_MSG_CALL call{message, MAKEWPARAM(nID, nCode), 0, nID, static_cast<UINT>(nCode)};
    if (isNotify) {
        auto* notify = static_cast<AFX_NOTIFY*>(pExtra);
        call.wParam = nID;
        call.lParam = reinterpret_cast<LPARAM>(notify->pNMHDR);
        const LRESULT result = entry->pfnThunk(this, call);
        if (notify->pResult != nullptr)
            *notify->pResult = result;
        return TRUE;
    }
    // The handler may end the life of this object (a dialog that destroys itself): nothing
    // touches the object after the call.
    entry->pfnThunk(this, call);
    return TRUE;
}
