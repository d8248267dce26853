#include "gui/ConfirmDialog.h"

#include "engine/ErrorReporting.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"

using namespace gui_draw;

namespace {
GUI_ConfirmDialog* g_confirm = nullptr;
}

GUI_ConfirmDialog* OpenConfirmDialog() { return g_confirm; }

GUI_ConfirmDialog::GUI_ConfirmDialog(const std::string& titleKey, const std::string& textKey,
                                     GUI_ConfirmCallback onYes)
    : GUI_Dialog(true) {
  g_confirm = this;
  text_ = GetTranslation(textKey);
  UseFont();
  const float wrap = 400.0f - 2.0f * sideBorder - 28.0f;
  const float textHeight = GetTextRenderer().GetWrappedHeight(text_.c_str(), wrap);
  SetSize(400.0f, textHeight + 110.0f);
  CentreOnScreen();
  SetTranslatedTitle(titleKey);
  ZT_ASSERT(onYes != nullptr);
  onYes_ = onYes;
  bottomBorder = 35.0f;
  GetClientRect();
  // The frame is drawn over the dialog body, so the buttons are drawn after it.
  drawButtons = false;
  const float cx = (left + right) * 0.5f;
  no_ = new GUI_ButtonText(&GUI_ConfirmDialog::OnNo, "CONFIRM_NO", 0);
  no_->SetRect(left + 10.0f, bottom - 35.0f, cx - 10.0f, bottom - 8.0f);
  AddButton(no_);
  yes_ = new GUI_ButtonText(&GUI_ConfirmDialog::OnYes, "CONFIRM_YES", 0);
  yes_->SetRect(cx + 10.0f, bottom - 35.0f, right - 10.0f, bottom - 8.0f);
  AddButton(yes_);
  SetModal(true);
  ShowBottomTabs(true);
}

GUI_ConfirmDialog::~GUI_ConfirmDialog() {
  if (g_confirm == this) g_confirm = nullptr;
}

void GUI_ConfirmDialog::Draw() {
  GUI_Dialog::Draw();
  DrawGUITexture(SHARED_DIALOG_CLIENT, kFrameSize, 1.0f, true, static_cast<float>(clientRect.left),
                 static_cast<float>(clientRect.top), static_cast<float>(clientRect.right),
                 static_cast<float>(clientRect.bottom));
  DrawButtons();
  UseFont();
  GetTextRenderer().PrintWrapped(text_.c_str(), TextColour(), clientRect.left + 14.0f, clientRect.top + 10.0f,
                                 clientRect.Width() - 28.0f);
  FlushAll();
}

int GUI_ConfirmDialog::OnYes(int) {
  GUI_ConfirmDialog* dialog = g_confirm;
  if (!dialog) return 0;
  const GUI_ConfirmCallback callback = dialog->onYes_;
  // Gone before the callback runs, so the callback may ask another question.
  delete dialog;
  if (callback) callback(0);
  return 0;
}

int GUI_ConfirmDialog::OnNo(int) {
  delete g_confirm;
  return 0;
}

GUI_ConfirmDialog* ShowConfirmDialog(const std::string& titleKey, const std::string& textKey,
                                     GUI_ConfirmCallback onYes) {
  delete g_confirm;
  return new GUI_ConfirmDialog(titleKey, textKey, onYes);
}
