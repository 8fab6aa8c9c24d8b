// The window and menu handle maps, the per-thread modal depth, and the idle-time release of
// temporary wrappers.
#include "platform/HandleMap.h"

#include "platform/Menu.h"
#include "platform/Wnd.h"

namespace pellaton::platform::detail {

int& ModalDepth() noexcept
{
    thread_local int depth = 0;
    return depth;
}

HandleMap<HWND, CWnd>& WindowMap()
{
    static HandleMap<HWND, CWnd> map;
    return map;
}

HandleMap<HMENU, CMenu>& MenuMap()
{
    static HandleMap<HMENU, CMenu> map;
    return map;
}

} // namespace pellaton::platform::detail

void AfxDeleteTempMap()
{
    using namespace pellaton::platform::detail;
    WindowMap().DeleteTemporaries(ModalDepth());
    MenuMap().DeleteTemporaries(ModalDepth());
}

std::size_t AfxGetTempMapCount()
{
    using namespace pellaton::platform::detail;
    return WindowMap().TemporaryCount() + MenuMap().TemporaryCount();
}
