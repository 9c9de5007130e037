// One action of the user as the page sends it, checked and posted to the framework's queue:
//
//   {"kind":"click|text|select|doubleClick|key|drag|check|close|rightClick|hover|menuPick|
//            resize|dragOver|drop|cancelDrag|beginDrag",
//    "target":handle, "index":n, "to":n, "key":VK, "text":"...", "x":n, "y":n}
//
// Only "kind" is always needed; "key" needs "key", "text" needs "text", "menuPick" needs
// "index" (the command, -1 dismisses), "resize" needs "index" and "to" (width and height),
// "dragOver" needs "x" and "y" (a drag of the list view's rows), or "index" (the line of a
// drag list box). Missing members take the defaults of qv::ui::UserInput
// (target 0, index -1, to -1, key 0, point 0,0). The text is UTF-8 and reaches the
// framework as Windows-1252.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace qv::console {

// The longest text the page may send, in UTF-8 bytes.
inline constexpr std::size_t kMaxInputText = 64 * 1024;

// Posts the input (qv::ui::Post) and returns true. Anything else than the shape above (not an
// object, an unknown member or kind, a member of the wrong type, a number that is not an
// integer in int range, a text over kMaxInputText or not well-formed UTF-8 or with a character
// Windows-1252 lacks) gives false with one line in *why, and nothing is posted. Whether the
// target exists and takes the input is for the framework to say when it carries it out.
bool PostInputJson(const nlohmann::json& input, std::string* why);

// How deep the page's JSON may nest: an input is one object, a console command one object
// with a few flat members.
inline constexpr int kMaxJsonDepth = 8;

}  // namespace qv::console
