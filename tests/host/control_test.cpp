// The control as the console hosts it: its creation, its dispatch methods and events, and the
// view in its frame, driven by a scripted user.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "forms/CustomDoc.h"
#include "platform/com/Bstr.h"
#include "platform/path/HostFile.h"
#include "platform/registry/Registry.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Menu.h"
#include "resources/ResourceIds.h"
#include "tests/host/ScriptedConsole.h"
#include "tests/support/Support.h"
#include "tools/common/Install.h"
#include "tools/common/Json.h"
#include "tools/qvccfg/Commands.h"

namespace {

constexpr UINT kModify = ID_FORMS_MODIFY, kNewForm = ID_FORMS_NEWFORM,
               kSchedule = ID_FORMS_SCHEDULE, kDelete = ID_FORMS_DELETE,
               kProperties = ID_FORMS_PROPERTIES, kLargeIcons = ID_VIEW_LARGEICONS,
               kSmallIcons = ID_VIEW_SMALLICONS, kList = ID_VIEW_LIST, kDetails = ID_VIEW_DETAILS,
               kScheduleButton = ID_TOOLBAR_SCHEDULE, kDeleteButton = ID_TOOLBAR_DELETE,
               kMultipleForms = ID_TOOLBAR_MULTIPLEFORMS, kRefresh = ID_TOOLBAR_REFRESH;

const std::string kShare = "\\\\CORE1\\qvlogon\\";

using Control = ScriptedConsole;

TEST_F(Control, StartsInOrderAndFollowsItsSize) {
  Open();
  ASSERT_EQ(created_, S_OK);
  // The database reached the task library before the view was made: the snap-in exists and
  // the view knows its id.
  ASSERT_FALSE(sink_->fired.empty());
  EXPECT_EQ(sink_->fired.front(), CQVccfgCtrl::kEventGetDatabasePointer);
  SnapinRecord snapin{};
  ASSERT_EQ(FindSnapin("Execute Ini Script", &snapin), TRUE);
  EXPECT_EQ(std::string(snapin.program), "FrmTask.exe");
  EXPECT_EQ(View()->GetSnapinId(), snapin.id);

  // The list, its columns and the toolbar as the page sees them are the snapshot fixture's;
  // what it does not show: one row at a time, and the selection shown without the focus.
  const UINT style = ListState().style;
  EXPECT_EQ(style & (LVS_SINGLESEL | LVS_SHOWSELALWAYS), LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  EXPECT_EQ(control_->GetFrame()->Rect(), (CRect{0, 0, kWidth, kHeight}));
  EXPECT_EQ(View()->Rect().top, ToolBar()->Rect().bottom);
  user_.Then([&] { qv::ui::Resize(control_->Handle(), 800, 500); }).Then([&] {
    EXPECT_EQ(control_->GetFrame()->Rect(), (CRect{0, 0, 800, 500}));
    EXPECT_EQ(View()->Rect().right, 800);
    EXPECT_EQ(View()->Rect().bottom, 500);
  });
  Run();
}

TEST_F(Control, DispatchMethodsByIdAnswerAsTheConsoleExpects) {
  Open();
  // A prompt is its string up to the newline, the whole string without one, "" for no string.
  for (auto [id, text] :
       std::vector<std::pair<LONG, std::string>>{{kRefresh, "Refresh item information"},
                                                 {IDS_ADD_NEW_FORM, "Add new form"},
                                                 {1234, ""}}) {
    BSTR prompt = nullptr;
    EXPECT_EQ(
        Call(CQVccfgCtrl::kGetMessageString, {VARIANT::FromLong(id), VARIANT::RefString(&prompt)}),
        S_OK);
    EXPECT_EQ(qv::com::BstrText(prompt), text) << id;
    SysFreeString(prompt);
  }

  VARIANT first, second;
  ASSERT_EQ(Call(CQVccfgCtrl::kGetSharedMenu, {}, &first), S_OK);
  Call(CQVccfgCtrl::kGetSharedMenu, {}, &second);
  EXPECT_EQ(first.Long(), second.Long());  // one menu, held
  std::vector<qv::ui::MenuItemState> top = qv::ui::MenuItems(static_cast<HMENU>(first.Long()));
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].text, "Fo&rms");
  std::vector<std::pair<std::string, UINT>> items;
  for (const qv::ui::MenuItemState& item : qv::ui::MenuItems(top[0].popup))
    items.emplace_back(item.text, item.id);
  EXPECT_EQ(items, (std::vector<std::pair<std::string, UINT>>{{"&New Form...", kNewForm},
                                                              {"&Modify...", kModify}}));

