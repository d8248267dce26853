#include "gui/MessageBox.h"

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/ToolkitHooks.h"

using namespace gui_draw;

namespace {
GUI_Message* g_message = nullptr;
GUI_PleaseWait* g_pleaseWait = nullptr;
PleaseWaitCancelHandler g_cancelHandler = nullptr;
}  // namespace

// ---------------------------------------------------------------------------
// Message box

GUI_Message* OpenMessageBox() { return g_message; }

GUI_Message::GUI_Message(const std::string& titleKey, const std::string& text, int style,
                         GUI_ButtonCallback callback)
    : GUI_Dialog(true), text_(text), callback_(callback) {
  g_message = this;
  sideBorder = 12.0f;
  topBorder = 12.0f;
  UseFont();
  float h = GetTextRenderer().GetWrappedHeight(text_.c_str(), 356.0f) + 80.0f;
  if (style == kStyleOK) {
    bottomBorder += 25.0f;
    h += 25.0f;
    if (closeButton_) {
      RemoveButton(closeButton_);
      delete closeButton_;
      DropCloseButton();
    }
  }
  SetSize(400.0f, h);
  CentreOnScreen();
  SetTranslatedTitle(titleKey);
  SetModal(true);
  if (style == kStyleOK) {
    const float cx = (left + right) * 0.5f;
    ok_ = new GUI_ButtonText(&GUI_Message::OnOK, "MESSAGE_OK", 0);
    ok_->SetRect(cx - 100.0f, bottom - 30.0f, cx + 100.0f, bottom - 6.0f);
    AddButton(ok_);
  }
}

GUI_Message::~GUI_Message() {
  if (g_message == this) g_message = nullptr;
}

void GUI_Message::Draw() {
  GUI_Dialog::Draw();
  DrawGUITexture(SHARED_DIALOG_CLIENT, kFrameSize, 1.0f, true, static_cast<float>(clientRect.left),
                 static_cast<float>(clientRect.top), static_cast<float>(clientRect.right),
                 static_cast<float>(clientRect.bottom));
  FlushSprites();
  UseFont();
  GetTextRenderer().PrintWrapped(text_.c_str(), TextColour(), clientRect.left + 10.0f, clientRect.top + 3.0f,
                                 clientRect.Width() - 20.0f);
  FlushAll();
}

int GUI_Message::OnOK(int) {
  GUI_Message* box = g_message;
  if (!box) return 0;
  // A message built without a callback still closes.
  const GUI_ButtonCallback callback = box->callback_;
  // The callback may already have replaced or closed the box; a follow-up message may
  // even sit at the same address, so the box is recognised by its serial, not its address.
  const GUI_WindowBase::Ref self = box->MakeRef();
  if (callback) callback(0);
  if (self.Alive()) delete box;
  return 0;
}

GUI_Message* ShowMessage(const std::string& titleKey, const std::string& text, int style,
                         GUI_ButtonCallback callback) {
  delete g_message;
  return new GUI_Message(titleKey, text, style, callback);
}

// ---------------------------------------------------------------------------
// Please-wait window

std::mutex& PleaseWaitLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

void SetPleaseWaitCancelHandler(PleaseWaitCancelHandler handler) { g_cancelHandler = handler; }

GUI_PleaseWait* OpenPleaseWait() { return g_pleaseWait; }

