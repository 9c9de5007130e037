// The page's protocol: the control's window tree as JSON, and the page's input checked
// before it reaches the framework's queue. The snapshots of the scripted session below are the
// committed console/web/dev/fixture.json, which the page's dev mode renders. To make the file
// anew after a deliberate change, run the session with QV_WEB_FIXTURE=<that file>.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <utility>

#include "console/InputJson.h"
#include "console/SnapshotJson.h"
#include "resources/ResourceIds.h"
#include "tests/host/ScriptedConsole.h"

namespace {

using nlohmann::json;

// What a session that started first would show, as the fixture holds it: window handles count up
// for the whole process, and the control's window is handle 1 there; a new form's file is named
// by the clock's count (GetTempFileNameA) and the list follows the files' names, so the new form
// `name` is the list's last row, wherever the clock put it.
void AsTheFixtureHoldsIt(json* value, int by, const std::string& name, const char* key = "") {
  static const std::set<std::string> kHandles = {"handle", "owner", "over", "target"};
  if (value->is_array()) {
    for (json& inner : *value)
      AsTheFixtureHoldsIt(&inner, by, name);
  } else if (value->is_number_integer() && kHandles.count(key) != 0 && value->get<int>() != 0) {
    *value = value->get<int>() - by;
  } else if (value->is_object()) {
    const json lines = value->value("lines", json::array());
    const int i = static_cast<int>(std::find(lines.begin(), lines.end(), name) - lines.begin());
    if (value->value("className", "") == "SysListView32" && i < static_cast<int>(lines.size())) {
      for (const char* member : {"lines", "rows", "images"}) {
        json row = (*value)[member][i];
        (*value)[member].erase(static_cast<std::size_t>(i));
        (*value)[member].push_back(row);
      }
      for (const char* member : {"selection", "caret"}) {
        int at = (*value)[member].get<int>();
        (*value)[member] = at == i ? static_cast<int>(lines.size()) - 1 : at > i ? at - 1 : at;
      }
    }
    for (auto& [member, inner] : value->items())
      AsTheFixtureHoldsIt(&inner, by, name, member.c_str());
  }
}

class SnapshotJson : public ScriptedConsole {
 protected:
  // Posts one input the page would send; the test fails when it is refused.
  static void Send(const json& input) {
    std::string why;
    EXPECT_TRUE(qv::console::PostInputJson(input, &why)) << input.dump() << ": " << why;
  }
  // The snapshot now, kept for the fixture as `name`.
  json Take(const char* name) {
    json snapshot = qv::console::SnapshotToJson(qv::ui::TakeSnapshot());
    AsTheFixtureHoldsIt(&(session_[name] = snapshot), control_->Handle() - 1,
                        "B\u00FCro \u20AC ?? ?");
    return snapshot;
  }
  // The session against the committed fixture, snapshot by snapshot; or the fixture written.
  void CompareWithFixture() const {
    if (const char* path = std::getenv("QV_WEB_FIXTURE")) {
      std::ofstream(path, std::ios::binary) << session_.dump(1) << "\n";
      return;
    }
    std::ifstream in(QV_WEB_FIXTURE_FILE, std::ios::binary);
    json fixture = json::parse(in, nullptr, false);
    ASSERT_TRUE(fixture.is_object()) << "cannot read " << QV_WEB_FIXTURE_FILE;
    for (const auto& [name, snapshot] : session_.items())
      EXPECT_EQ(fixture.value(name, json()), snapshot)
          << "console/web/dev/fixture.json has drifted at \"" << name
          << "\": make it anew as this file's header says";
    EXPECT_EQ(fixture.size(), session_.size());
  }

