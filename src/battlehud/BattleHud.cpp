#include "battlehud/BattleHud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/Transition.h"
#include "app/Tutorial.h"
#include "battle/AirStrikes.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/ChallengeRecording.h"
#include "battle/Gameplay.h"
#include "battle/SupplyLimits.h"
#include "battlehud/AchievementsDialog.h"
#include "battlehud/AirStrikePlacement.h"
#include "battlehud/BattleOverlays.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/DivisionManager.h"
#include "battlehud/EndOfBattle.h"
#include "battlehud/HudPanels.h"
#include "battlehud/MiniMap.h"
#include "battlehud/PostBattleUnlock.h"
#include "battlehud/RecordingSave.h"
#include "battlehud/StatsDialog.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/DesignSprite.h"
#include "battlescreen/TightQuads.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/MathHelpers.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/InfoWidgets.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/SpriteSheet.h"
#include "gui/ToolkitHooks.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/Achievements.h"
#include "simdata/DataHooks.h"
#include "simdata/Divisions.h"
#include "simdata/ModuleType.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/Unlockable.h"

namespace {
constexpr uint32_t kGrey = 0xff787878;
constexpr uint32_t kWhite = 0xffffffff;
constexpr uint32_t kGlint = 0x20ffffff;
constexpr const char* kDeploymentArt = "ui_deployment_bg.dds";
// The line under the clock once the time limit has passed (under the dial, inside the strip).
constexpr float kOvertimeTop = 106.0f;
// The cost figure ends this far inside its icon's right edge.
constexpr float kCostInset = 6.0f;
const char* const kClassOrder[] = {"LIGHTTANK", "MEDIUMTANK", "HEAVYTANK",   "LIGHTMECH",    "MEDIUMMECH",
                                   "HEAVYMECH", "INFANTRY",   "SMALLTURRET", "MEDIUMTURRET", "LARGETURRET"};

GUI_BS_Deployment* g_deployment = nullptr;
GUI_BS_TopStrip* g_topStrip = nullptr;
GUI_BS_PostMortem* g_postMortem = nullptr;

int g_deploymentScroll = 0;

// The division button: two frames of an 8 x 8 grid on the minimap panel's sheet.
class DivisionButton : public GUI_IconButton {
 public:
  DivisionButton() : GUI_IconButton(&GUI_BS_Deployment::OnDivisionButton, "minimap_panel.dds", 0) {}
  void Draw() override {
    if (!visible) return;
    const int frame = IsMouseInside() ? 29 : 21;
    const float u = static_cast<float>(frame % 8) / 8.0f, v = static_cast<float>(frame / 8) / 8.0f;
    gui_draw::QueueQuad(normal_, static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                        static_cast<float>(bottom), u, v, u + 0.125f, v + 0.125f, 0xffffffffu);
    GUI_ButtonBase::Draw();
  }
};

std::string Translated(const char* key) {
  const std::string& t = GetTranslation(key);
  return t.empty() ? std::string(key) : t;
}

// Tests reset the process between cases: the open windows go with it.
void RegisterHudReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_deployment;
                              g_deployment = nullptr;
                              delete g_topStrip;
                              g_topStrip = nullptr;
                              delete g_postMortem;
                              g_postMortem = nullptr;
                              delete GetRecordingSaveDialog();
                              // The strip's remembered place is process-wide too.
                              g_deploymentScroll = 0;
                            }),
                            true);
  (void)registered;
}

CLoadedTexture* Plain() { return FindOrLoadTexture("deployment_square_fill.dds"); }

void FillRect(float l, float t, float r, float b, uint32_t colour) {
  gui_draw::QueueQuad(Plain(), l, t, r, b, 0.45f, 0.45f, 0.55f, 0.55f, colour);
}

// Panel art cut into bands, each drawn over the span its art reaches: the console's and
// the top strip's pieces are wide and much of them is the battlefield showing through.
void QueueBanded(CLoadedTexture* art, float left, float top, float right, float bottom, float u0, float v0,
                 float u1, float v1, uint32_t colour) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(art);
  GVertex q[4];
  gui_draw::MakeQuad(q, left, top, right, bottom, u0, v0, u1, v1, colour);
  QueueTightBands(q, art ? art->Texture() : nullptr, 0, 16);
}

void QueuePiece(CLoadedTexture* art, const DeploymentArtPiece& p, uint32_t colour) {
  if (!p.shown || p.width <= 0.0f || p.height <= 0.0f) return;
  QueueBanded(art, p.x - p.width * 0.5f, p.y - p.height * 0.5f, p.x + p.width * 0.5f, p.y + p.height * 0.5f,
              p.u0, p.v0, p.u1, p.v1, colour);
}

DeploymentArtPiece Piece(float x, float y, float w, float h, float u0, float v0, float u1, float v1) {
  DeploymentArtPiece p;
  p.shown = true;
  p.x = x;
  p.y = y;
  p.width = w;
  p.height = h;
  p.u0 = u0;
  p.v0 = v0;
  p.u1 = u1;
  p.v1 = v1;
  return p;
}

DeploymentArtPiece Mirrored(DeploymentArtPiece p) {
  std::swap(p.u0, p.u1);
  return p;
}

void PrintAt(int align, const std::string& text, float x, float y, uint32_t colour) {
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont("18.dds", 16.0f);
  tr.Print(align, text.c_str(), x, y, colour);
}

std::string Clock(float ms) {
  const int s = std::max(0, static_cast<int>(ms / 1000.0f));
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d:%02d", s / 60, s % 60);
  return buf;
}
}  // namespace

float FillRatio(float value, float full) {
  // A scenario without a cap or target has nothing to divide by: full once reached.
  if (full <= 0.0f) return value >= full ? 1.0f : 0.0f;
  return std::clamp(value / full, 0.0f, 1.0f);
}

std::string FormatScore(float value) { return FormatThousands(static_cast<int>(value)); }

// ---------------------------------------------------------------- design popup

GUI_BS_DesignPopup::GUI_BS_DesignPopup(SIM_UnitDesign* d) : GUI_Dialog(false), design(d) {
  ZT_ASSERT(design != nullptr);
  sideBorder = topBorder = bottomBorder = kBorder;
  // Shown by its icon, drawn by the deployment window: the strip under it takes the clicks.
  claimsMouse = false;
  blocksClicks = false;
  if (!design) return;
  for (const DesignModule& m : design->modules)
    if (slots.size() < kSlots) slots.push_back(m.type);
  while (slots.size() < kSlots) slots.push_back(nullptr);
  for (const SIM_ModuleType* m : slots)
    slotTooltips.push_back(m ? std::make_unique<GUI_Tooltip>(m->GetGuiName(), 20) : nullptr);
  title = design->guiName.empty() ? design->name : design->guiName;
  if (title.size() > 255) title.resize(255);
  picture = GUI_BS_DesignSprite::Instance().GetTexture(design->name, false);
}

GUI_BS_DesignPopup::~GUI_BS_DesignPopup() = default;

void GUI_BS_DesignPopup::Layout(int iconLeft, int iconTop, int iconRight, int windowTop, int screenWidth) {
  const int centre = (iconLeft + iconRight) / 2;
  const int l = std::min(centre - kWidth / 2, screenWidth - kWidth);
  const int t = windowTop - kHeight - 38;
  SetRect(static_cast<float>(l), static_cast<float>(t), static_cast<float>(l + kWidth),
          static_cast<float>(t + kHeight));
  // The title as far as it fits the bar.
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont("22.dds", 16.0f);
  std::string name = title;
  TruncateToWidth(name, 150.0f);
  SetTitle(name);
  const GUI_Rect c = GetClientRect();
  descLeft = static_cast<int>(c.left) + 10;
  descTop = static_cast<int>(c.top) + 8;
  descRight = static_cast<int>(c.right) - 10;
  descBottom = static_cast<int>(c.top) + 33;
  gridX = static_cast<float>(c.left) + 48 + 15;
  gridY = static_cast<float>(descBottom) + 48;
  connectorLeft = centre - 4;
  connectorRight = centre + 4;
  connectorTop = bottom;
  connectorBottom = iconTop + 5;
}

