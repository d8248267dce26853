// Folder creation, listing and deletion.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "platform/Window.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace {

class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override { base_ = zt_test::UserDir() + "/tree"; }
  std::string base_;
};

TEST_F(FoldersTest, EnsureDirectoryExistsCreatesEveryMissingLevel) {
  struct Case {
    std::string path;
    std::string mustExist;
  };
  const Case cases[] = {
      {base_ + "/a/b/c", base_ + "/a/b/c"},           // three levels below an existing folder
      {base_ + "/a/b/c", base_ + "/a/b/c"},           // again: nothing to do
      {base_ + "/slash/end/", base_ + "/slash/end"},  // trailing separator
      {base_ + "\\back\\slashes", base_ + "/back/slashes"},
      {base_ + "//double//sep", base_ + "/double/sep"},
  };
  for (const Case& c : cases) {
    EnsureDirectoryExists(c.path);
    EXPECT_TRUE(DirectoryExists(c.mustExist)) << c.path;
  }
}

TEST_F(FoldersTest, EnsureDirectoryExistsEndsWhenNothingCanBeMade) {
  // A file where a folder should be: the walk must end and report failure.
  EnsureDirectoryExists(base_);
  ft::WriteText(base_ + "/file", "x");
  EXPECT_FALSE(TryEnsureDirectoryExists(base_ + "/file/below/deeper"));
  EXPECT_FALSE(DirectoryExists(base_ + "/below"));  // nothing made in the wrong place
  EXPECT_FALSE(TryEnsureDirectoryExists(""));
  EXPECT_TRUE(TryEnsureDirectoryExists("/"));
}

std::string g_boxTitle;
std::string g_boxText;
struct Exited {
  int code;
};

// The user folder is unusable without its folders: the game stops with the system box.
TEST_F(FoldersTest, FolderThatCannotBeMadeStopsTheGame) {
  EnsureDirectoryExists(base_);
  ft::WriteText(base_ + "/file", "x");
  g_boxTitle.clear();
  g_boxText.clear();
  // The debug log is open, so its write happens between the failure and the box.
  OpenDebugFile(base_);
  platform::SetMessageBoxHook([](const std::string& title, const std::string& text) {
    g_boxTitle = title;
    g_boxText = text;
  });
  platform::SetExitHook([](int code) { throw Exited{code}; });
  int code = 0;
  try {
    EnsureDirectoryExists(base_ + "/file/sub");
  } catch (const Exited& e) {
    code = e.code;
  }
  platform::SetMessageBoxHook(nullptr);
  platform::SetExitHook(nullptr);
  EXPECT_EQ(g_boxTitle, "WindowsError");
  // "file" is no folder: the box and the exit code say so.
  EXPECT_EQ(code, ENOTDIR);
  EXPECT_EQ(g_boxText, std::strerror(ENOTDIR));
}

TEST_F(FoldersTest, ListingsMatchPatternsSkipDotNamesAndSort) {
  EnsureDirectoryExists(base_ + "/sub");
  EnsureDirectoryExists(base_ + "/.hidden_dir");
  for (const char* name : {"b.txt", "a.txt", "noext", "c.fx", ".dotfile", "A.TXT"})
    ft::WriteText(base_ + "/" + name, "");
  struct Case {
    const char* pattern;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"/*.*", {"A.TXT", "a.txt", "b.txt", "c.fx", "noext", "sub"}},
      {"/*", {"A.TXT", "a.txt", "b.txt", "c.fx", "noext", "sub"}},
      {"/*.txt", {"a.txt", "b.txt"}},
      {"/?.fx", {"c.fx"}},
      {"/noext.*", {"noext"}},
      {"/missing*", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ListFiles(base_ + c.pattern), c.files) << c.pattern;
  EXPECT_EQ(ListFolders(base_ + "/*.*"), std::vector<std::string>{"sub"});
  // Prefixed, every match is a path to it, whatever the mask (a plain name lists itself).
  for (const char* mask : {"/*.fx", "/?.fx", "/c*", "/c.fx"})
    EXPECT_EQ(ListFiles(base_ + mask, true), std::vector<std::string>{base_ + "/c.fx"}) << mask;
  EXPECT_TRUE(ListFiles(base_ + "/nofolder/*.*").empty());

  FileList list;
  list.usePrefix = true;
  list.files.push_back("kept");
  ListFiles(list, base_ + "/*.txt");
  EXPECT_EQ(list.prefix, base_ + "/");
  EXPECT_EQ(list.files, (std::vector<std::string>{"kept", base_ + "/a.txt", base_ + "/b.txt"}));
}

