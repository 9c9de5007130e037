// Our COM layer: GUIDs, reference counts, strings, calls by id, events and 32-bit handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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
using Args = std::span<const VARIANT>;
using Texts = std::vector<std::string>;

// An outgoing interface of the test's widget.
const IID kEvents = Parsed("{6F1E0C2A-3B4D-4E5F-8A9B-0C1D2E3F4A5B}");

constexpr WORD kCall = DISPATCH_METHOD, kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT;
constexpr VARTYPE kRef = VT_BYREF;
struct Target {};

// A member's code that runs `body` and answers S_OK.
template <typename Body>
std::function<HRESULT(Args, VARIANT*)> Ok(Body body) {
  return [body](Args args, VARIANT* result) { return body(args, result), S_OK; };
}

// An object with a dispatch interface and one outgoing interface, in the shape of a control.
class Widget final : public qv::com::Object<IDispatch, IConnectionPointContainer> {
 public:
  static inline int live = 0;

  Widget() { ++live; }

  HRESULT GetIDOfName(const char* name, DISPID* id) override { return map_.GetIDOfName(name, id); }
  HRESULT Invoke(DISPID id, WORD flags, Args args, VARIANT* result) override {
    return map_.Invoke(id, flags, args, result);
  }
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    *point = nullptr;
    if (iid != kEvents)
      return CONNECT_E_NOCONNECTION;
    events_->AddRef();
    *point = events_.Get();
    return S_OK;
  }
  void Fire(DISPID id, Args args) { events_->Fire(id, args); }

 private:
  ~Widget() override { --live; }
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch)
      return static_cast<IDispatch*>(this);
    if (iid == IID_IConnectionPointContainer)
      return static_cast<IConnectionPointContainer*>(this);
    return nullptr;
  }

  SHORT borderStyle_ = 0;
  ComPtr<qv::com::ConnectionPoint> events_ = MakeObject<qv::com::ConnectionPoint>(kEvents);
  // Greeting hands out a new string, as a control's message-string method does.
  qv::com::DispatchMap map_{{
      {1, "Twice", kCall, {VT_I4}, Ok([](Args a, VARIANT* r) {
         *r = VARIANT::FromLong(2 * a[0].Long());
       })},
      {2, "Greeting", kCall, {VT_I4, kRef | VT_BSTR}, Ok([](Args a, VARIANT*) {
         std::string text = "Greeting " + std::to_string(a[0].Long()) + " \xE4";
         *a[1].StringRef() = SysAllocString(text.c_str());
       })},
      {3, "Length", kCall, {VT_BSTR, kRef | VT_I4}, Ok([](Args a, VARIANT*) {
         *a[1].LongRef() = static_cast<LONG>(SysStringLen(a[0].String()));
       })},
      {4, "Self", kCall, {kRef | VT_UNKNOWN}, Ok([this](Args a, VARIANT*) {
         AddRef();
         *a[0].UnknownRef() = static_cast<IDispatch*>(this);
       })},
      {DISPID_BORDERSTYLE, "BorderStyle", kGet, {}, Ok([this](Args, VARIANT* r) {
         *r = VARIANT::FromShort(borderStyle_);
       })},
      {DISPID_BORDERSTYLE, "BorderStyle", kPut, {VT_I2}, Ok([this](Args a, VARIANT*) {
         borderStyle_ = a[0].Short();
       })},
  }};
};

// An event sink: logs "<name>:<id>:<first argument>", answers an out long with len(name).
class Sink final : public qv::com::Object<IDispatch> {
 public:
  Sink(std::string name, Texts* log, bool answersEvents = true)
      : name_(std::move(name)), log_(log), answersEvents_(answersEvents) {}

