#pragma once
// One named section of an ini-style file as an ordered list of key = value entries.
// Grammar: "[name]" enters a section (a later header of the same name appends);
// "key = value" (white space trimmed, further "=" belong to the value); a line without
// "=" is a bare key with an empty value; keys starting with "/" are comments; a value
// starting with a double quote runs to the last double quote. CRLF and LF both end lines.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class SettingsFile {
 public:
  using Entry = std::pair<std::string, std::string>;

  SettingsFile();
  virtual ~SettingsFile();

  // Clear, then read the section; true when at least one entry was read.
  // The file and section names are stored either way.
  bool Load(const std::string& section, const std::string& file);
  bool LoadSection(const std::string& file, const std::string& section);
  // The same grammar over text already in memory (downloaded replies, tests).
  bool LoadSectionFromText(const std::string& text, const std::string& section);

  // First entry with exactly this key; empty when none.
  std::string GetString(const std::string& key) const;
  // Default when missing or empty, else the number (first 63 characters, "C" locale;
  // text that is not a number reads 0).
  float GetFloat(const std::string& key, float defaultValue) const;
  // Default when missing or empty, else the integer (as atoi, "C" locale, clamped).
  int GetInt(const std::string& key, int defaultValue = 0) const;
  bool HasKey(const std::string& key) const;

  // Append a new entry; an earlier entry with the same key keeps answering lookups.
  void SetValue(const std::string& key, const std::string& value);
  void AddValue(const std::string& key, const std::string& value);
  // Remove the first entry with the key, then append: a changed key moves to the end.
  void Set(const std::string& key, const std::string& value);
  void SetInt(const std::string& key, int value);
  void RemoveKey(const std::string& key);

  // Copies the entry at the cursor into bounded buffers and advances; false (both
  // buffers empty) past the last entry.
  bool GetEntry(char* key, size_t keySize, char* value, size_t valueSize);
  bool GetEntry(std::string& key, std::string& value);
  void RewindEntries() { cursor_ = 0; }

  // "[section]\n", then "key = value\n" (or "key\n" for an empty value), then "\n".
  void Write(FILE* file) const;
  void WriteTo(std::string& out) const;
  // Writes the section alone to a temporary file and renames it over the path, so an
  // interrupted save leaves the old file intact. Failure is logged and returned.
  bool Save(const std::string& path) const;
  void Clear();

  const std::vector<Entry>& Entries() const { return entries_; }
  size_t Count() const { return entries_.size(); }
  // Whether the last load met the section's header (an empty section still counts).
  bool SectionFound() const { return sectionFound_; }
  const std::string& SectionName() const { return section_; }
  const std::string& FileName() const { return file_; }
  void SetSectionName(const std::string& section) { section_ = section; }

 private:
  friend std::vector<SettingsFile> ParseAllIniSections(const std::string& text);
  friend bool LoadAllIniSections(const std::string& file, std::vector<SettingsFile>& sections);
  static void ParseAllSections(const char* data, size_t size, std::vector<SettingsFile>& out);
  void ParseText(const char* data, size_t size);

  size_t cursor_ = 0;
  bool sectionFound_ = false;
  std::vector<Entry> entries_;
  std::string section_;
  std::string file_;
};

// Appends the name of every "[name]" line of the file, in file order. Missing file: nothing.
void ListIniSections(std::vector<std::string>& sections, const std::string& file);

// Every section of the text in one pass: one SettingsFile per distinct name that
// ListIniSections would give, in first-seen order, each holding exactly what
// LoadSection of that name would (repeated headers merged). Files with tens of
// thousands of sections load in linear time this way.
std::vector<SettingsFile> ParseAllIniSections(const std::string& text);
// The same over a file; false (nothing added) when it cannot be read.
bool LoadAllIniSections(const std::string& file, std::vector<SettingsFile>& sections);
