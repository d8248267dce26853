#include "gui/SpriteSheet.h"

#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

GUI_SpriteSheet::GUI_SpriteSheet(const std::string& name, float cellSize, float width, float height)
    : name_(name), cellSize_(cellSize), width_(width), height_(height) {
  if (cellSize_ >= 1.0f) {
    rows_ = static_cast<int>(height_ / cellSize_);
    columns_ = static_cast<int>(width_ / cellSize_);
  }
  D3DEngine& d3d = GetRenderDevice();
  // Two sheets of one name would share (and free) one target: the second owns nothing.
  ownsTarget_ = !d3d.HasTexture(name_.c_str());
  d3d.CreateRenderTarget(name_.c_str(), static_cast<int>(width_), static_cast<int>(height_),
                         platform::Format::A8R8G8B8);
}

GUI_SpriteSheet::~GUI_SpriteSheet() {
  if (ownsTarget_) UnloadTexture(name_);
}

void GUI_SpriteSheet::BeginCapture() {
  D3DEngine& d3d = GetRenderDevice();
  GetGlobalVertexBuffer().Flush();
  d3d.SetTexture(nullptr);
  d3d.RememberRenderTarget();
  if (!d3d.SetRenderTarget(name_.c_str())) LogError("Failed to set render target");
  // A scene of its own, nested when a frame is already drawing: EndCapture closes only
  // this one, never the frame's.
  d3d.BeginScene();
  d3d.ClearTarget(0x00000000u);
  cellsFilled_ = 0;
  accepting_ = rows_ > 0 && columns_ > 0;
  nextX_ = cellSize_ * 0.5f;
  nextY_ = cellSize_ * 0.5f;
}

void GUI_SpriteSheet::AddSprite(BaseSprite* sprite) {
  if (!accepting_ || !sprite) return;
  sprite->SetSize(cellSize_, cellSize_);
  sprite->SetPosition(nextX_, nextY_);
  sprite->DrawDirect();
  const int cell = cellsFilled_;
  ++cellsFilled_;
  nextX_ += cellSize_;
  if (nextX_ > width_) {
    nextX_ = cellSize_ * 0.5f;
    nextY_ += cellSize_;
  }
  sprite->SetTextureByName(name_);
  SetSpriteFrame(cell, sprite, rows_, columns_);
  if (cellsFilled_ >= rows_ * columns_) accepting_ = false;
}

void GUI_SpriteSheet::EndCapture() {
  D3DEngine& d3d = GetRenderDevice();
  // The captured sprites are drawn into the sheet before the target changes back.
  GetGlobalVertexBuffer().Flush();
  d3d.RestoreRenderTarget();
  d3d.EndScene();
}
