// Typesets the player's manual from plain text into a PDF (cairo's PDF surface, DejaVu
// fonts through FreeType).
//
//   zt_manual <out.pdf> <serif.ttf> <serif-bold.ttf> <sans.ttf> <sans-bold.ttf> <text files...>
//
// The text files are read in the order given and form one document. Markup, one rule a line:
//   %title T / %subtitle T / %note T   the cover page's lines (title, subtitle, small print)
//   # Heading                           a chapter: starts a new page, listed in the contents
//   ## Heading                          a section inside a chapter, listed in the contents
//   - text                              a bullet; following lines indented by spaces continue it
//   term :: text                        a two-column row (term in bold); indented lines continue it
//   // anything                         a comment for the writers
//   a blank line                        ends a paragraph; other lines are running text
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A4 in points.
constexpr double kPageW = 595.0;
constexpr double kPageH = 842.0;
constexpr double kMarginX = 66.0;
constexpr double kTop = 78.0;
constexpr double kBottom = kPageH - 70.0;
constexpr double kTextW = kPageW - 2 * kMarginX;

constexpr double kBodySize = 10.5;
constexpr double kBodyLead = 15.5;
constexpr double kTermColumn = 132.0;  // width of a row's term column
constexpr double kBulletIndent = 16.0;

enum FontId { kSerif = 0, kSerifBold, kSans, kSansBold, kFontCount };

struct Rgb {
  double r, g, b;
};
constexpr Rgb kInk{0.13, 0.13, 0.12};
constexpr Rgb kOlive{0.24, 0.30, 0.16};
constexpr Rgb kGrey{0.45, 0.45, 0.42};
constexpr Rgb kSand{0.85, 0.78, 0.58};

// One piece of text or a rule placed on a body page (page index relative to the body).
struct Op {
  int page = 0;
  FontId font = kSerif;
  double size = kBodySize;
  double x = 0, y = 0;
  Rgb colour = kInk;
  std::string text;  // empty: a horizontal rule from x to x2
  double x2 = 0;
};

struct TocEntry {
  int level = 1;  // 1 chapter, 2 section
  std::string title;
  int page = 0;  // relative body page
};

enum class BlockKind { kChapter, kSection, kParagraph, kBullet, kRow };

struct Block {
  BlockKind kind;
  std::string text;
  std::string term;  // rows only
};

struct Cover {
  std::string title, subtitle;
  std::vector<std::string> notes;
};

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return std::string();
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool ReadDocument(const std::vector<std::string>& files, std::vector<Block>* blocks, Cover* cover) {
  for (const std::string& file : files) {
    std::ifstream in(file);
    if (!in) {
      std::fprintf(stderr, "zt_manual: cannot read %s\n", file.c_str());
      return false;
    }
    Block* open = nullptr;  // the block that further text lines continue
    std::string raw;
    while (std::getline(in, raw)) {
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      const std::string line = Trim(raw);
      const bool indented = !raw.empty() && (raw[0] == ' ' || raw[0] == '\t');
      if (line.empty()) {
        open = nullptr;
        continue;
      }
      if (StartsWith(line, "//")) continue;
      if (StartsWith(line, "%title ")) {
        cover->title = Trim(line.substr(7));
      } else if (StartsWith(line, "%subtitle ")) {
        cover->subtitle = Trim(line.substr(10));
      } else if (StartsWith(line, "%note ")) {
        cover->notes.push_back(Trim(line.substr(6)));
      } else if (StartsWith(line, "## ")) {
        blocks->push_back({BlockKind::kSection, Trim(line.substr(3)), ""});
        open = nullptr;
      } else if (StartsWith(line, "# ")) {
        blocks->push_back({BlockKind::kChapter, Trim(line.substr(2)), ""});
        open = nullptr;
      } else if (StartsWith(line, "- ")) {
        blocks->push_back({BlockKind::kBullet, Trim(line.substr(2)), ""});
        open = &blocks->back();
      } else if (open && (indented || open->kind == BlockKind::kParagraph)) {
        open->text += " " + line;
      } else if (line.find(" :: ") != std::string::npos) {
        const size_t at = line.find(" :: ");
        blocks->push_back({BlockKind::kRow, Trim(line.substr(at + 4)), Trim(line.substr(0, at))});
        open = &blocks->back();
      } else {
        blocks->push_back({BlockKind::kParagraph, line, ""});
        open = &blocks->back();
      }
    }
  }
  return true;
}

