// Dragging a form or group out of the list onto a window that takes task configuration data.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "distribution/TaskDataSource.h"
#include "platform/ole/DataObject.h"
#include "platform/ole/DropTarget.h"
#include "platform/ole/GlobalMemory.h"
#include "platform/ui/Clipboard.h"
#include "tests/host/ScriptedConsole.h"
#include "tests/support/Support.h"

namespace {

// A window of the console that takes task configuration data and asks for it `asks` times.
class TaskPane : public COleDropTarget {
 public:
  explicit TaskPane(int asks) : asks_(asks) {
    window_.Create("TaskPane", "", WS_VISIBLE, CRect{0, 0, 100, 100}, nullptr, 0);
    Register(&window_);
  }
  DROPEFFECT OnDragOver(CWnd*, COleDataObject* data, DWORD, CPoint) override {
    return data->IsDataAvailable(
               static_cast<CLIPFORMAT>(RegisterClipboardFormatA(kTaskDataFormatName)))
               ? DROPEFFECT_COPY
               : DROPEFFECT_NONE;
  }
  BOOL OnDrop(CWnd*, COleDataObject* data, DROPEFFECT, CPoint) override {
    auto format = static_cast<CLIPFORMAT>(RegisterClipboardFormatA(kTaskDataFormatName));
    for (int i = 0; i < asks_; ++i) {
      if (i > 0 && betweenAsks)
        betweenAsks();
      HGLOBAL block = data->GetGlobalData(format);
      if (block == 0)
        return FALSE;
      flags.push_back(qv::ole::GlobalAllocFlags(block));
      const auto* bytes = static_cast<const char*>(GlobalLock(block));
      blocks.emplace_back(bytes, GlobalSize(block));
      GlobalUnlock(block);
      GlobalFree(block);
    }
    return TRUE;
  }
  int Handle() const { return window_.Handle(); }
  std::vector<std::string> blocks;
  std::vector<UINT> flags;
  std::function<void()> betweenAsks;  // runs before every ask but the first

 private:
  int asks_;
  CWnd window_;
};

// The block a drop of configuration `id` named `name` renders.
std::string Block(LONG id, LONG snapinId, const std::string& name) {
  TaskConfigRecord record;
  std::memset(&record, 0, sizeof record);
  record.id = id;
  record.snapinId = snapinId;
  std::memcpy(record.name, name.c_str(), name.size());
  std::string data = name + ".ini";
  record.data = 272;
  record.dataLength = static_cast<std::uint32_t>(data.size());
  return std::string(reinterpret_cast<const char*>(&record), sizeof record) + data;
}

std::vector<TaskConfigRecord> Configurations() {
  std::vector<TaskConfigRecord> found;
  TaskConfigRecord record{};
  LONG handle = FindFirstTaskConfiguration("Execute Ini Script", &record);
  for (BOOL more = handle != -1; more; more = FindNextTaskConfiguration(handle, &record))
    found.push_back(record);
  return found;
}

class Drag : public ScriptedConsole {
 protected:
  void DragRow(const std::string& row) {
    UserInput input;
    input.kind = UserInput::kDrag;
    input.target = ListHandle();
    input.index = Row(row);
    qv::ui::Post(input);
  }
  // Steps: drag `row` over the pane and drop it there.
  void DropOn(const std::string& row, const TaskPane& pane) {
    user_.Then([this, row] { DragRow(row); })
        .Then([&pane] { qv::ui::DragOver(pane.Handle()); })
        .Then([] { qv::ui::Drop(); });
  }
  std::string Script(const std::string& name) const {
    return world_.Bytes("\\\\CORE1\\QVMAIN\\SCRIPTS\\" + name + ".ini");
  }
};

TEST_F(Drag, ATargetThatAsksTwiceGetsTheSameBlockAndTheScriptWrittenTwice) {
  Open();
  TaskPane pane(2);
  // The script is taken away between the two asks: the second rendering writes it again.
  pane.betweenAsks = [&] {
    EXPECT_NE(Script("Office survey"), "");
    std::filesystem::remove(world_.Host("\\\\CORE1\\QVMAIN\\SCRIPTS\\Office survey.ini"));
  };
  user_.Then([&] { DragRow("Office survey"); })
      .Then([&] {
        qv::ui::DragState drag = qv::ui::TakeSnapshot().drag;
        ASSERT_TRUE(drag.running);
        EXPECT_EQ(drag.formats, (std::vector<std::string>{"QVNX_TASK_CFG_DATA"}));
        EXPECT_EQ(drag.allowedEffects, DROPEFFECT_COPY);
        qv::ui::DragOver(pane.Handle());
      })
      .Then([] { qv::ui::Drop(); });
  Run();
  std::vector<TaskConfigRecord> added = Configurations();
  ASSERT_EQ(added.size(), 1u);  // added at the start of the drag
  EXPECT_EQ(pane.blocks, (std::vector<std::string>(
                             2, Block(added[0].id, View()->GetSnapinId(), "Office survey"))));
  EXPECT_EQ(pane.flags, (std::vector<UINT>{0x2042, 0x2042}));
  EXPECT_EQ(Script("Office survey"), GoldenFile("office-survey.ini"));
  EXPECT_EQ(ListState().selection, Row("Office survey"));
}

TEST_F(Drag, EveryDragOfAnUnusedConfigurationAddsAnotherAndTheAddNewRowOffersNothing) {
  Open();
  for (int i = 0; i < 2; ++i)
    user_.Then([&] { DragRow("Asset tag"); }).Then([] { qv::ui::CancelDrag(); });
  user_.Then([&] { DragRow("Add new form"); }).Then([&] {
    EXPECT_FALSE(qv::ui::TakeSnapshot().drag.running);
    EXPECT_EQ(ListState().selection, Row("Add new form"));
  });
  Run();
  std::vector<TaskConfigRecord> added = Configurations();
  ASSERT_EQ(added.size(), 2u);  // cancelled or not
  EXPECT_STREQ(added[0].name, "Asset tag");
  EXPECT_STREQ(added[1].name, "Asset tag");
}

TEST_F(Drag, AScheduledGroupAndAScheduledFormEachGetTheirOwnScript) {
  Open();
  TaskPane pane(1);
  // Scheduled beforehand, the group and the form keep their configurations.
  AddConfiguration("New starters", true);
  AddConfiguration("Contact details", true);
  DropOn("New starters", pane);
  DropOn("Contact details", pane);
  Run();
  EXPECT_EQ(Configurations().size(), 2u);  // nothing added
  EXPECT_EQ(Script("New starters"), GoldenFile("new-starters.ini"));
  EXPECT_EQ(Script("Contact details"), GoldenFile("contact-details.ini"));
  ASSERT_EQ(pane.blocks.size(), 2u);
  // A configuration without data gives a block of the record alone.
  EXPECT_EQ(pane.blocks[0].size(), sizeof(TaskConfigRecord));
}

}  // namespace
