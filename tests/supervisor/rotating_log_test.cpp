// The log on disk: held to files x fileBytes whatever is written, the newest lines in the
// current file, the oldest file dropped, an earlier log's size counted, a write that cannot
// happen counted and never fatal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "rotating_log.h"

namespace korvi::supervisor {
namespace {

namespace fs = std::filesystem;

class RotatingLogTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("korvi-rotating-log-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path folder_;
};

TEST_F(RotatingLogTest, HoldsAFixedTotalAndKeepsTheNewest) {
  constexpr std::size_t kFileBytes = 100;
  constexpr int kFiles = 3;
  {
    RotatingLog log(folder_, kFileBytes, kFiles);
    for (int i = 0; i < 200; ++i) log.Write("line " + std::to_string(i) + " of the flood");  // 18-20 bytes each
    log.Flush();
    EXPECT_EQ(log.lostLines(), 0u);
  }
  std::size_t total = 0;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_LE(entry.file_size(), kFileBytes) << entry.path();
    total += entry.file_size();
    ++files;
  }
  EXPECT_EQ(files, kFiles);
  EXPECT_LE(total, kFileBytes * kFiles);
  // The newest line closes the current file; the files read oldest (2) to newest (0) in order.
  const std::string all = Read(folder_ / "korvi-supervisor.2.log") + Read(folder_ / "korvi-supervisor.1.log") +
                          Read(folder_ / "korvi-supervisor.log");
  EXPECT_TRUE(all.ends_with("line 199 of the flood\n"));
  std::istringstream lines(all);
  std::string line;
  int previous = -1;
  while (std::getline(lines, line)) {
    const int number = std::stoi(line.substr(5));
    EXPECT_EQ(number, previous == -1 ? number : previous + 1) << "a line lost or out of order";
    previous = number;
  }
  EXPECT_EQ(previous, 199);
}

TEST_F(RotatingLogTest, AnEarlierLogCountsTowardsTheBound) {
  fs::create_directories(folder_);
  std::ofstream(folder_ / "korvi-supervisor.log", std::ios::binary) << std::string(90, 'x') << '\n';
  {
    RotatingLog log(folder_, 100, 2);
    log.Write("0123456789");  // 91 + 11 > 100: a new file
  }
  EXPECT_EQ(Read(folder_ / "korvi-supervisor.log"), "0123456789\n");
  EXPECT_EQ(Read(folder_ / "korvi-supervisor.1.log").size(), 91u);
}

TEST_F(RotatingLogTest, ALineLongerThanAFileIsCutToFit) {
  {
    RotatingLog log(folder_, 16, 2);
    log.Write(std::string(40, 'y'));
  }
  EXPECT_EQ(Read(folder_ / "korvi-supervisor.log"), std::string(15, 'y') + "\n");
}

// The header (the run record) opens every file the log starts and precedes this log's first
// line in a file an earlier one left; it is never written twice into one file, and the bound
// holds with it.
TEST_F(RotatingLogTest, EveryFileOpensWithTheHeader) {
  fs::create_directories(folder_);
  std::ofstream(folder_ / "korvi-supervisor.log", std::ios::binary) << "earlier\n";
  {
    RotatingLog log(folder_, 40, 3, "HEAD");
    for (int i = 0; i < 8; ++i) log.Write("line " + std::to_string(i));  // 7 bytes each
    log.Write(std::string(60, 'y'));  // cut to what a file holds beside its header
    log.Flush();
    EXPECT_EQ(log.lostLines(), 0u);
  }
  EXPECT_EQ(Read(folder_ / "korvi-supervisor.2.log"), "earlier\nHEAD\nline 0\nline 1\nline 2\n");
  EXPECT_EQ(Read(folder_ / "korvi-supervisor.1.log"), "HEAD\nline 3\nline 4\nline 5\nline 6\nline 7\n");
  EXPECT_EQ(Read(folder_ / "korvi-supervisor.log"), "HEAD\n" + std::string(34, 'y') + "\n");
  for (const auto& entry : fs::directory_iterator(folder_)) EXPECT_LE(entry.file_size(), 40u) << entry.path();
}

TEST_F(RotatingLogTest, AFolderThatCannotBeMadeLosesLinesWithoutFailing) {
  fs::create_directories(folder_);
  std::ofstream(folder_ / "file") << "not a folder";
  RotatingLog log(folder_ / "file" / "log", 100, 2);
  log.Write("one");
  log.Write("two");
  log.Flush();
  EXPECT_EQ(log.lostLines(), 2u);
}

}  // namespace
}  // namespace korvi::supervisor
