// The console's threads: requests hand jobs to the one user-interface thread through the
// bridge and take the state it publishes when it waits again; the server's front door hands
// connections to its workers and takes them back between requests. Real threads; the only
// deadlines guard against a hang and fail the test instead. Also built alone under
// ThreadSanitizer (QV_TSAN).
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/BrowserBridge.h"
#include "console/ConsoleServer.h"

namespace {

using nlohmann::json;
using qv::console::BrowserBridge;

constexpr auto kHang = std::chrono::seconds(60);  // only a broken bridge takes this long
constexpr auto kForever = std::chrono::hours(1);  // patience that must never run out

// What the UI thread owns: touched by jobs and the state maker only, so a job run on any
// other thread is a data race the sanitizer reports.
struct Model {
  std::thread::id uiThread;
  std::vector<std::thread::id> ranOn;
  std::map<int, std::vector<int>> ranByPoster;  // poster: its jobs' numbers in the order run
  int ran = 0;
  bool modal = false;
};

// The UI thread's loop over a bridge whose state is {"ran":N,"modal":B,"jobs":[...]}: like the
// console's, made on the UI thread, and not made in an instant.
class Bridge : public ::testing::Test {
 protected:
  // Every job ran on the UI thread, and each poster's jobs in the order it posted them.
  void ExpectEveryJobOnTheUiThreadInItsPostersOrder(int posters, int jobs) {
    for (std::thread::id id : model_.ranOn)
      EXPECT_EQ(id, model_.uiThread);
    std::vector<int> inOrder;
    for (int j = 0; j < jobs; ++j)
      inOrder.push_back(j);
    for (int p = 0; p < posters; ++p)
      EXPECT_EQ(model_.ranByPoster[p], inOrder) << "poster " << p;
  }
  Bridge()
      : bridge_([this] {
          return json{{"ran", model_.ran}, {"modal", model_.modal}, {"jobs", model_.ranByPoster}}
              .dump();
        }) {}
  ~Bridge() override {
    bridge_.Stop();
    if (ui_.joinable())
      ui_.join();
  }

  void StartUi() {
    ui_ = std::thread([this] {
      model_.uiThread = std::this_thread::get_id();
      while (bridge_.WaitForInput()) {
      }
      loopEnded_ = true;
    });
  }

  // Waits for `future`, or fails the test and stops the bridge so that every thread ends.
  template <typename T>
  T Within(std::future<T>& future) {
    if (future.wait_for(kHang) != std::future_status::ready) {
      ADD_FAILURE() << "hung";
      bridge_.Stop();
    }
    return future.get();
  }

  // Runs `job` as a request does, within the guard against a hang.
  std::string Ran(BrowserBridge::Job job) {
    auto answer = std::async(std::launch::async,
                             [this, &job] { return bridge_.Run(std::move(job), kForever); });
    return Within(answer);
  }

  // The state a request took, parsed.
  static json State(const std::string& text) { return json::parse(text); }

  Model model_;
  BrowserBridge bridge_;
  std::thread ui_;
  std::atomic<bool> loopEnded_{false};
};

TEST_F(Bridge, JobsOfSeveralThreadsRunOnTheUiThreadInTheirOrder) {
  StartUi();
  constexpr int kPosters = 4;
  constexpr int kJobs = 25;
  std::vector<std::future<std::string>> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.push_back(std::async(std::launch::async, [this, p] {
      long long lastVersion = 0;
      for (int j = 0; j < kJobs; ++j) {
        int ranAt = 0;  // written on the UI thread; read after Run answered
        std::string state = bridge_.Run(
            [this, p, j, &ranAt] {
              model_.ranOn.push_back(std::this_thread::get_id());
              model_.ranByPoster[p].push_back(j);
              ranAt = ++model_.ran;
            },
            kForever);
        if (state.empty())
          return std::string("no state after job ") + std::to_string(j);
        json taken = State(state);
        // The state after the job: the job's own effect is in it, and it is never older than
        // the one the last job of this thread answered with.
        if (taken["ran"].get<int>() < ranAt)
          return "job " + std::to_string(j) + " answered before it ran: " + state;
        if (taken["version"].get<long long>() <= lastVersion)
          return "version went back: " + state;
        lastVersion = taken["version"].get<long long>();
      }
      return std::string();
    }));
  }
  // A page that reads the state as fast as it can meanwhile never sees it go back.
  std::atomic<bool> postersDone{false};
  auto reader = std::async(std::launch::async, [this, &postersDone] {
    long long last = 0;
    for (int i = 0; i < 1000000 && !postersDone; ++i) {
      long long version = State(bridge_.StateAfter(-1, kForever))["version"];
      if (version < last)
        return false;
      last = version;
    }
    return true;
  });
  for (auto& poster : posters)
    EXPECT_EQ(Within(poster), "");
  postersDone = true;
  EXPECT_TRUE(Within(reader));
  bridge_.Stop();
  ui_.join();
  ASSERT_EQ(model_.ranOn.size(), std::size_t{kPosters * kJobs});
  ExpectEveryJobOnTheUiThreadInItsPostersOrder(kPosters, kJobs);
}