  // Enabling for the console's menus: New Form always, the rest only with a form selected,
  // the toolbar's own commands never.
  EXPECT_EQ(ConsoleEnables(kNewForm), 1);
  for (UINT id : {kModify, kSchedule, kDelete, kProperties, kMultipleForms, kRefresh, 12345u})
    EXPECT_EQ(ConsoleEnables(id), 0) << id;
  View()->SetItemState(Row("Office survey"), LVIS_SELECTED, LVIS_SELECTED);
  for (UINT id : {kModify, kSchedule, kDelete, kProperties})
    EXPECT_EQ(ConsoleEnables(id), 1) << id;
  // A handle that names nothing does nothing.
  EXPECT_EQ(Call(CQVccfgCtrl::kOnUpdateCommandUI, {VARIANT::FromLong(99999)}), S_OK);
  // Wrong argument kinds are refused by the dispatch table.
  EXPECT_EQ(Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromString("32770")}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Call(CQVccfgCtrl::kOnInitialUpdate, {VARIANT::FromLong(0)}), S_OK);
  EXPECT_EQ(Call(CQVccfgCtrl::kOnNetmapSelChange), S_OK);
  user_.Then([] {
    EXPECT_EQ(qv::ui::TakeSnapshot().Top()->text, "About QVccfg Control");
    qv::ui::Click(IDOK);
  });
  EXPECT_EQ(Call(DISPID_ABOUTBOX), S_OK);  // runs its own modal loop
  EXPECT_EQ(user_.Pending(), 0u);
}

TEST_F(Control, WithoutADatabaseTheListWorksAndTheTaskLibraryIsLeftAlone) {
  // A pointer someone else gave the task library before: the control still withdraws it.
  SetDatabasePtr(&database_);
  Open(false);
  ASSERT_EQ(created_, S_OK);
  EXPECT_EQ(View()->GetDatabasePointer(), 0u);
  EXPECT_EQ(View()->GetSnapinId(), 0);
  EXPECT_EQ(ListState().lines.size(), 5u);
  SnapinRecord snapin{};
  EXPECT_EQ(FindSnapin("Execute Ini Script", &snapin), FALSE);  // not registered
  Close();
  EXPECT_EQ(FindSnapin("Execute Ini Script", &snapin), FALSE);
  EXPECT_EQ(RegisterTaskSnapin("Execute Ini Script", "FrmTask.exe", ""), FALSE);  // freed
}

TEST_F(Control, AFailedSnapinRegistrationFailsTheCreationWithItsMessage) {
  // A damaged console database: the snap-in can be neither found nor registered.
  ASSERT_TRUE(qv::WriteHostFileAtomic(world_.World().DatabaseHostPath(), "not a database\n"));
  user_.Then([] { EXPECT_NE(qv::ui::TakeSnapshot().Top()->Find(20), nullptr); });  // the icon
  Box("The Form Designer tool cannot run because its database registration failed.  You may "
      "need to run TBLFIX to update tables.",
      IDOK, "Form Designer");
  Open();
  EXPECT_EQ(created_, E_FAIL);
  EXPECT_EQ(control_->ControlWindowHandle(), 0);
  EXPECT_TRUE(qv::ui::TakeSnapshot().windows.empty());
}

