#include "archive_writer.h"

#include <ole2.h>

#include <cstdio>
#include <vector>

#include "CPP/7zip/Archive/IArchive.h"
#include "CPP/7zip/IStream.h"
#include "CPP/Common/MyCom.h"
#include "CPP/Windows/PropVariant.h"
#include "diagnostics.h"
#include "files.h"
#include "platform/handles.h"

STDAPI CreateObject(const GUID* clsid, const GUID* iid, void** outObject);

namespace tzbuild {

namespace {

// {23170F69-40C1-278A-1000-0001100X0000}: the library's format class ids.
GUID FormatClassId(Byte id) { return GUID{0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, id, 0x00, 0x00}}; }

// The archive grows in memory: the 7z writer seeks back to fill in its start header.
class CMemOutStream final : public IOutStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialOutStream, IOutStream)

 public:
  explicit CMemOutStream(std::string& data) : data_(data) {}

 private:
  std::string& data_;
  UInt64 pos_ = 0;
};

Z7_COM7F_IMF(CMemOutStream::Write(const void* data, UInt32 size, UInt32* processedSize)) {
  if (processedSize) *processedSize = 0;
  if (pos_ + size > data_.size()) data_.resize(static_cast<size_t>(pos_ + size));
  memcpy(data_.data() + pos_, data, size);
  pos_ += size;
  if (processedSize) *processedSize = size;
  return S_OK;
}

Z7_COM7F_IMF(CMemOutStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  Int64 base = 0;
  switch (seekOrigin) {
    case STREAM_SEEK_SET: break;
    case STREAM_SEEK_CUR: base = static_cast<Int64>(pos_); break;
    case STREAM_SEEK_END: base = static_cast<Int64>(data_.size()); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  if (base + offset < 0) return E_INVALIDARG;
  pos_ = static_cast<UInt64>(base + offset);
  if (newPosition) *newPosition = pos_;
  return S_OK;
}

Z7_COM7F_IMF(CMemOutStream::SetSize(UInt64 newSize)) {
  data_.resize(static_cast<size_t>(newSize));
  return S_OK;
}

// A payload file; a read that fails names the file in `failure`.
class CFileInStream final : public ISequentialInStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(ISequentialInStream)

 public:
  CFileInStream(HANDLE file, std::wstring path, std::string& failure)
      : file_(file), path_(std::move(path)), failure_(failure) {}

 private:
  tz::UniqueFileHandle file_;
  std::wstring path_;
  std::string& failure_;
};

Z7_COM7F_IMF(CFileInStream::Read(void* data, UInt32 size, UInt32* processedSize)) {
  if (processedSize) *processedSize = 0;
  DWORD got = 0;
  if (!ReadFile(file_.Get(), data, size, &got, nullptr)) {
    const DWORD error = GetLastError();
    failure_ = "cannot read " + ToUtf8(path_) + ": " + ErrorText(error);
    return HRESULT_FROM_WIN32(error);
  }
  if (processedSize) *processedSize = got;
  return S_OK;
}

class CUpdateCallback final : public IArchiveUpdateCallback, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(IArchiveUpdateCallback)
  Z7_IFACE_COM7_IMP(IProgress)

 public:
  CUpdateCallback(const std::wstring& root, const std::vector<TreeEntry>& items, const FILETIME& time)
      : root_(root), items_(items), time_(time) {}

  std::string failure;  // the file that could not be read, and why

 private:
  const std::wstring& root_;
  const std::vector<TreeEntry>& items_;
  FILETIME time_;
};

Z7_COM7F_IMF(CUpdateCallback::SetTotal(UInt64)) { return S_OK; }
Z7_COM7F_IMF(CUpdateCallback::SetCompleted(const UInt64*)) { return S_OK; }

Z7_COM7F_IMF(CUpdateCallback::GetUpdateItemInfo(UInt32, Int32* newData, Int32* newProps, UInt32* indexInArchive)) {
  if (newData) *newData = 1;
  if (newProps) *newProps = 1;
  if (indexInArchive) *indexInArchive = static_cast<UInt32>(-1);
  return S_OK;
}

Z7_COM7F_IMF(CUpdateCallback::GetProperty(UInt32 index, PROPID propID, PROPVARIANT* value)) {
  NWindows::NCOM::CPropVariant prop;
  if (index >= items_.size()) return E_INVALIDARG;
  const TreeEntry& item = items_[index];
  switch (propID) {
    case kpidPath: prop = item.relative.c_str(); break;
    case kpidIsDir: prop = item.is_dir; break;
    case kpidSize: prop = static_cast<UInt64>(item.size); break;
    // Only the kind of entry: read-only and hidden bits of the build machine are not the product's.
    case kpidAttrib: prop = static_cast<UInt32>(item.is_dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE); break;
    case kpidMTime: prop = time_; break;
    case kpidIsAnti: prop = false; break;
    default: break;
  }
  prop.Detach(value);
  return S_OK;
}

