#include "online/Server.h"

#include <cstdio>
#include <random>
#include <set>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Shell.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "online/Metrics.h"
#include "platform/Files.h"

namespace {
std::mutex g_replyFilesMutex;
std::set<std::string> g_replyFilesInUse;

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string IntText(int value) { return std::to_string(value); }
}  // namespace

bool ReadLocalFile(const std::string& path, std::string& out, size_t cap) {
  std::string why;
  out.clear();
  if (platform::ReadRegularFile(path, &out, static_cast<int64_t>(cap), &why)) return true;
  if (why != platform::kFileNotFound) LogErrorF("%.300s refused: %s", path.c_str(), why.c_str());
  out.clear();
  return false;
}

std::string ReplyField(const std::string& reply, const char* keyword) {
  std::string result;
  size_t start = 0;
  while (start < reply.size()) {
    size_t end = reply.find('\n', start);
    std::string line = reply.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    start = end == std::string::npos ? reply.size() : end + 1;
    if (line.find(keyword) == std::string::npos) continue;
    Tokenizer tokens(line, ',');
    tokens.Next();
    result = tokens.NextString();
  }
  return result;
}

bool ReplyTextIsTrue(const std::string& reply) { return ReplyField(reply, "response") == "true"; }

std::string UserNameFilePath() { return GetUserFolder(USERFOLDER_WEB) + "/ztkcdu"; }
bool UserNameFileExists() { return FileExists(UserNameFilePath()); }

std::string ReadStoredUserName() {
  std::string text;
  if (!ReadLocalFile(UserNameFilePath(), text, 4096)) return std::string();
  text = text.substr(0, text.find_first_of("\r\n"));
  if (text.size() > SIM_Server::kMaxUserName) text.resize(SIM_Server::kMaxUserName);
  return text;
}

SIM_Server::SIM_Server() : userName_(ReadStoredUserName()) { GetLink(); }
SIM_Server::~SIM_Server() = default;

std::string SIM_Server::UserName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return userName_;
}

std::string SIM_Server::LastMessage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastMessage_;
}

void SIM_Server::WriteStoredUserName(const std::string& name) {
  std::string bounded = name.substr(0, kMaxUserName);
  TryEnsureDirectoryExists(GetUserFolder(USERFOLDER_WEB));
  WriteFileAtomic(UserNameFilePath(), bounded);
  std::lock_guard<std::mutex> lock(mutex_);
  userName_ = bounded;
}

std::string SIM_Server::MakeReplyFile() {
  thread_local std::mt19937 digits(std::random_device{}());
  std::string folder = GetUserFolder(USERFOLDER_WEB_DEBUG);
  TryEnsureDirectoryExists(folder);
  std::lock_guard<std::mutex> lock(g_replyFilesMutex);
  std::string name;
  for (int attempt = 0; attempt < 2000; ++attempt) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "/tmp%d%d%d.html", static_cast<int>(digits() % 9),
                  static_cast<int>(digits() % 9), static_cast<int>(digits() % 9));
    name = folder + buffer;
    if (!g_replyFilesInUse.count(name)) break;
  }
  g_replyFilesInUse.insert(name);
  std::remove(name.c_str());
  return name;
}

void SIM_Server::ReleaseReplyFile(const std::string& file) {
  std::lock_guard<std::mutex> lock(g_replyFilesMutex);
  g_replyFilesInUse.erase(file);
}

