#pragma once
// Open-addressing hash map and set for small keys (block keys, chunk keys). Linear
// probing over a power-of-two table, Fibonacci hashing on top of the key's own hash,
// and backward-shift deletion, so there are no tombstones and no per-entry allocations.
// Iteration order is unspecified. Inserting or erasing invalidates iterators.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

// MaxLoadPercent trades memory for probe length: misses probe about
// (1 + 1 / (1 - load)^2) / 2 slots, so tables that are asked mostly about absent keys
// (searches) want it lower; big long-lived tables want it higher for cache density.
template <class K, class V, class Hash = std::hash<K>, class Eq = std::equal_to<K>,
          size_t MaxLoadPercent = 75>
class FlatHashMap {
 public:
  struct value_type {
    K first{};
    [[no_unique_address]] V second{};
  };

  template <bool Const>
  class Iter {
   public:
    using value_type = typename FlatHashMap::value_type;
    using Map = std::conditional_t<Const, const FlatHashMap, FlatHashMap>;
    using Ref = std::conditional_t<Const, const value_type&, value_type&>;
    using Ptr = std::conditional_t<Const, const value_type*, value_type*>;
    using iterator_category = std::forward_iterator_tag;
    using difference_type = std::ptrdiff_t;
    using reference = Ref;
    using pointer = Ptr;

    Iter() = default;
    Iter(Map* map, size_t index) : map_(map), index_(index) { skipEmpty(); }
    operator Iter<true>() const { return Iter<true>(map_, index_); }

    Ref operator*() const { return map_->slots_[index_]; }
    Ptr operator->() const { return &map_->slots_[index_]; }
    Iter& operator++() {
      ++index_;
      skipEmpty();
      return *this;
    }
    bool operator==(const Iter& o) const { return index_ == o.index_; }

