#include "console/StateHistory.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

namespace qv::console {

long long StateVersion(const std::string& state) {
  constexpr std::string_view kHead = "{\"version\":";
  if (state.compare(0, kHead.size(), kHead) != 0)
    return -1;
  const char* digits = state.c_str() + kHead.size();
  if (*digits < '0' || *digits > '9')
    return -1;
  char* end = nullptr;
  long long version = std::strtoll(digits, &end, 10);
  return (*end == ',' || *end == '}') ? version : -1;
}

void StateHistory::Keep(long long version, const std::string& state) {
  auto at = std::lower_bound(kept_.begin(), kept_.end(), version,
                             [](const Entry& kept, long long v) { return kept.version < v; });
  if (at == kept_.end() || at->version != version)
    kept_.insert(at, {version, std::make_shared<const std::string>(state)});
  while (kept_.size() > depth_)
    kept_.pop_front();
}

std::string StateHistory::Answer(long long base, const std::string& state) {
  long long version = StateVersion(state);
  if (version < 0)
    return state;
  std::shared_ptr<const std::string> from;
  {
    std::lock_guard lock(mutex_);
    Keep(version, state);
    for (const Entry& kept : kept_) {
      if (kept.version == base)
        from = kept.text;
    }
  }
  if (!from)
    return state;
  std::string head = "{\"version\":" + std::to_string(version) +
                     ",\"base\":" + std::to_string(base) + ",\"patch\":";
  if (base == version)
    return head + "[]}";
  nlohmann::json before = nlohmann::json::parse(*from, nullptr, false);
  nlohmann::json after = nlohmann::json::parse(state, nullptr, false);
  if (!before.is_object() || !after.is_object())
    return state;
  before.erase("version");
  after.erase("version");
  std::string answer = head +
                       nlohmann::json::diff(before, after)
                           .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                       "}";
  return answer.size() < state.size() ? answer : state;
}

std::size_t StateHistory::Kept() const {
  std::lock_guard lock(mutex_);
  return kept_.size();
}

}  // namespace qv::console
