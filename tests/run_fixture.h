// The fixture of the tests that run the real binary: a working folder, a
// world "w" made in it, and the expected transcript's parts.

#ifndef QUORVALES_TESTS_RUN_FIXTURE_H_
#define QUORVALES_TESTS_RUN_FIXTURE_H_

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "leveldb/zlib_compressor.h"
#include "tests/test_support.h"
#include "tools/world_writer.h"

namespace quorvales {

inline const std::string kPromptRule(85, '#');
inline const std::string kStatsRule(68, '#');

class RunFixture : public ::testing::Test {
 protected:
  RunFixture() {
    cwd_ = dir_.path() + "/cwd";
    std::filesystem::create_directory(cwd_);
  }

  // A world folder "w" in the working folder.
  void MakeWorld(const std::vector<WorldRecord>& records,
                 const std::string& level_name = "Test World") {
    std::filesystem::create_directory(cwd_ + "/w");
    ASSERT_TRUE(WriteWorld(cwd_ + "/w", level_name, records, &codec_).ok());
  }

  ToolRun Run(const std::string& input, std::vector<std::string> args = {"w"},
              const RunSettings& settings = {}) {
    return RunTool(cwd_, args, input, settings);
  }

  std::map<std::string, std::string> Dump() {
    std::map<std::string, std::string> records;
    EXPECT_TRUE(DumpDatabase(cwd_ + "/w/db", &records).ok());
    return records;
  }

  // The opening lines up to the world check, for the log name of the run.
  static Transcript Opening(const ToolRun& run, const std::string& folder) {
    const std::string name = LogName(run);
    Transcript t;
    t.Console("Quorvales...").Console("Outputting Log to: " + name);
    t.Log("Quorvales Program Started - " + StartStamp(name));
    t.Both("1. Starting Process...");
    t.Both("2. Using directory " + folder);
    t.Both("3. Checking world files...");
    return t;
  }

  // From the world check to the data limit's echo.
  // has_name: levelname.txt yielded a line.
  static void Prompts(Transcript* t, const std::string& name,
                      const std::string& limit, bool has_name = true) {
    t->Console("   |- World Exists!");
    if (has_name) t->Both("   |- World Name: " + name);
    t->Console("").Console(kPromptRule);
    t->Console(
        "Please enter the value, in bytes(B), for the allowed Quorvale data "
        "per chunk.");
    t->Console(
        "The default amount is 1000 Bytes -> Chunks with any more than 1KB of "
        "Quorvale data will have the data deleted.");
    t->Console("You can choose a 0 Bytes amount to remove all data.");
    t->Console(kPromptRule).Console("Data Limit (B): ");
    t->Both("Data Limit set to: " + limit + " bytes");
    t->Console("").Console(
        "Are you sure you wish to delete all Quorvale data "
        "from " +
        name + " world? Y or N");
  }

  // owner_line: the line of a run as root on another user's world.
  static void Confirmed(Transcript* t, const std::string& db_path,
                        const std::string& owner_line = "") {
    t->Console("Confirmed...");
    if (!owner_line.empty()) t->Both(owner_line);
    t->Both("4. Setting LevelDB options...");
    t->Both("5. Loading " + db_path + "...");
    t->Both("6. World database opened succesfully");
    t->Both("7. Running Operation...");
  }

  static void Stats(Transcript* t, int seen, int quorvale, int marked,
                    int deleted, const std::vector<std::string>& notes) {
    t->Both(kStatsRule).Both("STATS: ");
    t->Both("Total Chunks in World: " + std::to_string(seen));
    t->Both("Chunks containg Quorvale Data: " + std::to_string(quorvale));
    t->Split("Chunks Marked for Deletion: " + std::to_string(marked),
             "Chunks Marked Deletion: " + std::to_string(marked));
    t->Both("Chunks Deleted: " + std::to_string(deleted));
    for (const std::string& note : notes) t->Both(note);
    t->Both(kStatsRule);
  }

  // The line of the map that a run whose scan saw Quorvale records writes,
  // under the log's stamp.
  static void MapLine(Transcript* t, const ToolRun& run) {
    t->Both("Map of Quorvale data: quorvaleMap " + LogName(run).substr(12, 19) +
            ".html");
  }