   private:
    friend class FlatHashMap;
    void skipEmpty() {
      while (index_ < map_->used_.size() && !map_->used_[index_]) ++index_;
    }
    Map* map_ = nullptr;
    size_t index_ = 0;
  };
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  size_t capacity() const { return slots_.size(); }
  // Bytes held by the table itself (not by what its values own).
  size_t memoryBytes() const { return slots_.capacity() * sizeof(value_type) + used_.capacity(); }

  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, slots_.size()); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, slots_.size()); }

  void clear() {
    slots_.clear();
    used_.clear();
    size_ = 0;
    shift_ = 64;
  }

  // Makes room for `count` entries without further growth.
  void reserve(size_t count) {
    size_t wanted = 16;
    while (wanted * kMaxLoadNum / kMaxLoadDen < count) wanted *= 2;
    if (wanted > slots_.size()) rehash(wanted);
  }

  iterator find(const K& key) { return iterator(this, findIndex(key)); }
  const_iterator find(const K& key) const { return const_iterator(this, findIndex(key)); }
  bool contains(const K& key) const { return findIndex(key) != slots_.size(); }
  size_t count(const K& key) const { return contains(key) ? 1 : 0; }

  // Pointer to the value of `key`, or null.
  V* lookup(const K& key) {
    size_t i = findIndex(key);
    return i == slots_.size() ? nullptr : &slots_[i].second;
  }
  const V* lookup(const K& key) const {
    size_t i = findIndex(key);
    return i == slots_.size() ? nullptr : &slots_[i].second;
  }

  // Inserts `key` with a value built from `args` unless present; returns the entry and
  // whether it was inserted.
  template <class... Args>
  std::pair<iterator, bool> try_emplace(const K& key, Args&&... args) {
    if ((size_ + 1) * kMaxLoadDen > slots_.size() * kMaxLoadNum) {
      rehash(slots_.empty() ? 16 : slots_.size() * 2);
    }
    const size_t mask = slots_.size() - 1;
    for (size_t i = home(key);; i = (i + 1) & mask) {
      if (!used_[i]) {
        used_[i] = 1;
        slots_[i].first = key;
        slots_[i].second = V(std::forward<Args>(args)...);
        ++size_;
        return {iterator(this, i), true};
      }
      if (eq_(slots_[i].first, key)) return {iterator(this, i), false};
    }
  }
  std::pair<iterator, bool> insert(const value_type& entry) {
    return try_emplace(entry.first, entry.second);
  }
  V& operator[](const K& key) { return try_emplace(key).first->second; }

  // Removes `key`; returns the number of entries removed (0 or 1).
  size_t erase(const K& key) {
    size_t i = findIndex(key);
    if (i == slots_.size()) return 0;
    eraseAt(i);
    return 1;
  }

  // Removes every entry for which `pred(entry)` holds.
  template <class Pred>
  size_t eraseIf(Pred pred) {
    std::vector<K> doomed;
    for (const value_type& entry : *this) {
      if (pred(entry)) doomed.push_back(entry.first);
    }
    for (const K& key : doomed) erase(key);
    return doomed.size();
  }

 private:
  static constexpr size_t kMaxLoadNum = MaxLoadPercent, kMaxLoadDen = 100;
  static_assert(MaxLoadPercent >= 10 && MaxLoadPercent <= 90);

  size_t home(const K& key) const {
    return static_cast<size_t>((static_cast<uint64_t>(hash_(key)) * 0x9E3779B97F4A7C15ull) >>
                               shift_);
  }

  size_t findIndex(const K& key) const {
    if (size_ == 0) return slots_.size();
    const size_t mask = slots_.size() - 1;
    for (size_t i = home(key);; i = (i + 1) & mask) {
      if (!used_[i]) return slots_.size();
      if (eq_(slots_[i].first, key)) return i;
    }
  }

  // Backward-shift deletion: pull later entries of the probe run into the hole.
  void eraseAt(size_t hole) {
    const size_t mask = slots_.size() - 1;
    for (size_t j = (hole + 1) & mask; used_[j]; j = (j + 1) & mask) {
      size_t ideal = home(slots_[j].first);
      if (((j - ideal) & mask) >= ((j - hole) & mask)) {
        slots_[hole] = std::move(slots_[j]);
        hole = j;
      }
    }
    used_[hole] = 0;
    slots_[hole] = value_type{};
    --size_;
  }

  void rehash(size_t newCapacity) {
    std::vector<value_type> oldSlots(newCapacity);
    std::vector<uint8_t> oldUsed(newCapacity, 0);
    oldSlots.swap(slots_);
    oldUsed.swap(used_);
    shift_ = 64;
    for (size_t c = newCapacity; c > 1; c >>= 1) --shift_;
    const size_t mask = newCapacity - 1;
    for (size_t s = 0; s < oldSlots.size(); ++s) {
      if (!oldUsed[s]) continue;
      size_t i = home(oldSlots[s].first);
      while (used_[i]) i = (i + 1) & mask;
      used_[i] = 1;
      slots_[i] = std::move(oldSlots[s]);
    }
  }

  std::vector<value_type> slots_;
  std::vector<uint8_t> used_;
  size_t size_ = 0;
  unsigned shift_ = 64;
  [[no_unique_address]] Hash hash_{};
  [[no_unique_address]] Eq eq_{};
};

// Set counterpart of FlatHashMap; iterating yields the keys.
template <class K, class Hash = std::hash<K>, class Eq = std::equal_to<K>>
class FlatHashSet {
  struct Empty {};
  using Map = FlatHashMap<K, Empty, Hash, Eq>;

 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = K;
    using difference_type = std::ptrdiff_t;
    using reference = const K&;
    using pointer = const K*;

    const_iterator() = default;
    explicit const_iterator(typename Map::const_iterator it) : it_(it) {}
    const K& operator*() const { return it_->first; }
    const K* operator->() const { return &it_->first; }
    const_iterator& operator++() {
      ++it_;
      return *this;
    }
    bool operator==(const const_iterator& o) const { return it_ == o.it_; }

   private:
    typename Map::const_iterator it_;
  };
  using iterator = const_iterator;

  size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }
  size_t memoryBytes() const { return map_.memoryBytes(); }
  void clear() { map_.clear(); }
  void reserve(size_t count) { map_.reserve(count); }
  const_iterator begin() const { return const_iterator(map_.begin()); }
  const_iterator end() const { return const_iterator(map_.end()); }
  bool contains(const K& key) const { return map_.contains(key); }
  size_t count(const K& key) const { return map_.count(key); }
  // Adds `key`; true when it was not yet present.
  bool insert(const K& key) { return map_.try_emplace(key).second; }
  size_t erase(const K& key) { return map_.erase(key); }

 private:
  Map map_;
};
