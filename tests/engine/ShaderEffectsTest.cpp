// Effects: loading every shipped effect, lookup by path, the no-shader path, begin/end,
// variables, release and reload around a reset, and our effect file format's errors.
#include <filesystem>

#include "engine/ShaderEffects.h"
#include "platform/DeviceEffectFile.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;

namespace {

const char* kShipped[] = {"blueprint",    "achievement_locked",  "shadowmappath", "composite_lightmap",
                          "bakemap",      "distortion",          "motionblur",    "nightvision",
                          "designsprite", "composite_distortion"};

class ShaderEffectsTest : public NullEngineTest {};

TEST_F(ShaderEffectsTest, EveryShippedEffectLoadsAndIsFoundByPath) {
  GetShaderManager().LoadAll();
  for (const char* name : kShipped) {
    std::string path = std::string("data/shaders/") + name + ".fx";
    GShaderEffect* e = GetShaderManager().GetShader(path.c_str());
    ASSERT_NE(e, nullptr) << path;
    EXPECT_NE(e->effect, nullptr) << path;
  }
  EXPECT_EQ(GetShaderManager().GetShader("data/shaders/missing.fx"), nullptr);
  EXPECT_EQ(GetShaderManager().GetShader("blueprint.fx"), nullptr);  // full paths only
  EXPECT_NE(ErrorLog().find("Shader not found: data/shaders/missing.fx"), std::string::npos);
}

// The main menu uses no effect: listing them compiles none, and each is compiled once,
// when first asked for (the software renderer holds its compiled passes in memory).
TEST_F(ShaderEffectsTest, AnEffectIsCompiledWhenFirstAskedFor) {
  GetShaderManager().LoadAll();
  ASSERT_EQ(GetShaderManager().Effects().size(), std::size(kShipped) + 1);  // and bakeground
  for (const auto& record : GetShaderManager().Effects()) EXPECT_EQ(record->effect, nullptr) << record->name;
  GShaderEffect* blur = GetShaderManager().GetShader("data/shaders/motionblur.fx");
  ASSERT_NE(blur, nullptr);
  ASSERT_NE(blur->effect, nullptr);
  const platform::Effect* compiled = blur->effect.get();
  EXPECT_EQ(GetShaderManager().GetShader("data/shaders/motionblur.fx")->effect.get(), compiled)
      << "compiled once";
  for (const auto& record : GetShaderManager().Effects())
    if (record.get() != blur) {
      EXPECT_EQ(record->effect, nullptr) << record->name;
    }
  // A reset recompiles what was compiled and leaves the rest for later.
  ReleaseAllEffects();
  ReloadAllEffects();
  EXPECT_NE(blur->effect, nullptr);
  for (const auto& record : GetShaderManager().Effects())
    if (record.get() != blur) {
      EXPECT_EQ(record->effect, nullptr) << record->name;
    }
}

TEST_F(ShaderEffectsTest, BeginAndEndBracketTheDraws) {
  GetShaderManager().LoadAll();
  GShaderEffect* blur = GetShaderManager().GetShader("data/shaders/motionblur.fx");
  ASSERT_NE(blur, nullptr);
  blur->SetVariable("blurintensity", 0.5f);
  blur->Begin();
  EXPECT_EQ(engine().ActiveEffect(), "data/shaders/motionblur.fx");
  dev().ClearRecord();
  engine().DrawRect(0, 0, 10, 10, 0xFFFFFFFFu);
  blur->End();
  engine().DrawRect(0, 0, 10, 10, 0xFFFFFFFFu);
  ASSERT_EQ(dev().draws.size(), 2u);
  EXPECT_EQ(dev().draws[0].effect, "data/shaders/motionblur.fx");
  EXPECT_EQ(dev().draws[1].effect, "");
  EXPECT_EQ(engine().ActiveEffect(), "");
  // An unknown variable is logged and changes nothing.
  blur->SetVariable("no_such_parameter", 1.0f);
  EXPECT_NE(ErrorLog().find("GShaderEffect::SetVariable failed"), std::string::npos);
}

TEST_F(ShaderEffectsTest, WithoutShaderSupportEveryOperationIsInert) {
  engine().SetShaderSupport(false);
  GetShaderManager().LoadAll();
  GShaderEffect* e = GetShaderManager().GetShader("data/shaders/nightvision.fx");
  ASSERT_NE(e, nullptr);  // the record exists, with no effect
  EXPECT_EQ(e->effect, nullptr);
  dev().ClearRecord();
  e->Begin();
  e->SetVariable("scan_intensity", 0.2f);
  e->End();
  ReloadAllEffects();
  EXPECT_TRUE(dev().calls.empty());
  EXPECT_EQ(engine().ActiveEffect(), "");
}

TEST_F(ShaderEffectsTest, EffectsWorkAgainAfterReleaseAndReload) {
  GetShaderManager().LoadAll();
  GShaderEffect* e = GetShaderManager().GetShader("data/shaders/designsprite.fx");
  e->Begin();  // a reset can come while an effect is open
  ReleaseAllEffects();
  EXPECT_EQ(e->effect, nullptr);
  EXPECT_EQ(engine().ActiveEffect(), "");
  e->Begin();  // released: nothing happens
  EXPECT_EQ(engine().ActiveEffect(), "");
  ReloadAllEffects();
  ASSERT_EQ(GetShaderManager().GetShader("data/shaders/designsprite.fx"), e);
  ASSERT_NE(e->effect, nullptr);
  e->Begin();
  EXPECT_EQ(engine().ActiveEffect(), "data/shaders/designsprite.fx");
  e->End();
}

TEST_F(ShaderEffectsTest, BrokenEffectFileIsLoggedWithItsLine) {
  std::string path = zt_test::UserRoot() + "/bad.fx";
  {
    std::ofstream out(path);
    out << "// comment\n@technique main\n@pass p0\n@bogus directive\n";
  }
  std::unique_ptr<Effect> fx;
  std::string errors;
  EXPECT_NE(dev().CreateEffectFromFile(path, &fx, &errors), D3D_OK);
  EXPECT_EQ(fx, nullptr);
  EXPECT_NE(errors.find(path + "(4)"), std::string::npos) << errors;
}

struct ParseCase {
  const char* what;
  const char* text;
  bool ok;
  int line;  // reported line of the fault
};
class EffectFileParseTest : public ::testing::TestWithParam<ParseCase> {};
TEST_P(EffectFileParseTest, AcceptsOrNamesTheLine) {
  EffectFile f;
  std::string error;
  bool ok = ParseEffectFile(GetParam().text, "x.fx", &f, &error);
  EXPECT_EQ(ok, GetParam().ok) << error;
  if (!GetParam().ok) {
    EXPECT_NE(error.find("x.fx(" + std::to_string(GetParam().line) + ")"), std::string::npos) << error;
  }
}
INSTANTIATE_TEST_SUITE_P(
    Format, EffectFileParseTest,
    ::testing::Values(
        ParseCase{"minimal", "@technique t\n@pass p\n@fragment\nvoid main(){}\n@end\n", true, 0},
        ParseCase{"params and crlf",
                  "@param float a 0.5\r\n@param texture noise\r\n@technique t\r\n@pass p\r\n"
                  "@vertex\r\nvoid main(){}\r\n@fragment\r\nvoid main(){}\r\n@end\r\n",
                  true, 0},
        ParseCase{"no technique", "// nothing\n", false, 1},
        ParseCase{"pass outside technique", "@pass p\n", false, 1},
        ParseCase{"body never closed", "@technique t\n@pass p\n@fragment\nvoid main(){}\n", false, 4},
        ParseCase{"vertex without fragment", "@technique t\n@pass p\n@vertex\nx\n@end\n", false, 5},
        ParseCase{"duplicate parameter", "@param float a\n@param float a\n", false, 2},
        ParseCase{"bad parameter name", "@param float 9lives\n", false, 1},
        ParseCase{"technique without pass", "@technique t\n", false, 1}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& c : n)
        if (c == ' ') c = '_';
      return n;
    });

}  // namespace