Z7_COM7F_IMF(CUpdateCallback::GetStream(UInt32 index, ISequentialInStream** inStream)) {
  *inStream = nullptr;
  if (index >= items_.size()) return E_INVALIDARG;
  if (items_[index].is_dir) return S_OK;
  const std::wstring path = root_ + L"\\" + items_[index].relative;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failure = "cannot read " + ToUtf8(path) + ": " + ErrorText(error);
    return HRESULT_FROM_WIN32(error);
  }
  CMyComPtr<ISequentialInStream> stream(new CFileInStream(file, path, failure));
  *inStream = stream.Detach();
  return S_OK;
}

Z7_COM7F_IMF(CUpdateCallback::SetOperationResult(Int32)) { return S_OK; }

// 7-Zip's LZMA dictionary for a level, as its encoder picks it in a 32-bit process.
UInt64 DictionaryForLevel(int level) {
  if (level <= 4) return UInt64{1} << (level * 2 + 16);
  if (level <= 6) return UInt64{1} << (level + 20);
  return UInt64{1} << 26;
}

}  // namespace

PackResult PackFolder(const std::wstring& folder, ArchiveFormat format, const PackOptions& options, std::string& archive) {
  PackResult result;
  archive.clear();
  std::vector<TreeEntry> items;
  DWORD error = 0;
  std::wstring failed;
  if (!ListTree(folder, items, error, failed)) {
    result.error = "cannot list " + ToUtf8(failed) + ": " + ErrorText(error);
    return result;
  }
  for (const auto& e : items) {
    if (e.is_dir) continue;
    ++result.files;
    result.bytes_in += e.size;
  }

  const GUID clsid = FormatClassId(format == ArchiveFormat::k7z ? 0x07 : 0x01);
  CMyComPtr<IOutArchive> out;
  IOutArchive* created = nullptr;
  if (CreateObject(&clsid, &IID_IOutArchive, reinterpret_cast<void**>(&created)) != S_OK || !created) {
    result.error = "the archive library has no writer for this format";
    return result;
  }
  out.Attach(created);

  std::vector<const wchar_t*> names;
  std::vector<NWindows::NCOM::CPropVariant> values;
  names.push_back(L"x");
  values.emplace_back(static_cast<UInt32>(options.level));
  std::wstring method;
  if (format == ArchiveFormat::k7z) {
    // Left to itself LZMA2 cuts its stream into blocks only when it has threads for them, so the
    // archive would change with the machine: the block size is fixed (the size 7-Zip picks with
    // several threads).
    UInt64 block = DictionaryForLevel(options.level) * 4;
    if (block < (UInt64{1} << 20)) block = UInt64{1} << 20;
    if (block > (UInt64{1} << 28)) block = UInt64{1} << 28;
    method = L"LZMA2:c=" + std::to_wstring(block >> 20) + L"m";
    names.push_back(L"0");
    values.emplace_back(method.c_str());
    names.push_back(L"s");
    values.emplace_back(L"on");
  }
  if (options.threads > 0) {
    names.push_back(L"mt");
    values.emplace_back(static_cast<UInt32>(options.threads));
  }
  CMyComPtr<ISetProperties> setter;
  out.QueryInterface(IID_ISetProperties, &setter);
  if (!setter || setter->SetProperties(names.data(), values.data(), static_cast<UInt32>(names.size())) != S_OK) {
    result.error = "the archive library refused the compression settings";
    return result;
  }

  CMemOutStream* stream_impl = new CMemOutStream(archive);
  CMyComPtr<IOutStream> stream(stream_impl);
  CUpdateCallback* callback_impl = new CUpdateCallback(folder, items, options.time);
  CMyComPtr<IArchiveUpdateCallback> callback(callback_impl);
  const HRESULT hr = out->UpdateItems(stream, static_cast<UInt32>(items.size()), callback);
  if (hr != S_OK) {
    char code[32];
    snprintf(code, sizeof code, "compression failed (0x%08lX)", static_cast<unsigned long>(hr));
    result.error = callback_impl->failure.empty() ? std::string(code) : callback_impl->failure;
    archive.clear();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace tzbuild
