// The form file: loading and saving a CCustomForm, and the field line of one entry.
//
// Layout written by Save, in this order:
//   [Header]  Name, Version, CreationDate, LastModifiedDate
//   [Form]    FormName, FormDescription, then Field1, FieldNote1, Field2, FieldNote2, ...
// A question's field line is "TYPE, inventory, question, R|NR, " followed by "{item, ...}"
// when it has items; texts holding a comma are wrapped in braces. Markers are "SEPARATOR" and
// "PAGEBREAK".
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <new>

#include "forms/CustomForm.h"
#include "forms/FieldException.h"
#include "platform/file/FileApi.h"
#include "platform/profile/Profile.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

constexpr char kHeader[] = "Header";
constexpr char kForm[] = "Form";
constexpr char kDefaultHeaderName[] = "Quovant(R) Custom Data INI file";
constexpr char kDefaultVersion[] = "1.0";

constexpr char kEditWord[] = "EDIT";
constexpr char kListBoxWord[] = "LISTBOX";
constexpr char kComboBoxWord[] = "COMBOBOX";
constexpr char kRequiredWord[] = "R";
constexpr char kNotRequiredWord[] = "NR";
constexpr char kSeparatorWord[] = "SEPARATOR";
constexpr char kPageBreakWord[] = "PAGEBREAK";

constexpr DWORD kServerNameSize = 80;
constexpr std::size_t kTempPathSize = 520;

// "Field<n>" and "FieldNote<n>".
std::string NumberedKey(const char* word, int n) {
  return word + std::to_string(n);
}

const char* ControlKeyword(int controlType) {
  switch (controlType) {
    case CFormField::kEditBox:
      return kEditWord;
    case CFormField::kFixedList:
      return kListBoxWord;
    case CFormField::kEditList:
      return kComboBoxWord;
    default:
      return "";
  }
}

int ControlTypeOf(const std::string& keyword) {
  if (keyword == kEditWord)
    return CFormField::kEditBox;
  if (keyword == kListBoxWord)
    return CFormField::kFixedList;
  if (keyword == kComboBoxWord)
    return CFormField::kEditList;
  return CFormField::kNoControl;
}

}  // namespace

CFormField* CFormField::ParseLine(const CProfileFile* profileFile, const std::string& line) {
  if (profileFile == nullptr)
    return nullptr;
  const CProfileFile& text = *profileFile;
  try {
    std::string token;
    bool hasToken = text.GetField(line, 1, token) != 0;
    if (token == kSeparatorWord || token == kPageBreakWord) {
      kind = token == kSeparatorWord ? kSeparator : kPageBreak;
      marker = true;
      return this;
    }
    kind = kQuestion;
    marker = false;
    controlType = ControlTypeOf(token);
    if (!hasToken)
      throw CFieldException(CFieldException::kParsing);

    if (!text.GetField(line, 2, token))
      throw CFieldException(CFieldException::kParsing);
    text.UnquoteText(token);
    inventoryName = token;

    if (!text.GetField(line, 3, token))
      throw CFieldException(CFieldException::kParsing);
    text.UnquoteText(token);
    questionText = token;

    if (!text.GetField(line, 4, token))
      throw CFieldException(CFieldException::kParsing);
    required = token == kRequiredWord;

    std::string group;
    if (!text.GetField(line, 5, group))
      return this;
    text.UnquoteText(group);
    for (int n = 1; text.GetField(group, n, token); ++n) {
      text.UnquoteText(token);
      try {
        AddItem(token);
      } catch (const std::bad_alloc&) {
        throw CFieldException(CFieldException::kMemoryAllocation);
      }
    }
  } catch (const CFieldException& error) {
    AfxMessageBox(error.GetMessage(), MB_OK);
  }
  return this;
}

void CFormField::ComposeLine(std::string& line, std::string& note) const {
  note.clear();
  if (marker) {
    line = kind == kSeparator ? kSeparatorWord : kPageBreakWord;
    return;
  }
  CProfileFile text;
  std::string inventory = inventoryName;
  std::string question = questionText;
  text.QuoteText(inventory);
  text.QuoteText(question);
  line = ControlKeyword(controlType);
  line += ", " + inventory + ", " + question + ", ";
  line += required ? kRequiredWord : kNotRequiredWord;
  line += ", ";
  if (!items.empty()) {
    line += "{";
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::string item = items[i]->text;
      text.QuoteText(item);
      if (i > 0)
        line += ", ";
      line += item;
    }
    line += "}";
  }
  note = description;
}

