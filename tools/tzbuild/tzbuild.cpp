// tzbuild: turns a product folder (its manifest tzbuild.conf, install script, payload folders,
// language tables, licences, skin and icon) into the product's setup.exe.
//
//   tzbuild PRODUCT [-o OUT.exe] [--level N] [--threads N] [--werror] [-D NAME=VALUE]...
//           [--engine ENGINE.exe]
//
// Exit codes: 0 built, 1 the build stopped on errors (no output file is left), 2 bad command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "diagnostics.h"
#include "files.h"
#include "installer_image.h"
#include "manifest.h"
#include "platform/handles.h"
#include "script_check.h"

namespace tzbuild {
namespace {

struct Options {
  std::wstring product;
  std::wstring output = L"setup.exe";
  std::wstring engine;  // empty: the engine carried by tzbuild itself
  int level = 5;
  int threads = 0;
  bool werror = false;
  std::map<std::string, std::string> defines;
};

int Usage(const char* problem) {
  if (problem) fprintf(stderr, "tzbuild: %s\n", problem);
  fputs("usage: tzbuild PRODUCT [-o OUT.exe] [--level N] [--threads N] [--werror] [-D NAME=VALUE]... [--engine ENGINE.exe]\n"
        "  PRODUCT is a product folder holding tzbuild.conf, or the manifest file itself\n",
        stderr);
  return 2;
}

bool ParseNumber(const wchar_t* text, int low, int high, int& out) {
  wchar_t* end = nullptr;
  const long v = wcstol(text, &end, 10);
  if (!*text || *end || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

// Every entry of every archive gets this time, so the installer does not depend on when it was
// built; SOURCE_DATE_EPOCH (seconds since 1970) chooses another one.
FILETIME EntryTime() {
  ULONGLONG seconds = 1577836800;  // 2020-01-01 00:00:00 UTC
  if (const char* epoch = getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) seconds = _strtoui64(epoch, nullptr, 10);
  const ULONGLONG ticks = (seconds + 11644473600ULL) * 10000000ULL;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool LoadEngine(const Options& o, std::string& engine, Diagnostics& diag) {
  if (!o.engine.empty()) {
    DWORD error = 0;
    if (ReadWholeFile(o.engine, engine, error)) return true;
    diag.Error({o.engine}, "engine", "cannot read the engine: " + ErrorText(error));
    return false;
  }
  HRSRC res = FindResourceW(nullptr, L"ENGINE", MAKEINTRESOURCEW(10));
  HGLOBAL g = res ? LoadResource(nullptr, res) : nullptr;
  const char* p = g ? static_cast<const char*>(LockResource(g)) : nullptr;
  if (!p) {
    diag.Error({}, "engine", "this tzbuild carries no installer engine; give one with --engine");
    return false;
  }
  engine.assign(p, SizeofResource(nullptr, res));
  return true;
}

// The archive kinds the installer extracts, by their signatures.
bool IsArchive(const std::string& data) {
  auto at = [&](size_t offset, const char* magic, size_t n) { return data.size() >= offset + n && data.compare(offset, n, magic, n) == 0; };
  return at(0, "7z\xBC\xAF\x27\x1C", 6) || at(0, "PK\x03\x04", 4) || at(0, "MSCF", 4) ||
         at(4, "\xEF\xBE\xAD\xDENullsoftInst", 16);
}

class Build {
 public:
  Build(const Options& o, Diagnostics& diag) : o_(o), diag_(diag) {}

  bool Run() {
    manifest_ = ReadManifest(o_.product, o_.defines, diag_);
    if (diag_.ErrorCount()) return false;
    diag_.SetAllowed(manifest_.allowed);
    ReadInputs();
    if (diag_.ErrorCount()) return false;
    Check();
    if (diag_.ErrorCount()) return false;
    Pack();
    if (diag_.ErrorCount()) return false;
    return Write();
  }

 private:
  bool ReadInput(const std::wstring& path, const SourcePos& where, const char* what, std::string& out) {
    DWORD error = 0;
    if (IsDirectory(path)) {
      diag_.Error(where, "input", std::string(what) + " " + ToUtf8(path) + " is a folder, not a file");
      return false;
    }
    if (ReadWholeFile(path, out, error)) return true;
    diag_.Error(where, "input", "cannot read " + std::string(what) + " " + ToUtf8(path) + ": " + ErrorText(error));
    return false;
  }

  void ReadInputs() {
    ReadInput(manifest_.script, manifest_.script_where, "the install script", script_);
    for (const auto* list : {&manifest_.languages, &manifest_.licences})
      for (const auto& l : *list) {
        std::string text;
        if (!ReadInput(l.path, l.where, list == &manifest_.languages ? "the language table" : "the licence", text)) continue;
        if (text.empty()) {
          diag_.Error(l.where, "input", ToUtf8(l.path) + " is empty (a resource cannot be empty)");
          continue;
        }
        if (list == &manifest_.languages) tables_.push_back({l.path, l.resource, l.language, text});
        resources_.push_back({L"LANG", FromUtf8(l.resource), 0, text});
      }
    for (const auto& p : manifest_.payloads) {
      if (!IsDirectory(p.path) && !IsFile(p.path))
        diag_.Error(p.where, "input", "payload " + std::to_string(p.id) + ": " + ToUtf8(p.path) + " does not exist");
    }
    if (!manifest_.skin.empty() && !IsDirectory(manifest_.skin))
      diag_.Error(manifest_.skin_where, "input", "the skin folder " + ToUtf8(manifest_.skin) + " does not exist");
    if (!manifest_.icon.empty() && ReadInput(manifest_.icon, manifest_.icon_where, "the icon", icon_)) {
      std::vector<std::string> images;
      std::string group, error;
      if (!SplitIcon(icon_, 1, images, group, error)) diag_.Error(manifest_.icon_where, "input", ToUtf8(manifest_.icon) + ": " + error);
    }
  }

  void Check() {
    ScriptInputs in;
    in.shown = manifest_.script;
    in.text = script_;
    in.resources.insert({"FILE", "301"});
    for (const auto& p : manifest_.payloads) in.resources.insert({"FILE", std::to_string(p.id)});
    for (const auto& l : manifest_.languages) in.resources.insert({"LANG", l.resource});
    for (const auto& l : manifest_.licences) in.resources.insert({"LANG", l.resource});
    if (!manifest_.skin.empty()) in.resources.insert({"UI", "201"});
    in.languages = tables_;
    CheckScript(in, diag_);
    for (const auto& t : tables_) CheckLanguageTable(t, diag_);
  }

  void Pack() {
    PackOptions options;
    options.level = o_.level;
    options.threads = o_.threads;
    options.time = EntryTime();
    resources_.push_back({L"FILE", L"", 301, script_});
    for (const auto& p : manifest_.payloads) {
      std::string data;
      if (IsDirectory(p.path)) {
        const PackResult r = PackFolder(p.path, ArchiveFormat::k7z, options, data);
        if (!r.ok) {
          diag_.Error(p.where, "input", "payload " + std::to_string(p.id) + ": " + r.error);
          continue;
        }
        printf("tzbuild: payload %u: %llu files, %llu bytes packed into %llu\n", p.id,
               static_cast<unsigned long long>(r.files), static_cast<unsigned long long>(r.bytes_in),
               static_cast<unsigned long long>(data.size()));
      } else {
        if (!ReadInput(p.path, p.where, "the payload archive", data)) continue;
        if (!IsArchive(data)) {
          diag_.Error(p.where, "input", "payload " + std::to_string(p.id) + ": " + ToUtf8(p.path) +
                                            " is neither a folder nor a 7z, zip, cab or NSIS archive");
          continue;
        }
      }
      resources_.push_back({L"FILE", L"", p.id, std::move(data)});
    }
    if (!manifest_.skin.empty()) {
      std::string data;
      const PackResult r = PackFolder(manifest_.skin, ArchiveFormat::kZip, options, data);
      if (!r.ok)
        diag_.Error(manifest_.skin_where, "input", "skin: " + r.error);
      else
        resources_.push_back({L"UI", L"", 201, std::move(data)});
    }
    fflush(stdout);
  }

  bool Write() {
    std::string engine;
    if (!LoadEngine(o_, engine, diag_)) return false;
    std::string version;
    if (manifest_.has_version) version = BuildVersionResource(manifest_.version);
    // Written beside the output first, so that a failure never leaves a half-made installer.
    const std::wstring temp = o_.output + L".tzbuild-tmp";
    std::string error;
    if (!WriteInstaller(engine, temp, resources_, version.empty() ? nullptr : &version,
                        manifest_.icon.empty() ? nullptr : &icon_, error)) {
      DeleteFileW(temp.c_str());
      diag_.Error({o_.output}, "output", error);
      return false;
    }
    if (!MoveFileExW(temp.c_str(), o_.output.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD code = GetLastError();
      DeleteFileW(temp.c_str());
      diag_.Error({o_.output}, "output", "cannot write the installer: " + ErrorText(code));
      return false;
    }
    return true;
  }

  const Options& o_;
  Diagnostics& diag_;
  Manifest manifest_;
  std::string script_, icon_;
  std::vector<LanguageTable> tables_;
  std::vector<ProductResource> resources_;
};

bool IsProgram(const std::wstring& path) {
  tz::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char head[2] = {};
  DWORD got = 0;
  return file && ReadFile(file.Get(), head, sizeof head, &got, nullptr) && got == 2 && head[0] == 'M' && head[1] == 'Z';
}

int Main(int argc, wchar_t** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    auto next = [&]() -> const wchar_t* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == L"-o" || a == L"--output") {
      const wchar_t* v = next();
      if (!v) return Usage("-o needs a file name");
      o.output = v;
    } else if (a == L"--level") {
      const wchar_t* v = next();
      if (!v || !ParseNumber(v, 0, 9, o.level)) return Usage("--level needs a number from 0 to 9");
    } else if (a == L"--threads") {
      const wchar_t* v = next();
      if (!v || !ParseNumber(v, 1, 256, o.threads)) return Usage("--threads needs a number from 1 to 256");
    } else if (a == L"--werror") {
      o.werror = true;
    } else if (a == L"--engine") {
      const wchar_t* v = next();
      if (!v) return Usage("--engine needs a file name");
      o.engine = v;
    } else if (a == L"-D" || a.rfind(L"-D", 0) == 0) {
      const wchar_t* v = a == L"-D" ? next() : argv[i] + 2;
      const std::string def = v ? ToUtf8(v) : std::string();
      const size_t eq = def.find('=');
      if (eq == std::string::npos || eq == 0) return Usage("-D needs NAME=VALUE");
      o.defines[def.substr(0, eq)] = def.substr(eq + 1);
    } else if (!a.empty() && a[0] == L'-') {
      return Usage(("unknown option " + ToUtf8(a)).c_str());
    } else if (o.product.empty()) {
      o.product = a;
    } else {
      return Usage("only one PRODUCT may be given");
    }
  }
  if (o.product.empty()) return Usage("no PRODUCT given");

  Diagnostics diag(stderr);
  diag.SetWarningsAreErrors(o.werror);
  const bool built = Build(o, diag).Run() && diag.ErrorCount() == 0;
  if (!built) {
    // No installer at all rather than one from an earlier build that looks like this one's; a
    // file that is no program (a mistyped -o naming the script) is left alone.
    if (IsProgram(o.output)) DeleteFileW(o.output.c_str());
    fprintf(stderr, "tzbuild: %d error(s), %d warning(s); no installer written\n", diag.ErrorCount(), diag.WarningCount());
    return 1;
  }
  printf("tzbuild: wrote %s (%d warning(s))\n", ToUtf8(o.output).c_str(), diag.WarningCount());
  return 0;
}

}  // namespace
}  // namespace tzbuild

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);  // messages are UTF-8 (file names, script texts)
  return tzbuild::Main(argc, argv);
}
