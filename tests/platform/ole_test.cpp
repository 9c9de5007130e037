// The OLE drag layer: global memory, streams over it, data sources that render when asked,
// and drags run by a scripted user over windows with and without drop targets.
#include <gtest/gtest.h>

#include <cstring>
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

// Renders through the framework's OnRenderData, into the block it is given.
class GlobalSource : public COleDataSource {
 public:
  BOOL OnRenderGlobalData(LPFORMATETC /*format*/, HGLOBAL* block) override {
    *block = GlobalAlloc(GHND, 3);
    std::memcpy(GlobalLock(*block), "abc", 3);
    GlobalUnlock(*block);
    return TRUE;
  }
};

TEST(OleMemory, BlocksKeepTheirFlagsLockResizeAndFree) {
  std::size_t live = qv::ole::LiveGlobalBlocks();
  HGLOBAL block = GlobalAlloc(0x2042, 16);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(qv::ole::GlobalAllocFlags(block), 0x2042u);
  EXPECT_EQ(GlobalSize(block), 16u);
  EXPECT_EQ(BytesOf(block), std::string(16, '\0'));  // zero-filled
  HGLOBAL unfilled = GlobalAlloc(GMEM_MOVEABLE, 4);
  EXPECT_EQ(BytesOf(unfilled), std::string(4, '\xCD'));
  EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live + 2);

  // Locks count; the address stays while locked.
  auto* bytes = static_cast<char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  std::memcpy(bytes, "0123456789abcdef", 16);
  EXPECT_EQ(GlobalLock(block), bytes);
  EXPECT_EQ(qv::ole::GlobalLockCount(block), 2);
  EXPECT_EQ(GlobalReAlloc(block, 32, GMEM_ZEROINIT), 0u);  // not while locked
  EXPECT_EQ(GlobalUnlock(block), TRUE);                    // still locked
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GlobalUnlock(block), FALSE);  // was not locked
  EXPECT_EQ(qv::ole::GlobalLockCount(block), 0);

  // Resizing keeps the handle, the bytes and the flags.
  EXPECT_EQ(GlobalReAlloc(block, 20, GMEM_ZEROINIT), block);
  EXPECT_EQ(BytesOf(block), std::string("0123456789abcdef\0\0\0\0", 20));
  EXPECT_EQ(GlobalReAlloc(block, 22, 0), block);
  EXPECT_EQ(BytesOf(block).substr(20), "\xCD\xCD");
  EXPECT_EQ(GlobalReAlloc(block, 4, 0), block);
  EXPECT_EQ(BytesOf(block), "0123");
  EXPECT_EQ(qv::ole::GlobalAllocFlags(block), 0x2042u);

  // An empty block has no bytes to lock; a freed handle names nothing.
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  EXPECT_NE(empty, 0u);
  EXPECT_EQ(GlobalLock(empty), nullptr);
  EXPECT_EQ(qv::ole::GlobalLockCount(empty), 0);
  for (HGLOBAL gone : {block, unfilled, empty})
    EXPECT_EQ(GlobalFree(gone), 0u);
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_FALSE(qv::ole::IsGlobalBlock(block));
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalReAlloc(block, 8, 0), 0u);
  EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
}

