#include "platform/filesystem.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <limits>
#include <vector>

#include "platform/handles.h"
#include "platform/process.h"
#include "platform/tree_delete.h"

namespace tz {
namespace {

constexpr size_t kMinDirectoryPath = 4;  // shorter than "X:\a" names at most a root
constexpr size_t kMaxSizeText = 19;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDirectory(const std::wstring& path) {
  const DWORD attrs = GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

// Deletes the non-directory entries matching `pattern`, each taken as `prefix` + its name.
unsigned DeleteFoundFiles(const std::wstring& pattern, const std::wstring& prefix) {
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (!find) return 0;
  std::vector<std::wstring> files;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(data.cFileName))
      files.push_back(prefix + data.cFileName);
  } while (FindNextFileW(find.Get(), &data));
  find.Reset();
  unsigned deleted = 0;
  for (const std::wstring& file : files) {
    if (DeleteFileW(file.c_str())) ++deleted;
  }
  return deleted;
}

bool SpecialFolder(int csidl, std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return false;
  path = buffer;
  return true;
}

std::wstring FormatFixedVersion(DWORD most, DWORD least) {
  // Signed 16-bit parts, as the version variables have always shown them.
  const auto part = [](WORD w) { return std::to_wstring(static_cast<short>(w)); };
  return part(HIWORD(most)) + L'.' + part(LOWORD(most)) + L'.' + part(HIWORD(least)) + L'.' + part(LOWORD(least));
}

struct StringField {
  unsigned key;
  const wchar_t* name;
};
constexpr StringField kStringFields[] = {
    {kVerCompanyName, L"CompanyName"},         {kVerFileDescription, L"FileDescription"},
    {kVerFileVersionText, L"FileVersion"},     {kVerInternalName, L"InternalName"},
    {kVerLegalCopyright, L"LegalCopyright"},   {kVerOriginalFilename, L"OriginalFilename"},
    {kVerProductName, L"ProductName"},         {kVerProductVersionText, L"ProductVersion"},
    {kVerLegalTrademarks, L"LegalTrademarks"}, {kVerSpecialBuild, L"SpecialBuild"},
};

// Language and code page used when a resource has strings but no translation table.
constexpr WORD kDefaultLanguage = 0x0804;
constexpr WORD kDefaultCodePage = 1200;

bool ReadExact(HANDLE file, void* buffer, DWORD size) {
  DWORD read = 0;
  return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

std::uint64_t UnitOf(wchar_t c) {
  switch (c) {
    case L'K': case L'k': return 1ull << 10;
    case L'M': case L'm': return 1ull << 20;
    case L'G': case L'g': return 1ull << 30;
    case L'T': case L't': return 1ull << 40;
    case L'P': case L'p': return 1ull << 50;
    case L'E': case L'e': return 1ull << 60;
    default: return 0;
  }
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

bool CreateDirectories(const std::wstring& path) {
  if (path.size() < kMinDirectoryPath || path.size() > MAX_PATH) return false;
  std::wstring buffer = path;
  if (!IsSeparator(buffer.back())) buffer += L'\\';

  size_t start = 3;  // skip the drive root "X:\"
  if (IsSeparator(buffer[0]) && IsSeparator(buffer[1])) {
    // "\\server\share\" can only exist, never be created: begin after the share.
    const size_t server_end = buffer.find_first_of(L"\\/", 2);
    if (server_end == std::wstring::npos) return false;
    const size_t share_end = buffer.find_first_of(L"\\/", server_end + 1);
    if (share_end == std::wstring::npos) return false;
    start = share_end + 1;
  }
  for (size_t i = start; i < buffer.size(); ++i) {
    if (!IsSeparator(buffer[i]) || IsSeparator(buffer[i - 1])) continue;
    const std::wstring partial = buffer.substr(0, i);
    const DWORD attrs = GetFileAttributesW(partial.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES) {
      if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) return false;
      continue;
    }
    // Another thread may create the same directory between the test and the creation.
    if (!CreateDirectoryW(partial.c_str(), nullptr) && !IsDirectory(partial)) return false;
  }
  return true;
}

unsigned DeleteMatching(const std::wstring& pattern) {
  if (pattern.empty()) return 0;
  const size_t cut = pattern.find_last_of(L"\\/");
  std::wstring prefix;
  if (cut != std::wstring::npos) {
    prefix = pattern.substr(0, cut + 1);
  } else if (pattern.size() > 2 && pattern[1] == L':') {
    prefix = pattern.substr(0, 2);  // "C:*.log" names C's current directory
  }
  // A pattern without a directory matches in the current directory; the names are kept relative
  // to it rather than joined to an empty directory, which would point at the drive's root.
  return DeleteFoundFiles(pattern, prefix);
}

bool DeleteFileIfPresent(const std::wstring& path) {
  if (path.empty()) return true;
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) return true;
  return DeleteFileW(path.c_str()) != FALSE;
}

unsigned DeleteFilesIn(const std::wstring& directory) {
  if (directory.empty()) return 0;  // never the pattern of a drive's root
  std::wstring prefix = directory;
  if (!IsSeparator(prefix.back())) prefix += L'\\';
  const std::wstring pattern = prefix + L"*.*";
  if (pattern.size() >= MAX_PATH) return 0;
  return DeleteFoundFiles(pattern, prefix);
}

int DeleteTree(const std::wstring& directory) {
  // Judged once resolved: "C:\App\.." is the drive's root, and so is a variable that came out empty.
  const std::wstring target = CanonicalPath(directory);
  if (IsProtectedFromDelete(target) || target.size() >= MAX_PATH) return kDeleteTreeRefused;
  return static_cast<int>(DeleteTreeNoFollow(target));
}

bool GetUserDesktop(std::wstring& path) { return SpecialFolder(CSIDL_DESKTOPDIRECTORY, path); }
bool GetCommonDesktop(std::wstring& path) { return SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, path); }
bool GetPrograms(std::wstring& path) { return SpecialFolder(CSIDL_PROGRAMS, path); }

