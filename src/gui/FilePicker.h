#pragma once
// A scrolling list of files, one row per file with its short name and a delete button.
// A click selects a row; the delete button asks first and then deletes the file from
// disk. The list comes from a wildcard path or from a fixed list of names (each used as
// a wildcard path); only regular files are listed, in name order.
#include <string>
#include <vector>

#include "gui/Buttons.h"
#include "gui/WindowBase.h"

class GUI_FilePicker;
class GUI_ScrollingWindow;
class GUI_TextEditWindow;

// Called with the deleted file's path once it is really gone.
using GUI_FileDeletedCallback = void (*)(const std::string& path);

// A row's delete button: asks whether to delete the row's file.
class GUI_FileDeleteButton : public GUI_IconButton {
 public:
  explicit GUI_FileDeleteButton(class GUI_FilePickerItem* row);
  void Click() override;

 private:
  GUI_FilePickerItem* row_ = nullptr;
};

class GUI_FilePickerItem : public GUI_WindowBase {
 public:
  GUI_FilePickerItem(GUI_FilePicker* picker, const std::string& path);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void SetRect(float left, float top, float right, float bottom) override;

  // The delete button's question (the row itself is not remembered across it).
  void AskDelete();

  // The file name after the last "/", cut before its first ".".
  static std::string ShortName(const std::string& path);

  const std::string& Path() const { return path_; }
  const std::string& Name() const { return shortName_; }
  GUI_FileDeleteButton* DeleteButton() const { return deleteButton_; }

  bool selected = false;

 private:
  std::string path_;
  std::string shortName_;
  GUI_FilePicker* picker_ = nullptr;
  GUI_FileDeleteButton* deleteButton_ = nullptr;  // owned by the button list
};

class GUI_FilePicker : public GUI_WindowBase {
 public:
  static constexpr int kRowPitch = 24;
  static constexpr int kRowHeight = 22;

  explicit GUI_FilePicker(const std::string& wildcardPath);
  explicit GUI_FilePicker(const std::vector<std::string>& names);
  ~GUI_FilePicker() override;

  // Lists the files again; the rows follow at the next Layout (or Draw).
  void Refresh();
  // Places the scroll bar and the rows for the picker's rectangle.
  void Layout();
  void SetSelectedPath(const std::string& path);
  void SetSelectedName(const std::string& name);
  // The field that receives the name of a clicked file (not owned).
  void AttachNameField(GUI_TextEditWindow* field);

  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  const std::string& SelectedPath() const { return selectedPath_; }
  const std::string& SelectedName() const { return selectedName_; }
  const std::vector<std::string>& Files() const { return files_; }
  const std::vector<GUI_FilePickerItem*>& Rows() const { return rows_; }
  GUI_ScrollingWindow* ScrollBar() const { return scrollBar_; }
  int VisibleRows() const { return visibleRows_; }

  GUI_FileDeletedCallback afterDelete = nullptr;

  // Whether the rows offer their delete button (a game file that ships is not deleted).
  void SetRowsDeletable(bool deletable);
  bool RowsDeletable() const { return rowsDeletable_; }

 private:
  friend class GUI_FilePickerItem;
  void Build();
  void RebuildRows();
  void DeleteRows();
  // The confirm dialog's YES: deletes the remembered file.
  static int OnDeleteConfirmed(int);

  std::string selectedPath_;
  std::string selectedName_;
  std::vector<std::string> files_;
  bool rebuild_ = false;
  std::vector<GUI_FilePickerItem*> rows_;     // child windows
  GUI_ScrollingWindow* scrollBar_ = nullptr;  // child window
  int visibleRows_ = 0;
  GUI_TextEditWindow* nameField_ = nullptr;
  uint64_t nameFieldSerial_ = 0;
  std::string wildcard_;
  std::vector<std::string> fixedNames_;
  bool fixedList_ = false;
  bool rowsDeletable_ = true;
};

// Deletes a listed file: true when it is gone afterwards (a failure is logged).
bool DeletePickedFile(const std::string& path);
