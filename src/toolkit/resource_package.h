#pragma once
// Where skinned windows read their descriptions, images and texts from: an in-memory ZIP package
// (the only source the installer uses) and the string table of the current language.
// Process-wide: set up once on the first thread before any window is created, read afterwards.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tzui {

enum class ResourceSource { kNone, kZipMemory };

class CResourceManager {
 public:
  static CResourceManager& Instance();

  void SetResourceSource(ResourceSource source) { source_ = source; }
  ResourceSource Source() const { return source_; }

  // The package stays owned by the caller and must outlive every window. `password` must be
  // empty (encrypted packages are refused). False when the bytes are not a readable ZIP archive;
  // the previous package is dropped either way.
  bool SetZipPackage(const void* data, size_t size, std::wstring_view password = {});
  void ClearPackage();

  // Entry names use either separator and ignore case ("sysbtn\wnd_close.png").
  bool HasEntry(std::wstring_view path) const;
  bool ReadEntry(std::wstring_view path, std::vector<std::uint8_t>& out) const;

  // A "StringTable" document of "Text" elements (id, value). Later tables add to (and override)
  // earlier ones. False (nothing changed) when the entry is missing or not such a document.
  bool LoadStringTable(std::wstring_view path);
  // A resource list (id → file); the installer's package carries none. False when missing.
  bool LoadResourceList(std::wstring_view path);
  // The text for `id`, or nullptr.
  const std::wstring* FindText(std::wstring_view id) const;
  void ClearStringTable() { texts_.clear(); }

  // The module whose resources and instance the windows use.
  void SetInstance(HINSTANCE instance) { instance_ = instance; }
  HINSTANCE ModuleInstance() const { return instance_; }

 private:
  CResourceManager();
  ~CResourceManager();
  struct Entry {
    std::uint32_t index = 0;
    std::uint64_t size = 0;
  };
  static std::wstring NormaliseName(std::wstring_view path);

  struct Archive;  // the open archive of the package (the 7-Zip library's zip handler)

  ResourceSource source_ = ResourceSource::kNone;
  std::unique_ptr<Archive> archive_;
  std::map<std::wstring, Entry> entries_;
  std::map<std::wstring, std::wstring, std::less<>> texts_;
  std::map<std::wstring, std::wstring, std::less<>> resource_list_;
  HINSTANCE instance_ = nullptr;
};

}  // namespace tzui
