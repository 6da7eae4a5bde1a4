// Root on a world of another user: the world's files are worked on as the
// world's owner, and links among the database's files are refused, so that
// whoever controls the world cannot make root overwrite a file of root's.

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "leveldb/db.h"
#include "leveldb/write_batch.h"
#include "tests/crafted_worlds.h"
#include "tests/run_fixture.h"
#include "tools/world_surgery.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;

class OwnerTest : public RunFixture {
 protected:
  void SetUp() override {
    if (geteuid() != 0 || getpwnam("nobody") == nullptr ||
        getgrnam("nogroup") == nullptr || !fs::exists("/usr/sbin/runuser")) {
      GTEST_SKIP() << "needs root, the user nobody, the group nogroup and "
                      "runuser";
    }
    uid_ = getpwnam("nobody")->pw_uid;
    gid_ = getgrnam("nogroup")->gr_gid;
    // The world lies beside the working folder, which only root may enter.
    fs::permissions(dir_.path(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(cwd_, fs::perms::owner_all);
    world_ = dir_.path() + "/w";
    precious_ = dir_.path() + "/precious";
    std::ofstream(precious_) << "precious";
    fs::permissions(precious_, fs::perms::owner_read | fs::perms::owner_write |
                                   fs::perms::group_read |
                                   fs::perms::others_read);
  }

  std::string OwnerLine() const {
    return "   |- Working as the owner of the world folder: user " +
           std::to_string(uid_) + ", group " + std::to_string(gid_);
  }

  // TicksWorld() in four rounds of the same keys, each left in the log for
  // the next open to turn into a level-0 table; the fourth is still in the
  // log, so the tool's open makes the fourth level-0 table and starts a
  // compaction on LevelDB's background thread.
  void MakeCompactingWorld() {
    fs::create_directory(world_);
    std::ofstream(world_ + "/levelname.txt") << "Test World";
    leveldb::Options options;
    options.create_if_missing = true;
    options.compressors[0] = &codec_;
    for (int round = 0; round < 4; ++round) {
      leveldb::DB* db = nullptr;
      ASSERT_TRUE(leveldb::DB::Open(options, world_ + "/db", &db).ok());
      leveldb::WriteBatch batch;
      for (const WorldRecord& r : TicksWorld()) batch.Put(r.key, r.value);
      ASSERT_TRUE(db->Write(leveldb::WriteOptions(), &batch).ok());
      delete db;
    }
    ASSERT_EQ(3u, Tables().size());
  }

  std::set<std::string> Tables() const {
    std::set<std::string> tables;
    for (const auto& entry : fs::directory_iterator(world_ + "/db")) {
      if (entry.path().extension() == ".ldb") {
        tables.insert(entry.path().filename().string());
      }
    }
    return tables;
  }

  // Gives the world, links included, to nobody.
  void GiveWorldAway() const {
    ASSERT_EQ(0, lchown(world_.c_str(), uid_, gid_));
    for (const auto& entry : fs::recursive_directory_iterator(world_)) {
      ASSERT_EQ(0, lchown(entry.path().c_str(), uid_, gid_));
    }
  }

  // Every entry under folder with its type, size and owner.
  static std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> listing;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      struct stat info;
      lstat(entry.path().c_str(), &info);
      listing.insert(
          entry.path().string() + " " + std::to_string(info.st_mode) + " " +
          std::to_string(info.st_size) + " " + std::to_string(info.st_uid));
    }
    return listing;
  }

  // Links to root's file at every number up to 400 that the database does
  // not use yet, in the given forms ("MANIFEST-%06d").
  void PlantLinks(const std::vector<const char*>& forms) const {
    for (const char* form : forms) {
      for (int number = 1; number <= 400; ++number) {
        char name[64];
        std::snprintf(name, sizeof(name), form, number);
        const std::string link = world_ + "/db/" + name;
        if (!fs::exists(fs::symlink_status(link))) {
          fs::create_symlink(precious_, link);
        }
      }
    }
  }

  std::map<std::string, std::string> DumpWorld() const {
    std::map<std::string, std::string> records;
    EXPECT_TRUE(DumpDatabase(world_ + "/db", &records).ok());
    return records;
  }

  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::string world_;
  std::string precious_;
};

// Links planted where LevelDB makes its next files: the open refuses the
// world before anything is made; and without that refusal (the seam), the
// owner's identity alone keeps root's file as it was, on the background
// thread too.
TEST_F(OwnerTest, PlantedLinksLeaveRootsFilesAlone) {
  const struct {
    const char* name;
    bool compacting;
    std::vector<const char*> forms;
  } cases[] = {
      {"the next MANIFEST numbers", false, {"MANIFEST-%06d"}},
      {"the next table and log numbers", true, {"%06d.ldb", "%06d.log"}},
  };
  for (const auto& c : cases) {
    for (const bool seam : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (seam ? ", links allowed" : ""));
      fs::remove_all(world_);
      if (c.compacting) {
        MakeCompactingWorld();
      } else {
        fs::create_directory(world_);
        ASSERT_TRUE(
            WriteWorld(world_, "Test World", TicksWorld(), &codec_).ok());
      }
      PlantLinks(c.forms);
      GiveWorldAway();
      const std::set<std::string> before = Listing(world_);
      RunSettings settings;
      if (seam) settings.binary = QUORVALES_LINKS_ALLOWED_BINARY;
      const ToolRun run = Run("1000\ny\n", {"../w"}, settings);
      EXPECT_EQ("precious", ReadFile(precious_));
      if (seam) continue;
      Transcript t = Opening(run, "../w");
      Prompts(&t, "Test World", "1000");
      t.Console("Confirmed...").Both(OwnerLine());
      t.Both("4. Setting LevelDB options...");
      t.Both("5. Loading ../w/db...").Both("Opening ../w/db failed.");
      ExpectTranscript(t, run);
      EXPECT_EQ(1, run.exit_code);
      EXPECT_TRUE(before == Listing(world_)) << "the world changed";
    }
  }
}

