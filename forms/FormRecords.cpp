// The in-memory records of a form: CFieldException, CFormField, CFormDefinition and the
// parts of CCustomForm that do not touch the form file (those are in FormFile.cpp).
#include <cstdlib>
#include <new>

#include "forms/CustomForm.h"
#include "forms/FieldException.h"
#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

// A form's parts could not be allocated: the program cannot go on. Shows `message` first
// when there is one.
[[noreturn]] void EndProgramForMemory(const std::string& message) {
  if (!message.empty())
    AfxMessageBox(message, MB_OK);
  std::abort();
}

}  // namespace

CFieldException::CFieldException(UINT messageId)
    : message_(LoadResString(messageId)), messageId_(messageId) {}

CFormField::CFormField() = default;

CFormField::CFormField(const CFormField& other)
    : questionText(other.questionText),
      inventoryName(other.inventoryName),
      description(other.description),
      controlType(other.controlType),
      kind(other.kind),
      required(other.required),
      marker(other.marker) {
  try {
    items.reserve(other.items.size());
    for (const auto& item : other.items)
      items.push_back(std::make_unique<CFieldItem>(*item));
  } catch (const std::bad_alloc&) {
    EndProgramForMemory("");
  }
}

CFormField::~CFormField() = default;

CFieldItem* CFormField::AddItem(const std::string& text) {
  items.push_back(std::make_unique<CFieldItem>(text));
  return items.back().get();
}

CFormField* CFormDefinition::GetAt(int index) const {
  if (index < 0)
    index = 0;
  if (index >= GetCount())
    return nullptr;
  return entries_[static_cast<std::size_t>(index)].get();
}

int CFormDefinition::IndexOf(const CFormField* entry) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entry != nullptr && entries_[i].get() == entry)
      return static_cast<int>(i);
  }
  return -1;
}

CFormField* CFormDefinition::Append(std::unique_ptr<CFormField> entry) {
  entries_.push_back(std::move(entry));
  return entries_.back().get();
}

CFormField* CFormDefinition::InsertAfter(const CFormField* after,
                                         std::unique_ptr<CFormField> entry) {
  int index = IndexOf(after);
  if (index < 0)
    return Append(std::move(entry));
  auto placed = entries_.insert(entries_.begin() + index + 1, std::move(entry));
  return placed->get();
}

CFormField* CFormDefinition::MoveBefore(const CFormField* target, const CFormField* moving) {
  if (IndexOf(moving) < 0)
    return nullptr;
  CFormField* copy = nullptr;
  try {
    auto made = std::make_unique<CFormField>(*moving);
    int at = IndexOf(target);
    if (at < 0)
      at = 0;
    copy = entries_.insert(entries_.begin() + at, std::move(made))->get();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  Remove(moving);
  return copy;
}

void CFormDefinition::Remove(const CFormField* entry) {
  int index = IndexOf(entry);
  if (index >= 0)
    entries_.erase(entries_.begin() + index);
}

CCustomForm::CCustomForm() {
  try {
    definition_ = std::make_unique<CFormDefinition>();
  } catch (const std::bad_alloc&) {
    EndProgramForMemory(LoadResString(IDS_FORM_ALLOCATION_FAILED));
  }
  try {
    profileFile_ = std::make_unique<CProfileFile>();
  } catch (const std::bad_alloc&) {
    // This text has no entry of its own in the string table.
    EndProgramForMemory("Unable to allocate memory for data access!");
  }
}

CCustomForm::~CCustomForm() {
  if (saveOnDestroy_)
    Save();
}

void CCustomForm::SetFilePath(const std::string& path) {
  profileFile_->SetPath(path);
}

std::string CCustomForm::GetFilePath() const {
  return profileFile_->GetPath();
}

void CCustomForm::SetSaveFlags(bool saveOnDestroy, bool newForm) {
  saveOnDestroy_ = saveOnDestroy;
  newForm_ = newForm;
}
