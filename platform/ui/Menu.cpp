#include "platform/ui/Menu.h"

#include <map>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Ui.h"

namespace qv::ui {
namespace {

struct MenuData {
  std::vector<MenuItemState> items;
};

std::map<HMENU, MenuData>& Menus() {
  static std::map<HMENU, MenuData> menus;
  return menus;
}
HMENU g_nextMenu = 0;

OpenMenuState g_open;
UINT g_picked = 0;
PopupMenuHook* g_hook = nullptr;

HMENU Make(const std::vector<MenuItemResource>& items) {
  HMENU handle = ++g_nextMenu;
  MenuData data;
  for (const MenuItemResource& item : items) {
    MenuItemState state;
    state.text = item.text;
    state.id = item.id;
    state.separator = item.separator;
    if (!item.popup.empty())
      state.popup = Make(item.popup);
    data.items.push_back(std::move(state));
  }
  Menus()[handle] = std::move(data);
  return handle;
}

void Destroy(HMENU handle) {
  auto it = Menus().find(handle);
  if (it == Menus().end())
    return;
  std::vector<HMENU> popups;
  for (const MenuItemState& item : it->second.items)
    if (item.popup != 0)
      popups.push_back(item.popup);
  Menus().erase(it);
  for (HMENU popup : popups)
    Destroy(popup);
}

const MenuItemState* ItemAt(HMENU menu, int pos) {
  auto it = Menus().find(menu);
  if (it == Menus().end() || pos < 0 || pos >= static_cast<int>(it->second.items.size()))
    return nullptr;
  return &it->second.items[static_cast<std::size_t>(pos)];
}

}  // namespace

std::vector<MenuItemState> MenuItems(HMENU menu) {
  auto it = Menus().find(menu);
  return it == Menus().end() ? std::vector<MenuItemState>() : it->second.items;
}

bool IsMenu(HMENU menu) {
  return Menus().count(menu) != 0;
}

const OpenMenuState& OpenMenu() {
  return g_open;
}

void SetPopupMenuHook(PopupMenuHook* hook) {
  g_hook = hook;
}

bool PickOpenMenu(UINT id, std::string* problem) {
  if (!g_open.open) {
    *problem = "no menu is open";
    return false;
  }
  if (id != 0) {
    bool found = false;
    for (const MenuItemState& item : MenuItems(g_open.menu))
      found = found || (item.id == id && !item.separator && item.popup == 0);
    for (const MenuItemState& item : g_open.hostItems)
      found = found || item.id == id;
    if (!found) {
      *problem = "the open menu has no command " + std::to_string(id);
      return false;
    }
  }
  g_picked = id;
  g_open = OpenMenuState();
  return true;
}

}  // namespace qv::ui

CMenu::~CMenu() {
  if (owned_)
    DestroyMenu();
}

BOOL CMenu::LoadMenu(UINT id) {
  DestroyMenu();
  const qv::ResourceModule* module = qv::CurrentResourceModule();
  const MenuResource* menu = module != nullptr ? module->FindMenu(static_cast<int>(id)) : nullptr;
  if (menu == nullptr)
    return FALSE;
  m_hMenu = qv::ui::Make(menu->items);
  owned_ = true;
  return TRUE;
}

BOOL CMenu::DestroyMenu() {
  subMenus_.clear();
  if (m_hMenu == 0 || !qv::ui::IsMenu(m_hMenu))
    return FALSE;
  qv::ui::Destroy(m_hMenu);
  m_hMenu = 0;
  return TRUE;
}

CMenu* CMenu::GetSubMenu(int pos) {
  const qv::ui::MenuItemState* item = qv::ui::ItemAt(m_hMenu, pos);
  if (item == nullptr || item->popup == 0)
    return nullptr;
  for (const auto& sub : subMenus_)
    if (sub->m_hMenu == item->popup)
      return sub.get();
  auto sub = std::make_unique<CMenu>();
  sub->m_hMenu = item->popup;
  sub->owned_ = false;
  subMenus_.push_back(std::move(sub));
  return subMenus_.back().get();
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const CRect* /*rect*/) {
  if (!qv::ui::IsMenu(m_hMenu) || qv::ui::OpenMenu().open)
    return FALSE;
  std::vector<qv::ui::MenuItemState> hostItems;
  if (qv::ui::g_hook != nullptr)
    hostItems = qv::ui::g_hook->Items(owner);
  qv::ui::g_open = qv::ui::OpenMenuState{
      true, m_hMenu, x, y, flags, owner != nullptr ? owner->Handle() : 0, hostItems};
  qv::ui::g_picked = 0;
  qv::ui::RunMenuLoop();
  UINT picked = qv::ui::g_picked;
  for (const qv::ui::MenuItemState& item : hostItems) {
    if (picked != 0 && item.id == picked && qv::ui::g_hook != nullptr) {
      qv::ui::g_hook->Picked(picked);
      return FALSE;
    }
  }
  if (picked != 0 && owner != nullptr && CWnd::FromHandle(owner->Handle()) == owner)
    owner->SendMessage(WM_COMMAND, MAKEWPARAM(picked, 0));
  return picked != 0 ? TRUE : FALSE;
}
