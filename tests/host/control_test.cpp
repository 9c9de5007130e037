// The control as the console hosts it: its creation, dispatch methods, events and view.
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
               kProperties = ID_FORMS_PROPERTIES, kSmallIcons = ID_VIEW_SMALLICONS,
               kList = ID_VIEW_LIST, kDetails = ID_VIEW_DETAILS,
               kScheduleButton = ID_TOOLBAR_SCHEDULE, kDeleteButton = ID_TOOLBAR_DELETE,
               kMultipleForms = ID_TOOLBAR_MULTIPLEFORMS, kRefresh = ID_TOOLBAR_REFRESH;

const std::string kShare = "\\\\CORE1\\qvlogon\\";

using Control = ScriptedConsole;

TEST_F(Control, StartsInOrderAndFollowsItsSize) {
  Open();
  ASSERT_EQ(created_, S_OK);
  // The database reached the task library before the view was made.
  SnapinRecord snapin{};
  ASSERT_EQ(FindSnapin("Execute Ini Script", &snapin), TRUE);
  EXPECT_EQ(std::string(snapin.program), "FrmTask.exe");
  EXPECT_EQ(View()->GetSnapinId(), snapin.id);

  // (The list and the toolbar as the page sees them: the snapshot fixture.)
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
  // A prompt is the whole string without a newline, "" for no string (up to the newline: the
  // module's test).
  for (auto [id, text] :
       std::vector<std::pair<LONG, std::string>>{{IDS_ADD_NEW_FORM, "Add new form"}, {1234, ""}}) {
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

  // New Form always, the rest only with a form selected, the toolbar's own commands never.
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

// Leaving the bar hides a button's tip and its prompt. (The tips and prompts, and the states
// after a tick with a form selected: the snapshot fixture, the German and browser walks.)
TEST_F(Control, TheToolbarFollowsTheTimerAndTheMouse) {
  Open();
  qv::ui::SetIdleStatusText("Ready");
  int list = ListHandle(), bar = ToolBar()->Handle();
  user_.Then([&] { qv::ui::Hover(bar, ButtonIndex(kRefresh)); })
      .Then([&] {
        EXPECT_TRUE(Button(kRefresh).tipShown);
        qv::ui::Hover(bar, -1);
      })
      .Then([&] {
        EXPECT_FALSE(Button(kRefresh).tipShown);
        EXPECT_EQ(qv::ui::TakeSnapshot().status, "Ready");
        qv::ui::SelectAt(list, Row("Add new form"));
      })
      .Then([&] {
        EXPECT_TRUE(Button(kModify).enabled);  // not yet: the states follow at the next tick
        Tick();
      })
      .Then([&] {
        for (UINT id : {kScheduleButton, kDeleteButton, kModify})
          EXPECT_FALSE(Button(id).enabled) << id;
        EXPECT_EQ(ConsoleEnables(kProperties), 0);
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
  qv::ui::SetIdleStatusText("");
}

TEST_F(Control, PresentationsAndTheirRadioMarksAndTheSettingsKeptAtTheEnd) {
  Open();
  int bar = ToolBar()->Handle();
  user_.Then([&] { qv::ui::ClickAt(bar, ButtonIndex(kDetails)); })
      .Then([&] {
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
}

// A new form closed untouched is no change; a form opened by Modify is (its name was put into
// the box): the list is read anew and the row stays selected. A new form is listed last.
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
      .Then([&] { qv::ui::CloseWindow(); })
      .Then([&] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().modals.empty());
        qv::ui::WindowState state = ListState();
        EXPECT_EQ(state.lines.back(), "Late form");  // refreshed
        EXPECT_EQ(state.selection, Row("Office survey"));
        EXPECT_EQ(state.caret, state.selection);
        EXPECT_EQ(Command(kNewForm), S_OK);
      })
      .Then([] {
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

// OnCommand passes on its five commands only, not even another one the view carries out.
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

// qvccfg list makes the control from the module installed in the world: the same rows.
TEST_F(Control, RefreshShowsWhatQvccfgListPrints) {
  world_.Put(kShare + "FRMX.FRM", "[Form]\r\nFormName=Extra\r\nFormDescription=d\r\n");
  std::string out, err;
  HRESULT registered = E_FAIL;
  ASSERT_TRUE(qv::InstallModule(&err, &registered)) << err;
  ASSERT_EQ(qv::RunQvccfg({"--world", world_.Dir(), "list"}, &out, &err), 0) << err;
  qv::World::SetCurrent(&world_.World());      // the command opened the world for itself
  qv::SetResourceModule(&qv::OwnResources());  // the unloaded module's went with it
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
