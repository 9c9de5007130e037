// Streams: bytes read and written in order from a position, and the stream over a block of
// global memory (platform/ole/GlobalMemory.h) that renders data into a block.
//
// The stream over a block reads and writes the block's bytes at its position, which starts at
// 0. Its size is the block's size; writing past the end makes the block longer (the block
// keeps its handle). The stream holds no lock on the block between calls. A block freed under
// a stream reads as empty and cannot be written.
#pragma once

#include <cstdint>

#include "platform/com/Unknown.h"
#include "platform/ole/GlobalMemory.h"

inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Where Seek counts from.
inline constexpr DWORD STREAM_SEEK_SET = 0;  // the start
inline constexpr DWORD STREAM_SEEK_CUR = 1;  // the position now
inline constexpr DWORD STREAM_SEEK_END = 2;  // the end

inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001);
inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009);
inline constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);

struct IStream : IUnknown {
  // Copies up to `count` bytes from the position into `buffer` and moves the position past
  // them; fewer at the end (none past it). S_OK, with *read (when not null) the number copied.
  // STG_E_INVALIDPOINTER (nothing read) for a null `buffer` with a count.
  virtual HRESULT Read(void* buffer, ULONG count, ULONG* read) = 0;
  // Copies `count` bytes from `buffer` to the position, growing the stream when they reach
  // past its end, and moves the position past them. S_OK, with *written (when not null) set
  // to `count`. STG_E_INVALIDPOINTER for a null `buffer` with a count, STG_E_MEDIUMFULL when
  // the stream cannot grow (its block is locked or gone, or memory runs out); nothing is
  // written then and *written is 0.
  virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;
  // Moves the position by `move` bytes from where `origin` says (STREAM_SEEK_*); a position
  // past the end is allowed (a write there fills the gap with 0). S_OK, with *position (when
  // not null) the new position. STG_E_INVALIDFUNCTION for an unknown origin or a position
  // before the start; the position stays then.
  virtual HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* position) = 0;
  // Makes the stream `size` bytes long (0 added at the end); the position stays. S_OK;
  // STG_E_MEDIUMFULL, with the size unchanged, when the block cannot be resized.
  virtual HRESULT SetSize(std::uint64_t size) = 0;

 protected:
  ~IStream() = default;
};

// A stream over `block`, in *stream with a reference the caller releases. With a `block` of 0
// a new empty block is made. With `deleteOnRelease` the block is freed when the stream's last
// reference goes; without it, it outlives the stream (GetHGlobalFromStream names it).
// S_OK; E_INVALIDARG for a null `stream` or a `block` that names no block, E_OUTOFMEMORY when
// no block can be made; *stream is null then (when not null itself).
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

// The block under a stream from CreateStreamOnHGlobal, in *block. S_OK; E_INVALIDARG for a
// null argument or a stream that is not over a block (*block is 0 then, when not null).
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block);
