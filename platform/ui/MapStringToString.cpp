#include "platform/ui/MapStringToString.h"

#include <cstdint>

CMapStringToString::Iterator::Iterator(const std::vector<Chain>& buckets, std::size_t bucket)
    : buckets_(&buckets), bucket_(bucket) {
  if (bucket_ < buckets_->size())
    node_ = (*buckets_)[bucket_].begin();
  SkipEmptyBuckets();
}

void CMapStringToString::Iterator::SkipEmptyBuckets() {
  while (bucket_ < buckets_->size() && node_ == (*buckets_)[bucket_].end()) {
    ++bucket_;
    if (bucket_ < buckets_->size())
      node_ = (*buckets_)[bucket_].begin();
  }
}

CMapStringToString::Iterator& CMapStringToString::Iterator::operator++() {
  ++node_;
  SkipEmptyBuckets();
  return *this;
}

bool CMapStringToString::Iterator::operator==(const Iterator& other) const {
  if (bucket_ != other.bucket_)
    return false;
  return bucket_ == buckets_->size() || node_ == other.node_;
}

CMapStringToString::CMapStringToString(UINT hashTableSize)
    : buckets_(hashTableSize > 0 ? hashTableSize : 1) {}

UINT CMapStringToString::HashKey(std::string_view key) {
  std::uint32_t hash = 0;
  for (char c : key) {
    auto byte = static_cast<signed char>(c);              // bytes 0x80 to 0xFF are negative
    hash = hash * 33 + static_cast<std::uint32_t>(byte);  // widened with its sign, modulo 2^32
  }
  return hash;
}

CMapStringToString::Chain& CMapStringToString::BucketOf(const std::string& key) {
  return buckets_[HashKey(key) % buckets_.size()];
}

const CMapStringToString::Chain& CMapStringToString::BucketOf(const std::string& key) const {
  return buckets_[HashKey(key) % buckets_.size()];
}

BOOL CMapStringToString::Lookup(const std::string& key, std::string& value) const {
  for (const Entry& entry : BucketOf(key)) {
    if (entry.key == key) {
      value = entry.value;
      return TRUE;
    }
  }
  return FALSE;
}

void CMapStringToString::SetAt(const std::string& key, const std::string& value) {
  Chain& chain = BucketOf(key);
  for (Entry& entry : chain) {
    if (entry.key == key) {
      entry.value = value;
      return;
    }
  }
  chain.push_front(Entry{key, value});
  ++count_;
}

BOOL CMapStringToString::RemoveKey(const std::string& key) {
  Chain& chain = BucketOf(key);
  for (auto before = chain.before_begin(), at = chain.begin(); at != chain.end(); before = at++) {
    if (at->key == key) {
      chain.erase_after(before);
      --count_;
      return TRUE;
    }
  }
  return FALSE;
}

void CMapStringToString::RemoveAll() {
  for (Chain& chain : buckets_)
    chain.clear();
  count_ = 0;
}
