// The open-world guard and the backup, run end to end: a world that another
// process has open is refused before anything is asked or changed, and a
// run that deletes keeps a backup of the database as it was.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "leveldb/db.h"
#include "safety/world_backup.h"
#include "tests/crafted_worlds.h"
#include "tests/process_holder.h"
#include "tests/run_fixture.h"
#include "tools/world_surgery.h"
#include "util/coding.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;

std::string Described(const std::string& name, pid_t pid) {
  return name + " (process " + std::to_string(pid) + ")";
}

// The entries of the world folder that are backups, finished or not.
std::vector<std::string> Backups(const std::string& world) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(world)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("quorvaleBackup", 0) == 0) names.push_back(name);
  }
  return names;
}

class SafetyTest : public RunFixture {
 protected:
  void MakeTicksWorld() {
    MakeWorld(TicksWorld());
    std::ofstream(cwd_ + "/w/level.dat") << "level";
  }

  static void GuardLines(Transcript* t, const std::string& holders) {
    t->Both("   |- ERROR: World is open in another program: " + holders);
    t->Both(
        "   |- Close the world in the game, or stop the server, then run "
        "again.");
  }

  // Puts a record "big" of size bytes into the world's write-ahead log
  // alone, as a write batch of one put that the open replays; returns the
  // log's name, empty when the world has none.
  std::string PutInLog(size_t size) {
    DatabaseFiles files = ReadDatabaseFiles(cwd_ + "/w/db");
    std::string log;
    for (const auto& [name, contents] : files) {
      if (fs::path(name).extension() == ".log") log = name;
    }
    if (log.empty()) return log;
    // Sequence number, count, then the put: type, key, value.
    std::string batch("\x00\x10\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00", 12);
    batch += '\x01';
    leveldb::PutLengthPrefixedSlice(&batch, "big");
    leveldb::PutLengthPrefixedSlice(&batch, std::string(size, 'b'));
    files[log] = BuildLog({batch});
    return WriteDatabaseFiles(cwd_ + "/w/db", files) ? log : "";
  }

  std::string Table() const {
    return cwd_ + "/w/db/" + LargestTable(ReadDatabaseFiles(cwd_ + "/w/db"));
  }
};

