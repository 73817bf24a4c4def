// The built-in variables: one table of name and getter, asked in order.
#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "core/options_store.h"
#include "diag/install_log.h"
#include "script/installer_info.h"
#include "script/variable_store.h"

namespace {

std::wstring OptionText(int id) {
  std::wstring s;
  GetOptions().GetOptionText(id, s);
  return s;
}

std::wstring InfoText(int key) {
  std::wstring s;
  GetInstallerInfo().GetInfoText(key, s);
  return s;
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

bool Is64BitSystem() {
  unsigned long long v = 0;
  GetInstallerInfo().GetInfoNumber(II_IS64BITOS, v);
  return v != 0;
}

std::wstring ProgramFilesAlways() {
  if (!Is64BitSystem()) return Folder(CSIDL_PROGRAM_FILESX86);
  wchar_t buf[MAX_PATH] = {};
  const DWORD n = ExpandEnvironmentStringsW(L"%ProgramW6432%", buf, MAX_PATH);
  if (n > 0 && n <= MAX_PATH && buf[0] != L'%') return buf;
  wchar_t windir[MAX_PATH] = {};
  GetWindowsDirectoryW(windir, MAX_PATH);
  return FormatText(L"%c:\\Program Files", windir[0] ? windir[0] : L'C');
}

std::wstring Now(const wchar_t* format, bool date) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return date ? FormatText(format, t.wYear, t.wMonth, t.wDay) : FormatText(format, t.wHour, t.wMinute, t.wSecond);
}

std::wstring ChannelId() {
  std::wstring channel = OptionText(OPT_CHANNEL);
  return channel.empty() ? InfoText(II_CHANNEL) : channel;
}

struct Builtin {
  const wchar_t* name;
  std::wstring (*get)();
};

const Builtin kBuiltins[] = {
    {L"INSTDIR", [] { return OptionText(OPT_INSTDIR); }},
    {L"DEFINSTDIR", [] { return OptionText(OPT_DEFAULTPATH); }},
    {L"INSTALLER", [] { return InfoText(II_PATH); }},
    {L"INSTALLERNAME", [] { return InfoText(II_NAME); }},
    {L"INSTALLERDIR", [] { return InfoText(II_DIR); }},
    {L"INSTPRODVER", [] { return InfoText(II_PRODVER); }},
    {L"PRODVER", [] { return InfoText(II_PRODVER); }},
    {L"INSTFILEVER", [] { return InfoText(II_FILEVER); }},
    {L"FILEVER", [] { return InfoText(II_FILEVER); }},
    {L"PRODVERTEXT", [] { return InfoText(II_PRODVERTEXT); }},
    {L"FILEVERTEXT", [] { return InfoText(II_FILEVERTEXT); }},
    {L"APPNAME", [] { return OptionText(OPT_APPNAME); }},
    {L"USERDESKTOP", [] { return Folder(CSIDL_DESKTOPDIRECTORY); }},
    {L"PUBLICDESKTOP", [] { return Folder(CSIDL_COMMON_DESKTOPDIRECTORY); }},
    {L"SMPROGRAMS", [] { return Folder(CSIDL_PROGRAMS); }},
    {L"PROGRAMFILES32BIT", [] { return Folder(CSIDL_PROGRAM_FILESX86); }},
    {L"PROGRAMFILEALWAYS", ProgramFilesAlways},
    {L"CURDATE", [] { return Now(L"%04hd-%02hd-%02hd", true); }},
    {L"CURTIME", [] { return Now(L"%02hd:%02hd:%02hd", false); }},
    {L"CURTIME1", [] { return Now(L"%02hd-%02hd-%02hd", false); }},
    {L"CHANNELID", ChannelId},
};

}  // namespace

bool CVariableStore::GetBuiltin(const std::wstring& name, std::wstring& out) {
  for (const Builtin& b : kBuiltins) {
    if (name == b.name) {
      out = b.get();
      return true;
    }
  }
  return false;
}
