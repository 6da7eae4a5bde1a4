// Runs the real binary on worlds made for each case, with piped input, and
// compares the whole console transcript and the whole log file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "leveldb/zlib_compressor.h"
#include "tests/crafted_worlds.h"
#include "tests/golden.h"
#include "tests/run_fixture.h"
#include "tests/test_support.h"
#include "tools/world_surgery.h"
#include "tools/world_writer.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;

class EndToEndTest : public RunFixture {};

TEST_F(EndToEndTest, WorldNotFound) {
  fs::create_directories(cwd_ + "/w/db");  // a database without levelname.txt
  // Arguments after the first are ignored.
  const ToolRun run = Run("1000\ny\n", {"w", "other"});
  Transcript t = Opening(run, "w");
  t.Both("   |- ERROR: World Not Found");
  ExpectTranscript(t, run);
  EXPECT_EQ(0, run.exit_code);
}

TEST_F(EndToEndTest, NoArgumentUsesTheWorldFolder) {
  const ToolRun run = Run("", {});
  const std::string name = LogName(run);
  Transcript t;
  t.Console("Quorvales...").Console("Outputting Log to: " + name);
  t.Log("Quorvales Program Started - " + StartStamp(name));
  t.Both("1. Starting Process...");
  t.Both(std::string("Usage: ") + QUORVALES_BINARY + " <world_directory>");
  t.Both("2. Using default directory <world/db>");
  t.Both("3. Checking world files...");
  t.Both("   |- ERROR: World Not Found");
  ExpectTranscript(t, run);
}

// Answers that do not confirm, with what the limit read leaves behind.
TEST_F(EndToEndTest, NotConfirmed) {
  struct Case {
    std::string input, limit;
  };
  const Case cases[] = {
      {"250\nn\n", "250"},   {"1000\nyes\n", "1000"},
      {"12.7\ny\n", "12"},   {"abc\ny\n", "1000"},
      {"", "1000"},          {"99999999999\nN\n", "1000"},
      {"\n\n-5\nN\n", "-5"}, {"3000000 no", "3e+06"},
  };
  MakeWorld(TicksWorld());
  const auto before = Dump();
  for (const Case& c : cases) {
    const ToolRun run = Run(c.input);
    Transcript t = Opening(run, "w");
    Prompts(&t, "Test World", c.limit);
    t.Both("Process Aborted.").Console("Done.");
    ExpectTranscript(t, run);
    EXPECT_EQ(0, run.exit_code) << c.input;
  }
  EXPECT_EQ(before, Dump());
}

TEST_F(EndToEndTest, DatabaseDoesNotOpen) {
  fs::create_directory(cwd_ + "/w");
  std::ofstream(cwd_ + "/w/levelname.txt") << "Empty\r\nsecond line\n";
  const ToolRun run = Run("1000 y");
  Transcript t = Opening(run, "w");
  Prompts(&t, "Empty", "1000");
  t.Console("Confirmed...");
  t.Both("4. Setting LevelDB options...").Both("5. Loading w/db...");
  t.Both("Opening w/db failed.");
  ExpectTranscript(t, run);
  EXPECT_EQ(1, run.exit_code);
  // LevelDB makes the folder and its LOCK file, but no database.
  EXPECT_FALSE(fs::exists(cwd_ + "/w/db/CURRENT"));
}

TEST_F(EndToEndTest, CompletedRunMarksAndDeletes) {
  MakeWorld(TicksWorld());
  const auto before = Dump();
  const ToolRun run = Run("1000\ny\n");
  ExpectTranscript(TicksWorldCompleted(run), run);
  EXPECT_EQ(0, run.exit_code);

  auto expected = before;
  expected.erase(ChunkKey(2, 5, 0, kPendingTicks));
  expected.erase(ChunkKey(12, -3, 0, kPendingTicks));
  EXPECT_EQ(expected, Dump());
}

TEST_F(EndToEndTest, NothingMarked) {
  MakeWorld(TicksWorld());
  const ToolRun run = Run("50000\ny\n");
  Transcript t = Opening(run, "w");
  Prompts(&t, "Test World", "50000");
  Confirmed(&t, "w/db");
  t.Both("   |- Chunk [0,0] within Data Limit [0.5kB / 5e+01KB]");
  t.Both("   |- Chunk [1,0] within Data Limit [1kB / 5e+01KB]");
  t.Both("   |- Chunk [2,5] within Data Limit [1kB / 5e+01KB]");
  t.Both("   |- Chunk [12,-3] within Data Limit [2kB / 5e+01KB]");
  t.Both("10. Quorvale Data Deleted");
  Stats(&t, 7, 4, 0, 0,
        {"   |- Quorvale data found on 57% of the world's chunks",
         "   |- No chunks were marked for deletion.",
         "   |- No data was deleted."});
  MapLine(&t, run);
  Closing(&t, "0s");
  ExpectTranscript(t, run);
}

