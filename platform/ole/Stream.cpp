#include "platform/ole/Stream.h"

#include <cstring>

namespace {

class HGlobalStream final : public qv::com::Object<IStream> {
 public:
  explicit HGlobalStream(HGLOBAL block) : block_(block) {}

  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written != nullptr)
      *written = 0;
    if (buffer == nullptr && count > 0)
      return STG_E_INVALIDPOINTER;
    if (count == 0)
      return S_OK;
    if (count > GlobalSize(block_) || position_ > GlobalSize(block_) - count)
      return STG_E_MEDIUMFULL;
    auto* bytes = static_cast<unsigned char*>(GlobalLock(block_));
    std::memcpy(bytes + position_, buffer, count);
    GlobalUnlock(block_);
    position_ += count;
    if (written != nullptr)
      *written = count;
    return S_OK;
  }

 protected:
  void* FindInterface(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IStream)
      return static_cast<IStream*>(this);
    return nullptr;
  }

 private:
  HGLOBAL block_;
  SIZE_T position_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
  if (stream == nullptr)
    return E_INVALIDARG;
  *stream = nullptr;
  if (deleteOnRelease != FALSE || !qv::ole::IsGlobalBlock(block))
    return E_INVALIDARG;
  *stream = new HGlobalStream(block);
  return S_OK;
}
