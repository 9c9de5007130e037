#include "view/CustomView.h"

#include <cstring>
#include <memory>
#include <new>

#include "distribution/Configurations.h"
#include "distribution/RemoteRegistry.h"
#include "distribution/TaskDataSource.h"
#include "editor/FormEditorDlg.h"
#include "forms/CustomDoc.h"
#include "groups/FormGroupDlg.h"
#include "groups/FormGroupList.h"
#include "platform/file/FileApi.h"
#include "platform/registry/AppProfile.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/Menu.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WaitCursor.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

IMPLEMENT_DYNCREATE(CCustomView)

namespace {

constexpr COLORREF kMask = RGB(0, 255, 0);

const char kViewTypeKey[] = "LastViewType";
const char kNameWidthKey[] = "NameColWidth";
const char kDescriptionWidthKey[] = "DescColWidth";
const char kTaskDataFormat[] = "QVNX_TASK_CFG_DATA";

char g_configurationData[kConfigurationDataSize];
UINT g_taskDataFormat = 0;

int ShowBox(UINT textId, UINT type = MB_OK) {
  return MessageBoxA(nullptr, LoadResString(textId).c_str(), LoadResString(IDS_CAPTION).c_str(),
                     type);
}

// A name longer than a task's name field: no task can be made for it.
void TellNameTooLong(const std::string& name) {
  MessageBoxA(nullptr, AfxFormatString1(IDS_TASK_NAME_TOO_LONG, name).c_str(),
              LoadResString(IDS_CAPTION).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// "Unable to delete %s, because it is currently a scheduled task." with the name for %s.
std::string RefusalText(const std::string& name) {
  std::string text = LoadResString(IDS_SCHEDULED_CANNOT_DELETE);
  std::size_t at = text.find("%s");
  if (at != std::string::npos)
    text.replace(at, 2, name);
  return text;
}

}  // namespace

char* ConfigurationDataBuffer() {
  return g_configurationData;
}

UINT TaskDataClipboardFormat() {
  return g_taskDataFormat;
}

CCustomView::CCustomView() {
  std::memset(&m_dragRecord, 0, sizeof m_dragRecord);
  std::memset(g_configurationData, 0, sizeof g_configurationData);
  char server[256] = {};
  GetCoreServerName(server, sizeof server);
  m_strCoreServerName = server;
  m_strFormsSharePath = "\\\\" + m_strCoreServerName + "\\qvlogon\\";
  m_viewType = static_cast<int>(qv::TheAppProfile().GetProfileInt("", kViewTypeKey, 0));
  AddCommands();
}

CCustomView::~CCustomView() = default;

CCustomDoc* CCustomView::GetDocument() const {
  return static_cast<CCustomDoc*>(CView::GetDocument());
}

void CCustomView::AddCommands() {
  OnCommandId(ID_FORMS_NEWFORM, [this] { OnNewForm(); });
  OnCommandId(ID_FORMS_MODIFY, [this] { OnModify(); });
  OnCommandId(ID_FORMS_PROPERTIES, [this] { OnProperties(); });
  OnCommandId(ID_FORMS_DELETE, [this] { DeleteSelected(); });
  OnCommandId(ID_TOOLBAR_DELETE, [this] { DeleteSelected(); });
  OnCommandId(ID_FORMS_SCHEDULE, [this] { Schedule(); });
  OnCommandId(ID_TOOLBAR_SCHEDULE, [this] { Schedule(); });
  OnCommandId(ID_TOOLBAR_MULTIPLEFORMS, [this] { OnMultipleForms(); });
  OnCommandId(ID_TOOLBAR_REFRESH, [this] { Refresh(); });
  OnCommandId(ID_VIEW_LARGEICONS, [this] { SetViewType(kLargeIcons); });
  OnCommandId(ID_VIEW_DETAILS, [this] { SetViewType(kDetails); });
  OnCommandId(ID_VIEW_SMALLICONS, [this] { SetViewType(kSmallIcons); });
  OnCommandId(ID_VIEW_LIST, [this] { SetViewType(kList); });

  OnUpdateCommandUI(ID_FORMS_NEWFORM, [](CCmdUI* ui) { ui->Enable(TRUE); });
  for (UINT id : {ID_FORMS_MODIFY, ID_FORMS_PROPERTIES, ID_FORMS_DELETE, ID_TOOLBAR_DELETE,
                  ID_FORMS_SCHEDULE, ID_TOOLBAR_SCHEDULE})
    OnUpdateCommandUI(id, [this](CCmdUI* ui) { ui->Enable(m_bItemSelected != 0); });
  OnUpdateCommandUI(ID_TOOLBAR_MULTIPLEFORMS, [this](CCmdUI* ui) {
    const CCustomDoc* document = GetDocument();
    ui->Enable(document != nullptr && document->GetFormMap() != nullptr &&
               document->GetFormMap()->GetCount() > 0);
  });
  OnUpdateCommandUI(ID_TOOLBAR_REFRESH, [](CCmdUI* ui) { ui->Enable(TRUE); });
  const std::pair<UINT, int> presentations[] = {{ID_VIEW_LARGEICONS, kLargeIcons},
                                                {ID_VIEW_DETAILS, kDetails},
                                                {ID_VIEW_SMALLICONS, kSmallIcons},
                                                {ID_VIEW_LIST, kList}};
  for (auto [id, type] : presentations) {
    OnUpdateCommandUI(id, [this, type = type](CCmdUI* ui) {
      ui->Enable(TRUE);
      ui->SetRadio(m_viewType == type);
    });
  }

  OnNotifyReflect(NM_DBLCLK, [this](NMHDR*) {
    OnOpenSelected();
    return LRESULT{0};
  });
  OnNotifyReflect(NM_RETURN, [this](NMHDR*) {
    OnOpenSelected();
    return LRESULT{0};
  });
  OnNotifyReflect(LVN_BEGINDRAG, [this](NMHDR*) { return OnBeginDrag(); });
  OnNotify(LVN_ITEMCHANGED, AFX_IDW_PANE_FIRST,
           [this](NMHDR* header) { return OnItemChanged(header); });
  OnMessage(WM_KEYUP, [this](WPARAM key, LPARAM) { return OnKeyUp(key); });
  OnMessage(WM_CONTEXTMENU, [this](WPARAM, LPARAM point) {
    OnContextMenu(CPoint{GET_X_LPARAM(point), GET_Y_LPARAM(point)});
    return LRESULT{0};
  });
}

BOOL CCustomView::PreCreateWindow(CREATESTRUCT& cs) {
  CListView::PreCreateWindow(cs);
  cs.style = (cs.style & ~LVS_TYPEMASK) | static_cast<DWORD>(m_viewType & 3) | WS_CHILD |
             WS_VISIBLE | LVS_SHOWSELALWAYS | LVS_SINGLESEL;
  return TRUE;
}

IHostControl* CCustomView::GetControl() const {
  const CFrameWnd* frame = const_cast<CCustomView*>(this)->GetParentFrame();
  return frame != nullptr ? dynamic_cast<IHostControl*>(frame->GetParent()) : nullptr;
}

int CCustomView::OnCreate() {
  if (CListView::OnCreate() == -1)
    return -1;
  if (IHostControl* control = GetControl())
    m_databasePointer = control->GetDatabasePointer();
  if (m_databasePointer != 0) {
    SnapinRecord snapin{};
    FindSnapin(kSnapinName, &snapin);
    m_snapinId = snapin.id;
    if (g_taskDataFormat == 0)
      g_taskDataFormat = RegisterClipboardFormatA(kTaskDataFormat) & 0xFFFF;
  }
  CWaitCursor wait;
  MakeImagesAndColumns();
  FillCatalogue();
  m_distributionTask.SetDocument(GetDocument());
  return 0;
}

void CCustomView::MakeImagesAndColumns() {
  m_largeImages.Create(IDB_LARGE_IMAGES, 32, 3, kMask);
  SetImageList(&m_largeImages, LVSIL_NORMAL);
  m_smallImages.Create(IDB_SMALL_IMAGES, 16, 3, kMask);
  SetImageList(&m_smallImages, LVSIL_SMALL);
  const qv::AppProfile& profile = qv::TheAppProfile();
  std::string name = LoadResString(IDS_FORM_NAME_HEADING);
  std::string description = LoadResString(IDS_FORM_DESCRIPTION_HEADING);
  int nameWidth = static_cast<int>(profile.GetProfileInt("", kNameWidthKey, 0));
  if (nameWidth == 0)
    nameWidth = 2 * GetStringWidth(name);
  int descriptionWidth = static_cast<int>(profile.GetProfileInt("", kDescriptionWidthKey, 0));
  if (descriptionWidth == 0)
    descriptionWidth = 2 * GetStringWidth(description);
  InsertColumn(0, name, LVCFMT_LEFT, nameWidth);
  InsertColumn(1, description, LVCFMT_LEFT, descriptionWidth);
}

void CCustomView::OnDestroy() {
  const qv::AppProfile& profile = qv::TheAppProfile();
  profile.WriteProfileInt("", kViewTypeKey, m_viewType);
  profile.WriteProfileInt("", kNameWidthKey, GetColumnWidth(0));
  profile.WriteProfileInt("", kDescriptionWidthKey, GetColumnWidth(1));
  SaveOrder(0);
  CListView::OnDestroy();
}

bool CCustomView::GetSelectedItem(int* index, DWORD_PTR* data) const {
  int selected = GetNextItem(-1, LVNI_SELECTED);
  if (selected < 0)
    return false;
  *index = selected;
  *data = GetItemData(selected);
  return true;
}

void CCustomView::FillCatalogue() {
  CFormCatalogue(*this, *GetDocument(), m_strFormsSharePath).FillCatalogue();
}

void CCustomView::SaveOrder(int rowToDelete) {
  CFormCatalogue(*this, *GetDocument(), m_strFormsSharePath).SaveOrder(rowToDelete);
}

bool CCustomView::GetFormDescription(const std::string& name, std::string& out) const {
  return CFormCatalogue(const_cast<CCustomView&>(*this), *GetDocument(), m_strFormsSharePath)
      .GetFormDescription(name, out);
}

void CCustomView::Refresh() {
  CWaitCursor wait;
  DeleteAllItems();
  FillCatalogue();
  SaveOrder(0);
}

std::string CCustomView::GetScriptsDirectory() const {
  return FindScriptsDirectory();
}

int CCustomView::IsScheduled(TaskConfigRecord* record, const std::string& name) const {
  return ::IsScheduled(record, name.c_str());
}

void CCustomView::WriteGroupScript(const std::string& name) {
  m_distributionTask.SetName(name);
  m_distributionTask.SetGroup(1);
  m_distributionTask.WriteScript();
}

int CCustomView::FindConfiguration(TaskConfigRecord* record, const std::string& name) const {
  return ::FindConfiguration(record, name.c_str());
}

void CCustomView::SelectAndFocus(int index) {
  SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CCustomView::SelectLast() {
  SelectAndFocus(GetItemCount() - 1);
}

void CCustomView::SetViewType(int type) {
  m_viewType = type;
  ModifyStyle(LVS_TYPEMASK, static_cast<DWORD>(type & 3));
}

LRESULT CCustomView::OnItemChanged(NMHDR* header) {
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
  if ((change->uChanged & LVIF_STATE) != 0) {
    bool selected = (change->uNewState & LVIS_SELECTED) != 0;
    auto data = static_cast<std::intptr_t>(GetItemData(change->iItem));
    m_bItemSelected = selected && data >= 0 ? 1 : 0;
  }
  return 0;
}

void CCustomView::OnNewForm() {
  std::unique_ptr<CFormEditorDlg> editor(new (std::nothrow)
                                             CFormEditorDlg(nullptr, 0, "", GetDocument()));
  if (editor == nullptr) {
    ShowBox(IDS_UNABLE_TO_ADD_FORM);
    return;
  }
  editor->DoModal();
  bool changed = editor->GetModified() == 1 || editor->GetPreviewed() == 1;
  editor.reset();  // destroying the editor saves the form
  SetFocus();
  if (changed) {
    Refresh();
    SelectLast();
  }
}

void CCustomView::OnModify() {
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data)) {
    ShowBox(IDS_SELECT_ITEM);
    return;
  }
  if (data == kItemForm)
    ModifyForm(index);
  else if (data == kItemGroup)
    ModifyGroup(index);
  SelectAndFocus(index);
  SetFocus();
}

void CCustomView::ModifyForm(int index) {
  std::unique_ptr<CFormEditorDlg> editor(
      new (std::nothrow) CFormEditorDlg(nullptr, 1, GetItemText(index, 0), GetDocument()));
  if (editor == nullptr) {
    ShowBox(IDS_FORM_ALLOCATION_FAILED);
    return;
  }
  editor->DoModal();
  bool changed = editor->GetModified() == 1 || editor->GetPreviewed() == 1;
  editor.reset();
  if (changed) {
    Refresh();
    SetFocus();
    SelectLast();
  }
}

void CCustomView::ModifyGroup(int index) {
  CFormGroupDlg dialog(nullptr, 0, GetDocument(), GetItemText(index, 0), this);
  if (dialog.DoModal() == IDOK && dialog.GetChanged() == 1)
    Refresh();
  SetFocus();
  SelectAndFocus(index);
}

void CCustomView::OnProperties() {
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data))
    return;
  if (data == kItemForm)
    OnModify();
  else if (data == kItemGroup)
    ModifyGroup(index);
  SelectAndFocus(index);
}

