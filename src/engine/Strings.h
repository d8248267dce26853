#pragma once
// The translated-strings table. No visible text is written in code: labels,
// titles, messages and tooltips are keys looked up in "data/strings.ini",
// section "strings". A missing key shows as itself so gaps are visible on screen.
//
// File format (one entry per line, appended entries go at the end of the file):
//   KEY=Text shown to the player
// Keys lose every white-space character. In texts a backslash makes the next
// character literal; an unescaped double quote or "=" is dropped. The first entry
// of a key wins and keys are case-sensitive. A tooltip is the key plus "_TT".
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class GHashTable {
 public:
  static constexpr int kBucketCount = 54;
  // Longest key and text kept from a line; longer ones are cut (and logged).
  static constexpr std::size_t kMaxKeyLength = 255;
  static constexpr std::size_t kMaxValueLength = 2047;

  GHashTable();
  virtual ~GHashTable();
  GHashTable(const GHashTable&) = delete;
  GHashTable& operator=(const GHashTable&) = delete;

  // Appends an entry to its bucket; an earlier entry with the same key keeps winning.
  void Add(std::string_view value, std::string_view key);
  // The value of the first entry with exactly this key, or the empty text.
  const std::string& Lookup(std::string_view key) const;
  // Empties every bucket.
  void Clear();
  // Clears the table and reads every entry of the named section of the file
  // (the whole section, whatever its size). False when the file cannot be read.
  bool Load(const std::string& fileName, const std::string& sectionName);
  // Parses one "key=value" line by the table's rules and adds it; false when the
  // line has no "=" or an empty key.
  bool AddLine(std::string_view line);

  bool IsLoaded() const { return loaded_; }
  void SetLoaded(bool loaded) { loaded_ = loaded; }
  std::size_t Count() const;
  const std::string& SectionName() const { return sectionName_; }
  const std::string& FileName() const { return fileName_; }

  // L(first character) + L(last character), a..z -> 0..25 (any case), others 26.
  static int BucketIndex(std::string_view key);

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  std::vector<Entry> buckets_[kBucketCount];
  std::string sectionName_ = "strings";
  std::string fileName_ = "data/strings.ini";
  bool loaded_ = false;
};

// The one strings table of the game (built on first use, empty and unloaded).
GHashTable& GetStringsTable();

// The text to show for a key: "" for an empty key; the key itself when the table
// has no entry or an empty value. Loads the table on first use. The reference
// stays valid until the table is reloaded or released.
const std::string& GetTranslation(std::string_view key);
// The same for a C string; a null pointer counts as the empty key.
const std::string& GetTranslation(const char* key);
// The tooltip key of a label key (key + "_TT").
std::string TooltipKey(std::string_view key);
// True when the table has a non-empty text for the key.
bool HasTranslation(std::string_view key);

// Clears and reloads the table from "data/strings.ini", section "strings".
void LoadStringsTable();

// A random text of a numbered section of "data/strings.ini" (keys "0".."n-1").
// "" and a warning in the debug log when the section has no entries. The text is
// valid until the next call.
const std::string& RandomTranslation(const std::string& sectionName);

// At shutdown: drops the cached random-text sections and clears the table.
void ReleaseStringsSections();