TEST_F(Bridge, StateAfterAnswersAnOlderVersionAtOnceAndWaitsForANewerOne) {
  StartUi();
  json first = State(Ran([] {}));
  long long version = first["version"];
  EXPECT_EQ(first,
            (json{{"version", version}, {"ran", 0}, {"modal", false}, {"jobs", json::array()}}));

  // An older version is answered with the state as it is, without waiting out the patience.
  auto older =
      std::async(std::launch::async, [&] { return bridge_.StateAfter(version - 1, kForever); });
  EXPECT_EQ(State(Within(older)), first);

  // The current one waits until a job changes the state; a job that changes nothing
  // publishes no new version.
  auto newer =
      std::async(std::launch::async, [&] { return bridge_.StateAfter(version, kForever); });
  EXPECT_EQ(State(Ran([] {})), first);
  EXPECT_EQ(newer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  json changed = State(Ran([this] { ++model_.ran; }));
  EXPECT_EQ(
      changed,
      (json{{"version", version + 1}, {"ran", 1}, {"modal", false}, {"jobs", json::array()}}));
  EXPECT_EQ(State(Within(newer)), changed);
}

TEST_F(Bridge, StopWakesEveryWaiterAndEndsTheLoop) {
  StartUi();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::string first = Ran([] {});
  long long version = State(first)["version"];

  // One request waits for its job, which holds the UI thread; another for the job queued
  // behind it; a third for a newer state.
  std::promise<void> held;
  auto holding = std::async(std::launch::async, [&] {
    return bridge_.Run(
        [&held, released] {
          held.set_value();
          released.wait();
        },
        kForever);
  });
  auto holds = held.get_future();
  Within(holds);
  auto queued = std::async(std::launch::async,
                           [&] { return bridge_.Run([this] { ++model_.ran; }, kForever); });
  auto polling =
      std::async(std::launch::async, [&] { return bridge_.StateAfter(version, kForever); });
  EXPECT_EQ(queued.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  bridge_.Stop();
  EXPECT_TRUE(bridge_.Stopped());
  EXPECT_EQ(Within(holding), "");
  EXPECT_EQ(Within(queued), "");
  EXPECT_EQ(Within(polling), first);  // the state as it was
  EXPECT_EQ(Ran([] {}), "");

  release.set_value();
  ui_.join();
  EXPECT_TRUE(loopEnded_);
  EXPECT_EQ(model_.ran, 0);  // the queued job never ran
}

TEST_F(Bridge, RunAnswersAtTheFirstWaitOfAModalLoopTheJobOpens) {
  StartUi();
  std::atomic<bool> jobReturned{false};
  // The job opens a modal window and runs its loop, as the framework's dialogs do.
  auto opening = std::async(std::launch::async, [&] {
    return bridge_.Run(
        [&] {
          model_.modal = true;
          while (model_.modal && bridge_.WaitForInput()) {
          }
          jobReturned = true;
        },
        kForever);
  });
  json open = State(Within(opening));
  EXPECT_EQ(open["modal"], true);
  EXPECT_FALSE(jobReturned);

  // A job run by the modal loop closes the window; its answer comes when the outer loop
  // waits again.
  json closed = State(Ran([this] { model_.modal = false; }));
  EXPECT_EQ(closed["modal"], false);
  EXPECT_GT(closed["version"], open["version"]);
  EXPECT_TRUE(jobReturned);
}

// The server in front of the bridge: requests carrying the secret reach the UI thread as
// console commands, on connections the door and the workers pass between them.
class Server : public Bridge {
 protected:
  Server()
      : server_(
            &bridge_,
            [this](const json& command, std::string* why) {
              model_.ranOn.push_back(std::this_thread::get_id());
              if (command.contains("refuse")) {
                *why = command["refuse"];
                return false;
              }
              model_.ranByPoster[command["poster"]].push_back(command["job"]);
              ++model_.ran;
              return true;
            },
            {}, kSecret) {
    std::string why;
    port_ = server_.Bind(0, &why);
    EXPECT_GT(port_, 0) << why;
    listener_ = std::async(std::launch::async, [this] { server_.Listen(); });
    StartUi();
  }
  ~Server() override {
    server_.Stop();
    bridge_.Stop();
    Within(listener_);
  }

  std::unique_ptr<httplib::Client> Client() {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_default_headers({{"X-Console-Secret", kSecret}});
    client->set_keep_alive(true);
    client->set_read_timeout(kHang);
    return client;
  }

  static constexpr char kSecret[] = "0123456789abcdef0123456789abcdef";
  qv::console::ConsoleServer server_;
  int port_ = -1;
  std::future<void> listener_;
};

TEST_F(Server, CommandsOfSeveralConnectionsRunOnTheUiThreadInTheirOrder) {
  constexpr int kPosters = 3;
  constexpr int kJobs = 15;
  std::vector<std::future<std::string>> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.push_back(std::async(std::launch::async, [this, p] {
      auto client = Client();  // one connection, back at the door after each answer
      for (int j = 0; j < kJobs; ++j) {
        auto res = client->Post("/api/console", json{{"poster", p}, {"job", j}}.dump(),
                                "application/json");
        if (!res || res->status != 200)
          return "job " + std::to_string(j) + " failed: " + (res ? res->body : "no answer");
        json answer = json::parse(res->body);
        if (answer["ok"] != true || answer["ran"].get<int>() < 1)
          return "job " + std::to_string(j) + ": " + res->body;
      }
      auto res = client->Post("/api/console", R"({"refuse":"not now"})", "application/json");
      if (!res || json::parse(res->body)["ok"] != false ||
          json::parse(res->body)["problem"] != "not now")
        return std::string("the refusal did not come back");
      return std::string();
    }));
  }
  for (auto& poster : posters)
    EXPECT_EQ(Within(poster), "");
  bridge_.Stop();
  ui_.join();
  EXPECT_EQ(model_.ran, kPosters * kJobs);
  ExpectEveryJobOnTheUiThreadInItsPostersOrder(kPosters, kJobs);
}

TEST_F(Server, ALongPollIsAnsweredByTheNextStateOrAtTheStop) {
  auto client = Client();
  auto res = client->Get("/api/state");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << res->body;
  json first = json::parse(res->body);
  std::string after = "/api/state?after=" + std::to_string(first["version"].get<long long>());

  auto poll = std::async(std::launch::async, [&] {
    auto answer = Client()->Get(after.c_str());
    return answer ? answer->body : std::string("no answer");
  });
  EXPECT_EQ(poll.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  res = client->Post("/api/console", R"({"poster":0,"job":0})", "application/json");
  ASSERT_TRUE(res);
  json answer = json::parse(res->body);
  json polled = json::parse(Within(poll));
  EXPECT_EQ(polled["ran"], 1);
  EXPECT_EQ(polled["version"], answer["version"]);

  // A poll waiting when the bridge stops is answered with the state as it is.
  after = "/api/state?after=" + std::to_string(polled["version"].get<long long>());
  auto last = std::async(std::launch::async, [&] {
    auto late = Client()->Get(after.c_str());
    return late ? late->body : std::string("no answer");
  });
  EXPECT_EQ(last.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  bridge_.Stop();
  EXPECT_EQ(json::parse(Within(last)), polled);
}

}  // namespace
