// Our COM layer through its public face: GUIDs, reference counting, strings handed from
// callee to caller, calls by dispatch id, events to advised sinks, and handles for 32-bit
// parameters.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/com/Bstr.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace {

GUID Parsed(const char* text) {
  GUID guid{};
  EXPECT_TRUE(qv::com::ParseGuid(text, &guid)) << text;
  return guid;
}

}  // namespace

// --- GUIDs

TEST(Guid, ParsesAndFormatsInUpperCaseBraces) {
  struct Case {
    const char* text;
    const char* formatted;
  };
  const Case cases[] = {
      {"{AE399777-76F3-11D1-8969-00A0C9323807}", "{AE399777-76F3-11D1-8969-00A0C9323807}"},
      {"{A48C4D90-9281-11d1-8971-00A0C9323807}", "{A48C4D90-9281-11D1-8971-00A0C9323807}"},
      {"{af21e513-8690-11d0-be62-00a0c91ef7b9}", "{AF21E513-8690-11D0-BE62-00A0C91EF7B9}"},
      {"525746D0-9BF9-11D0-837B-00A0C91EF7B9", "{525746D0-9BF9-11D0-837B-00A0C91EF7B9}"},
      {"{00000000-0000-0000-0000-000000000000}", "{00000000-0000-0000-0000-000000000000}"},
      {"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(qv::com::FormatGuid(Parsed(c.text)), c.formatted) << c.text;
}

TEST(Guid, FieldsHaveTheWindowsLayout) {
  GUID guid = Parsed("{AE399777-76F3-11D1-8969-00A0C9323807}");
  EXPECT_EQ(guid.Data1, 0xAE399777u);
  EXPECT_EQ(guid.Data2, 0x76F3u);
  EXPECT_EQ(guid.Data3, 0x11D1u);
  const std::uint8_t data4[] = {0x89, 0x69, 0x00, 0xA0, 0xC9, 0x32, 0x38, 0x07};
  EXPECT_EQ(std::memcmp(guid.Data4, data4, 8), 0);
  EXPECT_EQ(Parsed("{00000000-0000-0000-C000-000000000046}"), IID_IUnknown);
  EXPECT_EQ(Parsed("{00000001-0000-0000-C000-000000000046}"), IID_IClassFactory);
}

TEST(Guid, RefusesBadTextAndLeavesTheOutputAlone) {
  const char* bad[] = {
      "",
      "{}",
      "{AE399777-76F3-11D1-8969-00A0C9323807",  // no closing brace
      "AE399777-76F3-11D1-8969-00A0C9323807}",  // no opening brace
      "{{AE399777-76F3-11D1-8969-00A0C9323807}}",
      "{AE399777-76F3-11D1-896900A0C9323807}",    // dash missing
      "{AE39977-776F3-11D1-8969-00A0C9323807}",   // dash in the wrong place
      "{AE399777-76F3-11D1-8969-00A0C932380}",    // one digit short
      "{AE399777-76F3-11D1-8969-00A0C93238070}",  // one digit over
      "{AE399777-76F3-11D1-8969-00A0C932380G}",   // not hex
      "{AE399777-76F3-11D1-8969 00A0C9323807}",
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

TEST(Guid, ComparesAndOrdersForMaps) {
  GUID a = Parsed("{AE399774-76F3-11D1-8969-00A0C9323807}");
  GUID b = Parsed("{AE399775-76F3-11D1-8969-00A0C9323807}");
  GUID c = Parsed("{AE399775-76F3-11D1-8969-00A0C9323808}");
  EXPECT_TRUE(IsEqualGUID(a, Parsed("{ae399774-76f3-11d1-8969-00a0c9323807}")));
  EXPECT_FALSE(IsEqualGUID(b, c));
  std::map<GUID, int> byId{{c, 3}, {a, 1}, {b, 2}};
  std::vector<int> order;
  for (const auto& [id, value] : byId)
    order.push_back(value);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// --- Strings

TEST(Bstr, AllocatesAndFreesCountingLiveStrings) {
  const std::size_t before = qv::com::LiveStringCount();
  BSTR text = SysAllocString("Caf\xE9");
  BSTR withNul = SysAllocStringLen("a\0b", 3);
  BSTR zeros = SysAllocStringLen(nullptr, 2);
  EXPECT_EQ(qv::com::LiveStringCount(), before + 3);
  EXPECT_EQ(qv::com::BstrText(text), "Caf\xE9");
  EXPECT_EQ(SysStringLen(text), 4u);
  EXPECT_EQ(qv::com::BstrText(withNul), std::string("a\0b", 3));
  EXPECT_EQ(qv::com::BstrText(zeros), std::string(2, '\0'));
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(text);
  SysFreeString(withNul);
  SysFreeString(zeros);
  SysFreeString(nullptr);
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}

TEST(Bstr, HolderFreesCopiesAndHandsOver) {
  const std::size_t before = qv::com::LiveStringCount();
  {
    qv::com::Bstr first("Asset");
    qv::com::Bstr second = first;
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(second.Text(), "Asset");
    *second.Out() = SysAllocString("Room");  // a callee filling a string out
    EXPECT_EQ(second.Text(), "Room");
    EXPECT_EQ(qv::com::LiveStringCount(), before + 2);
    BSTR taken = first.Detach();
    EXPECT_EQ(first.Get(), nullptr);
    SysFreeString(taken);
  }
  EXPECT_EQ(qv::com::LiveStringCount(), before);
}
