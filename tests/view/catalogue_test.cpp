#include "view/Catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "forms/CustomDoc.h"
#include "platform/file/FileApi.h"
#include "platform/profile/Profile.h"
#include "platform/registry/AppProfile.h"
#include "tests/TestWorld.h"

namespace {

const std::string kShare = "\\\\CORE1\\qvlogon\\";

std::string Form(const std::string& name, const std::string& description) {
  std::string text = "[Form]\r\n";
  if (!name.empty())
    text += "FormName=" + name + "\r\n";
  if (!description.empty())
    text += "FormDescription=" + description + "\r\n";
  return text;
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { qv::TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg"); }

  // Refreshes as the console does: a fresh fill, then the order saved. Returns the rows,
  // "text|description|image|data" each, top to bottom.
  std::vector<std::string> Refresh() {
    list_.DeleteAllItems();
    catalogue_.FillCatalogue();
    catalogue_.SaveOrder(0);
    return Rows();
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < list_.GetItemCount(); ++i)
      rows.push_back(list_.GetItemText(i, 0) + "|" + list_.GetItemText(i, 1) + "|" +
                     std::to_string(list_.GetItemImage(i)) + "|" +
                     std::to_string(static_cast<long>(list_.GetItemData(i))));
    return rows;
  }
  // The form map's path for a name; "" when the name is not there.
  std::string PathOf(const std::string& name) const {
    std::string path;
    document_.GetFormMap()->Lookup(name, path);
    return path;
  }
  std::string Saved(int n) const {
    return qv::TheAppProfile().GetProfileString("", "Item" + std::to_string(n), "");
  }
  void SaveOrderAs(const std::vector<std::string>& names) const {
    for (std::size_t n = 0; n < names.size(); ++n)
      qv::TheAppProfile().WriteProfileString("", "Item" + std::to_string(n), names[n].c_str());
  }

  TestWorld world_;
  CCustomDoc document_;
  CListCtrl list_;
  CFormCatalogue catalogue_{list_, document_, kShare};
};

const char kAddNew[] = "Add new form||0|-2";
const char kOffice[] = "Office survey|Where and how you work|1|3";
const char kAsset[] = "Asset tag|The asset number on this machine|1|3";
const char kContact[] = "Contact details|How to reach the user of this machine|1|3";
const char kStarters[] = "New starters||2|4";

TEST_F(CatalogueTest, EmptyShareGivesOnlyTheAddNewRow) {
  for (const char* file : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM", "FDGRPLST.GPS"})
    ASSERT_EQ(0, WinRemove((kShare + file).c_str()));
  EXPECT_EQ(std::vector<std::string>{kAddNew}, Refresh());
  EXPECT_EQ("Add new form", Saved(0));
  EXPECT_EQ("", Saved(1));
  EXPECT_TRUE(document_.GetFormMap()->IsEmpty());
  EXPECT_EQ(0u, document_.GetFormMapListingError());  // empty, and listed
}

// A share that could not be listed shows no form, and the document knows that its form map is
// not the share's contents.
TEST_F(CatalogueTest, AShareThatCouldNotBeListedIsNotTakenForAnEmptyOne) {
  EXPECT_EQ(5u, Refresh().size());
  EXPECT_EQ(0u, document_.GetFormMapListingError());
  qv::FlushProfiles();
  std::string share = world_.Host(kShare);
  std::filesystem::rename(share, share + ".away");
  EXPECT_EQ(std::vector<std::string>{kAddNew}, Refresh());
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), document_.GetFormMapListingError());
  EXPECT_TRUE(document_.GetFormMap()->IsEmpty());
  std::filesystem::rename(share + ".away", share);
  EXPECT_EQ(5u, Refresh().size());
  EXPECT_EQ(0u, document_.GetFormMapListingError());
}

