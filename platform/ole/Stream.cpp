#include "platform/ole/Stream.h"

#include <cstring>
#include <limits>

namespace {

class HGlobalStream final : public qv::com::Object<IStream> {
 public:
  HGlobalStream(HGLOBAL block, bool deleteOnRelease)
      : block_(block), deleteOnRelease_(deleteOnRelease) {}

  HGLOBAL Block() const { return block_; }

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (read != nullptr)
      *read = 0;
    if (buffer == nullptr && count > 0)
      return STG_E_INVALIDPOINTER;
    std::uint64_t size = GlobalSize(block_);
    std::uint64_t available = position_ < size ? size - position_ : 0;
    ULONG copied = available < count ? static_cast<ULONG>(available) : count;
    if (copied > 0) {
      auto* bytes = static_cast<unsigned char*>(GlobalLock(block_));
      std::memcpy(buffer, bytes + position_, copied);
      GlobalUnlock(block_);
      position_ += copied;
    }
    if (read != nullptr)
      *read = copied;
    return S_OK;
  }

  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written != nullptr)
      *written = 0;
    if (buffer == nullptr && count > 0)
      return STG_E_INVALIDPOINTER;
    if (count == 0)
      return S_OK;
    if (position_ > std::numeric_limits<std::uint64_t>::max() - count)
      return STG_E_MEDIUMFULL;
    std::uint64_t end = position_ + count;
    if (end > GlobalSize(block_) && GlobalReAlloc(block_, end, GMEM_ZEROINIT) == 0)
      return STG_E_MEDIUMFULL;
    auto* bytes = static_cast<unsigned char*>(GlobalLock(block_));
    std::memcpy(bytes + position_, buffer, count);
    GlobalUnlock(block_);
    position_ = end;
    if (written != nullptr)
      *written = count;
    return S_OK;
  }

  HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* position) override {
    std::uint64_t base = 0;
    switch (origin) {
      case STREAM_SEEK_SET:
        break;
      case STREAM_SEEK_CUR:
        base = position_;
        break;
      case STREAM_SEEK_END:
        base = GlobalSize(block_);
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    std::uint64_t moved = 0;
    if (move < 0) {
      std::uint64_t back = 0 - static_cast<std::uint64_t>(move);
      if (back > base)
        return STG_E_INVALIDFUNCTION;
      moved = base - back;
    } else {
      std::uint64_t ahead = static_cast<std::uint64_t>(move);
      if (ahead > std::numeric_limits<std::uint64_t>::max() - base)
        return STG_E_INVALIDFUNCTION;
      moved = base + ahead;
    }
    position_ = moved;
    if (position != nullptr)
      *position = position_;
    return S_OK;
  }

  HRESULT SetSize(std::uint64_t size) override {
    if (size == GlobalSize(block_))
      return S_OK;
    return GlobalReAlloc(block_, size, GMEM_ZEROINIT) != 0 ? S_OK : STG_E_MEDIUMFULL;
  }

 protected:
  ~HGlobalStream() override {
    if (deleteOnRelease_)
      GlobalFree(block_);
  }

  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IStream)
      return static_cast<IStream*>(this);
    return nullptr;
  }

 private:
  HGLOBAL block_;
  bool deleteOnRelease_;
  std::uint64_t position_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
  if (stream == nullptr)
    return E_INVALIDARG;
  *stream = nullptr;
  if (block == 0) {
    block = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (block == 0)
      return E_OUTOFMEMORY;
  } else if (!qv::ole::IsGlobalBlock(block)) {
    return E_INVALIDARG;
  }
  *stream = new HGlobalStream(block, deleteOnRelease != FALSE);
  return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block) {
  if (block != nullptr)
    *block = 0;
  auto* ours = dynamic_cast<HGlobalStream*>(stream);
  if (ours == nullptr || block == nullptr)
    return E_INVALIDARG;
  *block = ours->Block();
  return S_OK;
}
