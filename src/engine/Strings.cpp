#include "engine/Strings.h"

#include <map>
#include <memory>
#include <set>

#include "engine/BufferedFile.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"

namespace {

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

int LetterIndex(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= 'A' && c <= 'Z') return c - 'A';
  return 26;
}

// The white space the key rule drops (bytes of the single-byte character set).
bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool SameSectionName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Keys missing from the table are shown as themselves; they are kept here so the
// returned reference outlives the caller's argument.
std::set<std::string, std::less<>>& MissingKeys() {
  static std::set<std::string, std::less<>> keys;
  return keys;
}

struct RandomSections {
  std::map<std::string, std::unique_ptr<SettingsFile>> sections;
  std::string buffer;  // the text RandomTranslation returns
};

RandomSections& GetRandomSections() { return ProcessWide<RandomSections>(); }

std::unique_ptr<GHashTable>& TablePtr() {
  static std::unique_ptr<GHashTable> p;
  return p;
}

}  // namespace

GHashTable::GHashTable() = default;

GHashTable::~GHashTable() { Clear(); }

int GHashTable::BucketIndex(std::string_view key) {
  if (key.empty()) return 0;
  return LetterIndex(static_cast<unsigned char>(key.front())) +
         LetterIndex(static_cast<unsigned char>(key.back()));
}

void GHashTable::Add(std::string_view value, std::string_view key) {
  buckets_[BucketIndex(key)].push_back(Entry{std::string(key), std::string(value)});
}

const std::string& GHashTable::Lookup(std::string_view key) const {
  for (const Entry& e : buckets_[BucketIndex(key)]) {
    if (e.key == key) return e.value;
  }
  return EmptyText();
}

void GHashTable::Clear() {
  for (auto& bucket : buckets_) {
    bucket.clear();
    bucket.shrink_to_fit();
  }
}

std::size_t GHashTable::Count() const {
  std::size_t n = 0;
  for (const auto& bucket : buckets_) n += bucket.size();
  return n;
}

bool GHashTable::AddLine(std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;

  std::string key;
  for (size_t i = 0; i < eq; ++i) {
    const char c = line[i];
    if (!IsSpace(static_cast<unsigned char>(c))) key.push_back(c);
  }
  if (key.empty()) return false;
  if (key.size() > kMaxKeyLength) {
    DebugLogF("WARNING - strings key cut to %zu characters: %.40s...", kMaxKeyLength, key.c_str());
    key.resize(kMaxKeyLength);
  }

  // A backslash makes the next character literal; a bare quote, "=" or line feed
  // is markup and dropped.
  std::string value;
  bool cut = false;
  for (size_t i = eq + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\') {
      if (++i >= line.size()) break;
      c = line[i];
    } else if (c == '"' || c == '=' || c == '\n') {
      continue;
    }
    if (value.size() >= kMaxValueLength) {
      cut = true;
      break;
    }
    value.push_back(c);
  }
  if (cut) DebugLogF("WARNING - strings text of %s cut to %zu characters", key.c_str(), kMaxValueLength);
  Add(value, key);
  return true;
}

bool GHashTable::Load(const std::string& fileName, const std::string& sectionName) {
  Clear();
  fileName_ = fileName;
  sectionName_ = sectionName;

  GBufferedFile file;
  if (!file.Open(fileName)) {
    DebugLogF("WARNING - strings file not found: %s", fileName.c_str());
    return false;
  }
  const char* data = file.Data();
  const size_t size = data ? static_cast<size_t>(file.Size()) : 0;
  std::string_view text(data ? data : "", size);

  // Every section of this name counts, in file order, so entries appended after a
  // repeated header still load; the first entry of a key wins.
  bool inSection = false;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      const std::string_view name =
          close == std::string_view::npos ? trimmed.substr(1) : trimmed.substr(1, close - 1);
      inSection = SameSectionName(Trim(name), sectionName);
      continue;
    }
    if (!inSection) continue;
    if (!AddLine(line)) {
      DebugLogF("WARNING - %s line %d is not key=text, skipped", fileName.c_str(), lineNumber);
    }
  }
  return true;
}

GHashTable& GetStringsTable() {
  static bool registered = (RegisterSingletonReset([] {
                              TablePtr().reset();
                              MissingKeys().clear();
                            }),
                            true);
  (void)registered;
  auto& p = TablePtr();
  if (!p) p = std::make_unique<GHashTable>();
  return *p;
}

void LoadStringsTable() {
  GHashTable& table = GetStringsTable();
  table.SetLoaded(true);
  table.Load("data/strings.ini", "strings");
  MissingKeys().clear();
}

const std::string& GetTranslation(std::string_view key) {
  if (key.empty()) return EmptyText();
  GHashTable& table = GetStringsTable();
  if (!table.IsLoaded()) LoadStringsTable();
  const std::string& value = table.Lookup(key);
  if (!value.empty()) return value;
  auto& missing = MissingKeys();
  auto it = missing.find(key);
  if (it == missing.end()) it = missing.emplace(key).first;
  return *it;
}

const std::string& GetTranslation(const char* key) {
  return GetTranslation(key ? std::string_view(key) : std::string_view());
}

std::string TooltipKey(std::string_view key) {
  std::string tt(key);
  tt += "_TT";
  return tt;
}

bool HasTranslation(std::string_view key) {
  if (key.empty()) return false;
  GHashTable& table = GetStringsTable();
  if (!table.IsLoaded()) LoadStringsTable();
  return !table.Lookup(key).empty();
}

const std::string& RandomTranslation(const std::string& sectionName) {
  RandomSections& cache = GetRandomSections();
  auto it = cache.sections.find(sectionName);
  if (it == cache.sections.end()) {
    auto section = std::make_unique<SettingsFile>();
    section->LoadSection("data/strings.ini", sectionName);
    it = cache.sections.emplace(sectionName, std::move(section)).first;
  }
  const SettingsFile& section = *it->second;
  const int n = static_cast<int>(section.Count());
  if (n <= 0) {
    DebugLog("WARNING - No random translation keys found");
    cache.buffer.clear();
    return cache.buffer;
  }
  const std::string key = std::to_string(EngineRand() % n);
  cache.buffer = section.GetString(key);
  return cache.buffer;
}

void ReleaseStringsSections() {
  ClearTextureAliases();
  if (RandomSections* cache = ProcessWideIfAlive<RandomSections>()) cache->sections.clear();
  if (TablePtr()) {
    TablePtr()->Clear();
    TablePtr()->SetLoaded(false);
  }
  MissingKeys().clear();
}
