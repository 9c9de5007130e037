// The framework's string map and its order of iteration. The buckets below were worked out
// from the hash rule (h = h * 33 + c, c a signed byte; bucket h % 19). "Caf\xE9" ends in é
// (0xE9), which counts as -23: C 67, a 97, f 102 give 76266, and 76266 * 33 - 23 = 2516755,
// bucket 15; read as 233 it would be bucket 5.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/ui/MapStringToString.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries InOrder(const CMapStringToString& map) {
  Entries entries;
  for (const auto& [key, value] : map)
    entries.emplace_back(key, value);
  return entries;
}

}  // namespace

TEST(MapStringToString, IteratesBucketByBucketNewestFirstWithinOne) {
  CMapStringToString map(19);
  // Key and bucket: Office survey 11, Asset tag 4, Caf\xE9 15, Room 2, Echo 15, Color 11,
  // Floor 18.
  for (const char* key :
       {"Office survey", "Asset tag", "Caf\xE9", "Room", "Echo", "Color", "Floor"})
    map.SetAt(key, std::string(key) + ".FRM");
  map.SetAt("Office survey", "FRM1A.FRM");  // a new value keeps the key's place
  EXPECT_EQ(map.GetCount(), 7);
  EXPECT_EQ(InOrder(map), (Entries{{"Room", "Room.FRM"},
                                   {"Asset tag", "Asset tag.FRM"},
                                   {"Color", "Color.FRM"},
                                   {"Office survey", "FRM1A.FRM"},
                                   {"Echo", "Echo.FRM"},
                                   {"Caf\xE9", "Caf\xE9.FRM"},
                                   {"Floor", "Floor.FRM"}}));

  // Keys are compared exactly.
  std::string value = "unchanged";
  EXPECT_FALSE(map.Lookup("office survey", value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_TRUE(map.Lookup("Office survey", value));
  EXPECT_EQ(value, "FRM1A.FRM");

  EXPECT_TRUE(map.RemoveKey("Color"));
  EXPECT_FALSE(map.RemoveKey("Color"));
  EXPECT_EQ(InOrder(map).size(), 6u);
  EXPECT_EQ(InOrder(map)[2].first, "Office survey");

  map.RemoveAll();
  EXPECT_TRUE(map.IsEmpty());
  EXPECT_TRUE(InOrder(map).empty());
  map.SetAt("Floor", "2");
  map.SetAt("Room", "1");
  EXPECT_EQ(InOrder(map), (Entries{{"Room", "1"}, {"Floor", "2"}}));
}
