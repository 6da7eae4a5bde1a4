// The map page: its data are the scan's records, it is drawn in a real
// browser without the network, and it is left out where there is nothing
// to show or it cannot be written.

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <tuple>

#include "chunks/chunk_key.h"
#include "tests/crafted_worlds.h"
#include "tests/run_fixture.h"
#include "tools/world_surgery.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;

// dimension, x, z, size, over
using Record = std::tuple<int32_t, int32_t, int32_t, uint32_t, bool>;

// The numbers of the JSON array that starts after label, at or after *at.
std::vector<long long> ArrayAfter(const std::string& page,
                                  const std::string& label, size_t* at) {
  std::vector<long long> numbers;
  *at = page.find(label, *at);
  if (*at == std::string::npos) return numbers;
  *at += label.size();
  const size_t end = page.find(']', *at);
  std::stringstream text(page.substr(*at, end - *at));
  for (std::string n; std::getline(text, n, ',');) {
    numbers.push_back(std::stoll(n));
  }
  *at = end;
  return numbers;
}

// The records that the page's data hold.
std::multiset<Record> PageRecords(const std::string& page) {
  std::multiset<Record> records;
  const std::string id_label = "{\"id\":";
  for (size_t at = page.find(id_label); at != std::string::npos;
       at = page.find(id_label, at)) {
    const int32_t id = std::stoi(page.substr(at + id_label.size()));
    for (bool over : {false, true}) {
      const std::vector<long long> numbers =
          ArrayAfter(page, over ? "\"over\":[" : "\"within\":[", &at);
      for (size_t i = 0; i + 2 < numbers.size(); i += 3) {
        records.insert({id, static_cast<int32_t>(numbers[i]),
                        static_cast<int32_t>(numbers[i + 1]),
                        static_cast<uint32_t>(numbers[i + 2]), over});
      }
    }
  }
  return records;
}

// The Quorvale records of a database listing, over or within limit.
std::multiset<Record> ListedRecords(
    const std::map<std::string, std::string>& listing, float limit) {
  std::multiset<Record> records;
  for (const auto& [key, value] : listing) {
    if (!IsQuorvaleRecordKey(key)) continue;
    const auto size = static_cast<uint32_t>(value.size());
    records.insert({DimensionId(key), ChunkCoordinate(key, "x"),
                    ChunkCoordinate(key, "z"), size,
                    static_cast<float>(size) > limit});
  }
  return records;
}

class MapTest : public RunFixture {
 protected:
  static std::vector<WorldRecord> ThreeDimensions() {
    return {
        {ChunkKey(3, 3, 0, kPendingTicks), ""},
        {ChunkKey(3, 4, 0, kPendingTicks), "x"},
        {ChunkKey(12, -3, 0, kPendingTicks), std::string(2500, 't')},
        {ChunkKey(-1, 2, 0, kPendingTicks), std::string(1001, 't')},
        {ChunkKey(-7, 2, 1, kPendingTicks), std::string(300, 'n')},
        {ChunkKey(-7, 2, 1, kSubChunk, 2), std::string(300, 's')},
        {ChunkKey(4, -9, 2, kPendingTicks), std::string(40, 'e')},
        {ChunkKey(5, 5, 2, kPendingTicks), std::string(3000, 'e')},
        {ChunkKey(1, 1, 7, kPendingTicks), std::string(10, 'o')},
        {"~local_player", "player"},
    };
  }
};

TEST_F(MapTest, PageHoldsTheScansRecords) {
  MakeWorld(ThreeDimensions(), "Map <World> & \"Co\"");
  const auto before = Dump();
  const ToolRun run = Run("1000\ny\n");
  ASSERT_EQ(0, run.exit_code) << run.console;
  const std::string stamp = run.log_name.substr(12, 19);
  EXPECT_EQ("quorvaleMap " + stamp + ".html", run.map_name);
  EXPECT_NE(std::string::npos,
            run.console.find(std::string(68, '#') +
                             "\nMap of Quorvale data: quorvaleMap " + stamp +
                             ".html\nBackup of the database before the "
                             "deletes: "));
  EXPECT_EQ(ListedRecords(before, 1000.0f), PageRecords(run.map));
  EXPECT_EQ(8u, PageRecords(run.map).size());
  // The name is text, never markup.
  EXPECT_NE(std::string::npos,
            run.map.find("<h1>Quorvale data of Map &lt;World&gt; &amp; "
                         "&quot;Co&quot;</h1>"));
  EXPECT_NE(std::string::npos, run.map.find("\"deleted\":true"));
  EXPECT_NE(std::string::npos,
            run.map.find("<tr><td>The End</td><td>5</td><td>5</td><td>80</td>"
                         "<td>80</td><td>3000</td><td>yes</td></tr>\n<tr><td>"
                         "Overworld</td><td>12</td><td>-3</td><td>192</td><td>"
                         "-48</td><td>2500</td><td>yes</td></tr>"));
  EXPECT_NE(std::string::npos, run.map.find("<td>Dimension 7</td>"));
  EXPECT_NE(std::string::npos, run.map.find("<td>Nether</td>"));

  // A run that deletes nothing calls the records over the limit so.
  const ToolRun again = Run("0\nn\n");
  EXPECT_EQ("", again.map_name);
}

