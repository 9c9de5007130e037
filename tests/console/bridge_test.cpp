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
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/BrowserBridge.h"
#include "console/ConsoleServer.h"

namespace {

using nlohmann::json;
using qv::console::BrowserBridge;
using std::chrono::milliseconds;

constexpr auto kHang = std::chrono::seconds(60);  // only a broken bridge takes this long
constexpr auto kForever = std::chrono::hours(1);  // patience that must never run out

// The UI thread's loop over a bridge whose state is {"ran":N,"modal":B,"jobs":...}, made on
// the UI thread like the console's. What the UI thread owns is touched by jobs and the state
// maker only, so a job run on any other thread is a data race the sanitizer reports.
class Bridge : public ::testing::Test {
 protected:
  // `pad`: a member of the state that never changes (a server answers with a patch only when
  // it is smaller than the state).
  explicit Bridge(std::string pad = "")
      : bridge_([this, pad] {
          json state = {{"ran", ran_}, {"modal", modal_}, {"jobs", jobs_}};
          if (!pad.empty())
            state["pad"] = pad;
          return state.dump();
        }) {
    ui_ = std::thread([this] {
      uiThread_ = std::this_thread::get_id();
      while (bridge_.WaitForInput()) {
      }
      loopEnded_ = true;
    });
  }
  ~Bridge() override { StopAndJoin(); }

  void StopAndJoin() {
    bridge_.Stop();
    if (ui_.joinable())
      ui_.join();
  }

  // Job `job` of `poster`, run.
  void Ran(int poster, int job) {
    ranOn_.push_back(std::this_thread::get_id());
    jobs_[poster].push_back(job);
    ++ran_;
  }

