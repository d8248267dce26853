// The player's options file: defaults, keys added to older files, two-decimal round trip.
#include <filesystem>

#include "SimdataTestSupport.h"
#include "simdata/Options.h"

namespace {
using namespace simdata_test;

class OptionsTest : public SimdataTest {};

TEST_F(OptionsTest, FreshPlayerGetsTheDefaultFileInTableOrder) {
  SIM_Options::Get();
  const std::string expected =
      "[config]\n"
      "MOTIONBLUR = 1.00\nBLOOD = 1.00\nCLOUDS = 1.00\nINVERTZOOM = 0.00\nTRACKS = 1.00\n"
      "DRIFTINGSMOKE = 1.00\nTRANSITIONS = 1.00\nSHADOWS = 1.00\nSHADOWMAPS = 1.00\nCAMERASHAKE = 1.00\n"
      "DISTORTION = 1.00\nOPTIONS_SFX = 1.00\nOPTIONS_MUSIC = 0.80\nOPTIONS_MASTERVOLUME = 1.00\n"
      "OPTIONS_INTERFACE_VOLUME = 1.00\nMAX_CORPSES_PER_SQUARE = 10.00\nSOUND_HEIGHT_FALLOFF = 0.75\n"
      "OPTIONS_GRAPHICS_DETAIL = 1.00\nOPTIONS_MAP_SCROLL_SPEED = 0.20\nOPTIONS_MAX_CLOUD_ALPHA = 0.80\n"
      "OPTIONS_SHOW_PATHS = 0.00\nOPTIONS_SHOW_DAMAGE = 1.00\nOPTIONS_SHOW_HEALTH = 1.00\n"
      "OPTIONS_CFILTER_ALL = 1.00\nOPTIONS_CFILTER_POSTED = 1.00\nOPTIONS_CFILTER_PERSONAL = 1.00\n"
      "OPTIONS_CFILTER_DOWNLOADED = 1.00\nOPTIONS_CFILTER_FRIENDS = 1.00\n";
  EXPECT_EQ(ReadText(UserFile("config.txt")), expected);
  EXPECT_NE(DebugLogText().find("Writing default options"), std::string::npos);
  EXPECT_EQ(SIM_Options::Get().Entries().size(), 28u);
}

TEST_F(OptionsTest, OlderFileGainsTheMissingKeysWithOverlaysOff) {
  WriteText(UserFile("config.txt"), "[config]\nBLOOD = 1\n");
  SIM_Options& options = SIM_Options::Get();
  EXPECT_TRUE(options.IsOn("BLOOD"));
  EXPECT_FLOAT_EQ(options.GetFloat("MOTIONBLUR"), 0.0f);
  EXPECT_NE(DebugLogText().find("Missing Global variable [MOTIONBLUR]"), std::string::npos);
  EXPECT_EQ(ReadText(UserFile("config.txt")),
            "[config]\nBLOOD = 1.00\nOPTIONS_SHOW_HEALTH = 0.00\nOPTIONS_SHOW_PATHS = 0.00\n"
            "OPTIONS_SHOW_DAMAGE = 0.00\nOPTIONS_MAP_SCROLL_SPEED = 0.20\nOPTIONS_MAX_CLOUD_ALPHA = 0.80\n"
            "OPTIONS_CFILTER_ALL = 1.00\nOPTIONS_CFILTER_POSTED = 1.00\nOPTIONS_CFILTER_PERSONAL = 1.00\n"
            "OPTIONS_CFILTER_DOWNLOADED = 1.00\nOPTIONS_CFILTER_FRIENDS = 1.00\nDISTORTION = 1.00\n");
}

TEST_F(OptionsTest, ValuesKeepTwoDecimalsAndNewKeysAreAppended) {
  SIM_Options& options = SIM_Options::Get();
  options.SetFloat("OPTIONS_MUSIC", 0.333f);
  options.SetFloat("MY_NEW_KEY", 2.5f);
  EXPECT_NE(DebugLogText().find("Missing Global variable"), std::string::npos);
  ASSERT_TRUE(options.Save());
  const std::string text = ReadText(UserFile("config.txt"));
  EXPECT_NE(text.find("OPTIONS_MUSIC = 0.33\n"), std::string::npos);
  EXPECT_EQ(text.rfind("MY_NEW_KEY = 2.50\n"), text.size() - std::string("MY_NEW_KEY = 2.50\n").size());

  options.Load();
  EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_MUSIC"), 0.33f);
  EXPECT_FLOAT_EQ(options.GetFloat("MY_NEW_KEY"), 2.5f);
}

TEST_F(OptionsTest, IsOnOnlyForPositiveValues) {
  struct Case {
    float value;
    bool on;
  };
  const Case cases[] = {{-1.0f, false}, {0.0f, false}, {0.01f, true}, {1.0f, true}};
  SIM_Options& options = SIM_Options::Get();
  for (const Case& c : cases) {
    options.SetFloat("BLOOD", c.value);
    EXPECT_EQ(options.IsOn("BLOOD"), c.on) << c.value;
  }
  EXPECT_FALSE(options.IsOn("NO_SUCH_OPTION"));
}

TEST_F(OptionsTest, DuplicateKeysAreKeptAndTheFirstAnswers) {
  WriteText(UserFile("config.txt"), "[config]\nBLOOD = 0\nBLOOD = 1\n");
  SIM_Options& options = SIM_Options::Get();
  EXPECT_FALSE(options.IsOn("BLOOD"));
  size_t count = 0;
  for (const OptionEntry& e : options.Entries()) count += e.name == "BLOOD";
  EXPECT_EQ(count, 2u);
}

TEST_F(OptionsTest, FailedSaveIsReportedAndKeepsTheOldFileAndTheValues) {
  SIM_Options& options = SIM_Options::Get();
  const std::string before = ReadText(UserFile("config.txt"));
  // A disk that takes no new file makes the write fail.
  zt_test::BlockTemporaryFiles block;
  options.SetFloat("OPTIONS_SFX", 0.5f);
  EXPECT_FALSE(options.Save());
  EXPECT_NE(DebugLogText().find("Failed to save variables"), std::string::npos);
  EXPECT_EQ(ReadText(UserFile("config.txt")), before);
  EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_SFX"), 0.5f);
}

TEST_F(OptionsTest, GarbageAndNonFiniteValuesReadAsZero) {
  WriteText(UserFile("config.txt"),
            "[config]\nOPTIONS_SFX = loud\nOPTIONS_MUSIC = 0.5 \nBLOOD = nan\nCLOUDS = inf\n");
  SIM_Options& options = SIM_Options::Get();
  EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_SFX"), 0.0f);
  EXPECT_FLOAT_EQ(options.GetFloat("BLOOD"), 0.0f);
  EXPECT_FLOAT_EQ(options.GetFloat("CLOUDS"), 0.0f);
  EXPECT_NE(ReadText(UserFile("config.txt")).find("CLOUDS = 0.00\n"), std::string::npos);
  EXPECT_FLOAT_EQ(options.GetFloat("OPTIONS_MUSIC"), 0.5f);
}

}  // namespace
