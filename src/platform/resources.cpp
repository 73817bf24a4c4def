#include "platform/resources.h"

namespace tz {

bool FindOwnResource(HMODULE module, const wchar_t* type, const wchar_t* name, ResourceBytes& out) {
  const HRSRC res = FindResourceExW(module, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (!res) return false;
  const HGLOBAL loaded = LoadResource(module, res);
  const DWORD size = SizeofResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return false;
  out = ResourceBytes{data, size};
  return true;
}

}  // namespace tz
