// The scan on one, two and seven threads: the same transcript, the same
// counters and the same deletes, byte for byte, on every kind of world.

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>
#include <sstream>

#include "chunks/scan_purge.h"
#include "chunks/scan_ranges.h"
#include "leveldb/zlib_compressor.h"
#include "tests/crafted_worlds.h"
#include "tests/test_support.h"
#include "tools/world_surgery.h"
#include "tools/world_writer.h"
#include "world/world_database.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;

struct ScanResult {
  std::string console, log;
  bool ok = false;
  bool dumped = false;
  std::map<std::string, std::string> after;
  size_t ranges = 0;
};

// Scans and purges a copy of the world's database on threads threads.
ScanResult ScanCopy(const std::string& world, float limit, int threads) {
  TempDir copy;
  CopyTree(world, copy.path() + "/w");
  const std::string db = copy.path() + "/w/db";
  ScanResult result;
  std::ostringstream console, log;
  Output out{console, log};
  {
    WorldDatabase database;
    if (!database.Open(db, out)) return result;
    result.ranges =
        PlanRanges(database.db(), threads * kRangesPerThread).size();
    RunCounters counters;
    std::vector<std::string> marked;
    result.ok =
        ScanMarkAndPurge(database, limit, out, &counters, &marked, threads);
    WriteBoth(out, counters.records_seen, " ", counters.quorvale_seen, " ",
              counters.marked, " ", counters.deleted);
    database.Close(out);
  }
  // The copies' folders differ; the rest must not.
  const auto without_folder = [&](std::string text) {
    for (size_t at = text.find(copy.path()); at != std::string::npos;
         at = text.find(copy.path(), at)) {
      text.replace(at, copy.path().size(), "copy");
    }
    return text;
  };
  result.console = without_folder(console.str());
  result.log = without_folder(log.str());
  // A damaged world does not read in full; what it reads must agree.
  result.dumped = DumpDatabase(db, &result.after).ok();
  return result;
}

class ParallelScanTest : public ::testing::Test {
 protected:
  // Every thread count gives what one thread gives; returns the most
  // ranges that a count split the world into.
  size_t ExpectSameForEveryCount(const std::string& world, float limit) {
    const ScanResult one = ScanCopy(world, limit, 1);
    EXPECT_NE(std::string::npos, one.console.find("7. Running Operation..."));
    size_t most_ranges = 1;
    for (int threads : {2, 7}) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      const ScanResult many = ScanCopy(world, limit, threads);
      EXPECT_EQ(one.console, many.console);
      EXPECT_EQ(one.log, many.log);
      EXPECT_EQ(one.ok, many.ok);
      EXPECT_EQ(one.dumped, many.dumped);
      EXPECT_TRUE(one.after == many.after);
      most_ranges = std::max(most_ranges, many.ranges);
    }
    return most_ranges;
  }

  std::string MakeWorld(const std::string& name, const WorldShape& shape,
                        int chunks = 1000) {
    const std::string folder = dir_.path() + "/" + name;
    fs::create_directory(folder);
    EXPECT_TRUE(
        WriteWorld(folder, name, SampleWorldRecords(5, chunks), &codec_, shape)
            .ok());
    return folder;
  }

  TempDir dir_;
  leveldb::ZlibCompressorRaw codec_;
};

TEST_F(ParallelScanTest, MadeWorldsOfEveryShape) {
  WorldShape small_blocks;
  small_blocks.block_size = 4096;
  // Many small level-0 tables that overlap, as writes leave them.
  WorldShape unsorted;
  unsorted.compact = false;
  unsorted.write_buffer_size = 256 << 10;
  const struct {
    const char* name;
    WorldShape shape;
    std::vector<float> limits;
  } worlds[] = {
      {"game blocks", WorldShape(), {0.0f, static_cast<float>(INT_MAX)}},
      {"small blocks", small_blocks, {1000.0f}},
      {"overlapping tables", unsorted, {1000.0f}}};
  for (const auto& w : worlds) {
    SCOPED_TRACE(w.name);
    const std::string world = MakeWorld(w.name, w.shape);
    for (float limit : w.limits) {
      SCOPED_TRACE(limit);
      EXPECT_GT(ExpectSameForEveryCount(world, limit), 1u);
    }
  }
}