  HRESULT GetIDOfName(const char*, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, WORD, Args args, VARIANT*) override {
    std::string first = args.empty() ? "" : args[0].Text();
    if (!args.empty() && args[0].LongRef() != nullptr) {
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
  Texts* log_;
  bool answersEvents_;
};

}  // namespace

// Either case, braced or bare, reads; anything else is refused and leaves the output alone.
TEST(Guid, ParsesFormatsAndRefuses) {
  const std::pair<const char*, const char*> cases[] = {
      {"{A48C4D90-9281-11d1-8971-00A0C9323807}", "{A48C4D90-9281-11D1-8971-00A0C9323807}"},
      {"525746D0-9BF9-11D0-837B-00A0C91EF7B9", "{525746D0-9BF9-11D0-837B-00A0C91EF7B9}"},
      {"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
      {"{abcdef09-afbe-cd01-ef23-456789abcdef}", "{ABCDEF09-AFBE-CD01-EF23-456789ABCDEF}"},
      {"", nullptr},
      {"{AE399777-76F3-11D1-8969-00A0C9323807", nullptr},    // no closing brace
      {"AE399777-76F3-11D1-8969-00A0C9323807}", nullptr},    // no opening brace
      {"{AE399777-76F3-11D1-896900A0C9323807}", nullptr},    // dash missing
      {"{AE39977-776F3-11D1-8969-00A0C9323807}", nullptr},   // dash in the wrong place
      {"{AE399777-76F3-11D1-8969-00A0C932380}", nullptr},    // one digit short
      {"{AE399777-76F3-11D1-8969-00A0C93238070}", nullptr},  // one digit over
      {"{AE399777-76F3-11D1-8969-00A0C932380G}", nullptr},   // not hex
      {" {AE399777-76F3-11D1-8969-00A0C9323807}", nullptr},
      {"{+E399777-76F3-11D1-8969-00A0C9323807}", nullptr},
  };
  for (const auto& [text, formatted] : cases) {
    GUID guid = IID_IDispatch;
    EXPECT_EQ(qv::com::ParseGuid(text, &guid), formatted != nullptr) << text;
    EXPECT_EQ(qv::com::FormatGuid(guid),
              formatted != nullptr ? formatted : "{00020400-0000-0000-C000-000000000046}")
        << text;
  }
  EXPECT_EQ(Parsed("{AE399777-76F3-11D1-8969-00A0C9323807}"),
            (GUID{0xAE399777, 0x76F3, 0x11D1, {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07}}));
  EXPECT_EQ(Parsed("{00000000-0000-0000-C000-000000000046}"), IID_IUnknown);
  EXPECT_EQ(Parsed("{00000001-0000-0000-C000-000000000046}"), IID_IClassFactory);
  EXPECT_NE(Parsed("{AE399775-76F3-11D1-8969-00A0C9323807}"),
            Parsed("{AE399775-76F3-11D1-8969-00A0C9323808}"));  // the last byte counts
}

// An object goes with its last reference, has one IUnknown, and refuses unknown ids.
TEST(Unknown, CountsReferencesAndAnswersKnownIdsOnly) {
  ComPtr<Widget> widget = MakeObject<Widget>();
  void* found = &found;
  EXPECT_EQ(widget->QueryInterface(kEvents, &found), E_NOINTERFACE);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(widget->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  ComPtr<IDispatch> dispatch;
  {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IUnknown> fromDispatch, fromContainer;
    ASSERT_EQ(widget.As(IID_IDispatch, &dispatch), S_OK);
    ASSERT_EQ(widget.As(IID_IConnectionPointContainer, &container), S_OK);
    ASSERT_EQ(dispatch.As(IID_IUnknown, &fromDispatch), S_OK);
    ASSERT_EQ(container.As(IID_IUnknown, &fromContainer), S_OK);
    EXPECT_EQ(fromDispatch.Get(), fromContainer.Get());
    widget.Reset();
  }
  EXPECT_EQ(Widget::live, 1);
  IDispatch* raw = dispatch.Detach();
  EXPECT_EQ(raw->AddRef(), 2u);
  EXPECT_EQ(raw->Release(), 1u);
  dispatch.Attach(raw);
  dispatch.Reset();
  EXPECT_EQ(Widget::live, 0);
}

// Strings of any bytes, NUL included; copies are new strings; every one is freed.
TEST(Bstr, AllocatesCopiesHandsOverAndFreesCountingLiveStrings) {
  const std::size_t before = qv::com::LiveStringCount();
  BSTR withNul = SysAllocStringLen("a\0b", 3), zeros = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(qv::com::BstrText(withNul), std::string("a\0b", 3));
  EXPECT_EQ(qv::com::BstrText(zeros), std::string(2, '\0'));
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  {
    qv::com::Bstr first("Caf\xE9");
    qv::com::Bstr second = first;
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(second.Text(), "Caf\xE9");
    *second.Out() = SysAllocString("Room");  // a callee filling a string out
    EXPECT_EQ(second.Text(), "Room");
    EXPECT_EQ(qv::com::LiveStringCount(), before + 4);
    SysFreeString(first.Detach());
  }
  for (BSTR gone : {withNul, zeros, BSTR{}})
    SysFreeString(gone);
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}

// A VARIANT never reads one kind as another, and owns its string (a copy owns another).
TEST(Variant, HoldsOneKindAndOwnsItsString) {
  const std::size_t before = qv::com::LiveStringCount();
  LONG number = 0;
  VARIANT values[] = {VARIANT(), VARIANT::FromLong(-7), VARIANT::FromShort(3),
                      VARIANT::FromString("Floor"), VARIANT::RefLong(&number)};
  const VARTYPE types[] = {VT_EMPTY, VT_I4, VT_I2, VT_BSTR, VT_BYREF | VT_I4};
  const char* seen[] = {"0 0 ", "-7 0 ", "0 3 ", "0 0 Floor", "0 0 "};  // Long, Short, Text
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(values[i].Type(), types[i]) << i;
    EXPECT_EQ(std::to_string(values[i].Long()) + " " + std::to_string(values[i].Short()) + " " +
                  values[i].Text(),
              seen[i]);
  }
  EXPECT_EQ(values[4].LongRef(), &number);
  EXPECT_EQ(values[4].StringRef(), nullptr);
  EXPECT_EQ(values[1].String(), nullptr);
  VARIANT copy = values[3];
  EXPECT_NE(copy.String(), values[3].String());
  EXPECT_EQ(qv::com::LiveStringCount(), before + 2);
  copy = VARIANT();
  values[3] = VARIANT::FromLong(1);
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}

// Calls by id with each kind of argument, names found case-blind, and nothing leaked.
TEST(Dispatch, InvokesByIdWithEachKindOfArgument) {
  const std::size_t before = qv::com::LiveStringCount();
  {
    ComPtr<Widget> widget = MakeObject<Widget>();
    VARIANT result = VARIANT::FromString("old result, freed by the call");
    VARIANT twice[] = {VARIANT::FromLong(21)};
    EXPECT_EQ(widget->Invoke(1, kCall, twice, &result), S_OK);
    EXPECT_EQ(result.Long(), 42);

    qv::com::Bstr message;
    VARIANT greeting[] = {VARIANT::FromLong(32787), VARIANT::RefString(message.Out())};
    EXPECT_EQ(widget->Invoke(2, kCall, greeting, &result), S_OK);
    EXPECT_EQ(result.Type(), VT_EMPTY);  // the result of the call before is gone
    EXPECT_EQ(message.Text(), "Greeting 32787 \xE4");

    LONG length = 0;
    VARIANT lengthArgs[] = {VARIANT::FromString(std::string("a\0b", 3)), VARIANT::RefLong(&length)};
    EXPECT_EQ(widget->Invoke(3, kCall, lengthArgs, nullptr), S_OK);
    EXPECT_EQ(length, 3);

    ComPtr<IUnknown> identity;
    VARIANT selfArgs[] = {VARIANT::RefUnknown(identity.Out())};
    EXPECT_EQ(widget->Invoke(4, kCall, selfArgs, nullptr), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(static_cast<IDispatch*>(widget.Get())));

    VARIANT style[] = {VARIANT::FromShort(1)};
    EXPECT_EQ(widget->Invoke(DISPID_BORDERSTYLE, kPut, style, nullptr), S_OK);
    EXPECT_EQ(widget->Invoke(DISPID_BORDERSTYLE, kGet, {}, &result), S_OK);
    EXPECT_EQ(result.Short(), 1);

    for (auto [name, answer, id] : {std::tuple{"greeting", S_OK, 2},
                                    {"BORDERSTYLE", S_OK, DISPID_BORDERSTYLE},
                                    {"Greetings", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}}) {
      DISPID found = 0;
      EXPECT_EQ(widget->GetIDOfName(name, &found), answer) << name;
      EXPECT_EQ(found, id) << name;
    }
    DISPID found = 0;
    EXPECT_EQ(widget->GetIDOfName(nullptr, &found), E_POINTER);
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
  const WORD call = kCall, put = kPut;
  const VARIANT text = VARIANT::FromString("text"), out = VARIANT::RefLong(&number),
                one = VARIANT::FromLong(1);
  const Case cases[] = {
      {"unknown id", 99, call, {}, DISP_E_MEMBERNOTFOUND},
      {"method written as a property", 1, put, {one}, DISP_E_MEMBERNOTFOUND},
      {"too few", 1, call, {}, DISP_E_BADPARAMCOUNT},
      {"too many", 3, call, {text, out, out}, DISP_E_BADPARAMCOUNT},
      {"short for long", 1, call, {VARIANT::FromShort(1)}, DISP_E_TYPEMISMATCH},
      {"string for long", 1, call, {text}, DISP_E_TYPEMISMATCH},
      {"long for string", 3, call, {one, out}, DISP_E_TYPEMISMATCH},
      {"long for pointer to long", 3, call, {text, VARIANT::FromLong(0)}, DISP_E_TYPEMISMATCH},
      {"string for string out", 2, call, {one, text}, DISP_E_TYPEMISMATCH},
      {"null pointer to long", 3, call, {text, VARIANT::RefLong(nullptr)}, E_POINTER},
      {"long for short property", DISPID_BORDERSTYLE, put, {one}, DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    VARIANT result = VARIANT::FromLong(5);
    EXPECT_EQ(widget->Invoke(c.id, c.flags, c.args, &result), c.expected) << c.what;
    EXPECT_EQ(result.Long(), 5) << c.what << ": a refused call leaves the result alone";
  }
  EXPECT_EQ(number, 0);
}

// Events reach the advised sinks in order; what the point does not serve is refused.
TEST(ConnectionPoint, AdvisesFiresInOrderAndUnadvises) {
  Texts log;
  ComPtr<Widget> widget = MakeObject<Widget>();
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(widget.As(IID_IConnectionPointContainer, &container), S_OK);
  ComPtr<IConnectionPoint> point, other;
  ASSERT_EQ(container->FindConnectionPoint(kEvents, point.Out()), S_OK);
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, other.Out()), CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(other);

  ComPtr<Sink> deaf = MakeObject<Sink>("deaf", &log, false);
  DWORD cookies[2] = {99, 0};
  EXPECT_EQ(point->Advise(static_cast<IDispatch*>(deaf.Get()), &cookies[0]),
            CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookies[0], 0u);
  EXPECT_EQ(point->Advise(nullptr, &cookies[0]), E_POINTER);
  ComPtr<Sink> first = MakeObject<Sink>("first", &log);
  ComPtr<Sink> second = MakeObject<Sink>("second", &log);
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(first.Get()), &cookies[0]), S_OK);
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(second.Get()), &cookies[1]), S_OK);
  EXPECT_TRUE(cookies[0] != 0 && cookies[1] != 0 && cookies[0] != cookies[1]);
  EXPECT_EQ(second->AddRef(), 3u);  // ours, the point's, and this one
  second->Release();

  VARIANT status[] = {VARIANT::FromString("Ready")};
  widget->Fire(7, status);
  LONG database = 0;
  VARIANT pointer[] = {VARIANT::RefLong(&database)};
  widget->Fire(4, pointer);
  EXPECT_EQ(log, (Texts{"first:7:Ready", "second:7:Ready", "first:4:0", "second:4:5"}));
  EXPECT_EQ(database, 6);  // the last sink's answer

  log.clear();
  EXPECT_EQ(point->Unadvise(cookies[0]), S_OK);
  EXPECT_EQ(point->Unadvise(cookies[0]), CONNECT_E_NOCONNECTION);
  widget->Fire(7, status);
  EXPECT_EQ(log, (Texts{"second:7:Ready"}));
  // The point lets its sink go when it goes itself.
  point.Reset();
  container.Reset();
  widget.Reset();
  EXPECT_EQ(Widget::live, 0);
  EXPECT_EQ(second->AddRef(), 2u);
  second->Release();
}

