#include "platform/ui/MapStringToString.h"

#include <cstdint>

CMapStringToString::Iterator::Iterator(const std::vector<Chain>& buckets, std::size_t bucket)
    : buckets_(&buckets), bucket_(bucket) {
  if (bucket_ < buckets_->size())
    left_ = (*buckets_)[bucket_].size();
  SkipEmptyBuckets();
}

void CMapStringToString::Iterator::SkipEmptyBuckets() {
  while (bucket_ < buckets_->size() && left_ == 0) {
    ++bucket_;
    if (bucket_ < buckets_->size())
      left_ = (*buckets_)[bucket_].size();
  }
}

CMapStringToString::Iterator& CMapStringToString::Iterator::operator++() {
  --left_;
  SkipEmptyBuckets();
  return *this;
}

bool CMapStringToString::Iterator::operator==(const Iterator& other) const {
  return bucket_ == other.bucket_ && left_ == other.left_;
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

CMapStringToString::Entry* CMapStringToString::Find(const std::string& key, UINT hash) {
  for (Node& node : buckets_[hash % buckets_.size()]) {
    if (node.hash == hash && node.entry.key == key)
      return &node.entry;
  }
  return nullptr;
}

const CMapStringToString::Entry* CMapStringToString::Find(const std::string& key, UINT hash) const {
  return const_cast<CMapStringToString*>(this)->Find(key, hash);
}

BOOL CMapStringToString::Lookup(const std::string& key, std::string& value) const {
  const Entry* entry = Find(key, HashKey(key));
  if (entry == nullptr)
    return FALSE;
  value = entry->value;
  return TRUE;
}

void CMapStringToString::SetAt(const std::string& key, const std::string& value) {
  UINT hash = HashKey(key);
  if (Entry* entry = Find(key, hash)) {
    entry->value = value;
    return;
  }
  buckets_[hash % buckets_.size()].push_back(Node{Entry{key, value}, hash});  // the front
  ++count_;
}

BOOL CMapStringToString::RemoveKey(const std::string& key) {
  UINT hash = HashKey(key);
  Chain& chain = buckets_[hash % buckets_.size()];
  for (auto at = chain.begin(); at != chain.end(); ++at) {
    if (at->hash == hash && at->entry.key == key) {
      chain.erase(at);
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