bool SIM_Server::RequestReply(const std::string& path, std::string& reply) {
  reply.clear();
  std::string file = MakeReplyFile();
  bool ok = GetLink().DownloadFile(path, file, true, ReplyKind::kSingle);
  if (ok) ok = ReadLocalFile(file, reply, ReplyCap(ReplyKind::kSingle));
  std::remove(file.c_str());
  ReleaseReplyFile(file);
  if (ok) {
    // Each line of a script's answer goes to the debug log.
    size_t start = 0;
    while (start < reply.size() && start < 4096) {
      size_t end = reply.find('\n', start);
      DebugLog(
          Trimmed(reply.substr(start, end == std::string::npos ? 256 : std::min<size_t>(end - start, 256))));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  return ok;
}

bool SIM_Server::BuildUpload(const std::string& localFile, const std::string& tag, std::string& body) {
  std::string bytes;
  if (!ReadLocalFile(localFile, bytes, ReplyCap(ReplyKind::kBinary))) {
    DebugLogF("Failed to read local file %.300s", localFile.c_str());
    return false;
  }
  if (bytes.empty()) {
    DebugLogF("Failed to get local file size %.300s", localFile.c_str());
    return false;
  }
  body.assign(kTagBytes, '\0');
  body.replace(0, std::min(tag.size(), kTagBytes), tag.substr(0, kTagBytes));
  body += bytes;
  return true;
}

bool SIM_Server::UploadFile(const std::string& serverPath, const std::string& localFile,
                            const std::string& tag) {
  std::string body;
  if (!BuildUpload(localFile, tag, body)) return false;
  return GetLink().CopyFileToServer(serverPath, body.data(), body.size());
}

std::string SIM_Server::BuildQuery(const std::string& script,
                                   std::initializer_list<std::pair<const char*, std::string>> keys) {
  std::string path = "server/" + script + "?";
  for (const auto& key : keys) path += std::string("&") + key.first + "=" + PercentEncode(key.second);
  return path;
}

bool SIM_Server::UpdateProfile(const std::string& typedUser, const std::string& general,
                               const std::string& regiment, std::string& why) {
  std::string reply;
  if (!RequestReply(
          BuildQuery("updateprofile.php",
                     {{"username", typedUser}, {"generalname", general}, {"regimentname", regiment}}),
          reply)) {
    why = "The game server could not be reached.";
    return false;
  }
  if (!ReplyTextIsTrue(reply)) {
    why = ReplyField(reply, "message");
    if (why.empty()) why = "The game server refused the change.";
    return false;
  }
  return true;
}

bool SIM_Server::PostMetrics() {
  std::string bytes;
  const std::string file = SIM_Metrics::FilePath();
  if (!ReadLocalFile(file, bytes, ReplyCap(ReplyKind::kList)) || bytes.empty()) {
    DebugLogF("Failed to read local file %.300s", file.c_str());
    return false;
  }
  return GetLink().CopyFileToServer("server/postmetrics.php?username=" + PercentEncode(UserName()),
                                    bytes.data(), bytes.size());
}

bool SIM_Server::UploadChallenge(const std::string& recipient, const std::string& name,
                                 const std::string& description, int attackerSupplies, int defenderSupplies,
                                 int timeLimit, int escapeLimit, bool custom) {
  std::string reply;
  if (!RequestReply(BuildQuery("postchallenge.php", {{"use", UserName()},
                                                     {"rec", recipient},
                                                     {"name", name},
                                                     {"desc", description},
                                                     {"at", IntText(attackerSupplies)},
                                                     {"def", IntText(defenderSupplies)},
                                                     {"time", IntText(timeLimit)},
                                                     {"esc", IntText(escapeLimit)},
                                                     {"custom", custom ? "1" : "0"}}),
                    reply))
    return false;
  std::string message = ReplyField(reply, "message");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastMessage_ = message;
  }
  // The answer names the new challenge; anything else is an error text, not a tag.
  if (!IsPlainFileName(message, kTagBytes)) {
    DebugLogF("IWARNING:  challenge post refused: %.200s", message.c_str());
    return false;
  }
  return UploadFile("server/uploadchallenge.php?username=" + PercentEncode(UserName()),
                    GetUserFolder(USERFOLDER_CHALLENGE_TEMP) + "/chal.zip", message);
}

bool SIM_Server::UploadRegimentLogo(const std::string& badgeFile) {
  std::string user = UserName();
  return UploadFile("server/upload_regiment_logo.php?username=" + PercentEncode(user), badgeFile, user);
}

bool SIM_Server::GetChallengeList(int topChallengeId, const std::string& localFile) {
  return GetLink().DownloadFile(
      BuildQuery("get_challenge_list.php",
                 {{"username", UserName()}, {"topchalid", IntText(topChallengeId)}}),
      localFile, true, ReplyKind::kList);
}

bool SIM_Server::GetUserProfile(const std::string& profileName) {
  return GetLink().DownloadFile(
      BuildQuery("getuserprofile.php", {{"username", UserName()}, {"profilename", profileName}}),
      GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini", true, ReplyKind::kList);
}

bool SIM_Server::DownloadChallenge(const std::string& challengeId, const std::string& localFile) {
  if (!IsPlainFileName(challengeId, 64) || localFile.empty()) {
    DebugLogF("IWARNING:  challenge id \"%.64s\" is not a plain name", challengeId.c_str());
    return false;
  }
  return GetLink().DownloadFile("server/challenges/" + PercentEncode(challengeId) + ".ztk", localFile, true,
                                ReplyKind::kBinary);
}

bool SIM_Server::ChallengeBeaten(const std::string& challengeId) {
  std::string reply;
  return RequestReply(BuildQuery("challengebeaten.php", {{"use", UserName()}, {"ztkid", challengeId}}),
                      reply);
}

bool SIM_Server::ChallengeAccepted(const std::string& challengeId) {
  std::string reply;
  return RequestReply(BuildQuery("challengeaccepted.php", {{"use", UserName()}, {"ztkid", challengeId}}),
                      reply);
}

bool SIM_Server::RateChallenge(const std::string& challengeId, int enjoy, int difficulty,
                               const std::string& comment) {
  std::string reply;
  return RequestReply(BuildQuery("ratechallenge.php", {{"use", UserName()},
                                                       {"ztkid", challengeId},
                                                       {"enjoy", IntText(enjoy)},
                                                       {"diff", IntText(difficulty)},
                                                       {"comment", comment.substr(0, 256)}}),
                      reply) &&
         ReplyTextIsTrue(reply);
}

bool SIM_Server::InviteFriend(const std::string& target, std::string& message) {
  std::string reply;
  if (!RequestReply(BuildQuery("invite_friend.php", {{"username", UserName()}, {"target", target}}), reply)) {
    message = "The game server could not be reached.";
    return false;
  }
  message = ReplyField(reply, "message");
  return ReplyTextIsTrue(reply);
}

bool SIM_Server::GetAchievements(const std::string& profile) {
  return GetLink().DownloadFile(
      BuildQuery("get_achievements.php", {{"username", UserName()}, {"profile", profile}}),
      GetUserFolder(USERFOLDER_WEB) + "/achievements_list.txt", true, ReplyKind::kList);
}

bool SIM_Server::GetDataChanges(const std::string& date) {
  return GetLink().DownloadFile(
      BuildQuery("get_data_changes.php", {{"username", UserName()}, {"date", date}}),
      GetUserFolder(USERFOLDER_WEB) + "/data_changes.txt", true, ReplyKind::kList);
}

bool SIM_Server::GetFriends() {
  return GetLink().DownloadFile(BuildQuery("get_friends.php", {{"username", UserName()}}),
                                GetUserFolder(USERFOLDER_WEB) + "/friends_list.txt", true, ReplyKind::kList);
}

bool SIM_Server::GetInvitesSent() {
  return GetLink().DownloadFile(BuildQuery("get_friendship_invites_sent.php", {{"username", UserName()}}),
                                GetUserFolder(USERFOLDER_WEB) + "/invites_sent.txt", true, ReplyKind::kList);
}

bool SIM_Server::GetInvitesReceived() {
  return GetLink().DownloadFile(BuildQuery("get_friendship_invites_recvd.php", {{"username", UserName()}}),
                                GetUserFolder(USERFOLDER_WEB) + "/invites_recvd.txt", true, ReplyKind::kList);
}

bool SIM_Server::GetChallengeDetails(const std::string& challengeId, const std::string& profileName) {
  return GetLink().DownloadFile(
      BuildQuery("getchallengedetails.php",
                 {{"username", UserName()}, {"ztkid", challengeId}, {"profilename", profileName}}),
      GetUserFolder(USERFOLDER_WEB) + "/challenge_details.txt", true, ReplyKind::kList);
}

bool SIM_Server::FriendAction(const char* script, const std::string& friendName, std::string& message) {
  std::string reply;
  if (!RequestReply(BuildQuery(script, {{"use", UserName()}, {"friend", friendName}}), reply)) {
    message = "The game server could not be reached.";
    return false;
  }
  message = ReplyField(reply, "message");
  return ReplyTextIsTrue(reply);
}

bool SIM_Server::AcceptFriendshipInvite(const std::string& friendName, std::string& message) {
  return FriendAction("accept_friendship_invite.php", friendName, message);
}
bool SIM_Server::RejectFriendshipInvite(const std::string& friendName, std::string& message) {
  return FriendAction("reject_friendship_invite.php", friendName, message);
}
bool SIM_Server::DeleteFriendshipInvite(const std::string& friendName, std::string& message) {
  return FriendAction("delete_friendship_invite.php", friendName, message);
}
bool SIM_Server::DeleteFriend(const std::string& friendName, std::string& message) {
  return FriendAction("delete_friend.php", friendName, message);
}

bool SIM_Server::AddAchievement(const std::string& achievement) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    achievementsAdded_.push_back(achievement);
  }
  std::string reply;
  return RequestReply(
      BuildQuery("add_achievement.php", {{"username", UserName()}, {"achievement", achievement}}), reply);
}

