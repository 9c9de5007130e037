#include "groups/FormGroupList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/profile/Profile.h"
#include "tests/TestWorld.h"

namespace {

const char kFile[] = "\\\\CORE1\\qvlogon\\FDGRPLST.GPS";
using Names = std::vector<std::string>;

// "name: form, form; name: ..." of the whole list, walking it as its users do.
std::string Describe(CFormGroupList& list) {
  std::string text;
  for (CFormGroup* group = list.GetFirstGroup(); group != nullptr; group = list.GetNextGroup()) {
    text += group->GetGroupName() + ":";
    for (CGroupFormEntry* entry = group->GetFirstForm(); entry != nullptr;
         entry = group->GetNextForm())
      text += " " + entry->GetFormName();
    text += ";";
  }
  return text;
}

class GroupList : public ::testing::Test {
 protected:
  TestWorld world_;
};

// (Groups added to an empty list and saved: the missing file below and the console commands.)
TEST_F(GroupList, WorkedExampleAndNewSectionNames) {
  world_.Put(kFile, "");
  EXPECT_EQ(1, CFormGroupList(kFile).IsValid());
  const std::string two =
      "[Group1]\r\nName=Site survey\r\nForm1=Hardware\r\nForm2=Location\r\n"
      "[Group2]\r\nName=Desk check\r\nForm1=Hardware\r\n";
  world_.Put(kFile, two);
  CFormGroupList again(kFile);
  EXPECT_EQ("Site survey: Hardware Location;Desk check: Hardware;", Describe(again));
  again.AddGroup("Third", {});
  again.AddGroup("Fourth", {"X"});
  ASSERT_NE(nullptr, again.FindGroupWithForm("X", "Fourth"));
  EXPECT_EQ("Group4", again.FindGroupWithForm("X", "Fourth")->GetSectionName());
  EXPECT_EQ(4, again.GetGroupCount());
  again.Save();
  EXPECT_EQ(two + "[Group3]\r\nName=Third\r\n[Group4]\r\nName=Fourth\r\nForm1=X\r\n",
            world_.Bytes(kFile));
}

TEST_F(GroupList, ReadingStopsAtGapsAndSaveRenumbers) {
  world_.Put(kFile,
             "[Group1]\r\nName=A\r\nForm1=F1\r\nForm2=F2\r\nForm4=F4\r\n"
             "[Group3]\r\nName=C\r\nForm1=F1\r\n");
  CFormGroupList gap(kFile);
  EXPECT_EQ("A: F1 F2;", Describe(gap));
  gap.Save();
  EXPECT_EQ("[Group1]\r\nName=A\r\nForm1=F1\r\nForm2=F2\r\n", world_.Bytes(kFile));

  world_.Put(kFile, "[Group1]\r\nName=A\r\n[Group2]\r\nName=\r\nForm1=F\r\n[Group3]\r\nName=C\r\n");
  CFormGroupList empty(kFile);
  EXPECT_EQ("A:;", Describe(empty));

  // A missing file is a list without groups; saving creates the file.
  const char kNew[] = "\\\\CORE1\\qvlogon\\NOGROUPS.GPS";
  CFormGroupList missing(kNew);
  EXPECT_EQ(0, missing.GetGroupCount());
  EXPECT_EQ(nullptr, missing.GetFirstGroup());
  missing.AddGroup("New", {"F"});
  missing.Save();
  EXPECT_EQ("[Group1]\r\nName=New\r\nForm1=F\r\n", world_.Bytes(kNew));
}

TEST_F(GroupList, RemovingGroupsAndForms) {
  const std::string three =
      "[Group1]\r\nName=One\r\nForm1=X\r\nForm2=Y\r\nForm3=X\r\n[Group2]\r\nName=Two\r\nForm1=X\r\n"
      "[Group3]\r\nname=Three\r\nform1=Y\r\n";
  world_.Put(kFile, three);
  {
    // Nothing to remove: false, and the file keeps its bytes.
    CFormGroupList list(kFile);
    EXPECT_FALSE(list.RemoveGroup("one"));
    EXPECT_FALSE(list.RemoveFormFromAllGroups("Z"));
    EXPECT_EQ(three, world_.Bytes(kFile));

    EXPECT_TRUE(list.RemoveGroup("One"));
    EXPECT_EQ(2, list.GetGroupCount());
    EXPECT_EQ("[Group1]\r\nName=Two\r\nForm1=X\r\n[Group2]\r\nName=Three\r\nForm1=Y\r\n",
              world_.Bytes(kFile));
  }
  world_.Put(kFile, three);
  CFormGroupList list(kFile);
  // One entry per group goes; a group that loses its last form keeps its name.
  EXPECT_TRUE(list.RemoveFormFromAllGroups("X"));
  EXPECT_EQ(
      "[Group1]\r\nName=One\r\nForm1=Y\r\nForm2=X\r\n[Group2]\r\nName=Two\r\n"
      "[Group3]\r\nName=Three\r\nForm1=Y\r\n",
      world_.Bytes(kFile));
}

// A list whose read failed (a folder stood in the file's place) lacks what the error hid:
// saving it would drop every other group, so nothing is saved.
TEST_F(GroupList, AListReadInPartIsNeverSaved) {
  const std::string groups = "[Group1]\r\nName=Keep\r\nForm1=F\r\n";
  world_.Put(kFile, groups);
  qv::FlushProfiles();
  std::string host = world_.Host(kFile);
  std::filesystem::rename(host, host + ".away");
  std::filesystem::create_directory(host);
  CFormGroupList list(kFile);
  EXPECT_TRUE(list.ReadFailed());
  EXPECT_EQ(0, list.GetGroupCount());
  std::filesystem::remove(host);
  std::filesystem::rename(host + ".away", host);
  list.AddGroup("New", {"F"});
  list.Save();
  EXPECT_EQ(groups, world_.Bytes(kFile));
  CFormGroupList whole(kFile);  // read whole, it saves again
  EXPECT_FALSE(whole.ReadFailed());
  whole.AddGroup("New", {"F"});
  whole.Save();
  EXPECT_EQ(groups + "[Group2]\r\nName=New\r\nForm1=F\r\n", world_.Bytes(kFile));
}

TEST_F(GroupList, ReplaceAndFindMatchNamesExactly) {
  world_.Put(kFile,
             "[Group1]\r\nName=Same\r\nForm1=A\r\n[Group2]\r\nName=same\r\nForm1=B\r\n"
             "[Group3]\r\nName=Same\r\nForm1=C\r\n");
  CFormGroupList list(kFile);
  list.ReplaceGroupForms("Same", {"P", "Q"});
  EXPECT_EQ("Same: P Q;same: B;Same: P Q;", Describe(list));

  CFormGroup* found = list.FindGroupWithForm("B", "same");
  ASSERT_NE(nullptr, found);
  EXPECT_EQ("Group2", found->GetSectionName());
  EXPECT_EQ(nullptr, list.FindGroupWithForm("B", "Same"));
  EXPECT_EQ(nullptr, list.FindGroupWithForm("b", "same"));
  // The search leaves every walk at its start.
  CGroupFormEntry* next = found->GetNextForm();
  ASSERT_NE(nullptr, next);
  EXPECT_EQ("B", next->GetFormName());
  EXPECT_EQ("Same: P Q;same: B;Same: P Q;", Describe(list));
}

// A view whose scheduled names are given, and that notes every name it is asked about.
class ScheduledNames : public IGroupScheduling {
 public:
  explicit ScheduledNames(Names scheduled) : scheduled_(std::move(scheduled)) {}
  int IsScheduled(TaskConfigRecord* record, const std::string& name) const override {
    EXPECT_NE(record, nullptr);
    asked.push_back(name);
    for (const std::string& s : scheduled_)
      if (s == name)
        return 1;
    return 0;
  }
  void WriteGroupScript(const std::string& name) override {
    ADD_FAILURE() << "the scheduled-group test wrote the script of " << name;
  }
  mutable Names asked;

