#include "online/Messages.h"

#include <algorithm>
#include <cstdio>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Spreadsheet.h"
#include "engine/Strings.h"
#include "engine/Tokenizer.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "platform/Window.h"

namespace {
bool ParseId(const std::string& text, int& id) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  id = ParseInt(text);
  return true;
}

std::string Clean(std::string text, size_t cap) {
  if (text.size() > cap) text.resize(cap);
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '"') c = ' ';
  return text;
}
}  // namespace

std::vector<OnlineMessage> ParseMessages(const std::string& file) {
  std::vector<OnlineMessage> out;
  int lineNumber = 0;
  for (const std::string& line : LoadSpreadsheet(file)) {
    ++lineNumber;
    Tokenizer tokens(line, ',');
    tokens.Next();
    OnlineMessage m;
    std::string id = tokens.NextString();
    m.sender = tokens.NextString();
    m.date = tokens.NextString();
    m.text = tokens.NextString();
    if (!ParseId(id, m.id) || m.sender.empty() || !IsPlainFileName(m.sender, SIM_Server::kMaxUserName)) {
      DebugLogF("Bad message record %d in %.200s skipped", lineNumber, file.c_str());
      continue;
    }
    m.date = Clean(m.date, 32);
    m.text = Clean(m.text, SIM_OnlineMessageDatabase::kMaxText);
    out.push_back(m);
    if (out.size() >= SIM_OnlineMessageDatabase::kMaxMessages) break;
  }
  return out;
}

SIM_OnlineMessageDatabase::SIM_OnlineMessageDatabase()
    : path_(GetUserFolder(USERFOLDER_WEB) + "/messages.txt") {}
SIM_OnlineMessageDatabase::~SIM_OnlineMessageDatabase() = default;

void SIM_OnlineMessageDatabase::Load() {
  std::vector<OnlineMessage> read = ParseMessages(path_);
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.insert(messages_.end(), read.begin(), read.end());
  loaded_ = true;
}

bool SIM_OnlineMessageDatabase::SaveLocked() const {
  std::string text;
  for (const OnlineMessage& m : messages_) {
    char head[64];
    std::snprintf(head, sizeof(head), "##,%d,", m.id);
    text += head + m.sender + "," + m.date + ",\"" + m.text + "\"\n";
  }
  TryEnsureDirectoryExists(GetUserFolder(USERFOLDER_WEB));
  return WriteFileAtomic(path_, text);
}

bool SIM_OnlineMessageDatabase::Save() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return SaveLocked();
}

void SIM_OnlineMessageDatabase::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
  loaded_ = false;
}

int SIM_OnlineMessageDatabase::TopId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int top = -1;
  for (const OnlineMessage& m : messages_) top = std::max(top, m.id);
  return top;
}

bool SIM_OnlineMessageDatabase::Refresh(const SIM_WorkerJob* job) {
  Clear();
  Load();
  int top = TopId();
  std::string incoming = path_ + ".new";
  std::remove(incoming.c_str());
  bool ok = GetInternet().GetMessages(top, incoming);
  if (ok && !(job && job->Cancelled())) {
    std::vector<OnlineMessage> fresh = ParseMessages(incoming);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const OnlineMessage& m : fresh)
        if (m.id > top && messages_.size() < kMaxMessages) messages_.push_back(m);
    }
    ok = Save();
  } else {
    ok = false;
  }
  std::remove(incoming.c_str());
  return ok;
}

bool SIM_OnlineMessageDatabase::DeleteMessage(int id) {
  if (!GetInternet().DeleteMessage(id)) return false;
  if (!Loaded()) Load();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.erase(std::remove_if(messages_.begin(), messages_.end(),
                                   [id](const OnlineMessage& m) { return m.id == id; }),
                    messages_.end());
  }
  return Save();
}

std::vector<OnlineMessage> SIM_OnlineMessageDatabase::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

bool SIM_OnlineMessageDatabase::Loaded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loaded_;
}

SIM_OnlineMessageDatabase& GetMessageDatabase() {
  GetThreadManager();  // workers refresh it: the runner must be torn down first
  return ProcessWide<SIM_OnlineMessageDatabase>();
}

std::string MessageDisplayText(const std::string& utf8) {
  // The interface font draws ASCII, the pound and the euro: accented Latin letters are
  // shown as their plain letter, anything else as '?'.
  static const char kLatin[65] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
  std::string out;
  for (char ch : platform::Utf8ToWindows1252(utf8.c_str())) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x80 || c == 0x80 || c == 0xA3) {
      out += ch;
    } else if (c >= 0xC0) {
      out += kLatin[c - 0xC0];
    } else if (c == 0x91 || c == 0x92) {
      out += '\'';
    } else if (c == 0x93 || c == 0x94) {
      out += '"';
    } else if (c == 0x96 || c == 0x97) {
      out += '-';
    } else if (c == 0xA0) {
      out += ' ';
    } else {
      out += '?';
    }
  }
  return out;
}

std::string MessageRowSender(const OnlineMessage& m) { return MessageDisplayText(m.sender).substr(0, 32); }
std::string MessageRowText(const OnlineMessage& m) {
  return TruncateWithEllipsis(MessageDisplayText(m.text), 71);
}
