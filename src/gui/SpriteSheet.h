#pragma once
// Renders many small sprites into one render target so that they can later be drawn
// as cells of a single texture (one batch instead of one texture switch each).
#include <string>

class BaseSprite;

class GUI_SpriteSheet {
 public:
  GUI_SpriteSheet(const std::string& name, float cellSize, float width, float height);
  // Releases the render target by name.
  virtual ~GUI_SpriteSheet();
  GUI_SpriteSheet(const GUI_SpriteSheet&) = delete;
  GUI_SpriteSheet& operator=(const GUI_SpriteSheet&) = delete;

  // Switches drawing to the sheet and clears it to transparent black.
  void BeginCapture();
  // Draws the sprite into the next cell and points it at that cell of the sheet.
  void AddSprite(BaseSprite* sprite);
  // Back to the remembered render target.
  void EndCapture();

  const std::string& Name() const { return name_; }
  int CellsFilled() const { return cellsFilled_; }
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  bool Accepting() const { return accepting_; }

 private:
  std::string name_;
  int cellsFilled_ = 0;
  int rows_ = 0;
  int columns_ = 0;
  float cellSize_ = 0.0f;
  float width_ = 0.0f;
  float height_ = 0.0f;
  float nextX_ = 0.0f;
  float nextY_ = 0.0f;
  bool accepting_ = false;
  bool ownsTarget_ = false;
};
