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

using Rows = std::vector<std::string>;

const std::string kShare = "\\\\CORE1\\qvlogon\\";

std::string Form(const std::string& name, const std::string& description) {
  return "[Form]\r\n" + (name.empty() ? "" : "FormName=" + name + "\r\n") +
         (description.empty() ? "" : "FormDescription=" + description + "\r\n");
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { qv::TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg"); }

  // Refreshes as the console does: a fresh fill, then the order saved. Returns the rows,
  // "text|description|image|data" each, top to bottom.
  Rows Refresh() {
    list_.DeleteAllItems();
    catalogue_.FillCatalogue();
    catalogue_.SaveOrder(0);
    return Shown();
  }
  Rows Shown() const {
    Rows rows;
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
  // The saved order: the items Item0 to Item7 that are there.
  Rows Saved() const {
    Rows names;
    for (int n = 0; n < 8; ++n) {
      std::string name = qv::TheAppProfile().GetProfileString("", "Item" + std::to_string(n), "");
      if (!name.empty())
        names.push_back(name);
    }
    return names;
  }
  void SaveOrderAs(const Rows& names) const {
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
const Rows kSample = {kAddNew, kStarters, kOffice, kAsset, kContact};

// A share that could not be listed shows only the add-new row, and the document knows that its
// form map is not the share's contents; an empty share shows that row too, and is listed.
TEST_F(CatalogueTest, EmptyShareAndAShareThatCouldNotBeListed) {
  EXPECT_EQ(kSample, Refresh());
  EXPECT_EQ(kSample, Refresh());  // the saved order holds
  qv::FlushProfiles();
  std::string share = world_.Host(kShare);
  std::filesystem::rename(share, share + ".away");
  EXPECT_EQ(Rows{kAddNew}, Refresh());
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), document_.GetFormMapListingError());
  EXPECT_TRUE(document_.GetFormMap()->IsEmpty());
  std::filesystem::rename(share + ".away", share);
  EXPECT_EQ(kSample, Refresh());
  EXPECT_EQ(0u, document_.GetFormMapListingError());

  for (const char* file : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM", "FDGRPLST.GPS"})
    ASSERT_EQ(0, WinRemove((kShare + file).c_str()));
  EXPECT_EQ(Rows{kAddNew}, Refresh());
  EXPECT_EQ(Rows{"Add new form"}, Saved());
  EXPECT_EQ(0u, document_.GetFormMapListingError());  // empty, and listed
}

TEST_F(CatalogueTest, SavedOrderThenNewGroupsThenNewForms) {
  SaveOrderAs({"Contact details", "Add new form", "Gone", "Office survey", "Contact details"});
  world_.Put(kShare + "FRM9.FRM", Form("Zed", ""));
  world_.Put(kShare + "FDGRPLST.GPS",
             "[Group1]\r\nName=New starters\r\n[Group2]\r\nName=Leavers\r\n");
  // The repeated saved name shows once, where it first stands; "Gone" is dropped for good.
  EXPECT_EQ((Rows{kContact, kAddNew, kOffice, kStarters, "Leavers||2|4", kAsset, "Zed||1|3"}),
            Refresh());
  EXPECT_EQ((Rows{"Contact details", "Add new form", "Office survey", "New starters", "Leavers",
                  "Asset tag", "Zed"}),
            Saved());
}

TEST_F(CatalogueTest, NamesThatMeetOrRepeat) {
  world_.Put(kShare + "FRM3C.FRM", Form("Asset tag", "Second file"));
  world_.Put(kShare + "FRM4.FRM", Form("Add new form", "Pretender"));
  world_.Put(kShare + "FRM5.FRM", Form("", "Nameless"));
  world_.Put(kShare + "FDGRPLST.GPS", "[Group1]\r\nName=Office survey\r\n");
  // One row for the two "Asset tag" files, from the file listed later; the group named like
  // a form is shown as the form; the form named like the add-new row is that row, in the
  // form's place.
  EXPECT_EQ((Rows{kOffice, "Asset tag|Second file|1|3", kAddNew}), Refresh());
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
  ASSERT_EQ(5u, Refresh().size());
  catalogue_.SaveOrder(2);  // Asset tag's row
  EXPECT_EQ((Rows{kAddNew, kOffice, kContact, kStarters}), Shown());
  EXPECT_EQ((Rows{"Add new form", "Office survey", "Contact details", "New starters"}), Saved());
  catalogue_.SaveOrder(0);  // 0 deletes nothing
  EXPECT_EQ(4, list_.GetItemCount());
}

}  // namespace
