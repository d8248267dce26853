#include "platform/DeviceEffectFile.h"

#include <clocale>
#include <cstdlib>
#include <sstream>

#include "platform/Image.h"

namespace platform {

const EffectParam* EffectFile::FindParam(const std::string& name) const {
  for (const EffectParam& p : params)
    if (p.name == name) return &p;
  return nullptr;
}

namespace {
std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}
bool ValidIdentifier(const std::string& s) {
  if (s.empty() || s.size() > 63) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (i > 0 && c >= '0' && c <= '9');
    if (!ok) return false;
  }
  return true;
}
bool Err(std::string* error, const std::string& path, int line, const std::string& why) {
  if (error) *error = path + "(" + std::to_string(line) + "): " + why;
  return false;
}
// Locale-independent float parse.
bool ParseFloat(const std::string& s, float* out) {
  std::istringstream in(s);
  in.imbue(std::locale::classic());
  in >> *out;
  return !in.fail();
}
}  // namespace

bool ParseEffectFile(const std::string& text, const std::string& path, EffectFile* out, std::string* error) {
  *out = EffectFile();
  enum Body { None, Vertex, Fragment } body = None;
  EffectPass* pass = nullptr;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = Trim(raw);
    if (body != None) {
      if (line == "@fragment" && body == Vertex) {
        body = Fragment;
        pass->fragmentLine = lineNo + 1;
        continue;
      }
      if (line == "@end") {
        if (body == Vertex) return Err(error, path, lineNo, "pass has no @fragment body");
        body = None;
        continue;
      }
      if (!line.empty() && line[0] == '@')
        return Err(error, path, lineNo, "unexpected " + line + " inside a body");
      (body == Vertex ? pass->vertexSource : pass->fragmentSource) += raw + "\n";
      continue;
    }
    if (line.empty() || line.rfind("//", 0) == 0) continue;
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "@param") {
      std::string kind, name;
      words >> kind >> name;
      if (!ValidIdentifier(name)) return Err(error, path, lineNo, "bad parameter name");
      if (out->FindParam(name)) return Err(error, path, lineNo, "duplicate parameter " + name);
      EffectParam p;
      p.name = name;
      if (kind == "float") {
        std::string def;
        words >> def;
        if (!def.empty() && !ParseFloat(def, &p.value)) return Err(error, path, lineNo, "bad default value");
      } else if (kind == "texture") {
        p.kind = EffectParam::Texture;
      } else {
        return Err(error, path, lineNo, "unknown parameter kind " + kind);
      }
      out->params.push_back(p);
    } else if (word == "@technique") {
      EffectTechnique t;
      words >> t.name;
      out->techniques.push_back(t);
      pass = nullptr;
    } else if (word == "@pass") {
      if (out->techniques.empty()) return Err(error, path, lineNo, "@pass outside a technique");
      out->techniques.back().passes.emplace_back();
      pass = &out->techniques.back().passes.back();
      words >> pass->name;
    } else if (word == "@vertex" || word == "@fragment") {
      if (!pass) return Err(error, path, lineNo, word + " outside a pass");
      if (word == "@vertex") {
        body = Vertex;
        pass->vertexLine = lineNo + 1;
      } else {
        body = Fragment;
        pass->fragmentLine = lineNo + 1;
      }
    } else {
      return Err(error, path, lineNo, "unknown directive " + word);
    }
  }
  if (body != None) return Err(error, path, lineNo, "body not closed with @end");
  if (out->techniques.empty()) return Err(error, path, lineNo, "no technique");
  for (const EffectTechnique& t : out->techniques) {
    if (t.passes.empty()) return Err(error, path, lineNo, "technique " + t.name + " has no pass");
    for (const EffectPass& p : t.passes)
      if (p.fragmentSource.empty())
        return Err(error, path, lineNo, "pass " + p.name + " has no fragment body");
  }
  return true;
}

bool LoadEffectFile(const std::string& path, EffectFile* out, std::string* error) {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadWholeBinaryFile(path, &bytes, size_t(1) << 20, &why)) {
    if (error) *error = path + ": cannot read effect file: " + why;
    return false;
  }
  return ParseEffectFile(std::string(bytes.begin(), bytes.end()), path, out, error);
}

}  // namespace platform