TEST_F(MapTest, FixtureWorldPagesHoldTheirRecords) {
  const std::string fixtures = FixtureWorldsDir();
  if (fixtures.empty()) GTEST_SKIP() << "no fixture worlds in ../shared";
  for (const auto& entry : fs::directory_iterator(fixtures)) {
    if (!entry.is_directory()) continue;
    SCOPED_TRACE(entry.path().filename().string());
    TempDir copy;
    CopyTree(entry.path().string(), copy.path() + "/w");
    std::map<std::string, std::string> before;
    ASSERT_TRUE(DumpDatabase(copy.path() + "/w/db", &before).ok());
    const ToolRun run = RunTool(copy.path(), {"w"}, "1000\ny\n");
    const std::multiset<Record> expected = ListedRecords(before, 1000.0f);
    EXPECT_EQ(expected, PageRecords(run.map));
    EXPECT_EQ(expected.empty(), run.map_name.empty());
  }
}

// No map and no line: a scan error, a run not confirmed, a world without
// Quorvale records, and a working folder the map cannot be written into.
TEST_F(MapTest, NoMapWhereThereIsNothingToShowOrNoRoom) {
  struct Case {
    const char* name;
    std::vector<WorldRecord> records;
    const char* input;
    bool damage;
  };
  const Case cases[] = {
      {"scan error", ThreeDimensions(), "1000\ny\n", true},
      {"not confirmed", ThreeDimensions(), "1000\nn\n", false},
      {"no Quorvale records",
       {{ChunkKey(1, 1, 0, kSubChunk, 0), "s"}},
       "1000\ny\n",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(cwd_ + "/w");
    MakeWorld(c.records);
    if (c.damage) {
      DatabaseFiles files = ReadDatabaseFiles(cwd_ + "/w/db");
      for (const CraftedWorld& crafted : CraftedWorlds()) {
        if (crafted.ending == CraftedWorld::kReadFails) {
          ASSERT_TRUE(crafted.craft(&files, LargestTable(files)));
          break;
        }
      }
      ASSERT_TRUE(WriteDatabaseFiles(cwd_ + "/w/db", files));
    }
    const ToolRun run = Run(c.input);
    EXPECT_EQ("", run.map_name);
    EXPECT_EQ(std::string::npos, run.console.find("Map of")) << run.console;
  }

  // As an unprivileged user in a read-only working folder: the run goes on
  // as it would, without the map and its line (and without the log).
  if (geteuid() != 0 || !fs::exists("/usr/sbin/runuser")) {
    GTEST_SKIP() << "needs root and runuser to run as an unprivileged user";
  }
  fs::remove_all(cwd_ + "/w");
  MakeWorld(TicksWorld());
  for (const auto& entry : fs::recursive_directory_iterator(cwd_ + "/w")) {
    fs::permissions(entry.path(), fs::perms::all);
  }
  fs::permissions(cwd_ + "/w", fs::perms::all);
  fs::permissions(cwd_, fs::perms::owner_all | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  fs::permissions(dir_.path(), fs::perms::others_exec, fs::perm_options::add);
  RunSettings settings;
  settings.as_user = "nobody";
  const ToolRun run = Run("1000\ny\n", {"w"}, settings);
  std::string expected = TicksWorldCompleted(run).console();
  const std::string map_line = "Map of Quorvale data: quorvaleMap " +
                               LogName(run).substr(12, 19) + ".html\n";
  expected.erase(expected.find(map_line), map_line.size());
  EXPECT_EQ(expected, run.console);
  EXPECT_EQ("", run.map_name);
  EXPECT_EQ("", run.log_name);
}

// The page of 100,000 records in Debian's Chromium, from the file system,
// with the network blocked: drawn at all, the colours at a
// deleted chunk, a chunk within the limit and an empty place, the table of
// the largest records, no script error and no request.
TEST_F(MapTest, DrawnInChromium) {
  const std::string modules =
      std::string(QUORVALES_SOURCE_DIR) + "/.deps/npm/node_modules";
  if (!fs::exists("/usr/bin/chromium") ||
      !fs::exists(modules + "/playwright-core") ||
      std::system("node --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "needs node, Debian's chromium and the npm packages "
                    "that scripts/setup.sh installs";
  }
  std::vector<WorldRecord> records;
  for (int x = -200; x < 200; ++x) {
    for (int z = -125; z < 125; ++z) {
      if (x == 10 && z == 10) continue;  // the empty place
      const size_t size =
          x == 50 && z == 20 ? 90000 : 100 + ((x + z) % 500 + 500) % 500;
      records.push_back(
          {ChunkKey(x, z, 0, kPendingTicks), std::string(size, 't')});
    }
  }
  records.push_back({ChunkKey(3, 3, 1, kPendingTicks), std::string(5000, 'n')});
  MakeWorld(records);
  const ToolRun run = Run("1000\ny\n");
  ASSERT_FALSE(run.map.empty()) << run.console;
  EXPECT_LE(run.map.size(), 40u * records.size() + 300000u);
  const std::string page = dir_.path() + "/map.html";
  std::ofstream(page, std::ios::binary) << run.map;
  const std::string expect = dir_.path() + "/expect.json";
  std::ofstream(expect)
      << "{\"deleted\":[0,50,20],\"within\":[0,0,0],\"empty\":[0,10,10],"
         "\"rows\":20,\"largest\":["
         "[\"Overworld\",\"50\",\"20\",\"800\",\"320\",\"90000\",\"yes\"],"
         "[\"Nether\",\"3\",\"3\",\"48\",\"48\",\"5000\",\"yes\"]]}";
  const std::string command = "node '" + std::string(QUORVALES_SOURCE_DIR) +
                              "/tests/map/check_map.mjs' '" + modules + "' '" +
                              page + "' '" + expect + "' 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  char buffer[4096];
  while (fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
  EXPECT_EQ(0, pclose(pipe)) << output;
  EXPECT_NE(std::string::npos, output.find("map checked in Chromium"))
      << output;
}

}  // namespace
}  // namespace quorvales
