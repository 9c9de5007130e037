#include "platform/ole/GlobalMemory.h"

#include <map>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr unsigned char kUnwritten = 0xCD;

struct Block {
  std::vector<unsigned char> bytes;
  UINT flags = 0;
  int locks = 0;
};

std::map<HGLOBAL, Block>& Blocks() {
  static std::map<HGLOBAL, Block> blocks;
  return blocks;
}
HGLOBAL g_last = 0;

Block* Find(HGLOBAL handle) {
  auto it = Blocks().find(handle);
  return it != Blocks().end() ? &it->second : nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  Block block;
  block.flags = flags;
  try {
    block.bytes.assign(bytes, (flags & GMEM_ZEROINIT) != 0 ? 0 : kUnwritten);
  } catch (const std::bad_alloc&) {
    return 0;
  } catch (const std::length_error&) {
    return 0;
  }
  // The next number that is neither 0 nor in use.
  do {
    ++g_last;
  } while (g_last == 0 || Blocks().count(g_last) != 0);
  Blocks()[g_last] = std::move(block);
  return g_last;
}

void* GlobalLock(HGLOBAL handle) {
  Block* block = Find(handle);
  if (block == nullptr || block->bytes.empty())
    return nullptr;
  ++block->locks;
  return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  Block* block = Find(handle);
  if (block == nullptr || block->locks == 0)
    return FALSE;
  --block->locks;
  return block->locks > 0 ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL handle) {
  Block* block = Find(handle);
  return block != nullptr ? block->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  return Blocks().erase(handle) != 0 ? 0 : handle;
}

namespace qv::ole {

bool IsGlobalBlock(HGLOBAL handle) {
  return Find(handle) != nullptr;
}

UINT GlobalAllocFlags(HGLOBAL handle) {
  Block* block = Find(handle);
  return block != nullptr ? block->flags : 0;
}

int GlobalLockCount(HGLOBAL handle) {
  Block* block = Find(handle);
  return block != nullptr ? block->locks : 0;
}

std::size_t LiveGlobalBlocks() {
  return Blocks().size();
}

}  // namespace qv::ole
