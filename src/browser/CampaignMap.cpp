// The campaign tab: the campaign picture with one icon per mission, placed by the
// mission's own fractions of the picture, and lines from each mission to those it unlocks.
#include <algorithm>
#include <cmath>

#include "app/Sounds.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/Textures.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/Scenario.h"

namespace {
std::vector<GUI_BB_MapIcon*>& AllIcons() {
  // Never destroyed: icons owned by process-wide screens leave it during exit.
  static auto* const icons = new std::vector<GUI_BB_MapIcon*>();
  return *icons;
}
bool HasTexture(const CTexturedSprite& sprite) { return sprite.texture && sprite.texture->texture; }

// A map position from the scenario file: a fraction of the picture. Anything outside
// 0..1 (an old pixel position, a typing error) would put the icon off the picture.
float IconFraction(float value, const SIM_Scenario* scenario, const char* key) {
  if (value >= 0.0f && value <= 1.0f) return value;
  LogErrorF("Scenario [%s]: %s %g is not a fraction of the campaign map; clamped", scenario->name.c_str(),
            key, static_cast<double>(value));
  return std::min(1.0f, std::max(0.0f, std::isfinite(value) ? value : 0.0f));
}
}  // namespace

GUI_BB_MapIcon*& LastHoveredMapIcon() {
  static GUI_BB_MapIcon* last = nullptr;
  return last;
}

GUI_BB_MapIcon* FindMapIcon(const std::string& scenarioName) {
  for (GUI_BB_MapIcon* icon : AllIcons())
    if (icon->scenario && icon->scenario->name == scenarioName) return icon;
  return nullptr;
}

GUI_BB_LinkGeometry MapLinkGeometry(float ax, float ay, float bx, float by) {
  GUI_BB_LinkGeometry g;
  const float dx = bx - ax, dy = by - ay;
  g.length = std::sqrt(dx * dx + dy * dy);
  g.angle = (std::atan2(dy, dx) + 3.1415927f) * 57.295776f - 90.0f;
  if (g.angle < 0.0f) g.angle += 360.0f;
  g.x = (ax + bx) / 2.0f;
  g.y = (ay + by) / 2.0f;
  return g;
}

// ---------------------------------------------------------------- icon

GUI_BB_MapIcon::GUI_BB_MapIcon(SIM_Scenario* s) : scenario(s) {
  AllIcons().push_back(this);
  link.SetTextureByName("map_link.dds");
  selection.SetTextureByName("mission_selected.dds");
  if (scenario) scenario->unlockable.RefreshLocked();
  locked = scenario ? scenario->unlockable.locked : 1;
  if (locked) {
    tooltip = new GUI_Tooltip(GetTranslation("BB_MISSION_LOCKED"), 10);
    icon.SetTextureByName("locked_mission.dds");
    icon.SetColour(0xFF000000u);
  } else {
    const std::string& shown = scenario ? GetTranslation(scenario->guiName) : std::string();
    tooltip = new GUI_Tooltip(shown, 10);
    icon.SetTextureByName("battle_icon.dds");
  }
}

GUI_BB_MapIcon::~GUI_BB_MapIcon() {
  auto& icons = AllIcons();
  icons.erase(std::remove(icons.begin(), icons.end(), this), icons.end());
  if (LastHoveredMapIcon() == this) LastHoveredMapIcon() = nullptr;
  delete tooltip;
}

void GUI_BB_MapIcon::Process() {
  GUI_WindowBase::Process();
  if (!IsMouseOver()) {
    tooltip->Hide();
    return;
  }
  tooltip->UpdateFade();
  tooltip->Draw();
  if (locked) return;
  GUI_Cursor::SetHandCursor();
  if (LastHoveredMapIcon() != this) {
    LastHoveredMapIcon() = this;
    GetSounds().PlayGuiSound(2);
  }
}

void GUI_BB_MapIcon::Draw() {
  if (!visible) return;
  const bool grown = !locked && IsMouseOver();
  const float scale = grown ? 1.25f : 1.0f;
  icon.SetSize(static_cast<float>(width) * scale, static_cast<float>(height) * scale);
  icon.SetPosition(CentreX(), CentreY());
  if (HasTexture(icon)) icon.DrawDirect();
}

void GUI_BB_MapIcon::DrawSelection() {
  const GUI_BB_Details* details = GetDetailsPanel();
  if (!visible || !details || !scenario || details->scenario != scenario) return;
  selection.SetSize(static_cast<float>(width) * kSelectionScale,
                    static_cast<float>(height) * kSelectionScale);
  selection.SetPosition(CentreX(), CentreY());
  if (HasTexture(selection)) selection.DrawDirect();
}

