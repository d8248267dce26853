#pragma once
// The battle browser's Online tab: the challenge list as a sortable, filtered table, and
// the details dialog of one challenge (the poster, the comments, attack, defend and
// delete). The browser never calls the online layer itself: the server requests and the
// worker thread come through ChallengeServerHooks, which the online layer fills in.
// Unset, the tab shows the local list and nothing is fetched.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/ChallengeList.h"
#include "engine/Sprites.h"
#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class CLoadedTexture;
class GUI_ButtonText;
class GUI_CheckButton;
class GUI_IconButton;
class GUI_ScrollingWindow;
class GUI_Tooltip;
class SIM_Scenario;

struct ChallengeServerHooks {
  // Worker thread: the list lines numbered above topId into *reply.
  std::function<bool(int topId, std::string* reply)> fetchList;
  // Worker thread: the details reply ([comments] and [profile]) of a challenge.
  std::function<bool(const std::string& ztkid, const std::string& poster, std::string* reply)> fetchDetails;
  // GUI thread: the package into localFile (replaced only by a whole download).
  std::function<bool(const std::string& ztkid, const std::string& localFile)> download;
  // Worker thread: true only when the server answered that the challenge is gone.
  std::function<bool(const std::string& ztkid)> deleteChallenge;
  // Worker thread: fetches the friends list again.
  std::function<void()> refreshFriends;
  std::function<bool(const std::string& name)> isFriend;
  // The signed-up player's name (empty before sign-up).
  std::function<std::string()> userName;
  // The name of a rank number, as the server reports ranks.
  std::function<std::string(int rank)> rankName;
  // The online runner: starts body on its worker (a handle, or null while another runs),
  // tells whether it finished and releases it (GUI thread).
  // With pleaseWait the overlay holds other input off until it ends.
  std::function<std::shared_ptr<void>(std::function<void()> body, const std::string& name, bool pleaseWait)>
      startWorker;
  std::function<bool(const std::shared_ptr<void>& handle)> workerDone;
  std::function<void(const std::shared_ptr<void>& handle)> releaseWorker;
  std::function<bool()> runnerBusy;
  // GUI thread: a new window drawing a player's regiment badge as a details reply's
  // profile describes it (its layers, or the badge picture the details fetched). Unset:
  // the profile shows no badge.
  std::function<GUI_WindowBase*(const std::string& player,
                                const std::vector<std::pair<std::string, std::string>>& profile)>
      makeBadge;
};
ChallengeServerHooks& GetChallengeServerHooks();

// Compares two challenges by a table column (0..9): texts byte-wise, the date by year,
// month and day, counts and ratings as numbers. Less-than.
bool ChallengeColumnLess(int column, const SIM_ChallengeInfo& a, const SIM_ChallengeInfo& b);
// The cell text of a column as the table shows it.
std::string ChallengeCellText(int column, const SIM_ChallengeInfo& info);
// How much of star i (0..4) a rating fills, 0..1.
float StarFill(float rating, int star);

// Five stars showing a rating; drawn by the browser in two batches (empty parts, then
// full parts) through the list of all instances.
class GUI_BB_RatingStars : public GUI_WindowBase {
 public:
  GUI_BB_RatingStars();
  ~GUI_BB_RatingStars() override;
  void Draw() override {}
  // Places the stars for the value in the rectangle.
  void Set(float value, float l, float t, float r, float b);
  static void DrawAll(CLoadedTexture* emptyStar, CLoadedTexture* fullStar);
  static const std::vector<GUI_BB_RatingStars*>& All();

  struct Part {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
    float u0 = 0.0f, u1 = 1.0f;
    bool shown = false;
  };
  Part full[5];
  Part empty[5];
};

class GUI_BB_ColumnSortButton : public GUI_ButtonBase {
 public:
  GUI_BB_ColumnSortButton(int column, const std::string& key);
  void Draw() override;
  void Click() override;

  static constexpr float kSmallestHeading = 11.0f;
  int column = 0;
  bool highlighted = false;
  std::string heading;
  std::string shownText;  // the heading as last drawn (cut only when even the smallest size is too wide)
};