// Keys written after the last compaction stay in the write-ahead log until
// the open replays them.
TEST_F(ParallelScanTest, KeysInTheLog) {
  const std::string world = MakeWorld("logged", WorldShape());
  {
    leveldb::Options options;
    options.compressors[0] = &codec_;
    leveldb::DB* db = nullptr;
    ASSERT_TRUE(leveldb::DB::Open(options, world + "/db", &db).ok());
    for (int x = -40; x < 40; ++x) {
      ASSERT_TRUE(db->Put(leveldb::WriteOptions(),
                          ChunkKey(x, 7, 0, kPendingTicks),
                          std::string(900 + 10 * (x + 40), 't'))
                      .ok());
    }
    delete db;
  }
  ExpectSameForEveryCount(world, 1000.0f);
}

TEST_F(ParallelScanTest, DamagedWorld) {
  const std::string world = MakeWorld("damaged", WorldShape());
  DatabaseFiles files = ReadDatabaseFiles(world + "/db");
  for (const CraftedWorld& c : CraftedWorlds()) {
    if (c.ending == CraftedWorld::kReadFails) {
      ASSERT_TRUE(c.craft(&files, LargestTable(files)));
      break;
    }
  }
  ASSERT_TRUE(WriteDatabaseFiles(world + "/db", files));
  EXPECT_FALSE(ScanCopy(world, 1000.0f, 1).ok);
  ExpectSameForEveryCount(world, 1000.0f);
}

TEST_F(ParallelScanTest, FixtureWorlds) {
  const std::string fixtures = FixtureWorldsDir();
  if (fixtures.empty()) GTEST_SKIP() << "no fixture worlds in ../shared";
  for (const auto& entry : fs::directory_iterator(fixtures)) {
    if (!entry.is_directory()) continue;
    SCOPED_TRACE(entry.path().filename().string());
    ExpectSameForEveryCount(entry.path().string(), 1000.0f);
  }
}

TEST(ScanRangesTest, RangesCoverTheKeysInOrderAndBalance) {
  TempDir dir;
  leveldb::ZlibCompressorRaw codec;
  const std::string world = dir.path() + "/w";
  fs::create_directory(world);
  WorldShape shape;
  shape.compact = false;
  shape.write_buffer_size = 128 << 10;
  ASSERT_TRUE(
      WriteWorld(world, "w", SampleWorldRecords(9, 1500), &codec, shape).ok());
  leveldb::Options options;
  options.compressors[0] = &codec;
  leveldb::DB* db = nullptr;
  ASSERT_TRUE(leveldb::DB::Open(options, world + "/db", &db).ok());
  const std::vector<KeyRange> ranges = PlanRanges(db, 16);
  ASSERT_GT(ranges.size(), 2u);
  EXPECT_LE(ranges.size(), 16u);
  EXPECT_TRUE(ranges.front().from_first);
  EXPECT_TRUE(ranges.back().to_last);
  for (size_t i = 0; i + 1 < ranges.size(); ++i) {
    EXPECT_FALSE(ranges[i].to_last);
    EXPECT_FALSE(ranges[i + 1].from_first);
    EXPECT_EQ(ranges[i].end, ranges[i + 1].begin);
    if (i > 0) {
      EXPECT_LT(ranges[i].begin, ranges[i].end);
    }
  }
  EXPECT_DOUBLE_EQ(1.0, RangeBalance(ranges, 1));
  EXPECT_GE(RangeBalance(ranges, 2), 1.0);
  EXPECT_LT(RangeBalance(ranges, 2), 1.5);
  delete db;
  EXPECT_GE(ScanThreads(), 1);
}

}  // namespace
}  // namespace quorvales
