#include "engine/SettingsFile.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "engine/BufferedFile.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Tokenizer.h"

namespace {

constexpr size_t kMaxLine = 2047;
constexpr size_t kMaxKey = 255;
constexpr size_t kMaxValue = 2047;
constexpr size_t kMaxHeader = 255;
constexpr size_t kMaxSectionLine = 32000;

// White space as the C locale classifies it; bytes above 127 are never white space.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

void TrimRight(std::string& s) {
  while (!s.empty() && IsSpace(s.back())) s.pop_back();
}

// Splits one line of a section into its entry; false when the line is no entry.
bool ParseEntry(const std::string& line, std::string& key, std::string& value) {
  size_t start = 0;
  while (start < line.size() && IsSpace(line[start])) ++start;
  const size_t eq = line.find('=', start);
  if (eq == std::string::npos) {
    key = line.substr(start);  // a bare key keeps its trailing white space
    value.clear();
  } else {
    key = line.substr(start, eq - start);
    TrimRight(key);
    size_t v = eq + 1;
    while (v < line.size() && IsSpace(line[v])) ++v;
    value = line.substr(v);
    TrimRight(value);
  }
  if (key.size() > kMaxKey) key.resize(kMaxKey);
  if (value.size() > kMaxValue) value.resize(kMaxValue);
  if (key.empty() || key[0] == '/') return false;
  if (!value.empty() && value[0] == '"') {
    const std::string rest = value.substr(1);
    const size_t close = rest.rfind('"');
    value = close == std::string::npos ? rest : rest.substr(0, close);
  }
  return true;
}

// The lines of a text as GBufferedFile::ReadLine gives them: a leading byte-order mark
// (some Windows editors write one) skipped, each line without its line feed.
class TextLines {
 public:
  TextLines(const char* data, size_t size) : data_(data), size_(size) {
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }
  // The next line; 'ended' says whether a line feed ended it. False after the last line.
  bool Next(const char** start, size_t* len, bool* ended) {
    if (pos_ >= size_) return false;
    *start = data_ + pos_;
    const char* nl = static_cast<const char*>(std::memchr(*start, '\n', size_ - pos_));
    *len = nl ? static_cast<size_t>(nl - *start) : size_ - pos_;
    *ended = nl != nullptr;
    pos_ += *len + (nl ? 1 : 0);
    return true;
  }

 private:
  const char* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

SettingsFile::SettingsFile() = default;
SettingsFile::~SettingsFile() = default;

bool SettingsFile::Load(const std::string& section, const std::string& file) {
  return LoadSection(file, section);
}

bool SettingsFile::LoadSection(const std::string& file, const std::string& section) {
  Clear();
  file_ = file;
  section_ = section;
  GBufferedFile buffer;
  if (!buffer.Open(file)) return false;
  ParseText(buffer.Data() ? buffer.Data() : "", static_cast<size_t>(buffer.Size()));
  return !entries_.empty();
}

bool SettingsFile::LoadSectionFromText(const std::string& text, const std::string& section) {
  Clear();
  section_ = section;
  ParseText(text.data(), text.size());
  return !entries_.empty();
}

void SettingsFile::ParseText(const char* data, size_t size) {
  std::string header = "[" + section_ + "]";
  if (header.size() > kMaxHeader) header.resize(kMaxHeader);
  bool inSection = false;
  TextLines lines(data, size);
  std::string line, key, value;
  const char* start = nullptr;
  size_t len = 0;
  bool ended = false;
  while (lines.Next(&start, &len, &ended)) {
    // A line ends at "\r\n" or a lone "\n"; a lone "\r" stays in the line.
    if (ended && len > 0 && start[len - 1] == '\r') --len;
    line.assign(start, len > kMaxLine ? kMaxLine : len);

    if (!line.empty() && line[0] == '[') {
      TrimRight(line);
      // A header of our section (again) enters it; any other header leaves it.
      inSection = (line == header);
      sectionFound_ = sectionFound_ || inSection;
      continue;
    }
    if (!inSection) continue;
    if (ParseEntry(line, key, value)) entries_.emplace_back(key, value);
  }
}

std::string SettingsFile::GetString(const std::string& key) const {
  for (const Entry& e : entries_)
    if (e.first == key) return e.second;
  return std::string();
}

float SettingsFile::GetFloat(const std::string& key, float defaultValue) const {
  for (const Entry& e : entries_) {
    if (e.first != key) continue;
    if (e.second.empty()) return defaultValue;
    return static_cast<float>(ParseDouble(e.second.substr(0, 63)));
  }
  return defaultValue;
}

int SettingsFile::GetInt(const std::string& key, int defaultValue) const {
  for (const Entry& e : entries_) {
    if (e.first != key) continue;
    if (e.second.empty()) return defaultValue;
    return ParseInt(e.second.substr(0, 63));
  }
  return defaultValue;
}

bool SettingsFile::HasKey(const std::string& key) const {
  for (const Entry& e : entries_)
    if (e.first == key) return true;
  return false;
}

void SettingsFile::SetValue(const std::string& key, const std::string& value) {
  entries_.emplace_back(key, value);
}
void SettingsFile::AddValue(const std::string& key, const std::string& value) {
  entries_.emplace_back(key, value);
}

void SettingsFile::Set(const std::string& key, const std::string& value) {
  RemoveKey(key);
  entries_.emplace_back(key, value);
}

void SettingsFile::SetInt(const std::string& key, int value) { Set(key, std::to_string(value)); }

void SettingsFile::RemoveKey(const std::string& key) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].first == key) {
      entries_.erase(entries_.begin() + static_cast<long>(i));
      if (cursor_ > i) --cursor_;
      return;
    }
  }
}