void CCustomView::OnMultipleForms() {
  CFormGroupDlg dialog(nullptr, 1, GetDocument(), "", this);
  if (dialog.DoModal() == IDOK) {
    Refresh();
    SelectLast();
  }
  SetFocus();
}

void CCustomView::OnOpenSelected() {
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data))
    return;
  if (data == kItemAddNewForm)
    OnNewForm();
  else if (data == kItemForm)
    OnModify();
  else if (data == kItemGroup)
    ModifyGroup(index);
}

LRESULT CCustomView::OnKeyUp(WPARAM key) {
  if (key == VK_F5)
    Refresh();
  else if (key == VK_DELETE)
    DeleteSelected();
  return DefWindowProc(WM_KEYUP, key, 0);
}

void CCustomView::OnContextMenu(CPoint point) {
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data) || data == kItemAddNewForm)
    return;
  if (point.x == -1 || point.y == -1) {
    CRect icon;
    GetItemRect(index, &icon, LVIR_ICON);
    point = CPoint{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
  }
  CMenu menu;
  if (menu.LoadMenu(IDR_CONTEXT_MENU) == FALSE)
    return;
  if (CMenu* popup = menu.GetSubMenu(0))
    popup->TrackPopupMenu(TPM_CENTERALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
  menu.DestroyMenu();
}

void CCustomView::Schedule() {
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data) || (data != kItemForm && data != kItemGroup))
    return;
  std::string name = GetItemText(index, 0);
  m_distributionTask.SetGroup(data == kItemGroup ? 1 : 0);
  m_distributionTask.SetName(name);
  TaskConfigRecord config;
  TaskRecord task;
  std::memset(&config, 0, sizeof config);
  std::memset(&task, 0, sizeof task);
  if (IsScheduled(&config, name)) {
    m_distributionTask.WriteScript();
    task.configurationId = config.id;
  } else {
    // Names that do not fit the records are refused: nothing may be written past a field.
    if (!PrepareConfiguration(&config, name)) {
      TellNameTooLong(name);
      return;
    }
    m_distributionTask.WriteScript();
    AddTaskConfiguration(&config);
    task.configurationId = config.id;
  }
  std::memcpy(task.name, name.c_str(), name.size() + 1);
  if (IHostControl* control = GetControl())
    control->CallHostClassInterface(&task);
}

