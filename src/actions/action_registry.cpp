// regwrite and regdel: write values into, and delete values or keys from, the registry in the views
// the item's `method` names.
#include "actions/action_handlers.h"
#include "actions/action_man.h"
#include "platform/registry.h"
#include "script/script_values.h"

namespace {

// regdel modes (`param1`).
enum RegDeleteMode { REGDEL_VALUES = 0, REGDEL_KEY_IF_EMPTY = 1, REGDEL_KEY_TREE = 2 };

// The views a registry action works in, in order: the 32-bit view first when both are wanted; the
// default view when the words name none. On 32-bit Windows the 64-bit view bit is simply ignored.
std::vector<int> ViewPasses(const std::wstring& method) {
  const tz::RegViewWanted wanted = tz::ParseViewWords(method);
  if (wanted.view32 && wanted.view64) return {tz::kRegView32, tz::kRegView64};
  if (wanted.view32) return {tz::kRegView32};
  if (wanted.view64) return {tz::kRegView64};
  return {tz::kRegViewDefault};
}

bool HasComma(const std::wstring& text) { return text.find(L',') != std::wstring::npos; }

// "HKLM\Software\%APPKEY%" with an empty variable names HKLM\Software itself: a key path with an
// empty component (a doubled or trailing backslash) is never one a key delete may act on.
bool HasEmptyComponent(const std::wstring& key) {
  return key.find(L"\\\\") != std::wstring::npos || (!key.empty() && key.back() == L'\\');
}

}  // namespace

int RunRegWriteAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring key = man.Expand(item.path);
  const std::vector<int> views = ViewPasses(item.method);
  bool written = true;

  if (!HasComma(item.name)) {
    const std::wstring name = man.Expand(item.name);
    const std::wstring data = man.Expand(item.value);
    const DWORD type = tz::ParseTypeWord(item.param1);  // a single type word is taken as written
    // Every view is written even after a failure, so one bad view does not hide the other.
    for (const int view : views) written = tz::WriteValue(key, name, data, type, view) && written;
    return written ? ACTION_DONE : ACTION_NOTHING;
  }

  // The lists are split before expansion: an expanded text may hold commas of its own.
  const std::vector<std::wstring> name_items = tz::SplitTrim(item.name, L',');
  const std::vector<std::wstring> data_items = tz::SplitTrim(item.value, L',');
  const std::vector<std::wstring> type_items = tz::SplitTrim(item.param1, L',');
  if (name_items.empty() || name_items.size() != data_items.size() || name_items.size() != type_items.size())
    return ACTION_NOTHING;

  std::vector<std::wstring> names;
  std::vector<std::wstring> datas;
  std::vector<DWORD> types;
  names.reserve(name_items.size());
  datas.reserve(name_items.size());
  types.reserve(name_items.size());
  for (size_t i = 0; i < name_items.size(); ++i) {
    names.push_back(man.Expand(name_items[i]));
    datas.push_back(man.Expand(data_items[i]));
    types.push_back(tz::ParseTypeWord(man.Expand(type_items[i])));
  }
  for (const int view : views) written = tz::WriteValues(key, names, datas, types, view) && written;
  return written ? ACTION_DONE : ACTION_NOTHING;
}

int RunRegDeleteAction(CActionMan& man, const ActionRecord& item) {
  const std::wstring key = man.Expand(item.path);
  const int mode = tz::ParseDecimal(man.Expand(item.param1));
  const std::vector<int> views = ViewPasses(item.method);

  switch (mode) {
    case REGDEL_VALUES: {
      std::vector<std::wstring> names;
      for (const std::wstring& name : tz::SplitTrim(item.name, L',')) names.push_back(man.Expand(name));
      // Values that are already gone are what the script wants: nothing to report either way.
      for (const int view : views) tz::DeleteValues(key, names, view);
      return ACTION_NOTHING;
    }
    case REGDEL_KEY_IF_EMPTY:
    case REGDEL_KEY_TREE: {
      if (HasEmptyComponent(key)) return man.RunFailurePath(item);
      bool deleted = false;
      for (const int view : views) deleted = tz::DeleteKey(key, mode == REGDEL_KEY_IF_EMPTY, view) || deleted;
      return deleted ? ACTION_DONE : man.RunFailurePath(item);
    }
    default:
      return ACTION_NOTHING;
  }
}
