// respack: writes a product's resources into a copy of a built setup.exe.
//
//   respack.exe SOURCE.exe DEST.exe [TYPE NAME FILE [LANGID]]...
//
// The copy keeps every resource of SOURCE except those of the installer's content types
// ("FILE", "LANG", "UI" and RT_RCDATA) and then receives the listed ones. TYPE and NAME are
// numbers (10 for RT_RCDATA, 301) or texts ("FILE", "zh-cn"); LANGID defaults to 1033.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct ResName {
  bool is_id = false;
  WORD id = 0;
  std::wstring text;

  static ResName From(LPCWSTR p) {
    ResName r;
    if (IS_INTRESOURCE(p)) {
      r.is_id = true;
      r.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(p));
    } else {
      r.text = p;
    }
    return r;
  }
  static ResName Parse(const std::wstring& s) {
    ResName r;
    wchar_t* end = nullptr;
    const unsigned long v = wcstoul(s.c_str(), &end, 10);
    if (!s.empty() && end && *end == 0 && v <= 0xFFFF) {
      r.is_id = true;
      r.id = static_cast<WORD>(v);
    } else {
      r.text = s;
    }
    return r;
  }
  LPCWSTR Ptr() const { return is_id ? MAKEINTRESOURCEW(id) : text.c_str(); }
  bool Same(const ResName& o) const {
    return is_id == o.is_id && (is_id ? id == o.id : _wcsicmp(text.c_str(), o.text.c_str()) == 0);
  }
};

struct Resource {
  ResName type, name;
  WORD lang = 0;
  std::vector<char> data;
};

bool IsContentType(const ResName& t) {
  if (t.is_id) return t.id == 10;  // RT_RCDATA
  return _wcsicmp(t.text.c_str(), L"FILE") == 0 || _wcsicmp(t.text.c_str(), L"LANG") == 0 ||
         _wcsicmp(t.text.c_str(), L"UI") == 0;
}

struct EnumState {
  HMODULE module;
  std::vector<Resource>* out;
};

BOOL CALLBACK OnLang(HMODULE m, LPCWSTR type, LPCWSTR name, WORD lang, LONG_PTR param) {
  auto* st = reinterpret_cast<EnumState*>(param);
  Resource r;
  r.type = ResName::From(type);
  r.name = ResName::From(name);
  r.lang = lang;
  HRSRC h = FindResourceExW(m, type, name, lang);
  if (!h) return TRUE;
  HGLOBAL g = LoadResource(m, h);
  const DWORD size = SizeofResource(m, h);
  const char* p = g ? static_cast<const char*>(LockResource(g)) : nullptr;
  if (p && size) r.data.assign(p, p + size);
  st->out->push_back(std::move(r));
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  EnumResourceLanguagesW(m, type, name, OnLang, param);
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE m, LPWSTR type, LONG_PTR param) {
  EnumResourceNamesW(m, type, OnName, param);
  return TRUE;
}

bool ReadWholeFile(const std::wstring& path, std::vector<char>& out) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(f, &size) && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = out.empty() || (ReadFile(f, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size());
  }
  CloseHandle(f);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: respack SOURCE.exe DEST.exe [TYPE NAME FILE [LANGID]]...\n");
    return 2;
  }
  const std::wstring source = argv[1], dest = argv[2];
  std::vector<Resource> added;
  for (int i = 3; i < argc;) {
    if (i + 2 >= argc) {
      fwprintf(stderr, L"respack: incomplete resource triple\n");
      return 2;
    }
    Resource r;
    r.type = ResName::Parse(argv[i]);
    r.name = ResName::Parse(argv[i + 1]);
    r.lang = 1033;
    const std::wstring file = argv[i + 2];
    i += 3;
    if (i < argc && argv[i][0] == L'#') {  // optional "#LANGID"
      r.lang = static_cast<WORD>(wcstoul(argv[i] + 1, nullptr, 10));
      ++i;
    }
    if (!ReadWholeFile(file, r.data)) {
      fwprintf(stderr, L"respack: cannot read %ls\n", file.c_str());
      return 1;
    }
    added.push_back(std::move(r));
  }

  std::vector<Resource> kept;
  {
    HMODULE m = LoadLibraryExW(source.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) {
      fwprintf(stderr, L"respack: cannot load %ls (%lu)\n", source.c_str(), GetLastError());
      return 1;
    }
    std::vector<Resource> all;
    EnumState st{m, &all};
    EnumResourceTypesW(m, OnType, reinterpret_cast<LONG_PTR>(&st));
    FreeLibrary(m);
    for (auto& r : all)
      if (!IsContentType(r.type)) kept.push_back(std::move(r));
  }

  if (!CopyFileW(source.c_str(), dest.c_str(), FALSE)) {
    fwprintf(stderr, L"respack: cannot copy to %ls (%lu)\n", dest.c_str(), GetLastError());
    return 1;
  }
  // Wine ignores requests to delete single resources, so the table is rebuilt from scratch.
  HANDLE update = BeginUpdateResourceW(dest.c_str(), TRUE);
  if (!update) {
    fwprintf(stderr, L"respack: BeginUpdateResource failed (%lu)\n", GetLastError());
    return 1;
  }
  bool ok = true;
  for (auto* list : {&kept, &added})
    for (auto& r : *list) {
      if (r.data.empty()) continue;  // an empty update would be a delete request
      ok = ok && UpdateResourceW(update, r.type.Ptr(), r.name.Ptr(), r.lang, r.data.data(),
                                 static_cast<DWORD>(r.data.size()));
    }
  if (!EndUpdateResourceW(update, ok ? FALSE : TRUE) || !ok) {
    fwprintf(stderr, L"respack: writing resources failed (%lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