  json session_ = json::object();
};

TEST_F(SnapshotJson, ASessionAsThePageSeesIt) {
  Open();
  ASSERT_EQ(created_, S_OK);
  const int list = ListHandle();
  const int bar = ToolBar()->Handle();
  // The host shows a status text with a character beyond ASCII (Windows-1252 bytes).
  qv::ui::SetStatusText("B\xFCro \x80 5");
  user_
      .Then([&] {
        Send({{"kind", "select"}, {"target", list}, {"index", Row("Office survey")}});
        Tick();
      })
      .Then([&] {
        Take("list");
        // The page's hover over Details, then its click.
        Send({{"kind", "hover"}, {"target", bar}, {"index", 9}});
      })
      .Then([&] {
        Take("hover");
        Send({{"kind", "click"}, {"target", bar}, {"index", 9}});
      })
      .Then([&] {
        Tick();
        Send({{"kind", "hover"}, {"target", bar}, {"index", -1}});
      })
      .Then([&] {
        Take("details");
        Send({{"kind", "key"}, {"target", list}, {"key", VK_APPS}});
      })
      .Then([&] {
        Take("menu");
        Send({{"kind", "menuPick"}, {"index", -1}});
      })
      .Then([&] {
        Send({{"kind", "select"}, {"target", list}, {"index", -1}});
      })
      .Then([&] { View()->SendMessage(WM_COMMAND, MAKEWPARAM(ID_FORMS_MODIFY, 0)); })
      .Then([&] {
        json s = Take("box");
        ASSERT_EQ(s["modals"].size(), 1u);
        Send({{"kind", "key"}, {"target", s["modals"][0]["handle"]}, {"key", VK_RETURN}});
      })
      .Then([&] {
        Send({{"kind", "doubleClick"}, {"target", list}, {"index", Row("Add new form")}});
      })
      .Then([&] {
        qv::ui::Snapshot now = qv::ui::TakeSnapshot();
        const qv::ui::WindowState* edit = now.Top()->Find(IDC_FORM_NAME);
        ASSERT_NE(edit, nullptr);
        // Characters Windows-1252 cannot hold become "?"; the rest of the text is kept.
        Send({{"kind", "text"},
              {"target", edit->handle},
              {"text", "B\u00FCro \u20AC \u4F60\u597D \U0001F600"}});
      })
      .Then([&] {
        Take("editor");
        qv::ui::CloseWindow();
      })
      .Then([&] { qv::ui::SelectAt(list, Row("New starters")); })
      .Then([&] { qv::ui::KeyAt(list, VK_RETURN); })
      .Then([&] {
        Take("group");
        qv::ui::Click(IDCANCEL);
      });
  Run();
  CompareWithFixture();
}

// Each input breaks the shape in one way; none may reach the queue. The list's selection
// shows whether one did: most would select row 1.
TEST_F(SnapshotJson, HostileInputIsRefusedAndPostsNothing) {
  Open();
  ASSERT_EQ(created_, S_OK);
  const int list = ListHandle();
  const json good = {{"kind", "select"}, {"target", list}, {"index", 1}};
  auto with = [&](const char* member, json value) {
    json input = good;
    input[member] = std::move(value);
    return input;
  };
  auto without = [&](json input, const char* member) {
    input.erase(member);
    return input;
  };
  const std::vector<json> hostile = {
      json::array({good}),
      json("select"),
      json(nullptr),
      without(good, "kind"),
      with("kind", "Select"),
      with("kind", "format"),
      with("kind", 2),
      with("target", "1"),
      with("target", 1.5),
      with("target", true),
      with("target", 2147483648LL),
      with("target", -2147483649LL),
      with("target", 18446744073709551615ULL),
      with("index", json::array({1})),
      with("index", nullptr),
      with("to", 4294967297LL),
      with("x", 1e300),
      with("text", 5),
      with("shift", 1),
      with("alt", "yes"),
      with("text", std::string(qv::console::kMaxInputText + 1, 'a')),
      with("text", "\xC3"),              // cut short
      with("text", "\xC0\xAF"),          // overlong
      with("text", "\xED\xA0\x80"),      // a surrogate
      with("text", "\xF4\x90\x80\x80"),  // past U+10FFFF
      with("Kind", "select"),
      with("target\xFF", 1),
      {{"kind", "key"}, {"target", list}},
      {{"kind", "text"}, {"target", list}},
      {{"kind", "menuPick"}},
      {{"kind", "resize"}, {"target", list}, {"index", 10}},
      {{"kind", "columnWidth"}, {"target", list}, {"index", 0}},
      {{"kind", "dragOver"}, {"target", list}, {"x", 1}},
  };
  for (const json& input : hostile) {
    std::string why;
    EXPECT_FALSE(qv::console::PostInputJson(input, &why)) << input.dump(-1, ' ', true);
    EXPECT_FALSE(why.empty()) << input.dump(-1, ' ', true);
    EXPECT_EQ(why.find('\n'), std::string::npos);
  }
  Run();  // a posted one would select a row, or be refused as a problem when carried out
  EXPECT_EQ(ListState().selection, -1);
  // Text at the limit, in Windows-1252 characters, is taken.
  json limit = with("text", std::string(qv::console::kMaxInputText - 3, 'a') + "\u20AC");
  limit["index"] = 2;
  Send(limit);
  Run();
  EXPECT_EQ(ListState().selection, 2);
  // Well-formed input the framework refuses when it carries it out: for a window that does
  // not exist, and a drag list box's begin and move over a line, which the list view refuses.
  Send({{"kind", "click"}, {"target", 987654}});
  Send({{"kind", "beginDrag"}, {"target", list}, {"index", 1}});
  Send({{"kind", "dragOver"}, {"target", list}, {"index", 1}});
  qv::ui::RunMessageLoop();
  EXPECT_EQ(qv::ui::InputProblems().size(), 3u);
  qv::ui::ClearInputProblems();
}

// Rows kept from the state before are written as the whole dump writes them: as they were,
// after they changed, in a modal's list too, and when a row reads like a stand-in.
TEST(RowsText, FilledStatesReadAsTheWholeDump) {
  auto dump = [](const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); };
  qv::ui::WindowState list;
  list.className = "SysListView32";
  list.handle = 7;
  list.rows = {{"Office survey", "B\xFCro \x80"}, {"\x01rows-0", "\"quoted\"\t"}};
  list.lines = {"Office survey", "\x01rows-0"};
  list.images = {"form", "group"};
  qv::ui::WindowState frame;
  frame.className = "AfxFrameOrView";
  frame.children = {list};
  qv::ui::Snapshot snapshot;
  snapshot.windows = {frame};
  qv::console::RowsText rowsText;
  auto filled = [&] {
    std::string text = dump(qv::console::SnapshotToJson(snapshot, &rowsText));
    rowsText.Fill(&text);
    return text;
  };
  auto& rows = snapshot.windows[0].children[0].rows;
  for (int round = 0; round < 4; ++round) {
    if (round == 2) {
      rows.push_back({"Asset tag", ""});
      snapshot.windows[0].children[0].images.push_back("form");
    }
    if (round == 3)
      snapshot.modals = {list};
    std::string text = filled();
    EXPECT_EQ(text, dump(qv::console::SnapshotToJson(snapshot))) << "round " << round;
    EXPECT_EQ(json::parse(text)["windows"][0]["children"][0]["rows"][1][0], "\u0001rows-0");
  }
}

}  // namespace
