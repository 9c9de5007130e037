// The OLE drag layer: global memory and streams over it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/ole/Stream.h"

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

}  // namespace