int GUI_BS_DesignPopup::SlotAt(float x, float y) const {
  const float x0 = gridX + 48 + 5, y0 = static_cast<float>(descBottom);
  if (x < x0 || y < y0 || x >= x0 + 4 * 48.0f || y >= y0 + 2 * 48.0f) return -1;
  return static_cast<int>((y - y0) / 48.0f) * 4 + static_cast<int>((x - x0) / 48.0f);
}

void GUI_BS_DesignPopup::Draw() {
  if (!design || !visible) return;
  // The dialog's backdrop, frame and title bar, then the dark inset of the client area.
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  gui_draw::FlushAll();
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont("18.dds", 16.0f);
  // One line in the band over the picture: a longer description is cut (the icon's
  // tooltip carries all of it).
  std::string description = design->description;
  const float band = static_cast<float>(descRight - descLeft) - 10.0f;
  TruncateToWidth(description, band);
  tr.Print(0, description.c_str(), static_cast<float>(descLeft) + 5, static_cast<float>(descTop),
           gui_draw::TextColour());
  tr.Flush();
  // The picture on its grid.
  gui_draw::QueueCentred(FindOrLoadTexture("design_popup_grid.dds"), gridX, gridY, 96, 96, 0, 0, 1, 1,
                         kWhite);
  gui_draw::FlushSprites();
  if (!picture.empty())
    gui_draw::QueueCentred(FindOrLoadTexture(picture), gridX, gridY, 96, 96, 0, 0, 1, 1, kWhite);
  gui_draw::FlushSprites();
  // The eight module slots, four to a row: the slot under the pointer lights up and names
  // its module.
  const float mx = gui_draw::MouseX(), my = gui_draw::MouseY();
  const int hovered = SlotAt(mx, my);
  CLoadedTexture* panel = FindOrLoadTexture("minimap_panel.dds");
  const float x0 = gridX + 48 + 5, y0 = static_cast<float>(descBottom);
  for (int i = 0; i < kSlots; ++i) {
    const float sx = x0 + 48.0f * static_cast<float>(i % 4), sy = y0 + 48.0f * static_cast<float>(i / 4);
    const bool lit = i == hovered && slots[static_cast<size_t>(i)];
    const float u = lit ? 0.875f : 0.75f;
    gui_draw::QueueQuad(panel, sx + 2, sy + 2, sx + 46, sy + 46, u, 0.5625f, u + 0.125f, 0.6875f, kWhite);
  }
  gui_draw::FlushSprites();
  for (int i = 0; i < kSlots; ++i) {
    const SIM_ModuleType* m = slots[static_cast<size_t>(i)];
    if (!m || m->icon.empty()) continue;
    const float cx = x0 + 48.0f * static_cast<float>(i % 4) + 24,
                cy = y0 + 48.0f * static_cast<float>(i / 4) + 24;
    gui_draw::QueueCentred(FindOrLoadTexture(m->icon), cx, cy, 36, 36, 0, 0, 1, 1, 0xffffff80);
  }
  gui_draw::FlushSprites();
  for (size_t i = 0; i < slotTooltips.size(); ++i) {
    GUI_Tooltip* tip = slotTooltips[i].get();
    if (!tip) continue;
    if (static_cast<int>(i) == hovered && !GetInputManager().pollFlag) {
      tip->UpdateFade();
      tip->Draw();
    } else {
      tip->Hide();
    }
  }
  // The connector down to the icon.
  FillRect(static_cast<float>(connectorLeft), static_cast<float>(connectorTop),
           static_cast<float>(connectorRight), static_cast<float>(connectorBottom), 0xffc8c8c8);
  gui_draw::FlushAll();
}

// ---------------------------------------------------------------- deployment console

GUI_BS_Deployment_BG::GUI_BS_Deployment_BG() {
  // Art only: the strip and the map under it take the clicks.
  claimsMouse = false;
  blocksClicks = false;
}

void GUI_BS_Deployment_BG::Layout(int screenWidth, int screenHeight, float scrollBarLeft,
                                  float scrollBarRight) {
  const float sw = static_cast<float>(screenWidth), sh = static_cast<float>(screenHeight);
  for (DeploymentArtPiece& p : slots) p = DeploymentArtPiece();
  edges.clear();
  // The corner blocks.
  slots[0] = Piece(224, sh - 80, 448, 160, 0.34375f, 0.375f, 0.78125f, 1.0f);
  slots[3] = Mirrored(slots[0]);
  slots[3].x = sw - 224;
  // The two centre halves meet in the middle of the screen.
  if (screenWidth >= 896) {
    const float w = static_cast<float>(std::min(192, (screenWidth - 896) / 2));
    slots[1] = Piece(sw / 2 - w / 2, sh - 80, w, 160, 1.0f - w / 1024.0f, 0.375f, 1.0f, 1.0f);
    slots[2] = Mirrored(slots[1]);
    slots[2].x = sw / 2 + w / 2;
  }
  // The trough the scroll bar runs in: a stretched middle between two ends.
  const float trough = std::max(0.0f, scrollBarRight - scrollBarLeft - 40.0f);
  slots[5] = Piece(sw / 2, sh - 32, trough, 64, 0.15625f, 0.25f, 0.1572266f, 0.5f);
  slots[4] = Piece(sw / 2 - trough / 2 - 80, sh - 32, 160, 64, 0.0f, 0.25f, 0.15625f, 0.5f);
  slots[6] = Mirrored(slots[4]);
  slots[6].x = sw / 2 + trough / 2 + 80;
  // The fins beside the division button, where the screen leaves room for them.
  if (screenWidth > 1290) {
    slots[7] = Piece(sw / 2 - 100, sh - 128, 160, 32, 0.125f, 0.625f, 0.28125f, 0.75f);
    slots[8] = Mirrored(slots[7]);
    slots[8].x = sw / 2 + 100;
  }
  // Filler from the centre halves out to the corner blocks, 32 pixels a piece.
  if (screenWidth > 1280) {
    const float innerLeft = slots[1].x - slots[1].width / 2, innerRight = slots[2].x + slots[2].width / 2;
    float offset = 0.0f;
    for (int r = screenWidth - 1280; r > 0; r -= 64) {
      const float p = r < 64 ? static_cast<float>(r) / 2.0f : 32.0f;
      edges.push_back(Piece(innerLeft - offset - p / 2, sh - 80, p, 160, 0.78125f, 0.375f, 0.8125f, 1.0f));
      edges.push_back(Piece(innerRight + offset + p / 2, sh - 80, p, 160, 0.78125f, 0.375f, 0.8125f, 1.0f));
      offset += p;
    }
  }
}

void GUI_BS_Deployment_BG::Draw() {
  if (!visible) return;
  CLoadedTexture* art = FindOrLoadTexture(kDeploymentArt);
  for (int i = 0; i < 4; ++i) QueuePiece(art, slots[i], kWhite);
  for (const DeploymentArtPiece& e : edges) QueuePiece(art, e, kWhite);
  for (int i = 4; i < kSlots; ++i) QueuePiece(art, slots[i], kWhite);
  gui_draw::FlushSprites();
}