TEST(OleMemory, AStreamWritesAtItsPositionGrowsTheBlockAndMayLeaveIt) {
  std::size_t live = qv::ole::LiveGlobalBlocks();
  HGLOBAL block = GlobalAlloc(GHND, 4);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), S_OK);
  ULONG done = 0;
  EXPECT_EQ(stream->Write("abcdef", 6, &done), S_OK);
  EXPECT_EQ(done, 6u);
  EXPECT_EQ(BytesOf(block), "abcdef");  // grown, same handle
  std::uint64_t position = 0;
  EXPECT_EQ(stream->Seek(2, STREAM_SEEK_SET, &position), S_OK);
  EXPECT_EQ(stream->Write("XY", 2, nullptr), S_OK);
  EXPECT_EQ(BytesOf(block), "abXYef");

  char buffer[8] = {};
  EXPECT_EQ(stream->Seek(-1, STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position, 5u);
  EXPECT_EQ(stream->Read(buffer, 4, &done), S_OK);
  EXPECT_EQ(done, 1u);  // only what is left
  EXPECT_EQ(buffer[0], 'f');
  EXPECT_EQ(stream->Seek(-6, STREAM_SEEK_CUR, &position), S_OK);
  EXPECT_EQ(stream->Read(buffer, 6, &done), S_OK);
  EXPECT_EQ(std::string(buffer, done), "abXYef");
  EXPECT_EQ(stream->Seek(-7, STREAM_SEEK_CUR, &position), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(0, 7, &position), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(0, STREAM_SEEK_CUR, &position), S_OK);
  EXPECT_EQ(position, 6u);  // unchanged by the refused moves

  // A write past the end fills the gap with zeros; one that cannot grow the block fails.
  stream->Seek(8, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(stream->Write("Z", 1, nullptr), S_OK);
  EXPECT_EQ(BytesOf(block), std::string("abXYef\0\0Z", 9));
  GlobalLock(block);
  EXPECT_EQ(stream->Write("more", 4, &done), STG_E_MEDIUMFULL);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Write("A", 1, nullptr), S_OK);  // within the block: no growing needed
  GlobalUnlock(block);
  EXPECT_EQ(stream->SetSize(3), S_OK);
  EXPECT_EQ(BytesOf(block), "AbX");

  // Without delete-on-release the block outlives the stream.
  stream->Release();
  EXPECT_EQ(BytesOf(block), "AbX");
  ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, &stream), S_OK);
  stream->Release();
  EXPECT_FALSE(qv::ole::IsGlobalBlock(block));

  // A stream without a block makes one.
  ASSERT_EQ(CreateStreamOnHGlobal(0, FALSE, &stream), S_OK);
  stream->Write("new", 3, nullptr);
  HGLOBAL made = 0;
  EXPECT_EQ(GetHGlobalFromStream(stream, &made), S_OK);
  stream->Release();
  EXPECT_EQ(BytesOf(made), "new");
  GlobalFree(made);

  EXPECT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), E_INVALIDARG);  // freed
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(CreateStreamOnHGlobal(0, FALSE, nullptr), E_INVALIDARG);
  EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
}

TEST(OleData, ADataSourceRendersOnlyWhenAskedAndEachTimeItIsAsked) {
  std::size_t live = qv::ole::LiveGlobalBlocks();
  CLIPFORMAT format = TestFormat();
  ASSERT_GE(format, 0xC000);
  qv::com::ComPtr<IDataObject> object;
  {
    CountingSource source;
    source.DelayRenderData(format);
    object = source.GetDataObject();
    FORMATETC asked;
    asked.cfFormat = format;
    EXPECT_EQ(object->QueryGetData(&asked), S_OK);
    EXPECT_EQ(source.renders, 0);

    STGMEDIUM medium;
    ASSERT_EQ(object->GetData(&asked, &medium), S_OK);
    EXPECT_EQ(source.renders, 1);
    EXPECT_EQ(source.tymedAsked, TYMED_HGLOBAL);
    EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
    EXPECT_EQ(qv::ole::GlobalAllocFlags(medium.hGlobal), 0x2042u);
    EXPECT_EQ(BytesOf(medium.hGlobal), "payload 1");
    ReleaseStgMedium(&medium);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
    ASSERT_EQ(object->GetData(&asked, &medium), S_OK);
    EXPECT_EQ(BytesOf(medium.hGlobal), "payload 2");
    ReleaseStgMedium(&medium);

    // What was not offered, or not as it was offered, is refused without rendering.
    CLIPFORMAT otherFormat = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("OLE_TEST_OTHER"));
    FORMATETC other = asked;
    other.cfFormat = otherFormat;
    EXPECT_EQ(object->GetData(&other, &medium), DV_E_FORMATETC);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    other = asked;
    other.tymed = TYMED_ISTREAM;
    EXPECT_EQ(object->QueryGetData(&other), DV_E_TYMED);
    other = asked;
    other.dwAspect = DVASPECT_ICON;
    EXPECT_EQ(object->GetData(&other, &medium), DV_E_DVASPECT);
    EXPECT_EQ(source.renders, 2);

    // A failed rendering gives an error and leaves no block behind.
    source.failAfterAllocating = true;
    EXPECT_EQ(object->GetData(&asked, &medium), E_FAIL);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_EQ(medium.hGlobal, 0u);
    EXPECT_EQ(qv::ole::LiveGlobalBlocks(), live);
    source.failAfterAllocating = false;
    // So does one that fills the medium with another kind than was asked for.
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
  // The source is gone; its data object is not.
  FORMATETC asked;
  asked.cfFormat = format;
  STGMEDIUM medium;
  EXPECT_EQ(object->GetData(&asked, &medium), E_UNEXPECTED);

  // The framework's rendering: global data through OnRenderGlobalData, nothing without it.
  GlobalSource global;
  global.DelayRenderData(format);
  ASSERT_EQ(global.GetDataObject()->GetData(&asked, &medium), S_OK);
  EXPECT_EQ(BytesOf(medium.hGlobal), "abc");
  ReleaseStgMedium(&medium);
  COleDataSource plain;
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

// A drop source that logs what it is asked and told, and lets Escape pass.
class LogSource : public COleDropSource {
 public:
  explicit LogSource(Texts* log) : log_(log) {}
  SCODE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override {
    log_->push_back("ask " + std::to_string(escapePressed) + " " + std::to_string(keyState));
    if (escapePressed != FALSE)
      return S_OK;
    return COleDropSource::QueryContinueDrag(escapePressed, keyState);
  }
  SCODE GiveFeedback(DROPEFFECT effect) override {
    log_->push_back("feedback " + std::to_string(effect));
    return COleDropSource::GiveFeedback(effect);
  }

 private:
  Texts* log_;
};

// A console: a list to drag from (no target), a pane that is a drop target with an item in
// it, and a second pane with a target of its own.
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

  Texts log_;
  std::size_t live_ = 0;
  CWnd console_, list_, pane_, item_, other_;
  LogTarget paneTarget_{&log_, "pane", DROPEFFECT_COPY};
  LogTarget otherTarget_{&log_, "other", DROPEFFECT_MOVE | DROPEFFECT_COPY};
  CountingSource data_;
};