class GUI_BB_ChallengeFilters : public GUI_WindowBase {
 public:
  static constexpr int kCount = 5;
  enum { kAll = 0, kPosted = 1, kPersonal = 2, kDownloaded = 3, kFriends = 4 };
  GUI_BB_ChallengeFilters();
  void Draw() override;
  void Layout();
  static int OnFilter(int index);

  GUI_CheckButton* checks[kCount] = {};
  bool flags[kCount] = {};
};

class GUI_BB_ChallengeStrip : public GUI_WindowBase {
 public:
  explicit GUI_BB_ChallengeStrip(SIM_ChallengeInfo* info);
  ~GUI_BB_ChallengeStrip() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  void Layout(const float* columnWidths);

  SIM_ChallengeInfo* info = nullptr;  // not owned
  std::string cells[10];
  GUI_Rect cellRects[10];
  std::unique_ptr<GUI_Tooltip> tooltips[10];  // recipient, description, poster, ratings
  bool friendPoster = false;
  bool hovered = false;  // the mouse was over the row when it was processed this frame
  CTexturedSprite friendIcon;
  GUI_BB_RatingStars* stars[2] = {nullptr, nullptr};
  GUI_ButtonBase* icons[3] = {nullptr, nullptr, nullptr};  // downloaded, custom, beaten (owned by the list)
};

class GUI_BB_OnlineBrowser : public GUI_WindowBase {
 public:
  static constexpr int kColumns = 10;
  static constexpr int kNoSort = 10;
  GUI_BB_OnlineBrowser();
  ~GUI_BB_OnlineBrowser() override;
  void Draw() override;
  // The rows are the table's own, not child windows: clicks and hover reach them here.
  bool LeftClick(float x, float y) override;
  void Process() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // After the rectangle is set: the table's pieces, the local list, then the refresh.
  void Layout();
  void RebuildRows();
  // Orders the shown rows by the sort column and direction, if a heading was clicked.
  void SortShown();
  void LayoutRows();
  void SortByColumn(int column);
  // Starts the worker that refreshes friends and the list; false while the runner is busy.
  // The refresh as the tab opens runs behind the local list, without the overlay.
  bool StartRefresh(bool pleaseWait = true);
  static int OnRefresh(int);
  // The worker reads the list file, merges the server's reply into a list of its own and
  // writes the file; the GUI only swaps that list in.
  struct RefreshResult {
    bool ok = false;
    std::vector<std::unique_ptr<SIM_ChallengeInfo>> list;
    bool asked = false;  // by the player's Refresh: a failure is told in a message box
  };
  // GUI thread: takes the list the worker built and shows the rows again.
  void ApplyRefresh(RefreshResult& fetched);

  float columnWidths[kColumns] = {};
  GUI_BB_ColumnSortButton* headings[kColumns] = {};
  int sortColumn = kNoSort;
  bool reverse = false;
  std::vector<std::unique_ptr<GUI_BB_ChallengeStrip>> strips;
  std::vector<SIM_ChallengeInfo*> shown;  // filtered and sorted, not owned
  GUI_ScrollingWindow* scroll = nullptr;
  GUI_BB_ChallengeFilters* filters = nullptr;
  GUI_ButtonText* refreshButton = nullptr;
  CLoadedTexture* starEmpty = nullptr;
  CLoadedTexture* starFull = nullptr;
  GUI_BB_ChallengeStrip* selected = nullptr;
  // Set by the refresh worker; shared so a worker outliving the tab writes nowhere.
  std::shared_ptr<std::atomic<bool>> refreshDone = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<void> worker;
  std::shared_ptr<RefreshResult> refreshResult;
  bool reload = false;
  // The list is still to be read and the runner was busy: Draw starts the worker.
  bool refreshPending = false;
  // The last refresh could not reach the server: the rows are the ones held here.
  bool offline = false;
};
GUI_BB_OnlineBrowser* GetOnlineBrowser();

// ------------------------------------------------------------------ details