void CCustomForm::Load() {
  CProfileFile& file = *profileFile_;
  file.ReadString(kHeader, "Name", headerName_);
  file.ReadString(kHeader, "Version", version_);
  file.ReadString(kHeader, "CreationDate", creationDate_);
  file.ReadString(kHeader, "LastModifiedDate", lastModifiedDate_);
  file.ReadString(kForm, "FormName", definition_->formName);
  file.ReadString(kForm, "FormDescription", definition_->formDescription);
  for (int n = 1;; ++n) {
    std::string line;
    if (!file.ReadString(kForm, NumberedKey("Field", n), line))
      break;
    std::unique_ptr<CFormField> entry;
    try {
      entry = std::make_unique<CFormField>();
    } catch (const std::bad_alloc&) {
      break;
    }
    file.ReadString(kForm, NumberedKey("FieldNote", n), entry->description);
    entry->ParseLine(&file, line);
    definition_->Append(std::move(entry));
  }
}

bool CCustomForm::CreateFormFile() {
  char server[kServerNameSize] = {};
  GetCoreServerName(server, kServerNameSize);
  std::string share = std::string("\\\\") + server + "\\qvlogon\\";

  // The temporary name is reserved, but the form file's name beside it is not: another
  // console saving a new form at the same moment may take it between the reservation and the
  // rename. Then the temporary file goes and a fresh name is reserved. Each loss is another
  // save's win, so a few tries do; only a share that refuses the files ends in the message.
  constexpr int kNameTries = 64;
  for (int tries = 0; tries < kNameTries; ++tries) {
    char temp[kTempPathSize] = {};
    if (qv::ReserveTempFileName(share.c_str(), "FRM", ".FRM", temp) == 0)
      break;
    std::string path = qv::ToUpper(temp);
    std::size_t cut = path.find(".TMP");
    if (cut != std::string::npos)
      path.erase(cut);
    path += ".FRM";
    if (WinRename(temp, path.c_str()) == 0) {
      profileFile_->SetPath(path);
      return true;
    }
    bool taken = errno == EEXIST;
    WinRemove(temp);
    if (!taken)
      break;
  }
  ShowSaveError(server);
  return false;
}

void CCustomForm::ShowSaveError(const char* server) const {
  std::string message = AfxFormatString2(IDS_SAVE_FAILED, definition_->formName, server);
  MessageBoxA(nullptr, message.c_str(), LoadResString(IDS_CAPTION).c_str(), MB_OK | MB_ICONSTOP);
}

int CCustomForm::Save() {
  if (profileFile_ == nullptr)
    return 0;
  CProfileFile& file = *profileFile_;
  if (newForm_) {
    if (!CreateFormFile())
      return 0;
  } else if (!file.GetPath().empty()) {
    // The writes below make the file anew, so keys the form no longer has disappear.
    WinRemove(file.GetPath().c_str());
  }

  bool written = true;
  auto write = [&](const char* section, const std::string& key, const std::string& value) {
    written = file.WriteString(section, key, value) != 0 && written;
  };
  if (headerName_.empty())
    headerName_ = kDefaultHeaderName;
  write(kHeader, "Name", headerName_);
  if (version_.empty())
    version_ = kDefaultVersion;
  write(kHeader, "Version", version_);

  char now[32];
  std::snprintf(now, sizeof now, "%lu", static_cast<unsigned long>(std::time(nullptr)));
  if (newForm_)
    creationDate_ = now;
  write(kHeader, "CreationDate", creationDate_);
  lastModifiedDate_ = now;
  write(kHeader, "LastModifiedDate", lastModifiedDate_);

  write(kForm, "FormName", definition_->formName);
  write(kForm, "FormDescription", definition_->formDescription);
  int n = 1;
  for (const auto& entry : definition_->Entries()) {
    std::string line;
    std::string note;
    entry->ComposeLine(line, note);
    write(kForm, NumberedKey("Field", n), line);
    write(kForm, NumberedKey("FieldNote", n), note);
    ++n;
  }

  // The profile functions hold what is written until they are flushed: the file is put on
  // disk now, in one step, so that this save knows whether the form was stored.
  const std::string path = file.GetPath();
  if (written && qv::FlushProfile(path.c_str()))
    return 1;
  qv::DropProfileChanges(path.c_str());  // an existing file keeps what it held
  if (newForm_) {
    WinRemove(path.c_str());  // the new file this save made holds nothing of the form
    qv::FlushProfile(path.c_str());
  }
  char server[kServerNameSize] = {};
  GetCoreServerName(server, kServerNameSize);
  ShowSaveError(server);
  return 0;
}