TEST_F(Drags, ADropOnATargetRendersForItAndGivesTheEffect) {
  ui::ScriptedUser user;
  user.Then([&] { ui::DragOver(list_.Handle()); })
      .Then([&] {
        ui::DragState drag = ui::TakeSnapshot().drag;
        EXPECT_TRUE(drag.running);
        EXPECT_EQ(drag.formats, Texts{"OLE_TEST_DATA"});
        EXPECT_EQ(drag.allowedEffects, DROPEFFECT_COPY);
        EXPECT_EQ(drag.over, list_.Handle());
        EXPECT_EQ(drag.target, 0);  // no target there
        EXPECT_EQ(drag.effect, DROPEFFECT_NONE);
        ui::DragOver(item_.Handle(), CPoint{3, 4});
      })
      .Then([&] {
        ui::DragState drag = ui::TakeSnapshot().drag;
        EXPECT_EQ(drag.over, item_.Handle());
        EXPECT_EQ(drag.target, pane_.Handle());  // the target of the window around
        EXPECT_EQ(drag.effect, DROPEFFECT_COPY);
        EXPECT_EQ(data_.renders, 0);
        ui::Drop();
      });
  EXPECT_EQ(data_.DoDragDrop(DROPEFFECT_COPY), DROPEFFECT_COPY);
  EXPECT_EQ(log_, (Texts{"enter pane @pane 1 3,4 offered",
                         "drop pane @pane 0 3,4 1: payload 1: payload 2"}));
  EXPECT_EQ(data_.renders, 2);
  EXPECT_EQ(user.Pending(), 0u);
  EXPECT_TRUE(ui::InputProblems().empty());
}

TEST_F(Drags, EscapeAndCancelEndTheDragWithoutADrop) {
  ui::ScriptedUser user;
  user.Then([&] { ui::DragOver(pane_.Handle()); })
      .Then([&] { ui::DragOver(other_.Handle()); })
      .Then([&] { ui::KeyAt(other_.Handle(), VK_ESCAPE); });
  EXPECT_EQ(data_.DoDragDrop(), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter pane @pane 1 0,0 offered", "leave pane",
                         "enter other @other 1 0,0 offered", "leave other"}));

  log_.clear();
  user.Then([&] { ui::DragOver(pane_.Handle()); })
      .Then([&] { ui::DragOver(item_.Handle()); })  // the same target: over, not enter
      .Then([] { ui::CancelDrag(); });
  EXPECT_EQ(data_.DoDragDrop(), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter pane @pane 1 0,0 offered", "over pane @pane 1 0,0", "leave pane"}));
  EXPECT_EQ(data_.renders, 0);
  EXPECT_TRUE(ui::InputProblems().empty());
}

