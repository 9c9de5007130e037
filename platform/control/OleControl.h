// COleControl: the framework's control, a window that is also an object of its container. The
// container reaches it through IDispatch (the control's dispatch map: methods and properties
// by id), advises a sink for its events (IConnectionPointContainer; the control fires them by
// id), and places it through IControlWindow, our small stand-in for the in-place activation
// of a control: make its window inside a window of the container, or destroy it, and carry
// out a verb (the Properties verb shows the control's property pages in the framework's
// property sheet, platform/control/PropertyFrame.h).
//
// The count of references starts at 1, the creator's. When the last reference goes,
// OnFinalRelease runs: by default it destroys the window and deletes the control.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "platform/com/ConnectionPoint.h"
#include "platform/com/Dispatch.h"
#include "platform/com/Unknown.h"
#include "platform/control/PropertyFrame.h"
#include "platform/ui/Wnd.h"

// The verb that shows an object's property pages.
inline constexpr LONG OLEIVERB_PROPERTIES = -7;

// What a container does to place a control of ours ({6B1F2A40-3C1D-4E0F-9A7B-5D2C8E4F1A01},
// an interface of this framework).
inline constexpr IID IID_IControlWindow{
    0x6B1F2A40, 0x3C1D, 0x4E0F, {0x9A, 0x7B, 0x5D, 0x2C, 0x8E, 0x4F, 0x1A, 0x01}};
struct IControlWindow : IUnknown {
  // Makes the control's window as a child of the window `parent` (a window handle; 0 makes a
  // top-level window) at `rect` (pixels). S_OK, or E_FAIL when the control refused it (its
  // window then does not exist).
  virtual HRESULT CreateControlWindow(int parent, const CRect& rect) = 0;
  // Destroys the window; S_FALSE when there was none.
  virtual HRESULT DestroyControlWindow() = 0;
  // The window's handle; 0 when it has none.
  virtual int ControlWindowHandle() = 0;
  // Carries out a verb. OLEIVERB_PROPERTIES shows the control's property page in the modal
  // property sheet, over the control, and returns when the user has closed it: S_OK; E_FAIL
  // when the control lists no page or its page could not be made (nothing is shown).
  // E_NOTIMPL for any other verb.
  virtual HRESULT DoVerb(LONG verb) = 0;

 protected:
  ~IControlWindow() = default;
};

class COleControl : public CWnd,
                    public IDispatch,
                    public IConnectionPointContainer,
                    public IControlWindow {
 public:
  // The control's own dispatch interface and its event interface.
  COleControl(REFIID dispatchIid, REFIID eventsIid);

  // IUnknown: one count for all the interfaces.
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // IDispatch: from the dispatch map.
  HRESULT GetIDOfName(const char* name, DISPID* id) override;
  HRESULT Invoke(DISPID id, WORD flags, std::span<const VARIANT> args, VARIANT* result) override;
  // IConnectionPointContainer: the event interface's point.
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
  // IControlWindow.
  HRESULT CreateControlWindow(int parent, const CRect& rect) override;
  HRESULT DestroyControlWindow() override;
  int ControlWindowHandle() override { return Handle(); }
  HRESULT DoVerb(LONG verb) override;

 protected:
  ~COleControl() override;
  // Fires event `id` to the container's sinks, synchronously.
  void FireEvent(DISPID id, std::span<const VARIANT> args = {});
  // Adds a member to the dispatch map (the constructor of a derived control does).
  void AddDispatch(qv::com::DispatchMember member) { dispatch_.Add(std::move(member)); }
  // When the last reference goes: destroys the window, then deletes the control.
  virtual void OnFinalRelease();
  // The control's property pages; the sheet shows the first. None by default.
  virtual std::vector<qv::com::PropertyPageClass> GetPropertyPageClasses() const { return {}; }
  // The control's name as its user sees it; the property sheet's caption begins with it.
  virtual std::string GetUserTypeName() const { return ""; }

 private:
  qv::com::DispatchMap dispatch_;
  qv::com::ComPtr<qv::com::ConnectionPoint> events_;
  IID dispatchIid_;
  IID eventsIid_;
  ULONG references_ = 1;
  SHORT borderStyle_ = 0;
};