void GUI_BS_Deployment::LayoutDecorations(int screenWidth, float centreX, float bottom,
                                          DeploymentArtPiece out[3]) {
  const float g = static_cast<float>(screenWidth - 463);
  float wing = 352.0f, uRight = 0.9375f;
  // A narrow screen keeps the wings' outer ends and cuts them short towards the middle.
  if (g < 704.0f) {
    wing = std::max(0.0f, g / 2);
    uRight = 0.5625f + 0.375f * (wing / 352.0f);
  }
  const float middle = std::max(0.0f, g - 704.0f);
  const float y = bottom - 94.0f;
  out[2] = Piece(centreX, y, middle, 64, 0.9375f, 0.0f, 1.0f, 0.25f);
  out[2].shown = middle > 0.0f;
  out[0] = Piece(centreX - middle / 2 - wing / 2, y, wing, 64, 0.5625f, 0.0f, uRight, 0.25f);
  out[0].shown = wing > 0.0f;
  out[1] = Mirrored(out[0]);
  out[1].x = centreX + middle / 2 + wing / 2;
}

void GUI_BS_Deployment::SheetSize(int n, int* width, int* height) {
  if (width) *width = n > 16 ? 1024 : 512;
  if (height) *height = n > 32 ? 1024 : 512;
}

void GUI_BS_Deployment::BuildIconSheet() {
  sheetPending = false;
  // The old sheet goes first: its name is free again for the new one.
  sheet.reset();
  int w = 0, h = 0;
  SheetSize(static_cast<int>(icons.size()), &w, &h);
  sheet = std::make_unique<GUI_SpriteSheet>(kSheetName, static_cast<float>(kSheetCell), static_cast<float>(w),
                                            static_cast<float>(h));
  sheet->BeginCapture();
  // Each picture lands in its cell as it is, alpha included: blended onto the cleared
  // sheet its alpha would be applied twice and the icons drawn from it would fade.
  platform::Device* device = GetRenderDevice().Device();
  const uint32_t blending = device ? device->GetRenderState(platform::RenderState::AlphaBlendEnable) : 1;
  if (device) device->SetRenderState(platform::RenderState::AlphaBlendEnable, 0);
  for (Icon& icon : icons) {
    icon.cell = -1;
    if (icon.picture.empty()) continue;
    CTexturedSprite image(icon.picture);
    // A picture that failed to load keeps no cell: the icon shows its bare plate.
    if (!image.texture || !image.texture->texture) continue;
    const int cell = sheet->CellsFilled();
    sheet->AddSprite(&image);
    if (sheet->CellsFilled() == cell) continue;  // the sheet is full: drawn from the picture
    const int columns = std::max(1, sheet->Columns()), rows = std::max(1, sheet->Rows());
    icon.cell = cell;
    icon.u0 = static_cast<float>(cell % columns) / static_cast<float>(columns);
    icon.v0 = static_cast<float>(cell / columns) / static_cast<float>(rows);
    icon.u1 = icon.u0 + 1.0f / static_cast<float>(columns);
    icon.v1 = icon.v0 + 1.0f / static_cast<float>(rows);
  }
  if (device) device->SetRenderState(platform::RenderState::AlphaBlendEnable, blending);
  sheet->EndCapture();
}

// ---------------------------------------------------------------- deployment window

bool GUI_BS_Deployment::AbilityEnabled(const SIM_AirStrikeType* type) {
  return type && type->ready && GetBattle().state == BATTLE_RUNNING &&
         GetGameplay().supplies >= static_cast<float>(type->supplyCost);
}

float GUI_BS_Deployment::RestockFraction(const SIM_AirStrikeType* type) {
  if (!type || type->ready || !(type->restockDelay > 0.0f)) return -1.0f;
  const float f = type->restockTimer / type->restockDelay;
  return f > 0.0f && f < 1.0f ? f : -1.0f;
}

std::vector<std::string> GUI_BS_Deployment::AbilityTooltipLines(const SIM_AirStrikeType* type) {
  std::vector<std::string> lines;
  if (!type) return lines;
  // A label without a translation shows its key.
  auto label = [](const std::string& key) {
    const std::string t = GetTranslation(key);
    return t.empty() ? key : t;
  };
  char line[160];
  lines.push_back(label(type->guiName));
  std::snprintf(line, sizeof line, "%s : %dx%d", label("AIRSTRIKE_DAMAGE").c_str(), type->strikeCount,
                static_cast<int>(type->damage));
  lines.push_back(line);
  std::snprintf(line, sizeof line, "%s : %d", label("AIRSTRIKE_SUPPLIES").c_str(), type->supplyCost);
  lines.push_back(line);
  std::snprintf(line, sizeof line, "%s : %ds", label("AIRSTRIKE_DELAY").c_str(),
                static_cast<int>(type->orderDelay / 1000.0f));
  lines.push_back(line);
  std::snprintf(line, sizeof line, "%s : %ds", label("AIRSTRIKE_DURATION").c_str(),
                static_cast<int>(type->attackDuration / 1000.0f));
  lines.push_back(line);
  return lines;
}

std::vector<SIM_AirStrikeType*> GUI_BS_Deployment::OfferedStrikes() {
  std::vector<SIM_AirStrikeType*> out;
  if (!BattleExists() || !GetBattle().playerDefends) return out;
  for (const auto& type : GetAirStrikeManager().types)
    if (type && !type->unlockable.IsLocked()) out.push_back(type.get());
  return out;
}

std::vector<SIM_UnitDesign*> BuildDeployableDesignList() {
  std::vector<SIM_UnitDesign*> out;
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  designs.Load();
  SIM_Division* division = SIM_DivisionManager::Instance().Selected();
  ZT_ASSERT(division != nullptr);
  if (!division) return out;
  std::vector<SIM_UnitDesign*> listed;
  for (const std::string& name : division->designs)
    if (SIM_UnitDesign* d = designs.FindDesign(name); d && IsDesignDeployable(d)) listed.push_back(d);
  for (const char* cls : kClassOrder)
    for (SIM_UnitDesign* d : listed)
      if (d->hull && d->hull->moduleSize == cls) out.push_back(d);
  return out;
}

GUI_BS_Deployment::GUI_BS_Deployment() {
  RegisterHudReset();
  g_deployment = this;
  SetName("DEPLOYMENT_WINDOW");
  cooldownClock = std::make_unique<GUI_ClockTimer>();
  const int a[4] = {226, 177, 1, 220}, b[4] = {0, 0, 0, 220};
  std::copy(a, a + 4, cooldownClock->colourA);
  std::copy(b, b + 4, cooldownClock->colourB);
  divisionButton = new DivisionButton();
  divisionButton->SetTooltip("DIVISION_BUTTON_TT", 60);
  AddButton(divisionButton);
  // The console behind everything, then the scroll bar in its trough.
  background = new GUI_BS_Deployment_BG();
  AddChild(background);
  scrollBar = new GUI_ScrollingWindow(GUI_ScrollingWindow::kHorizontal);
  AddChild(scrollBar);
  // Reopened where the player left it, as far as the new strip reaches (the rebuild
  // starts from the first icon).
  const int remembered = g_deploymentScroll;
  Refresh();
  ScrollTo(remembered);
  Open();
}

GUI_BS_Deployment::GUI_BS_Deployment(Empty) {
  RegisterHudReset();
  scrollBar = new GUI_ScrollingWindow(GUI_ScrollingWindow::kHorizontal);
  AddChild(scrollBar);
}

GUI_BS_Deployment::~GUI_BS_Deployment() {
  if (g_deployment == this) g_deployment = nullptr;
}