  // The line of the backup that a run which deleted records keeps, in the
  // world folder, under the log's stamp.
  static void KeptBackup(Transcript* t, const ToolRun& run,
                         const std::string& folder = "w") {
    t->Both("Backup of the database before the deletes: " + folder +
            "/quorvaleBackup " + LogName(run).substr(12, 19));
  }

  static void Closing(Transcript* t, const std::string& time) {
    t->Both("Closing Database...").Both("Done").Both("Time taken: " + time);
  }

  // The log name the console shows: "quorvaleLog YYYY-MM-DD HH-MM-SS.txt".
  static std::string LogName(const ToolRun& run) {
    const std::string label = "\nOutputting Log to: ";
    const size_t at = run.console.find(label);
    EXPECT_NE(std::string::npos, at) << run.console;
    if (at == std::string::npos) return "";
    const size_t from = at + label.size();
    const std::string name =
        run.console.substr(from, run.console.find('\n', from) - from);
    const std::string shape = "quorvaleLog 0000-00-00 00-00-00.txt";
    bool shaped = name.size() == shape.size();
    for (size_t k = 0; shaped && k < shape.size(); ++k) {
      shaped = shape[k] == '0'
                   ? std::isdigit(static_cast<unsigned char>(name[k])) != 0
                   : shape[k] == name[k];
    }
    EXPECT_TRUE(shaped) << name;
    return name;
  }

  // "quorvaleLog 2026-03-05 07-04-09.txt" -> "2026-03-05-07:04:09".
  static std::string StartStamp(const std::string& log_name) {
    if (log_name.size() < 31) return "";
    std::string s = log_name.substr(12, 19);
    s[10] = '-';
    s[13] = ':';
    s[16] = ':';
    return s;
  }

  static void ExpectTranscript(const Transcript& t, const ToolRun& run) {
    EXPECT_EQ(t.console(), run.console);
    EXPECT_EQ(t.log(), run.log);
    EXPECT_EQ(LogName(run), run.log_name);
  }

  // The transcript of a run on TicksWorld() in folder with limit 1000,
  // confirmed.
  static Transcript TicksWorldCompleted(const ToolRun& run,
                                        const std::string& folder = "w",
                                        const std::string& owner_line = "") {
    Transcript t = Opening(run, folder);
    Prompts(&t, "Test World", "1000");
    Confirmed(&t, folder + "/db", owner_line);
    t.Both("   |- Chunk [0,0] within Data Limit [0.5kB / 1KB]");
    t.Both("   |- Chunk [1,0] within Data Limit [1kB / 1KB]");
    t.Both("   |- Chunk [2,5] over Data Limit [1.0kB / 1.0KB] - Marked");
    t.Both("   |- Chunk [12,-3] over Data Limit [2.5kB / 1.0KB] - Marked");
    t.Both("8. Marked 2 containing Quorvale Data over specified limit.");
    t.Both("9. Deleting marked chunks");
    t.Both("   |- Deleting Quorvale data from Overworld chunk >> X: 2 Z: 5");
    t.Both("   |- Deleting Quorvale data from Overworld chunk >> X: 12 Z: -3");
    t.Both("10. Quorvale Data Deleted");
    // "~local_player" has a chunk key's length, so it is counted.
    Stats(&t, 7, 4, 2, 2,
          {"   |- Quorvale data found on 57.14% of the world's chunks",
           "   |- Quorvale data deleted from 28.57% of the world's chunks"});
    MapLine(&t, run);
    KeptBackup(&t, run, folder);
    Closing(&t, "0.00s");
    return t;
  }

  TempDir dir_;
  std::string cwd_;
  leveldb::ZlibCompressorRaw codec_;
};

inline std::vector<WorldRecord> TicksWorld() {
  // Tick records of 523, 1000, 1001 and 2500 bytes, and chunks without one.
  return {
      {ChunkKey(0, 0, 0, kVersion), "\x28"},
      {ChunkKey(0, 0, 0, kPendingTicks), std::string(523, 't')},
      {ChunkKey(1, 0, 0, kSubChunk, 0), std::string(3000, 's')},
      {ChunkKey(1, 0, 0, kPendingTicks), std::string(1000, 't')},
      {ChunkKey(12, -3, 0, kPendingTicks), std::string(2500, 't')},
      {ChunkKey(2, 5, 0, kPendingTicks), std::string(1001, 't')},
      {"~local_player", "player"},
  };
}

}  // namespace quorvales

#endif  // QUORVALES_TESTS_RUN_FIXTURE_H_
