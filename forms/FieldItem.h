// CFieldItem: one choice of a combo box question. Only the text is stored in the form file;
// the two pending flags live only while the item list dialog is open.
#pragma once

#include <string>

class CFieldItem {
 public:
  explicit CFieldItem(const std::string& itemText = "") : text(itemText) {}
  CFieldItem(const CFieldItem& other) = default;
  CFieldItem& operator=(const CFieldItem& other) = default;

  std::string text;            // the choice as shown in the combo box
  bool pendingDelete = false;  // deleted in the open item list dialog, not yet confirmed
  bool pendingAdd = false;     // added in the open item list dialog, not yet confirmed
};
