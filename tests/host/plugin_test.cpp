// The console's plug-in object as the console reaches it, and the lock it holds on the
// module.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/ConsolePlugIn.h"
#include "host/ModuleLock.h"
#include "host/QVccfgPlugIn.h"
#include "languages/de/GermanResources.h"
#include "resources/Dialogs.h"
#include "tests/host/ScriptedConsole.h"

namespace {

using qv::com::ComPtr;
using qv::com::MakeObject;

// The module's own resources without string 32782.
class WithoutDisplayName : public qv::ResourceModule {
 public:
  const DialogTemplate* FindDialog(int id) const override { return Own().FindDialog(id); }
  const BitmapResource* FindBitmap(int id) const override { return Own().FindBitmap(id); }
  const char* FindString(UINT id) const override {
    return id == CQVccfgPlugIn::kDisplayNameId ? nullptr : Own().FindString(id);
  }
  const MenuResource* FindMenu(int id) const override { return Own().FindMenu(id); }
  const ToolBarResource* FindToolBar(int id) const override { return Own().FindToolBar(id); }

 private:
  static const qv::ResourceModule& Own() { return qv::OwnResources(); }
};

// The console's end of CallBackHost: counts the calls of each of its methods.
class RecordingConsole final : public qv::com::Object<IPlugInConsole> {
 public:
  LONG answer = 0;
  int callBacks = 0;
  int others = 0;  // calls of the console's other methods

  LONG ConsoleMethod4() override { return Other(); }
  LONG ConsoleMethod5() override { return Other(); }
  LONG ConsoleMethod6() override { return Other(); }
  LONG ConsoleMethod7() override { return Other(); }
  LONG ConsoleMethod8() override { return Other(); }
  LONG ConsoleMethod9() override { return Other(); }
  LONG PlugInCallBack() override {
    ++callBacks;
    return answer;
  }

 private:
  LONG Other() {
    ++others;
    return -1;
  }
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

TEST_F(PlugIn, AnswersItsMethodsInTheirOrder) {
  ComPtr<IConsolePlugIn> plugIn = Make();
  ASSERT_TRUE(plugIn);
  EXPECT_EQ(plugIn->QueryFlagA(), 1);
  EXPECT_EQ(plugIn->QueryFlagB(), 1);
  EXPECT_EQ(DisplayName(plugIn.Get()), "C&ustom Data Forms");
  CLSID control = GUID_NULL;
  EXPECT_EQ(plugIn->GetControlClsid(3, &control), 1);
  EXPECT_EQ(qv::com::FormatGuid(control), "{AE399777-76F3-11D1-8969-00A0C9323807}");
  EXPECT_EQ(control, CQVccfgCtrl::kClassId);
  EXPECT_EQ(plugIn->DeclineRequest(1, 2), 0);

  ComPtr<RecordingConsole> console = MakeObject<RecordingConsole>();
  console->answer = 41;
  EXPECT_EQ(plugIn->CallBackHost(3, console.Get()), 41);
  console->answer = -7;
  EXPECT_EQ(plugIn->CallBackHost(0, console.Get()), -7);
  EXPECT_EQ(console->callBacks, 2);
  EXPECT_EQ(console->others, 0);
}

TEST_F(PlugIn, AnswersOnlyItsInterfaceAndIUnknown) {
  ComPtr<IConsolePlugIn> plugIn = Make();
  ASSERT_TRUE(plugIn);
  void* other = &other;
  EXPECT_EQ(plugIn->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(plugIn->QueryInterface(IID_IControlWindow, &other), E_NOINTERFACE);
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(plugIn.As(IID_IUnknown, &unknown), S_OK);
  ComPtr<IConsolePlugIn> again;
  ASSERT_EQ(unknown.As(IID_IConsolePlugIn, &again), S_OK);
  EXPECT_EQ(again.Get(), plugIn.Get());
}

TEST_F(PlugIn, TakesItsNameFromTheCurrentResourceModule) {
  ComPtr<IConsolePlugIn> plugIn = Make();
  ASSERT_TRUE(plugIn);
  WithoutDisplayName lacking;
  qv::SetResourceModule(&lacking);
  EXPECT_EQ(DisplayName(plugIn.Get()), "PlugIn");
  qv::SetResourceModule(&qv::GermanResources());
  EXPECT_EQ(DisplayName(plugIn.Get()), "Ben&utzerdefinierte Datenformulare");
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

}  // namespace
