#pragma once
// Players' text messages: the received ones in memory and in "<web>/messages.txt",
// refreshed with only the messages newer than the newest held. A refresh downloads
// beside the cache, so a failed one leaves messages.txt as it was.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/Dialog.h"

struct OnlineMessage {
  int id = 0;
  std::string sender;
  std::string date;
  std::string text;
};

// Reads message lines ("##,id,sender,date,\"text\""); a bad line is logged and skipped.
std::vector<OnlineMessage> ParseMessages(const std::string& file);

class SIM_OnlineMessageDatabase {
 public:
  static constexpr size_t kMaxText = 1000;
  static constexpr size_t kMaxMessages = 5000;

  SIM_OnlineMessageDatabase();
  virtual ~SIM_OnlineMessageDatabase();

  void Load();
  bool Save() const;
  void Clear();
  // Any thread: fetches the messages newer than the newest held and appends them; false
  // (cache untouched) when the download fails or the job was cancelled meanwhile.
  bool Refresh(const class SIM_WorkerJob* job = nullptr);
  // Deletes on the server, then locally (every record with that id).
  bool DeleteMessage(int id);

  std::vector<OnlineMessage> Messages() const;
  bool Loaded() const;
  int TopId() const;
  const std::string& FilePath() const { return path_; }

 private:
  bool SaveLocked() const;
  mutable std::mutex mutex_;
  std::vector<OnlineMessage> messages_;
  std::string path_;
  bool loaded_ = false;
};

SIM_OnlineMessageDatabase& GetMessageDatabase();

// A row's texts: the sender cut to 32 characters, the text to 71 with "..." after.
std::string MessageRowSender(const OnlineMessage& m);
std::string MessageRowText(const OnlineMessage& m);

// The inbox: lists the cached messages at once and refreshes them on the worker.
class GUI_OL_Messages : public GUI_Dialog {
 public:
  static constexpr int kRowsShown = 12;
  GUI_OL_Messages();
  ~GUI_OL_Messages() override;
  void Draw() override;
  // The online screen's own window until its other screens exist: Escape leaves the screen.
  bool IsPopup() const override { return false; }

  // Builds the rows again from the database (GUI thread).
  void Rebuild();
  const std::vector<OnlineMessage>& Rows() const { return rows_; }
  bool Refreshing() const { return job_ != nullptr; }
  const std::string& Status() const { return status_; }

 private:
  void StartRefresh();
  std::vector<OnlineMessage> rows_;
  std::shared_ptr<class SIM_WorkerJob> job_;
  std::shared_ptr<bool> refreshed_;
  std::string status_;
};

GUI_OL_Messages* OpenInbox();
GUI_OL_Messages* ShowInbox();
