// The framework's timers and its clock. A timer sends its window WM_TIMER when it is due; the
// event loops (platform/ui/Ui.h) deliver due timers between two inputs and before they wait.
// The clock is steady time, or one a test drives, so that no test sleeps.
#pragma once

#include "platform/ui/CmdTarget.h"

class CWnd;

namespace qv::ui {

// Milliseconds on the framework's clock.
long long NowMs();
// A manual clock starts at 0 and moves only by AdvanceClock; false goes back to steady time.
void UseManualClock(bool manual);
void AdvanceClock(long long ms);

// The window's timer of `id` every `elapse` ms (a timer of the same window and id is
// replaced). Returns `id`; 0 for id 0.
UINT_PTR StartTimer(CWnd* window, UINT_PTR id, UINT elapse);
// False when the window had no such timer.
bool StopTimer(CWnd* window, UINT_PTR id);
void KillTimersOf(CWnd* window);
// Sends WM_TIMER once for each timer that is due (also when several periods passed) and
// makes it due again a period later. Returns how many were sent.
int DeliverDueTimers();
// Milliseconds until the next timer is due (0: one is due now); -1 when there is none.
long long NextTimerDue();

}  // namespace qv::ui
