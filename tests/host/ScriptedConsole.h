// A console for tests: it makes and places the control as the console does, answers its events
// and calls its dispatch methods by id; a scripted user drives its top-level window.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/HostInterfaces.h"
#include "host/QVccfgCtrl.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/registry/AppProfile.h"
#include "platform/tasklib/TaskLib.h"
#include "platform/ui/Timers.h"
#include "platform/ui/Ui.h"
#include "resources/Dialogs.h"
#include "tests/TestWorld.h"
#include "view/CustomFrame.h"
#include "view/CustomView.h"

// The console's end of the event interface.
class EventSink final : public qv::com::Object<IDispatch> {
 public:
  LONG database = 0;                       // what GetDatabasePointer answers
  IUnknown* host = nullptr;                // what GetClassInterface answers (not owned)
  std::vector<DISPID> fired;               // every event, in order
  std::vector<std::string> status;         // the texts of NoLogStatus
  std::vector<std::string> classRequests;  // the class ids GetClassInterface asked for

  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, std::span<const VARIANT> args, VARIANT*) override {
    fired.push_back(id);
    if (id == CQVccfgCtrl::kEventGetDatabasePointer && args.size() == 1 && args[0].LongRef())
      *args[0].LongRef() = database;
    if (id == CQVccfgCtrl::kEventNoLogStatus && args.size() == 1) {
      status.push_back(args[0].Text());
      qv::ui::SetStatusText(args[0].Text());
    }
    if (id == CQVccfgCtrl::kEventGetClassInterface && args.size() == 3) {
      classRequests.push_back(
          qv::com::FormatGuid(*reinterpret_cast<const CLSID*>(args[0].LongRef())));
      if (host != nullptr && args[1].UnknownRef() != nullptr) {
        host->AddRef();
        *args[1].UnknownRef() = host;
      }
    }
    return S_OK;
  }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == CQVccfgCtrl::kEventsIid)
      return static_cast<IDispatch*>(this);
    return nullptr;
  }
};

// A command-update object of the console: records what the control made of one command.
struct RecordingCmdUI : CCmdUI {
  int enabled = -1;  // -1: never told
  void Enable(BOOL on) override {
    CCmdUI::Enable(on);
    enabled = on != FALSE ? 1 : 0;
  }
};

class ScriptedConsole : public ::testing::Test {
 protected:
  static constexpr int kWidth = 640, kHeight = 420;

  ScriptedConsole() {
    qv::SetResourceModule(&qv::OwnResources());
    qv::TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg");
    qv::ui::UseManualClock(true);
    qv::ui::ClearInputProblems();
    sink_ = qv::com::MakeObject<EventSink>();
  }
  ~ScriptedConsole() override {
    Close();
    qv::ui::UseManualClock(false);
    qv::ui::SetStatusText("");
    qv::SetResourceModule(nullptr);
  }