// Fills a configuration record for `name` as scheduling adds one: id -1, the snap-in, the
// name, and the script file name as data in the configuration data buffer. False when the
// name or the script file name does not fit: nothing may be written past a field.
bool CCustomView::PrepareConfiguration(TaskConfigRecord* record, const std::string& name) {
  const std::string& scriptFile = m_distributionTask.GetScriptFileName();
  if (name.size() >= sizeof record->name || scriptFile.size() >= kConfigurationDataSize)
    return false;
  record->id = -1;
  record->snapinId = m_snapinId;
  std::memcpy(record->name, name.c_str(), name.size() + 1);
  std::memset(g_configurationData, 0, sizeof g_configurationData);
  std::memcpy(g_configurationData, scriptFile.c_str(), scriptFile.size());
  record->data = qv::RegisterTaskData(g_configurationData);
  record->dataLength = static_cast<std::uint32_t>(scriptFile.size());
  return true;
}

LRESULT CCustomView::OnBeginDrag() {
  CTaskDataSource dataSource(&m_distributionTask);
  CTaskDropSource dropSource;
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data))
    return 0;
  if (static_cast<std::intptr_t>(data) >= 0) {
    std::string name = GetItemText(index, 0);
    std::memset(&m_dragRecord, 0, sizeof m_dragRecord);
    m_distributionTask.SetGroup(data == kItemGroup ? 1 : 0);
    m_distributionTask.SetName(name);
    bool offered = true;
    if (!IsScheduled(&m_dragRecord, name)) {
      // A configuration is added now, dropped or not; the script is written at rendering.
      offered = PrepareConfiguration(&m_dragRecord, name);
      if (offered)
        AddTaskConfiguration(&m_dragRecord);
      else
        TellNameTooLong(name);
    }
    if (offered) {
      dataSource.SetRecord(m_dragRecord);
      UINT format = RegisterClipboardFormatA(kTaskDataFormatName);
      dataSource.SetFormat(format);
      dataSource.DelayRenderData(static_cast<CLIPFORMAT>(format));
      dataSource.DoDragDrop(DROPEFFECT_COPY, nullptr, &dropSource);
    }
  }
  SelectAndFocus(index);
  return 0;
}

