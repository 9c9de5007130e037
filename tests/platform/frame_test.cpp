// The framework's frames, views and documents, command routing and update handlers, timers
// and tracked pop-up menus, as the control's tests do not reach them directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Timers.h"
#include "platform/ui/Ui.h"
#include "resources/Dialogs.h"

namespace {

using Texts = std::vector<std::string>;
Texts g_log;

class LogDoc : public CDocument {
  DECLARE_DYNCREATE(LogDoc)

 public:
  LogDoc() {
    OnCommandId(100, [] { g_log.push_back("document 100"); });
    OnCommandId(101, [] { g_log.push_back("document 101"); });
  }
  ~LogDoc() override { g_log.push_back("document deleted"); }
};
IMPLEMENT_DYNCREATE(LogDoc)

class LogView : public CListView {
  DECLARE_DYNCREATE(LogView)

 public:
  LogView() {
    OnCommandId(101, [] { g_log.push_back("view 101"); });
    OnUpdateCommandUI(110, [](CCmdUI* ui) { ui->Enable(FALSE); });
  }
  ~LogView() override { g_log.push_back("view deleted"); }
};
IMPLEMENT_DYNCREATE(LogView)

class LogFrame : public CFrameWnd {
 public:
  LogFrame() {
    OnCommandId(102, [] { g_log.push_back("frame 102"); });
    OnCommandId(111, [] {});
  }
  ~LogFrame() override { g_log.push_back("frame deleted"); }
};

// The window around the frame: a command, the menu's command, and its timers.
class Host : public CWnd {
 public:
  Host() {
    OnCommandId(103, [] { g_log.push_back("host 103"); });
    OnCommandId(32771, [] { g_log.push_back("host 32771"); });
    Create("Host", "", WS_VISIBLE, CRect{0, 0, 300, 200}, nullptr, 0);
  }
  void OnTimer(UINT_PTR id) override { g_log.push_back("timer " + std::to_string(id)); }
};

struct RecordingUI : CCmdUI {
  int enabled = -1;
  void Enable(BOOL on) override {
    CCmdUI::Enable(on);
    enabled = on;
  }
};

class Frames : public ::testing::Test {
 protected:
  Frames() {
    g_log.clear();
    qv::SetResourceModule(&qv::OwnResources());
    qv::ui::UseManualClock(true);
    qv::ui::ClearInputProblems();
  }
  ~Frames() override {
    qv::ui::UseManualClock(false);
    qv::SetResourceModule(nullptr);
  }
  Host host_;
};

TEST_F(Frames, CommandsGoToTheViewItsDocumentTheFrameThenTheWindowAround) {
  auto* document = static_cast<LogDoc*>(RUNTIME_CLASS(LogDoc)->CreateObject());
  CCreateContext context;
  context.m_pNewViewClass = RUNTIME_CLASS(LogView);
  context.m_pCurrentDoc = document;
  auto* frame = new LogFrame();
  ASSERT_EQ(frame->Create("", "", WS_CHILD | WS_VISIBLE, CRect{0, 0, 300, 200}, &host_, nullptr, 0,
                          &context),
            TRUE);
  auto* view = dynamic_cast<LogView*>(frame->GetDescendantWindow(AFX_IDW_PANE_FIRST));
  ASSERT_NE(view, nullptr);
  frame->SetActiveView(view, FALSE);
  EXPECT_EQ(view->GetDocument(), document);
  EXPECT_EQ(view->GetParentFrame(), frame);
  EXPECT_EQ(view->Rect(), (CRect{0, 0, 300, 200}));
  for (UINT id : {100u, 101u, 102u, 103u, 104u})
    frame->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0));
  EXPECT_EQ(g_log, (Texts{"document 100", "view 101", "frame 102", "host 103"}));

  // Update handlers: the view's own answer; a command handler alone enables; none disables,
  // unless told not to.
  RecordingUI ui;
  for (auto [id, disable, enabled] : {std::tuple{110u, true, 0},
                                      {111u, true, 1},
                                      {100u, true, 1},
                                      {112u, true, 0},
                                      {112u, false, -1}}) {
    ui.m_nID = id;
    ui.enabled = -1;
    ui.DoUpdate(frame, disable);
    EXPECT_EQ(ui.enabled, enabled) << id;
  }

  // The frame's window takes its view with it; the last view takes its document.
  g_log.clear();
  frame->DestroyWindow();
  EXPECT_EQ(g_log, (Texts{"view deleted", "document deleted", "frame deleted"}));
}

TEST_F(Frames, TimersFireOnTheClockOncePerDueAndStopWithTheirWindow) {
  EXPECT_EQ(host_.SetTimer(7, 300), 7u);
  EXPECT_EQ(host_.SetTimer(0, 300), 0u);
  qv::ui::AdvanceClock(299);
  EXPECT_EQ(qv::ui::DeliverDueTimers(), 0);
  EXPECT_EQ(qv::ui::NextTimerDue(), 1);
  qv::ui::AdvanceClock(1);
  EXPECT_EQ(qv::ui::DeliverDueTimers(), 1);
  qv::ui::AdvanceClock(900);  // three periods late: one tick, not three
  EXPECT_EQ(qv::ui::DeliverDueTimers(), 1);
  EXPECT_EQ(qv::ui::DeliverDueTimers(), 0);
  EXPECT_EQ(g_log, (Texts{"timer 7", "timer 7"}));
  EXPECT_EQ(host_.KillTimer(7), TRUE);
  EXPECT_EQ(host_.KillTimer(7), FALSE);
  host_.SetTimer(8, 100);
  host_.DestroyWindow();
  qv::ui::AdvanceClock(1000);
  EXPECT_EQ(qv::ui::DeliverDueTimers(), 0);
  EXPECT_EQ(qv::ui::NextTimerDue(), -1);
}

// A tracked menu sends the picked command to its owner; other input dismisses it and is
// dropped; a command it has not is refused.
TEST_F(Frames, ATrackedMenuIsPickedOrDismissed) {
  CMenu menu;
  ASSERT_EQ(menu.LoadMenu(207), TRUE);
  CMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);

  qv::ui::ScriptedUser user;
  user.Then([] {
        EXPECT_TRUE(qv::ui::TakeSnapshot().menu.open);
        qv::ui::PickMenuItem(99);
      })
      .Then([&] { qv::ui::ClickAt(host_.Handle()); });
  EXPECT_EQ(popup->TrackPopupMenu(TPM_RIGHTBUTTON, 0, 0, &host_), FALSE);
  ASSERT_EQ(qv::ui::InputProblems().size(), 2u);
  EXPECT_NE(qv::ui::InputProblems()[0].find("no command 99"), std::string::npos);
  EXPECT_NE(qv::ui::InputProblems()[1].find("dismissed"), std::string::npos);

  HMENU handle = menu.GetSafeHmenu();
  user.Then([] { qv::ui::PickMenuItem(32771); });
  g_log.clear();
  EXPECT_EQ(popup->TrackPopupMenu(0, 0, 0, &host_), TRUE);
  EXPECT_EQ(g_log, (Texts{"host 32771"}));
  EXPECT_FALSE(qv::ui::OpenMenu().open);
  menu.DestroyMenu();
  EXPECT_FALSE(qv::ui::IsMenu(handle));  // the handle names nothing once destroyed
}

}  // namespace
