// The answers made against a state the page holds: a patch that turns the page's state into
// the new one exactly, the whole state when the page holds none the console kept, and a
// bounded number of states kept.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "console/StateHistory.h"

namespace {

using nlohmann::json;
using qv::console::StateHistory;
using qv::console::StateVersion;

json WithoutVersion(json state) {
  state.erase("version");
  return state;
}

// A state as the bridge publishes it: a list of `rows` rows, the first selected.
json State(long long version, int rows) {
  json list = json::array();
  for (int i = 0; i < rows; ++i)
    list.push_back({{"text", "Form " + std::to_string(i)}, {"selected", i == 0}, {"image", 3}});
  return {{"version", version},
          {"snapshot", {{"windows", {{{"className", "SysListView32"}, {"rows", list}}}}}},
          {"console", {{"openMenu", -1}, {"text", {{"stopped", "gone"}}}}}};
}

// Its text, the version first as the bridge writes it.
std::string Text(const json& state) {
  return "{\"version\":" + state["version"].dump() + "," + WithoutVersion(state).dump().substr(1);
}

TEST(StateHistory, APatchTurnsTheHeldStateIntoTheNewOneExactly) {
  struct Case {
    const char* what;
    std::function<void(json&)> change;
  };
  const Case cases[] = {
      {"another row selected",
       [](json& s) {
         auto& rows = s["snapshot"]["windows"][0]["rows"];
         rows[0]["selected"] = false;
         rows[4321]["selected"] = true;
       }},
      {"a row inserted before thousands",
       [](json& s) {
         auto& rows = s["snapshot"]["windows"][0]["rows"];
         rows.insert(rows.begin() + 1, json{{"text", "New"}, {"selected", false}});
       }},
      {"the first rows removed, another changed",
       [](json& s) {
         auto& rows = s["snapshot"]["windows"][0]["rows"];
         rows.erase(rows.begin(), rows.begin() + 2);
         rows[2]["image"] = 4;
       }},
      {"keys that need escaping",
       [](json& s) {
         s["console"]["a/b~c"] = {{"~1", "/"}, {"", nullptr}};
       }},
      {"a value of another type",
       [](json& s) {
         s["console"]["openMenu"] = json{{"at", 2}};
       }},
      {"a member gone", [](json& s) { s["console"].erase("text"); }},
      {"text with characters beyond ASCII",
       [](json& s) {
         s["console"]["text"]["stopped"] = "Die Konsole l\xC3\xA4uft nicht \"mehr\"";
       }},
  };
  for (const Case& c : cases) {
    StateHistory history;
    json base = State(7, 5000);
    json next = base;
    next["version"] = 9;
    c.change(next);
    EXPECT_EQ(json::parse(history.Answer(-1, Text(base))), base) << c.what;
    json answer = json::parse(history.Answer(7, Text(next)));
    ASSERT_TRUE(answer.contains("patch")) << c.what << ": " << answer.dump().substr(0, 200);
    EXPECT_EQ(answer["version"], 9) << c.what;
    EXPECT_EQ(answer["base"], 7) << c.what;
    EXPECT_EQ(WithoutVersion(base).patch(answer["patch"]), WithoutVersion(next)) << c.what;
    EXPECT_LT(answer.dump().size(), 1024U) << c.what;
  }
}

TEST(StateHistory, AStateNotKeptIsAnsweredWhole) {
  StateHistory history;
  std::string first = Text(State(3, 4));
  std::string second = Text(State(4, 5));
  EXPECT_EQ(history.Answer(-1, first), first);
  EXPECT_EQ(history.Answer(2, second), second);  // never kept
  EXPECT_EQ(history.Answer(5, second), second);  // not yet published
  // A patch as long as the state itself is no gain: every row changed.
  json base = State(10, 3000);
  json next = State(11, 3000);
  for (json& row : next["snapshot"]["windows"][0]["rows"])
    row["image"] = 4;
  history.Answer(-1, Text(base));
  EXPECT_EQ(history.Answer(10, Text(next)), Text(next));
  // What is no state goes out as it is.
  EXPECT_EQ(history.Answer(3, "{\"snapshot\":1}"), "{\"snapshot\":1}");
}

TEST(StateHistory, ThePagesOwnVersionGetsAnEmptyPatch) {
  StateHistory history;
  std::string state = Text(State(12, 100));
  history.Answer(-1, state);
  EXPECT_EQ(history.Answer(12, state), R"({"version":12,"base":12,"patch":[]})");
}

TEST(StateHistory, OnlyTheLastStatesAreKept) {
  constexpr std::size_t kDepth = 4;
  StateHistory history(kDepth);
  // Answered out of order, as requests on several threads may be.
  for (long long v : {1, 2, 3, 5, 4, 6, 7, 8, 8})
    history.Answer(-1, Text(State(v, 50 + static_cast<int>(v))));
  EXPECT_EQ(history.Kept(), kDepth);
  std::string newest = Text(State(9, 60));
  EXPECT_EQ(history.Answer(5, newest), newest);  // 9 came in, 5 went out
  // The oldest kept still gives a patch.
  json answer = json::parse(history.Answer(6, newest));
  ASSERT_TRUE(answer.contains("patch"));
  EXPECT_EQ(WithoutVersion(State(6, 56)).patch(answer["patch"]), WithoutVersion(State(9, 60)));
  EXPECT_EQ(history.Kept(), kDepth);
}

TEST(StateHistory, TheVersionIsReadFromTheStatesHead) {
  const std::pair<const char*, long long> cases[] = {
      {R"({"version":42,"snapshot":{}})", 42},
      {R"({"version":7})", 7},
      {R"({"version":-1,"a":1})", -1},
      {R"({"version":"7"})", -1},
      {R"({"snapshot":{},"version":7})", -1},
      {R"({"version":12x})", -1},
      {"", -1},
  };
  for (const auto& [state, version] : cases)
    EXPECT_EQ(StateVersion(state), version) << state;
}

}  // namespace
