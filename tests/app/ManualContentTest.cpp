// The main menu's Manual button opens "ZTK Manual.pdf" from the working folder (the
// folder holding data/): the build must have typeset a complete document there.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/TestSupport.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int CountPages(const std::string& pdf) {
  // Page objects are "/Type /Page"; the page tree is "/Type /Pages".
  int pages = 0;
  const std::string key = "/Type /Page";
  for (size_t at = pdf.find(key); at != std::string::npos; at = pdf.find(key, at + 1)) {
    if (pdf.compare(at + key.size(), 1, "s") != 0) ++pages;
  }
  return pages;
}

TEST(ManualContent, TheManualIsACompletePdfBesideTheData) {
  // The tests run in the build folder, as the game does.
  const std::string pdf = ReadAll("ZTK Manual.pdf");
  ASSERT_FALSE(pdf.empty()) << "ZTK Manual.pdf is missing from " << zt_test::BuildDir();
  EXPECT_EQ(pdf.compare(0, 5, "%PDF-"), 0) << "not a PDF file";
  // A writer that stopped half-way leaves no end-of-file marker.
  EXPECT_NE(pdf.find("%%EOF", pdf.size() > 1024 ? pdf.size() - 1024 : 0), std::string::npos);
  // Cover, contents and the chapters: an empty or cut-down manual is a build fault.
  EXPECT_GE(CountPages(pdf), 8);
}

}  // namespace