TEST_F(Control, TheTimerKeepsTheToolbarCurrentAndTheAddNewRowDisablesCommands) {
  Open();
  int list = ListHandle();
  user_
      .Then([&] {
        qv::ui::SelectAt(list, Row("Office survey"));
        Tick();
      })
      .Then([&] {
        for (UINT id : {kScheduleButton, kDeleteButton, kModify})
          EXPECT_TRUE(Button(id).enabled) << id;
        EXPECT_TRUE(Button(kMultipleForms).enabled);  // the form map has forms
        EXPECT_TRUE(Button(kLargeIcons).checked);
        EXPECT_FALSE(Button(kDetails).checked);
        qv::ui::SelectAt(list, Row("Add new form"));
      })
      .Then([&] {
        // Not yet: the states follow at the next tick.
        EXPECT_TRUE(Button(kModify).enabled);
        Tick();
      })
      .Then([&] {
        for (UINT id : {kScheduleButton, kDeleteButton, kModify})
          EXPECT_FALSE(Button(id).enabled) << id;
        EXPECT_EQ(ConsoleEnables(kProperties), 0);
        qv::ui::RightClickAt(list, Row("Add new form"));  // no menu for this row
      })
      .Then([&] {
        EXPECT_FALSE(qv::ui::TakeSnapshot().menu.open);
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        // Multiple Forms is disabled while the form map is empty.
        for (const char* file : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM"})
          std::filesystem::remove(world_.Host(kShare + file));
        qv::ui::KeyAt(list, VK_F5);
      })
      .Then([] { Tick(); })
      .Then([&] {
        EXPECT_FALSE(Button(kMultipleForms).enabled);
        EXPECT_TRUE(Button(kRefresh).enabled);
      });
  Run();
}

// (That a press hides the tip and its prompt is the browser tests'.)
TEST_F(Control, HoveringAButtonShowsItsTipAndTellsTheConsoleItsPrompt) {
  Open();
  qv::ui::SetIdleStatusText("Ready");
  int bar = ToolBar()->Handle();
  // Every button has its tip from the start (the fixture shows them); asking for one tells
  // no prompt.
  EXPECT_FALSE(Button(kRefresh).tip.empty());
  EXPECT_TRUE(sink_->status.empty());
  user_.Then([&] { qv::ui::Hover(bar, ButtonIndex(kRefresh)); })
      .Then([&] {
        EXPECT_TRUE(Button(kRefresh).tipShown);
        EXPECT_EQ(sink_->status, (std::vector<std::string>{"Refresh item information"}));
        EXPECT_EQ(qv::ui::TakeSnapshot().status, "Refresh item information");
        qv::ui::Hover(bar, ButtonIndex(kMultipleForms));
      })
      .Then([&] {
        EXPECT_FALSE(Button(kRefresh).tipShown);
        EXPECT_TRUE(Button(kMultipleForms).tipShown);
        EXPECT_EQ(sink_->status.back(), "Add a new multiple form");
        qv::ui::Hover(bar, -1);
      })
      .Then([&] {
        EXPECT_FALSE(Button(kMultipleForms).tipShown);
        EXPECT_EQ(qv::ui::TakeSnapshot().status, "Ready");
      });
  Run();
  qv::ui::SetIdleStatusText("");
}

TEST_F(Control, PresentationsAndTheirRadioMarksAndTheSettingsKeptAtTheEnd) {
  Open();
  int bar = ToolBar()->Handle();
  user_.Then([&] { qv::ui::ClickAt(bar, ButtonIndex(kDetails)); })
      .Then([&] {
        EXPECT_EQ(ListState().style & LVS_TYPEMASK, LVS_REPORT);
        // The user drags the name column's divider; a drag past any sense is refused.
        qv::ui::DragColumnDivider(ListHandle(), 0, 150);
        qv::ui::DragColumnDivider(ListHandle(), 1, -5);
        qv::ui::DragColumnDivider(ListHandle(), 2, 100);
      })
      .Then([&] {
        EXPECT_EQ(ListState().columnWidths, (std::vector<int>{150, 192}));
        EXPECT_EQ(qv::ui::InputProblems().size(), 2u);
        qv::ui::ClearInputProblems();
        qv::ui::ClickAt(bar, ButtonIndex(kList));
      })
      .Then([&] {
        EXPECT_EQ(ListState().style & LVS_TYPEMASK, LVS_LIST);
        // No header shows in the list presentation.
        qv::ui::DragColumnDivider(ListHandle(), 1, 300);
      })
      .Then([&] {
        EXPECT_EQ(ListState().columnWidths, (std::vector<int>{150, 192}));
        EXPECT_EQ(qv::ui::InputProblems().size(), 1u);
        qv::ui::ClearInputProblems();
      });
  Run();
  Close();
  qv::FlushRegistry();
  const std::string hive = FileBytes(world_.World().RegistryDir("ADMIN7") + "/HKCU.reg");
  for (const char* kept :
       {"\"LastViewType\"=dword:00000003\r\n", "\"NameColWidth\"=dword:00000096\r\n",
        "\"DescColWidth\"=dword:000000c0\r\n",
        "\"Item0\"=\"Add new form\"\r\n\"Item1\"=\"New starters\"\r\n\"Item2\"=\"Office "
        "survey\"\r\n"
        "\"Item3\"=\"Asset tag\"\r\n\"Item4\"=\"Contact details\"\r\n"})
    EXPECT_NE(hive.find(kept), std::string::npos) << kept << " in " << hive;
  // The next control starts where this one ended.
  Open();
  EXPECT_EQ(ListState().style & LVS_TYPEMASK, LVS_LIST);
  EXPECT_EQ(ListState().columnWidths, (std::vector<int>{150, 192}));
}

// A new form closed untouched has nothing to save and the list is not read anew. Loading a
// form into the editor puts its name into the name box, which counts as a change: a form
// opened by Modify and closed untouched is rewritten, the list is read anew, and the row that
// was selected stays selected. A new form made is listed last and selected.
TEST_F(Control, ClosingTheEditorRefreshesOnlyAfterAChange) {
  Open();
  int list = ListHandle();
  user_.Then([&] { qv::ui::DoubleClickAt(list, Row("Add new form")); })
      .Then([&] {
        world_.Put(kShare + "FRMLATE.FRM", "[Form]\r\nFormName=Late form\r\n");
        qv::ui::CloseWindow();
      })
      .Then([&] {
        EXPECT_EQ(ListState().lines.size(), 5u);  // not refreshed
        qv::ui::SelectAt(list, Row("Office survey"));
      })
      .Then([&] { View()->SendMessage(WM_COMMAND, MAKEWPARAM(kModify, 0)); })
      .Then([&] {
        EXPECT_EQ(qv::ui::TakeSnapshot().Top()->text, "Edit a Custom Data Form");
        qv::ui::CloseWindow();
      })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        qv::ui::WindowState state = ListState();
        EXPECT_EQ(state.lines.back(), "Late form");  // refreshed
        EXPECT_EQ(state.selection, Row("Office survey"));
        EXPECT_EQ(state.caret, state.selection);
        EXPECT_EQ(Command(kNewForm), S_OK);
      })
      .Then([] {
        EXPECT_EQ(qv::ui::TakeSnapshot().Top()->text, "Create a Custom Data Form");
        qv::ui::Type(IDC_FORM_NAME, "Desk check");
        qv::ui::Click(IDOK);
      })
      .Then([&] {
        qv::ui::WindowState state = ListState();
        EXPECT_EQ(state.lines.back(), "Desk check");
        EXPECT_EQ(state.selection, static_cast<int>(state.lines.size()) - 1);
        EXPECT_EQ(state.caret, state.selection);
      });
  Run();
}

