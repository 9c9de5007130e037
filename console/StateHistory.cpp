#include "console/StateHistory.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

namespace qv::console {
namespace {

using nlohmann::json;

std::string Pointer(const std::string& path, const std::string& key) {
  std::string out = path + "/";
  for (char c : key)
    out += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
  return out;
}

// Appends to `ops` the RFC 6902 operations that turn `a` into `b`. Arrays of another length
// are compared by what they share at their start and end, so that a row inserted or removed
// among thousands is one operation, not a change of every row after it.
void Diff(const json& a, const json& b, const std::string& path, json* ops) {
  if (a.type() == b.type() && a.is_object()) {
    for (auto it = a.begin(); it != a.end(); ++it) {
      auto there = b.find(it.key());
      if (there == b.end())
        ops->push_back({{"op", "remove"}, {"path", Pointer(path, it.key())}});
      else
        Diff(*it, *there, Pointer(path, it.key()), ops);
    }
    for (auto it = b.begin(); it != b.end(); ++it) {
      if (!a.contains(it.key()))
        ops->push_back({{"op", "add"}, {"path", Pointer(path, it.key())}, {"value", *it}});
    }
  } else if (a.type() == b.type() && a.is_array()) {
    // Arrays of one length are compared element by element: comparing whole elements first
    // would walk a tree once for each array above its rows.
    std::size_t start = 0;
    std::size_t end = 0;  // how many at the end are the same
    if (a.size() != b.size()) {
      while (start < a.size() && start < b.size() && a[start] == b[start])
        ++start;
      while (end < a.size() - start && end < b.size() - start &&
             a[a.size() - 1 - end] == b[b.size() - 1 - end])
        ++end;
    }
    std::size_t inA = a.size() - start - end;
    std::size_t inB = b.size() - start - end;
    for (std::size_t i = 0; i < std::min(inA, inB); ++i)
      Diff(a[start + i], b[start + i], path + "/" + std::to_string(start + i), ops);
    for (std::size_t i = inB; i < inA; ++i)
      ops->push_back({{"op", "remove"}, {"path", path + "/" + std::to_string(start + inB)}});
    for (std::size_t i = inA; i < inB; ++i)
      ops->push_back({{"op", "add"},
                      {"path", path + "/" + std::to_string(start + i)},
                      {"value", b[start + i]}});
  } else if (a != b) {
    ops->push_back({{"op", "replace"}, {"path", path}, {"value", b}});
  }
}

}  // namespace

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
  json before = json::parse(*from, nullptr, false);
  json after = json::parse(state, nullptr, false);
  if (!before.is_object() || !after.is_object())
    return state;
  before.erase("version");
  after.erase("version");
  json patch = json::array();
  Diff(before, after, "", &patch);
  std::string answer = head + patch.dump(-1, ' ', false, json::error_handler_t::replace) + "}";
  return answer.size() < state.size() ? answer : state;
}

std::size_t StateHistory::Kept() const {
  std::lock_guard lock(mutex_);
  return kept_.size();
}

}  // namespace qv::console
