#include "console/SnapshotJson.h"

#include <random>

#include "platform/ui/ListCtrl.h"
#include "platform/ui/Menu.h"
#include "tools/common/Cp1252.h"

namespace qv::console {
namespace {

using nlohmann::json;
using text::Cp1252ToUtf8;

json Texts(const std::vector<std::string>& texts) {
  json out = json::array();
  for (const std::string& t : texts)
    out.push_back(Cp1252ToUtf8(t));
  return out;
}

// Leaves the member out when the array is empty.
void PutArray(json* out, const char* name, json array) {
  if (!array.empty())
    (*out)[name] = std::move(array);
}

json RowsJson(const std::vector<std::vector<std::string>>& rows) {
  json out = json::array();
  for (const std::vector<std::string>& row : rows)
    out.push_back(Texts(row));
  return out;
}

// What a control draws as, named from its class and style bits so that the page reads no
// bits: a button "push", "check", "radio" or "group"; a static "text", "icon" or "etched"; an
// edit box "singleLine" or "multiLine"; a list box "list" or "checkList"; a list view "icon",
// "report", "smallIcon" or "list"; "" for any other window.
std::string KindOf(const ui::WindowState& w) {
  if (w.className == "Button") {
    switch (w.style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        return "push";
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return "check";
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return "radio";
      case BS_GROUPBOX:
        return "group";
      default:
        return "";
    }
  }
  if (w.className == "Static") {
    if ((w.style & SS_TYPEMASK) == SS_ICON)
      return "icon";
    if ((w.style & SS_TYPEMASK) == SS_ETCHEDHORZ)
      return "etched";
    return "text";
  }
  if (w.className == "Edit")
    return (w.style & ES_MULTILINE) != 0 ? "multiLine" : "singleLine";
  if (w.className == "ListBox")
    return !w.checks.empty() || (w.style & LBS_OWNERDRAWFIXED) != 0 ? "checkList" : "list";
  if (w.className == "SysListView32") {
    static const char* const kViews[] = {"icon", "report", "smallIcon", "list"};
    return kViews[w.style & LVS_TYPEMASK];
  }
  return "";
}

// Where a pop-up menu opened, from its TPM_ alignment.
const char* AlignOf(UINT flags) {
  if ((flags & TPM_CENTERALIGN) != 0)
    return "center";
  return (flags & TPM_RIGHTALIGN) != 0 ? "right" : "left";
}

json WindowToJson(const ui::WindowState& w, RowsText* rowsText) {
  json out = {
      {"className", Cp1252ToUtf8(w.className)},
      {"id", w.id},
      {"handle", w.handle},
      {"text", Cp1252ToUtf8(w.text)},
      {"rect",
       {{"left", w.rect.left},
        {"top", w.rect.top},
        {"right", w.rect.right},
        {"bottom", w.rect.bottom}}},
      {"kind", KindOf(w)},
      {"visible", (w.style & WS_VISIBLE) != 0},
      {"tabStop", (w.style & WS_TABSTOP) != 0},
      {"enabled", w.enabled},
      {"focused", w.focused},
      {"isDefault", w.isDefault},
      {"takesReturn", w.takesReturn},
      {"checked", w.checked},
      {"modified", w.modified},
      {"pixels", w.pixels},
      {"closeEnabled", w.closeEnabled},
      {"selection", w.selection},
      {"caret", w.caret},
      {"top", w.top},
      {"dragList", w.dragList},
      {"insertMark", w.insertMark},
  };
  // A list view's thousands of rows, with their names and images, are kept as text.
  auto put = [&](const char* name, const std::vector<std::string>& texts) {
    if (rowsText != nullptr && !w.rows.empty() && !texts.empty())
      out[name] = rowsText->StandIn(texts);
    else
      PutArray(&out, name, Texts(texts));
  };
  put("lines", w.lines);
  PutArray(&out, "checks", json(w.checks));
  PutArray(&out, "columns", Texts(w.columns));
  PutArray(&out, "columnWidths", json(w.columnWidths));
  if (!w.rows.empty())
    out["rows"] = rowsText != nullptr ? rowsText->StandIn(w.rows) : RowsJson(w.rows);
  put("images", w.images);
  json buttons = json::array();
  for (const ui::ToolButtonState& b : w.buttons)
    buttons.push_back({{"id", b.id},
                       {"image", Cp1252ToUtf8(b.image)},
                       {"enabled", b.enabled},
                       {"checked", b.checked},
                       {"tip", Cp1252ToUtf8(b.tip)},
                       {"tipShown", b.tipShown}});
  PutArray(&out, "buttons", std::move(buttons));
  json children = json::array();
  for (const ui::WindowState& child : w.children)
    children.push_back(WindowToJson(child, rowsText));
  PutArray(&out, "children", std::move(children));
  return out;
}

json WindowsToJson(const std::vector<ui::WindowState>& windows, RowsText* rowsText) {
  json out = json::array();
  for (const ui::WindowState& w : windows)
    out.push_back(WindowToJson(w, rowsText));
  return out;
}

std::string Dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

RowsText::RowsText() {
  std::random_device random;
  static const char kDigits[] = "0123456789abcdef";
  mark_ = "\x01rows-";
  for (int i = 0; i < 16; ++i)
    mark_ += kDigits[random() & 15];
  mark_ += '-';
}

json RowsText::StandIn(const std::vector<std::vector<std::string>>& rows) {
  return StandIn(&rows, nullptr);
}

json RowsText::StandIn(const std::vector<std::string>& texts) {
  return StandIn(nullptr, &texts);
}

// One of `rows` and `texts` (a flat array) is given.
json RowsText::StandIn(const std::vector<std::vector<std::string>>* rows,
                       const std::vector<std::string>* texts) {
  std::string name = mark_ + std::to_string(now_.size());
  for (std::vector<Rows>* kept : {&now_, &last_}) {
    for (Rows& r : *kept) {
      if (texts != nullptr ? r.flat && r.rows.size() == 1 && r.rows[0] == *texts
                           : !r.flat && r.rows == *rows) {
        now_.push_back(kept == &now_ ? r : std::move(r));
        return name;
      }
    }
  }
  if (texts != nullptr)
    now_.push_back({{*texts}, true, Dump(Texts(*texts))});
  else
    now_.push_back({*rows, false, Dump(RowsJson(*rows))});
  return name;
}

void RowsText::Fill(std::string* text) {
  for (std::size_t i = 0; i < now_.size(); ++i) {
    // Dumped, the mark's first character is written as an escape.
    std::string standIn = Dump(mark_ + std::to_string(i));
    std::size_t at = text->find(standIn);
    if (at != std::string::npos)
      text->replace(at, standIn.size(), now_[i].text);
  }
  last_ = std::move(now_);
  now_.clear();
}

json SnapshotToJson(const ui::Snapshot& snapshot, RowsText* rowsText) {
  json items = json::array();
  for (const ui::MenuState::Item& item : snapshot.menu.items)
    items.push_back({{"text", Cp1252ToUtf8(item.text)},
                     {"id", item.id},
                     {"separator", item.separator},
                     {"popup", item.popup}});
  json menu = {{"open", snapshot.menu.open},
               {"x", snapshot.menu.x},
               {"y", snapshot.menu.y},
               {"align", AlignOf(snapshot.menu.flags)},
               {"owner", snapshot.menu.owner}};
  PutArray(&menu, "items", std::move(items));
  const ui::DragState& d = snapshot.drag;
  json drag = {{"running", d.running},
               {"allowedEffects", d.allowedEffects},
               {"over", d.over},
               {"target", d.target},
               {"effect", d.effect}};
  PutArray(&drag, "formats", Texts(d.formats));
  return {{"windows", WindowsToJson(snapshot.windows, rowsText)},
          {"modals", WindowsToJson(snapshot.modals, rowsText)},
          {"menu", std::move(menu)},
          {"drag", std::move(drag)},
          {"status", Cp1252ToUtf8(snapshot.status)},
          {"waitCursor", snapshot.waitCursor}};
}

}  // namespace qv::console
