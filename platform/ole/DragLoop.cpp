#include "platform/ole/DragLoop.h"

#include "platform/ole/DropTarget.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Ui.h"

namespace qv::ole {
namespace {

struct Drag {
  IDataObject* data = nullptr;
  COleDropSource* source = nullptr;
  RunningDragState state;
  CPoint point;
  DROPEFFECT result = DROPEFFECT_NONE;
};

Drag* g_drag = nullptr;
const RunningDragState kNoDrag;

// The one effect a drop has: what the target wants and the source allows; copy goes before
// move before link when the target names several.
DROPEFFECT Limit(DROPEFFECT wanted, DWORD allowed) {
  for (DROPEFFECT one : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
    if ((wanted & allowed & one) != 0)
      return one;
  return DROPEFFECT_NONE;
}

// The target under the drag and its window; null when there is none, or it was revoked or
// its window destroyed since the drag arrived.
COleDropTarget* Target(const Drag& drag, CWnd** window) {
  *window = CWnd::FromHandle(drag.state.target);
  return drag.state.target != 0 ? DropTargetOf(drag.state.target) : nullptr;
}

void Leave(Drag& drag) {
  CWnd* window = nullptr;
  if (COleDropTarget* target = Target(drag, &window))
    target->OnDragLeave(window);
  drag.state.target = 0;
  drag.state.effect = DROPEFFECT_NONE;
}

void MoveOver(Drag& drag, int handle, CPoint point) {
  int targetWindow = DropTargetWindowAt(handle);
  drag.state.over = handle;
  drag.point = point;
  bool arriving = targetWindow != drag.state.target;
  if (arriving)
    Leave(drag);
  drag.state.target = targetWindow;
  drag.state.effect = DROPEFFECT_NONE;
  CWnd* window = nullptr;
  if (COleDropTarget* target = Target(drag, &window)) {
    COleDataObject data(drag.data);
    DROPEFFECT wanted = arriving ? target->OnDragEnter(window, &data, MK_LBUTTON, point)
                                 : target->OnDragOver(window, &data, MK_LBUTTON, point);
    drag.state.effect = Limit(wanted, drag.state.allowedEffects);
  }
}

// Ends the drag: a drop on the target under it, or a cancel.
void Finish(Drag& drag, bool drop) {
  drag.state.running = false;
  drag.result = DROPEFFECT_NONE;
  CWnd* window = nullptr;
  COleDropTarget* target = Target(drag, &window);
  if (target == nullptr)
    return;
  if (!drop || drag.state.effect == DROPEFFECT_NONE) {
    target->OnDragLeave(window);
    return;
  }
  COleDataObject data(drag.data);
  if (target->OnDrop(window, &data, drag.state.effect, drag.point) != FALSE)
    drag.result = drag.state.effect;
}

// Asks the source whether the drag goes on; true when it does. A drop or cancel it asks for
// is carried out here.
bool GoesOn(Drag& drag, BOOL escapePressed, DWORD keyState) {
  SCODE answer = drag.source->QueryContinueDrag(escapePressed, keyState);
  if (answer == DRAGDROP_S_DROP) {
    Finish(drag, true);
    return false;
  }
  if (answer == DRAGDROP_S_CANCEL) {
    Finish(drag, false);
    return false;
  }
  return true;
}

// The running drag as the framework's loop sees it: the loop hands it every input while it
// runs, and the snapshot shows it.
class FrameworkDrag final : public qv::ui::ModalDrag {
 public:
  bool Running() const override { return RunningDrag().running; }
  bool CarryOutInput(const UserInput& input, std::string* problem) override {
    return CarryOutDragInput(input, problem);
  }
  void Cancel() override { CancelRunningDrag(); }
  qv::ui::DragState State() const override {
    const RunningDragState& drag = RunningDrag();
    qv::ui::DragState shown;
    shown.running = drag.running;
    for (CLIPFORMAT format : drag.formats) {
      char name[256];
      int length = GetClipboardFormatNameA(format, name, sizeof name);
      shown.formats.push_back(length > 0 ? std::string(name, static_cast<std::size_t>(length))
                                         : "#" + std::to_string(format));
    }
    shown.allowedEffects = drag.allowedEffects;
    shown.over = drag.over;
    shown.target = drag.target;
    shown.effect = drag.effect;
    return shown;
  }
};

}  // namespace

DROPEFFECT RunDrag(IDataObject* data, COleDropSource* source, DWORD allowedEffects,
                   const std::vector<CLIPFORMAT>& formats) {
  if (g_drag != nullptr || data == nullptr || source == nullptr)
    return DROPEFFECT_NONE;
  Drag drag;
  drag.data = data;
  drag.source = source;
  drag.state.running = true;
  drag.state.formats = formats;
  drag.state.allowedEffects = allowedEffects;
  g_drag = &drag;
  FrameworkDrag loopDrag;
  qv::ui::RunDragLoop(loopDrag);
  if (drag.state.running)
    Finish(drag, false);
  g_drag = nullptr;
  return drag.result;
}

const RunningDragState& RunningDrag() {
  return g_drag != nullptr && g_drag->state.running ? g_drag->state : kNoDrag;
}

bool CarryOutDragInput(const UserInput& input, std::string* problem) {
  if (g_drag == nullptr || !g_drag->state.running) {
    *problem = "no drag is running";
    return false;
  }
  Drag& drag = *g_drag;
  switch (input.kind) {
    case UserInput::kDragOver:
      if (!GoesOn(drag, FALSE, MK_LBUTTON))
        return true;
      if (CWnd::FromHandle(input.target) == nullptr) {
        MoveOver(drag, 0, CPoint{});
        *problem = "the drag moved over a window that is gone";
        return false;
      }
      MoveOver(drag, input.target, input.point);
      return true;
    case UserInput::kDrop:
      GoesOn(drag, FALSE, 0);  // the button goes up
      return true;
    case UserInput::kKey:
      if (input.key != VK_ESCAPE)
        break;
      [[fallthrough]];
    case UserInput::kCancelDrag:
      GoesOn(drag, TRUE, MK_LBUTTON);
      return true;
    default:
      break;
  }
  Finish(drag, false);
  *problem = "the drag was cancelled by other input, which was dropped";
  return false;
}

void CancelRunningDrag() {
  if (g_drag != nullptr && g_drag->state.running)
    Finish(*g_drag, false);
}

}  // namespace qv::ole
