// Our COM layer through its public face: GUIDs, reference counting, strings handed from
// callee to caller, calls by dispatch id, events to advised sinks, and handles for 32-bit
// parameters.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/HandleTable.h"
#include "platform/com/Bstr.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ConnectionPoint.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"
#include "tests/support/Support.h"

namespace {

using qv::com::ComPtr;
using qv::com::MakeObject;

// An outgoing interface of the test's widget.
const IID kEvents = Parsed("{6F1E0C2A-3B4D-4E5F-8A9B-0C1D2E3F4A5B}");

// What a widget's "Touch" method finds through a handle.
struct Target {
  int touches = 0;
};
qv::com::HandleTable<Target> targets;

// An object with a dispatch interface and one outgoing interface, in the shape of a control.
class Widget final : public qv::com::Object<IDispatch, IConnectionPointContainer> {
 public:
  static inline int live = 0;

  Widget() {
    ++live;
    auto bound = [this](auto member) { return std::bind_front(member, this); };
    map_ = qv::com::DispatchMap({
        {1, "Twice", DISPATCH_METHOD, {VT_I4}, Twice},
        {2, "Greeting", DISPATCH_METHOD, {VT_I4, VT_BYREF | VT_BSTR}, Greeting},
        {3, "Length", DISPATCH_METHOD, {VT_BSTR, VT_BYREF | VT_I4}, Length},
        {4,
         "Self",
         DISPATCH_METHOD,
         {VT_BYREF | VT_DISPATCH, VT_BYREF | VT_UNKNOWN},
         bound(&Widget::Self)},
        {5, "Touch", DISPATCH_METHOD, {VT_I4}, Touch},
        {DISPID_BORDERSTYLE, "BorderStyle", DISPATCH_PROPERTYGET, {}, bound(&Widget::Style)},
        {DISPID_BORDERSTYLE,
         "BorderStyle",
         DISPATCH_PROPERTYPUT,
         {VT_I2},
         bound(&Widget::SetStyle)},
    });
  }

  using Args = std::span<const VARIANT>;
  static HRESULT Twice(Args args, VARIANT* result) {
    *result = VARIANT::FromLong(2 * args[0].Long());
    return S_OK;
  }
  // Hands out a new string, as a control's message-string method does.
  static HRESULT Greeting(Args args, VARIANT*) {
    std::string text = "Greeting " + std::to_string(args[0].Long()) + " \xE4";
    *args[1].StringRef() = SysAllocString(text.c_str());
    return S_OK;
  }
  static HRESULT Length(Args args, VARIANT*) {
    *args[1].LongRef() = static_cast<LONG>(SysStringLen(args[0].String()));
    return S_OK;
  }
  HRESULT Self(Args args, VARIANT*) {
    AddRef();
    *args[0].DispatchRef() = this;
    AddRef();
    *args[1].UnknownRef() = static_cast<IDispatch*>(this);
    return S_OK;
  }
  // Finds its target through a handle passed as a long.
  static HRESULT Touch(Args args, VARIANT*) {
    Target* target = targets.Resolve(args[0].Long());
    if (target == nullptr)
      return E_INVALIDARG;
    ++target->touches;
    return S_OK;
  }
  HRESULT Style(Args, VARIANT* result) {
    *result = VARIANT::FromShort(borderStyle_);
    return S_OK;
  }
  HRESULT SetStyle(Args args, VARIANT*) {
    borderStyle_ = args[0].Short();
    return S_OK;
  }

  HRESULT GetIDOfName(const char* name, DISPID* id) override { return map_.GetIDOfName(name, id); }
  HRESULT Invoke(DISPID id, WORD flags, std::span<const VARIANT> args, VARIANT* result) override {
    return map_.Invoke(id, flags, args, result);
  }
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr)
      return E_POINTER;
    *point = nullptr;
    if (iid != kEvents)
      return CONNECT_E_NOCONNECTION;
    events_->AddRef();
    *point = events_.Get();
    return S_OK;
  }

  void Fire(DISPID id, std::span<const VARIANT> args) { events_->Fire(id, args); }

 private:
  ~Widget() override { --live; }
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch)
      return static_cast<IDispatch*>(this);
    if (iid == IID_IConnectionPointContainer)
      return static_cast<IConnectionPointContainer*>(this);
    return nullptr;
  }

  qv::com::DispatchMap map_;
  ComPtr<qv::com::ConnectionPoint> events_ = MakeObject<qv::com::ConnectionPoint>(kEvents);
  SHORT borderStyle_ = 0;
};