bool GetProgramFiles(bool want_32bit, std::wstring& path) {
  if (IsWow64() && !want_32bit) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ExpandEnvironmentStringsW(L"%ProgramW6432%", buffer, MAX_PATH);
    if (n > 0 && n <= MAX_PATH && !wcschr(buffer, L'%')) {
      path = buffer;
      return true;
    }
    wchar_t windir[MAX_PATH] = {};
    const wchar_t drive = GetWindowsDirectoryW(windir, MAX_PATH) ? windir[0] : L'C';
    path = std::wstring(1, drive) + L":\\Program Files";
    return true;
  }
  return SpecialFolder(CSIDL_PROGRAM_FILES, path);
}

bool IsWritableDirectory(const std::wstring& path) {
  if (path.empty()) return false;
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !CreateDirectories(path)) return false;
  wchar_t temp[MAX_PATH] = {};
  if (!GetTempFileNameW(path.c_str(), L"nl_", 0, temp)) return false;
  DeleteFileW(temp);
  return true;
}

bool HasFreeSpace(const std::wstring& path, std::uint64_t bytes) {
  // Only a drive-letter path has a drive to ask; "\\server\share" and relative texts do not.
  if (path.size() < 2 || path[1] != L':') return false;
  wchar_t letter = path[0];
  if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
  if (letter < L'A' || letter > L'Z') return false;
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  ULARGE_INTEGER free_to_caller{};
  if (!GetDiskFreeSpaceExW(root, &free_to_caller, nullptr, nullptr)) free_to_caller.QuadPart = 0;
  return free_to_caller.QuadPart > bytes;
}

bool ReadFileVersion(unsigned request, const std::wstring& path, FileVersionRecord& record) {
  if (path.empty() || request == 0) return false;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;

  FileVersionRecord found;
  if (request & (kVerProductVersion | kVerFileVersion)) {
    void* data = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &data, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
      const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
      if (request & kVerFileVersion)
        found[kVerFileVersion] = FormatFixedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
      if (request & kVerProductVersion)
        found[kVerProductVersion] = FormatFixedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    }
  }

  WORD language = kDefaultLanguage;
  WORD code_page = kDefaultCodePage;
  void* translation = nullptr;
  UINT translation_size = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &translation_size) &&
      translation_size >= 2 * sizeof(WORD)) {
    language = static_cast<const WORD*>(translation)[0];
    code_page = static_cast<const WORD*>(translation)[1];
  }
  for (const StringField& field : kStringFields) {
    if (!(request & field.key)) continue;
    wchar_t query[96] = {};
    swprintf(query, std::size(query), L"\\StringFileInfo\\%04x%04x\\%ls", static_cast<unsigned>(language),
             static_cast<unsigned>(code_page), field.name);
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query, &text, &length) || !text) continue;
    const auto* chars = static_cast<const wchar_t*>(text);
    found[field.key] = std::wstring(chars, wcsnlen(chars, length));
  }
  record = std::move(found);
  return true;
}

