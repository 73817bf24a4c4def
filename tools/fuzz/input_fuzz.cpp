// input_fuzz SEED ARCHIVE_CASES LANG_CASES WORKDIR [--archives FILE...] [--langs FILE...]
// Bounded robustness pass over the installer's other inputs. Archive cases mutate one of the seed
// archives (7z and zip: header fields with their CRCs made right again, bodies, truncations, item
// names turned into "..", drive, device and over-long names) and run the real `extract` action on
// it, into WORKDIR\c<N>. Language cases mutate one of the seed INI texts and load it as the
// language table, then read and expand its strings.
// Each archive case must end with a result and with the action's closing log line, and nothing may
// appear outside its target directory (WORKDIR and the roots of C: and Z: are watched). A crash,
// a hang of 20 s or a broken check is a finding: the case's input is kept as WORKDIR\finding.bin.
#include "fuzz_rng.h"
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "actions/action_handlers.h"
#include "core/engine.h"
#include "diag/install_log.h"

namespace {

using Bytes = std::string;

std::wstring g_work;
std::atomic<long> g_case{-1};
std::atomic<unsigned> g_progress{0};
Bytes g_input;  // the case at hand, kept on a finding

void KeepFinding(const char* why) {
  std::fprintf(stderr, "FINDING (%s) in case %ld; input kept as %ls\\finding.bin\n", why, g_case.load(),
               g_work.c_str());
  std::ofstream((g_work + L"\\finding.bin").c_str(), std::ios::binary) << g_input;
  std::fflush(stderr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  char why[64];
  std::snprintf(why, sizeof(why), "exception 0x%08lx", info->ExceptionRecord->ExceptionCode);
  KeepFinding(why);
  ExitProcess(3);
}

DWORD WINAPI Watchdog(void*) {
  unsigned last = g_progress.load();
  for (int idle = 0;; Sleep(1000)) {
    const unsigned now = g_progress.load();
    idle = now == last ? idle + 1 : 0;
    last = now;
    if (idle >= 20) {
      KeepFinding("no progress for 20 s");
      ExitProcess(4);
    }
  }
}

Bytes ReadAll(const wchar_t* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

uint32_t Crc32(const unsigned char* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

template <typename T>
T Get(const Bytes& b, size_t at) {
  T v{};
  if (at + sizeof(T) <= b.size()) std::memcpy(&v, b.data() + at, sizeof(T));
  return v;
}
template <typename T>
void Put(Bytes& b, size_t at, T v) {
  if (at + sizeof(T) <= b.size()) std::memcpy(&b[at], &v, sizeof(T));
}

bool Is7z(const Bytes& b) { return b.size() >= 32 && std::memcmp(b.data(), "7z\xBC\xAF\x27\x1C", 6) == 0; }

// The next-header CRC (when the header lies inside the data) and the start-header CRC.
void Fix7zCrcs(Bytes& b) {
  if (!Is7z(b)) return;
  const uint64_t off = Get<uint64_t>(b, 12), size = Get<uint64_t>(b, 20);
  if (off < b.size() && size <= b.size() - 32 && 32 + off + size <= b.size())
    Put<uint32_t>(b, 28, Crc32(reinterpret_cast<const unsigned char*>(b.data()) + 32 + off, size));
  Put<uint32_t>(b, 8, Crc32(reinterpret_cast<const unsigned char*>(b.data()) + 12, 20));
}

uint64_t Interesting(Rng& r, uint64_t near) {
  static const uint64_t kValues[] = {0, 1, 2, 0x7F, 0x80, 0xFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000,
                                     0xFFFFFFFF, 0x100000000ULL, 0x7FFFFFFFFFFFFFFFULL, 0x8000000000000000ULL,
                                     ~0ULL, ~0ULL - 31};
  switch (r.Below(3)) {
    case 0: return kValues[r.Below(std::size(kValues))];
    case 1: return near + r.Below(64) - 32;
    default: return r.Next();
  }
}

// Replaces `len` characters of a name with a hostile one of the same length.
std::wstring HostileName(Rng& r, size_t len) {
  static const wchar_t* const kShapes[] = {L"..\\", L"../", L"C:\\", L"C:", L"\\\\", L"/", L"CON", L"NUL",
                                           L"AUX.txt\\", L"COM1", L"LPT9.", L"a. .\\", L". \\", L"...\\",
                                           L"*?<>|\"", L":$DATA", L"\\??\\"};
  std::wstring s;
  while (s.size() < len) s += kShapes[r.Below(std::size(kShapes))];
  if (r.Chance(50)) s = std::wstring(kShapes[r.Below(std::size(kShapes))]) + L"tzfz";
  s.resize(len, L'x');
  return s;
}

// Item names of the seeds start with "tzfz"; a mutation rewrites one occurrence in place.
void PatchName(Bytes& b, Rng& r, bool wide) {
  std::vector<size_t> hits;
  const Bytes marker = wide ? Bytes("t\0z\0f\0z\0", 8) : Bytes("tzfz");
  for (size_t at = b.find(marker); at != Bytes::npos; at = b.find(marker, at + 1)) hits.push_back(at);
  if (hits.empty()) return;
  const size_t at = hits[r.Below(hits.size())];
  size_t len = 4;  // up to the end of the name
  const size_t unit = wide ? 2 : 1;
  while (at + (len + 1) * unit <= b.size() && (wide ? Get<uint16_t>(b, at + len * 2) : uint8_t(b[at + len])) != 0 &&
         (wide || b[at + len] > 0x20) && len < 400)
    ++len;
  const std::wstring name = HostileName(r, len);
  for (size_t i = 0; i < len; ++i) {
    if (wide)
      Put<uint16_t>(b, at + i * 2, static_cast<uint16_t>(name[i]));
    else
      b[at + i] = static_cast<char>(name[i]);
  }
}

void MutateArchive(Bytes& b, Rng& r) {
  if (b.empty()) return;
  const bool sevenz = Is7z(b);
  switch (r.Below(10)) {
    case 0:  // flips in the body
      for (size_t i = 1 + r.Below(6); i > 0; --i) b[r.Below(b.size())] ^= static_cast<char>(1u << r.Below(8));
      break;
    case 1:  // cut short
      b.resize(r.Below(b.size()));
      break;
    case 2:  // garbage before or after
      if (r.Chance(50)) {
        b.insert(0, Bytes(r.Below(600), static_cast<char>(r.Below(256))));
      } else {
        b.append(r.Below(600), static_cast<char>(r.Below(256)));
      }
      break;
    case 3:
    case 4:
      if (sevenz) {  // where the header is and how long, believed thanks to a right CRC
        Put<uint64_t>(b, r.Chance(50) ? 12 : 20, Interesting(r, r.Chance(50) ? Get<uint64_t>(b, 12) : Get<uint64_t>(b, 20)));
        if (r.Chance(20)) b[6] = static_cast<char>(r.Below(3)), b[7] = static_cast<char>(r.Below(6));
        Fix7zCrcs(b);
      } else {  // a numeric field of a local or central header, or of the end record
        static const Bytes kSigs[] = {Bytes("PK\3\4"), Bytes("PK\1\2"), Bytes("PK\5\6")};
        const Bytes& sig = kSigs[r.Below(3)];
        std::vector<size_t> hits;
        for (size_t at = b.find(sig); at != Bytes::npos; at = b.find(sig, at + 1)) hits.push_back(at);
        if (hits.empty()) break;
        const size_t at = hits[r.Below(hits.size())] + 4 + 2 * r.Below(20);
        if (r.Chance(50))
          Put<uint16_t>(b, at, static_cast<uint16_t>(Interesting(r, Get<uint16_t>(b, at))));
        else
          Put<uint32_t>(b, at, static_cast<uint32_t>(Interesting(r, Get<uint32_t>(b, at))));
      }
      break;
    case 5:
    case 6:
      if (sevenz) {  // garbage inside the header that its CRC vouches for
        const uint64_t off = Get<uint64_t>(b, 12), size = Get<uint64_t>(b, 20);
        if (size == 0 || off >= b.size() || 32 + off + size > b.size()) break;
        for (size_t i = 1 + r.Below(4); i > 0; --i) {
          const size_t at = 32 + off + r.Below(size);
          b[at] = r.Chance(50) ? static_cast<char>(b[at] ^ (1u << r.Below(8))) : static_cast<char>(Interesting(r, 0));
        }
        Fix7zCrcs(b);
      } else {
        for (size_t i = 1 + r.Below(4); i > 0; --i) b[r.Below(b.size())] = static_cast<char>(r.Below(256));
      }
      break;
    default:  // hostile item names
      PatchName(b, r, sevenz);
      if (!sevenz && r.Chance(70)) PatchName(b, r, false);  // the central copy too, often
      Fix7zCrcs(b);
      break;
  }
}

void MutateIni(Bytes& t, Rng& r) {
  switch (r.Below(7)) {
    case 0:
      if (!t.empty())
        for (size_t i = 1 + r.Below(6); i > 0; --i) t[r.Below(t.size())] ^= static_cast<char>(1u << r.Below(8));
      break;
    case 1:
      t.resize(r.Below(t.size() + 1));
      break;
    case 2: {  // references that chain, nest and loop
      Bytes refs = "\nA=${B}${B}${B}\nB=${A}${C}\nC=${";
      for (size_t i = r.Below(40); i > 0; --i) refs += "${C";
      refs += "}}}\nD=" + Bytes(r.Below(70000), 'd') + "${D}\n";
      t.insert(r.Below(t.size() + 1), refs);
      break;
    }
    case 3:
      t.insert(r.Below(t.size() + 1), Bytes("\0\0=\0\n[\0]\n", 10));
      break;
    case 4:  // byte order marks of every kind, or none
      static const Bytes kBoms[] = {Bytes("\xEF\xBB\xBF"), Bytes("\xFF\xFE"), Bytes("\xFE\xFF"), Bytes()};
      if (t.rfind("\xEF\xBB\xBF", 0) == 0) t.erase(0, 3);
      t.insert(0, kBoms[r.Below(std::size(kBoms))]);
      break;
    case 5:  // invalid and overlong UTF-8
      t.insert(r.Below(t.size() + 1), r.Chance(50) ? Bytes("\xC0\xAF\xE0\x80\xAF\xF8\x88\x80\x80\x80") : Bytes("\xED\xA0\x80"));
      break;
    default: {  // a section or key line repeated many times
      const size_t at = t.find('\n', r.Below(t.size() + 1));
      if (at == Bytes::npos) break;
      const size_t next = t.find('\n', at + 1);
      const Bytes line = t.substr(at, next == Bytes::npos ? Bytes::npos : next - at);
      Bytes copies;
      for (size_t i = 1 + r.Below(300); i > 0; --i) copies += line;
      t.insert(at, copies);
    }
  }
}

std::set<std::wstring> Listing(const std::wstring& dir) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) names.insert(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

void RemoveTree(const std::wstring& path) {
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(path.c_str());
    else RemoveDirectoryW(path.c_str());
    return;
  }
  for (const std::wstring& name : Listing(path)) RemoveTree(path + L"\\" + name);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(path.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: input_fuzz SEED ARCHIVE_CASES LANG_CASES WORKDIR [--archives FILE...] [--langs FILE...]\n");
    return 2;
  }
  const uint64_t seed = std::wcstoull(argv[1], nullptr, 10);
  const long archive_cases = std::wcstol(argv[2], nullptr, 10);
  const long lang_cases = std::wcstol(argv[3], nullptr, 10);
  g_work = argv[4];
  std::vector<Bytes> archives, langs;
  std::vector<Bytes>* into = &archives;
  for (int i = 5; i < argc; ++i) {
    if (!wcscmp(argv[i], L"--archives")) {
      into = &archives;
    } else if (!wcscmp(argv[i], L"--langs")) {
      into = &langs;
    } else {
      into->push_back(ReadAll(argv[i]));
    }
  }
  if ((archive_cases > 0 && archives.empty()) || (lang_cases > 0 && langs.empty())) {
    std::fprintf(stderr, "no seed files\n");
    return 2;
  }
  SetUnhandledExceptionFilter(OnCrash);
  ULONG guarantee = 64 * 1024;
  SetThreadStackGuarantee(&guarantee);
  CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
  SetCurrentDirectoryW(g_work.c_str());
  const auto t0 = std::chrono::steady_clock::now();

  CEngine engine;  // the extract action's run: no module is loaded, no window
  const std::set<std::wstring> rootC = Listing(L"C:"), rootZ = Listing(L"Z:"), work = Listing(g_work);
  int findings = 0;
  long extracted = 0, refused = 0;
  std::vector<std::wstring> paths(archive_cases);
  for (long i = 0; i < archive_cases && !findings; ++i) {
    g_case = i;
    Rng r(seed * 1000003 + static_cast<uint64_t>(i));
    g_input = archives[r.Below(archives.size())];
    for (size_t m = 1 + r.Below(3); m > 0; --m) MutateArchive(g_input, r);
    paths[i] = g_work + L"\\c" + std::to_wstring(i) + L".bin";
    const std::wstring target = g_work + L"\\c" + std::to_wstring(i);
    std::ofstream(paths[i].c_str(), std::ios::binary) << g_input;

    ActionRecord item;
    item.id = 500;
    item.type = ACT_EXTRACT;
    item.value = paths[i];
    item.path = target;
    const int result = RunExtractAction(engine.actions, item);
    ++g_progress;
    ++(result == ACTION_DONE ? extracted : refused);
    if (result != ACTION_DONE && result != ACTION_FAILED) {
      std::fprintf(stderr, "case %ld: result %d\n", i, result);
      KeepFinding("unexpected result");
      ++findings;
    }
    std::set<std::wstring> now = Listing(g_work);
    now.erase(L"c" + std::to_wstring(i));
    now.erase(L"c" + std::to_wstring(i) + L".bin");
    if (now != work || Listing(L"C:") != rootC || Listing(L"Z:") != rootZ) {
      for (const std::wstring& n : now)
        if (!work.count(n)) std::fprintf(stderr, "case %ld: %ls appeared beside the target\n", i, n.c_str());
      KeepFinding("a file outside the target");
      ++findings;
    }
    RemoveTree(target);
    DeleteFileW(paths[i].c_str());
  }

  // Every archive case closed with the action's own outcome line, exactly once.
  if (!findings && archive_cases > 0) {
    std::vector<int> closings(archive_cases, 0);
    std::map<std::wstring, long> index;
    for (long i = 0; i < archive_cases; ++i) index[paths[i]] = i;
    const std::wstring done = L"已成功解压", failed = L"错误: 解压失败";
    for (const LogRecord& record : GetLog().Records()) {
      const std::wstring& t = record.text;
      std::wstring path;
      if (t.rfind(done, 0) == 0) {
        path = t.substr(done.size());
      } else if (t.rfind(L"解压", 0) == 0 && t.size() > failed.size() + 2 && t.ends_with(failed)) {
        path = t.substr(2, t.size() - 2 - failed.size());
      }
      const auto it = index.find(path);
      if (it != index.end()) ++closings[it->second];
    }
    for (long i = 0; i < archive_cases; ++i) {
      if (closings[i] != 1) {
        std::fprintf(stderr, "case %ld: %d closing log lines\n", i, closings[i]);
        ++findings;
      }
    }
  }

  for (long i = 0; i < lang_cases && !findings; ++i) {
    g_case = archive_cases + i;
    Rng r(seed * 7919 + static_cast<uint64_t>(i));
    g_input = langs[r.Below(langs.size())];
    for (size_t m = 1 + r.Below(3); m > 0; --m) MutateIni(g_input, r);
    RunContext run;  // a fresh table per case
    CLanguageTable& table = run.languages;
    table.LoadStrings(g_input.data(), g_input.size());
    // Every key-looking word of the text is read and expanded.
    for (size_t at = 0; (at = g_input.find('\n', at)) != Bytes::npos && at < 200000; ++at) {
      const size_t eq = g_input.find('=', at);
      if (eq == Bytes::npos || eq - at > 60) continue;
      std::wstring key;
      for (size_t k = at + 1; k < eq; ++k) key += static_cast<wchar_t>(static_cast<unsigned char>(g_input[k]));
      table.GetString(key);
      run.Expand(L"%#" + key + L"#%%#A#%");
    }
    ++g_progress;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("input_fuzz: seed %llu, %ld archive cases (%ld extracted, %ld failed), %ld language cases in %.1f s, "
              "%d findings\n",
              static_cast<unsigned long long>(seed), archive_cases, extracted, refused, lang_cases, seconds, findings);
  return findings ? 1 : 0;
}