// Deleting a tree must never follow a link out of it.
TEST_F(FoldersTest, DeleteFolderTreeRemovesLinksNotTheirTargets) {
  const std::string outside = zt_test::UserDir() + "/precious";
  EnsureDirectoryExists(outside + "/inner");
  ft::WriteText(outside + "/keep.txt", "player data");
  EnsureDirectoryExists(base_ + "/deep/er");
  ft::WriteText(base_ + "/deep/er/f", "1");
  ft::WriteText(base_ + "/.hidden", "1");
  ASSERT_EQ(symlink(outside.c_str(), (base_ + "/deep/link_to_dir").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (base_ + "/link_to_file").c_str()), 0);
  ASSERT_EQ(symlink("/nonexistent/target", (base_ + "/dangling").c_str()), 0);

  EXPECT_TRUE(DeleteFolderTree(base_));
  EXPECT_FALSE(DirectoryExists(base_));
  EXPECT_EQ(ft::ReadText(outside + "/keep.txt"), "player data");
  EXPECT_TRUE(DirectoryExists(outside + "/inner"));
}

TEST_F(FoldersTest, DeleteFolderTreeReportsFailure) {
  EXPECT_FALSE(DeleteFolderTree(base_ + "/never_made"));
  // The folder given is itself a link: only the link goes.
  const std::string target = zt_test::UserDir() + "/target";
  EnsureDirectoryExists(target);
  ft::WriteText(target + "/f", "x");
  ASSERT_EQ(symlink(target.c_str(), (zt_test::UserDir() + "/alias").c_str()), 0);
  EXPECT_TRUE(DeleteFolderTree(zt_test::UserDir() + "/alias"));
  EXPECT_TRUE(FileExists(target + "/f"));
}

TEST_F(FoldersTest, DeleteFilesInFolderKeepsSubfolders) {
  EnsureDirectoryExists(base_ + "/sub");
  ft::WriteText(base_ + "/a.tmp", "");
  ft::WriteText(base_ + "/sub/b.tmp", "");
  DeleteFilesInFolder(base_);  // no trailing separator given
  EXPECT_FALSE(FileExists(base_ + "/a.tmp"));
  EXPECT_TRUE(FileExists(base_ + "/sub/b.tmp"));
}

TEST_F(FoldersTest, FileSizesAndAtomicWrites) {
  EnsureDirectoryExists(base_);
  EXPECT_EQ(GetFileSizeByName(base_ + "/none"), -1);
  EXPECT_EQ(GetFileSizeByName(base_), -1);
  ASSERT_TRUE(WriteFileAtomic(base_ + "/f", "12345"));
  EXPECT_EQ(GetFileSizeByName(base_ + "/f"), 5);
  ASSERT_TRUE(WriteFileAtomic(base_ + "/f", ""));
  EXPECT_EQ(GetFileSizeByName(base_ + "/f"), 0);
  // A pipe has no size and opening it would wait for a writer forever.
  ASSERT_EQ(::mkfifo((base_ + "/pipe").c_str(), 0600), 0);
  EXPECT_EQ(GetFileSizeByName(base_ + "/pipe"), -1);
}

// A player file asked for before the user folders are known ("" + "/metr.ini") is refused
// instead of landing at the file system's root.
TEST_F(FoldersTest, AFileWithoutItsUserFolderIsNotWrittenAtTheRoot) {
  UserFolders()[USERFOLDER_ROOT].clear();
  const std::string path = GetUserFolder(USERFOLDER_ROOT) + "/zentrak-no-folder-test.ini";
  EXPECT_FALSE(WriteFileAtomic(path, "x"));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(WriteFileAtomic("", "x"));
}

TEST(FileNameTest, OnlyPlainNamesAreSafe) {
  struct Case {
    std::string name;
    bool safe;
  };
  const Case cases[] = {{"design.txt", true},
                        {"Tiger II", true},
                        {"", false},
                        {".", false},
                        {"..", false},
                        {"../etc", false},
                        {"a/b", false},
                        {"a\\b", false},
                        {std::string("a\0b", 3), false},
                        {"tab\tname", false},
                        {std::string(129, 'x'), false},
                        {"..hidden", true}};
  for (const Case& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.safe) << c.name;
}

}  // namespace