// The console routes its menu commands through OnCommand: Modify, New Form, Schedule, Delete
// and Properties reach the view, every other id is ignored, even one the view carries out.
TEST_F(Control, OnCommandCarriesOutOnlyItsFiveCommands) {
  Open();
  world_.Put(kShare + "FRMLATE.FRM", "[Form]\r\nFormName=Late form\r\n");
  // Properties without a selection: nothing at all, not even the box Modify shows.
  EXPECT_EQ(Command(kProperties), S_OK);
  View()->SendMessage(WM_COMMAND, MAKEWPARAM(kProperties, 0));
  EXPECT_EQ(user_.RanOut(), 0) << "a box or dialog opened";

  View()->SetItemState(Row("Office survey"), LVIS_SELECTED, LVIS_SELECTED);
  const qv::ui::WindowState before = ListState();
  const std::size_t fired = sink_->fired.size();
  for (UINT id : {kRefresh, kMultipleForms, kScheduleButton, kDeleteButton, kDetails, kSmallIcons,
                  kList, 12345u}) {
    EXPECT_EQ(Command(id), S_OK);
    EXPECT_EQ(user_.RanOut(), 0) << id << ": a box or dialog opened";
    qv::ui::WindowState list = ListState();
    EXPECT_EQ(list.lines, before.lines) << id;
    EXPECT_EQ(list.style, before.style) << id;
    EXPECT_EQ(list.selection, before.selection) << id;
  }
  EXPECT_EQ(sink_->fired.size(), fired) << "an event fired: something was scheduled";
  EXPECT_TRUE(world_.Exists(kShare + "FRM1A.FRM"));

  // Properties of a group opens the group dialog; the old row stays selected.
  user_
      .Then([&] {
        View()->SetItemState(Row("New starters"), LVIS_SELECTED, LVIS_SELECTED);
        Command(kProperties);
      })
      .Then([] {
        qv::ui::Snapshot s = qv::ui::TakeSnapshot();
        ASSERT_NE(s.Top(), nullptr) << "no dialog";
        EXPECT_EQ(s.Top()->text, "Select Multiple Forms to Distribute");
        qv::ui::Click(IDCANCEL);
      })
      .Then([&] { EXPECT_EQ(ListState().selection, Row("New starters")); });
  Run();
}