// A container's event sink: writes "<name>:<id>:<first argument>" into a shared log and
// answers an out long with its own number.
class Sink final : public qv::com::Object<IDispatch> {
 public:
  Sink(std::string name, std::vector<std::string>* log, bool answersEvents = true)
      : name_(std::move(name)), log_(log), answersEvents_(answersEvents) {}

  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, std::span<const VARIANT> args, VARIANT*) override {
    std::string first;
    if (!args.empty() && args[0].Type() == VT_BSTR)
      first = args[0].Text();
    if (!args.empty() && args[0].Type() == (VT_BYREF | VT_I4)) {
      first = std::to_string(*args[0].LongRef());
      *args[0].LongRef() = static_cast<LONG>(name_.size());
    }
    log_->push_back(name_ + ":" + std::to_string(id) + ":" + first);
    return S_OK;
  }

 private:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || (answersEvents_ && iid == kEvents))
      return static_cast<IDispatch*>(this);
    return nullptr;
  }

  std::string name_;
  std::vector<std::string>* log_;
  bool answersEvents_;
};

ComPtr<IConnectionPoint> EventsOf(const ComPtr<Widget>& widget) {
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(widget.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(kEvents, point.Out()), S_OK);
  return point;
}

}  // namespace

// --- GUIDs