void GUI_BB_MapIcon::DrawLinks() {
  if (!scenario) return;
  for (const std::string& name : scenario->unlockLinks) {
    GUI_BB_MapIcon* other = FindMapIcon(name);
    if (!other) {
      if (std::find(unknownLinks.begin(), unknownLinks.end(), name) == unknownLinks.end()) {
        unknownLinks.push_back(name);
        LogErrorF("Failed to find %s", name.c_str());
      }
      continue;
    }
    const GUI_BB_LinkGeometry g = MapLinkGeometry(CentreX(), CentreY(), other->CentreX(), other->CentreY());
    link.SetSize(8.0f, g.length);
    link.angle = g.angle;
    link.SetPosition(g.x, g.y);
    if (HasTexture(link)) link.DrawDirect();
  }
}

bool GUI_BB_MapIcon::IsMouseOver() {
  const auto* map = dynamic_cast<const GUI_BB_OfflineCampaignMap*>(ParentWindow());
  if (!map) return GUI_WindowBase::IsMouseOver();
  return map->TopIconAt(gui_draw::MouseX(), gui_draw::MouseY()) == this;
}

bool GUI_BB_MapIcon::LeftClick(float x, float y) {
  const auto* map = dynamic_cast<const GUI_BB_OfflineCampaignMap*>(ParentWindow());
  const bool top = map ? map->TopIconAt(x, y) == this : HitTest(x, y);
  if (locked || !top) return false;
  if (GUI_BB_Details* details = GetDetailsPanel()) {
    GetSounds().PlayGuiSound(0);
    details->ShowScenario(scenario);
  }
  return true;
}

// ---------------------------------------------------------------- map

GUI_BB_OfflineCampaignMap::GUI_BB_OfflineCampaignMap() = default;

GUI_BB_OfflineCampaignMap::~GUI_BB_OfflineCampaignMap() {
  // The icons are children and go with the map.
  icons.clear();
}

void GUI_BB_OfflineCampaignMap::ShowCampaignMap() {
  picture.SetTextureByName(kPicture);
  if (!HasTexture(picture))
    LogErrorF("No campaign map picture (%s); the map shows its icons alone", kPicture);
  pictureWidth = static_cast<float>(width) - 50.0f;
  pictureHeight = static_cast<float>(height) - 50.0f;
  pictureLeft = (left + right) / 2.0f - pictureWidth / 2.0f;
  pictureTop = (top + bottom) / 2.0f - pictureHeight / 2.0f;
  picture.SetSize(pictureWidth, pictureHeight);
  picture.SetPosition((left + right) / 2.0f, (top + bottom) / 2.0f);
  PlaceMissionIcons();
}

void GUI_BB_OfflineCampaignMap::PlaceMissionIcons() {
  SIM_Scenario* first = nullptr;
  // Back from a battle the map shows the mission the player left, while it is open.
  const GUI_BB_Window* window = GetBrowserWindow();
  const std::string remembered = window ? window->reopenScenario : std::string();
  SIM_Scenario* shown = nullptr;
  for (SIM_Scenario* scenario : SIM_ScenarioManager::Get().Campaign()) {
    if (!scenario) continue;
    if (!first) first = scenario;
    auto* icon = new GUI_BB_MapIcon(scenario);
    // Both fractions are of the picture's width, so the map may be any height.
    const float cx = IconFraction(scenario->mapIconX, scenario, "mapiconx") * pictureWidth + pictureLeft;
    const float cy = IconFraction(scenario->mapIconY, scenario, "mapicony") * pictureWidth + pictureTop;
    const float half = GUI_BB_MapIcon::kSize / 2.0f;
    icon->SetRect(cx - half, cy - half, cx + half, cy + half);
    AddChild(icon);
    icons.push_back(icon);
    if (!remembered.empty() && scenario->name == remembered && !icon->locked) shown = scenario;
  }
  if (!shown) shown = first;
  if (shown)
    if (GUI_BB_Details* details = GetDetailsPanel()) details->ShowScenario(shown);
}

GUI_BB_MapIcon* GUI_BB_OfflineCampaignMap::TopIconAt(float x, float y) const {
  for (auto it = icons.rbegin(); it != icons.rend(); ++it)
    if ((*it)->HitTest(x, y)) return *it;
  return nullptr;
}

void GUI_BB_OfflineCampaignMap::Draw() {
  if (!visible) return;
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, false, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  gui_draw::FlushAll();
  GetRenderDevice().SetNormalBlend();
  if (HasTexture(picture)) picture.DrawDirect();
  // Links lie under every icon.
  for (GUI_BB_MapIcon* icon : icons) icon->DrawLinks();
  // The selected mission's ring lies under the icons, so it frames its own icon only.
  for (GUI_BB_MapIcon* icon : icons) icon->DrawSelection();
  for (GUI_BB_MapIcon* icon : icons) icon->Draw();
  GUI_WindowBase::Draw();
}