std::string GUI_BS_Deployment::CostText(const SIM_UnitDesign* design) {
  return FormatScore(DesignDeploymentCost(design));
}

std::string GUI_BS_Deployment::CostLine(const SIM_UnitDesign* design) {
  if (!design) return std::string();
  float cost = std::trunc(design->cost);
  if (design->GetSizeType() == SIZE_INFANTRY) cost *= 25.0f;  // a squad of 25
  const std::string supplies = FormatThousands(static_cast<int>(cost));
  // A translation too long for the line is cut at 31 characters.
  char line[32];
  if (BattleExists() && GetBattle().playerDefends) {
    std::snprintf(line, sizeof line, "(%s: %s %s)", Translated("DEPLOYMENT_ICON_COST").c_str(),
                  supplies.c_str(), Translated("DEPLOYMENT_ICON_SUPPLIES").c_str());
  } else {
    const float vp = design->hull ? std::trunc(design->hull->victoryPoints) : 0.0f;
    std::snprintf(line, sizeof line, "(%s: %s %s)(%s : %s)", Translated("DEPLOYMENT_ICON_COST").c_str(),
                  supplies.c_str(), Translated("DEPLOYMENT_ICON_SUPPLIES").c_str(),
                  Translated("DEPLOYMENT_ICON_VP").c_str(), FormatThousands(static_cast<int>(vp)).c_str());
  }
  return line;
}

void GUI_BS_Deployment::Refresh() {
  icons.clear();
  for (SIM_UnitDesign* d : BuildDeployableDesignList()) {
    Icon icon;
    icon.design = d;
    icon.picture = GUI_BS_DesignSprite::Instance().GetTexture(d->name, false);
    icon.element = std::make_shared<GUI_BaseElement>();
    icon.element->SetName("DEPLOYMENT_ICON");
    icon.tooltip = std::make_shared<GUI_Tooltip>(d->guiName.empty() ? d->name : d->guiName, 10);
    if (!d->description.empty()) icon.tooltip->AddLine(d->description);
    icon.tooltip->AddLine(CostLine(d));
    icons.push_back(icon);
  }
  for (SIM_AirStrikeType* type : OfferedStrikes()) {
    Icon icon;
    icon.strike = type;
    icon.picture = type->icon;
    icon.enabled = false;
    icons.push_back(icon);
  }
  abilityTooltip.reset();
  abilityTooltipIcon = -1;
  soundedIcon = nullptr;
  const int sw = ScreenWidth(), sh = ScreenHeight();
  int visible = static_cast<int>(icons.size());
  int w = 12 + kIconSize * visible + 10;
  while (w > sw - 580 && visible > 0) {
    w -= kIconSize;
    --visible;
  }
  const int h = 12 + kIconSize + 10;
  SetRect(static_cast<float>(sw / 2 - w / 2), static_cast<float>(sh - h),
          static_cast<float>(sw / 2 - w / 2 + w), static_cast<float>(sh));
  maxVisible = visible;
  scroll = 0;
  g_deploymentScroll = 0;
  popup.reset();
  popupIcon = -1;
  SyncScrollBar();
  if (divisionButton) {
    const float cx = static_cast<float>(sw / 2);
    divisionButton->SetRect(cx - 20, static_cast<float>(top - 30), cx + 20, static_cast<float>(top + 10));
  }
  if (background && scrollBar)
    background->Layout(sw, sh, static_cast<float>(scrollBar->left), static_cast<float>(scrollBar->right));
  LayoutDecorations(sw, (left + right) / 2.0f, static_cast<float>(bottom), decorations);
  // The pictures go into the sheet at the window's next draw, inside the frame.
  sheetPending = true;
  RefreshIfChanged();
}

int GUI_BS_Deployment::VisibleCount() const {
  return std::min(maxVisible, static_cast<int>(icons.size()) - scroll);
}

int GUI_BS_Deployment::ScrollMax() const { return std::max(0, static_cast<int>(icons.size()) - maxVisible); }

bool GUI_BS_Deployment::ScrollTo(int position) {
  position = std::clamp(position, 0, ScrollMax());
  if (position == scroll) {
    SyncScrollBar();
    return false;
  }
  scroll = position;
  g_deploymentScroll = position;
  // The popup belonged to an icon that may have moved away.
  popup.reset();
  popupIcon = -1;
  SyncScrollBar();
  return true;
}

void GUI_BS_Deployment::SyncScrollBar() {
  if (!scrollBar) return;
  const float cx = (left + right) / 2.0f;
  if (right - left < 608) {
    scrollBar->SetRect(cx - 175, static_cast<float>(bottom - 26), cx + 175, static_cast<float>(bottom));
  } else {
    scrollBar->SetRect(static_cast<float>(left + 129), static_cast<float>(bottom - 26),
                       static_cast<float>(right - 129), static_cast<float>(bottom));
  }
  scrollBar->SetRange(static_cast<float>(icons.size()), static_cast<float>(VisibleCount()), ScrollMax());
  scrollBar->SetPosition(scroll);
  // The strip itself moved the bar: nothing for the next frame to follow.
  scrollBar->changed = false;
}

void GUI_BS_Deployment::OnWheelUp() { ScrollTo(scroll - 1); }
void GUI_BS_Deployment::OnWheelDown() { ScrollTo(scroll + 1); }

int GUI_BS_Deployment::OnDivisionButton(int) {
  if (!g_deployment) return 0;
  g_deployment->popup.reset();
  g_deployment->popupIcon = -1;
  OpenDivisionManager();
  return 0;
}

void GUI_BS_Deployment::StepDivision(bool previous) {
  if (!g_deployment) return;
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  previous ? divisions.SelectPrevious() : divisions.SelectNext();
  g_deployment->Refresh();
}

float GUI_BS_Deployment::CooldownFraction(const SupplyLimitEntry* entry) {
  if (!entry || entry->count >= SIM_SupplyLimits::kMaxReady) return -1.0f;
  const float f = entry->timer / SIM_SupplyLimits::kRegenerateMs;
  return f > 0.0f && f < 1.0f ? f : -1.0f;
}

bool GUI_BS_Deployment::RefreshIfChanged() {
  bool changed = false;
  for (Icon& icon : icons) {
    const bool enabled =
        icon.strike ? AbilityEnabled(icon.strike) : DesignAvailability(icon.design) == DeployRefusal::NONE;
    changed |= enabled != icon.enabled;
    icon.enabled = enabled;
  }
  return changed;
}

int GUI_BS_Deployment::IconAt(float x, float y) const {
  if (y < top + 6 || y >= top + 6 + kIconSize) return -1;
  const int i = static_cast<int>((x - (left + 16)) / kIconSize);
  if (x < left + 16 || i < 0 || i >= VisibleCount()) return -1;
  return scroll + i;
}

bool GUI_BS_Deployment::LeftClick(float x, float y) {
  if (!visible || GetBattle().state == BATTLE_OVER) return false;
  // The division button stands over the strip's top edge, half outside its frame.
  if (divisionButton && divisionButton->visible && divisionButton->LeftClick(x, y)) return true;
  // The bar's arrows, track and thumb come before the icons they overlap.
  if (scrollBar && scrollBar->visible && scrollBar->LeftClick(x, y)) {
    if (scrollBar->changed) ScrollTo(scrollBar->Position());
    return true;
  }
  if (!HitTest(x, y)) return false;
  const int i = IconAt(x, y);
  if (i < 0) return true;
  const Icon& icon = icons[static_cast<size_t>(i)];
  if (icon.strike) {
    // Before the fight the click is taken and nothing happens.
    if (GetBattle().state != BATTLE_RUNNING || !IsButtonAllowed(this)) return true;
    if (AbilityEnabled(icon.strike)) GUI_BS_AirStrikeManager::Instance().StartTargeting(icon.strike);
    return true;
  }
  // A tutorial step that waits for another button takes the click and does nothing.
  if (!IsButtonAllowed(icon.element.get())) return true;
  // A click on a disabled icon still answers: the dropper says why it refuses.
  GUI_BS_DeploymentDropper::Instance().StartPlacement(icon.design);
  return true;
}

