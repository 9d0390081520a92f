// pellix-device on bad input, as someone trying every command would give it: each run ends with
// the right answer or a one-line error, never a crash, a hang or a changed image.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "imaging/sample_pictures.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // -1: killed by a signal or by the time limit
  std::string out, err;
};

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

// Every file of the image but the journal, with its bytes.
using Files = std::map<std::string, std::string>;
Files Snapshot(const fs::path& image) {
  Files files;
  for (const auto& entry : fs::recursive_directory_iterator(image)) {
    if (!entry.is_regular_file() || entry.path().filename() == "journal.log") continue;
    files[fs::relative(entry.path(), image).string()] = ReadAll(entry.path());
  }
  return files;
}

// The names of the files added, removed or changed between two snapshots.
std::string Changes(const Files& before, const Files& after) {
  std::string changed;
  for (const auto& [name, bytes] : before) {
    auto it = after.find(name);
    if (it == after.end()) changed += "removed " + name + "\n";
    else if (it->second != bytes) changed += "changed " + name + "\n";
  }
  for (const auto& [name, bytes] : after)
    if (!before.count(name)) changed += "added " + name + "\n";
  return changed;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = dir_.path() / "image";
    ASSERT_EQ(Tool("init").status, 0);
  }
  void TearDown() override {
    // A read-only image must be writable again to be removed.
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path(), ec))
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }

  // Runs the tool with a time limit, so that a hang is a failure rather than a stuck suite.
  Outcome Tool(const std::string& args, const std::string& input = "", const std::string& env = "") {
    const fs::path out = dir_.path() / "out", err = dir_.path() / "err";
    std::string command = "cd '" + dir_.path().string() + "' && " + env + " timeout -s KILL 30 " PELLIX_TOOL_PATH " --image '" +
                          image_.string() + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    if (!input.empty()) command += " <'" + input + "'";
    const int status = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(status) && WEXITSTATUS(status) != 137 ? WEXITSTATUS(status) : -1;
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
  }

  // A refusal: exit status 1 and one line on standard error that says `why`.
  void ExpectRefused(const std::string& args, const std::string& why) {
    const Outcome run = Tool(args);
    EXPECT_EQ(run.status, 1) << args << "\n" << run.err;
    EXPECT_NE(run.err.find(why), std::string::npos) << args << "\n" << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << args << "\n" << run.err;
  }

  fs::path Skins() const { return image_ / "fs" / "Program Files" / "Halvane Quorrin" / "Pellix" / "Skins"; }

  pellix::testing::TempDir dir_;
  fs::path image_;
};