bool ReadImageBitness(const std::wstring& path, bool& is_64bit) {
  if (path.empty()) return false;
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  BYTE dos_header[64] = {};
  if (!ReadExact(file.Get(), dos_header, sizeof(dos_header))) return false;  // shorter than 64 bytes
  if (dos_header[0] != 0x4D || dos_header[1] != 0x5A) return false;
  DWORD pe_offset = 0;
  memcpy(&pe_offset, dos_header + 60, sizeof(pe_offset));
  LARGE_INTEGER coff{};
  coff.QuadPart = static_cast<LONGLONG>(pe_offset) + 4;  // past the "PE\0\0" signature
  if (!SetFilePointerEx(file.Get(), coff, nullptr, FILE_BEGIN)) return false;
  IMAGE_FILE_HEADER header{};
  static_assert(sizeof(header) == 20);
  if (!ReadExact(file.Get(), &header, sizeof(header))) return false;
  is_64bit = header.Machine == IMAGE_FILE_MACHINE_AMD64 || header.Machine == IMAGE_FILE_MACHINE_IA64;
  return true;
}

std::uint64_t ParseSize(std::wstring_view text) {
  text = text.substr(0, std::min(text.size(), kMaxSizeText));
  if (text.empty()) return 0;
  const bool floating = text.find(L'.') != std::wstring_view::npos;
  std::uint64_t unit = UnitOf(text.back());
  if (unit != 0 || text.back() == L'.') text.remove_suffix(1);
  if (unit == 0) unit = 1;

  size_t i = 0;
  while (i < text.size() && iswspace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

  if (floating) {
    double whole = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) whole = whole * 10 + (text[i] - L'0');
    double fraction = 0, scale = 1;
    if (i < text.size() && text[i] == L'.') {
      for (++i; i < text.size() && IsDigit(text[i]); ++i) {
        fraction = fraction * 10 + (text[i] - L'0');
        scale *= 10;
      }
    }
    const double bytes = (whole + fraction / scale) * static_cast<double>(unit);
    if (negative || bytes < 1) return 0;
    if (bytes >= 18446744073709551616.0) return kMax;  // 2^64
    return static_cast<std::uint64_t>(bytes);
  }

  // A signed 64-bit reading: more digits than that hold stop growing at its largest value.
  constexpr std::uint64_t kSignedMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  std::uint64_t number = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const unsigned digit = text[i] - L'0';
    number = number > (kSignedMax - digit) / 10 ? kSignedMax : number * 10 + digit;
  }
  if (negative || number == 0) return 0;
  return number > kMax / unit ? kMax : number * unit;
}

std::wstring FormatSize(std::uint64_t bytes) {
  struct Unit {
    std::uint64_t size;
    const wchar_t* letter;
  };
  static constexpr Unit kUnits[] = {
      {1ull << 50, L"P"}, {1ull << 40, L"T"}, {1ull << 30, L"G"}, {1ull << 20, L"M"}, {1ull << 10, L"K"},
  };
  const wchar_t* letter = L"B";
  double value = static_cast<double>(bytes);
  for (const Unit& unit : kUnits) {
    if (bytes >= unit.size) {
      letter = unit.letter;
      value = static_cast<double>(bytes) / static_cast<double>(unit.size);
      break;
    }
  }
  wchar_t number[64] = {};
  swprintf(number, std::size(number), L"%.1f", value);
  std::wstring text = number;
  if (text.size() > 2 && text.ends_with(L".0")) text.resize(text.size() - 2);
  return text + letter;
}

bool BrowseForFolder(HWND owner, const std::wstring& title, std::wstring& path) {
  UniqueCoTaskMem<ITEMIDLIST> root;
  if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DRIVES, root.Put()))) root.Reset();
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = root.Get();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;
  const UniqueCoTaskMem<ITEMIDLIST> chosen(SHBrowseForFolderW(&info));
  if (!chosen) return false;
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(chosen.Get(), buffer)) return false;
  path = buffer;
  return true;
}

}  // namespace tz
