// lnkdump FILE.lnk: reads a shell link back through IShellLinkW and prints, in UTF-8, one
// "field<TAB>text" line each for target, workdir, args, icon ("path,index") and description.
// Exit code 3 when the link cannot be loaded, 2 on bad usage or when COM is unavailable.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "platform/encoding.h"

namespace {

constexpr int kChars = 1024;

void Print(const char* field, const wchar_t* text) {
  const std::string line = std::string(field) + '\t' + tz::WideToUtf8(text) + '\n';
  fwrite(line.data(), 1, line.size(), stdout);
}

int Dump(const wchar_t* file) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return 2;
  IPersistFile* persist = nullptr;
  int code = 3;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(file, STGM_READ))) {
    wchar_t text[kChars] = {};
    link->GetPath(text, kChars, nullptr, SLGP_RAWPATH);
    Print("target", text);
    text[0] = 0;
    link->GetWorkingDirectory(text, kChars);
    Print("workdir", text);
    text[0] = 0;
    link->GetArguments(text, kChars);
    Print("args", text);
    text[0] = 0;
    int index = 0;
    link->GetIconLocation(text, kChars, &index);
    Print("icon", (std::wstring(text) + L"," + std::to_wstring(index)).c_str());
    text[0] = 0;
    link->GetDescription(text, kChars);
    Print("description", text);
    code = 0;
  }
  if (persist) persist->Release();
  link->Release();
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int code = Dump(argv[1]);
  fflush(stdout);
  CoUninitialize();
  return code;
}
