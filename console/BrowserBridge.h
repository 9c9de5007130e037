// The meeting point of the browser's requests and the one user-interface thread.
//
// The HTTP server answers on threads of its own. They never touch a window: they hand the UI
// thread a job (post an input, call the control) and wait until the job has run and the
// loops wait for input again, then take the state published at that moment. The UI thread
// runs jobs only inside WaitForInput, which the framework's loops call whenever their queue
// is empty, whatever modal window is open; a job that opens a modal window runs that
// window's loop from inside itself, and that loop's first wait publishes the new state.
//
// The state is one JSON text made on the UI thread by the state maker. Each text that
// differs from the last gets the next version, and requests waiting for a newer version
// (the page's long poll) are woken: that is how changes the page did not cause (the timer,
// a task run, another tab) reach it. While no request waits, the loops' waits make no state
// (a console with no page open costs nothing); the next request has one made first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/ui/Ui.h"

namespace qv::console {

class BrowserBridge : public ui::EventSource {
 public:
  // Makes the state: the body of a JSON object ("{...}") without its version.
  using StateMaker = std::function<std::string()>;
  using Job = std::function<void()>;

  explicit BrowserBridge(StateMaker maker) : maker_(std::move(maker)) {}

  // Any thread but the UI thread. Runs `job` on the UI thread and returns the state once the
  // loops wait again: {"version":N, ...}. Returns "" when the bridge stops first or the UI
  // thread does not take the job within `patience`.
  std::string Run(Job job, std::chrono::milliseconds patience = std::chrono::seconds(30));
  // Any thread but the UI thread. The state as soon as its version is above `after`, or the
  // state as it is after `patience` has passed (or at the stop).
  std::string StateAfter(long long after, std::chrono::milliseconds patience);

  // Any thread: no more input. The UI thread's loops end (modal windows are cancelled) and
  // every waiting request is answered.
  void Stop();
  bool Stopped() const;

  // The UI thread: publishes the state when a request waits for one (else marks it stale),
  // then waits for a job, the next timer or the stop.
  bool WaitForInput() override;
  // The UI thread: publishes the state now (a change outside any input, e.g. a task run
  // finished).
  void Publish();

 private:
  struct Pending {
    Job job;
    long long ticket = 0;
  };

  StateMaker maker_;
  mutable std::mutex mutex_;
  std::condition_variable jobsChanged_;   // the UI thread waits on it
  std::condition_variable stateChanged_;  // requests wait on it
  std::deque<Pending> jobs_;
  long long nextTicket_ = 1;
  long long ranTicket_ = 0;      // the last job started on the UI thread
  long long settledTicket_ = 0;  // the last job after which the state was published
  long long version_ = 0;
  std::string body_;   // the last state's body
  std::string state_;  // {"version":N, ...}
  bool stopped_ = false;
  int waiting_ = 0;     // requests in StateAfter
  bool stale_ = false;  // a wait passed without making the state
};

}  // namespace qv::console