class Typesetter {
 public:
  Typesetter(cairo_t* cr, cairo_font_face_t* const* faces) : cr_(cr), faces_(faces) {}

  void Lay(const std::vector<Block>& blocks) {
    bool firstChapter = true;
    for (size_t i = 0; i < blocks.size(); ++i) {
      const Block& b = blocks[i];
      switch (b.kind) {
        case BlockKind::kChapter:
          if (!firstChapter || y_ > kTop) NewPage();
          firstChapter = false;
          toc_.push_back({1, b.text, page_});
          Place(kSansBold, 20.0, kMarginX, y_ + 20.0, kOlive, b.text);
          y_ += 30.0;
          Rule(kMarginX, kPageW - kMarginX, y_, kSand);
          y_ += 18.0;
          break;
        case BlockKind::kSection:
          // Keep a heading with at least three lines of what follows it.
          if (y_ + 22.0 + 3 * kBodyLead > kBottom) NewPage();
          if (y_ > kTop + 60.0) y_ += 8.0;
          toc_.push_back({2, b.text, page_});
          Place(kSansBold, 12.5, kMarginX, y_ + 13.0, kOlive, b.text);
          y_ += 22.0;
          break;
        case BlockKind::kParagraph:
          Wrap(b.text, kSerif, kBodySize, kMarginX, kTextW, kInk);
          y_ += 7.0;
          break;
        case BlockKind::kBullet: {
          KeepTogether(Wrap(b.text, kSerif, kBodySize, 0, kTextW - kBulletIndent, kInk, true));
          Place(kSerif, kBodySize, kMarginX + 3.0, y_ + kBodySize, kOlive, "\u2022");
          Wrap(b.text, kSerif, kBodySize, kMarginX + kBulletIndent, kTextW - kBulletIndent, kInk);
          const bool lastInList = i + 1 >= blocks.size() || blocks[i + 1].kind != BlockKind::kBullet;
          y_ += lastInList ? 7.0 : 2.5;
          break;
        }
        case BlockKind::kRow: {
          KeepTogether(
              std::max(Wrap(b.term, kSerifBold, kBodySize - 0.5, 0, kTermColumn - 10.0, kOlive, true),
                       Wrap(b.text, kSerif, kBodySize, 0, kTextW - kTermColumn, kInk, true)));
          const double top = y_;
          const int startPage = page_;
          Wrap(b.term, kSerifBold, kBodySize - 0.5, kMarginX, kTermColumn - 10.0, kOlive);
          const double termEnd = y_;
          const int termPage = page_;
          page_ = startPage;
          y_ = top;
          Wrap(b.text, kSerif, kBodySize, kMarginX + kTermColumn, kTextW - kTermColumn, kInk);
          if (page_ == termPage && termEnd > y_) y_ = termEnd;
          const bool lastInTable = i + 1 >= blocks.size() || blocks[i + 1].kind != BlockKind::kRow;
          y_ += lastInTable ? 7.0 : 4.0;
          break;
        }
      }
    }
  }

  const std::vector<Op>& Ops() const { return ops_; }
  const std::vector<TocEntry>& Toc() const { return toc_; }
  int PageCount() const { return page_ + 1; }

  double Advance(FontId font, double size, const std::string& text) const {
    cairo_set_font_face(cr_, faces_[font]);
    cairo_set_font_size(cr_, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr_, text.c_str(), &e);
    return e.x_advance;
  }

 private:
  void NewPage() {
    ++page_;
    y_ = kTop;
  }

  void Place(FontId font, double size, double x, double baseline, Rgb colour, const std::string& text) {
    Op op;
    op.page = page_;
    op.font = font;
    op.size = size;
    op.x = x;
    op.y = baseline;
    op.colour = colour;
    op.text = text;
    ops_.push_back(op);
  }

  void Rule(double x, double x2, double y, Rgb colour) {
    Op op;
    op.page = page_;
    op.x = x;
    op.x2 = x2;
    op.y = y;
    op.colour = colour;
    ops_.push_back(op);
  }

  // Starts a new page unless `lines` lines of running text fit on this one (a block
  // longer than a page starts where it is).
  void KeepTogether(int lines) {
    const double need = lines * kBodyLead;
    if (y_ + need > kBottom && need <= kBottom - kTop) NewPage();
  }

