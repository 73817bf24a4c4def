#include <windows.h>

#include "core/main_flow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  return RunInstaller(instance, command_line);
}
