// The console's plug-in object, its lock on the module, and the control's Properties verb.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/ConsolePlugIn.h"
#include "host/ModuleLock.h"
#include "host/QVccfgPlugIn.h"
#include "host/QVccfgPropPage.h"
#include "languages/de/GermanResources.h"
#include "platform/control/PropertyFrame.h"
#include "resources/Dialogs.h"
#include "resources/ResourceIds.h"
#include "tests/host/ScriptedConsole.h"

namespace {

using qv::com::ComPtr;
using qv::com::MakeObject;

// The console's end of CallBackHost: counts the calls of each of its methods.
class RecordingConsole final : public qv::com::Object<IPlugInConsole> {
 public:
  LONG answer = 0;
  int callBacks = 0;
  int others = 0;  // calls of the console's other methods

  LONG ConsoleMethod4() override { return ++others, -1; }
  LONG ConsoleMethod5() override { return ++others, -1; }
  LONG ConsoleMethod6() override { return ++others, -1; }
  LONG ConsoleMethod7() override { return ++others, -1; }
  LONG ConsoleMethod8() override { return ++others, -1; }
  LONG ConsoleMethod9() override { return ++others, -1; }
  LONG PlugInCallBack() override { return ++callBacks, answer; }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IPlugInConsole)
      return static_cast<IPlugInConsole*>(this);
    return nullptr;
  }
};

class PlugIn : public ::testing::Test {
 protected:
  PlugIn() { qv::SetResourceModule(&qv::OwnResources()); }
  ~PlugIn() override { qv::SetResourceModule(nullptr); }

  // A new plug-in object, through the interface it gives for IID_IConsolePlugIn.
  static ComPtr<IConsolePlugIn> Make() {
    ComPtr<IUnknown> object;
    object.Attach(static_cast<IConsolePlugIn*>(new CQVccfgPlugIn()));
    ComPtr<IConsolePlugIn> plugIn;
    EXPECT_EQ(object.As(IID_IConsolePlugIn, &plugIn), S_OK);
    return plugIn;
  }
  static std::string DisplayName(IConsolePlugIn* plugIn) {
    char buffer[80];
    std::memset(buffer, 'x', sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    LONG value = 77;
    EXPECT_EQ(plugIn->GetDisplayName(3, buffer, &value), 1);
    EXPECT_EQ(value, 0);
    std::string name = buffer;
    EXPECT_LT(name.size() + 1, sizeof buffer) << "no zero after the name";
    if (name.size() + 1 < sizeof buffer) {
      EXPECT_EQ(buffer[name.size() + 1], 'x') << "written past the name's zero";
    }
    return name;
  }
};

// The flags, the class id and the name in German are the module's tests.
TEST_F(PlugIn, AnswersItsMethodsInTheirOrder) {
  ComPtr<IConsolePlugIn> plugIn = Make();
  ASSERT_TRUE(plugIn);
  EXPECT_EQ(DisplayName(plugIn.Get()), "C&ustom Data Forms");

  ComPtr<RecordingConsole> console = MakeObject<RecordingConsole>();
  console->answer = 41;
  EXPECT_EQ(plugIn->CallBackHost(3, console.Get()), 41);
  console->answer = -7;
  EXPECT_EQ(plugIn->CallBackHost(0, console.Get()), -7);
  EXPECT_EQ(console->callBacks, 2);
  EXPECT_EQ(console->others, 0);

  // Only its own interface and IUnknown, which lead back to the same object.
  void* other = &other;
  EXPECT_EQ(plugIn->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(plugIn.As(IID_IUnknown, &unknown), S_OK);
  ComPtr<IConsolePlugIn> again;
  ASSERT_EQ(unknown.As(IID_IConsolePlugIn, &again), S_OK);
  EXPECT_EQ(again.Get(), plugIn.Get());
}

TEST_F(PlugIn, LocksTheModuleWhileAnObjectLives) {
  LONG before = ModuleLockCount();
  ComPtr<IConsolePlugIn> first = Make();
  EXPECT_EQ(ModuleLockCount(), before + 1);
  ComPtr<IConsolePlugIn> second = Make();
  EXPECT_EQ(ModuleLockCount(), before + 2);
  {
    ComPtr<IConsolePlugIn> sameObject = first;  // one more reference, no more objects
    EXPECT_EQ(ModuleLockCount(), before + 2);
  }
  first.Reset();
  EXPECT_EQ(ModuleLockCount(), before + 1);
  second.Reset();
  EXPECT_EQ(ModuleLockCount(), before);
}

// The Properties verb of the control the console hosts.
class PropertiesVerb : public ScriptedConsole {
 protected:
  // The children of the open sheet's page window (the sheet's child made from template 200).
  static std::vector<qv::ui::WindowState> PageControls(const qv::ui::WindowState& sheet) {
    for (const qv::ui::WindowState& child : sheet.children)
      if (child.className == "Dialog" && child.id == CQVccfgPropPage::kTemplateId)
        return child.children;
    ADD_FAILURE() << "no page in the sheet";
    return {};
  }
  // How many references the control has (counted by taking and giving back one).
  ULONG References() {
    control_->AddRef();
    return control_->Release();
  }
};

// The page comes from the current resource module. (Its caption, text, disabled Apply and OK
// that changes nothing: the module's and the browser tests.)
TEST_F(PropertiesVerb, ShowsTheGeneralPageInTheCurrentLanguageAndOnlyForItsVerb) {
  Open();
  ASSERT_EQ(created_, S_OK);
  EXPECT_EQ(control_->DoVerb(0), E_NOTIMPL);
  EXPECT_EQ(control_->DoVerb(-1), E_NOTIMPL);
  EXPECT_TRUE(qv::ui::ModalWindows().empty());
  ULONG references = References();
  user_.Then([&] {
    qv::ui::Snapshot s = qv::ui::TakeSnapshot();
    ASSERT_EQ(s.modals.size(), 1u);
    EXPECT_EQ(s.Top()->Find(AFX_IDC_TAB_CONTROL)->lines, std::vector<std::string>{"General"});
    EXPECT_TRUE(s.Top()->Find(IDOK)->isDefault);
    qv::ui::Click(IDOK);
  });
  EXPECT_EQ(control_->DoVerb(OLEIVERB_PROPERTIES), S_OK);
  EXPECT_EQ(References(), references) << "the page still holds the control";

  qv::SetResourceModule(&qv::GermanResources());
  user_.Then([&] {
    qv::ui::Snapshot s = qv::ui::TakeSnapshot();
    ASSERT_EQ(s.modals.size(), 1u);
    EXPECT_EQ(s.Top()->Find(AFX_IDC_TAB_CONTROL)->lines, std::vector<std::string>{"Allgemein"});
    std::vector<qv::ui::WindowState> page = PageControls(*s.Top());
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0].text, qv::GermanResources().FindDialog(IDD_PROPPAGE_QVCCFG)->items[0].text);
    qv::ui::Key(0, VK_ESCAPE);
  });
  EXPECT_EQ(control_->DoVerb(OLEIVERB_PROPERTIES), S_OK);
  EXPECT_EQ(user_.Pending(), 0u);
  EXPECT_TRUE(qv::ui::ModalWindows().empty());
}

}  // namespace
