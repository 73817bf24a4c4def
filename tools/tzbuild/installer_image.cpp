#include "installer_image.h"

#include <cstring>

#include "diagnostics.h"
#include "files.h"
#include "platform/handles.h"

namespace tzbuild {

namespace {

constexpr WORD kResourceLanguage = 1033;  // the engine finds its resources under this language

// --- Version resource: nested blocks of {length, value length, type, key, value, children}.

class Block {
 public:
  Block(const std::wstring& key, WORD type) {
    PutWord(0);
    PutWord(0);
    PutWord(type);
    Put(key.c_str(), (key.size() + 1) * sizeof(wchar_t));
    Align();
  }
  void SetValue(const void* data, size_t bytes, WORD value_length) {
    memcpy(bytes_.data() + 2, &value_length, 2);
    Put(data, bytes);
    Align();
  }
  void Add(const Block& child) {
    Align();
    bytes_ += child.Bytes();
  }
  std::string Bytes() const {
    std::string b = bytes_;
    const WORD length = static_cast<WORD>(b.size());
    memcpy(b.data(), &length, 2);
    return b;
  }

 private:
  void PutWord(WORD w) { Put(&w, 2); }
  void Put(const void* data, size_t n) { bytes_.append(static_cast<const char*>(data), n); }
  void Align() {
    while (bytes_.size() % 4) bytes_.push_back('\0');
  }
  std::string bytes_;
};

Block StringValue(const std::wstring& key, const std::string& utf8) {
  Block b(key, 1);
  const std::wstring text = FromUtf8(utf8);
  b.SetValue(text.c_str(), (text.size() + 1) * sizeof(wchar_t), static_cast<WORD>(text.size() + 1));
  return b;
}

// --- Resources kept from the engine image

struct Resource {
  bool type_is_id = false, name_is_id = false;
  WORD type_id = 0, name_id = 0;
  std::wstring type_text, name_text;
  WORD lang = 0;
  std::string data;

