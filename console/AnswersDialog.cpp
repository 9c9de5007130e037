#include "console/AnswersDialog.h"

#include <utility>

#include "console/ConsoleText.h"
#include "forms/CustomForm.h"
#include "platform/path/World.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/MessageBox.h"
#include "resources/ResourceIds.h"

namespace qv::console {
namespace {

constexpr int kIdList = 1001;
constexpr int kIdNotAnswered = 1002;
constexpr int kIdUnread = 1003;
constexpr int kIdExport = 1004;
constexpr int kColumnWidth = 110;  // pixels

// %1 of a console text replaced by `value`.
std::string With(UINT id, const std::string& value) {
  std::string text = Text(id);
  std::size_t at = text.find("%1");
  return at == std::string::npos ? text : text.replace(at, 2, value);
}

DialogTemplate Layout(const std::string& form) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  DialogTemplate t;
  t.caption = With(IDS_ANSWERS_CAPTION, form);
  t.style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  t.cx = 340;
  t.cy = 206;
  t.font = "MS Sans Serif";
  t.items = {
      {"SysListView32", kIdList, "",
       kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 7, 7, 326,
       140},
      {"Static", kIdNotAnswered, "", kChild | SS_LEFT, 7, 152, 326, 10},
      {"Static", kIdUnread, "", kChild | SS_LEFT, 7, 164, 326, 18},
      {"Button", kIdExport, Text(IDS_ANSWERS_EXPORT), kChild | WS_TABSTOP | BS_PUSHBUTTON, 226, 185,
       50, 14},
      {"Button", IDCANCEL, Text(IDS_ANSWERS_CLOSE), kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 283,
       185, 50, 14},
  };
  return t;
}

}  // namespace

AnswersDialog::AnswersDialog(const std::string& form,
                             std::function<void(const std::string& csv)> exported)
    : CDialog(Layout(form)), form_(form), exported_(std::move(exported)) {
  OnCommand(BN_CLICKED, kIdExport, [this] {
    if (exported_)
      exported_(answers::AnswersCsv(collected_));
  });
}

BOOL AnswersDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  // The form's questions from the forms share give the columns; loading says nothing here.
  std::vector<std::string> questions;
  {
    struct Quiet : MessageBoxHandler {
      int Show(std::string_view, std::string_view, UINT) override { return IDOK; }
    } quiet;
    SetMessageBoxHandler(&quiet);
    CCustomForm form;
    if (answers::LoadShareForm(form_, &form))
      questions = answers::InventoryNames(form.Definition());
    SetMessageBoxHandler(nullptr);
  }
  collected_ = answers::CollectAnswers(*World::Current(), form_, questions);

  auto* list = dynamic_cast<CListCtrl*>(GetDlgItem(kIdList));
  if (list != nullptr) {
    list->InsertColumn(0, Text(IDS_ANSWERS_CLIENT), LVCFMT_LEFT, kColumnWidth);
    list->InsertColumn(1, Text(IDS_ANSWERS_ANSWERED), LVCFMT_LEFT, kColumnWidth + 20);
    for (std::size_t c = 0; c < collected_.columns.size(); ++c)
      list->InsertColumn(static_cast<int>(c) + 2, collected_.columns[c], LVCFMT_LEFT, kColumnWidth);
    for (const answers::Collected::Row& row : collected_.rows) {
      int item = list->InsertItem(list->GetItemCount(), row.client);
      list->SetItemText(item, 1, row.answers.answered);
      for (std::size_t c = 0; c < collected_.columns.size(); ++c) {
        for (const auto& [name, value] : row.answers.values) {
          if (name == collected_.columns[c]) {
            list->SetItemText(item, static_cast<int>(c) + 2, value);
            break;
          }
        }
      }
    }
  }
  if (CWnd* notAnswered = GetDlgItem(kIdNotAnswered))
    notAnswered->SetWindowText(
        With(IDS_ANSWERS_NOT_ANSWERED, std::to_string(collected_.notAnswered)));
  std::string unread;
  for (const auto& [client, why] : collected_.problems) {
    if (!unread.empty())
      unread += "; ";
    unread.append(client).append(" (").append(why).append(")");
  }
  if (CWnd* unreadText = GetDlgItem(kIdUnread))
    unreadText->SetWindowText(unread.empty() ? "" : With(IDS_ANSWERS_UNREAD, unread));
  return TRUE;
}

}  // namespace qv::console
