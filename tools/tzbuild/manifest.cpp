// The product manifest, "tzbuild.conf" in the product folder. One directive per line; blank
// lines are skipped, and "#" at the start of a line or after a blank starts a comment that runs
// to the end of the line. Words are separated by blanks; the last word of a directive runs to
// the end of the line (or its comment), so it may hold blanks.
// Paths are relative to the manifest's folder; "${NAME}" is replaced by a -D NAME=VALUE given
// on tzbuild's command line (for files the build makes, such as the extension module). UTF-8.
//
//   script   FILE                   the install script (resource FILE 301); required
//   payload  ID PATH                a payload archive (resource FILE ID, 1..65535): a folder is
//                                   compressed into a solid 7z (LZMA2), a file is carried as is
//   language RESOURCE LANG FILE     a language table (INI) as LANG resource RESOURCE, for
//                                   language LANG; the script's i18n stringtable names it
//   licence  RESOURCE LANG FILE     a licence text as LANG resource RESOURCE (the script's
//                                   i18n fileres names it); "license" is accepted too
//   skin     FOLDER                 the skin folder, zipped into resource UI 201
//   icon     FILE.ico               the installer's icon
//   file-version    A.B.C.D         version resource: FileVersion (1 to 4 numbers, 0..65535)
//   product-version A.B.C.D         ProductVersion (default: the file version)
//   product-name    TEXT            ProductName
//   company         TEXT            CompanyName
//   description     TEXT            FileDescription
//   copyright       TEXT            LegalCopyright (optional)
//   allow    CHECK ID...            accept a check's message for these ids ("*": all), for
//                                   mistakes the script makes on purpose
//
// Every directive but payload, language, licence and allow may appear once.
#include "manifest.h"

#include <cstdlib>

#include "files.h"

namespace tzbuild {

namespace {

struct Word {
  std::string text;
  size_t offset = 0;  // byte offset in the manifest text
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a line into `count` words at most; the last takes the rest of the line, trimmed.
std::vector<Word> SplitLine(const std::string& text, size_t begin, size_t end, size_t count) {
  std::vector<Word> words;
  size_t i = begin;
  while (i < end) {
    while (i < end && IsBlank(text[i])) ++i;
    if (i >= end) break;
    size_t stop = i;
    if (words.size() + 1 == count) {
      stop = end;
      while (stop > i && IsBlank(text[stop - 1])) --stop;
    } else {
      while (stop < end && !IsBlank(text[stop])) ++stop;
    }
    words.push_back({text.substr(i, stop - i), i});
    i = stop;
  }
  return words;
}

struct Directive {
  const char* name;
  size_t args;  // words after the name; the last runs to the end of the line
  bool repeatable;
};

const Directive kDirectives[] = {
    {"script", 1, false},       {"payload", 2, true},        {"language", 3, true},
    {"licence", 3, true},       {"license", 3, true},        {"skin", 1, false},
    {"icon", 1, false},         {"file-version", 1, false},  {"product-version", 1, false},
    {"product-name", 1, false}, {"company", 1, false},       {"description", 1, false},
    {"copyright", 1, false},    {"allow", 2, true},
};

// "1.2.3.4" into four numbers; 1 to 4 parts, each 0..65535.
bool ParseVersion(const std::string& text, uint16_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  size_t part = 0, i = 0;
  while (true) {
    if (part == 4 || i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    unsigned long v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      v = v * 10 + static_cast<unsigned long>(text[i] - '0');
      if (v > 65535) return false;
      ++i;
    }
    out[part++] = static_cast<uint16_t>(v);
    if (i == text.size()) return true;
    if (text[i] != '.') return false;
    ++i;
  }
}

class Reader {
 public:
  Reader(Manifest& m, const std::map<std::string, std::string>& defines, Diagnostics& diag, std::wstring shown)
      : m_(m), defines_(defines), diag_(diag), shown_(std::move(shown)) {}

  void Parse(const std::string& text) {
    text_ = &text;
    size_t line_start = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) line_start = 3;
    while (line_start <= text.size()) {
      size_t line_end = text.find('\n', line_start);
      if (line_end == std::string::npos) line_end = text.size();
      size_t content_end = line_end;
      if (content_end > line_start && text[content_end - 1] == '\r') --content_end;
      ParseLine(line_start, content_end);
      if (line_end == text.size()) break;
      line_start = line_end + 1;
    }
    if (m_.script.empty()) diag_.Error({shown_}, "manifest", "the manifest names no install script (\"script FILE\")");
  }

 private:
  SourcePos At(size_t offset) const { return PositionOf(shown_, *text_, offset); }

  // ${NAME} from the -D definitions; an unknown name is an error.
  bool Expand(const Word& w, std::string& out) {
    out.clear();
    const std::string& s = w.text;
    for (size_t i = 0; i < s.size();) {
      if (s.compare(i, 2, "${") == 0) {
        const size_t close = s.find('}', i + 2);
        if (close != std::string::npos) {
          const std::string name = s.substr(i + 2, close - i - 2);
          const auto it = defines_.find(name);
          if (it == defines_.end()) {
            diag_.Error(At(w.offset + i), "manifest", "\"${" + name + "}\" is not defined (give -D " + name + "=VALUE)");
            return false;
          }
          out += it->second;
          i = close + 1;
          continue;
        }
      }
      out += s[i++];
    }
    return true;
  }

  bool PathOf(const Word& w, std::wstring& out) {
    std::string expanded;
    if (!Expand(w, expanded)) return false;
    out = JoinPath(m_.folder, FromUtf8(expanded));
    return true;
  }