TEST_F(Drags, DropsThatNoTargetTakesGiveNone) {
  ui::ScriptedUser user;
  // On a window without a target.
  user.Then([&] { ui::DragOver(pane_.Handle()); })
      .Then([&] { ui::DragOver(list_.Handle()); })
      .Then([] { ui::Drop(); });
  EXPECT_EQ(data_.DoDragDrop(), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter pane @pane 1 0,0 offered", "leave pane"}));

  // On a target that wants an effect the source does not allow: refused there, no drop.
  log_.clear();
  user.Then([&] { ui::DragOver(other_.Handle()); }).Then([&] {
    EXPECT_EQ(ui::TakeSnapshot().drag.effect, DROPEFFECT_NONE);
    ui::Drop();
  });
  EXPECT_EQ(data_.DoDragDrop(DROPEFFECT_LINK), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter other @other 1 0,0 offered", "leave other"}));

  // Of the effects it wants, the allowed one; a target that does not take the data: none.
  log_.clear();
  otherTarget_.takes = false;
  user.Then([&] { ui::DragOver(other_.Handle()); }).Then([] { ui::Drop(); });
  EXPECT_EQ(data_.DoDragDrop(DROPEFFECT_MOVE | DROPEFFECT_LINK), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter other @other 1 0,0 offered",
                         "drop other @other 0 0,0 2: payload 1: payload 2"}));
  EXPECT_TRUE(ui::InputProblems().empty());
}

TEST_F(Drags, TheDropSourceIsAskedAtEachStep) {
  LogSource source(&log_);
  ui::ScriptedUser user;
  user.Then([&] { ui::DragOver(pane_.Handle()); })
      .Then([&] { ui::KeyAt(pane_.Handle(), VK_ESCAPE); })  // this source lets it pass
      .Then([&] { ui::DragOver(list_.Handle()); })
      .Then([&] { ui::DragOver(pane_.Handle()); })
      .Then([] { ui::Drop(); });
  EXPECT_EQ(data_.DoDragDrop(DROPEFFECT_COPY, nullptr, &source), DROPEFFECT_COPY);
  EXPECT_EQ(log_,
            (Texts{"ask 0 1", "enter pane @pane 1 0,0 offered", "feedback 1", "ask 1 1", "ask 0 1",
                   "leave pane", "feedback 0", "ask 0 1", "enter pane @pane 1 0,0 offered",
                   "feedback 1", "ask 0 0", "drop pane @pane 0 0,0 1: payload 1: payload 2"}));
}

TEST_F(Drags, OtherInputOrNoMoreInputCancelsTheDragWithAProblem) {
  ui::ScriptedUser user;
  COleDataSource second;
  user.Then([&] {
        EXPECT_EQ(second.DoDragDrop(), DROPEFFECT_NONE);  // one drag at a time
        ui::DragOver(pane_.Handle());
      })
      .Then([&] { ui::ClickAt(list_.Handle()); });
  EXPECT_EQ(data_.DoDragDrop(), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter pane @pane 1 0,0 offered", "leave pane"}));
  EXPECT_EQ(ui::InputProblems(), Texts{"the drag was cancelled by other input, which was dropped"});

  ui::ClearInputProblems();
  log_.clear();
  user.Then([&] { ui::DragOver(pane_.Handle()); });
  EXPECT_EQ(data_.DoDragDrop(), DROPEFFECT_NONE);
  EXPECT_EQ(log_, (Texts{"enter pane @pane 1 0,0 offered", "leave pane"}));
  EXPECT_EQ(ui::InputProblems(), Texts{"no more input: the drag was cancelled"});

  // Drag input without a drag is refused; a revoked window takes no more drags.
  ui::ClearInputProblems();
  log_.clear();
  user.Then([] { ui::Drop(); });
  ui::RunMessageLoop();
  EXPECT_EQ(ui::InputProblems(), Texts{"no drag is running"});
  EXPECT_EQ(paneTarget_.Register(&other_), FALSE);  // registered already, and so is `other`
  paneTarget_.Revoke();
  user.Then([&] { ui::DragOver(pane_.Handle()); }).Then([&] {
    EXPECT_EQ(ui::TakeSnapshot().drag.target, 0);
    ui::Drop();
  });
  EXPECT_EQ(data_.DoDragDrop(), DROPEFFECT_NONE);
  EXPECT_TRUE(log_.empty());
}

}  // namespace
