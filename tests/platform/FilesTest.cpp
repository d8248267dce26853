// Whole-file reads and replacing writes: only regular files are read, and only up to a
// cap; a save never writes through a link planted in the user folder and never leaves
// a half-written file or a stray temporary file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "platform/Audio.h"
#include "platform/DeviceEffectFile.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/SteamFileBackend.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

using zt_test::FinishesQuickly;
using zt_test::ReadText;
using zt_test::TemporaryFilesIn;
using zt_test::UserDir;
using zt_test::WriteText;

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(WriteFileReplacing, ReplacesTheFileAndLeavesNoTemporaryFile) {
  const std::string path = UserDir() + "/stat.ini";
  WriteText(path, "old contents that are longer than the new ones\n");
  std::string error;
  ASSERT_TRUE(platform::WriteFileReplacing(path, "new\n", 4, &error)) << error;
  EXPECT_EQ(ReadText(path), "new\n");
  EXPECT_TRUE(TemporaryFilesIn(UserDir()).empty());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0022, 0u) << "never writable by others";
}

TEST(WriteFileReplacing, LinkAtTheFinalNameIsReplacedAndItsTargetUntouched) {
  const std::string target = UserDir() + "/elsewhere.txt";
  const std::string path = UserDir() + "/config.txt";
  WriteText(target, "precious\n");
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
  ASSERT_TRUE(platform::WriteFileReplacing(path, "[config]\n", 9));
  EXPECT_EQ(ReadText(target), "precious\n");
  EXPECT_FALSE(IsLink(path));
  EXPECT_EQ(ReadText(path), "[config]\n");
}

TEST(WriteFileReplacing, LinksPlantedAtTemporaryNamesAreNeverWrittenThrough) {
  // Whatever name the writer picks, one of our temporary names planted as a link must
  // not be followed: plant links at many such names, then save many times.
  const std::string target = UserDir() + "/victim.txt";
  WriteText(target, "untouched\n");
  const std::string path = UserDir() + "/hs.dat";
  std::vector<std::string> planted;
  for (int i = 0; i < 256; ++i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", i * 0x01010101u);
    planted.push_back(UserDir() + "/.hs.dat.ztk-tmp-" + suffix);
    ASSERT_EQ(::symlink(target.c_str(), planted.back().c_str()), 0);
  }
  for (int i = 0; i < 50; ++i) {
    const std::string text = "[scores]\n0 = run " + std::to_string(i) + "\n";
    ASSERT_TRUE(platform::WriteFileReplacing(path, text.data(), text.size()));
    EXPECT_EQ(ReadText(path), text);
  }
  EXPECT_EQ(ReadText(target), "untouched\n");
  for (const std::string& link : planted) EXPECT_TRUE(IsLink(link)) << link;
}

TEST(WriteFileReplacing, DiskFullMidWriteKeepsTheOldFile) {
  const std::string path = UserDir() + "/unl.dat";
  WriteText(path, "[unlocks]\nhmg\n");
  const std::string big(64 * 1024, 'x');
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string error;
  const bool saved = platform::WriteFileReplacing(path, big.data(), big.size(), &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadText(path), "[unlocks]\nhmg\n");
  EXPECT_TRUE(TemporaryFilesIn(UserDir()).empty());
}

TEST(WriteFileReplacing, MissingFolderFailsWithAReason) {
  std::string error;
  EXPECT_FALSE(platform::WriteFileReplacing(UserDir() + "/no/such/folder/x.ini", "x", 1, &error));
  EXPECT_NE(error.find("temporary"), std::string::npos) << error;
}

TEST(TemporaryFiles, OnlyOurStrayTemporaryFilesAreSwept) {
  const std::string root = UserDir() + "/Zentrak";
  WriteText(root + "/.config.txt.ztk-tmp-0123abcd", "half");
  WriteText(root + "/player_units/.tank.txt.ztk-tmp-ffffffff", "half");
  WriteText(root + "/scenarios/ridge/.scenario.txt.ztk-tmp-00000000", "half");
  ASSERT_EQ(::symlink("/nonexistent", (root + "/.hs.dat.ztk-tmp-12345678").c_str()), 0);
  // Not ours, or not finished with the pattern: kept.
  const std::vector<std::string> kept = {
      "/config.txt",         "/.config.txt.ztk-tmp-0123ABCD", "/notes.ztk-tmp-01234567",
      "/.x.ztk-tmp-0123abc", "/player_units/tank.txt",        "/old.tmp"};
  for (const std::string& name : kept) WriteText(root + name, "keep");
  EXPECT_EQ(platform::RemoveStrayTemporaryFiles(root), 4);
  for (const std::string& name : kept) EXPECT_EQ(ReadText(root + name), "keep") << name;
  EXPECT_TRUE(TemporaryFilesIn(root).empty());
  EXPECT_TRUE(TemporaryFilesIn(root + "/scenarios/ridge").empty());
}

