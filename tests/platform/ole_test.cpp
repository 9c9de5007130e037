// The OLE drag layer: global memory, streams, data sources, and drags by a scripted user.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ole/DataSource.h"
#include "platform/ole/DropTarget.h"
#include "platform/ole/Stream.h"
#include "platform/ui/Clipboard.h"
#include "platform/ui/Ui.h"

namespace ui = qv::ui;
using Texts = std::vector<std::string>;

namespace {

// The bytes of a block, read through a lock.
std::string BytesOf(HGLOBAL block) {
  SIZE_T size = GlobalSize(block);
  const char* bytes = static_cast<const char*>(GlobalLock(block));
  if (bytes == nullptr)
    return "";
  std::string text(bytes, size);
  GlobalUnlock(block);
  return text;
}

CLIPFORMAT TestFormat() {
  return static_cast<CLIPFORMAT>(RegisterClipboardFormatA("OLE_TEST_DATA"));
}

// Renders "payload <n>" for the n-th rendering into a block it makes as the task data is made
// (moveable, shareable, zero-filled), through a stream that leaves the block to the medium.
// With failAfterAllocating it puts a block into the medium and then reports failure; with
// fillAs it claims success with an empty medium of that kind.
class CountingSource : public COleDataSource {
 public:
  int renders = 0;
  bool failAfterAllocating = false;
  DWORD fillAs = TYMED_NULL;
  DWORD tymedAsked = 0;

  BOOL OnRenderData(LPFORMATETC format, LPSTGMEDIUM medium) override {
    tymedAsked = format->tymed;
    if ((format->tymed & TYMED_HGLOBAL) == 0)
      return FALSE;
    ++renders;
    if (fillAs != TYMED_NULL) {
      medium->tymed = fillAs;
      return TRUE;
    }
    std::string payload = "payload " + std::to_string(renders);
    if (medium->tymed == TYMED_NULL) {
      medium->hGlobal = GlobalAlloc(0x2042, payload.size());
      medium->tymed = TYMED_HGLOBAL;
    }
    if (failAfterAllocating)
      return FALSE;
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(medium->hGlobal, FALSE, &stream)))
      return FALSE;
    ULONG written = 0;
    stream->Write(payload.data(), static_cast<ULONG>(payload.size()), &written);
    stream->Release();
    return written == payload.size() ? TRUE : FALSE;
  }
};

// Blocks lock by count and stay put while locked, keep their flags, and go when freed.
TEST(OleMemory, BlocksKeepTheirFlagsLockAndFree) {
  std::size_t live = qv::ole::LiveGlobalBlocks();
  HGLOBAL block = GlobalAlloc(0x2042, 16), unfilled = GlobalAlloc(GMEM_MOVEABLE, 2);
  EXPECT_EQ(BytesOf(block), std::string(16, '\0'));  // zero-filled
  EXPECT_EQ(BytesOf(unfilled), "\xCD\xCD");
  auto* bytes = static_cast<char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(GlobalLock(block), bytes);
  EXPECT_EQ(qv::ole::GlobalLockCount(block), 2);
  // Still locked, unlocked, was not locked.
  EXPECT_EQ((std::vector{GlobalUnlock(block), GlobalUnlock(block), GlobalUnlock(block)}),
            (std::vector{TRUE, FALSE, FALSE}));
  EXPECT_EQ(qv::ole::GlobalAllocFlags(block), 0x2042u);

  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  EXPECT_EQ(GlobalLock(empty), nullptr);  // no bytes to lock
  for (HGLOBAL gone : {block, unfilled, empty})
    EXPECT_EQ(GlobalFree(gone), 0u);
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_FALSE(qv::ole::IsGlobalBlock(block));
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
}

