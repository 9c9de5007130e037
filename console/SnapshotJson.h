// The window tree as the page receives it: qv::ui::Snapshot (platform/ui/Ui.h) as JSON, its
// members named as there, texts in UTF-8.
//
//   {"windows":[W...], "modals":[W...], "menu":M, "drag":D, "status":"...", "waitCursor":b}
//   W = {"className","id","handle","text","rect":{"left","top","right","bottom"},"style",
//        "enabled","focused","isDefault","checked","modified","pixels","closeEnabled",
//        "selection","caret","top","dragList","insertMark",
//        "lines":[s],"checks":[n],"columns":[s],"columnWidths":[n],"rows":[[s]],"images":[s],
//        "buttons":[{"id","image","enabled","checked","tip","tipShown"}],"children":[W...]}
//   M = {"open","x","y","flags","owner","items":[{"text","id","separator","popup"}]}
//   D = {"running","formats":[s],"allowedEffects","over","target","effect"}
//
// Every member of the snapshot, of M and D with a single value, and of W with a single value
// is always there; the arrays of W, M and D are left out when they are empty (a missing one
// reads as []), while "windows" and "modals" are always there. The rectangle is in dialog units
// unless "pixels" is true (the windows a host made rather than dialogs).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/ui/Ui.h"

namespace qv::console {

// The text of the rows of list views, kept from one state to the next. Thousands of rows are
// most of a state (some hundreds of kilobytes), and most states (after an input that changes
// no row, at each timer tick) hold the rows the one before held: their text is reused rather
// than built and written again.
class RowsText {
 public:
  RowsText();

  // A stand-in for `rows` in a snapshot's JSON; the rows' text is kept until Fill.
  nlohmann::json StandIn(const std::vector<std::vector<std::string>>& rows);
  // The same for an array of texts (a list view's names and images).
  nlohmann::json StandIn(const std::vector<std::string>& texts);
  // `text`, a compact dump (indent -1, invalid UTF-8 replaced) of JSON holding the stand-ins
  // made since the last Fill, with the rows' text in their place. What is not used in this
  // round is forgotten.
  void Fill(std::string* text);

 private:
  struct Rows {
    std::vector<std::vector<std::string>> rows;  // one row of texts when `flat`
    bool flat = false;
    std::string text;
  };
  nlohmann::json StandIn(const std::vector<std::vector<std::string>>* rows,
                         const std::vector<std::string>* texts);

  std::string mark_;  // the stand-ins' prefix, unlike any text of a window
  std::vector<Rows> last_;
  std::vector<Rows> now_;
};

// With `rowsText`, the rows of list views are its stand-ins: dump the result compactly and
// fill it.
nlohmann::json SnapshotToJson(const qv::ui::Snapshot& snapshot, RowsText* rowsText = nullptr);

}  // namespace qv::console
