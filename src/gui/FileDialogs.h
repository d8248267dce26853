#pragma once
// The game's own open and save dialogs (no system file dialog). The open dialog lists a
// folder's files and hands the chosen path to a callback; the save dialog adds a name
// field, asks before overwriting, and hands the typed name (without folder or
// extension) to a callback. One of each at a time; opening one replaces the open one.
#include <string>

#include "gui/Dialog.h"

class GUI_ButtonText;
class GUI_FilePicker;
class GUI_TextEditWindow;

// Receives the chosen path (open) or the typed name (save).
using GUI_FileDialogCallback = void (*)(const std::string& text);

class GUI_OpenFileDialog : public GUI_Dialog {
 public:
  GUI_OpenFileDialog(const std::string& folderPattern, const std::string& titleKey,
                     GUI_FileDialogCallback callback);
  ~GUI_OpenFileDialog() override;
  void Draw() override;

  // The open button: the selected path to the callback, then the dialog goes. Nothing
  // happens while no file is selected.
  static int OnOpen(int);

  GUI_FilePicker* Picker() const { return picker_; }
  GUI_ButtonText* OpenButton() const { return openButton_; }
  const GUI_Rect& NameRow() const { return nameRow_; }

 private:
  GUI_FilePicker* picker_ = nullptr;  // child window
  GUI_Rect nameRow_;
  std::string label_;
  GUI_ButtonText* openButton_ = nullptr;
  GUI_FileDialogCallback callback_ = nullptr;
};

class GUI_SaveFileDialog : public GUI_Dialog {
 public:
  GUI_SaveFileDialog(const std::string& titleKey, const std::string& folder, const std::string& suggestedName,
                     GUI_FileDialogCallback callback);
  ~GUI_SaveFileDialog() override;
  void Draw() override;

  // The save button: a refused name explains itself; an existing file is asked about.
  static int OnSave(int);
  // Whether folder + name + extension names an existing entry.
  bool FileExists() const;
  // Hands the name to the callback and deletes the dialog (a refused name is explained
  // instead).
  void Save();

  // Why the name cannot be saved in the folder (a strings key), or "" when it can: it must
  // be a plain file name that stays in the folder and that the file system accepts.
  static std::string CheckName(const std::string& folder, const std::string& name,
                               const std::string& extension);

  GUI_FilePicker* Picker() const { return picker_; }
  GUI_TextEditWindow* NameField() const { return nameField_; }
  GUI_ButtonText* SaveButton() const { return saveButton_; }
  const std::string& Folder() const { return folder_; }
  const std::string& Extension() const { return extension_; }
  std::string Name() const;

 private:
  static int OnOverwriteConfirmed(int);
  bool ExplainIfRefused(const std::string& name) const;

  GUI_FilePicker* picker_ = nullptr;  // child window
  std::string label_;
  GUI_ButtonText* saveButton_ = nullptr;
  GUI_FileDialogCallback callback_ = nullptr;
  GUI_TextEditWindow* nameField_ = nullptr;  // child window
  std::string folder_;
  std::string extension_ = ".txt";
  int rowTop_ = 0;
};

GUI_OpenFileDialog* OpenOpenFileDialog();
GUI_SaveFileDialog* OpenSaveFileDialog();
// Replace the open dialog of the kind with a new one.
GUI_OpenFileDialog* ShowOpenFileDialog(const std::string& folderPattern, const std::string& titleKey,
                                       GUI_FileDialogCallback callback);
GUI_SaveFileDialog* ShowSaveFileDialog(const std::string& titleKey, const std::string& folder,
                                       const std::string& suggestedName, GUI_FileDialogCallback callback);