void GUI_BS_Deployment::Draw() {
  // Hidden while a design is in hand.
  if (!visible || GUI_BS_DeploymentDropper::Instance().HoldsUnits() || !GetBattleViewFlags().showHud) {
    // A placement (or the hidden HUD) hides the popup.
    popup.reset();
    popupIcon = -1;
    return;
  }
  if (sheetPending) BuildIconSheet();
  RefreshIfChanged();
  // A drag of the thumb moves the bar between frames: the strip follows it.
  if (scrollBar && scrollBar->changed) ScrollTo(scrollBar->Position());
  // The console and the scroll bar in its trough; the icons stand over both.
  DrawChildren();
  gui_draw::FlushAll();
  CLoadedTexture* bg = FindOrLoadTexture(kDeploymentArt);
  const float mx = gui_draw::MouseX(), my = gui_draw::MouseY();
  const int hovered = IconAt(mx, my);
  const bool fighting = GetBattle().state != BATTLE_DEPLOYMENT;
  const int shown = VisibleCount();
  for (int slot = 0; slot < shown; ++slot) {
    const int i = scroll + slot;
    const Icon& icon = icons[static_cast<size_t>(i)];
    const float l = left + 16.0f + kIconSize * static_cast<float>(slot), t = top + 6.0f;
    if (icon.element) icon.element->SetRect(l, t, l + kIconSize, t + kIconSize);
    const float u0 = !icon.enabled ? 0.0625f : (i == hovered ? 0.125f : 0.0f);
    gui_draw::QueueQuad(bg, l, t, l + kIconSize, t + kIconSize, u0, 0.0f, u0 + 0.0625f, 0.25f, kWhite);
  }
  gui_draw::FlushSprites();
  // The pictures come from their cells of the icon sheet, all in one batch; one without a
  // cell (a sheet that could not take it) is drawn from its own picture.
  CLoadedTexture* sheetTexture = FindOrLoadTexture(kSheetName);
  for (int slot = 0; slot < shown; ++slot) {
    const Icon& icon = icons[static_cast<size_t>(scroll + slot)];
    const float l = left + 16.0f + kIconSize * static_cast<float>(slot), t = top + 6.0f;
    const uint32_t tint = icon.enabled ? kWhite : 0xff606060;
    if (icon.cell >= 0 && sheetTexture->texture)
      gui_draw::QueueQuad(sheetTexture, l + 2, t + 2, l + kIconSize - 2, t + kIconSize - 2, icon.u0, icon.v0,
                          icon.u1, icon.v1, tint);
    else if (!icon.picture.empty())
      gui_draw::QueueQuad(FindOrLoadTexture(icon.picture), l + 2, t + 2, l + kIconSize - 2, t + kIconSize - 2,
                          0, 0, 1, 1, tint);
  }
  gui_draw::FlushSprites();
  SIM_SupplyLimits& limits = GetSupplyLimits();
  std::vector<std::pair<float, float>> clocks;  // (fraction, icon left) of the recharging classes
  for (int slot = 0; slot < shown; ++slot) {
    const Icon& icon = icons[static_cast<size_t>(scroll + slot)];
    const float l = left + 16.0f + kIconSize * static_cast<float>(slot), t = top + 6.0f;
    const std::string cost =
        icon.strike ? FormatScore(float(icon.strike->supplyCost)) : CostText(icon.design);
    // Red only when the cost is what keeps the icon off (a truck waits for its allowance).
    const bool unaffordable =
        icon.strike ? GetGameplay().supplies < float(icon.strike->supplyCost) : !CanAffordDesign(icon.design);
    PrintAt(1, cost, l + kIconSize - kCostInset, t + kIconSize - 22,
            icon.enabled || !unaffordable ? gui_draw::TextColour() : 0xffa03030);
    if (icon.strike) {
      // The restock clock in the icon's lower left corner.
      const float f = RestockFraction(icon.strike);
      if (f > 0.0f) clocks.emplace_back(f, l);
      continue;
    }
    // Ready deployments count only once fighting has begun.
    if (!fighting) continue;
    int n = SIM_SupplyLimits::kMaxReady;
    if (IsSupplyCarrier(icon.design)) {
      n = limits.playerTrucks;
    } else if (const SupplyLimitEntry* e = limits.FindPlayerEntry(icon.design->hull->name)) {
      n = e->count;
      const float f = CooldownFraction(e);
      if (f > 0.0f) clocks.emplace_back(f, l);
    }
    if (n < SIM_SupplyLimits::kMaxReady) {
      FillRect(l + 8, t + 9, l + 21, t + 23, 0xff000000);
      PrintAt(0, std::to_string(n), l + 9, t + 4, gui_draw::TextColour());
    }
  }
  gui_draw::FlushAll();
  // The recharge clocks sit in the icon's lower left corner.
  const float b = top + 6.0f + kIconSize;
  for (const auto& [fraction, l] : clocks) cooldownClock->Draw(l + 20.5f, b - 20.5f, 7.5f, fraction);
  if (!clocks.empty()) gui_draw::FlushAll();
  // Faint glints over the strip's top edge, on the higher detail settings.
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") > 0.5f) {
    for (const DeploymentArtPiece& d : decorations) QueuePiece(bg, d, kGlint);
    gui_draw::FlushSprites();
  }
  // The division button over the strip's top edge.
  GUI_WindowBase::Draw();
  gui_draw::FlushAll();
  // A hovered ability icon has a tooltip instead of a popup, and the hand when usable.
  const bool overAbility = hovered >= 0 && icons[static_cast<size_t>(hovered)].strike;
  if (overAbility) {
    const Icon& icon = icons[static_cast<size_t>(hovered)];
    popup.reset();
    popupIcon = -1;
    if (hovered != abilityTooltipIcon || !abilityTooltip) {
      const std::vector<std::string> lines = AbilityTooltipLines(icon.strike);
      abilityTooltip = std::make_unique<GUI_Tooltip>(lines.front(), 10);
      for (size_t k = 1; k < lines.size(); ++k) abilityTooltip->AddLine(lines[k]);
      abilityTooltipIcon = hovered;
    }
    if (icon.enabled) GUI_Cursor::SetHandCursor();
    abilityTooltip->UpdateFade();
    abilityTooltip->Draw();
    return;
  }
  if (abilityTooltip) abilityTooltip->Hide();
  abilityTooltipIcon = -1;
  for (size_t k = 0; k < icons.size(); ++k)
    if (icons[k].tooltip && static_cast<int>(k) != hovered) icons[k].tooltip->Hide();
  if (hovered >= 0) {
    const Icon& icon = icons[static_cast<size_t>(hovered)];
    // Coming onto an icon that can be bought: the hover sound, once.
    if (icon.enabled && icon.design != soundedIcon) {
      soundedIcon = icon.design;
      PlayGuiSound(2);
    }
    GUI_Cursor::SetHandCursor();
    if (icon.tooltip && !GetInputManager().pollFlag) {
      icon.tooltip->UpdateFade();
      icon.tooltip->Draw();
    }
  }
  // The hovered icon's popup; it goes when the mouse leaves above or beside it.
  if (hovered >= 0 && hovered != popupIcon) {
    const float l = left + 16.0f + kIconSize * static_cast<float>(hovered - scroll);
    popup = std::make_unique<GUI_BS_DesignPopup>(icons[static_cast<size_t>(hovered)].design);
    popup->Layout(static_cast<int>(l), top + 6, static_cast<int>(l) + kIconSize, top, ScreenWidth());
    popupIcon = hovered;
  } else if (hovered < 0 && popup && (my < popup->top || mx < popup->left || mx > popup->right)) {
    popup.reset();
    popupIcon = -1;
  }
  if (popup) popup->Draw();
}