void CCustomView::DeleteSelected() {
  int index = 0;
  DWORD_PTR data = 0;
  if (!GetSelectedItem(&index, &data) || static_cast<std::intptr_t>(data) < 0)
    return;
  std::string name = GetItemText(index, 0);
  std::string question = AfxFormatString1(IDS_DELETE_PROMPT, name);
  if (MessageBoxA(nullptr, question.c_str(), LoadResString(IDS_CAPTION).c_str(), MB_YESNO) !=
      IDYES) {
    SetFocus();
    return;
  }
  CFormGroupList groups(m_strFormsSharePath + "FDGRPLST.GPS");
  TaskConfigRecord record;
  std::memset(&record, 0, sizeof record);
  auto refuse = [&] {
    MessageBoxA(nullptr, RefusalText(name).c_str(), LoadResString(IDS_CAPTION).c_str(), MB_OK);
    SetFocus();
    SelectAndFocus(index);
  };
  auto deleteConfiguration = [&] {
    if (!FindConfiguration(&record, name))
      return;
    DeleteTaskConfiguration(record.id);
    // Only the file the script writer could have written for this name: a name that holds
    // a backslash ("..\Other") must not reach another file.
    std::string script = CDistributionTask::ScriptPath(GetScriptsDirectory(), name);
    if (!script.empty())
      WinRemove(script.c_str());
  };
  if (data == kItemGroup) {
    if (IsScheduled(&record, name)) {
      refuse();
      return;
    }
    groups.RemoveGroup(name);
    deleteConfiguration();
  } else if (data == kItemForm) {
    CMapStringToString* map = GetDocument()->GetFormMap();
    std::string path;
    if (IsScheduled(&record, name) || groups.IsFormInScheduledGroup(*this, name) ||
        map == nullptr || !map->Lookup(name, path)) {
      refuse();
      return;
    }
    WinRemove(path.c_str());
    map->RemoveKey(name);
    groups.RemoveFormFromAllGroups(name);
    deleteConfiguration();
  } else {
    return;
  }
  SaveOrder(index);
  Refresh();
  SetFocus();
  SelectAndFocus(index < GetItemCount() ? index : index - 1);
}