  // Once the loop ended: every job ran, on the UI thread, each poster's in the order posted.
  void ExpectEveryJobOnTheUiThreadInItsPostersOrder(int posters, int jobs) {
    StopAndJoin();
    ASSERT_EQ(ran_, posters * jobs);
    for (std::thread::id id : ranOn_)
      EXPECT_EQ(id, uiThread_);
    std::vector<int> inOrder(jobs);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (int p = 0; p < posters; ++p)
      EXPECT_EQ(jobs_[p], inOrder) << "poster " << p;
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

  // Runs `job` as a request does, within the guard against a hang; the state it answers with.
  json Run(BrowserBridge::Job job) {
    auto answer = std::async(std::launch::async,
                             [this, &job] { return bridge_.Run(std::move(job), kForever); });
    std::string state = Within(answer);
    return state.empty() ? json() : json::parse(state);
  }

  std::future<std::string> StateAfter(long long version) {
    return std::async(std::launch::async,
                      [this, version] { return bridge_.StateAfter(version, kForever); });
  }

  std::thread::id uiThread_;
  std::vector<std::thread::id> ranOn_;
  std::map<int, std::vector<int>> jobs_;  // poster: its jobs' numbers in the order run
  int ran_ = 0;
  bool modal_ = false;
  BrowserBridge bridge_;
  std::thread ui_;
  std::atomic<bool> loopEnded_{false};
};

TEST_F(Bridge, JobsOfSeveralThreadsRunOnTheUiThreadInTheirOrder) {
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
              Ran(p, j);
              ranAt = ran_;
            },
            kForever);
        if (state.empty())
          return "no state after job " + std::to_string(j);
        // The state after the job holds the job's own effect, and is never older than the one
        // the last job of this thread answered with.
        json taken = json::parse(state);
        if (taken["ran"].get<int>() < ranAt || taken["version"].get<long long>() <= lastVersion)
          return "job " + std::to_string(j) + " answered with " + state;
        lastVersion = taken["version"];
      }
      return std::string();
    }));
  }
  // A page that reads the state as fast as it can meanwhile never sees it go back.
  std::atomic<bool> postersDone{false};
  auto reader = std::async(std::launch::async, [this, &postersDone] {
    long long last = 0;
    for (int i = 0; i < 1000000 && !postersDone; ++i) {
      long long version = json::parse(bridge_.StateAfter(-1, kForever))["version"];
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
  ExpectEveryJobOnTheUiThreadInItsPostersOrder(kPosters, kJobs);
}

TEST_F(Bridge, StateAfterAnswersAnOlderVersionAtOnceAndWaitsForANewerOne) {
  json first = Run([] {});
  long long version = first["version"];
  EXPECT_EQ(first,
            (json{{"version", version}, {"ran", 0}, {"modal", false}, {"jobs", json::array()}}));
  auto older = StateAfter(version - 1);
  EXPECT_EQ(json::parse(Within(older)), first);
  // The current version waits until a job changes the state; one that changes nothing
  // publishes no new version.
  auto newer = StateAfter(version);
  EXPECT_EQ(Run([] {}), first);
  EXPECT_EQ(newer.wait_for(milliseconds(100)), std::future_status::timeout);
  json changed = Run([this] { ++ran_; });
  EXPECT_EQ(
      changed,
      (json{{"version", version + 1}, {"ran", 1}, {"modal", false}, {"jobs", json::array()}}));
  EXPECT_EQ(json::parse(Within(newer)), changed);
}

TEST_F(Bridge, StopWakesEveryWaiterAndEndsTheLoop) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  json first = Run([] {});
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
  auto queued =
      std::async(std::launch::async, [&] { return bridge_.Run([this] { ++ran_; }, kForever); });
  auto polling = StateAfter(first["version"]);
  EXPECT_EQ(queued.wait_for(milliseconds(100)), std::future_status::timeout);
  bridge_.Stop();
  EXPECT_TRUE(bridge_.Stopped());
  EXPECT_EQ(Within(holding), "");
  EXPECT_EQ(Within(queued), "");
  EXPECT_EQ(json::parse(Within(polling)), first);  // the state as it was
  EXPECT_EQ(Run([] {}), json());
  release.set_value();
  ui_.join();
  EXPECT_TRUE(loopEnded_);
  EXPECT_EQ(ran_, 0);  // the queued job never ran
}

TEST_F(Bridge, RunAnswersAtTheFirstWaitOfAModalLoopTheJobOpens) {
  std::atomic<bool> jobReturned{false};
  // The job opens a modal window and runs its loop, as the framework's dialogs do.
  json open = Run([&] {
    modal_ = true;
    while (modal_ && bridge_.WaitForInput()) {
    }
    jobReturned = true;
  });
  EXPECT_EQ(open["modal"], true);
  EXPECT_FALSE(jobReturned);
  // A job run by the modal loop closes the window; its answer comes when the outer loop
  // waits again.
  json closed = Run([this] { modal_ = false; });
  EXPECT_EQ(closed["modal"], false);
  EXPECT_GT(closed["version"], open["version"]);
  EXPECT_TRUE(jobReturned);
}

// The server in front of the bridge: requests carrying the secret reach the UI thread as
// console commands, on connections the door and the workers pass between them.
class Server : public Bridge {
 protected:
  Server()
      : Bridge(std::string(200, '.')),
        server_(
            &bridge_,
            [this](const json& command, std::string* why) {
              if (!command.contains("refuse")) {
                Ran(command["poster"], command["job"]);
                return true;
              }
              ranOn_.push_back(std::this_thread::get_id());
              *why = command["refuse"];
              return false;
            },
            {}, kSecret) {
    std::string why;
    port_ = server_.Bind(0, &why);
    EXPECT_GT(port_, 0) << why;
    listener_ = std::async(std::launch::async, [this] { server_.Listen(); });
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

  // A long poll for a state newer than `state`'s; its answer's body.
  std::future<std::string> Poll(const json& state) {
    std::string after = "/api/state?after=" + std::to_string(state["version"].get<long long>());
    return std::async(std::launch::async, [this, after] {
      auto answer = Client()->Get(after.c_str());
      return answer ? answer->body : std::string("no answer");
    });
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
        if (!res || res->status != 200 || json::parse(res->body)["ok"] != true ||
            json::parse(res->body)["ran"].get<int>() < 1)
          return "job " + std::to_string(j) + ": " + (res ? res->body : "no answer");
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
  ExpectEveryJobOnTheUiThreadInItsPostersOrder(kPosters, kJobs);
}

TEST_F(Server, ALongPollIsAnsweredByTheNextStateOrAtTheStop) {
  auto client = Client();
  auto res = client->Get("/api/state");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << res->body;
  json first = json::parse(res->body);
  auto poll = Poll(first);
  EXPECT_EQ(poll.wait_for(milliseconds(100)), std::future_status::timeout);
  res = client->Post("/api/console", R"({"poster":0,"job":0})", "application/json");
  ASSERT_TRUE(res);
  // The poll names the version the page holds: the answer is the change from it.
  json polled = json::parse(Within(poll));
  EXPECT_EQ(polled["version"], json::parse(res->body)["version"]);
  EXPECT_EQ(polled["base"], first["version"]);
  json now = first;
  now.erase("version");
  now = now.patch(polled["patch"]);
  EXPECT_EQ(now["ran"], 1);
  // A poll waiting when the bridge stops is answered with no change from the page's state.
  auto last = Poll(polled);
  EXPECT_EQ(last.wait_for(milliseconds(100)), std::future_status::timeout);
  bridge_.Stop();
  EXPECT_EQ(json::parse(Within(last)), (json{{"version", polled["version"]},
                                             {"base", polled["version"]},
                                             {"patch", json::array()}}));
}

}  // namespace
