#include "state/installer_info.h"

#include "platform/filesystem.h"
#include "platform/process.h"

void CInstallerInfo::SetInstance(HINSTANCE instance) {
  tz::ScopedLock lock(lock_);
  instance_ = instance;
}

HINSTANCE CInstallerInfo::Instance() {
  tz::ScopedLock lock(lock_);
  return instance_;
}

bool CInstallerInfo::ComputeText(int key) {
  if (key <= II_DIR) {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(Instance(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::wstring full(path, n), name, dir;
    const size_t slash = full.rfind(L'\\');
    if (slash != std::wstring::npos) {
      name = full.substr(slash + 1);
      dir = full.substr(0, slash);
    }
    tz::ScopedLock lock(lock_);
    texts_[II_PATH] = full;
    texts_[II_NAME] = name;
    texts_[II_DIR] = dir;
    return true;
  }
  if (key >= II_PRODVER && key <= II_FILEVERTEXT) {
    // One pass over the version resource; only the fields found are cached.
    std::wstring path;
    GetInfoText(II_PATH, path);
    tz::FileVersionRecord record;
    const unsigned request =
        tz::kVerProductVersion | tz::kVerFileVersion | tz::kVerProductVersionText | tz::kVerFileVersionText;
    if (path.empty() || !tz::ReadFileVersion(request, path, record)) return false;
    const std::pair<int, unsigned> fields[] = {{II_PRODVER, tz::kVerProductVersion},
                                               {II_FILEVER, tz::kVerFileVersion},
                                               {II_PRODVERTEXT, tz::kVerProductVersionText},
                                               {II_FILEVERTEXT, tz::kVerFileVersionText}};
    tz::ScopedLock lock(lock_);
    for (const auto& [k, bit] : fields) {
      auto it = record.find(bit);
      if (it != record.end()) texts_[k] = it->second;
    }
    return texts_.count(key) != 0;
  }
  if (key == II_CHANNEL) {
    std::wstring path;
    GetInfoText(II_PATH, path);
    tz::FileVersionRecord record;
    std::wstring channel = L"1";
    if (!path.empty() && tz::ReadFileVersion(tz::kVerSpecialBuild, path, record)) {
      auto it = record.find(tz::kVerSpecialBuild);
      if (it != record.end() && !it->second.empty()) channel = it->second;
    }
    tz::ScopedLock lock(lock_);
    texts_[II_CHANNEL] = channel;
    return true;
  }
  return false;
}

bool CInstallerInfo::ComputeNumber(int key) {
  if (key == II_FILESIZE) {
    std::wstring path;
    GetInfoText(II_PATH, path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    tz::ScopedLock lock(lock_);
    numbers_[II_FILESIZE] = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
  }
  if (key == II_ISXP || key == II_ISVISTAUP) {
    tz::WindowsVersion v;
    if (!tz::GetWindowsVersion(v)) return false;  // not cached: asked again next time
    tz::ScopedLock lock(lock_);
    numbers_[II_ISXP] = (v.major == 5 && v.minor == 1) ? 1 : 0;
    numbers_[II_ISVISTAUP] = v.major > 5 ? 1 : 0;
    return true;
  }
  if (key == II_IS32BITOS || key == II_IS64BITOS) {
    bool wow = false;
    if (!tz::QueryWow64(wow)) return false;  // not cached: asked again next time
    tz::ScopedLock lock(lock_);
    numbers_[II_IS32BITOS] = wow ? 0 : 1;
    numbers_[II_IS64BITOS] = wow ? 1 : 0;
    return true;
  }
  return false;
}

bool CInstallerInfo::GetInfoText(int key, std::wstring& out) {
  if (key < 0 || key > 8) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    {
      tz::ScopedLock lock(lock_);
      auto it = texts_.find(key);
      if (it != texts_.end()) {
        out = it->second;
        return true;
      }
    }
    if (attempt == 0 && !ComputeText(key)) break;
  }
  out.clear();
  return true;
}

bool CInstallerInfo::GetInfoNumber(int key, unsigned long long& out) {
  if (key < 9 || key > 16) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    {
      tz::ScopedLock lock(lock_);
      auto it = numbers_.find(key);
      if (it != numbers_.end()) {
        out = it->second;
        return true;
      }
    }
    if (attempt == 0 && !ComputeNumber(key)) break;
  }
  out = 0;
  return true;
}

void CInstallerInfo::SetInfoNumber(int key, unsigned long long value) {
  tz::ScopedLock lock(lock_);
  numbers_[key] = value;
}
