#include "toolkit/resource_package.h"

#include <ole2.h>

#include <cwctype>

#include "CPP/7zip/Archive/IArchive.h"
#include "CPP/7zip/IStream.h"
#include "CPP/Common/MyCom.h"
#include "platform/encoding.h"
#include "platform/sync.h"
#include "rapidxml/rapidxml.hpp"

STDAPI CreateObject(const GUID* clsid, const GUID* iid, void** outObject);

namespace tzui {

namespace {

// {23170F69-40C1-278A-1000-000110010000}: the library's zip handler.
const GUID kZipHandler = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x01, 0x00, 0x00}};

// The package bytes as the archive library reads them; owns nothing.
class CPackageInStream final : public IInStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialInStream, IInStream)

 public:
  CPackageInStream(const Byte* data, UInt64 size) : data_(data), size_(size) {}

 private:
  const Byte* data_;
  UInt64 size_;
  UInt64 pos_ = 0;
};

Z7_COM7F_IMF(CPackageInStream::Read(void* data, UInt32 size, UInt32* processedSize)) {
  UInt64 left = pos_ < size_ ? size_ - pos_ : 0;
  const UInt32 n = static_cast<UInt32>(left < size ? left : size);
  if (n) memcpy(data, data_ + pos_, n);
  pos_ += n;
  if (processedSize) *processedSize = n;
  return S_OK;
}

Z7_COM7F_IMF(CPackageInStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  Int64 base = 0;
  switch (seekOrigin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<Int64>(pos_); break;
    case STREAM_SEEK_END: base = static_cast<Int64>(size_); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  const Int64 target = base + offset;
  if (target < 0) return HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK);
  pos_ = static_cast<UInt64>(target);
  if (newPosition) *newPosition = pos_;
  return S_OK;
}

// Collects one entry's bytes, refusing more than the archive announced.
class CEntryOutStream final : public ISequentialOutStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(ISequentialOutStream)

 public:
  CEntryOutStream(std::vector<std::uint8_t>& out, UInt64 limit) : out_(out), limit_(limit) {}

 private:
  std::vector<std::uint8_t>& out_;
  UInt64 limit_;
};

Z7_COM7F_IMF(CEntryOutStream::Write(const void* data, UInt32 size, UInt32* processedSize)) {
  if (processedSize) *processedSize = 0;
  if (out_.size() + size > limit_) return E_FAIL;
  const Byte* bytes = static_cast<const Byte*>(data);
  out_.insert(out_.end(), bytes, bytes + size);
  if (processedSize) *processedSize = size;
  return S_OK;
}

class CEntryExtractCallback final : public IArchiveExtractCallback, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(IArchiveExtractCallback)
  Z7_IFACE_COM7_IMP(IProgress)

 public:
  CEntryExtractCallback(UInt32 index, std::vector<std::uint8_t>& out, UInt64 limit)
      : index_(index), out_(out), limit_(limit) {}
  Int32 Result() const { return result_; }

 private:
  UInt32 index_;
  std::vector<std::uint8_t>& out_;
  UInt64 limit_;
  Int32 result_ = -1;
};

Z7_COM7F_IMF(CEntryExtractCallback::SetTotal(UInt64)) { return S_OK; }
Z7_COM7F_IMF(CEntryExtractCallback::SetCompleted(const UInt64*)) { return S_OK; }
Z7_COM7F_IMF(CEntryExtractCallback::PrepareOperation(Int32)) { return S_OK; }
Z7_COM7F_IMF(CEntryExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode)) {
  *outStream = nullptr;
  if (index != index_ || askExtractMode != NArchive::NExtract::NAskMode::kExtract) return S_OK;
  CMyComPtr<ISequentialOutStream> stream = new CEntryOutStream(out_, limit_);
  *outStream = stream.Detach();
  return S_OK;
}
Z7_COM7F_IMF(CEntryExtractCallback::SetOperationResult(Int32 opRes)) {
  result_ = opRes;
  return S_OK;
}

// Descriptions and images of a skin are small; a bigger entry is a damaged or hostile package.
constexpr UInt64 kMaxEntrySize = 64ull << 20;

tz::CriticalSection& PackageLock() {
  static tz::CriticalSection lock;
  return lock;
}

bool ReadStringProp(IInArchive* archive, UInt32 index, PROPID id, std::wstring& out) {
  PROPVARIANT value;
  PropVariantInit(&value);
  if (archive->GetProperty(index, id, &value) != S_OK) return false;
  const bool ok = value.vt == VT_BSTR && value.bstrVal;
  if (ok) out.assign(value.bstrVal, SysStringLen(value.bstrVal));
  PropVariantClear(&value);
  return ok;
}

bool ReadBoolProp(IInArchive* archive, UInt32 index, PROPID id) {
  PROPVARIANT value;
  PropVariantInit(&value);
  if (archive->GetProperty(index, id, &value) != S_OK) return false;
  const bool on = value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
  PropVariantClear(&value);
  return on;
}

UInt64 ReadSizeProp(IInArchive* archive, UInt32 index) {
  PROPVARIANT value;
  PropVariantInit(&value);
  UInt64 size = 0;
  if (archive->GetProperty(index, kpidSize, &value) == S_OK) {
    if (value.vt == VT_UI8) size = value.uhVal.QuadPart;
    else if (value.vt == VT_UI4) size = value.ulVal;
  }
  PropVariantClear(&value);
  return size;
}

}  // namespace