  LPCWSTR Type() const { return type_is_id ? MAKEINTRESOURCEW(type_id) : type_text.c_str(); }
  LPCWSTR Name() const { return name_is_id ? MAKEINTRESOURCEW(name_id) : name_text.c_str(); }
};

void SetName(LPCWSTR p, bool& is_id, WORD& id, std::wstring& text) {
  is_id = IS_INTRESOURCE(p);
  if (is_id)
    id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(p));
  else
    text = p;
}

BOOL CALLBACK OnLang(HMODULE m, LPCWSTR type, LPCWSTR name, WORD lang, LONG_PTR param) {
  auto* out = reinterpret_cast<std::vector<Resource>*>(param);
  Resource r;
  SetName(type, r.type_is_id, r.type_id, r.type_text);
  SetName(name, r.name_is_id, r.name_id, r.name_text);
  r.lang = lang;
  HRSRC h = FindResourceExW(m, type, name, lang);
  HGLOBAL g = h ? LoadResource(m, h) : nullptr;
  const char* p = g ? static_cast<const char*>(LockResource(g)) : nullptr;
  if (p) r.data.assign(p, SizeofResource(m, h));
  out->push_back(std::move(r));
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

}  // namespace

std::string BuildVersionResource(const VersionInfo& v) {
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = 0xFEEF04BD;
  fixed.dwStrucVersion = 0x00010000;
  fixed.dwFileVersionMS = (DWORD{v.file[0]} << 16) | v.file[1];
  fixed.dwFileVersionLS = (DWORD{v.file[2]} << 16) | v.file[3];
  fixed.dwProductVersionMS = (DWORD{v.product[0]} << 16) | v.product[1];
  fixed.dwProductVersionLS = (DWORD{v.product[2]} << 16) | v.product[3];
  fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
  fixed.dwFileOS = VOS_NT_WINDOWS32;
  fixed.dwFileType = VFT_APP;

  Block table(L"040904b0", 1);  // English (US), UTF-16
  table.Add(StringValue(L"CompanyName", v.company));
  table.Add(StringValue(L"FileDescription", v.description));
  table.Add(StringValue(L"FileVersion", v.file_text));
  if (!v.copyright.empty()) table.Add(StringValue(L"LegalCopyright", v.copyright));
  table.Add(StringValue(L"ProductName", v.product_name));
  table.Add(StringValue(L"ProductVersion", v.product_text));
  Block strings(L"StringFileInfo", 1);
  strings.Add(table);

  Block translation(L"Translation", 0);
  const WORD pair[2] = {0x0409, 1200};
  translation.SetValue(pair, sizeof pair, sizeof pair);
  Block vars(L"VarFileInfo", 1);
  vars.Add(translation);

  Block root(L"VS_VERSION_INFO", 0);
  root.SetValue(&fixed, sizeof fixed, sizeof fixed);
  root.Add(strings);
  root.Add(vars);
  return root.Bytes();
}

bool SplitIcon(const std::string& ico, WORD first_id, std::vector<std::string>& images, std::string& group,
               std::string& error) {
  images.clear();
  group.clear();
  auto word = [&](size_t at) { return static_cast<WORD>(static_cast<unsigned char>(ico[at]) | (static_cast<unsigned char>(ico[at + 1]) << 8)); };
  auto dword = [&](size_t at) { return static_cast<DWORD>(word(at)) | (static_cast<DWORD>(word(at + 2)) << 16); };
  if (ico.size() < 6 || word(0) != 0 || word(2) != 1 || word(4) == 0) {
    error = "not an icon file (no icon directory at its start)";
    return false;
  }
  const WORD count = word(4);
  if (ico.size() < 6 + size_t{count} * 16) {
    error = "the icon directory is cut short";
    return false;
  }
  group.append(ico, 0, 6);
  for (WORD i = 0; i < count; ++i) {
    const size_t entry = 6 + size_t{i} * 16;
    const DWORD size = dword(entry + 8), offset = dword(entry + 12);
    if (size == 0 || offset > ico.size() || size > ico.size() - offset) {
      error = "icon image " + std::to_string(i + 1) + " lies outside the file";
      return false;
    }
    images.push_back(ico.substr(offset, size));
    group.append(ico, entry, 12);  // width .. bytes in resource
    const WORD id = static_cast<WORD>(first_id + i);
    group.append(reinterpret_cast<const char*>(&id), 2);
  }
  return true;
}

bool WriteInstaller(const std::string& engine, const std::wstring& path, const std::vector<ProductResource>& resources,
                    const std::string* version, const std::string* icon_file, std::string& error) {
  DWORD code = 0;
  if (!WriteWholeFile(path, engine.data(), engine.size(), code)) {
    error = "cannot write " + ToUtf8(path) + ": " + ErrorText(code);
    return false;
  }
  std::vector<Resource> kept;
  {
    tz::UniqueHmodule image(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!image) {
      error = "the engine image cannot be loaded: " + ErrorText(GetLastError());
      return false;
    }
    std::vector<Resource> all;
    EnumResourceTypesW(image.Get(), OnType, reinterpret_cast<LONG_PTR>(&all));
    for (auto& r : all) {
      if (!r.type_is_id) {
        // "FILE", "LANG", "UI" and RT_RCDATA hold some other product's content.
        const wchar_t* t = r.type_text.c_str();
        if (_wcsicmp(t, L"FILE") != 0 && _wcsicmp(t, L"LANG") != 0 && _wcsicmp(t, L"UI") != 0) kept.push_back(std::move(r));
        continue;
      }
      const WORD t = r.type_id;
      if (t == 10) continue;
      if (version && t == 16) continue;
      if (icon_file && (t == 3 || t == 14)) continue;
      kept.push_back(std::move(r));
    }
  }
  std::vector<Resource> added;
  for (const auto& p : resources) {
    Resource r;
    r.type_text = p.type;
    // A LANG resource keeps a name made of digits as a name: the engine asks for it by text.
    r.name_is_id = p.id != 0;
    r.name_id = p.id;
    r.name_text = p.name;
    r.lang = kResourceLanguage;
    r.data = p.data;
    added.push_back(std::move(r));
  }
  if (version) {
    Resource r;
    r.type_is_id = r.name_is_id = true;
    r.type_id = 16;
    r.name_id = 1;
    r.lang = kResourceLanguage;
    r.data = *version;
    added.push_back(std::move(r));
  }
  if (icon_file) {
    std::vector<std::string> images;
    std::string group;
    if (!SplitIcon(*icon_file, 1, images, group, error)) return false;
    for (size_t i = 0; i < images.size(); ++i) {
      Resource r;
      r.type_is_id = r.name_is_id = true;
      r.type_id = 3;
      r.name_id = static_cast<WORD>(1 + i);
      r.lang = kResourceLanguage;
      r.data = images[i];
      added.push_back(std::move(r));
    }
    Resource g;
    g.type_is_id = g.name_is_id = true;
    g.type_id = 14;
    g.name_id = 1;
    g.lang = kResourceLanguage;
    g.data = group;
    added.push_back(std::move(g));
  }

  // The table is rebuilt from scratch: Wine ignores requests to delete single resources.
  HANDLE update = BeginUpdateResourceW(path.c_str(), TRUE);
  if (!update) {
    error = "cannot update the resources of " + ToUtf8(path) + ": " + ErrorText(GetLastError());
    return false;
  }
  bool ok = true;
  for (const auto* list : {&kept, &added})
    for (const auto& r : *list) {
      if (r.data.empty()) continue;  // an empty update would be a delete request
      if (!ok) break;
      ok = UpdateResourceW(update, r.Type(), r.Name(), r.lang, const_cast<char*>(r.data.data()),
                           static_cast<DWORD>(r.data.size())) != FALSE;
      if (!ok) code = GetLastError();
    }
  if (!EndUpdateResourceW(update, ok ? FALSE : TRUE)) {
    if (ok) code = GetLastError();
    ok = false;
  }
  if (!ok) {
    error = "writing the resources failed: " + ErrorText(code);
    return false;
  }
  return true;
}

}  // namespace tzbuild
