// svcquery NAME: prints the configuration of a service, one "field=value" per line in UTF-8:
// type, start, error, binary, group, dependencies (comma-joined), account, display, and
// depend_on_service: the dependency list as the service's registry key stores it (Wine 8's
// QueryServiceConfigW leaves the dependencies out). Exit code 3 when the service does not exist,
// 2 when the service manager cannot be asked.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/encoding.h"

namespace {

std::wstring Text(const wchar_t* text) { return text ? text : L""; }

// "a\0b\0\0" -> "a,b"
std::wstring JoinList(const wchar_t* list) {
  std::wstring joined;
  for (const wchar_t* p = list; p && *p; p += wcslen(p) + 1) {
    if (!joined.empty()) joined += L',';
    joined += p;
  }
  return joined;
}

// The REG_MULTI_SZ "DependOnService" of the service's key, comma-joined.
std::wstring StoredDependencies(const wchar_t* service) {
  const std::wstring key = std::wstring(L"System\\CurrentControlSet\\Services\\") + service;
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS)
    return {};
  std::vector<wchar_t> list(size / sizeof(wchar_t) + 2, L'\0');
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, list.data(),
                   &size) != ERROR_SUCCESS)
    return {};
  return JoinList(list.data());
}

void Print(const char* field, const std::wstring& value) {
  const std::string line = std::string(field) + "=" + tz::WideToUtf8(value) + "\n";
  fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return 2;
  const SC_HANDLE service = OpenServiceW(manager, argv[1], SERVICE_QUERY_CONFIG);
  if (!service) {
    CloseServiceHandle(manager);
    return 3;
  }
  DWORD needed = 0;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  const bool ok = QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed) != FALSE;
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  if (!ok) return 2;
  Print("type", std::to_wstring(config->dwServiceType));
  Print("start", std::to_wstring(config->dwStartType));
  Print("error", std::to_wstring(config->dwErrorControl));
  Print("binary", Text(config->lpBinaryPathName));
  Print("group", Text(config->lpLoadOrderGroup));
  Print("dependencies", JoinList(config->lpDependencies));
  Print("account", Text(config->lpServiceStartName));
  Print("display", Text(config->lpDisplayName));
  Print("depend_on_service", StoredDependencies(argv[1]));
  return 0;
}