  // Left-aligned lines of whole words; a word wider than the line gets a line of its own.
  // With `measure` set nothing is placed and only the number of lines is returned.
  int Wrap(const std::string& text, FontId font, double size, double x, double width, Rgb colour,
           bool measure = false) {
    int count = 0;
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
      if (c == ' ') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    if (!word.empty()) words.push_back(word);
    const double space = Advance(font, size, " ");
    std::string line;
    double lineW = 0.0;
    auto flush = [&]() {
      if (line.empty()) return;
      ++count;
      if (measure) {
        line.clear();
        lineW = 0.0;
        return;
      }
      if (y_ + kBodyLead > kBottom) NewPage();
      Place(font, size, x, y_ + size, colour, line);
      y_ += kBodyLead;
      line.clear();
      lineW = 0.0;
    };
    for (const std::string& w : words) {
      const double ww = Advance(font, size, w);
      if (!line.empty() && lineW + space + ww > width) flush();
      if (!line.empty()) {
        line += ' ';
        lineW += space;
      }
      line += w;
      lineW += ww;
    }
    flush();
    return count;
  }

  cairo_t* cr_;
  cairo_font_face_t* const* faces_;
  std::vector<Op> ops_;
  std::vector<TocEntry> toc_;
  int page_ = 0;
  double y_ = kTop;
};

void SetColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void Text(cairo_t* cr, cairo_font_face_t* face, double size, double x, double y, Rgb colour,
          const std::string& text) {
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, size);
  SetColour(cr, colour);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

double Width(cairo_t* cr, cairo_font_face_t* face, double size, const std::string& text) {
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return e.x_advance;
}

void DrawCover(cairo_t* cr, cairo_font_face_t* const* faces, const Cover& cover) {
  // A dark band with the title, sand stripes like a hazard marking, the small print below.
  SetColour(cr, {0.16, 0.19, 0.12});
  cairo_rectangle(cr, 0, 0, kPageW, 430);
  cairo_fill(cr);
  SetColour(cr, kSand);
  for (int i = 0; i < 14; ++i) {
    const double x = i * 48.0 - 40.0;
    cairo_move_to(cr, x, 430);
    cairo_line_to(cr, x + 24, 430);
    cairo_line_to(cr, x + 48, 452);
    cairo_line_to(cr, x + 24, 452);
    cairo_close_path(cr);
  }
  cairo_fill(cr);
  const double titleSize = 64.0;
  const double tw = Width(cr, faces[kSansBold], titleSize, cover.title);
  Text(cr, faces[kSansBold], titleSize, (kPageW - tw) / 2, 300, {0.95, 0.90, 0.72}, cover.title);
  const double sw = Width(cr, faces[kSans], 18.0, cover.subtitle);
  Text(cr, faces[kSans], 18.0, (kPageW - sw) / 2, 340, kSand, cover.subtitle);
  double y = 560;
  for (const std::string& note : cover.notes) {
    const double nw = Width(cr, faces[kSerif], 11.0, note);
    Text(cr, faces[kSerif], 11.0, (kPageW - nw) / 2, y, kGrey, note);
    y += 18.0;
  }
}

