// A user who does anything at all to the form editor: each input is read as a run of actions
// (clicks, typing of raw bytes, selections, double-clicks, keys, drags, the close box) on
// whatever window is on top, the editor's or a dialog or message box it opened. When the
// input ends, the windows are cancelled as for a user who walks away.
//
// Afterwards no window may be left open and the document may not keep the form. Every form
// file the editor left must then be stable: loaded and saved once more, it loads and saves
// again to the same bytes (the dates aside). A first save may lose what a form file cannot
// hold (braces without a comma, for one), but it must reach a form that it keeps.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "editor/FormEditorDlg.h"
#include "forms/CustomForm.h"
#include "fuzz/FuzzWorld.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/text/CaseFold.h"
#include "platform/ui/Ui.h"
#include "resources/Dialogs.h"
#include "view/CustomDoc.h"

namespace fs = std::filesystem;
namespace ui = qv::ui;

namespace {

const char kShare[] = "\\\\CORE1\\qvlogon\\";
const char* const kForms[][2] = {
    {"Office survey", "FRM1A.FRM"}, {"Asset tag", "FRM2B7.FRM"}, {"Contact details", "FRM3C.FRM"}};
constexpr int kKeys[] = {VK_RETURN, VK_ESCAPE, VK_DELETE, VK_INSERT, VK_UP,
                         VK_DOWN,   VK_HOME,   VK_END,    VK_F1,     'A'};
constexpr int kMaxActions = 300;

std::string g_shareDir;                         // host folder of the forms share
std::map<std::string, std::string> g_original;  // the world's forms, by host file name

// One world for the whole run, without the viewer, so that Preview starts nothing.
void SetUp() {
  static bool done = [] {
    qv::fuzz::MakeWorld();
    std::string viewer = qv::fuzz::HostPath(std::string(kShare) + "QVCstm32.exe");
    g_shareDir = fs::path(viewer).parent_path().string();
    fs::remove(viewer);
    for (const fs::directory_entry& file : fs::directory_iterator(g_shareDir)) {
      std::string bytes;
      if (!qv::ReadHostFile(file.path().string(), &bytes))
        __builtin_trap();
      g_original[file.path().filename().string()] = bytes;
    }
    qv::SetResourceModule(&qv::OwnResources());
    return true;
  }();
  (void)done;
}

// Puts the share back as the world made it: the editor rewrites what it opens and adds new
// form files.
void RestoreShare() {
  qv::FlushProfiles();
  std::vector<fs::path> added;
  for (const fs::directory_entry& file : fs::directory_iterator(g_shareDir))
    if (g_original.count(file.path().filename().string()) == 0)
      added.push_back(file.path());
  for (const fs::path& file : added)
    fs::remove(file);
  for (const auto& [name, bytes] : g_original)
    if (!qv::WriteHostFileAtomic(g_shareDir + "/" + name, bytes))
      __builtin_trap();
  qv::ResetProfiles();
}

class FuzzUser : public ui::EventSource {
 public:
  FuzzUser(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool WaitForInput() override {
    if (pos_ >= size_ || ++actions_ > kMaxActions)
      return false;
    ui::Snapshot snapshot = ui::TakeSnapshot();
    const ui::WindowState* top = snapshot.Top();
    if (top == nullptr)
      return false;
    int kind = Next() % 7;
    const ui::WindowState& target =
        top->children.empty() ? *top : top->children[Next() % top->children.size()];
    int id = target.id;
    int lines = static_cast<int>(target.lines.size());
    int line = static_cast<int>(Next() % (lines + 2)) - 1;  // -1 and one past the end too
    switch (kind) {
      case 0:
        ui::Click(id);
        break;
      case 1:
        ui::Type(id, Text());
        break;
      case 2:
        ui::Select(id, line);
        break;
      case 3:
        ui::DoubleClick(id, line);
        break;
      case 4:
        ui::Key(Next() % 2 == 0 ? 0 : id, kKeys[Next() % std::size(kKeys)]);
        break;
      case 5:
        ui::Drag(id, line, static_cast<int>(Next() % (lines + 2)) - 1);
        break;
      default:
        ui::CloseWindow();
        break;
    }
    return true;
  }

 private:
  std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string Text() {
    std::string text;
    for (int n = Next() % 24; n > 0 && pos_ < size_; --n)
      text += static_cast<char>(Next());
    return text;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  int actions_ = 0;
};

std::string WithoutDates(const std::string& bytes) {
  std::string kept;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find('\n', at);
    end = end == std::string::npos ? bytes.size() : end + 1;
    std::string line = bytes.substr(at, end - at);
    if (line.rfind("CreationDate=", 0) != 0 && line.rfind("LastModifiedDate=", 0) != 0)
      kept += line;
    at = end;
  }
  return kept;
}

// Loads a form file and saves it to `to`; the bytes written.
std::string Resave(const std::string& from, const std::string& to) {
  {
    CCustomForm form;
    form.SetFilePath(from);
    form.Load();
    form.SetFilePath(to);
    form.SetSaveFlags(false, false);
    if (form.Save() != 1)
      __builtin_trap();
  }
  qv::FlushProfiles();
  std::string bytes;
  if (!qv::ReadHostFile(qv::fuzz::HostPath(to), &bytes))
    __builtin_trap();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetUp();
  if (size == 0)
    return 0;
  CCustomDoc document;
  for (const auto& [name, file] : kForms)
    document.GetFormMap()->SetAt(name, std::string(kShare) + file);
  int editMode = data[0] % 4 == 0 ? 0 : 1;
  std::string name = editMode == 0 ? "" : kForms[data[0] % 3][0];
  {
    FuzzUser user(data + 1, size - 1);
    ui::SetEventSource(&user);
    {
      CFormEditorDlg editor(nullptr, editMode, name, &document);
      editor.DoModal();
    }
    ui::SetEventSource(nullptr);
  }
  ui::ClearInputProblems();
  if (!ui::ModalWindows().empty() || document.GetCurrentForm() != nullptr)
    __builtin_trap();

  qv::FlushProfiles();
  std::vector<std::string> formFiles;
  for (const fs::directory_entry& file : fs::directory_iterator(g_shareDir))
    if (qv::EqualsNoCase(file.path().extension().string(), ".FRM"))
      formFiles.push_back(file.path().filename().string());
  for (const std::string& fileName : formFiles) {
    std::string once = Resave(kShare + fileName, std::string(kShare) + "SCRATCH1.FRM");
    std::string twice =
        Resave(std::string(kShare) + "SCRATCH1.FRM", std::string(kShare) + "SCRATCH2.FRM");
    if (WithoutDates(once) != WithoutDates(twice))
      __builtin_trap();
  }
  RestoreShare();
  return 0;
}
