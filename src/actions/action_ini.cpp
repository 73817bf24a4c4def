// ini: writes keys of one section of an INI file, creating the file's directory first.
#include <shlwapi.h>

#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "conditions/compare.h"
#include "platform/filesystem.h"
#include "script/script_values.h"

namespace {

bool IsDirectory(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's directory exists afterwards. A path that does not fit the 260-character buffer the
// directory is cut in has no directory we could name, so it fails rather than being cut short.
bool EnsureParentDirectory(const std::wstring& file) {
  wchar_t directory[MAX_PATH] = {};
  if (file.empty() || file.size() >= MAX_PATH) return false;
  file.copy(directory, file.size());
  PathRemoveFileSpecW(directory);
  if (directory[0] == L'\0') return false;
  return IsDirectory(directory) || tz::CreateDirectories(directory);
}

bool HasComma(const std::wstring& text) { return text.find(L',') != std::wstring::npos; }

}  // namespace

int RunIniAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring file = man.Expand(item.path);
  if (!EnsureParentDirectory(file)) return man.RunFailurePath(item);
  const std::wstring section = man.Expand(item.param1);

  // Keys are names and lose blanks and empty items; values keep empty items between commas, so
  // "1,,3" is three values.
  std::vector<std::wstring> keys;
  if (HasComma(item.name))
    keys = tz::SplitTrim(item.name, L',');
  else if (!item.name.empty())
    keys.push_back(item.name);
  const std::vector<std::wstring> values = HasComma(item.value) ? tz::SplitKeep(item.value, L',')
                                                                 : std::vector<std::wstring>{item.value};
  if (keys.empty() || keys.size() != values.size()) return ACTION_NOTHING;

  for (size_t i = 0; i < keys.size(); ++i) {
    const std::wstring key = man.Expand(keys[i]);
    const std::wstring data = man.Expand(values[i]);
    // Keys written before a failure stay: the failure path decides what to do about them.
    if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), data.c_str(), file.c_str()))
      return man.RunFailurePath(item);
  }
  return ACTION_DONE;
}