struct ChallengeComment {
  std::string commenter;
  std::string text;
};
struct ChallengeDetailsReply {
  std::vector<ChallengeComment> comments;
  std::vector<std::pair<std::string, std::string>> profile;  // key, value in file order
};
// Reads the details reply: "[comments]" lines "name,\"text\"" (the quotes group commas
// and are dropped) and "[profile]" lines "key = value". Unknown sections are skipped.
ChallengeDetailsReply ParseChallengeDetails(const std::string& text);

class GUI_BB_ChallengeComment : public GUI_WindowBase {
 public:
  GUI_BB_ChallengeComment(const ChallengeComment& comment, bool isFriend);
  void Draw() override;
  // The row's height for its width: the wrapped text plus room for the name.
  float HeightFor(float width) const;

  std::string text;
  std::string commenter;
  bool friendIcon = false;
};

class GUI_BB_ChallengeComments : public GUI_WindowBase {
 public:
  GUI_BB_ChallengeComments();
  ~GUI_BB_ChallengeComments() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  void SetComments(const std::vector<ChallengeComment>& comments);
  void LayoutRows();
  // Shown instead of the comments when there are none to show: by default that there are
  // none, after a failed request that the server could not be reached.
  std::string emptyKey = "BB_DETAILS_NO_COMMENTS";

  GUI_ScrollingWindow* scroll = nullptr;
  std::vector<std::unique_ptr<GUI_BB_ChallengeComment>> rows;
};

class GUI_BB_PosterProfile : public GUI_WindowBase {
 public:
  static constexpr float kBadgeSide = 200.0f;
  void Draw() override;
  // Takes the details reply's profile: the texts, and the badge in the right-hand corner.
  void SetValues(const std::vector<std::pair<std::string, std::string>>& profile);
  // A profile value as shown: the rank by its name when one is known, experience with
  // thousands separators, others as sent.
  static std::string ValueText(const std::string& key, const std::string& value);
  std::vector<std::pair<std::string, std::string>> values;
  std::string poster;
  std::string status;               // a line under the poster's name, e.g. that the server was not reached
  GUI_WindowBase* badge = nullptr;  // child, once the profile arrived
};

class GUI_ScenarioData;

class GUI_BB_ChallengeDetails : public GUI_Dialog {
 public:
  explicit GUI_BB_ChallengeDetails(SIM_ChallengeInfo* info);
  ~GUI_BB_ChallengeDetails() override;
  void Draw() override;

  // Makes sure the challenge's files are here (downloading and installing its package
  // when needed) and loads its scenario; null with a message when it cannot.
  SIM_Scenario* PrepareChallenge();
  // Asks for the poster and the comments unless the runner is busy (then the next Draw
  // tries again).
  void StartDetails();
  static int OnAttack(int);
  static int OnDefend(int);
  static int StartAs(bool defend);
  static int OnDelete(int);

  SIM_ChallengeInfo info;  // a copy: a refresh may replace the list's records
  GUI_BB_PosterProfile* profile = nullptr;
  GUI_ScenarioData* data = nullptr;
  GUI_BB_ChallengeComments* comments = nullptr;
  GUI_Rect descriptionRect;  // the poster's text, between the profile and the comments
  GUI_ButtonText* attackButton = nullptr;
  GUI_ButtonText* defendButton = nullptr;
  GUI_ButtonText* deleteButton = nullptr;
  SIM_Scenario* scenario = nullptr;
  std::shared_ptr<void> worker;
  bool deleting = false;
  bool detailsAsked = false;
  struct Result {
    std::atomic<bool> done{false};
    bool ok = false;
    ChallengeDetailsReply details;
  };
  std::shared_ptr<Result> result;
};
GUI_BB_ChallengeDetails* GetChallengeDetails();
GUI_BB_ChallengeDetails* OpenChallengeDetails(SIM_ChallengeInfo* info);

// The challenge's folder under the web folder.
std::string ChallengeFolder(const std::string& ztkid);
// Downloads the package to a temporary file beside the folder (through download) and
// installs it; false with the reason in *error. An installed challenge is kept as is.
bool FetchAndInstallChallenge(const std::string& ztkid,
                              const std::function<bool(const std::string&, const std::string&)>& download,
                              std::string* error);
