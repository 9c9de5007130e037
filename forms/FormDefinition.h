// CFormDefinition: the content of a form, its name, description and ordered entries.
// The definition owns its entries; entry objects keep their address while they stay in the
// list, so callers may refer to them by pointer. Entries are counted from 0.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "forms/FormField.h"

class CFormDefinition {
 public:
  using FieldList = std::vector<std::unique_ptr<CFormField>>;

  CFormDefinition() = default;
  CFormDefinition(const CFormDefinition&) = delete;
  CFormDefinition& operator=(const CFormDefinition&) = delete;

  int GetCount() const { return static_cast<int>(entries_.size()); }
  const FieldList& Entries() const { return entries_; }

  // The entry at `index`; an index below 0 is taken as 0. Null at or beyond the end, and
  // for an empty list.
  CFormField* GetAt(int index) const;
  // Position of the entry in the list, or -1 when it is not in the list.
  int IndexOf(const CFormField* entry) const;

  // Takes the entry and puts it at the end; returns it.
  CFormField* Append(std::unique_ptr<CFormField> entry);
  // Takes the entry and puts it right after `after`; at the end when `after` is null or not
  // in the list. Returns it.
  CFormField* InsertAfter(const CFormField* after, std::unique_ptr<CFormField> entry);

  // Moves `moving` so that it stands right before `target`: a copy of `moving` is inserted
  // before the target (at the front when the target is not in the list), then `moving` is
  // removed and destroyed, so callers must not keep the old pointer. Returns the copy, which
  // now stands in the list. Null and no change when `moving` is not in the list or the copy
  // cannot be allocated.
  CFormField* MoveBefore(const CFormField* target, const CFormField* moving);
  // Unlinks and destroys the entry when it is in the list; otherwise does nothing.
  void Remove(const CFormField* entry);

  std::string formName;         // the form's identity, shown in the console
  std::string formDescription;  // free text shown beside the name

 private:
  FieldList entries_;
};