TEST(Guid, ParsesFormatsAndOrders) {
  const std::pair<const char*, const char*> cases[] = {
      {"{A48C4D90-9281-11d1-8971-00A0C9323807}", "{A48C4D90-9281-11D1-8971-00A0C9323807}"},
      {"525746D0-9BF9-11D0-837B-00A0C91EF7B9", "{525746D0-9BF9-11D0-837B-00A0C91EF7B9}"},
      {"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
      {"{abcdef09-afbe-cd01-ef23-456789abcdef}", "{ABCDEF09-AFBE-CD01-EF23-456789ABCDEF}"},
  };
  for (const auto& [text, formatted] : cases)
    EXPECT_EQ(qv::com::FormatGuid(Parsed(text)), formatted) << text;
  // The Windows layout of the fields.
  GUID guid = Parsed("{AE399777-76F3-11D1-8969-00A0C9323807}");
  EXPECT_EQ(guid.Data1, 0xAE399777u);
  EXPECT_EQ(guid.Data2, 0x76F3u);
  EXPECT_EQ(guid.Data3, 0x11D1u);
  const std::uint8_t data4[] = {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07};
  EXPECT_EQ(std::memcmp(guid.Data4, data4, 8), 0);
  EXPECT_EQ(Parsed("{00000000-0000-0000-C000-000000000046}"), IID_IUnknown);
  EXPECT_EQ(Parsed("{00020400-0000-0000-C000-000000000046}"), IID_IDispatch);
  EXPECT_EQ(Parsed("{00000001-0000-0000-C000-000000000046}"), IID_IClassFactory);
  // Ordered for maps: the last byte counts.
  GUID low = Parsed("{AE399775-76F3-11D1-8969-00A0C9323807}");
  GUID high = Parsed("{AE399775-76F3-11D1-8969-00A0C9323808}");
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  EXPECT_FALSE(IsEqualGUID(low, high));
}

TEST(Guid, RefusesBadTextAndLeavesTheOutputAlone) {
  const char* bad[] = {
      "",
      "{AE399777-76F3-11D1-8969-00A0C9323807",    // no closing brace
      "AE399777-76F3-11D1-8969-00A0C9323807}",    // no opening brace
      "{AE399777-76F3-11D1-896900A0C9323807}",    // dash missing
      "{AE39977-776F3-11D1-8969-00A0C9323807}",   // dash in the wrong place
      "{AE399777-76F3-11D1-8969-00A0C932380}",    // one digit short
      "{AE399777-76F3-11D1-8969-00A0C93238070}",  // one digit over
      "{AE399777-76F3-11D1-8969-00A0C932380G}",   // not hex
      " {AE399777-76F3-11D1-8969-00A0C9323807}",
      "{+E399777-76F3-11D1-8969-00A0C9323807}",
  };
  const GUID before = Parsed("{525746D0-9BF9-11D0-837B-00A0C91EF7B9}");
  for (const char* text : bad) {
    GUID guid = before;
    EXPECT_FALSE(qv::com::ParseGuid(text, &guid)) << text;
    EXPECT_EQ(guid, before) << text;
  }
}

// --- Reference counting

TEST(Unknown, AnObjectGoesWhenItsLastReferenceGoes) {
  ComPtr<Widget> widget = MakeObject<Widget>();
  EXPECT_EQ(Widget::live, 1);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(widget.As(IID_IDispatch, &dispatch), S_OK);
  ComPtr<IDispatch> copy = dispatch;
  widget.Reset();
  dispatch.Reset();
  EXPECT_EQ(Widget::live, 1);
  IDispatch* raw = copy.Detach();
  EXPECT_EQ(raw->AddRef(), 2u);
  EXPECT_EQ(raw->Release(), 1u);
  copy.Attach(raw);
  copy.Reset();
  EXPECT_EQ(Widget::live, 0);
}

TEST(Unknown, QueryInterfaceAnswersKnownIdsOnly) {
  ComPtr<Widget> widget = MakeObject<Widget>();
  void* found = &found;
  EXPECT_EQ(widget->QueryInterface(kEvents, &found), E_NOINTERFACE);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(widget->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  // One object, one IUnknown, whichever interface is asked.
  ComPtr<IDispatch> dispatch;
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(widget.As(IID_IDispatch, &dispatch), S_OK);
  ASSERT_EQ(widget.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IUnknown> fromDispatch;
  ComPtr<IUnknown> fromContainer;
  ASSERT_EQ(dispatch.As(IID_IUnknown, &fromDispatch), S_OK);
  ASSERT_EQ(container.As(IID_IUnknown, &fromContainer), S_OK);
  EXPECT_EQ(fromDispatch.Get(), fromContainer.Get());

  ComPtr<IClassFactory> factory;
  EXPECT_EQ(dispatch.As(IID_IClassFactory, &factory), E_NOINTERFACE);
  EXPECT_FALSE(factory);
  dispatch.Reset();
  container.Reset();
  fromDispatch.Reset();
  fromContainer.Reset();
  widget.Reset();
  EXPECT_EQ(Widget::live, 0);
}

// --- Strings

TEST(Bstr, AllocatesCopiesHandsOverAndFreesCountingLiveStrings) {
  const std::size_t before = qv::com::LiveStringCount();
  BSTR withNul = SysAllocStringLen("a\0b", 3);
  BSTR zeros = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(qv::com::BstrText(withNul), std::string("a\0b", 3));
  EXPECT_EQ(qv::com::BstrText(zeros), std::string(2, '\0'));
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  {
    qv::com::Bstr first("Caf\xE9");
    qv::com::Bstr second = first;
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(second.Text(), "Caf\xE9");
    EXPECT_EQ(SysStringLen(second.Get()), 4u);
    *second.Out() = SysAllocString("Room");  // a callee filling a string out
    EXPECT_EQ(second.Text(), "Room");
    EXPECT_EQ(qv::com::LiveStringCount(), before + 4);
    BSTR taken = first.Detach();
    EXPECT_EQ(first.Get(), nullptr);
    SysFreeString(taken);
  }
  SysFreeString(withNul);
  SysFreeString(zeros);
  SysFreeString(nullptr);
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}

// --- VARIANT and calls by id

TEST(Variant, HoldsOneKindAndOwnsItsString) {
  const std::size_t before = qv::com::LiveStringCount();
  LONG number = 0;
  VARIANT values[] = {VARIANT(), VARIANT::FromLong(-7), VARIANT::FromShort(3),
                      VARIANT::FromString("Floor"), VARIANT::RefLong(&number)};
  EXPECT_EQ(values[0].Type(), VT_EMPTY);
  EXPECT_EQ(values[1].Type(), VT_I4);
  EXPECT_EQ(values[1].Long(), -7);
  EXPECT_EQ(values[1].Short(), 0);  // another kind reads as 0, never reinterpreted
  EXPECT_EQ(values[2].Type(), VT_I2);
  EXPECT_EQ(values[2].Short(), 3);
  EXPECT_EQ(values[2].Long(), 0);
  EXPECT_EQ(values[3].Type(), VT_BSTR);
  EXPECT_EQ(values[3].Text(), "Floor");
  EXPECT_EQ(values[4].Type(), VT_BYREF | VT_I4);
  EXPECT_EQ(values[4].LongRef(), &number);
  EXPECT_EQ(values[4].StringRef(), nullptr);
  EXPECT_EQ(values[1].String(), nullptr);

  VARIANT copy = values[3];
  EXPECT_NE(copy.String(), values[3].String());
  EXPECT_EQ(qv::com::LiveStringCount(), before + 2);
  copy.Clear();
  EXPECT_EQ(copy.Type(), VT_EMPTY);
  values[3] = VARIANT::FromLong(1);
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}

TEST(Dispatch, InvokesByIdWithEachKindOfArgument) {
  const std::size_t before = qv::com::LiveStringCount();
  {
    ComPtr<Widget> widget = MakeObject<Widget>();
    VARIANT result = VARIANT::FromString("old result, freed by the call");

    VARIANT twice[] = {VARIANT::FromLong(21)};
    EXPECT_EQ(widget->Invoke(1, DISPATCH_METHOD, twice, &result), S_OK);
    EXPECT_EQ(result.Type(), VT_I4);
    EXPECT_EQ(result.Long(), 42);

    qv::com::Bstr message;
    VARIANT greeting[] = {VARIANT::FromLong(32787), VARIANT::RefString(message.Out())};
    EXPECT_EQ(widget->Invoke(2, DISPATCH_METHOD, greeting, &result), S_OK);
    EXPECT_EQ(result.Type(), VT_EMPTY);
    EXPECT_EQ(message.Text(), "Greeting 32787 \xE4");

    LONG length = 0;
    VARIANT lengthArgs[] = {VARIANT::FromString(std::string("a\0b", 3)), VARIANT::RefLong(&length)};
    EXPECT_EQ(widget->Invoke(3, DISPATCH_METHOD, lengthArgs, nullptr), S_OK);
    EXPECT_EQ(length, 3);

    ComPtr<IDispatch> host;
    ComPtr<IUnknown> identity;
    VARIANT selfArgs[] = {VARIANT::RefDispatch(host.Out()), VARIANT::RefUnknown(identity.Out())};
    EXPECT_EQ(widget->Invoke(4, DISPATCH_METHOD, selfArgs, nullptr), S_OK);
    EXPECT_EQ(host.Get(), static_cast<IDispatch*>(widget.Get()));
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(static_cast<IDispatch*>(widget.Get())));

    VARIANT style[] = {VARIANT::FromShort(1)};
    EXPECT_EQ(widget->Invoke(DISPID_BORDERSTYLE, DISPATCH_PROPERTYPUT, style, nullptr), S_OK);
    EXPECT_EQ(widget->Invoke(DISPID_BORDERSTYLE, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.Type(), VT_I2);
    EXPECT_EQ(result.Short(), 1);
  }
  EXPECT_EQ(Widget::live, 0);
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}

TEST(Dispatch, RefusesWrongMembersCountsAndKinds) {
  ComPtr<Widget> widget = MakeObject<Widget>();
  LONG number = 0;
  struct Case {
    const char* what;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    HRESULT expected;
  };
  const WORD call = DISPATCH_METHOD;
  const WORD put = DISPATCH_PROPERTYPUT;
  const VARIANT text = VARIANT::FromString("text");
  const VARIANT out = VARIANT::RefLong(&number);
  const Case cases[] = {
      {"unknown id", 99, call, {}, DISP_E_MEMBERNOTFOUND},
      {"method written as a property", 1, put, {VARIANT::FromLong(1)}, DISP_E_MEMBERNOTFOUND},
      {"too few", 1, call, {}, DISP_E_BADPARAMCOUNT},
      {"too many", 3, call, {text, out, out}, DISP_E_BADPARAMCOUNT},
      {"short for long", 1, call, {VARIANT::FromShort(1)}, DISP_E_TYPEMISMATCH},
      {"string for long", 1, call, {text}, DISP_E_TYPEMISMATCH},
      {"long for string", 3, call, {VARIANT::FromLong(1), out}, DISP_E_TYPEMISMATCH},
      {"long for pointer to long", 3, call, {text, VARIANT::FromLong(0)}, DISP_E_TYPEMISMATCH},
      {"string for string out", 2, call, {VARIANT::FromLong(1), text}, DISP_E_TYPEMISMATCH},
      {"null pointer to long", 3, call, {text, VARIANT::RefLong(nullptr)}, E_POINTER},
      {"long for short property",
       DISPID_BORDERSTYLE,
       put,
       {VARIANT::FromLong(1)},
       DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    VARIANT result = VARIANT::FromLong(5);
    EXPECT_EQ(widget->Invoke(c.id, c.flags, c.args, &result), c.expected) << c.what;
    EXPECT_EQ(result.Long(), 5) << c.what << ": a refused call leaves the result alone";
  }
  EXPECT_EQ(number, 0);
}

TEST(Dispatch, FindsIdsByNameIgnoringCase) {
  ComPtr<Widget> widget = MakeObject<Widget>();
  DISPID id = 0;
  EXPECT_EQ(widget->GetIDOfName("greeting", &id), S_OK);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(widget->GetIDOfName("BORDERSTYLE", &id), S_OK);
  EXPECT_EQ(id, DISPID_BORDERSTYLE);
  EXPECT_EQ(widget->GetIDOfName("Greetings", &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_EQ(widget->GetIDOfName(nullptr, &id), E_POINTER);
}

// --- Events

TEST(ConnectionPoint, EventsReachAdvisedSinksInOrder) {
  std::vector<std::string> log;
  ComPtr<Widget> widget = MakeObject<Widget>();
  ComPtr<IConnectionPoint> point = EventsOf(widget);
  ASSERT_TRUE(point);
  IID served{};
  EXPECT_EQ(point->GetConnectionInterface(&served), S_OK);
  EXPECT_EQ(served, kEvents);

  ComPtr<Sink> first = MakeObject<Sink>("first", &log);
  ComPtr<Sink> second = MakeObject<Sink>("second", &log);
  DWORD firstCookie = 0;
  DWORD secondCookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(first.Get()), &firstCookie), S_OK);
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(second.Get()), &secondCookie), S_OK);
  EXPECT_NE(firstCookie, 0u);
  EXPECT_NE(secondCookie, 0u);
  EXPECT_NE(firstCookie, secondCookie);

  VARIANT status[] = {VARIANT::FromString("Ready")};
  widget->Fire(7, status);
  LONG database = 0;
  VARIANT pointer[] = {VARIANT::RefLong(&database)};
  widget->Fire(4, pointer);
  EXPECT_EQ(log, (std::vector<std::string>{"first:7:Ready", "second:7:Ready", "first:4:0",
                                           "second:4:5"}));
  EXPECT_EQ(database, 6);  // the last sink's answer

  log.clear();
  EXPECT_EQ(point->Unadvise(firstCookie), S_OK);
  EXPECT_EQ(point->Unadvise(firstCookie), CONNECT_E_NOCONNECTION);
  widget->Fire(7, status);
  EXPECT_EQ(log, (std::vector<std::string>{"second:7:Ready"}));

  log.clear();
  EXPECT_EQ(point->Unadvise(secondCookie), S_OK);
  widget->Fire(7, status);
  EXPECT_TRUE(log.empty());
}

TEST(ConnectionPoint, RefusesSinksAndInterfacesItDoesNotServe) {
  std::vector<std::string> log;
  ComPtr<Widget> widget = MakeObject<Widget>();
  ComPtr<IConnectionPoint> point = EventsOf(widget);
  ASSERT_TRUE(point);
  ComPtr<Sink> deaf = MakeObject<Sink>("deaf", &log, false);
  DWORD cookie = 99;
  EXPECT_EQ(point->Advise(static_cast<IDispatch*>(deaf.Get()), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
  widget->Fire(2, {});
  EXPECT_TRUE(log.empty());

  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(widget.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IConnectionPoint> other;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, other.Out()), CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(other);
}

TEST(ConnectionPoint, HoldsItsSinksUntilItGoes) {
  std::vector<std::string> log;
  ComPtr<Sink> sink = MakeObject<Sink>("sink", &log);
  ComPtr<Widget> widget = MakeObject<Widget>();
  {
    ComPtr<IConnectionPoint> point = EventsOf(widget);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie), S_OK);
  }
  EXPECT_EQ(sink->AddRef(), 3u);  // ours, the point's, and this one
  sink->Release();
  widget.Reset();
  EXPECT_EQ(Widget::live, 0);
  EXPECT_EQ(sink->AddRef(), 2u);
  sink->Release();
}

// --- Handles for 32-bit parameters

TEST(HandleTable, GivesNonZeroHandlesThatResolveUntilUnregistered) {
  qv::com::HandleTable<Target> table;
  Target a;
  Target b;
  LONG first = table.Register(&a);
  LONG second = table.Register(&b);
  LONG again = table.Register(&a);
  EXPECT_GT(first, 0);
  EXPECT_GT(second, 0);
  EXPECT_NE(first, second);
  EXPECT_NE(first, again);
  EXPECT_EQ(table.Resolve(first), &a);
  EXPECT_EQ(table.Resolve(second), &b);
  EXPECT_EQ(table.Resolve(again), &a);
  EXPECT_EQ(table.Resolve(0), nullptr);
  EXPECT_EQ(table.Register(nullptr), 0);

  EXPECT_TRUE(table.Unregister(first));
  EXPECT_FALSE(table.Unregister(first));
  EXPECT_EQ(table.Resolve(first), nullptr);  // stale
  LONG next = table.Register(&b);
  EXPECT_NE(next, first);
  EXPECT_NE(next, second);
  EXPECT_EQ(table.Size(), 3u);
}

TEST(HandleTable, WrapsPastTheLargestHandleSkippingLiveOnes) {
  qv::com::HandleTable<Target> table(INT32_MAX);
  Target target;
  EXPECT_EQ(table.Register(&target), INT32_MAX);
  EXPECT_EQ(table.Register(&target), 1);
  EXPECT_EQ(table.Register(&target), 2);
  EXPECT_TRUE(table.Unregister(INT32_MAX));
  EXPECT_EQ(table.Register(&target), 3);
}

TEST(HandleTable, AnAddressTooWideForALongPassesAsAHandle) {
  auto target = std::make_unique<Target>();
  std::uintptr_t address = reinterpret_cast<std::uintptr_t>(target.get());
  ASSERT_GT(address, std::uintptr_t{UINT32_MAX}) << "needs an address above 4 GiB";
  EXPECT_NE(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(address)), address)
      << "cut to 32 bits it would name another place";

  ComPtr<Widget> widget = MakeObject<Widget>();
  LONG stale = 0;
  {
    qv::com::ScopedHandle<Target> handle(targets, target.get());
    stale = handle.Get();
    VARIANT touch[] = {VARIANT::FromLong(handle.Get())};
    EXPECT_EQ(widget->Invoke(5, DISPATCH_METHOD, touch, nullptr), S_OK);
    EXPECT_EQ(target->touches, 1);
  }
  VARIANT touch[] = {VARIANT::FromLong(stale)};
  EXPECT_EQ(widget->Invoke(5, DISPATCH_METHOD, touch, nullptr), E_INVALIDARG);
  EXPECT_EQ(target->touches, 1);
  EXPECT_EQ(targets.Size(), 0u);
}