GUI_BS_Deployment* GetOpenDeploymentWindow() { return g_deployment; }
int& RememberedDeploymentScroll() {
  RegisterHudReset();
  return g_deploymentScroll;
}
void OpenDeploymentWindow() {
  if (!g_deployment) new GUI_BS_Deployment();
}
void SetOpenDeploymentWindow(GUI_BS_Deployment* window) {
  if (g_deployment && g_deployment != window) CloseDeploymentWindow();
  g_deployment = window;
}
void CloseDeploymentWindow() { DeleteOpenDeploymentWindow(); }
bool DeleteOpenDeploymentWindow() {
  if (!g_deployment) return false;
  GUI_BS_Deployment* w = g_deployment;
  g_deployment = nullptr;
  if (w->IsOpen()) w->Close();
  delete w;
  return true;
}

// ---------------------------------------------------------------- top strip

GUI_BS_TopStrip::GUI_BS_TopStrip() {
  RegisterHudReset();
  g_topStrip = this;
  const float sw = static_cast<float>(ScreenWidth()), cx = sw / 2;
  SetRect(cx - 400, 0, cx + 400, 128);
  claimsMouse = false;
  blocksClicks = false;
  startButton = new GUI_ButtonText(&GUI_BS_TopStrip::OnStart, "BS_TOP_START", 0);
  startButton->SetRect(cx - 120, 44, cx + 120, 76);
  startButton->SetName("START_BATTLE");
  startButton->SetTooltip("BS_TOP_START_TT", 60);
  AddButton(startButton);
  // The clock's square grown by 36, the two panels grown by 12.
  auto marker = [](const char* name, float l, float t, float r, float b, float grow) {
    auto e = std::make_unique<GUI_BaseElement>();
    e->SetRect(l - grow, t - grow, r + grow, b + grow);
    e->SetName(name);
    return e;
  };
  timerMarker = marker("TIMER_WINDOW", cx - 28, 33, cx + 28, 89, 36);
  suppliesMarker = marker("SUPPLIES_WINDOW", cx - 320, 18, cx - 166, 42, 12);
  scoreMarker = marker("SCORE_WINDOW", cx + 166, 18, cx + 320, 42, 12);
  timerTooltip = std::make_unique<GUI_Tooltip>(GetTranslation("BS_TIMER_TOOLTIP"), 30);
  overtimeTooltip = std::make_unique<GUI_Tooltip>(GetTranslation("BS_TIMER_OVERTIME_TT"), 30);
  suppliesTooltip = std::make_unique<GUI_Tooltip>(GetTranslation("BS_SUPPLIES_TOOLTIP"), 30);
  scoreTooltip = std::make_unique<GUI_Tooltip>(GetTranslation("BS_SCOREBOARD_TOOLTIP"), 30);
  clock = std::make_unique<GUI_ClockTimer>();
  const int a[4] = {226, 177, 1, 113}, b[4] = {0, 0, 0, 255};
  std::copy(a, a + 4, clock->colourA);
  std::copy(b, b + 4, clock->colourB);
  Update();
  RefreshPanels();
  Open();
}

void GUI_BS_PanelBlink::SetValue(float value, float fullAt) {
  if (fullAt <= value) {
    if (!full) {
      full = true;
      timer = 0.0f;
      blink = false;
    }
  } else {
    full = false;
  }
}

bool GUI_BS_PanelBlink::Advance(float elapsedMs) {
  if (!full) return true;
  timer += std::max(0.0f, elapsedMs);
  // A long frame flips once per half period it covered.
  while (timer > kHalfPeriodMs) {
    timer -= kHalfPeriodMs;
    blink = !blink;
  }
  return blink;
}

void GUI_BS_TopStrip::RefreshPanels() {
  Gameplay& g = GetGameplay();
  SIM_BattleOutcomeManager& vp = GetOutcomeManager();
  suppliesBlink.SetValue(static_cast<float>(static_cast<int64_t>(g.supplies)), g.Classic().suppliesCap);
  scoreBlink.SetValue(vp.total, vp.target);
}

void GUI_BS_TopStrip::UpdateTooltips(float x, float y) {
  const float cx = static_cast<float>(ScreenWidth()) / 2;
  auto inside = [x, y](float l, float t, float r, float b) { return x >= l && x < r && y >= t && y < b; };
  struct Part {
    GUI_Tooltip* tooltip;
    bool over;
  } parts[] = {
      {timerTooltip.get(),
       inside(cx - 28, 33, cx + 28, 89) && GetBattle().state != BATTLE_DEPLOYMENT && !PastTimeLimit()},
      {overtimeTooltip.get(), inside(cx - 28, 33, cx + 28, 89) && PastTimeLimit()},
      {suppliesTooltip.get(), inside(cx - 320, 18, cx - 166, 42)},
      {scoreTooltip.get(), inside(cx + 166, 18, cx + 320, 42)},
  };
  for (const Part& p : parts) {
    if (!p.tooltip) continue;
    if (p.over) {
      p.tooltip->UpdateFade();
      p.tooltip->Draw();
    } else {
      p.tooltip->Hide();
    }
  }
}

bool GUI_BS_TopStrip::PastTimeLimit() {
  const SIM_Battle& battle = GetBattle();
  return battle.state == BATTLE_RUNNING && GetGameplay().suppliesExhausted != 0;
}

void GUI_BS_TopStrip::Process() {
  // Nothing of the strip shows while the interface is hidden or a unit is held.
  if (GetBattleViewFlags().showHud && !GUI_BS_DeploymentDropper::Instance().HoldsUnits()) {
    UpdateTooltips(gui_draw::MouseX(), gui_draw::MouseY());
  } else {
    UpdateTooltips(-1e9f, -1e9f);
  }
  GUI_WindowBase::Process();
}

GUI_BS_TopStrip::~GUI_BS_TopStrip() {
  if (g_topStrip == this) g_topStrip = nullptr;
}

void GUI_BS_TopStrip::Update() {
  const bool deploying = GetBattle().state == BATTLE_DEPLOYMENT;
  startButton->visible = deploying;
  startButton->enabled = deploying;
}

int GUI_BS_TopStrip::OnStart(int) {
  if (GetBattle().state != BATTLE_DEPLOYMENT) return 0;
  GetBattleScreen().StartFighting();
  return 0;
}