TEST_F(BadInputTest, MissingHostFontsNeitherAbortNorTroubleCommandsThatDrawNothing) {
  const fs::path upright_only = dir_.path() / "fonts";
  fs::create_directory(upright_only);
  for (const char* face : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
    fs::create_symlink(fs::path("/usr/share/fonts/truetype/dejavu") / face, upright_only / face);
  // No fonts at all: commands that draw nothing do not notice.
  for (const char* command : {"settings", "render 'hi :)'", "store list", "skin show"}) {
    const Outcome run = Tool(command, "", "PELLIX_FONT_DIR=/nonexistent");
    EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
    EXPECT_EQ(run.err, "") << command;
  }
  // Without the oblique faces, a page in italics still shows, with one warning.
  const fs::path shot = dir_.path() / "italic.png";
  const Outcome run = Tool("notify '<i>slanted</i> and <b><i>bold</i></b>' --seconds 1 --screenshot '" + shot.string() + "'",
                       "", "PELLIX_FONT_DIR='" + upright_only.string() + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("fonts-dejavu-extra"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(shot));
}

TEST_F(BadInputTest, AFolderWhereAFileIsWantedAndAFileWhereAFolderIsAreRefused) {
  const fs::path folder = dir_.path() / "folder", file = dir_.path() / "file";
  fs::create_directory(folder);
  WriteAll(file, "text");
  ExpectRefused("picture info '" + folder.string() + "'", "is a folder");
  ExpectRefused("contacts add --name Ann --phone 0301234 --picture '" + folder.string() + "'", "is a folder");
  ExpectRefused("picture samples '" + file.string() + "'", "cannot make a folder");
  // Nor does a folder that cannot be made inside a file count as written.
  ExpectRefused("picture samples '" + (file / "inner").string() + "'", "cannot make a folder");
}

TEST_F(BadInputTest, DeviceNodesLinksToThemAndHugeFilesAreNotRead) {
  ExpectRefused("picture info /dev/zero", "not a regular file");
  ExpectRefused("contacts add --name Ann --phone 0301234 --picture /dev/zero", "not a regular file");
  const fs::path huge = dir_.path() / "huge.gif";
  WriteAll(huge, "GIF89a");
  fs::resize_file(huge, 65u << 20);  // sparse: no disk needed
  ExpectRefused("picture info '" + huge.string() + "'", "larger than 64 MB");

  // A skin whose files are links to an endless device: the skin is shown as one without its
  // files is.
  const fs::path skin = Skins() / "endless";
  fs::create_directories(skin);
  fs::create_symlink("/dev/zero", skin / "skin.ini");
  fs::create_symlink("/dev/zero", skin / "bubble.html");
  fs::create_directories(Skins() / "bare");
  const Outcome shown = Tool("skin show endless");
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(shown.out, Tool("skin show bare").out);
  // A skin that is not there at all is refused, as skin check refuses it.
  const Outcome missing = Tool("skin show nothing");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.status, Tool("skin check nothing").status);
  EXPECT_NE(missing.err.find("no skin folder"), std::string::npos) << missing.err;
  EXPECT_NE(Tool("skin check endless").status, -1);
}

TEST_F(BadInputTest, ADamagedOrMissingRegistryIsNamedAndNotReplaced) {
  const fs::path db = image_ / "registry.db";
  const std::string healthy = ReadAll(db);
  ASSERT_GT(healthy.size(), 4096u);
  for (const std::string& damage : {std::string("garbage"), std::string("truncated"), std::string("deleted")}) {
    SCOPED_TRACE(damage);
    if (damage == "garbage") WriteAll(db, std::string(healthy.size(), 'g'));
    if (damage == "truncated") WriteAll(db, healthy.substr(0, healthy.size() / 2));
    if (damage == "deleted") fs::remove(db);
    const auto before = Snapshot(image_);
    for (const char* command : {"settings", "render hello", "skin show", "reg get HKCU\\\\Software", "store list"})
      ExpectRefused(command, "registry.db");
    EXPECT_EQ(Changes(before, Snapshot(image_)), "");
    WriteAll(db, healthy);
  }
  EXPECT_EQ(Tool("settings").status, 0);
}

TEST_F(BadInputTest, ReadingCommandsChangeNothingAndWorkOnAReadOnlyImage) {
  ASSERT_EQ(Tool("contacts add --name 'Ann Lee' --phone '+49 30 1234'").status, 0);
  ASSERT_EQ(Tool("store add --from +49301234 'hello'").status, 0);
  ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' ZoomLevel dword 3").status, 0);
  const std::vector<std::string> reading = {"store list", "contacts list", "contacts find +49301234",
                                            "reg get 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' ZoomLevel",
                                            "settings", "render 'hi :)'", "skin show", "reg export"};
  std::map<std::string, std::string> answers;
  const auto before = Snapshot(image_);
  for (const std::string& command : reading) {
    const Outcome run = Tool(command);
    EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
    answers[command] = run.out;
  }
  EXPECT_EQ(Changes(before, Snapshot(image_)), "");
  EXPECT_NE(answers["settings"].find("ZoomLevel = 3"), std::string::npos);

  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root; the read-only half needs another user";
  for (const auto& entry : fs::recursive_directory_iterator(image_))
    fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  fs::permissions(image_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  for (const std::string& command : reading) {
    const Outcome run = Tool(command);
    EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
    EXPECT_EQ(run.out, answers[command]) << command;
  }
  EXPECT_EQ(Changes(before, Snapshot(image_)), "");
  ExpectRefused("reg set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' ZoomLevel dword 1", "readonly");
}

TEST_F(BadInputTest, ScreenshotsStayOutOfTheImageAndDashIsStandardOutput) {
  const auto before = Snapshot(image_);
  ExpectRefused("screenshot '" + (image_ / "profile").string() + "'", "inside the device image");
  ExpectRefused("screenshot '" + (image_ / "fs" / ".." / "shot.png").string() + "'", "inside the device image");
  EXPECT_EQ(Changes(before, Snapshot(image_)), "");

  const Outcome run = Tool("screenshot -");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_FALSE(fs::exists(dir_.path() / "-"));
  EXPECT_EQ(Tool("screenshot '" + (dir_.path() / "shot.png").string() + "'").status, 0);
  EXPECT_EQ(ReadAll(dir_.path() / "shot.png"), run.out);
}

TEST_F(BadInputTest, ContactsAreValidatedAndCanBeRemoved) {
  const fs::path garbage = dir_.path() / "garbage.jpg", big = dir_.path() / "big.gif", good = dir_.path() / "ok.bmp";
  WriteAll(garbage, std::string(5000, 'x'));
  WriteAll(big, "GIF89a" + std::string(2u << 20, '\0'));
  pellix::device::imaging::samples::BmpSpec bmp{4, 4, 24, false, false, {}, std::vector<uint32_t>(16, 0xFF336699)};
  const auto bytes = pellix::device::imaging::samples::WriteBmp(bmp);
  WriteAll(good, std::string(bytes.begin(), bytes.end()));

  ExpectRefused("contacts add --name Ann --phone 0301234 --picture '" + garbage.string() + "'", "not a picture");
  ExpectRefused("contacts add --name Ann --phone 0301234 --picture '" + big.string() + "'", "larger than 1 MB");
  ExpectRefused("contacts add --name '' --phone 0301234", "name is empty");
  ExpectRefused("contacts add --name '  ' --phone 0301234", "name is empty");
  ExpectRefused("contacts add --name Ann --phone abc", "not a telephone number");
  ExpectRefused("contacts add --name Ann --phone 12+34", "not a telephone number");
  EXPECT_EQ(Tool("contacts list").out, "");

  const Outcome added = Tool("contacts add --name 'Ann Lee' --phone '+49 (30) 123-45' --picture '" + good.string() + "'");
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string oid = added.out.substr(0, added.out.find('\n'));
  EXPECT_NE(Tool("contacts list").out.find("Ann Lee"), std::string::npos);
  EXPECT_EQ(Tool("contacts remove " + oid).status, 0);
  EXPECT_EQ(Tool("contacts list").out, "");
  ExpectRefused("contacts remove " + oid, "no such contact");
  ExpectRefused("contacts remove x1", "not a contact's object identifier");
}

TEST_F(BadInputTest, FailedRunsLeaveTheDataAsItWasAndOnlyTheJournalGrows) {
  const auto before = Snapshot(image_);
  const Outcome processed = Tool("process 00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
  EXPECT_EQ(processed.status, 1) << processed.out << processed.err;
  // The bubble is shown, so the journal has its lines, but the screenshot cannot be saved.
  const Outcome notified = Tool("notify '<p>hi</p>' --seconds 1 --screenshot /nonexistent/folder/shot.png");
  EXPECT_EQ(notified.status, 1) << notified.out << notified.err;
  EXPECT_EQ(Changes(before, Snapshot(image_)), "");
}

}  // namespace
