#pragma once
// The drop-down list: a closed field showing the current choice; a click opens a column
// of entries under it (a modal pop-up, so nothing else hears clicks while it is open);
// picking an entry makes it the choice, closes the column and calls the change callback.
// A click anywhere outside the column, or Escape, closes it.
#include <string>
#include <vector>

#include "gui/Buttons.h"
#include "gui/WindowBase.h"

class GUI_DropDownList;

class GUI_DropDownListEntry : public GUI_WindowBase {
 public:
  GUI_DropDownListEntry(GUI_DropDownList* list, const std::string& text);
  bool LeftClick(float x, float y) override;
  void Process() override;
  void Draw() override;

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  GUI_DropDownList* list_ = nullptr;
};

class GUI_DropDownListContainer : public GUI_WindowBase {
 public:
  static constexpr int kEntryHeight = 20;

  explicit GUI_DropDownListContainer(GUI_DropDownList* list);
  // Closes and deletes the entries.
  ~GUI_DropDownListContainer() override;

  bool IsPopup() const override { return true; }
  bool LeftClick(float x, float y) override;
  void Draw() override;
  // Escape closes the column; the list keeps it and its entries.
  void Dismiss() override;

  void AddEntry(const std::string& text);
  void DeleteEntries();
  // Lays the entries out under the list, adopts them and becomes the modal pop-up.
  void OpenUnder();
  // Lets the entries go and leaves the window order.
  void CloseColumn();

  const std::vector<GUI_DropDownListEntry*>& Entries() const { return entries_; }

 private:
  std::vector<GUI_DropDownListEntry*> entries_;  // owned
  GUI_DropDownList* list_ = nullptr;
};

class GUI_DropDownList : public GUI_WindowBase {
 public:
  GUI_DropDownList();
  ~GUI_DropDownList() override;

  bool LeftClick(float x, float y) override;
  void Process() override;
  void Draw() override;

  void AddEntry(const std::string& text);
  // Closes the column when open and deletes every entry; the shown text empties.
  void ClearEntries();
  // One entry per file the wildcard path lists, in the listing's order.
  void AddMatchingFiles(const std::string& wildcardPath);
  void SetSelectedText(const std::string& text) { shownText_ = text; }
  const std::string& SelectedText() const { return shownText_; }

  void OpenList();
  void CloseList();
  bool IsListOpen() const { return open_ != 0; }
  GUI_DropDownListContainer* Container() const { return container_; }
  // An entry was picked: it becomes the choice, the column closes, the callback runs.
  void Choose(const std::string& text);
  // The column was deleted by someone else (a sweep of every open window): forget it.
  void ForgetContainer(GUI_DropDownListContainer* container);

  // What the field and the column show for an entry: the entry itself, or its
  // translation when the entries are keys (the choice stays the key).
  std::string Shown(const std::string& entry) const;

  GUI_ButtonCallback changeCallback = nullptr;
  bool showsTranslations = false;

 private:
  int open_ = 0;
  std::string shownText_;
  GUI_DropDownListContainer* container_ = nullptr;  // owned
};

// The field's look, shared by the list and its entries: a filled box with an outline and
// the text right-aligned 10 pixels in from the right edge.
void DrawDropDownField(const GUI_BaseElement& box, const std::string& text, uint32_t fill);