TEST_F(EndToEndTest, EmptyWorld) {
  MakeWorld({{"BiomeData", "b"}, {"map_12343", std::string(5000, 'm')}}, "");
  const ToolRun run = Run("0\ny\n");
  Transcript t = Opening(run, "w");
  // An empty levelname.txt gives no name line, and an empty name.
  Prompts(&t, "", "0", false);
  Confirmed(&t, "w/db");
  t.Both("10. Quorvale Data Deleted");
  // Both names have chunk-key lengths: counted, never Quorvale records.
  Stats(&t, 2, 0, 0, 0,
        {"   |- No chunks contained Quorvale Data.",
         "   |- No chunks were marked for deletion.",
         "   |- No data was deleted."});
  Closing(&t, "0s");
  ExpectTranscript(t, run);
  EXPECT_EQ(2u, Dump().size());
}

// Limits of 0 and below, and records in all three dimensions.
TEST_F(EndToEndTest, AllDimensionsAndLimitEdges) {
  MakeWorld({
      {ChunkKey(3, 3, 0, kPendingTicks), ""},
      {ChunkKey(3, 4, 0, kPendingTicks), "x"},
      {ChunkKey(-7, 2, 1, kPendingTicks), std::string(300, 'n')},
      {ChunkKey(-7, 2, 1, kSubChunk, 2), std::string(300, 's')},
      {ChunkKey(4, -9, 2, kPendingTicks), std::string(40, 'e')},
      {ChunkKey(4, -9, 2, kSubChunk, kPendingTicks), std::string(2, 'e')},
  });
  struct Case {
    std::string input, limit;
    bool empty_marked;
  };
  const Case cases[] = {{"0 y", "0", false}, {"-1 y", "-1", true}};
  for (const Case& c : cases) {
    TempDir copy;
    CopyTree(cwd_ + "/w", copy.path() + "/w");
    const ToolRun run = RunTool(copy.path(), {"w"}, c.input);
    Transcript t = Opening(run, "w");
    Prompts(&t, "Test World", c.limit);
    Confirmed(&t, "w/db");
    const std::string empty_line =
        c.empty_marked
            ? "   |- Chunk [3,3] over Data Limit [0.0kB / -0.0KB] - Marked"
            : "   |- Chunk [3,3] within Data Limit [0kB / 0KB]";
    const std::string limit_kb = c.empty_marked ? "-0.0" : "0.0";
    t.Both(empty_line);
    t.Both("   |- Chunk [3,4] over Data Limit [0.0kB / " + limit_kb +
           "KB] - Marked");
    t.Both("   |- Chunk [4,-9] over Data Limit [0.0kB / " + limit_kb +
           "KB] - Marked");
    t.Both("   |- Chunk [-7,2] over Data Limit [0.3kB / " + limit_kb +
           "KB] - Marked");
    const int marked = c.empty_marked ? 4 : 3;
    t.Both("8. Marked " + std::to_string(marked) +
           " containing Quorvale Data over specified limit.");
    t.Both("9. Deleting marked chunks");
    t.Both("   |- Deleting Quorvale data from Other chunk >> X: -7 Z: 2");
    if (c.empty_marked) {
      t.Both("   |- Deleting Quorvale data from Overworld chunk >> X: 3 Z: 3");
    }
    t.Both("   |- Deleting Quorvale data from Overworld chunk >> X: 3 Z: 4");
    t.Both("   |- Deleting Quorvale data from Other chunk >> X: 4 Z: -9");
    t.Both("10. Quorvale Data Deleted");
    const std::string deleted_pct = c.empty_marked ? "66.67" : "50.00";
    Stats(&t, 6, 4, marked, marked,
          {"   |- Quorvale data found on 66.67% of the world's chunks",
           "   |- Quorvale data deleted from " + deleted_pct +
               "% of the world's chunks"});
    MapLine(&t, run);
    KeptBackup(&t, run);
    Closing(&t, "0.00s");
    ExpectTranscript(t, run);

    std::map<std::string, std::string> left;
    ASSERT_TRUE(DumpDatabase(copy.path() + "/w/db", &left).ok());
    EXPECT_EQ(c.empty_marked ? 2u : 3u, left.size());
    EXPECT_EQ(1u, left.count(ChunkKey(-7, 2, 1, kSubChunk, 2)));
    EXPECT_EQ(1u, left.count(ChunkKey(4, -9, 2, kSubChunk, kPendingTicks)));
  }
}

