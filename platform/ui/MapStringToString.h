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
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/wintypes.h"

class CMapStringToString {
 public:
  struct Entry {
    std::string key;
    std::string value;
  };
  // An entry with its key's hash, which a lookup compares before the key: a chain of a table
  // that never grows holds thousands of keys when the map does, so a chain is kept in one
  // block of memory, newest last (its front, in the map's order, is the vector's back).
  struct Node {
    Entry entry;
    UINT hash;
  };
  using Chain = std::vector<Node>;

  // Walks the entries in the map's order; for (const auto& [key, value] : map) reads them.
  class Iterator {
   public:
    const Entry& operator*() const { return (*buckets_)[bucket_][left_ - 1].entry; }
    const Entry* operator->() const { return &**this; }
    Iterator& operator++();
    bool operator==(const Iterator& other) const;

   private:
    friend class CMapStringToString;
    Iterator(const std::vector<Chain>& buckets, std::size_t bucket);
    // Moves on to the first entry of the next bucket that has one, unless at an entry.
    void SkipEmptyBuckets();

    const std::vector<Chain>* buckets_;
    std::size_t bucket_;
    std::size_t left_ = 0;  // entries of this bucket not yet passed; the next is [left_ - 1]
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
  // The entry of the key, or null.
  Entry* Find(const std::string& key, UINT hash);
  const Entry* Find(const std::string& key, UINT hash) const;

  std::vector<Chain> buckets_;
  int count_ = 0;
};
