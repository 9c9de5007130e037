#include "console/BrowserBridge.h"

#include "platform/ui/Timers.h"

namespace qv::console {

std::string BrowserBridge::Run(Job job, std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  if (stopped_)
    return "";
  long long ticket = nextTicket_++;
  jobs_.push_back({std::move(job), ticket});
  jobsChanged_.notify_all();
  bool settled =
      stateChanged_.wait_for(lock, patience, [&] { return stopped_ || settledTicket_ >= ticket; });
  if (!settled || settledTicket_ < ticket)
    return "";
  return state_;
}

std::string BrowserBridge::StateAfter(long long after, std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  ++waiting_;
  // The UI thread stopped making states while nobody asked: a job of nothing has it make one.
  if (stale_ && !stopped_) {
    jobs_.push_back({[] {}, nextTicket_++});
    jobsChanged_.notify_all();
  }
  stateChanged_.wait_for(lock, patience,
                         [&] { return stopped_ || (version_ > after && !state_.empty()); });
  --waiting_;
  return state_;
}

void BrowserBridge::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  jobsChanged_.notify_all();
  stateChanged_.notify_all();
}

bool BrowserBridge::Stopped() const {
  std::lock_guard lock(mutex_);
  return stopped_;
}

void BrowserBridge::Publish() {
  // Made outside the lock: the maker reads the window tree, which only this thread touches.
  std::string body = maker_();
  std::lock_guard lock(mutex_);
  stale_ = false;
  if (body != body_ || state_.empty()) {
    body_ = std::move(body);
    ++version_;
    state_ = "{\"version\":" + std::to_string(version_) +
             (body_.size() > 2 ? "," + body_.substr(1) : "}");
  }
  settledTicket_ = ranTicket_;
  stateChanged_.notify_all();
}

bool BrowserBridge::WaitForInput() {
  // A state is made when someone waits for one (a poll, or the job just run); otherwise the
  // wait (a timer's tick with no page open) costs nothing, and the state is marked stale.
  bool wanted;
  {
    std::lock_guard lock(mutex_);
    wanted = waiting_ > 0 || ranTicket_ > settledTicket_ || state_.empty();
    stale_ = stale_ || !wanted;
  }
  if (wanted)
    Publish();
  Job job;
  {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (stopped_)
        return false;
      if (!jobs_.empty())
        break;
      long long due = ui::NextTimerDue();
      if (due == 0)
        return true;  // the loop sends the timer's message, then waits here again
      if (due < 0)
        jobsChanged_.wait(lock);
      else if (jobsChanged_.wait_for(lock, std::chrono::milliseconds(due)) ==
               std::cv_status::timeout)
        return true;
    }
    job = std::move(jobs_.front().job);
    ranTicket_ = jobs_.front().ticket;
    jobs_.pop_front();
  }
  job();
  return true;
}

}  // namespace qv::console