  void ParseLine(size_t begin, size_t end) {
    const std::string& text = *text_;
    size_t first = begin;
    while (first < end && IsBlank(text[first])) ++first;
    for (size_t i = first; i < end; ++i)
      if (text[i] == '#' && (i == first || IsBlank(text[i - 1]))) {
        end = i;
        break;
      }
    while (end > first && IsBlank(text[end - 1])) --end;
    if (first >= end) return;
    size_t name_end = first;
    while (name_end < end && !IsBlank(text[name_end])) ++name_end;
    const std::string name = text.substr(first, name_end - first);
    const Directive* d = nullptr;
    for (const auto& candidate : kDirectives)
      if (name == candidate.name) d = &candidate;
    if (!d) {
      diag_.Error(At(first), "manifest", "unknown directive \"" + name + "\"");
      return;
    }
    const std::vector<Word> args = SplitLine(text, name_end, end, d->args);
    if (args.size() < d->args) {
      diag_.Error(At(first), "manifest", "\"" + name + "\" needs " + std::to_string(d->args) + " value" +
                                             (d->args > 1 ? "s" : ""));
      return;
    }
    if (!d->repeatable) {
      if (seen_.count(name)) {
        diag_.Error(At(first), "manifest", "\"" + name + "\" is given twice");
        return;
      }
      seen_.insert(name);
    }
    Apply(name, At(first), args);
  }

  void Apply(const std::string& name, const SourcePos& at, const std::vector<Word>& args) {
    if (name == "script") {
      if (PathOf(args[0], m_.script)) m_.script_where = at;
    } else if (name == "payload") {
      char* stop = nullptr;
      const unsigned long id = strtoul(args[0].text.c_str(), &stop, 10);
      if (args[0].text.empty() || *stop != 0 || args[0].text[0] == '-' || id == 0 || id > 65535) {
        diag_.Error(At(args[0].offset), "manifest", "payload id \"" + args[0].text + "\" is not a number from 1 to 65535");
        return;
      }
      if (id == 301) {
        diag_.Error(At(args[0].offset), "manifest", "payload id 301 is the install script's");
        return;
      }
      for (const auto& p : m_.payloads)
        if (p.id == id) {
          diag_.Error(At(args[0].offset), "manifest", "payload " + args[0].text + " is given twice");
          return;
        }
      PayloadEntry p;
      p.id = static_cast<uint16_t>(id);
      p.where = At(args[1].offset);
      if (PathOf(args[1], p.path)) m_.payloads.push_back(p);
    } else if (name == "language" || name == "licence" || name == "license") {
      LanguageEntry e;
      e.resource = args[0].text;
      e.language = args[1].text;
      e.where = At(args[2].offset);
      for (const auto* list : {&m_.languages, &m_.licences})
        for (const auto& other : *list)
          if (_stricmp(other.resource.c_str(), e.resource.c_str()) == 0) {
            diag_.Error(At(args[0].offset), "manifest", "LANG resource \"" + e.resource + "\" is given twice");
            return;
          }
      if (!PathOf(args[2], e.path)) return;
      (name == "language" ? m_.languages : m_.licences).push_back(e);
    } else if (name == "skin") {
      if (PathOf(args[0], m_.skin)) m_.skin_where = At(args[0].offset);
    } else if (name == "icon") {
      if (PathOf(args[0], m_.icon)) m_.icon_where = At(args[0].offset);
    } else if (name == "file-version" || name == "product-version") {
      const bool file = name == "file-version";
      if (!ParseVersion(args[0].text, file ? m_.version.file : m_.version.product)) {
        diag_.Error(At(args[0].offset), "manifest", "\"" + args[0].text + "\" is not a version (1 to 4 numbers 0..65535, as 1.2.3.4)");
        return;
      }
      (file ? m_.version.file_text : m_.version.product_text) = args[0].text;
      m_.has_version = true;
    } else if (name == "product-name") {
      m_.version.product_name = args[0].text;
    } else if (name == "company") {
      m_.version.company = args[0].text;
    } else if (name == "description") {
      m_.version.description = args[0].text;
    } else if (name == "copyright") {
      m_.version.copyright = args[0].text;
    } else if (name == "allow") {
      for (const Word& id : SplitLine(args[1].text, 0, args[1].text.size(), ~size_t{0}))
        m_.allowed[args[0].text].insert(id.text);
    }
  }

  Manifest& m_;
  const std::map<std::string, std::string>& defines_;
  Diagnostics& diag_;
  std::wstring shown_;
  const std::string* text_ = nullptr;
  std::set<std::string> seen_;
};

}  // namespace

Manifest ReadManifest(const std::wstring& path, const std::map<std::string, std::string>& defines, Diagnostics& diag) {
  Manifest m;
  m.path = IsDirectory(path) ? JoinPath(path, L"tzbuild.conf") : JoinPath(L"", path);
  m.folder = ParentOf(m.path);
  std::string text;
  DWORD error = 0;
  if (!ReadWholeFile(m.path, text, error)) {
    diag.Error({m.path}, "manifest", "cannot read the manifest: " + ErrorText(error));
    return m;
  }
  Reader(m, defines, diag, m.path).Parse(text);
  const VersionInfo& v = m.version;
  if (v.file_text.empty() && (!v.product_text.empty() || !v.product_name.empty() || !v.company.empty() ||
                              !v.description.empty() || !v.copyright.empty()))
    diag.Error({m.path}, "manifest", "the version fields need \"file-version\" too");
  if (m.version.product_text.empty()) {
    m.version.product_text = m.version.file_text;
    for (int i = 0; i < 4; ++i) m.version.product[i] = m.version.file[i];
  }
  return m;
}

}  // namespace tzbuild