TEST(ReadRegularFile, ReadsRegularFilesUpToTheCap) {
  const std::string path = UserDir() + "/data.bin";
  WriteText(path, std::string("ab\0cd", 5));
  std::string text, error;
  ASSERT_TRUE(platform::ReadRegularFile(path, &text, 5, &error)) << error;
  EXPECT_EQ(text, std::string("ab\0cd", 5));
  EXPECT_FALSE(platform::ReadRegularFile(path, &text, 4, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(platform::ReadRegularFile(UserDir() + "/missing", &text, 5, &error));
  EXPECT_EQ(error, platform::kFileNotFound);
  EXPECT_FALSE(platform::ReadRegularFile(UserDir(), &text, 5, &error));
}

// Every whole-file reader of this layer, given a path; true when it read something.
struct PlatformReader {
  const char* name;
  std::function<bool(const std::string&)> read;
};

const PlatformReader kReaders[] = {
    {"ReadRegularFile",
     [](const std::string& p) {
       std::vector<uint8_t> bytes;
       return platform::ReadRegularFile(p, &bytes);
     }},
    {"LoadImageFile",
     [](const std::string& p) {
       platform::DecodedImage image;
       std::string error;
       return platform::LoadImageFile(p, &image, &error);
     }},
    {"LoadEffectFile",
     [](const std::string& p) {
       platform::EffectFile effect;
       std::string error;
       return platform::LoadEffectFile(p, &effect, &error);
     }},
    {"DecodeOggFile",
     [](const std::string& p) {
       std::vector<short> pcm;
       int channels = 0, rate = 0;
       return platform::DecodeOggFile(p, &pcm, &channels, &rate, nullptr);
     }},
    {"SteamCloudFile",
     [](const std::string& p) {
       const size_t slash = p.rfind('/');
       platform::SteamFileBackend cloud(p.substr(0, slash), 1);
       return !cloud.RemoteFile(p.substr(slash + 1)).empty();
     }},
};

class PlatformReaders : public ::testing::TestWithParam<PlatformReader> {};

TEST_P(PlatformReaders, RefuseAFifoAtOnce) {
  const std::string fifo = zt_test::PlantFifo(UserDir() + "/planted.fifo");
  bool read = true;
  EXPECT_TRUE(FinishesQuickly([&] { read = GetParam().read(fifo); }, fifo)) << "blocked on a FIFO";
  EXPECT_FALSE(read);
}

TEST_P(PlatformReaders, RefuseALinkToDevZeroAtOnce) {
  const std::string link = zt_test::PlantDevZeroLink(UserDir() + "/planted.zero");
  bool read = true;
  EXPECT_TRUE(FinishesQuickly([&] { read = GetParam().read(link); })) << "read from /dev/zero";
  EXPECT_FALSE(read);
}

INSTANTIATE_TEST_SUITE_P(Each, PlatformReaders, ::testing::ValuesIn(kReaders),
                         [](const ::testing::TestParamInfo<PlatformReader>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

namespace {

TEST(OpenFileForWriting, NeverWritesThroughWhatIsPlantedAtTheName) {
  const std::string target = UserDir() + "/precious.txt";
  WriteText(target, "precious\n");
  const std::string log = UserDir() + "/debug.txt";
  ASSERT_EQ(::symlink(target.c_str(), log.c_str()), 0);
  for (bool append : {false, true}) {
    std::FILE* f = platform::OpenFileForWriting(log, append);
    ASSERT_NE(f, nullptr);
    std::fputs("line\n", f);
    std::fclose(f);
  }
  EXPECT_EQ(ReadText(target), "precious\n");
  EXPECT_FALSE(IsLink(log));
  EXPECT_EQ(ReadText(log), "line\nline\n");

  const std::string fifo = zt_test::PlantFifo(UserDir() + "/errors.txt");
  std::FILE* f = nullptr;
  EXPECT_TRUE(FinishesQuickly([&] { f = platform::OpenFileForWriting(fifo, true); }, fifo));
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

}  // namespace