// qvccfg list makes the control from the module installed in the world: its rows are the
// rows of the control linked in here.
TEST_F(Control, RefreshShowsWhatQvccfgListPrints) {
  world_.Put(kShare + "FRMX.FRM", "[Form]\r\nFormName=Extra\r\nFormDescription=d\r\n");
  std::string out, err;
  HRESULT registered = E_FAIL;
  ASSERT_TRUE(qv::InstallModule(&err, &registered)) << err;
  ASSERT_EQ(qv::RunQvccfg({"--world", world_.Dir(), "list"}, &out, &err), 0) << err;
  qv::World::SetCurrent(&world_.World());  // the command opened the world for itself
  // The module it loaded and unloaded took its resources with it: ours are current again.
  qv::SetResourceModule(&qv::OwnResources());
  qv::json::Value printed;
  ASSERT_TRUE(qv::json::Parse(out, &printed, nullptr));
  Open();
  View()->SendMessage(WM_COMMAND, MAKEWPARAM(kRefresh, 0));
  ASSERT_EQ(printed.size(), static_cast<std::size_t>(View()->GetItemCount()));
  const qv::ui::WindowState list = ListState();
  for (int row = 0; row < View()->GetItemCount(); ++row) {
    const qv::json::Value& item = printed.at(static_cast<std::size_t>(row));
    EXPECT_EQ(item.at("text").get<std::string>(), View()->GetItemText(row, 0));
    EXPECT_EQ(item.at("description").get<std::string>(), View()->GetItemText(row, 1));
    EXPECT_EQ(item.at("image").get<std::string>(), list.images[static_cast<std::size_t>(row)]);
  }
  EXPECT_EQ(View()->GetItemText(Row("Extra"), 1), "d");
}

}  // namespace
