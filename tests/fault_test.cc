// Damage, kills and refusals: whatever goes wrong, the world is left as it
// was or with exactly the marked records deleted.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "leveldb/db.h"
#include "leveldb/zlib_compressor.h"
#include "tests/test_support.h"
#include "tools/world_writer.h"
#include "world/world_database.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;
using Listing = std::map<std::string, std::string>;

// The first file of the database folder whose name passes the test.
std::string FindFile(const std::string& db, bool (*wanted)(const fs::path&)) {
  for (const auto& entry : fs::directory_iterator(db)) {
    if (wanted(entry.path())) return entry.path().string();
  }
  return "";
}

std::string Table(const std::string& db) {
  return FindFile(db,
                  [](const fs::path& p) { return p.extension() == ".ldb"; });
}

std::string Manifest(const std::string& db) {
  return FindFile(db, [](const fs::path& p) {
    return p.filename().string().rfind("MANIFEST-", 0) == 0;
  });
}

std::string Current(const std::string& db) { return db + "/CURRENT"; }

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() : world_(dir_.path() + "/w"), db_(world_ + "/db") {
    fs::create_directory(world_);
    leveldb::ZlibCompressorRaw codec;
    EXPECT_TRUE(
        WriteWorld(world_, "Faults", SampleWorldRecords(3, 300), &codec).ok());
    EXPECT_TRUE(DumpDatabase(db_, &before_).ok());
  }

  // The keys a run marks: tick records over the default limit.
  std::vector<std::string> Marked() const {
    std::vector<std::string> keys;
    for (const auto& [key, value] : before_) {
      const bool tick = (key.size() == 9 && key[8] == 51) ||
                        (key.size() == 13 && key[12] == 51);
      if (tick && value.size() > 1000) keys.push_back(key);
    }
    return keys;
  }

  ToolRun Run(const RunSettings& settings = {}) {
    return RunTool(dir_.path(), {"w"}, "1000\ny\n", settings);
  }

  Listing Dump() {
    Listing now;
    EXPECT_TRUE(DumpDatabase(db_, &now).ok());
    return now;
  }

  TempDir dir_;
  std::string world_;
  std::string db_;
  Listing before_;
};

// A file damaged, the run, then the file as it was: nothing may have been
// deleted meanwhile.
TEST_F(FaultTest, DamagedFilesDeleteNothing) {
  ASSERT_FALSE(Marked().empty());
  struct Case {
    const char* name;
    std::string (*file)(const std::string& db);
    void (*damage)(const std::string& path);
  };
  const Case cases[] = {
      {"truncated table", Table,
       [](const std::string& p) { fs::resize_file(p, fs::file_size(p) / 2); }},
      {"removed table", Table, [](const std::string& p) { fs::remove(p); }},
      {"damaged manifest", Manifest,
       [](const std::string& p) {
         std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(10);
         f.write("\xde\xad\xbe\xef", 4);
       }},
      {"damaged CURRENT", Current,
       [](const std::string& p) { std::ofstream(p) << "MANIFEST-99\n"; }},
  };
  for (const Case& c : cases) {
    const std::string path = c.file(db_);
    ASSERT_FALSE(path.empty()) << c.name;
    const std::string original = ReadFile(path);
    c.damage(path);
    const ToolRun run = Run();
    EXPECT_EQ(1, run.exit_code) << c.name << "\n" << run.console;
    EXPECT_EQ(std::string::npos, run.console.find("9. Deleting")) << c.name;
    EXPECT_EQ(std::string::npos, run.console.find("[stderr]")) << c.name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << original;
    EXPECT_EQ("", ListingDifference(before_, Dump(), {})) << c.name;
  }
}