  // Makes and places the control; the console answers with a database unless told not to.
  void Open(bool withDatabase = true) {
    if (withDatabase)
      sink_->database = qv::DatabaseHandles().Register(&database_);
    control_ = new CQVccfgCtrl();  // the first reference is ours
    qv::com::ComPtr<IConnectionPoint> point;
    ASSERT_EQ(control_->FindConnectionPoint(CQVccfgCtrl::kEventsIid, point.Out()), S_OK);
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_), S_OK);
    created_ = control_->CreateControlWindow(0, CRect{0, 0, kWidth, kHeight});
  }

  // Takes the control's window down and gives back the last reference, as the console does.
  void Close() {
    if (control_ == nullptr)
      return;
    control_->DestroyControlWindow();
    control_->Release();
    control_ = nullptr;
    if (sink_->database != 0)
      qv::DatabaseHandles().Unregister(sink_->database);
  }

  // A dispatch call by id.
  HRESULT Call(DISPID id, std::vector<VARIANT> args = {}, VARIANT* result = nullptr) {
    return control_->Invoke(id, DISPATCH_METHOD, args, result);
  }
  // What OnUpdateCommandUI makes of a command: 1 enabled, 0 disabled.
  int ConsoleEnables(UINT id) {
    RecordingCmdUI ui;
    ui.m_nID = id;
    qv::com::ScopedHandle<CCmdUI> handle(qv::ui::CmdUIHandles(), &ui);
    EXPECT_EQ(Call(CQVccfgCtrl::kOnUpdateCommandUI, {VARIANT::FromLong(handle.Get())}), S_OK);
    return ui.enabled;
  }

  // The console's menu command `id`, routed through OnCommand as the console does.
  HRESULT Command(UINT id) {
    return Call(CQVccfgCtrl::kOnCommand, {VARIANT::FromLong(static_cast<LONG>(id))});
  }
  // A configuration of the snap-in added as another console would (and a task when asked).
  LONG AddConfiguration(const char* name, bool withTask = false) {
    TaskConfigRecord record{};
    record.id = -1;
    record.snapinId = View()->GetSnapinId();
    std::strcpy(record.name, name);
    EXPECT_EQ(AddTaskConfiguration(&record), TRUE) << name;
    if (withTask) {
      EXPECT_GT(qv::AddTask(name, record.id), 0) << name;
    }
    return record.id;
  }
  // A step that expects the message box `caption`/`text` on top and answers it with `button`.
  void Box(const std::string& text, int button = IDOK,
           const std::string& caption = "Custom Data Forms") {
    user_.Then([text, button, caption] {
      qv::ui::Snapshot s = qv::ui::TakeSnapshot();
      const qv::ui::WindowState* box = s.Top();
      ASSERT_TRUE(box != nullptr && box->Find(0xFFFF) != nullptr) << "no box: " << text;
      EXPECT_EQ(box->Find(0xFFFF)->text, text);
      EXPECT_EQ(box->text, caption);
      qv::ui::Click(button);
    });
  }

  // Runs the scripted user's steps on the control (and any dialog they open) to their end.
  void Run() {
    qv::ui::RunMessageLoop();
    EXPECT_EQ(user_.Pending(), 0u) << "steps left over";
    for (const std::string& problem : qv::ui::InputProblems())
      ADD_FAILURE() << "input problem: " << problem;
    qv::ui::ClearInputProblems();
  }
  // Lets the control's timer tick once (the toolbar's states follow).
  static void Tick() { qv::ui::AdvanceClock(CQVccfgCtrl::kTimerPeriod); }

  CCustomView* View() const { return control_->GetView(); }
  CCustomToolBar* ToolBar() const { return control_->GetFrame()->GetToolBar(); }
  int ListHandle() const { return View()->Handle(); }

  // The list's rows, column 0, as the snapshot shows them.
  qv::ui::WindowState ListState() const {
    for (const qv::ui::WindowState& window : qv::ui::TakeSnapshot().windows)
      if (const qv::ui::WindowState* list = window.Find(AFX_IDW_PANE_FIRST))
        return *list;
    ADD_FAILURE() << "no list view in the snapshot";
    return {};
  }
  qv::ui::ToolButtonState Button(UINT id) const {
    for (const qv::ui::WindowState& window : qv::ui::TakeSnapshot().windows)
      if (const qv::ui::WindowState* bar = window.Find(AFX_IDW_TOOLBAR))
        for (const qv::ui::ToolButtonState& button : bar->buttons)
          if (button.id == id)
            return button;
    ADD_FAILURE() << "no toolbar button " << id;
    return {};
  }
  // The position of a toolbar button (separators counted).
  int ButtonIndex(UINT id) const {
    for (int i = 0; i < ToolBar()->GetCount(); ++i)
      if (ToolBar()->GetButton(i).id == id)
        return i;
    return -1;
  }
  int Row(const std::string& text) const {
    for (int i = 0; i < View()->GetItemCount(); ++i)
      if (View()->GetItemText(i, 0) == text)
        return i;
    ADD_FAILURE() << "no row " << text;
    return -1;
  }

  TestWorld world_;
  int database_ = 0;  // the console's database object
  qv::com::ComPtr<EventSink> sink_;
  CQVccfgCtrl* control_ = nullptr;
  DWORD cookie_ = 0;
  HRESULT created_ = E_FAIL;
  qv::ui::ScriptedUser user_;
};