struct CResourceManager::Archive {
  CMyComPtr<IInArchive> handler;
};

CResourceManager::CResourceManager() = default;
CResourceManager::~CResourceManager() = default;

CResourceManager& CResourceManager::Instance() {
  static CResourceManager manager;
  return manager;
}

std::wstring CResourceManager::NormaliseName(std::wstring_view path) {
  std::wstring name;
  name.reserve(path.size());
  for (wchar_t c : path) name.push_back(c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c)));
  while (!name.empty() && name.front() == L'\\') name.erase(0, 1);
  return name;
}

void CResourceManager::ClearPackage() {
  tz::ScopedLock lock(PackageLock());
  archive_.reset();
  entries_.clear();
}

bool CResourceManager::SetZipPackage(const void* data, size_t size, std::wstring_view password) {
  ClearPackage();
  if (!data || size == 0 || !password.empty()) return false;
  auto archive = std::make_unique<Archive>();
  IInArchive* created = nullptr;
  if (CreateObject(&kZipHandler, &IID_IInArchive, reinterpret_cast<void**>(&created)) != S_OK || !created) return false;
  archive->handler.Attach(created);
  CMyComPtr<IInStream> stream = new CPackageInStream(static_cast<const Byte*>(data), size);
  const UInt64 max_check = 1 << 16;
  if (archive->handler->Open(stream, &max_check, nullptr) != S_OK) return false;
  UInt32 count = 0;
  if (archive->handler->GetNumberOfItems(&count) != S_OK) return false;
  std::map<std::wstring, Entry> entries;
  for (UInt32 i = 0; i < count; ++i) {
    std::wstring path;
    if (!ReadStringProp(archive->handler, i, kpidPath, path)) continue;
    if (ReadBoolProp(archive->handler, i, kpidIsDir) || ReadBoolProp(archive->handler, i, kpidEncrypted)) continue;
    entries.emplace(NormaliseName(path), Entry{i, ReadSizeProp(archive->handler, i)});
  }
  tz::ScopedLock lock(PackageLock());
  archive_ = std::move(archive);
  entries_ = std::move(entries);
  return true;
}

bool CResourceManager::HasEntry(std::wstring_view path) const {
  tz::ScopedLock lock(PackageLock());
  return entries_.count(NormaliseName(path)) != 0;
}

bool CResourceManager::ReadEntry(std::wstring_view path, std::vector<std::uint8_t>& out) const {
  out.clear();
  // Windows on several threads (the message box of an install worker) read through one handler.
  tz::ScopedLock lock(PackageLock());
  if (!archive_ || source_ != ResourceSource::kZipMemory) return false;
  const auto it = entries_.find(NormaliseName(path));
  if (it == entries_.end() || it->second.size > kMaxEntrySize) return false;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(it->second.size));
  auto* callback_impl = new CEntryExtractCallback(it->second.index, bytes, kMaxEntrySize);
  CMyComPtr<IArchiveExtractCallback> callback = callback_impl;
  const UInt32 index = it->second.index;
  if (archive_->handler->Extract(&index, 1, 0, callback) != S_OK) return false;
  if (callback_impl->Result() != NArchive::NExtract::NOperationResult::kOK) return false;
  out = std::move(bytes);
  return true;
}

bool CResourceManager::LoadStringTable(std::wstring_view path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadEntry(path, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::map<std::wstring, std::wstring, std::less<>> loaded;
  try {
    rapidxml::xml_document<char> doc;
    doc.parse<0>(text.data());
    rapidxml::xml_node<char>* root = doc.first_node("StringTable");
    if (!root) return false;
    for (auto* node = root->first_node("Text"); node; node = node->next_sibling("Text")) {
      auto* id = node->first_attribute("id");
      auto* value = node->first_attribute("value");
      if (!id || !value) continue;
      loaded[tz::Utf8ToWide(std::string_view(id->value(), id->value_size()))] =
          tz::Utf8ToWide(std::string_view(value->value(), value->value_size()));
    }
  } catch (const rapidxml::parse_error&) {
    return false;
  }
  for (auto& [id, value] : loaded) texts_[id] = std::move(value);
  return true;
}

bool CResourceManager::LoadResourceList(std::wstring_view path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadEntry(path, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  try {
    rapidxml::xml_document<char> doc;
    doc.parse<0>(text.data());
    rapidxml::xml_node<char>* root = doc.first_node();
    if (!root) return false;
    for (auto* node = root->first_node(); node; node = node->next_sibling()) {
      auto* id = node->first_attribute("id");
      auto* file = node->first_attribute("file");
      if (id && file)
        resource_list_[tz::Utf8ToWide(std::string_view(id->value(), id->value_size()))] =
            tz::Utf8ToWide(std::string_view(file->value(), file->value_size()));
    }
  } catch (const rapidxml::parse_error&) {
    return false;
  }
  return true;
}

const std::wstring* CResourceManager::FindText(std::wstring_view id) const {
  const auto it = texts_.find(id);
  return it == texts_.end() ? nullptr : &it->second;
}

}  // namespace tzui
