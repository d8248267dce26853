// Every whole-file reader of the engine refuses what is not a regular file at once (a
// FIFO would block forever, a link to /dev/zero would read a gigabyte) with an
// error-log line, and keeps reading plain files as before.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/BufferedFile.h"
#include "engine/SettingsFile.h"
#include "engine/Spreadsheet.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

using zt_test::FinishesQuickly;
using zt_test::ReadText;
using zt_test::UserDir;
using zt_test::WriteText;

// A reader and a file it reads: true when the reader got something from the path.
struct EngineReader {
  const char* name;
  std::string goodContents;
  std::function<bool(const std::string&)> read;
};

const EngineReader kReaders[] = {
    {"BufferedFile", "bytes",
     [](const std::string& p) {
       GBufferedFile file;
       return file.Open(p) && file.Size() > 0;
     }},
    {"SettingsFile", "[s]\nk = v\n",
     [](const std::string& p) {
       SettingsFile settings;
       return settings.LoadSection(p, "s");
     }},
    {"IniSections", "[s]\nk = v\n",
     [](const std::string& p) {
       std::vector<SettingsFile> sections;
       return LoadAllIniSections(p, sections) && !sections.empty();
     }},
    {"Spreadsheet", "#,gun,10\n", [](const std::string& p) { return !LoadSpreadsheet(p).empty(); }},
    {"StringsTable", "[strings]\nHELLO = Hello\n",
     [](const std::string& p) {
       GHashTable table;
       return table.Load(p, "strings");
     }},
    {"FontWidths", std::string("\x07\0\0\0", 4),
     [](const std::string& p) {
       LibFont font;
       font.Load(p, "planted", 16, 24);
       return font.widths[0] != 0;
     }},
};

class EngineReaders : public ::testing::TestWithParam<EngineReader> {};

TEST_P(EngineReaders, ReadAPlainFile) {
  const std::string path = UserDir() + "/plain.file";
  WriteText(path, GetParam().goodContents);
  EXPECT_TRUE(GetParam().read(path));
}

TEST_P(EngineReaders, RefuseAFifoAtOnceWithALogLine) {
  const std::string fifo = zt_test::PlantFifo(UserDir() + "/planted.fifo");
  bool read = true;
  EXPECT_TRUE(FinishesQuickly([&] { read = GetParam().read(fifo); }, fifo)) << "blocked on a FIFO";
  EXPECT_FALSE(read);
  const std::string errors = ReadText(zt_test::ErrorLogPath());
  EXPECT_NE(errors.find(fifo), std::string::npos) << errors;
  EXPECT_NE(errors.find("not a regular file"), std::string::npos) << errors;
}

TEST_P(EngineReaders, RefuseALinkToDevZeroAtOnceWithALogLine) {
  const std::string link = zt_test::PlantDevZeroLink(UserDir() + "/planted.zero");
  bool read = true;
  EXPECT_TRUE(FinishesQuickly([&] { read = GetParam().read(link); })) << "read from /dev/zero";
  EXPECT_FALSE(read);
  EXPECT_NE(ReadText(zt_test::ErrorLogPath()).find(link), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Each, EngineReaders, ::testing::ValuesIn(kReaders),
                         [](const ::testing::TestParamInfo<EngineReader>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
