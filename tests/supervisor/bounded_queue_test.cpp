// The queue between the pipe's reader and the log's writer: never past its bound, every drop
// counted where it fell, a life's records always taken.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "bounded_queue.h"

namespace korvi::supervisor {
namespace {

TEST(BoundedQueueTest, DropsPastTheBoundAndSaysWhere) {
  BoundedQueue<std::string> queue(10);
  EXPECT_TRUE(queue.Offer("aaaa", 4));
  EXPECT_TRUE(queue.Offer("bbbbbb", 6));  // exactly at the bound
  EXPECT_FALSE(queue.Offer("c", 1));
  EXPECT_FALSE(queue.Offer("dd", 2));
  queue.Put("end");  // a life's record goes in all the same, after the gap
  EXPECT_FALSE(queue.Offer("e", 1));

  auto batch = queue.Take();
  ASSERT_EQ(batch.entries.size(), 3u);
  EXPECT_EQ(batch.entries[0].item, "aaaa");
  EXPECT_FALSE(batch.entries[1].droppedBefore.any());
  EXPECT_EQ(batch.entries[2].item, "end");
  EXPECT_EQ(batch.entries[2].droppedBefore.items, 2u);
  EXPECT_EQ(batch.entries[2].droppedBefore.bytes, 3u);
  EXPECT_EQ(batch.droppedAfter.items, 1u);
  EXPECT_EQ(batch.droppedAfter.bytes, 1u);
  EXPECT_FALSE(batch.closed);

  // Taken, the room is free again; the gap was told once.
  EXPECT_TRUE(queue.Offer("ffffffffff", 10));
  EXPECT_FALSE(queue.Offer("g", 1));
  queue.Close();
  batch = queue.Take();
  ASSERT_EQ(batch.entries.size(), 1u);
  EXPECT_FALSE(batch.entries[0].droppedBefore.any());
  EXPECT_EQ(batch.droppedAfter.items, 1u);
  EXPECT_TRUE(batch.closed);
  batch = queue.Take();  // closed: answers at once, empty
  EXPECT_TRUE(batch.entries.empty());
  EXPECT_TRUE(batch.closed);
}

TEST(BoundedQueueTest, OneChunkLargerThanTheBoundIsDropped) {
  BoundedQueue<std::string> queue(4);
  EXPECT_FALSE(queue.Offer("12345", 5));
  queue.Close();
  const auto batch = queue.Take();
  EXPECT_EQ(batch.droppedAfter.bytes, 5u);
}

// The reader and the writer on two threads, as in the supervisor: whatever the interleaving,
// every chunk is either taken or counted as dropped, once, in order.
TEST(BoundedQueueTest, TwoThreadsLoseNothingUncounted) {
  constexpr int kChunks = 20000;
  BoundedQueue<int> queue(64);
  std::thread reader([&queue] {
    for (int i = 0; i < kChunks; ++i) queue.Offer(i, 8);
    queue.Close();
  });
  std::size_t taken = 0, dropped = 0;
  int last = -1;
  for (bool closed = false; !closed;) {
    auto batch = queue.Take();
    for (const auto& entry : batch.entries) {
      dropped += entry.droppedBefore.items;
      EXPECT_GT(entry.item, last);
      last = entry.item;
      ++taken;
    }
    dropped += batch.droppedAfter.items;
    closed = batch.closed;
  }
  reader.join();
  EXPECT_EQ(taken + dropped, static_cast<std::size_t>(kChunks));
}

}  // namespace
}  // namespace korvi::supervisor
