// CFormField: one entry of a form, a question or a marker (separator or page break).
// The entry owns its items; copying an entry copies every item.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "forms/FieldItem.h"

class CProfileFile;

class CFormField {
 public:
  using ItemList = std::vector<std::unique_ptr<CFieldItem>>;

  // Kinds.
  static constexpr int kSeparator = 0;
  static constexpr int kPageBreak = 1;
  static constexpr int kQuestion = 2;
  // Control types of a question.
  static constexpr int kEditBox = 0;    // "EDIT"
  static constexpr int kFixedList = 1;  // "LISTBOX", combo box with a fixed list
  static constexpr int kEditList = 2;   // "COMBOBOX", combo box with an edit list
  static constexpr int kNoControl = 3;  // no keyword

  // A question with no control type, not required, without items.
  CFormField();
  // Copies every field and makes a new copy of every item, in order. The program ends when
  // the copies cannot be allocated.
  CFormField(const CFormField& other);
  CFormField& operator=(const CFormField&) = delete;
  ~CFormField();

  // Appends a new item with the text and returns it.
  CFieldItem* AddItem(const std::string& text);

  // Sets the entry from one field line of a form file, using the text operations of
  // `profileFile`. The line's items are appended to the entry's items (callers give a new
  // entry). A line that lacks one of its first four tokens, or an item that cannot be
  // allocated, shows "Field parsing error!" or "Field memory allocation error!" in a plain
  // message box; the entry keeps what was parsed before. Returns this entry, or null (entry
  // unchanged) when no profile file is given.
  CFormField* ParseLine(const CProfileFile* profileFile, const std::string& line);
  // Produces the entry's field line and the value of its FieldNote key (empty for markers).
  // The entry is not changed.
  void ComposeLine(std::string& line, std::string& note) const;

  std::string questionText;   // the label the client user sees
  std::string inventoryName;  // identifier of the answer in the inventory database
  std::string description;    // free help text, stored as the FieldNote value
  ItemList items;             // choices of a combo box, in order
  int controlType = kNoControl;
  int kind = kQuestion;
  bool required = false;
  bool marker = false;  // true exactly when kind is kSeparator or kPageBreak
};
