// The texture cache: lazy loading through the folder list, shared handles, aliases,
// re-linking after a reset and unloading without dangling handles.
#include <filesystem>

#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "platform/Dds.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;

namespace {

class TextureCacheTest : public NullEngineTest {
 protected:
  void SetUp() override {
    NullEngineTest::SetUp();
    first_ = zt_test::UserRoot() + "/tex_a";
    second_ = zt_test::UserRoot() + "/tex_b";
    std::filesystem::create_directories(first_ + "/nested");
    std::filesystem::create_directories(second_);
  }
  uint32_t PixelOf(Texture* t) { return t ? static_cast<NullTexture*>(t)->pixels.at(0) : 0; }
  int Creations() { return dev().CountCalls("CreateTexture"); }

  std::string first_, second_;
};

TEST_F(TextureCacheTest, OneLoadPerNameAndOneSharedHandle) {
  WriteSolidDds(first_ + "/unit.dds", 4, 4, 0xFF112233u);
  RegisterTextureFolder(first_);
  dev().ClearRecord();
  CLoadedTexture* a = FindOrLoadTexture("unit.dds");
  CLoadedTexture* b = FindOrLoadTexture("unit.dds");
  EXPECT_EQ(a, b);
  EXPECT_EQ(Creations(), 1);
  EXPECT_EQ(PixelOf(a->texture), 0xFF112233u);
  EXPECT_EQ(GetTextureName(a), "unit.dds");
  EXPECT_EQ(GetTextureName(nullptr), "");
  // Names are exact: another case is another (missing) file.
  EXPECT_EQ(FindOrLoadTexture("Unit.dds")->texture, nullptr);
}

TEST_F(TextureCacheTest, DecodedTextureIsASecondEntryMadeOnceAndFallsBackToThePlainOne) {
  // A DXT5 sheet of solid red at half alpha, two levels.
  std::vector<std::vector<uint8_t>> levels;
  for (int side : {8, 4}) {
    std::vector<uint8_t> blocks;
    for (size_t i = 0; i < CompressedLevelSize(Format::DXT5, side, side) / 16; ++i) {
      const uint8_t block[16] = {0x80, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
      blocks.insert(blocks.end(), block, block + 16);
    }
    levels.push_back(blocks);
  }
  ASSERT_TRUE(WriteCompressedDdsFile(first_ + "/sheet.dds", 8, 8, Format::DXT5, levels));
  RegisterTextureFolder(first_);
  CLoadedTexture* plain = FindOrLoadTexture("sheet.dds");
  ASSERT_NE(plain->texture, nullptr);
  EXPECT_EQ(plain->texture->GetFormat(), Format::DXT5);
  dev().ClearRecord();
  CLoadedTexture* decoded = FindOrLoadDecodedTexture("sheet.dds");
  ASSERT_NE(decoded, plain);
  ASSERT_NE(decoded->texture, nullptr);
  EXPECT_EQ(decoded->texture->GetFormat(), Format::A8R8G8B8);
  EXPECT_EQ(decoded->texture->Levels(), 2);
  EXPECT_EQ(PixelOf(decoded->texture), 0x80FF0000u);
  EXPECT_EQ(FindOrLoadDecodedTexture("sheet.dds"), decoded);
  EXPECT_EQ(Creations(), 1);
  // The plain entry is untouched.
  EXPECT_EQ(FindOrLoadTexture("sheet.dds"), plain);
  EXPECT_EQ(plain->texture->GetFormat(), Format::DXT5);

  // A missing or hostile name gives what the plain lookup gives, and no entry.
  EXPECT_EQ(FindOrLoadDecodedTexture("missing.dds")->texture, nullptr);
  EXPECT_EQ(FindOrLoadDecodedTexture("../sheet.dds")->texture, nullptr);
  EXPECT_EQ(FindOrLoadDecodedTexture(""), FindOrLoadTexture(""));
}

TEST_F(TextureCacheTest, ACopyAtASizeIsAnEntryBesideTheFilesOwnMadeOncePerSize) {
  // A DXT5 sheet of solid red at half alpha, 8 by 8 with two levels.
  std::vector<std::vector<uint8_t>> levels;
  for (int side : {8, 4}) {
    std::vector<uint8_t> blocks;
    for (size_t i = 0; i < CompressedLevelSize(Format::DXT5, side, side) / 16; ++i) {
      const uint8_t block[16] = {0x80, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
      blocks.insert(blocks.end(), block, block + 16);
    }
    levels.push_back(blocks);
  }
  ASSERT_TRUE(WriteCompressedDdsFile(first_ + "/sheet.dds", 8, 8, Format::DXT5, levels));
  RegisterTextureFolder(first_);
  CLoadedTexture* plain = FindOrLoadTexture("sheet.dds");
  ASSERT_NE(plain->texture, nullptr);
  dev().ClearRecord();
  CLoadedTexture* copy = FindOrLoadTextureCopyAtSize("sheet.dds", 4, 4);
  ASSERT_NE(copy, plain);
  ASSERT_NE(copy->texture, nullptr);
  EXPECT_EQ(copy->texture->Width(), 4);
  EXPECT_EQ(copy->texture->Height(), 4);
  EXPECT_EQ(copy->texture->Levels(), 1);
  EXPECT_EQ(copy->texture->GetFormat(), Format::A8R8G8B8);
  EXPECT_EQ(PixelOf(copy->texture), 0x80FF0000u);
  EXPECT_EQ(FindOrLoadTextureCopyAtSize("sheet.dds", 4, 4), copy);
  EXPECT_EQ(Creations(), 1);
  // Another size is another copy; the file's own entry is untouched by either.
  CLoadedTexture* smaller = FindOrLoadTextureCopyAtSize("sheet.dds", 2, 2);
  ASSERT_NE(smaller->texture, nullptr);
  EXPECT_NE(smaller, copy);
  EXPECT_EQ(smaller->texture->Width(), 2);
  EXPECT_EQ(copy->texture->Width(), 4);
  EXPECT_EQ(FindOrLoadTexture("sheet.dds"), plain);
  EXPECT_EQ(plain->texture->GetFormat(), Format::DXT5);
  EXPECT_EQ(plain->texture->Width(), 8);
  EXPECT_EQ(plain->texture->Levels(), 2);

  // A missing or hostile name gives what the plain lookup gives.
  EXPECT_EQ(FindOrLoadTextureCopyAtSize("missing.dds", 4, 4)->texture, nullptr);
  EXPECT_EQ(FindOrLoadTextureCopyAtSize("../sheet.dds", 4, 4)->texture, nullptr);
  EXPECT_EQ(FindOrLoadTextureCopyAtSize("sheet.dds", 0, 4), plain);
}

TEST_F(TextureCacheTest, FoldersAreSearchedInOrderIncludingSubFolders) {
  WriteSolidDds(second_ + "/only_second.dds", 2, 2, 0xFF00FF00u);
  WriteSolidDds(first_ + "/both.dds", 2, 2, 0xFFFF0000u);
  WriteSolidDds(second_ + "/both.dds", 2, 2, 0xFF0000FFu);
  WriteSolidDds(first_ + "/nested/deep.dds", 2, 2, 0xFF123456u);
  RegisterTextureFolder(first_);
  RegisterTextureFolder(second_);
  RegisterTextureFolder(first_);  // again: no duplicate entry
  auto& folders = engine().TextureFolders();
  EXPECT_EQ(folders, (std::vector<std::string>{first_, first_ + "/nested", second_}));
  EXPECT_EQ(PixelOf(FindTexture("only_second.dds")), 0xFF00FF00u);
  EXPECT_EQ(PixelOf(FindTexture("both.dds")), 0xFFFF0000u);
  EXPECT_EQ(PixelOf(FindTexture("deep.dds")), 0xFF123456u);
}

TEST_F(TextureCacheTest, SymlinkLoopDoesNotRegisterForever) {
  std::error_code ec;
  std::filesystem::create_directory_symlink(first_, first_ + "/nested/loop", ec);
  if (ec) GTEST_SKIP() << "no symlinks here";
  RegisterTextureFolder(first_);
  EXPECT_LT(engine().TextureFolders().size(), 20u);
}

TEST_F(TextureCacheTest, AliasKeepsTheNameButLoadsTheOtherFile) {
  WriteSolidDds(first_ + "/detailed.dds", 8, 8, 0xFFFFFFFFu);
  WriteSolidDds(first_ + "/cheap.dds", 2, 2, 0xFF808080u);
  std::string aliases = zt_test::UserRoot() + "/low.txt";
  {
    std::ofstream out(aliases);
    out << "[textures]\r\ndetailed.dds,cheap.dds\r\nbroken_line_without_comma\r\n";
  }
  LoadTextureAliases(aliases);
  RegisterTextureFolder(first_);
  CLoadedTexture* h = FindOrLoadTexture("detailed.dds");
  ASSERT_NE(h->texture, nullptr);
  EXPECT_EQ(h->name, "detailed.dds");
  EXPECT_EQ(h->texture->Width(), 2);
  EXPECT_EQ(PixelOf(h->texture), 0xFF808080u);
  EXPECT_TRUE(engine().HasTexture("detailed.dds"));
}

TEST_F(TextureCacheTest, BrokenFileIsLoggedOnceAndNeverRetried) {
  {
    std::ofstream out(first_ + "/broken.dds", std::ios::binary);
    out << "DDS garbage that is far too short";
  }
  RegisterTextureFolder(first_);
  dev().ClearRecord();
  EXPECT_EQ(FindTexture("broken.dds"), nullptr);
  EXPECT_EQ(FindTexture("broken.dds"), nullptr);
  EXPECT_EQ(std::count(engine().Textures().begin(), engine().Textures().end(), nullptr), 0);
  int entries = 0;
  for (auto& t : engine().Textures()) entries += t->name == "broken.dds";
  EXPECT_EQ(entries, 1);
  EXPECT_NE(ErrorLog().find("Error creating texture:[broken.dds]"), std::string::npos);
  // The decoder's reason names the file.
  EXPECT_NE(ErrorLog().find(first_ + "/broken.dds: DDS header truncated"), std::string::npos) << ErrorLog();
}

TEST_F(TextureCacheTest, MissingAndHostileNamesLoadNothing) {
  RegisterTextureFolder(first_);
  WriteSolidDds(zt_test::UserRoot() + "/outside.dds", 2, 2, 0xFFFFFFFFu);
  struct Case {
    const char* name;
    const char* drawLogLine;
  } cases[] = {{"", "Attempt to create blank texture"},
               {"nothere.dds", "Failed to create texture: nothere.dds "},
               {"../outside.dds", "Failed to create texture: ../outside.dds "}};
  for (const Case& c : cases) {
    EXPECT_EQ(FindTexture(c.name), nullptr) << c.name;
    EXPECT_FALSE(LoadTextureFromFolders(c.name));
    EXPECT_NE(DrawLog().find(c.drawLogLine), std::string::npos) << c.drawLogLine;
  }
  SetTextureByName("nothere.dds");
  EXPECT_NE(DrawLog().find("Failed to locate texture: nothere.dds"), std::string::npos);
  EXPECT_EQ(engine().BoundTexture(), nullptr);
}

TEST_F(TextureCacheTest, HandlesRelinkAfterReset) {
  WriteSolidDds(first_ + "/a.dds", 2, 2, 0xFF0000FFu);
  RegisterTextureFolder(first_);
  CLoadedTexture* shared = FindOrLoadTexture("a.dds");
  CLoadedTexture own("a.dds");
  ASSERT_NE(shared->texture, nullptr);
  EXPECT_EQ(own.texture, shared->texture);
  dev().cooperativeLevel = D3DERR_DEVICENOTRESET;
  ASSERT_TRUE(engine().RestoreDevice());
  EXPECT_EQ(shared->texture, nullptr);
  EXPECT_EQ(own.texture, nullptr);
  // The folder list survives the reset, so the file is found again.
  RelinkTextures();
  ASSERT_NE(shared->texture, nullptr);
  EXPECT_EQ(own.texture, shared->texture);
  EXPECT_EQ(PixelOf(own.texture), 0xFF0000FFu);
}

TEST_F(TextureCacheTest, UnloadedTextureLeavesNoDanglingHandle) {
  WriteSolidDds(first_ + "/design.dds", 2, 2, 0xFF111111u);
  RegisterTextureFolder(first_);
  CLoadedTexture* h = FindOrLoadTexture("design.dds");
  CTexturedSprite sprite;
  sprite.texture = h;
  h->Bind();
  ASSERT_NE(engine().BoundTexture(), nullptr);
  UnloadTexture("design.dds");
  EXPECT_EQ(h->texture, nullptr);
  EXPECT_EQ(engine().BoundTexture(), nullptr);
  dev().ClearRecord();
  sprite.width = sprite.height = 10;
  sprite.SetPosition(50, 50);
  sprite.DrawDirect();  // draws untextured, touches no freed texture
  ASSERT_EQ(dev().draws.size(), 1u);
  EXPECT_EQ(dev().draws[0].textures[0], nullptr);

  // The file was rewritten on disk: a reload shows the new pixels under the same name.
  WriteSolidDds(first_ + "/design.dds", 2, 2, 0xFF222222u);
  ReloadTexture("design.dds");
  EXPECT_EQ(PixelOf(h->texture), 0xFF222222u);
}

TEST_F(TextureCacheTest, NoDeviceYetMeansTryAgainLater) {
  WriteSolidDds(first_ + "/late.dds", 2, 2, 0xFF00FF00u);
  engine().ReleaseD3D();
  engine().TextureFolders().push_back(first_);
  EXPECT_EQ(FindTexture("late.dds"), nullptr);
  EXPECT_FALSE(engine().HasTexture("late.dds"));
}

}  // namespace