// Handles for addresses too wide for 32 bits: non-zero, unique while live, wrap to 1.
TEST(HandleTable, GivesNonZeroHandlesThatResolveUntilUnregistered) {
  qv::com::HandleTable<Target> table;
  Target a, b;
  LONG first = table.Register(&a);
  LONG second = table.Register(&b);
  LONG again = table.Register(&a);
  EXPECT_TRUE(first > 0 && second > 0 && first != second && first != again);
  EXPECT_EQ(table.Resolve(first), &a);
  EXPECT_EQ(table.Resolve(second), &b);
  EXPECT_EQ(table.Resolve(again), &a);
  EXPECT_EQ(table.Resolve(0), nullptr);
  EXPECT_EQ(table.Register(nullptr), 0);
  EXPECT_TRUE(table.Unregister(first));
  EXPECT_FALSE(table.Unregister(first));
  EXPECT_EQ(table.Resolve(first), nullptr);  // stale
  LONG next = table.Register(&b);
  EXPECT_TRUE(next != first && next != second);
  EXPECT_EQ(table.Size(), 3u);

  qv::com::HandleTable<Target> wrapping(INT32_MAX);
  EXPECT_EQ(wrapping.Register(&a), INT32_MAX);
  EXPECT_EQ(wrapping.Register(&a), 1);
  EXPECT_EQ(wrapping.Register(&a), 2);
  EXPECT_TRUE(wrapping.Unregister(INT32_MAX));
  EXPECT_EQ(wrapping.Register(&a), 3);
  LONG scoped = 0;
  {
    qv::com::ScopedHandle<Target> handle(table, &b);
    scoped = handle.Get();
    EXPECT_EQ(table.Resolve(scoped), &b);
  }
  EXPECT_EQ(table.Resolve(scoped), nullptr);  // gone with its scope
}
