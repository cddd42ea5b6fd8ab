// What the pipe's reader hands to the log's writer. The reader must never wait for the disk
// (the service's fflush waits on the pipe, and the pipe on the reader), so the queue holds at
// most a fixed number of bytes of console output: what would pass that is dropped and
// counted, and the writer learns exactly where the gap fell. The records of a life (its start
// and end) are few and small, and are always taken.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace korvi::supervisor {

struct Gap {
  std::size_t items = 0;
  std::size_t bytes = 0;
  bool any() const noexcept { return items > 0; }
};

template <typename T>
class BoundedQueue {
 public:
  struct Entry {
    Gap droppedBefore;  // what was dropped between the entry before this one and this one
    T item;
  };
  struct Batch {
    std::vector<Entry> entries;
    Gap droppedAfter;  // dropped after the last entry, nothing taken since
    bool closed = false;  // Close was called and this is all there is
  };

  explicit BoundedQueue(std::size_t capacityBytes) : capacity_(capacityBytes) {}

  // Console output of `bytes` bytes: refused (and counted) when it would pass the bound.
  bool Offer(T item, std::size_t bytes) {
    {
      std::lock_guard lock(mutex_);
      if (bytes > capacity_ - std::min(capacity_, held_)) {
        ++gap_.items;
        gap_.bytes += bytes;
        return false;
      }
      held_ += bytes;
      Append(std::move(item), bytes);
    }
    ready_.notify_one();
    return true;
  }

  // A record that is always taken, bound or not.
  void Put(T item) {
    {
      std::lock_guard lock(mutex_);
      Append(std::move(item), 0);
    }
    ready_.notify_one();
  }

  // No more will come; Take answers what is left and then closed batches.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    ready_.notify_all();
  }

  // Waits until something is queued (or the queue is closed) and takes all of it.
  Batch Take() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return !entries_.empty() || gap_.any() || closed_; });
    Batch batch;
    batch.entries = std::move(entries_);
    entries_.clear();
    batch.droppedAfter = std::exchange(gap_, Gap{});
    batch.closed = closed_;
    held_ = 0;
    return batch;
  }

 private:
  void Append(T item, std::size_t) {
    entries_.push_back(Entry{std::exchange(gap_, Gap{}), std::move(item)});
  }

  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<Entry> entries_;
  std::size_t held_ = 0;  // console bytes queued
  Gap gap_;               // dropped since the last entry
  bool closed_ = false;
};

}  // namespace korvi::supervisor
