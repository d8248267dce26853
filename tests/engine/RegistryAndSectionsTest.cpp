// registry.ini and scenario-style files with many sections are read in one pass, with
// exactly what a section-by-section read gives; a damaged registry.ini is kept aside.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Registry.h"
#include "engine/SettingsFile.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

using zt_test::ReadText;
using zt_test::UserDir;
using zt_test::WriteText;

// Texts that exercise every corner of the two readers' grammars.
const char* const kTexts[] = {
    "[one]\r\nk = v\n[two]  \n not [three]\n[one]\nk = again\nj\n[]\n",
    "\xEF\xBB\xBF[bom]\nkey = value\n",
    "before = any header\n[a]\n/comment = x\n  spaced = \"quoted, \"value\" \" \n[b\nx = 1\n[c]\t\ny = 2\n",
    "[prop_tree]\n0 = 1,2,3,4,5\n\n[prop_rock]\n\n[prop_tree]\n1 = 6,7,8,9,10\n[config]\nname = x",
    "[a]\r\n[a]\r\n[b]\r\nz = 1\r",
    "",
    "no headers at all\n",
};

TEST(ParseAllIniSections, GivesWhatReadingEachListedSectionGives) {
  const std::string path = UserDir() + "/sections.ini";
  for (const char* text : kTexts) {
    WriteText(path, text);
    std::vector<std::string> names;
    ListIniSections(names, path);
    std::vector<std::string> unique;
    for (const std::string& n : names)
      if (std::find(unique.begin(), unique.end(), n) == unique.end()) unique.push_back(n);
    std::vector<SettingsFile> all;
    ASSERT_TRUE(LoadAllIniSections(path, all));
    ASSERT_EQ(all.size(), unique.size()) << text;
    for (size_t i = 0; i < unique.size(); ++i) {
      SettingsFile one;
      one.LoadSection(path, unique[i]);
      EXPECT_EQ(all[i].SectionName(), unique[i]) << text;
      EXPECT_EQ(all[i].Entries(), one.Entries()) << text << " section " << unique[i];
      EXPECT_EQ(all[i].SectionFound(), one.SectionFound()) << text << " section " << unique[i];
    }
  }
}

TEST(Registry, RewriteKeepsEverySectionOnceAndMovesOurKeyToTheEnd) {
  WriteText(RegistryFilePath(),
            "[a]\nx = 1\n\n[software\\Norvane Games]\nztkinstallpath = /old\nother = 2\n\n"
            "[a]\ny = 3\n\n[b]\n\n");
  ASSERT_TRUE(WriteInstallPath("/opt/new"));
  EXPECT_EQ(
      ReadText(RegistryFilePath()),
      "[a]\nx = 1\ny = 3\n\n[software\\Norvane Games]\nother = 2\nztkinstallpath = /opt/new\n\n[b]\n\n");
  EXPECT_EQ(ReadInstallPath(), "/opt/new");
}

TEST(Registry, ManySectionsAreAllKept) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "[key " + std::to_string(i) + "]\nv = " + std::to_string(i) + "\n\n";
  WriteText(RegistryFilePath(), text);
  ASSERT_TRUE(WriteInstallPath("/opt/x"));
  EXPECT_EQ(ReadText(RegistryFilePath()), text + "[software\\Norvane Games]\nztkinstallpath = /opt/x\n\n");
}

struct RegistryDamage {
  const char* name;
  std::string bytes;
};

class DamagedRegistry : public ::testing::TestWithParam<RegistryDamage> {};

TEST_P(DamagedRegistry, IsKeptAsDamagedBeforeBeingReplaced) {
  WriteText(RegistryFilePath(), GetParam().bytes);
  ASSERT_TRUE(WriteInstallPath("/opt/x"));
  EXPECT_EQ(ReadText(RegistryFilePath() + ".damaged"), GetParam().bytes);
  EXPECT_EQ(ReadText(RegistryFilePath()), "[software\\Norvane Games]\nztkinstallpath = /opt/x\n\n");
  EXPECT_NE(ReadText(zt_test::ErrorLogPath()).find("Player file " + RegistryFilePath() + " is damaged"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedRegistry,
                         ::testing::Values(RegistryDamage{"Binary", std::string("[a]\nx = \0\x01\x02", 11)},
                                           RegistryDamage{"NoSection", "garbage text\nwith lines\n"}),
                         [](const ::testing::TestParamInfo<RegistryDamage>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
