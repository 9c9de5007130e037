#include "console/SnapshotJson.h"

#include "tools/text/Cp1252.h"

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

json WindowToJson(const ui::WindowState& w) {
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
      {"style", w.style},
      {"enabled", w.enabled},
      {"focused", w.focused},
      {"isDefault", w.isDefault},
      {"checked", w.checked},
      {"modified", w.modified},
      {"pixels", w.pixels},
      {"selection", w.selection},
      {"caret", w.caret},
      {"top", w.top},
      {"insertMark", w.insertMark},
  };
  PutArray(&out, "lines", Texts(w.lines));
  PutArray(&out, "checks", json(w.checks));
  PutArray(&out, "columns", Texts(w.columns));
  PutArray(&out, "columnWidths", json(w.columnWidths));
  json rows = json::array();
  for (const std::vector<std::string>& row : w.rows)
    rows.push_back(Texts(row));
  PutArray(&out, "rows", std::move(rows));
  PutArray(&out, "images", Texts(w.images));
  json buttons = json::array();
  for (const ui::ToolButtonState& b : w.buttons)
    buttons.push_back({{"id", b.id},
                       {"image", Cp1252ToUtf8(b.image)},
                       {"enabled", b.enabled},
                       {"checked", b.checked},
                       {"tip", Cp1252ToUtf8(b.tip)}});
  PutArray(&out, "buttons", std::move(buttons));
  json children = json::array();
  for (const ui::WindowState& child : w.children)
    children.push_back(WindowToJson(child));
  PutArray(&out, "children", std::move(children));
  return out;
}

json WindowsToJson(const std::vector<ui::WindowState>& windows) {
  json out = json::array();
  for (const ui::WindowState& w : windows)
    out.push_back(WindowToJson(w));
  return out;
}

}  // namespace

json SnapshotToJson(const ui::Snapshot& snapshot) {
  json items = json::array();
  for (const ui::MenuState::Item& item : snapshot.menu.items)
    items.push_back({{"text", Cp1252ToUtf8(item.text)},
                     {"id", item.id},
                     {"separator", item.separator},
                     {"popup", item.popup}});
  json menu = {{"open", snapshot.menu.open},
               {"x", snapshot.menu.x},
               {"y", snapshot.menu.y},
               {"flags", snapshot.menu.flags},
               {"owner", snapshot.menu.owner}};
  PutArray(&menu, "items", std::move(items));
  const ui::DragState& d = snapshot.drag;
  json drag = {{"running", d.running},
               {"allowedEffects", d.allowedEffects},
               {"over", d.over},
               {"target", d.target},
               {"effect", d.effect}};
  PutArray(&drag, "formats", Texts(d.formats));
  return {{"windows", WindowsToJson(snapshot.windows)},
          {"modals", WindowsToJson(snapshot.modals)},
          {"menu", std::move(menu)},
          {"drag", std::move(drag)},
          {"status", Cp1252ToUtf8(snapshot.status)},
          {"waitCursor", snapshot.waitCursor}};
}

}  // namespace qv::console
