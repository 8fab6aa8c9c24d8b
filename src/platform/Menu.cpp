// CMenu: handle mapping and the menu function wrappers.
#include "platform/Menu.h"

#include "platform/HandleMap.h"
#include "platform/ModuleResources.h"
#include "platform/Wnd.h"

#include <memory>

using pellaton::platform::detail::MenuMap;

IMPLEMENT_DYNAMIC(CMenu, CObject)

CMenu::~CMenu()
{
    if (m_bPermanent && m_hMenu != nullptr)
        DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    return MenuMap().FromHandle(hMenu, [](HMENU handle) {
        auto wrapper = std::make_unique<CMenu>();
        wrapper->m_hMenu = handle;
        return wrapper;
    });
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu)
{
    return hMenu != nullptr ? MenuMap().LookupPermanent(hMenu) : nullptr;
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (m_hMenu != nullptr || hMenu == nullptr || !MenuMap().SetPermanent(hMenu, this))
        return FALSE;
    m_hMenu = hMenu;
    m_bPermanent = true;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    if (hMenu != nullptr && m_bPermanent)
        MenuMap().RemovePermanent(hMenu, this);
    m_hMenu = nullptr;
    m_bPermanent = false;
    return hMenu;
}

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    LPCWSTR name = MAKEINTRESOURCEW(nIDResource);
    HMENU hMenu = ::LoadMenuW(AfxFindResourceHandle(name, RT_MENU), name);
    if (hMenu == nullptr)
        return FALSE;
    if (!Attach(hMenu)) {
        ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

BOOL CMenu::CreateMenu()
{
    HMENU hMenu = ::CreateMenu();
    if (hMenu == nullptr || !Attach(hMenu)) {
        if (hMenu != nullptr)
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

BOOL CMenu::CreatePopupMenu()
{
    HMENU hMenu = ::CreatePopupMenu();
    if (hMenu == nullptr || !Attach(hMenu)) {
        if (hMenu != nullptr)
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == nullptr)
        return FALSE;
    return ::DestroyMenu(Detach());
}

CMenu* CMenu::GetSubMenu(int nPos) const
{
    return FromHandle(::GetSubMenu(m_hMenu, nPos));
}

int CMenu::GetMenuItemCount() const
{
    return ::GetMenuItemCount(m_hMenu);
}

UINT CMenu::GetMenuItemID(int nPos) const
{
    return ::GetMenuItemID(m_hMenu, nPos);
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const
{
    return ::GetMenuState(m_hMenu, nID, nFlags);
}

std::wstring CMenu::GetMenuString(UINT nIDItem, UINT nFlags) const
{
    const int length = ::GetMenuStringW(m_hMenu, nIDItem, nullptr, 0, nFlags);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetMenuStringW(m_hMenu, nIDItem, text.data(), length + 1, nFlags);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable)
{
    return static_cast<UINT>(::EnableMenuItem(m_hMenu, nIDEnableItem, nEnable));
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck)
{
    return ::CheckMenuItem(m_hMenu, nIDCheckItem, nCheck);
}

BOOL CMenu::CheckMenuRadioItem(UINT nIDFirst, UINT nIDLast, UINT nIDItem, UINT nFlags)
{
    return ::CheckMenuRadioItem(m_hMenu, nIDFirst, nIDLast, nIDItem, nFlags);
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCWSTR lpszNewItem)
{
    return ::AppendMenuW(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags)
{
    return ::RemoveMenu(m_hMenu, nPosition, nFlags);
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd != nullptr ? pWnd->m_hWnd : nullptr, lpRect);
}