void GUI_BS_TopStrip::Draw() {
  if (!GetBattleViewFlags().showHud || GUI_BS_DeploymentDropper::Instance().HoldsUnits()) return;
  Update();
  RefreshPanels();
  // Battle time of this frame: nothing while paused.
  const float now = GetBattle().totalTime;
  const float elapsed = lastBattleTime < 0.0f ? 0.0f : std::max(0.0f, now - lastBattleTime);
  lastBattleTime = now;
  // A full panel blinks while the battle runs; once it is decided it stays lit.
  const bool over = GetBattle().state == BATTLE_OVER || GetBattle().outcome != OUTCOME_UNDECIDED;
  suppliesShown = suppliesBlink.Advance(elapsed) || over;
  scoreShown = scoreBlink.Advance(elapsed) || over;
  const float cx = static_cast<float>(ScreenWidth()) / 2;
  // Edge lines out to the screen's sides, then the two halves of the centre panel.
  const float sw = static_cast<float>(ScreenWidth()), edge = std::max(0.0f, sw / 2 - 400);
  CLoadedTexture* art = FindOrLoadTexture("top_panel.dds");
  gui_draw::QueueQuad(art, 0, 0, edge, 8, 0, 0, 0.21875f, 0.0625f, kWhite);
  gui_draw::QueueQuad(art, sw - edge, 0, sw, 8, 0.21875f, 0, 0, 0.0625f, kWhite);
  QueueBanded(art, cx - 400, 0, cx, 128, 0.21875f, 0, 1, 1, kWhite);
  QueueBanded(art, cx, 0, cx + 400, 128, 1, 0, 0.21875f, 1, kWhite);
  gui_draw::FlushSprites();
  // Supplies against the cap, victory points against the target.
  Gameplay& g = GetGameplay();
  SIM_BattleOutcomeManager& vp = GetOutcomeManager();
  const float cap = g.Classic().suppliesCap;
  const float sRatio = FillRatio(g.supplies, cap);
  const float vRatio = FillRatio(vp.total, vp.target);
  FillRect(cx - 320, 45, cx - 166, 47, kGrey);
  FillRect(cx + 166, 45, cx + 320, 47, kGrey);
  if (suppliesShown) FillRect(cx - 320, 45, cx - 320 + 154 * sRatio, 47, gui_draw::TextColour());
  if (scoreShown) FillRect(cx + 166, 45, cx + 166 + 154 * vRatio, 47, gui_draw::TextColour());
  // The clock: a ring filling with the time limit.
  const float limit = g.Classic().timeLimit;
  const float tRatio = FillRatio(g.supplyClock, limit);
  gui_draw::FlushSprites();
  // The clock dial sweeps round with the time limit, centred in the timer's square.
  clock->Draw(cx, 61.0f, 32.0f, tRatio);
  gui_draw::FlushAll();
  gui_draw::QueueQuad(art, cx - 44, 61 - 44, cx + 44, 61 + 44, 0, 0.25f, 0.1875f, 1, kWhite);
  gui_draw::QueueQuad(art, cx - 4, 61 - 4, cx + 4, 61 + 4, 0, 0.125f, 0.03125f, 0.25f, kWhite);
  gui_draw::FlushSprites();
  const uint32_t text = gui_draw::TextColour();
  if (suppliesShown) {
    PrintAt(0, Translated("BS_SUPPLIES"), cx - 320, 18, text);
    PrintAt(1, FormatScore(g.supplies), cx - 166, 18, text);
  }
  if (scoreShown) {
    PrintAt(0, Translated("BS_SCOREBOARD_VP"), cx + 166, 18, text);
    PrintAt(1, FormatScore(vp.total) + " / " + FormatScore(vp.target), cx + 320, 18, text);
  }
  // The time in figures beside the dial, clear of its face.
  PrintAt(1, Clock(g.supplyClock) + " / " + Clock(limit), cx - 62, 20, text);
  // Past the limit the clock stays full: say why the battle goes on.
  if (PastTimeLimit()) {
    // Below the strip's art it stands over the map: a dark plate keeps it readable.
    const std::string overtime = Translated("BS_TIMER_OVERTIME");
    TextRenderer& tr = GetTextRenderer();
    tr.SetFont("18.dds", 16.0f);
    const float half = static_cast<float>(tr.TextWidth(overtime.c_str())) / 2.0f + 8.0f;
    FillRect(cx - half, kOvertimeTop - 2.0f, cx + half, kOvertimeTop + 19.0f, 0xc0101214);
    PrintAt(2, overtime, cx, kOvertimeTop, text);
  }
  gui_draw::FlushAll();
  GUI_WindowBase::Draw();
  GetTextRenderer().Flush();
}

GUI_BS_TopStrip* GetOpenTopStrip() { return g_topStrip; }
void OpenTopStrip() {
  CloseTopStrip();
  new GUI_BS_TopStrip();
}
void CloseTopStrip() {
  if (!g_topStrip) return;
  GUI_BS_TopStrip* s = g_topStrip;
  g_topStrip = nullptr;
  s->Close();
  delete s;
}

// ---------------------------------------------------------------- post-mortem

PostMortemHooks& GetPostMortemHooks() {
  static PostMortemHooks hooks;
  return hooks;
}

GUI_BS_PostMortem::GUI_BS_PostMortem() : GUI_Dialog(false) {
  RegisterHudReset();
  g_postMortem = this;
  SIM_Battle& battle = GetBattle();
  outcome = battle.outcome;
  const bool victory = outcome == OUTCOME_VICTORY;
  SetSize(600, victory ? 300.0f : 200.0f);
  sideBorder = 12;
  topBorder = 12;
  bottomBorder = 70;
  CentreOnScreen();
  SetTranslatedTitle(victory ? "BS_POSTMORTEM_TITLE_VICTORY" : "BS_POSTMORTEM_TITLE_DEFEAT");
  LayoutTitleBar();
  message = RandomTranslation(victory ? "victory_messages" : "defeat_messages");
  if (victory) {
    if (battle.playerDefends) {
      // The figures tallied when the battle was decided: the last one is the high score.
      const Gameplay& g = GetGameplay();
      scores = {{Translated("PMS_UNITKILLS"), FormatScore(g.unitKillScore)},
                {Translated("PMS_SUPPLIES"), FormatScore(g.suppliesLeft)},
                {Translated("PMS_INTACTWORTH"), FormatScore(g.intactWorth)},
                {Translated("PMS_FINALDEFENDER"), FormatScore(g.finalDefenderScore)}};
    } else {
      scores = {{Translated("PMS_VICTORYPOINTS"), FormatScore(GetOutcomeManager().total)}};
    }
  }
  const GUI_Rect c = GetClientRect();
  const int w = static_cast<int>(c.right - c.left) / 4;
  const char* keys[] = {"BS_POSTMORTEM_STATS", "BS_POSTMORTEM_CHALLENGE", "BS_POSTMORTEM_SAVERECORDING",
                        "BS_POSTMORTEM_RATE"};
  GUI_ButtonText** slots[] = {&statsButton, &challengeButton, &saveButton, &rateButton};
  for (int i = 0; i < 4; ++i) {
    auto* b = new GUI_ButtonText(i == 3 ? &GUI_BS_PostMortem::OnRate : nullptr, keys[i], 0);
    b->SetRect(c.left + w * i, c.bottom + 6, c.left + w * (i + 1), c.bottom + 32);
    b->SetTooltip(std::string(keys[i]) + "_TT", 60);
    AddButton(b);
    *slots[i] = b;
  }
  const SIM_Scenario* scenario = battle.scenario;
  const int origin = scenario ? scenario->origin : SIM_Scenario::ORIGIN_CAMPAIGN;
  statsButton->callback = &GUI_BS_PostMortem::OnStats;
  // Only a defence of a built-in map has nothing of the player's own to post.
  challengeButton->callback = &GUI_BS_PostMortem::OnChallenge;
  challengeButton->enabled = GetPostMortemHooks().openPostChallenge != nullptr &&
                             !(origin == SIM_Scenario::ORIGIN_CAMPAIGN && battle.playerDefends);
  // Only an attack records the player's deployments.
  saveButton->callback = &GUI_BS_PostMortem::OnSaveRecording;
  saveButton->enabled = !battle.playerDefends && !GetChallengeRecording().entries.empty();
  rateButton->enabled = GetPostMortemHooks().openRateChallenge != nullptr &&
                        origin == SIM_Scenario::ORIGIN_ADDED && scenario && !scenario->id.empty();
  const float cx = (left + right) / 2.0f;
  continueButton = new GUI_ButtonText(&GUI_BS_PostMortem::OnContinue, "BS_POSTMORTEM_CONTINUE", 0);
  continueButton->SetRect(cx - 100, c.bottom + 36, cx + 100, c.bottom + 62);
  continueButton->SetName("BS_POSTMORTEM_CONTINUE");
  continueButton->SetTooltip("BS_POSTMORTEM_CONTINUE_TT", 60);
  AddButton(continueButton);
  // A page the player has not yet closed (the unit details one, say) stays over the
  // result: it was asked for first, and its OK must still be reachable.
  GUI_TutorialWindow::BringAllToFront();
}

