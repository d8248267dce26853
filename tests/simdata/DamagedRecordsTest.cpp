// Player record files that exist but cannot be read as a whole: each is kept as
// "<name>.damaged" with one error-log line naming it, and the game starts from the
// full defaults instead of a half-empty record.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "SimdataTestSupport.h"
#include "simdata/GlobalStats.h"
#include "simdata/HighScores.h"
#include "simdata/Options.h"
#include "support/HostileFiles.h"

namespace {
using namespace simdata_test;

// One record file, the loader that reads it, and a check that the defaults are in use.
struct Record {
  const char* file;
  std::function<void()> load;
  std::function<void()> expectDefaults;
};

// What a damaged file can hold.
struct Damage {
  const char* name;
  std::string bytes;
};

const Record kRecords[] = {
    {"config.txt", [] { SIM_Options::Get(); },
     [] {
       SIM_Options& options = SIM_Options::Get();
       EXPECT_EQ(options.Entries().size(), 28u) << "every default key";
       EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_SFX"), 1.0f) << "sound on";
       EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_GRAPHICS_DETAIL"), 1.0f) << "detail up";
       EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_MUSIC"), 0.8f);
       EXPECT_NE(ReadText(UserFile("config.txt")).find("OPTIONS_SFX = 1.00\n"), std::string::npos)
           << "the defaults are written back";
     }},
    {"hs.dat", [] { SIM_HighScores::Get(); }, [] { EXPECT_TRUE(SIM_HighScores::Get().Scores().empty()); }},
    {"chal_beaten.ini", [] { SIM_HighScores::Get().LoadBeaten(); },
     [] { EXPECT_TRUE(SIM_HighScores::Get().Beaten().empty()); }},
    {"unl.dat", [] { SIM_HighScores::Get(); },
     [] {
       SIM_HighScores& hs = SIM_HighScores::Get();
       EXPECT_TRUE(hs.IsUnlocked("inf_rifleman")) << "the starting set";
       EXPECT_TRUE(hs.IsUnlocked("tank_jackal"));
       EXPECT_EQ(ReadText(UserFile("unl.dat")).rfind("[unlocks]\n", 0), 0u);
     }},
    {"stat.ini", [] { EXPECT_FALSE(SIM_GlobalStats::Get().Load()); },
     [] { EXPECT_EQ(SIM_GlobalStats::Get().GetStat("battles_won"), 0); }},
};

template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

const Damage kDamage[] = {
    {"Emptied", ""},
    {"TruncatedInTheHeader", "[con"},
    {"GarbageText", "this is not a record at all\nbattles_won = 99\n"},
    {"BinaryBytes", Bytes("\x7F"
                          "ELF\x02\x01\x01\0\0\0[config]\n[scores]\n[beaten]\n[unlocks]\n[stats]\n")},
    {"NulInsideAValidLookingRecord",
     Bytes("[config]\n[scores]\n[beaten]\n[unlocks]\n[stats]\nbattles_won = 9\0\0\0\0")},
};

class DamagedRecord : public SimdataTest, public ::testing::WithParamInterface<std::tuple<Record, Damage>> {};

TEST_P(DamagedRecord, IsKeptAsDamagedLoggedAndReplacedByDefaults) {
  const Record& record = std::get<0>(GetParam());
  const Damage& damage = std::get<1>(GetParam());
  const std::string path = UserFile(record.file);
  // An older damaged copy is replaced by the newest.
  WriteText(path + ".damaged", "an older damaged copy");
  WriteText(path, damage.bytes);
  record.load();
  EXPECT_EQ(ReadText(path + ".damaged"), damage.bytes);
  const std::string errors = ReadText(zt_test::ErrorLogPath());
  EXPECT_NE(errors.find("Player file " + path + " is damaged"), std::string::npos) << errors;
  EXPECT_NE(errors.find("kept as " + path + ".damaged"), std::string::npos) << errors;
  record.expectDefaults();
}

INSTANTIATE_TEST_SUITE_P(Records, DamagedRecord,
                         ::testing::Combine(::testing::ValuesIn(kRecords), ::testing::ValuesIn(kDamage)),
                         [](const ::testing::TestParamInfo<std::tuple<Record, Damage>>& info) {
                           std::string file = std::get<0>(info.param).file;
                           for (char& c : file)
                             if (c == '.') c = '_';
                           return file + "_" + std::get<1>(info.param).name;
                         });

using Plant = std::string (*)(const std::string&);

class HostileRecord : public SimdataTest, public ::testing::WithParamInterface<std::tuple<Record, Plant>> {};

// A FIFO or a link to /dev/zero at a record's name is moved aside (the link itself,
// never what it points to) without blocking or reading forever.
TEST_P(HostileRecord, FifoOrDeviceLinkIsMovedAsideAtOnce) {
  const Record& record = std::get<0>(GetParam());
  const std::string path = UserFile(record.file);
  std::get<1>(GetParam())(path);
  EXPECT_TRUE(zt_test::FinishesQuickly(record.load, path));
  struct stat st {};
  EXPECT_EQ(::lstat((path + ".damaged").c_str(), &st), 0);
  EXPECT_FALSE(S_ISREG(st.st_mode)) << "the planted thing itself was moved";
  EXPECT_NE(ReadText(zt_test::ErrorLogPath()).find("Player file " + path + " is damaged"), std::string::npos);
  record.expectDefaults();
  struct stat zero {};
  ASSERT_EQ(::stat("/dev/zero", &zero), 0);
  EXPECT_TRUE(S_ISCHR(zero.st_mode));
}

INSTANTIATE_TEST_SUITE_P(Records, HostileRecord,
                         ::testing::Combine(::testing::ValuesIn(kRecords),
                                            ::testing::Values(&zt_test::PlantFifo,
                                                              &zt_test::PlantDevZeroLink)),
                         [](const ::testing::TestParamInfo<std::tuple<Record, Plant>>& info) {
                           std::string file = std::get<0>(info.param).file;
                           for (char& c : file)
                             if (c == '.') c = '_';
                           return file +
                                  (std::get<1>(info.param) == &zt_test::PlantFifo ? "_Fifo" : "_DevZeroLink");
                         });

TEST_F(SimdataTest, EmptyButHeadedRecordsAreSoundNotDamaged) {
  WriteText(UserFile("hs.dat"), "[scores]\n\n");
  WriteText(UserFile("chal_beaten.ini"), "[beaten]\n");
  WriteText(UserFile("stat.ini"), "[stats]\n\n");
  SIM_HighScores::Get().LoadBeaten();
  SIM_GlobalStats::Get().Load();
  for (const char* name : {"hs.dat", "chal_beaten.ini", "stat.ini"})
    EXPECT_FALSE(std::filesystem::exists(UserFile(name) + ".damaged")) << name;
  EXPECT_EQ(ReadText(zt_test::ErrorLogPath()).find("is damaged"), std::string::npos);
}

TEST_F(SimdataTest, UnlocksWithNoEntriesAreKeptAsDamagedAndTheStartingSetRestored) {
  WriteText(UserFile("unl.dat"), "[unlocks]\n\n[config]\n");
  SIM_HighScores& hs = SIM_HighScores::Get();
  EXPECT_TRUE(hs.IsUnlocked("inf_rifleman"));
  EXPECT_EQ(ReadText(UserFile("unl.dat.damaged")), "[unlocks]\n\n[config]\n");
}

TEST_F(SimdataTest, AMissingOptionIsLoggedOnceNotEveryFrame) {
  SIM_Options& options = SIM_Options::Get();
  for (int frame = 0; frame < 100; ++frame) EXPECT_FLOAT_EQ(options.GetFloat("NO_SUCH_OPTION"), 0.0f);
  const std::string log = DebugLogText();
  const std::string line = "Missing Global variable [NO_SUCH_OPTION]";
  const size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(log.find(line, first + 1), std::string::npos);
}

}  // namespace
