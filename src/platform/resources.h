#pragma once
// Resources of a loaded image (the installer's own: its script, payloads and language strings).
#include <windows.h>

namespace tz {

struct ResourceBytes {
  const void* data = nullptr;
  DWORD size = 0;
};

// Resource `name` of `type`, language 1033 (en-US), of `module`. An empty resource is as good as
// none: SizeofResource reports a failure as 0.
bool FindOwnResource(HMODULE module, const wchar_t* type, const wchar_t* name, ResourceBytes& out);

}  // namespace tz
