#include "platform/ui/Timers.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/ui/Wnd.h"

namespace qv::ui {
namespace {

struct Timer {
  int window = 0;  // handle
  UINT_PTR id = 0;
  long long period = 0;
  long long due = 0;
};

std::vector<Timer>& Timers() {
  static std::vector<Timer> timers;
  return timers;
}

bool g_manual = false;
long long g_manualNow = 0;

}  // namespace

long long NowMs() {
  if (g_manual)
    return g_manualNow;
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void UseManualClock(bool manual) {
  g_manual = manual;
  g_manualNow = 0;
  for (Timer& timer : Timers())
    timer.due = NowMs() + timer.period;
}

void AdvanceClock(long long ms) {
  g_manualNow += ms;
}

UINT_PTR StartTimer(CWnd* window, UINT_PTR id, UINT elapse) {
  if (id == 0)
    return 0;
  StopTimer(window, id);
  long long period = std::max<long long>(elapse, 1);
  Timers().push_back({window->Handle(), id, period, NowMs() + period});
  return id;
}

bool StopTimer(CWnd* window, UINT_PTR id) {
  auto& timers = Timers();
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) {
    return t.window == window->Handle() && t.id == id;
  });
  if (it == timers.end())
    return false;
  timers.erase(it);
  return true;
}

void KillTimersOf(CWnd* window) {
  std::erase_if(Timers(), [&](const Timer& t) { return t.window == window->Handle(); });
}

int DeliverDueTimers() {
  long long now = NowMs();
  // Collected first: a timer's window may start or stop timers while it handles one.
  std::vector<Timer> due;
  for (Timer& timer : Timers()) {
    if (timer.due <= now) {
      due.push_back(timer);
      timer.due = now + timer.period;
    }
  }
  int sent = 0;
  for (const Timer& timer : due) {
    CWnd* window = CWnd::FromHandle(timer.window);
    if (window == nullptr)
      continue;
    window->SendMessage(WM_TIMER, timer.id);
    ++sent;
  }
  return sent;
}

long long NextTimerDue() {
  long long next = -1;
  long long now = NowMs();
  for (const Timer& timer : Timers())
    next =
        next < 0 ? std::max(0LL, timer.due - now) : std::min(next, std::max(0LL, timer.due - now));
  return next;
}

}  // namespace qv::ui
