// Challenge packages from other players are hostile: whatever the archive holds, only
// the expected entries land, only inside the challenge's folder, within the limits; a
// refused package leaves no folder behind, so the next try downloads afresh.
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "battle/ChallengePackage.h"
#include "engine/Folders.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

struct Entry {
  std::string name;
  std::string data;
  unsigned mode = 0100644;  // unix mode in the external attributes
  long claimedSize = -1;    // a lying header size (stored raw), or -1
};

// Writes the entries with minizip; raw entries carry the header size they claim.
void WriteZip(const std::string& path, const std::vector<Entry>& entries) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const Entry& e : entries) {
    zip_fileinfo info{};
    info.external_fa = static_cast<uLong>(e.mode) << 16;
    if (e.claimedSize < 0) {
      ASSERT_EQ(
          zipOpenNewFileInZip4_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1,
                                  0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 3 << 8, 0, 0),
          ZIP_OK);
      if (!e.data.empty()) zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size()));
      zipCloseFileInZip(zip);
    } else {
      // Stored, with the true checksum but a false size.
      ASSERT_EQ(
          zipOpenNewFileInZip2_64(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1, 0),
          ZIP_OK);
      zipWriteInFileInZip(zip, e.data.data(), static_cast<unsigned>(e.data.size()));
      const uLong crc =
          crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
      zipCloseFileInZipRaw64(zip, static_cast<ZPOS64_T>(e.claimedSize), crc);
    }
  }
  ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// Every path below the folder, so a test sees exactly what landed.
void Walk(const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
  for (const std::string& name : ListFiles(folder + "/*.*")) {
    out.push_back(prefix + name);
    if (DirectoryExists(folder + "/" + name)) Walk(folder + "/" + name, prefix + name + "/", out);
  }
}

class Package : public ::testing::Test {
 protected:
  void SetUp() override {
    root = zt_test::UserDir() + "/pkg";
    EnsureDirectoryExists(root + "/web/challenges");
    zip = root + "/challenge.zip";
    target = root + "/web/challenges/abc123";
  }
  std::vector<std::string> Landed() {
    std::vector<std::string> all;
    Walk(root, "", all);
    return all;
  }
  std::string root, zip, target;
};

const std::string kScenario = "[config]\nproxy_scenario = border_crossing\n";

TEST_F(Package, AGoodPackageLandsWhole) {
  WriteZip(zip, {{"scenario.txt", kScenario},
                 {"ai_designs/Jackal Raider.txt", "[config]\nname = Jackal Raider\n"},
                 {"recordings/deployment.txt", "[deployment_record]\n"}});
  std::string error;
  ASSERT_TRUE(InstallChallengePackage(zip, target, &error)) << error;
  EXPECT_EQ(zt_test::ReadText(target + "/scenario.txt"), kScenario);
  EXPECT_TRUE(FileExists(target + "/ai_designs/Jackal Raider.txt"));
  EXPECT_TRUE(FileExists(target + "/recordings/deployment.txt"));
  // Installing again replaces the folder rather than mixing two packages.
  WriteZip(zip, {{"scenario.txt", kScenario}});
  ASSERT_TRUE(InstallChallengePackage(zip, target, &error)) << error;
  EXPECT_FALSE(DirectoryExists(target + "/ai_designs"));
}

struct HostileCase {
  const char* what;
  std::function<void(const std::string& zip)> make;
};

TEST_F(Package, HostilePackagesWriteNothingAndLeaveNoFolder) {
  std::string many;
  const std::vector<HostileCase> cases = {
      {"traversal",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"../evil.txt", "x"}});
       }},
      {"traversal inside a folder",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"ai_designs/../../evil.txt", "x"}});
       }},
      {"absolute",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"/tmp/evil.txt", "x"}});
       }},
      {"backslash",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"ai_designs\\..\\evil.txt", "x"}});
       }},
      {"duplicate",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"scenario.txt", "y"}});
       }},
      {"symlink",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"ai_designs/link.txt", "/etc/passwd", 0120777}});
       }},
      {"unexpected entry",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"run.sh", "x"}});
       }},
      {"design in a subfolder",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario}, {"ai_designs/a/b.txt", "x"}});
       }},
      {"bomb",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario + std::string(40u << 20, ' ')}});
       }},
      {"lying size",
       [](const std::string& z) {
         WriteZip(z, {{"scenario.txt", kScenario, 0100644, 3}});
       }},
      {"10,000 entries",
       [](const std::string& z) {
         std::vector<Entry> entries = {{"scenario.txt", kScenario}};
         for (int i = 0; i < 10000; ++i)
           entries.push_back({"ai_designs/d" + std::to_string(i) + ".txt", "x"});
         WriteZip(z, entries);
       }},
      {"no scenario",
       [](const std::string& z) {
         WriteZip(z, {{"recordings/deployment.txt", "x"}});
       }},
      {"empty file", [](const std::string& z) { zt_test::WriteText(z, ""); }},
      {"not a zip", [](const std::string& z) { zt_test::WriteText(z, "<html>500</html>"); }},
      {"truncated",
       [](const std::string& z) {
         WriteZip(z,
                  {{"scenario.txt", kScenario + std::string(5000, 'a')}, {"recordings/deployment.txt", "x"}});
         const std::string whole = zt_test::ReadText(z);
         zt_test::WriteText(z, whole.substr(0, whole.size() / 2));
       }},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.what);
    // A folder from an earlier, broken attempt must not survive either.
    EnsureDirectoryExists(target);
    c.make(zip);
    std::string error;
    EXPECT_FALSE(InstallChallengePackage(zip, target, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DirectoryExists(target));
    // Only the archive itself and the challenges folder remain.
    EXPECT_EQ(Landed(), (std::vector<std::string>{"challenge.zip", "web", "web/challenges"}));
    EXPECT_FALSE(FileExists(zt_test::UserDir() + "/evil.txt"));
  }
}

TEST(ChallengeId, OnlyPlainShortIdsNameAFolder) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"abc-DEF_123", true},
      {std::string(32, 'a'), true},
      {std::string(33, 'a'), false},
      {"", false},
      {"..", false},
      {"a/b", false},
      {"a b", false},
      {"a%2e", false},
  };
  for (const auto& [id, ok] : cases) EXPECT_EQ(IsValidChallengeId(id), ok) << id;
}

TEST(ChallengeEntry, OnlyTheThreeKindsOfEntryAreExpected) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"scenario.txt", true},
      {"recordings/deployment.txt", true},
      {"ai_designs/Tank A.txt", true},
      {"ai_designs/.txt", false},
      {"ai_designs/.hidden.txt", false},
      {"ai_designs/x.ini", false},
      {"recordings/other.txt", false},
      {"Scenario.txt", false},
      {"ai_designs/a/b.txt", false},
  };
  for (const auto& [name, ok] : cases) EXPECT_EQ(IsChallengePackageEntry(name), ok) << name;
}

}  // namespace
