#pragma once
// Players' text messages: the received ones in memory and in "<web>/messages.txt",
// refreshed with only the messages newer than the newest held. A refresh downloads
// beside the cache, so a failed one leaves messages.txt as it was.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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

// The server's UTF-8 as the interface font can draw it (single-byte, plain letters for
// accented ones).
std::string MessageDisplayText(const std::string& utf8);
// A row's texts: the sender cut to 32 characters, the text to 71 with "..." after.
std::string MessageRowSender(const OnlineMessage& m);
std::string MessageRowText(const OnlineMessage& m);