// A stream writes in order within its block, never past its end, and leaves the block.
TEST(OleMemory, AStreamWritesInOrderWithinItsBlock) {
  std::size_t live = qv::ole::LiveGlobalBlocks();
  HGLOBAL block = GlobalAlloc(GHND, 6);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), S_OK);
  ULONG done = 9;
  EXPECT_EQ(stream->Write("abcd", 4, &done), S_OK);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(stream->Write("XYZ", 3, &done), STG_E_MEDIUMFULL);  // one past the end
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(stream->Write(nullptr, 1, &done), STG_E_INVALIDPOINTER);
  EXPECT_EQ(stream->Write("XY", 2, nullptr), S_OK);
  stream->Release();
  EXPECT_EQ(BytesOf(block), "abcdXY");
  GlobalFree(block);
  // A freed block, a block to free with the stream, or no out pointer is refused.
  for (BOOL deleteOnRelease : {FALSE, TRUE}) {
    EXPECT_EQ(CreateStreamOnHGlobal(block, deleteOnRelease, &stream), E_INVALIDARG);
    EXPECT_EQ(stream, nullptr);
  }
  EXPECT_EQ(CreateStreamOnHGlobal(block, FALSE, nullptr), E_INVALIDARG);
  EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
}

// Rendered when asked, each time; what was not offered is refused; failures leave no block.
TEST(OleData, ADataSourceRendersOnlyWhenAskedAndEachTimeItIsAsked) {
  std::size_t live = qv::ole::LiveGlobalBlocks();
  CLIPFORMAT format = TestFormat();
  CLIPFORMAT otherFormat = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("OLE_TEST_OTHER"));
  ASSERT_GE(format, 0xC000);
  FORMATETC asked;
  asked.cfFormat = format;
  STGMEDIUM medium;
  qv::com::ComPtr<IDataObject> object;
  {
    CountingSource source;
    source.DelayRenderData(format);
    object = source.GetDataObject();
    EXPECT_EQ(object->QueryGetData(&asked), S_OK);
    EXPECT_EQ(source.renders, 0);
    for (const char* payload : {"payload 1", "payload 2"}) {
      ASSERT_EQ(object->GetData(&asked, &medium), S_OK);
      EXPECT_EQ(source.tymedAsked, TYMED_HGLOBAL);
      EXPECT_EQ(BytesOf(medium.hGlobal), payload);
      ReleaseStgMedium(&medium);
      EXPECT_EQ(medium.tymed, TYMED_NULL);
    }
    FORMATETC other[3] = {asked, asked, asked};
    other[0].cfFormat = otherFormat;
    other[1].tymed = TYMED_ISTREAM;
    other[2].dwAspect = DVASPECT_ICON;
    EXPECT_EQ(object->GetData(&other[0], &medium), DV_E_FORMATETC);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_EQ(object->QueryGetData(&other[1]), DV_E_TYMED);
    EXPECT_EQ(object->GetData(&other[2], &medium), DV_E_DVASPECT);
    EXPECT_EQ(source.renders, 2);

    // Failed, or filled with another kind than was asked for.
    source.failAfterAllocating = true;
    EXPECT_EQ(object->GetData(&asked, &medium), E_FAIL);
    EXPECT_TRUE(medium.tymed == TYMED_NULL && medium.hGlobal == 0);
    EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
    source.failAfterAllocating = false;
    source.fillAs = TYMED_ISTREAM;
    EXPECT_EQ(object->GetData(&asked, &medium), E_FAIL);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    source.fillAs = TYMED_NULL;

    // The drop target's side: available formats, and blocks the caller frees.
    COleDataObject data(object.Get());
    EXPECT_EQ(data.IsDataAvailable(format), TRUE);
    EXPECT_EQ(data.IsDataAvailable(otherFormat), FALSE);
    HGLOBAL block = data.GetGlobalData(format);
    EXPECT_EQ(BytesOf(block), "payload 5");
    GlobalFree(block);
    EXPECT_EQ(data.GetGlobalData(otherFormat), 0u);
  }
  EXPECT_EQ(object->GetData(&asked, &medium), E_UNEXPECTED);  // the source is gone
  COleDataSource plain;                                       // the framework renders nothing
  plain.DelayRenderData(format);
  EXPECT_EQ(plain.GetDataObject()->GetData(&asked, &medium), E_FAIL);
  EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
}

// A target that logs what the drag does to it and takes the data at the drop, twice.
class LogTarget : public COleDropTarget {
 public:
  LogTarget(Texts* log, std::string name, DROPEFFECT wanted)
      : log_(log), name_(std::move(name)), wanted_(wanted) {}
  bool takes = true;

