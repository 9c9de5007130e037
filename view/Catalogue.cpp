#include "view/Catalogue.h"

#include <list>
#include <unordered_set>

#include "forms/CustomDoc.h"
#include "forms/ProfileFile.h"
#include "platform/file/FileApi.h"
#include "platform/registry/AppProfile.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

namespace {

constexpr const char* kOrderSection = "";  // the profile's top-level section

std::string ItemKey(int n) {
  return "Item" + std::to_string(n);
}

// The working list of a fill. Names go in at the front; membership is kept in a set beside
// the list so a share of thousands of forms is not walked once per form.
class WorkingList {
 public:
  // Puts the name at the front unless it is already in the list.
  void PushFrontOnce(const std::string& name) {
    if (members_.insert(name).second)
      names_.emplace_front(name);
  }
  bool Empty() const { return names_.empty(); }
  std::string PopFront() {
    std::string name = std::move(names_.front().m_name);
    names_.pop_front();
    return name;
  }

 private:
  std::list<CCatalogName> names_;
  std::unordered_set<std::string> members_;
};

}  // namespace

CFormCatalogue::CFormCatalogue(CListCtrl& list, CCustomDoc& document, std::string formsSharePath)
    : list_(list), document_(document), formsSharePath_(std::move(formsSharePath)) {}

void CFormCatalogue::FillCatalogue() {
  const qv::AppProfile& profile = qv::TheAppProfile();
  WorkingList working;
  // A name that the saved order repeats (only an outside change to the profile can do that)
  // is shown once, where it first stands.
  for (int n = 0;; ++n) {
    std::string saved = profile.GetProfileString(kOrderSection, ItemKey(n), "");
    if (saved.empty())
      break;
    working.PushFrontOnce(saved);
  }

  CMapStringToString* map = document_.GetFormMap();
  if (map != nullptr)
    map->RemoveAll();

  std::unordered_set<std::string> groups;
  CProfileFile groupList(formsSharePath_ + "FDGRPLST.GPS");
  for (int n = 1;; ++n) {
    std::string name;
    if (!groupList.ReadString("Group" + std::to_string(n), "Name", name) || name.empty())
      break;
    working.PushFrontOnce(name);
    groups.insert(name);
  }

  std::unordered_set<std::string> forms;
  WIN32_FIND_DATAA found;
  HANDLE listing = FindFirstFileA((formsSharePath_ + "*.FRM").c_str(), &found);
  DWORD listingError = listing == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  document_.SetFormMapListingError(
      listingError == static_cast<DWORD>(ERROR_FILE_NOT_FOUND) ? 0 : listingError);
  for (BOOL more = listing != INVALID_HANDLE_VALUE; more; more = FindNextFileA(listing, &found)) {
    std::string path = formsSharePath_ + found.cFileName;
    std::string name;
    if (!CProfileFile(path).ReadString("Form", "FormName", name) || name.empty())
      continue;
    working.PushFrontOnce(name);
    if (map != nullptr)
      map->SetAt(name, path);
    forms.insert(name);
  }
  if (listing != INVALID_HANDLE_VALUE)
    FindClose(listing);

  const std::string addNewLabel = LoadResString(IDS_ADD_NEW_FORM);
  bool addNewShown = false;
  while (!working.Empty()) {
    std::string name = working.PopFront();
    if (name == addNewLabel) {
      list_.InsertItem(0, addNewLabel, kImageAddNewForm);
      list_.SetItemData(0, kItemAddNewForm);
      addNewShown = true;
    } else if (forms.count(name) != 0) {
      list_.InsertItem(0, name, kImageForm);
      list_.SetItemData(0, kItemForm);
      std::string description;
      if (GetFormDescription(name, description))
        list_.SetItemText(0, 1, description);
    } else if (groups.count(name) != 0) {
      list_.InsertItem(0, name, kImageGroup);
      list_.SetItemData(0, kItemGroup);
    }
  }
  if (!addNewShown) {
    list_.InsertItem(0, addNewLabel, kImageAddNewForm);
    list_.SetItemData(0, kItemAddNewForm);
  }
}

void CFormCatalogue::SaveOrder(int rowToDelete) {
  if (rowToDelete != 0)
    list_.DeleteItem(rowToDelete);
  const qv::AppProfile& profile = qv::TheAppProfile();
  for (int n = 0; !profile.GetProfileString(kOrderSection, ItemKey(n), "").empty(); ++n)
    profile.WriteProfileString(kOrderSection, ItemKey(n), nullptr);
  for (int n = 0; n < list_.GetItemCount(); ++n)
    profile.WriteProfileString(kOrderSection, ItemKey(n), list_.GetItemText(n, 0).c_str());
}

bool CFormCatalogue::GetFormDescription(const std::string& name, std::string& out) const {
  const CMapStringToString* map = document_.GetFormMap();
  std::string path;
  if (map == nullptr || !map->Lookup(name, path))
    return false;
  CProfileFile(path).ReadString("Form", "FormDescription", out);
  return true;
}
