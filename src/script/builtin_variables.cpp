// The built-in variables: one table of name and getter, asked in order.
#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "diag/install_log.h"
#include "script/run_context.h"

namespace {

std::wstring OptionText(RunContext& run, int id) {
  std::wstring s;
  run.options.GetOptionText(id, s);
  return s;
}

std::wstring InfoText(RunContext& run, int key) {
  std::wstring s;
  run.info.GetInfoText(key, s);
  return s;
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

std::wstring ProgramFilesAlways(RunContext& run) {
  if (!run.info.Flag(II_IS64BITOS)) return Folder(CSIDL_PROGRAM_FILESX86);
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

std::wstring ChannelId(RunContext& run) {
  std::wstring channel = OptionText(run, OPT_CHANNEL);
  return channel.empty() ? InfoText(run, II_CHANNEL) : channel;
}

struct Builtin {
  const wchar_t* name;
  std::wstring (*get)(RunContext& run);
};

const Builtin kBuiltins[] = {
    {L"INSTDIR", [](RunContext& run) { return OptionText(run, OPT_INSTDIR); }},
    {L"DEFINSTDIR", [](RunContext& run) { return OptionText(run, OPT_DEFAULTPATH); }},
    {L"INSTALLER", [](RunContext& run) { return InfoText(run, II_PATH); }},
    {L"INSTALLERNAME", [](RunContext& run) { return InfoText(run, II_NAME); }},
    {L"INSTALLERDIR", [](RunContext& run) { return InfoText(run, II_DIR); }},
    {L"INSTPRODVER", [](RunContext& run) { return InfoText(run, II_PRODVER); }},
    {L"PRODVER", [](RunContext& run) { return InfoText(run, II_PRODVER); }},
    {L"INSTFILEVER", [](RunContext& run) { return InfoText(run, II_FILEVER); }},
    {L"FILEVER", [](RunContext& run) { return InfoText(run, II_FILEVER); }},
    {L"PRODVERTEXT", [](RunContext& run) { return InfoText(run, II_PRODVERTEXT); }},
    {L"FILEVERTEXT", [](RunContext& run) { return InfoText(run, II_FILEVERTEXT); }},
    {L"APPNAME", [](RunContext& run) { return OptionText(run, OPT_APPNAME); }},
    {L"USERDESKTOP", [](RunContext&) { return Folder(CSIDL_DESKTOPDIRECTORY); }},
    {L"PUBLICDESKTOP", [](RunContext&) { return Folder(CSIDL_COMMON_DESKTOPDIRECTORY); }},
    {L"SMPROGRAMS", [](RunContext&) { return Folder(CSIDL_PROGRAMS); }},
    {L"PROGRAMFILES32BIT", [](RunContext&) { return Folder(CSIDL_PROGRAM_FILESX86); }},
    {L"PROGRAMFILEALWAYS", ProgramFilesAlways},
    {L"CURDATE", [](RunContext&) { return Now(L"%04hd-%02hd-%02hd", true); }},
    {L"CURTIME", [](RunContext&) { return Now(L"%02hd:%02hd:%02hd", false); }},
    {L"CURTIME1", [](RunContext&) { return Now(L"%02hd-%02hd-%02hd", false); }},
    {L"CHANNELID", ChannelId},
};

}  // namespace

bool CVariableStore::GetBuiltin(const std::wstring& name, std::wstring& out) {
  for (const Builtin& b : kBuiltins) {
    if (name == b.name) {
      out = b.get(run_);
      return true;
    }
  }
  return false;
}