// A completed run on nobody's world: everything made in the world belongs
// to nobody, compaction's tables included; the log and the map in root's
// working folder belong to root; and nobody can put the backup back.
TEST_F(OwnerTest, CompletedRunWorksAsTheOwner) {
  MakeCompactingWorld();
  const std::set<std::string> tables = Tables();
  GiveWorldAway();
  std::map<std::string, std::string> before;
  {
    // A copy's dump, which leaves the world itself as it was.
    const std::string copy = dir_.path() + "/copy";
    CopyTree(world_, copy);
    ASSERT_TRUE(DumpDatabase(copy + "/db", &before).ok());
  }
  const ToolRun run = Run("1000\ny\n", {"../w"});
  ExpectTranscript(TicksWorldCompleted(run, "../w", OwnerLine()), run);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(0, run.log_owner);
  EXPECT_EQ(0, run.map_owner);

  // The compaction wrote tables of its own.
  bool compacted = false;
  for (const std::string& table : Tables()) {
    compacted = compacted || tables.count(table) == 0;
  }
  EXPECT_TRUE(compacted);
  std::string backup;
  for (const auto& entry : fs::recursive_directory_iterator(world_)) {
    struct stat info;
    ASSERT_EQ(0, lstat(entry.path().c_str(), &info));
    EXPECT_EQ(uid_, info.st_uid) << entry.path();
    EXPECT_EQ(gid_, info.st_gid) << entry.path();
    const std::string name = entry.path().filename().string();
    if (name.rfind("quorvaleBackup ", 0) == 0) backup = name;
  }
  ASSERT_FALSE(backup.empty());

  // The world's owner restores the backup, as the README says.
  const std::string restore =
      "cd '" + world_ + "' && mv db db.after && mv '" + backup + "/db' db";
  ASSERT_EQ(0, std::system(
                   ("/usr/sbin/runuser -u nobody -- sh -c \"" + restore + "\"")
                       .c_str()));
  EXPECT_EQ("", ListingDifference(before, DumpWorld(), {}));
}

// A world folder that its owner may not write: the backup fails as it
// would for the owner, though root could have written there.
TEST_F(OwnerTest, WorldTheOwnerCannotWriteFailsAsForTheOwner) {
  fs::create_directory(world_);
  ASSERT_TRUE(WriteWorld(world_, "Test World", TicksWorld(), &codec_).ok());
  GiveWorldAway();
  fs::permissions(world_, fs::perms::owner_write, fs::perm_options::remove);
  const std::set<std::string> before = Listing(world_);
  const ToolRun run = Run("1000\ny\n", {"../w"});
  Transcript t = Opening(run, "../w");
  Prompts(&t, "Test World", "1000");
  t.Console("Confirmed...").Both(OwnerLine());
  t.Both("   |- ERROR: Backup failed: ../w/quorvaleBackup " +
         LogName(run).substr(12, 19) + ".partial: Permission denied");
  t.Both("   |- Nothing was changed.");
  ExpectTranscript(t, run);
  EXPECT_EQ(1, run.exit_code);
  EXPECT_TRUE(before == Listing(world_)) << "the world changed";
}

// Root's own world: a link among the database's files is refused, and a
// database folder that is itself a link opens, with no owner's line.
TEST_F(OwnerTest, LinksInRootsOwnWorld) {
  MakeWorld(TicksWorld());
  const std::string db = cwd_ + "/w/db";
  fs::create_symlink(LargestTable(ReadDatabaseFiles(db)), db + "/000100.log");
  const std::set<std::string> before = Listing(cwd_ + "/w");
  const ToolRun refused = Run("1000\ny\n");
  Transcript t = Opening(refused, "w");
  Prompts(&t, "Test World", "1000");
  t.Console("Confirmed...");
  t.Both("4. Setting LevelDB options...");
  t.Both("5. Loading w/db...").Both("Opening w/db failed.");
  ExpectTranscript(t, refused);
  EXPECT_EQ(1, refused.exit_code);
  EXPECT_TRUE(before == Listing(cwd_ + "/w")) << "the world changed";

  fs::remove(db + "/000100.log");
  fs::rename(db, dir_.path() + "/elsewhere");
  fs::create_directory_symlink(dir_.path() + "/elsewhere", db);
  const ToolRun completed = Run("1000\ny\n");
  ExpectTranscript(TicksWorldCompleted(completed), completed);
  EXPECT_EQ(0, completed.exit_code);
}

}  // namespace
}  // namespace quorvales
