// The options in the world folder's place: --help, -h, --version and --list,
// each written to the console alone, with no file made and nothing read.

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/process_holder.h"
#include "tests/run_fixture.h"

namespace quorvales {
namespace {

namespace fs = std::filesystem;

class OptionsTest : public RunFixture {
 protected:
  // A world folder in place holding levelname.txt with name, level.dat
  // changed at changed, and a database of TicksWorld().
  void MakeListedWorld(const std::string& folder, const std::string& name,
                       std::time_t changed) {
    fs::create_directories(folder);
    ASSERT_TRUE(WriteWorld(folder, name, TicksWorld(), &codec_).ok());
    std::ofstream(folder + "/level.dat") << "level";
    SetChanged(folder + "/level.dat", changed);
  }

  static void SetChanged(const std::string& path, std::time_t changed) {
    const struct timespec times[2] = {{changed, 0}, {changed, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
  }

  // The date line as the tool writes it, in this machine's time zone.
  static std::string Changed(std::time_t changed) {
    std::tm local = {};
    localtime_r(&changed, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
    return std::string("   |- Last changed: ") + text + "\n";
  }

  // The size line of a world folder's db, in MB with one decimal.
  static std::string Size(const std::string& folder) {
    uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder + "/db")) {
      bytes += entry.file_size();
    }
    char text[64];
    std::snprintf(text, sizeof(text), "   |- Size of db: %.1f MB\n",
                  static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
  }

  // Runs an option and checks what every option promises.
  ToolRun RunOption(const std::vector<std::string>& args,
                    const RunSettings& settings = {}) {
    const ToolRun run = Run("1000\ny\n", args, settings);
    EXPECT_EQ(0, run.exit_code) << run.console;
    EXPECT_EQ(0, run.input_read) << "the option read its input";
    EXPECT_EQ("", run.log_name);
    EXPECT_TRUE(fs::is_empty(cwd_)) << "the option made a file";
    return run;
  }
};

TEST_F(OptionsTest, HelpAndVersion) {
  const std::string version = "quorvales " QUORVALES_VERSION "\n";
  EXPECT_EQ(version, RunOption({"--version"}).console);
  const std::string help = RunOption({"--help"}).console;
  EXPECT_EQ(help, RunOption({"-h"}).console);
  EXPECT_EQ(0u, help.find("quorvales " QUORVALES_VERSION ": deletes"));
  for (const char* part :
       {"  quorvales WORLD_FOLDER ", "  quorvales --list [FOLDER] ",
        "  quorvales --help           show this help (also -h)\n",
        "  quorvales --version ", "./--list", "quorvaleLog DATE TIME.txt",
        "quorvaleMap DATE TIME.html", "quorvaleBackup DATE TIME",
        "Exit codes:\n  0  ", "\n  1  "}) {
    EXPECT_NE(std::string::npos, help.find(part)) << part;
  }
}

// A world folder named like an option is a world folder when given as a
// path: here one that does not exist.
TEST_F(OptionsTest, FolderNamedLikeAnOption) {
  const ToolRun run = Run("", {"./--list"});
  Transcript t = Opening(run, "./--list");
  t.Both("   |- ERROR: World Not Found");
  ExpectTranscript(t, run);
  EXPECT_EQ(0, run.exit_code);
}

TEST_F(OptionsTest, ListsTheWorldsOfAFolder) {
  const std::string worlds = dir_.path() + "/worlds";
  const std::time_t now = std::time(nullptr);
  const std::string unicode = worlds + "/Abc1DEfgH2I=";
  const std::string spaced = worlds + "/world with space";
  const std::string held = worlds + "/held";
  MakeListedWorld(unicode, "Mundo Ñ 世界 🌍", now - 3600);
  MakeListedWorld(spaced, "Spaced", now - 86400);
  MakeListedWorld(held, "Held", now - 60);
  fs::create_directories(worlds + "/not a world/db");
  fs::create_directory(worlds + "/locked");
  fs::permissions(worlds + "/locked", fs::perms::owner_all);
  const Holder holder = Holder::Open(held + "/db/CURRENT");

  const std::string listed =
      "3 worlds, newest first:\n"
      "\n"
      "Held\n" +
      Changed(now - 60) + Size(held) + "   |- Folder: " + held +
      "\n"
      "   |- open in: sleep (process " +
      std::to_string(holder.pid()) +
      ")\n"
      "\n"
      "Mundo Ñ 世界 🌍\n" +
      Changed(now - 3600) + Size(unicode) + "   |- Folder: " + unicode +
      "\n"
      "\n"
      "Spaced\n" +
      Changed(now - 86400) + Size(spaced) + "   |- Folder: \"" + spaced +
      "\"\n";
  EXPECT_EQ(listed, RunOption({"--list", worlds}).console);
  // Given back to the tool, each path opens its world.
  for (const auto& [folder, name] :
       {std::pair{unicode, "Mundo Ñ 世界 🌍"}, std::pair{spaced, "Spaced"}}) {
    const ToolRun run = Run("1000\nn\n", {folder});
    EXPECT_NE(std::string::npos,
              run.console.find("   |- World Name: " + std::string(name) + "\n"))
        << run.console;
  }

  // As nobody: the locked folder is named with the system's reason, and
  // the holder, root's process, cannot be looked into.
  if (geteuid() != 0 || !fs::exists("/usr/sbin/runuser")) {
    GTEST_SKIP() << "needs root and runuser to run as an unprivileged user";
  }
  fs::permissions(dir_.path(), fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(cwd_, fs::perms::all);
  RunSettings settings;
  settings.as_user = "nobody";
  const std::string open_in =
      "   |- open in: sleep (process " + std::to_string(holder.pid()) + ")\n";
  std::string as_nobody = listed;
  as_nobody.erase(as_nobody.find(open_in), open_in.size());
  as_nobody += "\nCannot read " + worlds + "/locked: Permission denied\n";
  EXPECT_EQ(as_nobody, RunOption({"--list", worlds}, settings).console);
}

// Without a folder: the game's usual places under HOME, and a server's
// "worlds" in the current folder; where none holds a world, the places.
TEST_F(OptionsTest, ListsTheUsualPlaces) {
  const std::string home = dir_.path() + "/home";
  const std::string launcher =
      home + "/.local/share/mcpelauncher/games/com.mojang/minecraftWorlds";
  RunSettings settings;
  settings.environment = {"HOME=" + home};
  const std::string cwd = fs::canonical(cwd_).string();
  EXPECT_EQ(
      "No worlds found. Looked in:\n"
      "   " +
          launcher +
          "\n"
          "   " +
          cwd + "/worlds\n",
      RunOption({"--list"}, settings).console);

  const std::time_t now = std::time(nullptr);
  MakeListedWorld(launcher + "/Zyx9=", "Launched", now - 100);
  fs::create_directory(dir_.path() + "/server");
  MakeListedWorld(dir_.path() + "/server/worlds/Bedrock level", "Served", now);
  // A server's folder is the current one; the worlds are only read there.
  const std::string server = dir_.path() + "/server";
  const ToolRun run = RunTool(server, {"--list"}, "", settings);
  EXPECT_EQ(
      "2 worlds, newest first:\n"
      "\n"
      "Served\n" +
          Changed(now) + Size(server + "/worlds/Bedrock level") +
          "   |- Folder: \"" + server +
          "/worlds/Bedrock level\"\n"
          "\n"
          "Launched\n" +
          Changed(now - 100) + Size(launcher + "/Zyx9=") +
          "   |- Folder: " + launcher + "/Zyx9=\n",
      run.console);
  EXPECT_EQ(0, run.exit_code);
}

}  // namespace
}  // namespace quorvales
