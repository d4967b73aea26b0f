// Sets of strings for the analysis of large pages: open addressing with linear probing over a
// flat table, no allocation per entry, each key hashed once. A page of a million pictures puts a
// million URLs into such a set several times; a node-based set spends most of that time in the
// allocator and in cache misses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace velmora {

// A set of indexes whose keys (strings) are held elsewhere: keyAt(index) gives the key of an
// index. Two indexes with equal keys are the same member.
class FlatIndexSet {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  static std::size_t Hash(std::string_view key) noexcept {
    return std::hash<std::string_view>{}(key);
  }

  // Room for `count` members without growing.
  void Reserve(std::size_t count) {
    if (count * 2 > slots_.size()) Rehash(count * 2);
  }

  // Adds `index` (whose key hashes to `hash`) unless a member has its key; returns that member,
  // or `index` when it was added.
  template <typename KeyAt>
  std::uint32_t Insert(std::uint32_t index, std::size_t hash, const KeyAt& keyAt) {
    if ((size_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 16 : slots_.size() * 2);
    const std::string_view key = keyAt(index);
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.index == kEmpty) {
        slot = {hash, index};
        ++size_;
        return index;
      }
      if (slot.hash == hash && keyAt(slot.index) == key) return slot.index;
    }
  }

  // The member whose key is `key`, or kNone.
  template <typename KeyAt>
  std::uint32_t Find(std::string_view key, std::size_t hash, const KeyAt& keyAt) const {
    if (slots_.empty()) return kNone;
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.index == kEmpty) return kNone;
      if (slot.hash == hash && keyAt(slot.index) == key) return slot.index;
    }
  }

  template <typename KeyAt>
  bool Contains(std::string_view key, std::size_t hash, const KeyAt& keyAt) const {
    return Find(key, hash, keyAt) != kNone;
  }

  std::size_t size() const noexcept { return size_; }
  void clear() {
    slots_.clear();
    size_ = 0;
    mask_ = 0;
  }

 private:
  static constexpr std::uint32_t kEmpty = kNone;
  struct Slot {
    std::size_t hash = 0;
    std::uint32_t index = kEmpty;
  };

  void Rehash(std::size_t wanted) {
    std::size_t capacity = 16;
    while (capacity < wanted) capacity *= 2;
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    mask_ = capacity - 1;
    for (const Slot& slot : old) {
      if (slot.index == kEmpty) continue;
      std::size_t at = slot.hash & mask_;
      while (slots_[at].index != kEmpty) at = (at + 1) & mask_;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
  std::size_t mask_ = 0;
};

// A set of strings that stay where they are (and unchanged) while the set is used.
class StringViewSet {
 public:
  void Reserve(std::size_t count) {
    keys_.reserve(count);
    set_.Reserve(count);
  }
  // True when the key was not yet a member.
  bool Insert(std::string_view key) {
    const auto index = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(key);
    if (set_.Insert(index, FlatIndexSet::Hash(key), KeyAt{&keys_}) == index) return true;
    keys_.pop_back();
    return false;
  }
  bool Contains(std::string_view key) const {
    return set_.Contains(key, FlatIndexSet::Hash(key), KeyAt{&keys_});
  }

 private:
  struct KeyAt {
    const std::vector<std::string_view>* keys;
    std::string_view operator()(std::uint32_t i) const { return (*keys)[i]; }
  };
  std::vector<std::string_view> keys_;
  FlatIndexSet set_;
};

}  // namespace velmora
