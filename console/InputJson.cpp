#include "console/InputJson.h"

#include <climits>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/ui/Ui.h"
#include "tools/common/Cp1252.h"

namespace qv::console {
namespace {

using nlohmann::json;

constexpr std::pair<const char*, UserInput::Kind> kKinds[] = {
    {"click", UserInput::kClick},
    {"text", UserInput::kText},
    {"select", UserInput::kSelect},
    {"doubleClick", UserInput::kDoubleClick},
    {"key", UserInput::kKey},
    {"drag", UserInput::kDrag},
    {"check", UserInput::kCheck},
    {"close", UserInput::kClose},
    {"rightClick", UserInput::kRightClick},
    {"hover", UserInput::kHover},
    {"menuPick", UserInput::kMenuPick},
    {"resize", UserInput::kResize},
    {"dragOver", UserInput::kDragOver},
    {"drop", UserInput::kDrop},
    {"cancelDrag", UserInput::kCancelDrag},
    {"columnWidth", UserInput::kColumnWidth},
    {"beginDrag", UserInput::kBeginDrag},
};

constexpr const char* kMembers[] = {"kind",  "target", "index", "to", "key",
                                    "shift", "alt",    "text",  "x",  "y"};

bool Fail(std::string* why, std::string line) {
  if (why != nullptr)
    *why = std::move(line);
  return false;
}

// A name from the page, safe for one line of a log: at most 40 printable ASCII characters.
std::string Printable(const std::string& name) {
  std::string out;
  for (char ch : name.substr(0, 40))
    out.push_back(ch >= 0x20 && ch < 0x7F ? ch : '?');
  return out;
}

// The member as an int: absent is nullopt; present but not an integer in int range fails.
bool Integer(const json& input, const char* name, std::optional<int>* out, std::string* why) {
  auto it = input.find(name);
  if (it == input.end())
    return true;
  if (it->is_number_unsigned()) {
    if (it->get<std::uint64_t>() > static_cast<std::uint64_t>(INT_MAX))
      return Fail(why, std::string("\"") + name + "\" is out of range");
    *out = static_cast<int>(it->get<std::uint64_t>());
    return true;
  }
  if (it->is_number_integer()) {
    std::int64_t v = it->get<std::int64_t>();
    if (v < INT_MIN || v > INT_MAX)
      return Fail(why, std::string("\"") + name + "\" is out of range");
    *out = static_cast<int>(v);
    return true;
  }
  return Fail(why, std::string("\"") + name + "\" is not an integer");
}

}  // namespace

bool PostInputJson(const json& input, std::string* why) {
  if (!input.is_object())
    return Fail(why, "the input is not an object");
  for (const auto& member : input.items()) {
    bool known = false;
    for (const char* name : kMembers)
      known = known || member.key() == name;
    if (!known)
      return Fail(why, "unknown member \"" + Printable(member.key()) + "\"");
  }
  auto kindMember = input.find("kind");
  if (kindMember == input.end() || !kindMember->is_string())
    return Fail(why, "\"kind\" is missing or not a string");
  std::optional<UserInput::Kind> kind;
  for (const auto& [name, value] : kKinds)
    if (kindMember->get_ref<const std::string&>() == name)
      kind = value;
  if (!kind)
    return Fail(why, "unknown kind");

  std::optional<int> target, index, to, key, x, y;
  if (!Integer(input, "target", &target, why) || !Integer(input, "index", &index, why) ||
      !Integer(input, "to", &to, why) || !Integer(input, "key", &key, why) ||
      !Integer(input, "x", &x, why) || !Integer(input, "y", &y, why))
    return false;

  UserInput out;
  out.kind = *kind;
  if (auto text = input.find("text"); text != input.end()) {
    if (!text->is_string())
      return Fail(why, "\"text\" is not a string");
    const std::string& utf8 = text->get_ref<const std::string&>();
    if (utf8.size() > kMaxInputText)
      return Fail(why, "\"text\" is longer than " + std::to_string(kMaxInputText) + " bytes");
    // Typed or pasted text keeps every character: one Windows-1252 cannot hold becomes "?".
    if (!text::Utf8ToCp1252Replacing(utf8, &out.text))
      return Fail(why, "\"text\" is not well-formed UTF-8");
  } else if (*kind == UserInput::kText) {
    return Fail(why, "a text input needs \"text\"");
  }
  if (*kind == UserInput::kKey && !key)
    return Fail(why, "a key input needs \"key\"");
  if (*kind == UserInput::kMenuPick && !index)
    return Fail(why, "a menu pick needs \"index\"");
  if (*kind == UserInput::kResize && (!index || !to))
    return Fail(why, "a resize needs \"index\" and \"to\"");
  if (*kind == UserInput::kColumnWidth && (!index || !to))
    return Fail(why, "a column width needs \"index\" and \"to\"");
  if (*kind == UserInput::kDragOver && (!x || !y) && !index)
    return Fail(why, "a drag over needs \"x\" and \"y\", or \"index\"");

  out.target = target.value_or(0);
  out.index = index.value_or(-1);
  out.to = to.value_or(-1);
  out.key = key.value_or(0);
  for (auto [name, flag] :
       {std::pair{"shift", UserInput::kShift}, std::pair{"alt", UserInput::kAlt}}) {
    auto held = input.find(name);
    if (held == input.end())
      continue;
    if (!held->is_boolean())
      return Fail(why, std::string("\"") + name + "\" is not a boolean");
    if (held->get<bool>())
      out.modifiers |= flag;
  }
  out.point = CPoint{x.value_or(0), y.value_or(0)};
  ui::Post(out);
  return true;
}

}  // namespace qv::console
