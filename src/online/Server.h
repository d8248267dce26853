#pragma once
// The game's side of the server protocol: one function per server script. Each builds
// its request (query values percent-encoded, keys in the protocol's order), sends it
// through the link and leaves the reply in a file of its own or reads it at once.
// Nothing here ends the game: a failed transfer, a hostile reply or an unreadable
// upload is logged and gives false.
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Shell.h"  // PercentEncode: every query value goes through it
#include "online/Internet.h"

// The value of a script's single answer: the second comma-separated field (quotes
// group) of the last line holding `keyword` anywhere; empty when none. Line ends are not
// part of a field, so "response,true" with or without a trailing comma is success.
std::string ReplyField(const std::string& reply, const char* keyword);
// True when the reply's "response" field is exactly "true".
bool ReplyTextIsTrue(const std::string& reply);

// Reads a player or reply file whole into out. Only a regular file of at most cap
// bytes is read, and the open never waits: a FIFO, a device or a link to one planted at
// the name is refused at once with an error-log line. False (out empty) otherwise.
bool ReadLocalFile(const std::string& path, std::string& out, size_t cap);

// Where the signed-up user name is kept: "<web>/ztkcdu", the name alone.
std::string UserNameFilePath();
// True only for a regular file (a FIFO or device at the name is no sign-up).
bool UserNameFileExists();
// The stored name: at most kMaxUserName bytes of the file's first line; empty when missing.
std::string ReadStoredUserName();

class SIM_Server {
 public:
  static constexpr size_t kMaxUserName = 64;
  static constexpr size_t kTagBytes = 32;
  static constexpr float kGameVersion = 1.008f;

  SIM_Server();
  virtual ~SIM_Server();

  std::string UserName() const;
  // Writes the name to the user-name file (atomically) and keeps it.
  void WriteStoredUserName(const std::string& name);
  std::string LastMessage() const;

  // A fresh temporary reply file "<web/debug>/tmpNNN.html" not in use by another call.
  std::string MakeReplyFile();
  void ReleaseReplyFile(const std::string& file);
  // The body of a POST: `tag` (first 32 bytes, zero-filled) then the file's bytes.
  // False for an unreadable, empty or oversized file.
  static bool BuildUpload(const std::string& localFile, const std::string& tag, std::string& body);
  bool UploadFile(const std::string& serverPath, const std::string& localFile, const std::string& tag);

  // The scripts.
  bool UpdateProfile(const std::string& typedUser, const std::string& general, const std::string& regiment,
                     std::string& why);
  bool PostMetrics();
  bool UploadChallenge(const std::string& recipient, const std::string& name, const std::string& description,
                       int attackerSupplies, int defenderSupplies, int timeLimit, int escapeLimit,
                       bool custom);
  bool UploadRegimentLogo(const std::string& badgeFile);
  bool GetChallengeList(int topChallengeId, const std::string& localFile);
  bool GetUserProfile(const std::string& profileName);
  bool DownloadChallenge(const std::string& challengeId, const std::string& localFile);
  bool ChallengeBeaten(const std::string& challengeId);
  bool ChallengeAccepted(const std::string& challengeId);
  bool RateChallenge(const std::string& challengeId, int enjoy, int difficulty, const std::string& comment);
  bool InviteFriend(const std::string& target, std::string& message);
  bool GetAchievements(const std::string& profile);
  bool GetDataChanges(const std::string& date);
  bool GetFriends();
  bool GetInvitesSent();
  bool GetInvitesReceived();
  bool GetChallengeDetails(const std::string& challengeId, const std::string& profileName);
  bool AcceptFriendshipInvite(const std::string& friendName, std::string& message);
  bool RejectFriendshipInvite(const std::string& friendName, std::string& message);
  bool DeleteFriendshipInvite(const std::string& friendName, std::string& message);
  bool DeleteFriend(const std::string& friendName, std::string& message);
  // Reports one earned achievement; every name handed in is kept in the order sent.
  bool AddAchievement(const std::string& achievement);
  std::vector<std::string> AchievementsAdded() const;
  bool GetMessages(int topId, const std::string& localFile);
  bool AddMessage(const std::string& target, const std::string& text, std::string& why);
  bool DeleteMessage(int messageId);
  bool DeleteChallenge(const std::string& challengeId);
  bool GetRegimentBadge(const std::string& badgeUser, const std::string& localBadgeFile);
  // The update check's answer, or "error checking for update".
  std::string CheckUpdate(float version);

  // "server/<script>?&key=value&..." with the values encoded, for the scripts above.
  static std::string BuildQuery(const std::string& script,
                                std::initializer_list<std::pair<const char*, std::string>> keys);

 private:
  // GET into a temporary reply file, then read it whole and delete it.
  bool RequestReply(const std::string& path, std::string& reply);
  bool FriendAction(const char* script, const std::string& friendName, std::string& message);

  mutable std::mutex mutex_;
  std::string userName_;
  std::string lastMessage_;
  std::vector<std::string> achievementsAdded_;
};

// The process-wide server record (built on first use on the GUI thread).
SIM_Server& GetInternet();