 private:
  Names scheduled_;
};

TEST_F(GroupList, ScheduledGroupTestAsksTheViewForEachListingGroupInOrder) {
  world_.Put(kFile,
             "[Group1]\r\nName=First\r\nForm1=Hardware\r\nForm2=Hardware\r\n"
             "[Group2]\r\nName=Other\r\nForm1=Location\r\n"
             "[Group3]\r\nName=Last\r\nForm1=hardware\r\nForm2=Hardware\r\n");
  CFormGroupList list(kFile);
  // A form listed twice is asked about twice, another case is another form, the first task
  // ends the questions, a form no group lists asks nothing.
  struct Case {
    Names scheduled;
    const char* form;
    bool expected;
    Names asked;
  };
  const Case cases[] = {{{"Other"}, "Hardware", false, {"First", "First", "Last"}},
                        {{"First", "Last"}, "Hardware", true, {"First"}},
                        {{"Last"}, "Hardware", true, {"First", "First", "Last"}},
                        {{"First", "Other", "Last"}, "Nowhere", false, {}}};
  for (const Case& c : cases) {
    ScheduledNames view(c.scheduled);
    EXPECT_EQ(list.IsFormInScheduledGroup(view, c.form), c.expected) << c.asked.size();
    EXPECT_EQ(view.asked, c.asked);
  }
}

}  // namespace
