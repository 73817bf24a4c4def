#include <windows.h>

#include "core/main_flow.h"
#include "platform/dll_search.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  // Before anything is loaded by name: our folder may be a downloads folder.
  tz::RestrictDllSearch();
  return RunInstaller(instance, command_line);
}