  DROPEFFECT OnDragEnter(CWnd* window, COleDataObject* data, DWORD keyState,
                         CPoint point) override {
    log_->push_back("enter " + name_ + Where(window, keyState, point) +
                    (data->IsDataAvailable(TestFormat()) ? " offered" : ""));
    return wanted_;
  }
  DROPEFFECT OnDragOver(CWnd* window, COleDataObject* /*data*/, DWORD keyState,
                        CPoint point) override {
    log_->push_back("over " + name_ + Where(window, keyState, point));
    return wanted_;
  }
  void OnDragLeave(CWnd* /*window*/) override { log_->push_back("leave " + name_); }
  BOOL OnDrop(CWnd* window, COleDataObject* data, DROPEFFECT effect, CPoint point) override {
    std::string entry = "drop " + name_ + Where(window, 0, point) + " " + std::to_string(effect);
    for (int ask = 0; ask < 2; ++ask) {
      HGLOBAL block = data->GetGlobalData(TestFormat());
      entry += ": " + BytesOf(block);
      GlobalFree(block);
    }
    log_->push_back(entry);
    return takes ? TRUE : FALSE;
  }

 private:
  std::string Where(CWnd* window, DWORD keyState, CPoint point) const {
    return " @" + window->GetWindowText() + " " + std::to_string(keyState) + " " +
           std::to_string(point.x) + "," + std::to_string(point.y);
  }

  Texts* log_;
  std::string name_;
  DROPEFFECT wanted_;
};

using Step = std::function<void()>;
Step Over(const CWnd& window) {
  return [&window] { ui::DragOver(window.Handle()); };
}
const Step kDrop = [] { ui::Drop(); };
constexpr DWORD kAnyEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// A console: a list without a target, a pane with a target and an item, another pane.
class Drags : public ::testing::Test {
 protected:
  Drags() {
    ui::ClearInputProblems();
    live_ = qv::ole::LiveGlobalBlocks();
    console_.Create("Console", "console", WS_VISIBLE, CRect{0, 0, 400, 300}, nullptr, 0);
    list_.Create("List", "list", WS_CHILD | WS_VISIBLE, CRect{0, 0, 200, 300}, &console_, 1);
    pane_.Create("Pane", "pane", WS_CHILD | WS_VISIBLE, CRect{200, 0, 400, 150}, &console_, 2);
    item_.Create("Item", "item", WS_CHILD | WS_VISIBLE, CRect{0, 0, 50, 20}, &pane_, 3);
    other_.Create("Pane", "other", WS_CHILD | WS_VISIBLE, CRect{200, 150, 400, 300}, &console_, 4);
    EXPECT_EQ(paneTarget_.Register(&pane_), TRUE);
    EXPECT_EQ(otherTarget_.Register(&other_), TRUE);
    data_.DelayRenderData(TestFormat());
  }
  ~Drags() override {
    EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live_);
    EXPECT_FALSE(ui::TakeSnapshot().drag.running);
  }

  // Runs a drag of `steps` that ends with `effect`; what the targets logged.
  Texts Run(std::vector<Step> steps, DWORD allowed = kAnyEffect,
            DROPEFFECT effect = DROPEFFECT_NONE) {
    log_.clear();
    ui::ClearInputProblems();
    for (Step& step : steps)
      user_.Then(std::move(step));
    EXPECT_EQ(data_.DoDragDrop(allowed), effect);
    EXPECT_EQ(user_.Pending(), 0u);
    return log_;
  }

  Texts log_;
  std::size_t live_ = 0;
  CWnd console_, list_, pane_, item_, other_;
  LogTarget paneTarget_{&log_, "pane", DROPEFFECT_COPY};
  LogTarget otherTarget_{&log_, "other", DROPEFFECT_MOVE | DROPEFFECT_COPY};
  CountingSource data_;
  ui::ScriptedUser user_;
};

