// Streams: bytes written in order from a position, and the stream over a block of global
// memory (platform/ole/GlobalMemory.h) that renders data into a block.
//
// The stream over a block writes the block's bytes at its position, which starts at 0 and
// moves past what was written. It writes within the block: the block is made as large as
// the data to render before the stream is made over it. The stream holds no lock on the
// block between calls and never frees it. A block freed under a stream cannot be written.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/ole/GlobalMemory.h"

inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009);
inline constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);

struct IStream : IUnknown {
  // Copies `count` bytes from `buffer` to the position and moves the position past them.
  // S_OK, with *written (when not null) set to `count`. STG_E_INVALIDPOINTER for a null
  // `buffer` with a count, STG_E_MEDIUMFULL when the bytes would reach past the end of the
  // block (or the block is gone); nothing is written then and *written is 0.
  virtual HRESULT Write(const void* buffer, ULONG count, ULONG* written) = 0;

 protected:
  ~IStream() = default;
};

// A stream over `block`, in *stream with a reference the caller releases. `deleteOnRelease`
// must be FALSE: the block outlives the stream. S_OK; E_INVALIDARG for a null `stream`, a
// `block` that names no block, and a `deleteOnRelease` of TRUE; *stream is null then (when
// not null itself).
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);
