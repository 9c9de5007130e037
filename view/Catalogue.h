// The form catalogue: the rows of the console's list (one to add a new form, one per form
// file in the forms share, one per form group), the order in which they are shown and how
// that order is kept in the application profile ("Item0", "Item1", ... in its top-level
// section), and the document's form map from form name to form file.
//
// The console view owns one of these over its list control and document; qvccfg makes one
// for a listing.
#pragma once

#include <string>

#include "platform/ui/ListCtrl.h"

class CCustomDoc;

// Item data of the rows.
inline constexpr DWORD_PTR kItemAddNewForm = static_cast<DWORD_PTR>(-2);
inline constexpr DWORD_PTR kItemForm = 3;
inline constexpr DWORD_PTR kItemGroup = 4;
// Image indices of the rows.
inline constexpr int kImageAddNewForm = 0;
inline constexpr int kImageForm = 1;
inline constexpr int kImageGroup = 2;

// One name of the working list that a fill builds.
class CCatalogName {
 public:
  explicit CCatalogName(std::string name) : m_name(std::move(name)) {}
  std::string m_name;
};

class CFormCatalogue {
 public:
  // formsSharePath is "\\<core server>\qvlogon\" (with its final backslash).
  CFormCatalogue(CListCtrl& list, CCustomDoc& document, std::string formsSharePath);

  // Fills the empty list and rebuilds the form map.
  void FillCatalogue();
  // Rewrites the saved order from the rows, after deleting row `rowToDelete` unless it is 0.
  void SaveOrder(int rowToDelete);
  // True when `name` is in the form map; out then holds the file's FormDescription (and is
  // unchanged when the file has none).
  bool GetFormDescription(const std::string& name, std::string& out) const;

 private:
  CListCtrl& list_;
  CCustomDoc& document_;
  std::string formsSharePath_;
};
