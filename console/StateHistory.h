// The states the console last answered with, so that an answer can be the change from a state
// the page holds instead of the whole state again (hundreds of kilobytes over thousands of
// rows, of which a row selection changes a few bytes).
//
// Every answer passes through Answer with the version the page says it holds. When that
// version's state is among the last kDepth answered, the answer is
// {"version":N,"base":B,"patch":[...]}: an RFC 6902 JSON Patch that turns B's state (without
// its version) into N's. Otherwise (the first request, a version unknown or long gone, a
// patch no smaller than the state) it is the state itself. Any thread; the patch is made
// outside the lock.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace qv::console {

class StateHistory {
 public:
  static constexpr std::size_t kDepth = 12;

  explicit StateHistory(std::size_t depth = kDepth) : depth_(depth == 0 ? 1 : depth) {}

  // `state` as the bridge publishes it, {"version":N,...}; `base` the version the page holds
  // (-1: none). Keeps `state`, then gives the answer for that page.
  std::string Answer(long long base, const std::string& state);
  // How many states are kept (never more than the depth).
  std::size_t Kept() const;

 private:
  struct Entry {
    long long version;
    std::shared_ptr<const std::string> text;
  };

  void Keep(long long version, const std::string& state);

  std::size_t depth_;
  mutable std::mutex mutex_;
  std::deque<Entry> kept_;  // by version, the oldest first
};

// The version of a state as the bridge publishes it, or -1 when it does not start with one.
long long StateVersion(const std::string& state);

}  // namespace qv::console
