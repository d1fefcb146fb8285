// The simulated controller's trace: entries oldest first, the oldest overwritten once full.
#pragma once

#include <cstddef>
#include <iterator>
#include <vector>

namespace wendlar::sim {

// A bounded trace written for every line on the wire: a full ring reuses its oldest slot
// (strings keep their storage), so tracing a long job neither allocates nor shifts entries.
// A limit of 0 keeps everything.
template <typename T>
class SimTraceRing {
 public:
  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;

    const_iterator() = default;
    const_iterator(const SimTraceRing* ring, size_t index) : ring_(ring), index_(index) {}
    reference operator*() const { return (*ring_)[index_]; }
    pointer operator->() const { return &(*ring_)[index_]; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++index_;
      return before;
    }
    bool operator==(const const_iterator& other) const { return index_ == other.index_; }
    bool operator!=(const const_iterator& other) const { return index_ != other.index_; }

   private:
    const SimTraceRing* ring_ = nullptr;
    size_t index_ = 0;
  };

  explicit SimTraceRing(size_t limit = 0) : limit_(limit) {}

  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  // Entry i counted from the oldest.
  const T& operator[](size_t i) const {
    const size_t at = start_ + i;
    return items_[at < items_.size() ? at : at - items_.size()];
  }
  const T& front() const { return (*this)[0]; }
  const T& back() const { return (*this)[items_.size() - 1]; }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, items_.size()); }

  // The slot for a new newest entry: a fresh one, or the oldest when the ring is full (the
  // caller overwrites every field).
  T& Next() {
    if (limit_ == 0 || items_.size() < limit_) return items_.emplace_back();
    T& slot = items_[start_];
    start_ = start_ + 1 == items_.size() ? 0 : start_ + 1;
    return slot;
  }
  void clear() {
    items_.clear();
    start_ = 0;
  }

 private:
  size_t limit_;
  std::vector<T> items_;
  size_t start_ = 0;  // index of the oldest entry
};

}  // namespace wendlar::sim