TEST_F(Drags, ADropOnATargetRendersForItAndGivesTheEffect) {
  Step overList = [&] {
    ui::DragState drag = ui::TakeSnapshot().drag;
    EXPECT_TRUE(drag.running);
    EXPECT_EQ(drag.formats, Texts{"OLE_TEST_DATA"});
    EXPECT_EQ(drag.allowedEffects, DROPEFFECT_COPY);
    EXPECT_EQ(drag.over, list_.Handle());
    EXPECT_EQ(drag.target, 0);  // no target there
    EXPECT_EQ(drag.effect, DROPEFFECT_NONE);
    ui::DragOver(item_.Handle(), CPoint{3, 4});
  };
  Step overItem = [&] {
    ui::DragState drag = ui::TakeSnapshot().drag;
    EXPECT_EQ(drag.over, item_.Handle());
    EXPECT_EQ(drag.target, pane_.Handle());  // the target of the window around
    EXPECT_EQ(drag.effect, DROPEFFECT_COPY);
    EXPECT_EQ(data_.renders, 0);
    ui::Drop();
  };
  EXPECT_EQ(
      Run({Over(list_), overList, overItem}, DROPEFFECT_COPY, DROPEFFECT_COPY),
      (Texts{"enter pane @pane 1 3,4 offered", "drop pane @pane 0 3,4 1: payload 1: payload 2"}));
  EXPECT_EQ(data_.renders, 2);
  EXPECT_TRUE(ui::InputProblems().empty());
}

// Drags that end without a drop, or with one that no target takes, give no effect.
TEST_F(Drags, EscapeCancelOrADropNoTargetTakesGiveNone) {
  const Texts pane = {"enter pane @pane 1 0,0 offered", "leave pane"};
  const Texts other = {"enter other @other 1 0,0 offered", "leave other"};
  Step escape = [&] { ui::KeyAt(other_.Handle(), VK_ESCAPE); };
  EXPECT_EQ(Run({Over(pane_), Over(other_), escape}),
            (Texts{pane[0], pane[1], other[0], other[1]}));
  // Over the same target again is over, not enter.
  EXPECT_EQ(Run({Over(pane_), Over(item_), [] { ui::CancelDrag(); }}),
            (Texts{pane[0], "over pane @pane 1 0,0", pane[1]}));
  EXPECT_EQ(Run({Over(pane_), Over(list_), kDrop}), pane);  // dropped where no target is
  // The target wants an effect the source does not allow: refused there, no drop.
  Step refused = [] {
    EXPECT_EQ(ui::TakeSnapshot().drag.effect, DROPEFFECT_NONE);
    ui::Drop();
  };
  EXPECT_EQ(Run({Over(other_), refused}, DROPEFFECT_LINK), other);
  EXPECT_TRUE(ui::InputProblems().empty());
  EXPECT_EQ(data_.renders, 0);
  // Of the effects it wants, the allowed one; a target that does not take the data: none.
  otherTarget_.takes = false;
  EXPECT_EQ(Run({Over(other_), kDrop}, DROPEFFECT_MOVE | DROPEFFECT_LINK),
            (Texts{other[0], "drop other @other 0 0,0 2: payload 1: payload 2"}));

  // Other input, or none, cancels a drag with a problem; drag input without a drag is
  // refused; a revoked window takes no more drags.
  COleDataSource second;
  Step secondDrag = [&] {
    EXPECT_EQ(second.DoDragDrop(), DROPEFFECT_NONE);  // one drag at a time
    ui::DragOver(pane_.Handle());
  };
  EXPECT_EQ(Run({secondDrag, [&] { ui::ClickAt(list_.Handle()); }}), pane);
  EXPECT_EQ(ui::InputProblems(), Texts{"the drag was cancelled by other input, which was dropped"});
  EXPECT_EQ(Run({Over(pane_)}), pane);
  EXPECT_EQ(ui::InputProblems(), Texts{"no more input: the drag was cancelled"});

  ui::ClearInputProblems();
  user_.Then(kDrop);
  ui::RunMessageLoop();
  EXPECT_EQ(ui::InputProblems(), Texts{"no drag is running"});
  EXPECT_EQ(paneTarget_.Register(&other_), FALSE);  // registered already, and so is `other`
  paneTarget_.Revoke();
  Step untargeted = [] {
    EXPECT_EQ(ui::TakeSnapshot().drag.target, 0);
    ui::Drop();
  };
  EXPECT_TRUE(Run({Over(pane_), untargeted}).empty());
}

}  // namespace