GUI_BS_PostMortem::~GUI_BS_PostMortem() {
  if (g_postMortem == this) g_postMortem = nullptr;
}

void GUI_BS_PostMortem::Open() {
  if (g_postMortem) {
    GUI_BS_PostMortem* old = g_postMortem;
    g_postMortem = nullptr;
    old->Close();
    delete old;
  }
  new GUI_BS_PostMortem();
}

int GUI_BS_PostMortem::OnRate(int) {
  if (g_postMortem && g_postMortem->rateButton) g_postMortem->rateButton->enabled = false;
  if (const auto& open = GetPostMortemHooks().openRateChallenge) open();
  return 0;
}

int GUI_BS_PostMortem::OnChallenge(int) {
  if (const auto& open = GetPostMortemHooks().openPostChallenge) open();
  return 0;
}

int GUI_BS_PostMortem::OnSaveRecording(int) {
  new GUI_BS_RecordingSave();
  return 0;
}

int GUI_BS_PostMortem::OnStats(int) {
  CloseStatsDialog();
  new GUI_BS_Stats();
  return 0;
}

int GUI_BS_PostMortem::OnContinue(int) {
  GUI_BS_PostMortem* pm = g_postMortem;
  if (!pm || pm->updating) return 0;
  PostBattleReport report;
  SIM_Battle& battle = GetBattle();
  report.outcome = battle.outcome;
  report.origin = battle.scenario ? battle.scenario->origin : 0;
  report.challengeId = battle.scenario ? battle.scenario->id : std::string();
  auto body = [report] {
    if (const auto& send = GetPostMortemHooks().postBattleUpdates) send(report);
  };
  // Seen on the GUI thread once the worker ended and the runner is free again; the flag
  // is shared, so a late worker never writes into a closed dialog.
  std::shared_ptr<std::atomic<bool>> flag = pm->updatesDone;
  flag->store(false);
  if (!StartEndOfBattleWorker("PostBattleUpdates", body, [flag] { flag->store(true); }))
    return 0;  // another worker runs: a later click tries again
  pm->updating = true;
  ++pm->continueStarts;
  return 0;
}

void GUI_BS_PostMortem::Draw() {
  PollEndOfBattleWorkers();
  if (updatesDone->load(std::memory_order_acquire)) {
    updatesDone->store(false);
    updating = false;
    GetWindowOrder().DeleteLater(this);
    RunContinueSequence();
    return;
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  FillRect(c.left, c.top, c.right, c.bottom, 0x60000000);
  gui_draw::FlushSprites();
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont("18.dds", 16.0f);
  tr.PrintWrapped(message.c_str(), gui_draw::TextColour(), c.left + 10, c.top + 10, c.right - c.left - 20);
  for (size_t i = 0; i < scores.size(); ++i) {
    const float y = c.bottom - 100 + 5 + 20.0f * static_cast<float>(i);
    PrintAt(0, scores[i].first, c.left + 50, y, gui_draw::TextColour());
    PrintAt(2, scores[i].second, c.right - 50, y, gui_draw::TextColour());
  }
  gui_draw::FlushAll();
}

GUI_BS_PostMortem* GetOpenPostMortem() { return g_postMortem; }

void RunContinueSequence() {
  SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
  catalogue.EnsureLoaded();  // once per run: what was taken since stays out
  const bool victory = BattleExists() && GetBattle().outcome == OUTCOME_VICTORY;
  const bool anything = !catalogue.Free().empty() || (victory && !catalogue.Choices().empty());
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  // Only the built-in campaign hands out unlocks.
  if (anything && scenario && scenario->origin == SIM_Scenario::ORIGIN_CAMPAIGN) {
    new GUI_BS_PostBattleUnlock();
    return;
  }
  RunAchievementsStep();
}

void RunAchievementsStep() {
  if (!SIM_AchievementList::Get().NewlyUnlocked().empty()) {
    GUI_BS_Achievements::Open();
    return;
  }
  GetTransition().Start();
  GetGame().SetGameMode(MODE_BATTLE_BROWSER);
}

// ---------------------------------------------------------------- wiring

bool DivisionHasDeployableDesign(const SIM_Division* division) {
  ZT_ASSERT(division != nullptr);
  if (!division) return false;
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  for (const std::string& name : division->designs)
    if (SIM_UnitDesign* d = designs.FindDesign(name); d && IsDesignDeployable(d)) return true;
  return false;
}

void ConnectBattleHud() {
  ConnectDeploymentDropper();
  ConnectHudPanels();

  ConnectBattleOverlays();
  SIM_DataHooks& data = GetDataHooks();
  data.deploymentWindowOpen = [] { return g_deployment != nullptr; };
  data.deploymentCanUseDivision = &DivisionHasDeployableDesign;
  BattleScreenHooks& screen = GetBattleScreenHooks();
  screen.openHud = [] {
    StartBattleOverlays();
    GUI_BS_DeploymentDropper::Instance().Reset();
    OpenTopStrip();
    OpenDeploymentWindow();
    OpenHudPanels();
  };
  screen.closeHud = [] {
    // The statistics point at the battle's units, which go with the screen.
    CloseStatsDialog();
    delete GetRecordingSaveDialog();
    CloseDivisionManager();

    ClearBattleOverlays();
    GUI_BS_DeploymentDropper::Instance().Reset();
    CloseHudPanels();
    CloseDeploymentWindow();
    CloseTopStrip();
  };
  // After a device reset the window (deleted with its sheet) opens again, drawing its
  // icon sheet anew; the minimap draws its lost backdrop again.
  screen.deviceRebuilt = [] {
    OpenDeploymentWindow();
    GUI_BS_MiniMap::OnDeviceRebuilt();
  };
  // Tab (Shift+Tab back) steps through the divisions with something to deploy.
  screen.cycleDivision = &GUI_BS_Deployment::StepDivision;
  screen.dropperHandEmpty = [] { return !GUI_BS_DeploymentDropper::Instance().HoldsUnits(); };
  // A unit clicked during deployment goes back into the hand; the deployment window and
  // its popup hide themselves while the hand holds units.
  screen.handBackToDropper = [](const DropperHandBack& back) {
    GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
    for (SIM_BattleUnit* u : back.units) dropper.AddPlacedUnit(u);
    dropper.PrepareFormation();
    dropper.currentDesign = nullptr;
  };
  screen.fightingStarted = [] {
    // A design still in hand goes back with its refund.
    GUI_BS_DeploymentDropper::Instance().CancelDrop();
    if (g_topStrip) g_topStrip->Update();
  };
  BattleHooks& hooks = GetBattleHooks();
  hooks.openPostMortem = [] { GUI_BS_PostMortem::Open(); };
  hooks.refreshDeploymentWindow = [] {
    if (g_deployment) g_deployment->RefreshIfChanged();
  };
  hooks.suppliesChanged = [] {
    if (g_deployment) g_deployment->RefreshIfChanged();
  };
}