bool SettingsFile::GetEntry(char* key, size_t keySize, char* value, size_t valueSize) {
  std::string k, v;
  const bool ok = GetEntry(k, v);
  if (key && keySize) std::snprintf(key, keySize, "%s", k.c_str());
  if (value && valueSize) std::snprintf(value, valueSize, "%s", v.c_str());
  return ok;
}

bool SettingsFile::GetEntry(std::string& key, std::string& value) {
  if (cursor_ >= entries_.size()) {
    key.clear();
    value.clear();
    return false;
  }
  key = entries_[cursor_].first;
  value = entries_[cursor_].second;
  ++cursor_;
  return true;
}

void SettingsFile::WriteTo(std::string& out) const {
  out += "[" + section_ + "]\n";
  for (const Entry& e : entries_) {
    out += e.first;
    if (!e.second.empty()) {
      out += " = ";
      out += e.second;
    }
    out += "\n";
  }
  out += "\n";
}

void SettingsFile::Write(FILE* file) const {
  if (!file) return;
  std::string text;
  WriteTo(text);
  std::fwrite(text.data(), 1, text.size(), file);
}

bool SettingsFile::Save(const std::string& path) const {
  std::string text;
  WriteTo(text);
  return WriteFileAtomic(path, text);
}

void SettingsFile::Clear() {
  entries_.clear();
  cursor_ = 0;
  sectionFound_ = false;
}

namespace {
// The section names of the text, as ListIniSections reads them.
// Lines as GBufferedFile::ReadLine gives them: a leading byte-order mark skipped, each
// line without its line feed and one carriage return.
void ListSectionsOf(const char* data, size_t size, std::vector<std::string>& sections) {
  TextLines lines(data, size);
  std::string line;
  const char* start = nullptr;
  size_t len = 0;
  bool ended = false;
  while (lines.Next(&start, &len, &ended)) {
    // Only the line's head matters: a header is at most kMaxSectionLine long.
    line.assign(start, len > kMaxSectionLine + 1 ? kMaxSectionLine + 1 : len);
    if (len <= kMaxSectionLine + 1 && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxSectionLine) line.resize(kMaxSectionLine);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
      line.pop_back();
    if (line.empty() || line[0] != '[') continue;
    std::string name = line.substr(1);
    if (!name.empty() && name.back() == ']') name.pop_back();
    sections.push_back(name);
  }
}
}  // namespace

void ListIniSections(std::vector<std::string>& sections, const std::string& file) {
  GBufferedFile buffer;
  if (!buffer.Open(file)) return;
  ListSectionsOf(buffer.Data() ? buffer.Data() : "", static_cast<size_t>(buffer.Size()), sections);
}

void SettingsFile::ParseAllSections(const char* data, size_t size, std::vector<SettingsFile>& out) {
  // Pass 1: the entries under every header line, keyed by the trimmed header line as
  // ParseText compares it.
  std::unordered_map<std::string, std::vector<Entry>> byHeader;
  std::vector<Entry>* current = nullptr;
  TextLines lines(data, size);
  std::string line, key, value;
  const char* start = nullptr;
  size_t len = 0;
  bool ended = false;
  while (lines.Next(&start, &len, &ended)) {
    if (ended && len > 0 && start[len - 1] == '\r') --len;
    line.assign(start, len > kMaxLine ? kMaxLine : len);
    if (!line.empty() && line[0] == '[') {
      TrimRight(line);
      current = &byHeader[line];
      continue;
    }
    if (current && ParseEntry(line, key, value)) current->emplace_back(key, value);
  }
  // Pass 2: the section names as listed, each once, with what its header gathered.
  std::vector<std::string> names;
  ListSectionsOf(data, size, names);
  std::unordered_set<std::string> seen;
  for (const std::string& name : names) {
    if (!seen.insert(name).second) continue;
    SettingsFile section;
    section.section_ = name;
    std::string header = "[" + name + "]";
    if (header.size() > kMaxHeader) header.resize(kMaxHeader);
    auto found = byHeader.find(header);
    if (found != byHeader.end()) {
      section.sectionFound_ = true;
      section.entries_ = found->second;
    }
    out.push_back(std::move(section));
  }
}

std::vector<SettingsFile> ParseAllIniSections(const std::string& text) {
  std::vector<SettingsFile> sections;
  SettingsFile::ParseAllSections(text.data(), text.size(), sections);
  return sections;
}

bool LoadAllIniSections(const std::string& file, std::vector<SettingsFile>& sections) {
  GBufferedFile buffer;
  if (!buffer.Open(file)) return false;
  const size_t first = sections.size();
  SettingsFile::ParseAllSections(buffer.Data() ? buffer.Data() : "", static_cast<size_t>(buffer.Size()),
                                 sections);
  for (size_t i = first; i < sections.size(); ++i) sections[i].file_ = file;
  return true;
}
