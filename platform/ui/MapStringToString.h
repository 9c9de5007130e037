// CMapStringToString: the framework's map from string to string, with the framework's order
// of iteration, which a list that shows the map as it is makes visible.
//
// A key's hash is h = h * 33 + c over its characters, from 0, in unsigned 32-bit arithmetic,
// with c the character as a signed 8-bit value (bytes 0x80 to 0xFF count as negative). The
// key goes into bucket h % (the table size given at construction); the table never grows. A
// new key goes to the front of its bucket's chain; setting a key that is there changes its
// value in place. Iteration walks the buckets from the first to the last, each chain from
// front to back, so within a bucket the newest key comes first. Keys are compared exactly.
#pragma once

#include <cstddef>
#include <forward_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

class CMapStringToString {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };
  using Chain = std::forward_list<Entry>;

  // Walks the entries in the map's order; for (const auto& [key, value] : map) reads them.
  class Iterator {
   public:
    const Entry& operator*() const { return *node_; }
    const Entry* operator->() const { return &*node_; }
    Iterator& operator++();
    bool operator==(const Iterator& other) const;

   private:
    friend class CMapStringToString;
    Iterator(const std::vector<Chain>& buckets, std::size_t bucket);
    // Moves on to the first entry of the next bucket that has one, unless at an entry.
    void SkipEmptyBuckets();

    const std::vector<Chain>* buckets_;
    std::size_t bucket_;
    Chain::const_iterator node_;
  };

  explicit CMapStringToString(UINT hashTableSize);

  static UINT HashKey(std::string_view key);

  int GetCount() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  // TRUE and the key's value in `value`; FALSE (value unchanged) when the key is not there.
  BOOL Lookup(const std::string& key, std::string& value) const;
  void SetAt(const std::string& key, const std::string& value);
  // FALSE when the key is not there.
  BOOL RemoveKey(const std::string& key);
  void RemoveAll();

  Iterator begin() const { return Iterator(buckets_, 0); }
  Iterator end() const { return Iterator(buckets_, buckets_.size()); }

 private:
  Chain& BucketOf(const std::string& key);
  const Chain& BucketOf(const std::string& key) const;

  std::vector<Chain> buckets_;
  int count_ = 0;
};