std::vector<std::string> SIM_Server::AchievementsAdded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return achievementsAdded_;
}

bool SIM_Server::GetMessages(int topId, const std::string& localFile) {
  return GetLink().DownloadFile(
      BuildQuery("get_messages.php", {{"username", UserName()}, {"topid", IntText(topId)}}), localFile, true,
      ReplyKind::kList);
}

bool SIM_Server::AddMessage(const std::string& target, const std::string& text, std::string& why) {
  std::string reply;
  if (!RequestReply(
          BuildQuery("add_message.php", {{"username", UserName()}, {"target", target}, {"message", text}}),
          reply)) {
    why = "The game server could not be reached.";
    return false;
  }
  if (!ReplyTextIsTrue(reply)) {
    why = ReplyField(reply, "message");
    if (why.empty()) why = "The game server refused the message.";
    return false;
  }
  return true;
}

bool SIM_Server::DeleteMessage(int messageId) {
  std::string reply;
  return RequestReply(
      BuildQuery("delete_message.php", {{"use", UserName()}, {"messageid", IntText(messageId)}}), reply);
}

bool SIM_Server::DeleteChallenge(const std::string& challengeId) {
  std::string reply;
  // Only the server's yes counts: a refusal must not remove the challenge locally.
  return RequestReply(BuildQuery("delete_challenge.php", {{"use", UserName()}, {"challengeid", challengeId}}),
                      reply) &&
         ReplyTextIsTrue(reply);
}

bool SIM_Server::GetRegimentBadge(const std::string& badgeUser, const std::string& localBadgeFile) {
  if (!IsPlainFileName(badgeUser, kMaxUserName)) {
    DebugLogF("IWARNING:  badge user \"%.64s\" is not a plain name", badgeUser.c_str());
    return false;
  }
  std::string reply;
  if (!RequestReply(BuildQuery("get_regiment_badge.php", {{"use", UserName()}, {"badge_user", badgeUser}}),
                    reply) ||
      !ReplyTextIsTrue(reply))
    return false;
  return GetLink().DownloadFile("server/regiment_logos/" + PercentEncode(badgeUser) + ".jpg", localBadgeFile,
                                true, ReplyKind::kBinary);
}

std::string SIM_Server::CheckUpdate(float version) {
  char text[32];
  std::snprintf(text, sizeof(text), "%f", version);
  std::string reply;
  if (!RequestReply(BuildQuery("check_update.php", {{"use", UserName()}, {"current_version", text}}), reply))
    return "error checking for update";
  return ReplyField(reply, "message");
}

SIM_Server& GetInternet() { return ProcessWide<SIM_Server>(); }
