// Global memory: blocks of bytes named by handles, the memory that data handed from one side
// of a drag to the other travels in.
//
// A handle is a number from a table of ours, not an address: it fits the 32-bit fields that
// records pass handles in, and a handle that was freed names nothing afterwards (handles are
// not given out again until the count wraps). The bytes are reached by locking the block,
// which gives their address and counts a lock; unlocking gives the lock back. A block keeps
// the flags it was allocated with, so that a caller's choice can be checked.
//
// Blocks live on one thread, the user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/wintypes.h"

using HGLOBAL = std::uint32_t;  // 0 is no block
using SIZE_T = std::size_t;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_SHARE = 0x2000;
inline constexpr UINT GMEM_DDESHARE = 0x2000;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// A new block of `bytes` bytes. With GMEM_ZEROINIT its bytes are 0; without it they are 0xCD,
// so that a reader of bytes nobody wrote sees it. A block keeps its size and its address;
// GMEM_MOVEABLE and GMEM_SHARE change nothing here but are kept with the block. Returns the
// block's handle, or 0 when memory runs out.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);

// The address of the block's first byte, counting one lock; the address stays valid until
// the matching GlobalUnlock (or GlobalFree). Null, and no lock counted, for a handle that
// names no block and for a block of 0 bytes.
void* GlobalLock(HGLOBAL block);

// Gives back one lock. TRUE while the block is still locked afterwards; FALSE when this was
// its last lock, when it was not locked, and for a handle that names no block.
BOOL GlobalUnlock(HGLOBAL block);

// The block's size in bytes; 0 for a handle that names no block (and for an empty block).
SIZE_T GlobalSize(HGLOBAL block);

// Frees the block, locked or not; its handle names nothing afterwards. Returns 0 on success,
// and `block` itself for a handle that names no block.
HGLOBAL GlobalFree(HGLOBAL block);

namespace qv::ole {

// True when the handle names a block that is not freed.
bool IsGlobalBlock(HGLOBAL block);
// The flags the block was allocated with; 0 for a handle that names no block.
UINT GlobalAllocFlags(HGLOBAL block);
// How many locks the block holds now; 0 for a handle that names no block.
int GlobalLockCount(HGLOBAL block);
// How many blocks are allocated and not freed (for leak checks).
std::size_t LiveGlobalBlocks();

}  // namespace qv::ole