TEST_F(SafetyTest, GuardRefusesAWorldThatIsOpen) {
  MakeTicksWorld();
  const auto before = Dump();
  struct Case {
    const char* name;
    std::vector<std::string> opened, mapped;  // paths in the world folder
  };
  const Case cases[] = {
      {"a table open", {"db/table"}, {}},
      {"level.dat and CURRENT open", {"level.dat", "db/CURRENT"}, {}},
      {"a table mapped", {}, {"db/table"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Holder> holders;
    std::vector<std::pair<pid_t, std::string>> described;
    for (std::string path : c.opened) {
      path = path == "db/table" ? Table() : cwd_ + "/w/" + path;
      holders.push_back(Holder::Open(path));
      described.push_back({holders.back().pid(), "sleep"});
    }
    for (const std::string& path : c.mapped) {
      (void)path;
      holders.push_back(Holder::Mapped(Table()));
      described.push_back({holders.back().pid(), Comm(getpid())});
    }
    std::sort(described.begin(), described.end());
    std::string names;
    for (const auto& [pid, name] : described) {
      names += (names.empty() ? "" : ", ") + Described(name, pid);
    }
    const ToolRun run = Run("1000\ny\n");
    Transcript t = Opening(run, "w");
    t.Console("   |- World Exists!").Both("   |- World Name: Test World");
    GuardLines(&t, names);
    ExpectTranscript(t, run);
    EXPECT_EQ(1, run.exit_code);
    EXPECT_TRUE(Backups(cwd_ + "/w").empty());
    holders.clear();
    EXPECT_EQ(before, Dump());
  }
}

TEST_F(SafetyTest, HolderStartedWhileThePromptWaitsIsCaught) {
  MakeTicksWorld();
  const auto before = Dump();
  std::unique_ptr<Holder> holder;
  RunSettings settings;
  settings.at_first_prompt = [&] {
    holder = std::make_unique<Holder>(Holder::Open(cwd_ + "/w/level.dat"));
  };
  const ToolRun run = Run("1000\ny\n", {"w"}, settings);
  ASSERT_TRUE(holder != nullptr);
  Transcript t = Opening(run, "w");
  Prompts(&t, "Test World", "1000");
  t.Console("Confirmed...");
  GuardLines(&t, Described("sleep", holder->pid()));
  ExpectTranscript(t, run);
  EXPECT_EQ(1, run.exit_code);
  holder.reset();
  EXPECT_TRUE(Backups(cwd_ + "/w").empty());
  EXPECT_EQ(before, Dump());
}

// A game server of root's, whose files nobody may read: run as nobody, the
// guard cannot tell whether it holds the world and refuses; run as root, it
// looks and finds that it does not.
TEST_F(SafetyTest, GameServerThatCannotBeCheckedIsNamed) {
  if (geteuid() != 0 || !fs::exists("/usr/sbin/runuser")) {
    GTEST_SKIP() << "needs root and runuser to run as an unprivileged user";
  }
  MakeTicksWorld();
  for (const auto& entry : fs::recursive_directory_iterator(cwd_ + "/w")) {
    fs::permissions(entry.path(), fs::perms::all);
  }
  fs::permissions(cwd_ + "/w", fs::perms::all);
  fs::permissions(cwd_, fs::perms::all);
  fs::permissions(dir_.path(), fs::perms::others_exec, fs::perm_options::add);
  const std::string server = dir_.path() + "/bedrock_server";
  fs::copy_file("/bin/sleep", server);
  // No other test's run as nobody may meet this server.
  const UserRunLock lock(true);
  const pid_t pid = fork();
  if (pid == 0) {
    execl(server.c_str(), "bedrock_server", "600", static_cast<char*>(nullptr));
    _exit(127);
  }
  const Holder holder = Holder::Adopt(pid);
  ASSERT_TRUE(WaitFor([&] { return Comm(pid) == "bedrock_server"; }));

  RunSettings settings;
  settings.as_user = "nobody";
  settings.holds_user_run_lock = true;
  const ToolRun refused = Run("1000\ny\n", {"w"}, settings);
  Transcript t = Opening(refused, "w");
  t.Console("   |- World Exists!").Both("   |- World Name: Test World");
  t.Both(
      "   |- ERROR: Cannot check whether the world is open in: "
      "bedrock_server (process " +
      std::to_string(pid) + ")");
  t.Both(
      "   |- Run the tool as root or as that program's user, or stop the "
      "program, then run again.");
  ExpectTranscript(t, refused);
  EXPECT_EQ(1, refused.exit_code);

  const ToolRun completed = Run("1000\ny\n");
  ExpectTranscript(TicksWorldCompleted(completed), completed);
  EXPECT_EQ(0, completed.exit_code);
}

TEST_F(SafetyTest, FilesOfAnotherWorldDoNotCount) {
  MakeTicksWorld();
  fs::create_directory(cwd_ + "/other");
  ASSERT_TRUE(WriteWorld(cwd_ + "/other", "Other", TicksWorld(), &codec_).ok());
  const Holder holder = Holder::Open(cwd_ + "/other/db/CURRENT");
  const ToolRun run = Run("1000\ny\n");
  ExpectTranscript(TicksWorldCompleted(run), run);
  EXPECT_EQ(0, run.exit_code);
}

// The backup of a run that deleted records reopens with every record the
// world had before, and its tables are the world's own files.
TEST_F(SafetyTest, BackupHoldsTheWorldBeforeTheRun) {
  MakeTicksWorld();
  const auto before = Dump();
  const ToolRun run = Run("1000\ny\n");
  ExpectTranscript(TicksWorldCompleted(run), run);
  const std::vector<std::string> backups = Backups(cwd_ + "/w");
  ASSERT_EQ(1u, backups.size());
  EXPECT_EQ("quorvaleBackup " + run.log_name.substr(12, 19), backups[0]);
  const std::string backup = cwd_ + "/w/" + backups[0] + "/db";
  EXPECT_FALSE(fs::exists(backup + "/LOCK"));
  int tables = 0;
  for (const auto& entry : fs::directory_iterator(backup)) {
    if (entry.path().extension() != ".ldb") continue;
    struct stat copy, original;
    ASSERT_EQ(0, stat(entry.path().c_str(), &copy));
    ASSERT_EQ(0,
              stat((cwd_ + "/w/db/" + entry.path().filename().string()).c_str(),
                   &original));
    EXPECT_EQ(original.st_ino, copy.st_ino);
    ++tables;
  }
  EXPECT_GT(tables, 0);
  std::map<std::string, std::string> saved;
  ASSERT_TRUE(DumpDatabase(backup, &saved).ok());
  EXPECT_EQ(before, saved);
}

// Where hard links cannot be made, the tables are copied; a name that is
// taken, finished or not, moves the backup to the next number.
TEST_F(SafetyTest, BackupCopiesWhereLinksFailAndTakesAFreeName) {
  MakeTicksWorld();
  const auto before = Dump();
  const std::string stamp = "2026-12-10 10-39-39";
  fs::create_directory(cwd_ + "/w/quorvaleBackup " + stamp);
  fs::create_directory(cwd_ + "/w/quorvaleBackup " + stamp + " 2.partial");
  std::ostringstream console, log;
  Output out{console, log};
  WorldBackup backup(
      cwd_ + "/w", stamp,
      [](const std::string&, const std::string&, std::error_code& error) {
        error = std::make_error_code(std::errc::not_supported);
      });
  ASSERT_TRUE(backup.Make(out));
  EXPECT_EQ(cwd_ + "/w/quorvaleBackup " + stamp + " 3", backup.folder());
  EXPECT_EQ("", console.str());
  const std::string table = Table();
  struct stat copy, original;
  ASSERT_EQ(0, stat(table.c_str(), &original));
  ASSERT_EQ(
      0, stat((backup.folder() + "/db/" + fs::path(table).filename().string())
                  .c_str(),
              &copy));
  EXPECT_NE(original.st_ino, copy.st_ino);
  std::map<std::string, std::string> saved;
  ASSERT_TRUE(DumpDatabase(backup.folder() + "/db", &saved).ok());
  EXPECT_EQ(before, saved);
  backup.ReportKept(out);
  EXPECT_EQ("Backup of the database before the deletes: " + cwd_ +
                "/w/quorvaleBackup " + stamp + " 3\n",
            console.str());
  backup.Discard();
  EXPECT_FALSE(fs::exists(cwd_ + "/w/quorvaleBackup " + stamp + " 3"));
}

// A copy stopped by a file-size limit: the error names the file, what was
// made is gone, and the world is as it was, byte for byte.
TEST_F(SafetyTest, BackupThatCannotBeMadeChangesNothing) {
  MakeTicksWorld();
  const std::string log = PutInLog(10000);
  ASSERT_FALSE(log.empty());
  const DatabaseFiles files = ReadDatabaseFiles(cwd_ + "/w/db");
  RunSettings settings;
  settings.file_size_limit = 4096;
  const ToolRun run = Run("1000\ny\n", {"w"}, settings);
  Transcript t = Opening(run, "w");
  Prompts(&t, "Test World", "1000");
  t.Console("Confirmed...");
  t.Both("   |- ERROR: Backup failed: w/db/" + log + ": File too large");
  t.Both("   |- Nothing was changed.");
  ExpectTranscript(t, run);
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(Backups(cwd_ + "/w").empty());
  EXPECT_TRUE(files == ReadDatabaseFiles(cwd_ + "/w/db"));
}

// SIGKILL while the backup is copied a large log: the world is as it was
// (or, past the backup, exactly purged), and every backup folder without
// ".partial" is whole.
TEST_F(SafetyTest, KilledBackupLeavesNoWholeLookingFolder) {
  MakeTicksWorld();
  // 24 MB, which the backup takes a while to copy.
  ASSERT_FALSE(PutInLog(24 << 20).empty());
  const auto before = Dump();
  ASSERT_EQ(1u, before.count("big"));
  auto purged = before;
  purged.erase(ChunkKey(2, 5, 0, kPendingTicks));
  purged.erase(ChunkKey(12, -3, 0, kPendingTicks));
  const std::string pristine = dir_.path() + "/pristine";
  CopyTree(cwd_ + "/w", pristine);
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE("kill after " + std::to_string(2 + 4 * i) + " ms");
    fs::remove_all(cwd_ + "/w");
    CopyTree(pristine, cwd_ + "/w");
    RunSettings settings;
    settings.kill_after_us = (2 + 4 * i) * 1000;
    Run("1000\ny\n", {"w"}, settings);
    for (const std::string& name : Backups(cwd_ + "/w")) {
      if (fs::path(name).extension() == ".partial") continue;
      std::map<std::string, std::string> saved;
      ASSERT_TRUE(DumpDatabase(cwd_ + "/w/" + name + "/db", &saved).ok());
      EXPECT_TRUE(before == saved) << name;
    }
    const auto after = Dump();
    EXPECT_TRUE(after == before || after == purged);
  }
}

// No backup stays after a run that deleted nothing.
TEST_F(SafetyTest, RunsThatDeleteNothingKeepNoBackup) {
  struct Case {
    const char* name;
    std::string input;
    void (*damage)(const std::string& db);
    int exit_code;
  };
  const Case cases[] = {
      {"nothing marked", "50000\ny\n", [](const std::string&) {}, 0},
      {"the open fails", "1000\ny\n",
       [](const std::string& db) {
         std::ofstream(db + "/CURRENT") << "MANIFEST-000099\n";
       },
       1},
      {"the read fails", "1000\ny\n",
       [](const std::string& db) {
         DatabaseFiles files = ReadDatabaseFiles(db);
         for (const CraftedWorld& c : CraftedWorlds()) {
           if (c.ending == CraftedWorld::kReadFails) {
             ASSERT_TRUE(c.craft(&files, LargestTable(files)));
             break;
           }
         }
         ASSERT_TRUE(WriteDatabaseFiles(db, files));
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(cwd_ + "/w");
    MakeTicksWorld();
    c.damage(cwd_ + "/w/db");
    const ToolRun run = Run(c.input);
    EXPECT_EQ(c.exit_code, run.exit_code) << run.console;
    EXPECT_NE(std::string::npos,
              run.console.find(c.exit_code == 0 ? "\nTime taken: " : "failed"))
        << run.console;
    EXPECT_TRUE(Backups(cwd_ + "/w").empty());
  }
}

}  // namespace
}  // namespace quorvales