GUI_PleaseWait::GUI_PleaseWait() : GUI_Dialog(false) {
  SetSize(660.0f, 178.0f);
  CentreOnScreen();
  image_ = FindOrLoadTexture("enigma.jpg");
  animation_.Start();
  {
    // Workers read the pointer under the lock (SetText), so it is published under it too,
    // together with the first message.
    std::lock_guard<std::mutex> lock(PleaseWaitLock());
    g_pleaseWait = this;
    message_ = GetTranslation("GUI_PLEASEWAIT");
    if (message_.empty()) message_ = "GUI_PLEASEWAIT";
    SetTitle(message_);
  }
  Open();
  bottomBorder += 20.0f;
  GetClientRect();
  const float cx = (left + right) * 0.5f;
  cancel_ = new GUI_ButtonText(&GUI_PleaseWait::OnCancel, "PLEASEWAIT_CANCEL", 0);
  cancel_->SetRect(cx - 150.0f, clientRect.bottom - 2.0f, cx + 150.0f, clientRect.bottom + 25.0f);
  AddButton(cancel_);
  lampArea_ = GUI_Rect{clientRect.left + 108, clientRect.top, clientRect.right - 108, clientRect.bottom};
  const int areaW = lampArea_.Width();
  const int w = (areaW - 30) / kLampCount;
  const int start = lampArea_.left + (areaW - kLampCount * w) / 2;
  for (int i = 0; i < kLampCount; ++i) {
    lamps_[i] =
        GUI_Rect{start + i * w + 1, lampArea_.top + 43, start + (i + 1) * w - 1, lampArea_.bottom - 43};
  }
  currentLamp_ = 0;
  SetModal(true);
  if (auto play = GetToolkitHooks().playInterfaceLoop) sound_ = play("data/sounds/morse.ogg");
}

GUI_PleaseWait::~GUI_PleaseWait() {
  if (g_pleaseWait == this) {
    // SetText tests the pointer under the lock, so clear it under the lock too.
    std::lock_guard<std::mutex> lock(PleaseWaitLock());
    g_pleaseWait = nullptr;
  }
  if (sound_ != -1 && GetToolkitHooks().stopSound) GetToolkitHooks().stopSound(sound_);
}

void GUI_PleaseWait::SetText(const std::string& text) {
  std::lock_guard<std::mutex> lock(PleaseWaitLock());
  if (g_pleaseWait) g_pleaseWait->message_ = text;
}

std::string GUI_PleaseWait::Message() const {
  std::lock_guard<std::mutex> lock(PleaseWaitLock());
  return message_;
}

int GUI_PleaseWait::OnCancel(int) {
  // The worker is asked to stop (it is never killed: a killed thread could hold the lock).
  if (g_cancelHandler) g_cancelHandler();
  delete g_pleaseWait;
  return 0;
}

void GUI_PleaseWait::Animate() {
  animation_.Update();
  if (animation_.total > kLampStepMs) {
    currentLamp_ = (currentLamp_ + 1) % kLampCount;
    animation_.Start();
  }
}

void GUI_PleaseWait::Process() {
  GUI_Cursor::SetWaitCursor();
  GUI_Dialog::Process();
}

void GUI_PleaseWait::Draw() {
  {
    std::lock_guard<std::mutex> lock(PleaseWaitLock());
    if (message_ != title_) SetTitle(message_);
  }
  GUI_Dialog::Draw();
  Animate();
  const float cl = static_cast<float>(clientRect.left), ct = static_cast<float>(clientRect.top);
  const float cr = static_cast<float>(clientRect.right), cb = static_cast<float>(clientRect.bottom);
  DrawGUITexture(SHARED_DARK_CLIENT, kFrameSize, 1.0f, true, cl, ct, cr, cb);
  const float cy = (ct + cb) * 0.5f;
  QueueCentred(image_, cl + 64.0f, cy, 90.0f, 90.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0xFFFFFFFFu);
  QueueCentred(image_, cr - 64.0f, cy, 90.0f, 90.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0xFFFFFFFFu);
  FlushSprites();
  D3DEngine& d3d = GetRenderDevice();
  for (int i = 0; i < kLampCount; ++i) {
    const GUI_Rect& r = lamps_[i];
    d3d.DrawRect(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                 static_cast<float>(r.bottom), i == currentLamp_ ? TextColour() : 0x80202020u);
  }
}

GUI_PleaseWait* ShowPleaseWait() {
  (void)PleaseWaitLock();
  if (g_pleaseWait) {
    ZT_ASSERT(g_pleaseWait == nullptr);
    delete g_pleaseWait;
  }
  return new GUI_PleaseWait();
}

void ClosePleaseWait() { delete g_pleaseWait; }