TEST_F(CatalogueTest, SavedOrderThenNewGroupsThenNewForms) {
  EXPECT_TRUE(document_.GetFormMap()->IsEmpty());
  std::vector<std::string> first = {kAddNew, kStarters, kOffice, kAsset, kContact};
  EXPECT_EQ(first, Refresh());
  EXPECT_EQ(first, Refresh());  // the saved order holds
  EXPECT_EQ(kShare + "FRM2B7.FRM", PathOf("Asset tag"));

  SaveOrderAs({"Contact details", "Add new form", "Gone", "Office survey", "Contact details"});
  world_.Put(kShare + "FRM9.FRM", Form("Zed", ""));
  world_.Put(kShare + "FDGRPLST.GPS",
             "[Group1]\r\nName=New starters\r\n[Group2]\r\nName=Leavers\r\n");
  // The repeated saved name shows once, where it first stands; "Gone" is dropped for good.
  EXPECT_EQ((std::vector<std::string>{kContact, kAddNew, kOffice, kStarters, "Leavers||2|4", kAsset,
                                      "Zed||1|3"}),
            Refresh());
  EXPECT_EQ("Zed", Saved(6));
  EXPECT_EQ("", Saved(7));

  // The form map iterates bucket by bucket (hash % 19): Zed 2, Asset tag 4, Office survey 11,
  // Contact details 14.
  std::vector<std::string> keys;
  for (const auto& [key, path] : *document_.GetFormMap())
    keys.push_back(key);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"Zed", "Asset tag", "Office survey", "Contact details"}));
}

TEST_F(CatalogueTest, NamesThatMeetOrRepeat) {
  world_.Put(kShare + "FRM3C.FRM", Form("Asset tag", "Second file"));
  world_.Put(kShare + "FRM4.FRM", Form("Add new form", "Pretender"));
  world_.Put(kShare + "FRM5.FRM", Form("", "Nameless"));
  world_.Put(kShare + "FDGRPLST.GPS", "[Group1]\r\nName=Office survey\r\n");
  // One row for the two "Asset tag" files, from the file listed later; the group named like
  // a form is shown as the form; the form named like the add-new row is that row, in the
  // form's place.
  EXPECT_EQ((std::vector<std::string>{kOffice, "Asset tag|Second file|1|3", kAddNew}), Refresh());
  EXPECT_EQ(kShare + "FRM3C.FRM", PathOf("Asset tag"));
  EXPECT_EQ(kShare + "FRM4.FRM", PathOf("Add new form"));
  EXPECT_EQ(3, document_.GetFormMap()->GetCount());

  std::string description = "kept";
  EXPECT_FALSE(catalogue_.GetFormDescription("asset tag", description));
  EXPECT_EQ("kept", description);
  world_.Put(kShare + "FRM1A.FRM", Form("Office survey", ""));
  EXPECT_TRUE(catalogue_.GetFormDescription("Office survey", description));
  EXPECT_EQ("kept", description);  // no description in the file: out unchanged
  EXPECT_EQ("Office survey||1|3", Refresh()[0]);
}

TEST_F(CatalogueTest, SaveOrderDeletesARowAndStaleItems) {
  SaveOrderAs({"Add new form", "Office survey", "Asset tag", "Contact details", "New starters",
               "Old", "Older"});
  Refresh();
  ASSERT_EQ(5, list_.GetItemCount());
  catalogue_.SaveOrder(2);  // Asset tag's row
  EXPECT_EQ((std::vector<std::string>{kAddNew, kOffice, kContact, kStarters}), Rows());
  EXPECT_EQ("Contact details", Saved(2));
  EXPECT_EQ("New starters", Saved(3));
  EXPECT_EQ("", Saved(4));
  EXPECT_EQ("none", qv::TheAppProfile().GetProfileString("", "Item5", "none"));
  catalogue_.SaveOrder(0);  // 0 deletes nothing
  EXPECT_EQ(4, list_.GetItemCount());
}

}  // namespace