// Filler records that fill the first blocks, sorted before every chunk key,
// then a few tick records.
std::vector<WorldRecord> BlocksWorld() {
  std::mt19937_64 rng(7);
  std::vector<WorldRecord> records;
  for (int i = 0; i < 500; ++i) {
    std::string value(1000, '\0');
    for (char& c : value) c = static_cast<char>(rng());
    char key[16];
    std::snprintf(key, sizeof(key), "filler%05d", i);
    records.push_back({std::string(1, '\0') + key, value});
  }
  for (int x = 5; x < 8; ++x) {
    records.push_back(
        {ChunkKey(x, 1, 0, kPendingTicks), std::string(2000, 't')});
  }
  return records;
}

TEST_F(EndToEndTest, ScanErrorDeletesNothing) {
  MakeWorld(BlocksWorld());
  const auto before = Dump();
  std::string table;
  for (const auto& entry : fs::directory_iterator(cwd_ + "/w/db")) {
    if (entry.path().extension() == ".ldb") table = entry.path().string();
  }
  ASSERT_FALSE(table.empty());
  char original;
  {
    std::fstream f(table, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(5000);
    f.get(original);
    f.seekp(5000);
    f.put(static_cast<char>(original ^ 0x5a));
  }
  const ToolRun run = Run("1000\ny\n");
  Transcript t = Opening(run, "w");
  Prompts(&t, "Test World", "1000");
  Confirmed(&t, "w/db");
  for (int x = 5; x < 8; ++x) {
    t.Both("   |- Chunk [" + std::to_string(x) +
           ",1] over Data Limit [2.0kB / 1.0KB] - Marked");
  }
  t.Both(
      "   |- ERROR: World database read failed: Corruption: block "
      "checksum mismatch");
  Stats(&t, 3, 3, 3, 0,
        {"   |- Quorvale data found on 100.00% of the world's chunks",
         "   |- No data was deleted."});
  Closing(&t, "0.00s");
  ExpectTranscript(t, run);
  EXPECT_EQ(1, run.exit_code);

  // With the byte mended, every record is there as before.
  {
    std::fstream f(table, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(5000);
    f.put(original);
  }
  EXPECT_EQ(before, Dump());
}

// Crafted worlds whose every checksum holds: the sizes and lengths they
// state are checked against what the files hold, so each run ends with its
// error line (or runs as usual where the damage is in data that can be
// done without), under an address-space limit that an allocation of the
// stated size would break, and the world is left as it was.
TEST_F(EndToEndTest, CraftedWorldsAreRefusedSafely) {
  for (const CraftedWorld& c : CraftedWorlds()) {
    SCOPED_TRACE(c.name);
    fs::remove_all(cwd_ + "/w");
    MakeWorld(TicksWorld());
    const std::string db = cwd_ + "/w/db";
    const auto before = Dump();
    const DatabaseFiles original = ReadDatabaseFiles(db);
    const std::string table = LargestTable(original);
    ASSERT_FALSE(table.empty());
    DatabaseFiles crafted = original;
    ASSERT_TRUE(c.craft(&crafted, table));
    fs::remove_all(db);
    ASSERT_TRUE(WriteDatabaseFiles(db, crafted));

    RunSettings settings;
    settings.address_space_limit = 256l << 20;
    const ToolRun run = Run("1000\ny\n", {"w"}, settings);
    Transcript t;
    if (c.ending == CraftedWorld::kFine) {
      t = TicksWorldCompleted(run);
    } else if (c.ending == CraftedWorld::kOpenFails) {
      t = Opening(run, "w");
      Prompts(&t, "Test World", "1000");
      t.Console("Confirmed...");
      t.Both("4. Setting LevelDB options...").Both("5. Loading w/db...");
      t.Both("Opening w/db failed.");
    } else {
      t = Opening(run, "w");
      Prompts(&t, "Test World", "1000");
      Confirmed(&t, "w/db");
      std::string error = c.error;
      if (error.back() == ' ') error += "w/db/" + table;
      t.Both("   |- ERROR: World database read failed: Corruption: " + error);
      Stats(&t, 0, 0, 0, 0,
            {"   |- No chunks contained Quorvale Data.",
             "   |- No chunks were marked for deletion.",
             "   |- No data was deleted."});
      Closing(&t, "0s");
    }
    ExpectTranscript(t, run);
    EXPECT_EQ(c.ending == CraftedWorld::kFine ? 0 : 1, run.exit_code);

    if (c.ending == CraftedWorld::kOpenFails) {
      EXPECT_TRUE(crafted == ReadDatabaseFiles(db));
    }
    // With the crafted files put back as they were, the records are the
    // world's before the run, less the marked ones after a completed run.
    DatabaseFiles now = ReadDatabaseFiles(db);
    ASSERT_TRUE(ReplaceTable(&now, table, original.at(table)));
    for (const auto& [name, contents] : original) {
      if (fs::path(name).extension() == ".log" && now.count(name) != 0) {
        now[name] = contents;
      }
    }
    ASSERT_TRUE(WriteDatabaseFiles(db, now));
    auto expected = before;
    if (c.ending == CraftedWorld::kFine) {
      expected.erase(ChunkKey(2, 5, 0, kPendingTicks));
      expected.erase(ChunkKey(12, -3, 0, kPendingTicks));
    }
    EXPECT_TRUE(expected == Dump());
  }
}

// A level-name file that would block its reader or never end: the world is
// there, without a name, and the run goes on at once.
TEST_F(EndToEndTest, SpecialLevelNameFiles) {
  MakeWorld(TicksWorld());
  const std::string level_name = cwd_ + "/w/levelname.txt";
  struct Case {
    const char* name;
    void (*make)(const std::string& path);
  };
  const Case cases[] = {
      {"link to /dev/zero",
       [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
      {"FIFO",
       [](const std::string& p) { ASSERT_EQ(0, mkfifo(p.c_str(), 0644)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.name[0] == 'l' && !fs::exists("/dev/zero")) continue;
    fs::remove(level_name);
    c.make(level_name);
    RunSettings settings;
    settings.address_space_limit = 256l << 20;
    const ToolRun run = Run("1000 n", {"w"}, settings);
    Transcript t = Opening(run, "w");
    Prompts(&t, "", "1000", false);
    t.Both("Process Aborted.").Console("Done.");
    ExpectTranscript(t, run);
    EXPECT_EQ(0, run.exit_code);
  }
}

// A database folder holding a FIFO or a link to a device is not opened:
// LevelDB would wait on the one and read the other without end.
TEST_F(EndToEndTest, SpecialFilesInTheDatabase) {
  MakeWorld(TicksWorld());
  const auto before = Dump();
  const std::string current = cwd_ + "/w/db/CURRENT";
  const std::string manifest = ReadFile(current);
  fs::remove(current);
  fs::create_symlink("/dev/zero", current);
  RunSettings settings;
  settings.address_space_limit = 256l << 20;
  ToolRun run = Run("1000\ny\n", {"w"}, settings);
  Transcript t = Opening(run, "w");
  Prompts(&t, "Test World", "1000");
  t.Console("Confirmed...");
  t.Both("4. Setting LevelDB options...").Both("5. Loading w/db...");
  t.Both("Opening w/db failed.");
  ExpectTranscript(t, run);
  EXPECT_EQ(1, run.exit_code);

  fs::remove(current);
  std::ofstream(current) << manifest;
  ASSERT_EQ(0, mkfifo((cwd_ + "/w/db/000099.log").c_str(), 0644));
  run = Run("1000\ny\n", {"w"}, settings);
  EXPECT_EQ(1, run.exit_code);
  EXPECT_NE(std::string::npos, run.console.find("\nOpening w/db failed.\n"));
  fs::remove(cwd_ + "/w/db/000099.log");
  EXPECT_TRUE(before == Dump());
}

TEST_F(EndToEndTest, BatchWriteFailureDeletesNothing) {
  std::vector<WorldRecord> records;
  for (int x = 0; x < 250; ++x) {
    records.push_back(
        {ChunkKey(x, 0, 0, kPendingTicks), std::string(1500, 't')});
  }
  MakeWorld(records);
  const auto before = Dump();
  // The open's small files fit under the limit; the batch's log record,
  // about 4 KB, does not.
  RunSettings settings;
  settings.file_size_limit = 2048;
  const ToolRun run = Run("1000\ny\n", {"w"}, settings);
  Transcript t = Opening(run, "w");
  Prompts(&t, "Test World", "1000");
  Confirmed(&t, "w/db");
  for (int x = 0; x < 250; ++x) {
    t.Both("   |- Chunk [" + std::to_string(x) +
           ",0] over Data Limit [1.5kB / 1.0KB] - Marked");
  }
  t.Both("8. Marked 250 containing Quorvale Data over specified limit.");
  t.Both("9. Deleting marked chunks");
  for (int x = 0; x < 250; ++x) {
    t.Both("   |- Deleting Quorvale data from Overworld chunk >> X: " +
           std::to_string(x) + " Z: 0");
  }
  const std::string error_line = "   |- ERROR: Deleting failed: ";
  const size_t at = run.console.find(error_line);
  ASSERT_NE(std::string::npos, at) << run.console;
  const std::string error =
      run.console.substr(at, run.console.find('\n', at) - at);
  EXPECT_NE(std::string::npos, error.find("IO error")) << error;
  t.Both(error);
  Stats(&t, 250, 250, 250, 0,
        {"   |- Quorvale data found on 100.00% of the world's chunks",
         "   |- No data was deleted."});
  Closing(&t, "0.00s");
  EXPECT_EQ(t.console(), run.console);
  // The log itself stops growing at the limit: what it holds is the start
  // of the full log.
  EXPECT_EQ(0u, t.log().find(run.log));
  EXPECT_EQ(1, run.exit_code);
  EXPECT_EQ(before, Dump());
  // Nothing was deleted, so the backup is gone again.
  for (const auto& entry : fs::directory_iterator(cwd_ + "/w")) {
    EXPECT_NE(0u, entry.path().filename().string().rfind("quorvaleBackup", 0));
  }
}

TEST_F(EndToEndTest, LogThatCannotBeCreatedIsSilent) {
  MakeWorld(TicksWorld());
  const std::string world = fs::absolute(cwd_ + "/w").string();
  const std::string gone = dir_.path() + "/gone";
  fs::create_directory(gone);
  RunSettings settings;
  settings.remove_cwd = true;
  const ToolRun run = RunTool(gone, {world}, "250\nno\n", settings);
  Transcript t = Opening(run, world);
  Prompts(&t, "Test World", "250");
  t.Both("Process Aborted.").Console("Done.");
  EXPECT_EQ(t.console(), run.console);
  EXPECT_EQ("", run.log_name);
  EXPECT_EQ(0, run.exit_code);
}

// The game's own worlds: exactly the tick records over 1000 bytes go, and
// every other record keeps its value.
TEST_F(EndToEndTest, FixtureWorldsArePurgedAsPredicted) {
  const std::string fixtures = FixtureWorldsDir();
  if (fixtures.empty()) GTEST_SKIP() << "no shared fixture worlds here";
  struct Case {
    const char* world;
    std::vector<std::string> deleted;
  };
  const Case cases[] = {
      {"game-1.21.72-example2",
       {ChunkKey(-2, 3, 0, kPendingTicks), ChunkKey(5, 2, 0, kPendingTicks)}},
      {"game-1.19.70-example3", {}},
      {"game-1.18.30-no-ticks", {}},
  };
  for (const Case& c : cases) {
    TempDir copy;
    CopyTree(fixtures + "/" + c.world, copy.path() + "/w");
    std::map<std::string, std::string> expected;
    ASSERT_TRUE(DumpDatabase(copy.path() + "/w/db", &expected).ok());
    const ToolRun run = RunTool(copy.path(), {"w"}, "1000\ny\n");
    EXPECT_EQ(0, run.exit_code) << c.world;
    EXPECT_EQ(std::string::npos, run.console.find("ERROR")) << run.console;
    for (const std::string& key : c.deleted) {
      EXPECT_EQ(1u, expected.erase(key)) << c.world;
    }
    const std::string marked = "8. Marked " + std::to_string(c.deleted.size());
    EXPECT_EQ(!c.deleted.empty(), run.console.find(marked) != std::string::npos)
        << run.console;
    std::map<std::string, std::string> after;
    ASSERT_TRUE(DumpDatabase(copy.path() + "/w/db", &after).ok());
    EXPECT_TRUE(expected == after) << c.world;
  }
}

// The transcripts that the Windows build is held to as well.
TEST_F(EndToEndTest, TranscriptsMatchTheGoldenFiles) {
  const std::string fixtures = FixtureWorldsDir();
  struct Case {
    const char* name;
    bool fixture_world;  // else a folder with levelname.txt only
    const char* world_arg;
    const char* input;
    int exit_code;
  };
  const Case cases[] = {
      {"completed", true, "w", "1000\ny\n", 0},
      {"not_confirmed", true, "w", "1000\nn\n", 0},
      {"world_not_found", false, "missing", "", 0},
      {"open_failed", false, "w", "1000\ny\n", 1},
  };
  for (const Case& c : cases) {
    TempDir run_dir;
    if (c.fixture_world) {
      if (fixtures.empty()) continue;
      CopyTree(fixtures + "/game-1.21.72-example2", run_dir.path() + "/w");
    } else {
      fs::create_directory(run_dir.path() + "/w");
      std::ofstream(run_dir.path() + "/w/levelname.txt") << "No Database\n";
    }
    const ToolRun run = RunTool(run_dir.path(), {c.world_arg}, c.input);
    EXPECT_EQ(c.exit_code, run.exit_code) << c.name;
    EXPECT_EQ(
        ReadGolden(QUORVALES_GOLDEN_DIR, std::string(c.name) + ".console"),
        MaskRunDetails(run.console))
        << c.name;
    EXPECT_EQ(ReadGolden(QUORVALES_GOLDEN_DIR, std::string(c.name) + ".log"),
              MaskRunDetails(run.log))
        << c.name;
    // Only the completed run writes a map; the Windows build must write
    // the same bytes.
    EXPECT_EQ(c.name == std::string("completed")
                  ? ReadGolden(QUORVALES_GOLDEN_DIR, "completed.map.html")
                  : "",
              MaskMapDate(run.map))
        << c.name;
  }
}

// Whatever arrives on standard input, the run ends on its own with its exit
// code and no standard error, and the world changes only when confirmed.
TEST_F(EndToEndTest, HostileInputEndsCleanly) {
  MakeWorld(TicksWorld());
  const auto before = Dump();
  auto purged = before;
  purged.erase(ChunkKey(2, 5, 0, kPendingTicks));
  purged.erase(ChunkKey(12, -3, 0, kPendingTicks));
  struct Case {
    const char* name;
    std::string input;
    std::string limit_echo;
    bool confirmed;
  };
  const Case cases[] = {
      {"binary limit", std::string("\x01\xff\0 12\ny\n", 9), "1000", false},
      {"NUL after y", "1000\n" + std::string("y\0\n", 3), "1000", false},
      {"NUL before y", std::string("\0y\n", 3), "1000", false},
      {"1 MB of digits", std::string(1 << 20, '7') + "\ny\n", "1000", true},
      {"1 MB answer", "1000\n" + std::string(1 << 20, 'y'), "1000", false},
      {"end after limit", "1000", "1000", false},
      {"below int32", "-2147483649\nn\n", "1000", false},
      {"int32 minimum", "-2147483648\nn\n", "-2.14748e+09", false},
  };
  for (const Case& c : cases) {
    TempDir copy;
    CopyTree(cwd_ + "/w", copy.path() + "/w");
    const ToolRun run = RunTool(copy.path(), {"w"}, c.input);
    EXPECT_EQ(0, run.exit_code) << c.name;
    EXPECT_EQ(std::string::npos, run.console.find("[stderr]")) << c.name;
    EXPECT_NE(
        std::string::npos,
        run.console.find("\nData Limit set to: " + c.limit_echo + " bytes\n"))
        << c.name;
    const std::string ending =
        c.confirmed ? "Time taken: 0.00s\n" : "Process Aborted.\nDone.\n";
    EXPECT_EQ(ending,
              run.console.substr(run.console.size() -
                                 std::min(run.console.size(), ending.size())))
        << c.name;
    std::map<std::string, std::string> after;
    ASSERT_TRUE(DumpDatabase(copy.path() + "/w/db", &after).ok());
    EXPECT_TRUE((c.confirmed ? purged : before) == after) << c.name;
  }
}

// World paths are used exactly as typed: spaces, non-ASCII letters and a
// trailing slash included.
TEST_F(EndToEndTest, WorldPathsAsTyped) {
  MakeWorld(TicksWorld(), "Wörld\n");
  fs::rename(cwd_ + "/w", cwd_ + "/my wörld");
  const ToolRun run = Run("99999 n", {"my wörld/"});
  Transcript t = Opening(run, "my wörld/");
  Prompts(&t, "Wörld", "99999");
  t.Both("Process Aborted.").Console("Done.");
  ExpectTranscript(t, run);
}

TEST_F(EndToEndTest, OddWorldFiles) {
  // levelname.txt that is a folder: the world is there, without a name.
  MakeWorld(TicksWorld());
  fs::remove(cwd_ + "/w/levelname.txt");
  fs::create_directory(cwd_ + "/w/levelname.txt");
  ToolRun run = Run("1000 y");
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(std::string::npos, run.console.find("World Name"));
  EXPECT_NE(std::string::npos, run.console.find("10. Quorvale Data Deleted"));

  // A db that is a regular file does not open.
  fs::remove_all(cwd_ + "/w/db");
  std::ofstream(cwd_ + "/w/db") << "not a database";
  run = Run("1000 y");
  EXPECT_EQ(1, run.exit_code);
  EXPECT_NE(std::string::npos, run.console.find("\nOpening w/db failed.\n"));
  EXPECT_EQ("not a database", ReadFile(cwd_ + "/w/db"));
}

TEST_F(EndToEndTest, OddLevelNames) {
  struct Case {
    const char* name;
    std::string content;
    std::string world_name;
  };
  const Case cases[] = {
      {"huge", "Big\n" + std::string(100 << 20, 'b'), "Big"},
      {"binary", std::string("\x01\xff\0z\r\nrest", 10),
       std::string("\x01\xff\0z", 4)},
  };
  MakeWorld(TicksWorld());
  for (const Case& c : cases) {
    std::ofstream(cwd_ + "/w/levelname.txt", std::ios::binary) << c.content;
    const ToolRun run = Run("1000 n");
    Transcript t = Opening(run, "w");
    Prompts(&t, c.world_name, "1000");
    t.Both("Process Aborted.").Console("Done.");
    ExpectTranscript(t, run);
  }
}

// Keys of every length from 0 to 64 with random bytes, and a 20 MB tick
// record: exactly the tick records over the limit go.
TEST_F(EndToEndTest, RandomKeysAndHugeValues) {
  std::mt19937_64 rng(11);
  std::vector<WorldRecord> records;
  for (size_t length = 0; length <= 64; ++length) {
    for (int copy = 0; copy < 4; ++copy) {
      std::string key(length, '\0');
      for (char& c : key) c = static_cast<char>(rng());
      // Half of the chunk-length keys get small coordinates and tag 51.
      if ((length == 9 || length == 10 || length == 13 || length == 14) &&
          copy % 2 == 0) {
        key[2] = key[3] = key[6] = key[7] = '\0';
        key[length > 12 ? 12 : 8] = 51;
      }
      records.push_back({key, std::string(rng() % 3000, 'v')});
    }
  }
  records.push_back(
      {ChunkKey(-9, 9, 0, kPendingTicks), std::string(20 << 20, 'h')});
  records.push_back({ChunkKey(-9, 10, 0, kPendingTicks), ""});
  MakeWorld(records);
  const auto before = Dump();
  std::vector<std::string> marked;
  for (const auto& [key, value] : before) {
    const size_t n = key.size();
    if (n != 9 && n != 10 && n != 13 && n != 14) continue;
    int32_t x, z;
    std::memcpy(&x, key.data(), 4);
    std::memcpy(&z, key.data() + 4, 4);
    const bool near = std::abs(static_cast<int64_t>(x)) < (1 << 24) &&
                      std::abs(static_cast<int64_t>(z)) < (1 << 24);
    if (near && key[n > 12 ? 12 : 8] == 51 && value.size() > 1000) {
      marked.push_back(key);
    }
  }
  ASSERT_GT(marked.size(), 4u);
  const ToolRun run = Run("1000\ny\n");
  EXPECT_EQ(0, run.exit_code);
  EXPECT_NE(std::string::npos,
            run.console.find("] over Data Limit [20971.5kB / 1.0KB] - Marked"));
  EXPECT_NE(std::string::npos,
            run.console.find("8. Marked " + std::to_string(marked.size()) +
                             " containing"));
  EXPECT_EQ("", ListingDifference(before, Dump(), marked));
}

}  // namespace
}  // namespace quorvales