// Page furniture of every page after the cover: running head and page number.
void DrawFurniture(cairo_t* cr, cairo_font_face_t* const* faces, const std::string& head, int pageNumber) {
  Text(cr, faces[kSans], 8.5, kMarginX, 44, kGrey, head);
  SetColour(cr, kSand);
  cairo_set_line_width(cr, 0.8);
  cairo_move_to(cr, kMarginX, 52);
  cairo_line_to(cr, kPageW - kMarginX, 52);
  cairo_stroke(cr);
  const std::string number = std::to_string(pageNumber);
  const double nw = Width(cr, faces[kSans], 9.0, number);
  Text(cr, faces[kSans], 9.0, (kPageW - nw) / 2, kPageH - 40, kGrey, number);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr,
                 "usage: zt_manual out.pdf serif.ttf serif-bold.ttf sans.ttf sans-bold.ttf text files...\n");
    return 2;
  }
  const std::string out = argv[1];
  std::vector<std::string> files(argv + 6, argv + argc);

  std::vector<Block> blocks;
  Cover cover;
  if (!ReadDocument(files, &blocks, &cover)) return 1;
  if (cover.title.empty()) cover.title = "Manual";

  FT_Library ft = nullptr;
  if (FT_Init_FreeType(&ft) != 0) {
    std::fprintf(stderr, "zt_manual: FreeType did not start\n");
    return 1;
  }
  FT_Face ftFaces[kFontCount] = {};
  cairo_font_face_t* faces[kFontCount] = {};
  for (int i = 0; i < kFontCount; ++i) {
    if (FT_New_Face(ft, argv[2 + i], 0, &ftFaces[i]) != 0) {
      std::fprintf(stderr, "zt_manual: cannot load font %s\n", argv[2 + i]);
      return 1;
    }
    faces[i] = cairo_ft_font_face_create_for_ft_face(ftFaces[i], 0);
  }

  cairo_surface_t* surface = cairo_pdf_surface_create(out.c_str(), kPageW, kPageH);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "zt_manual: cannot create %s\n", out.c_str());
    return 1;
  }
  const std::string head = cover.title + " \u2014 " + cover.subtitle;
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, head.c_str());
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "zt_manual");
  cairo_t* cr = cairo_create(surface);

  Typesetter body(cr, faces);
  body.Lay(blocks);

  // The contents: one line per chapter and section, as many pages as they need.
  constexpr double kTocLead = 17.0;
  const int tocPerPage = static_cast<int>((kBottom - kTop - 50.0) / kTocLead);
  const int tocCount = static_cast<int>(body.Toc().size());
  const int tocPages = tocCount == 0 ? 0 : (tocCount + tocPerPage - 1) / tocPerPage;
  const int firstBodyPage = 1 + tocPages;  // zero-based page index after the cover

  DrawCover(cr, faces, cover);
  cairo_show_page(cr);

  for (int p = 0; p < tocPages; ++p) {
    DrawFurniture(cr, faces, head, 2 + p);
    double y = kTop;
    if (p == 0) {
      Text(cr, faces[kSansBold], 20.0, kMarginX, y + 20.0, kOlive, "Contents");
      y += 50.0;
    }
    for (int i = p * tocPerPage; i < tocCount && i < (p + 1) * tocPerPage; ++i) {
      const TocEntry& e = body.Toc()[i];
      const bool chapter = e.level == 1;
      const FontId font = chapter ? kSansBold : kSerif;
      const double size = chapter ? 11.0 : 10.0;
      const double x = kMarginX + (chapter ? 0.0 : 18.0);
      if (chapter && i > p * tocPerPage) y += 4.0;
      const std::string number = std::to_string(firstBodyPage + e.page + 1);
      Text(cr, faces[font], size, x, y + size, chapter ? kOlive : kInk, e.title);
      const double nw = Width(cr, faces[font], size, number);
      Text(cr, faces[font], size, kPageW - kMarginX - nw, y + size, kInk, number);
      y += kTocLead;
    }
    cairo_show_page(cr);
  }

  // Chapters in the reader's outline panel.
  for (const TocEntry& e : body.Toc()) {
    if (e.level != 1) continue;
    const std::string link = "page=" + std::to_string(firstBodyPage + e.page + 1);
    cairo_pdf_surface_add_outline(surface, CAIRO_PDF_OUTLINE_ROOT, e.title.c_str(), link.c_str(),
                                  static_cast<cairo_pdf_outline_flags_t>(0));
  }

  // A two-column row may place its term on a later page than its text: draw page by page.
  std::vector<Op> ops = body.Ops();
  std::stable_sort(ops.begin(), ops.end(), [](const Op& a, const Op& b) { return a.page < b.page; });
  size_t next = 0;
  for (int p = 0; p < body.PageCount(); ++p) {
    DrawFurniture(cr, faces, head, firstBodyPage + p + 1);
    for (; next < ops.size() && ops[next].page == p; ++next) {
      const Op& op = ops[next];
      if (op.text.empty()) {
        SetColour(cr, op.colour);
        cairo_set_line_width(cr, 1.6);
        cairo_move_to(cr, op.x, op.y);
        cairo_line_to(cr, op.x2, op.y);
        cairo_stroke(cr);
      } else {
        Text(cr, faces[op.font], op.size, op.x, op.y, op.colour, op.text);
      }
    }
    cairo_show_page(cr);
  }

  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  for (int i = 0; i < kFontCount; ++i) cairo_font_face_destroy(faces[i]);
  // The FreeType faces stay open: cairo may still hold the font faces in its cache.
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "zt_manual: writing %s failed: %s\n", out.c_str(), cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