TEST_F(FaultTest, DatabaseOpenElsewhere) {
  WorldOptions options;
  leveldb::DB* db = nullptr;
  ASSERT_TRUE(leveldb::DB::Open(options.options, db_, &db).ok());
  const ToolRun run = Run();
  delete db;
  // The guard sees this process's open files before anything is asked.
  EXPECT_EQ(1, run.exit_code);
  EXPECT_NE(std::string::npos,
            run.console.find("   |- World Name: Faults\n"
                             "   |- ERROR: World is open in another program: "
                             "quorvales_tests (process " +
                             std::to_string(getpid()) +
                             ")\n"
                             "   |- Close the world in the game, or stop the "
                             "server, then run again.\n"))
      << run.console;
  EXPECT_EQ(std::string::npos, run.console.find("Data Limit"));
  EXPECT_EQ("", ListingDifference(before_, Dump(), {}));
}

TEST_F(FaultTest, ReadOnlyWorld) {
  if (geteuid() != 0 || !fs::exists("/usr/sbin/runuser")) {
    GTEST_SKIP() << "needs root and runuser to run as an unprivileged user";
  }
  const auto read_only = fs::perms::owner_read | fs::perms::owner_exec |
                         fs::perms::group_read | fs::perms::group_exec |
                         fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(dir_.path(), read_only);
  for (const auto& entry : fs::recursive_directory_iterator(world_)) {
    fs::permissions(entry.path(), entry.is_directory()
                                      ? read_only
                                      : fs::perms::owner_read |
                                            fs::perms::group_read |
                                            fs::perms::others_read);
  }
  fs::permissions(world_, read_only);
  RunSettings settings;
  settings.as_user = "nobody";
  const ToolRun run = Run(settings);
  // The tool really started: a run that never began is no result.
  ASSERT_EQ(0u, run.console.rfind("Quorvales...\n", 0)) << run.console;
  EXPECT_EQ(1, run.exit_code) << run.console;
  // The backup is the first thing that writes into the world.
  const std::string label = "Outputting Log to: quorvaleLog ";
  const std::string stamp =
      run.console.substr(run.console.find(label) + label.size(), 19);
  EXPECT_NE(std::string::npos,
            run.console.find("Confirmed...\n"
                             "   |- ERROR: Backup failed: w/quorvaleBackup " +
                             stamp +
                             ".partial: Permission denied\n"
                             "   |- Nothing was changed.\n"))
      << run.console;
  EXPECT_EQ(std::string::npos, run.console.find("4. Setting"));
  EXPECT_EQ("", run.log_name);  // the working folder is read-only too
  EXPECT_EQ("", ListingDifference(before_, Dump(), {}));
}

// SIGKILL at points spread over the scan, the purge and the close: every
// time the world reopens as it was or with exactly the marked records gone.
TEST_F(FaultTest, KilledRunsLeaveOneOfTwoStates) {
  const std::vector<std::string> marked = Marked();
  ASSERT_FALSE(marked.empty());
  const std::string pristine = dir_.path() + "/pristine";
  CopyTree(world_, pristine);

  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, Run().exit_code);
  const auto full_us = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  EXPECT_EQ("", ListingDifference(before_, Dump(), marked));

  constexpr int kPoints = 24;
  int untouched = 0, purged = 0;
  for (int i = 0; i < kPoints; ++i) {
    fs::remove_all(world_);
    CopyTree(pristine, world_);
    RunSettings settings;
    settings.kill_after_us = 1 + full_us * i / (kPoints - 4);
    Run(settings);
    // A backup that a kill cut short still has its ".partial" name; one
    // without it is whole.
    for (const auto& entry : fs::directory_iterator(world_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("quorvaleBackup", 0) != 0 ||
          entry.path().extension() == ".partial") {
        continue;
      }
      Listing saved;
      EXPECT_TRUE(DumpDatabase(entry.path().string() + "/db", &saved).ok())
          << name;
      EXPECT_EQ("", ListingDifference(before_, saved, {}))
          << "kill point " << i << ": " << name;
    }
    const Listing after = Dump();
    if (ListingDifference(before_, after, {}).empty()) {
      ++untouched;
    } else {
      EXPECT_EQ("", ListingDifference(before_, after, marked))
          << "kill point " << i << " of " << full_us << " us";
      ++purged;
    }
  }
  EXPECT_EQ(kPoints, untouched + purged);
  RecordProperty("untouched", untouched);
  RecordProperty("purged", purged);
}

}  // namespace
}  // namespace quorvales
