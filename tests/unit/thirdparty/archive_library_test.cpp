// The 7-Zip library as the engine links it: every handler and codec registration reaches the
// program, and archives made by Debian's 7zz open, list and decode through CreateObject.

#include <windows.h>
// 7-Zip's headers need the OLE types (BSTR, PROPVARIANT) that WIN32_LEAN_AND_MEAN leaves out.
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CPP/7zip/Archive/IArchive.h"
#include "CPP/7zip/IPassword.h"
#include "CPP/Common/MyCom.h"
#include "CPP/Windows/PropVariant.h"

STDAPI CreateObject(const GUID *clsid, const GUID *iid, void **outObject);
STDAPI GetNumberOfFormats(UINT32 *numFormats);
STDAPI GetHandlerProperty2(UInt32 formatIndex, PROPID propID, PROPVARIANT *value);

namespace {

GUID FormatClsid(Byte id) {
  return GUID{0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, id, 0x00, 0x00}};
}

constexpr Byte kId7z = 0x07, kIdZip = 0x01, kIdCab = 0x08, kIdNsis = 0x09, kIdRar = 0x03, kIdRar5 = 0xCC;

// Archives made by tests/unit/thirdparty/extra.cmake.
std::wstring FixturePath(const char *name) {
  std::wstring path =
      std::wstring(TZ_TEST_DATA_DIR) + L"/thirdparty/" + std::wstring(name, name + strlen(name));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::string ReadWholeFile(const std::wstring &path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string data;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got != 0) data.append(buf, got);
  CloseHandle(h);
  return data;
}

class MemInStream final : public IInStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialInStream, IInStream)
  std::string data_;
  UInt64 pos_ = 0;

 public:
  explicit MemInStream(std::string data) : data_(std::move(data)) {}
};

Z7_COM7F_IMF(MemInStream::Read(void *data, UInt32 size, UInt32 *processedSize)) {
  UInt32 n = 0;
  if (pos_ < data_.size()) n = static_cast<UInt32>(std::min<UInt64>(size, data_.size() - pos_));
  memcpy(data, data_.data() + pos_, n);
  pos_ += n;
  if (processedSize) *processedSize = n;
  return S_OK;
}

Z7_COM7F_IMF(MemInStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition)) {
  Int64 base = 0;
  switch (seekOrigin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<Int64>(pos_); break;
    case STREAM_SEEK_END: base = static_cast<Int64>(data_.size()); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  if (base + offset < 0) return HRESULT_WIN32_ERROR_NEGATIVE_SEEK;
  pos_ = static_cast<UInt64>(base + offset);
  if (newPosition) *newPosition = pos_;
  return S_OK;
}

class StringOutStream final : public ISequentialOutStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(ISequentialOutStream)
  std::string *out_;

 public:
  explicit StringOutStream(std::string *out) : out_(out) {}
};

Z7_COM7F_IMF(StringOutStream::Write(const void *data, UInt32 size, UInt32 *processedSize)) {
  out_->append(static_cast<const char *>(data), size);
  if (processedSize) *processedSize = size;
  return S_OK;
}

// Collects every extracted item in memory with its operation result.
class MemExtractCallback final : public IArchiveExtractCallback,
                                 public ICryptoGetTextPassword,
                                 public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(IArchiveExtractCallback, ICryptoGetTextPassword)
  Z7_IFACE_COM7_IMP(IProgress)
  std::wstring password_;
  UInt32 current_ = 0;

 public:
  explicit MemExtractCallback(const wchar_t *password) : password_(password ? password : L"") {}
  std::map<UInt32, std::string> contents;
  std::map<UInt32, Int32> results;
};

Z7_COM7F_IMF(MemExtractCallback::SetTotal(UInt64)) { return S_OK; }
Z7_COM7F_IMF(MemExtractCallback::SetCompleted(const UInt64 *)) { return S_OK; }

Z7_COM7F_IMF(MemExtractCallback::GetStream(UInt32 index, ISequentialOutStream **outStream,
                                           Int32 askExtractMode)) {
  *outStream = nullptr;
  current_ = index;
  if (askExtractMode != NArchive::NExtract::NAskMode::kExtract) return S_OK;
  CMyComPtr<ISequentialOutStream> stream(new StringOutStream(&contents[index]));
  *outStream = stream.Detach();
  return S_OK;
}

Z7_COM7F_IMF(MemExtractCallback::PrepareOperation(Int32)) { return S_OK; }

Z7_COM7F_IMF(MemExtractCallback::SetOperationResult(Int32 opRes)) {
  results[current_] = opRes;
  return S_OK;
}

Z7_COM7F_IMF(MemExtractCallback::CryptoGetTextPassword(BSTR *password)) {
  if (password_.empty()) return E_ABORT;
  *password = SysAllocString(password_.c_str());
  return *password ? S_OK : E_OUTOFMEMORY;
}

CMyComPtr<IInArchive> CreateArchive(Byte id) {
  const GUID clsid = FormatClsid(id);
  CMyComPtr<IInArchive> archive;
  if (CreateObject(&clsid, &IID_IInArchive, reinterpret_cast<void **>(&archive)) != S_OK) return {};
  return archive;
}

std::map<std::wstring, std::string> ExpectedFiles() {
  std::string data;
  for (int i = 1; i <= 400; ++i) data += "line " + std::to_string(i) + "\n";
  return {{L"readme.txt", "hello from the archive\n"},
          {L"empty.txt", ""},
          {L"sub\\data.txt", data},
          {L"中文.txt", "中文\n"}};
}

TEST(ArchiveLibraryTest, RegistersExactlyTheFourInstallerFormats) {
  UINT32 count = 0;
  ASSERT_EQ(GetNumberOfFormats(&count), S_OK);
  std::vector<std::wstring> names;
  for (UINT32 i = 0; i < count; ++i) {
    NWindows::NCOM::CPropVariant name;
    ASSERT_EQ(GetHandlerProperty2(i, NArchive::NHandlerPropID::kName, &name), S_OK);
    ASSERT_EQ(name.vt, VT_BSTR);
    names.emplace_back(name.bstrVal);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"7z", L"Cab", L"Nsis", L"zip"}));
}

TEST(ArchiveLibraryTest, CreateObjectKnowsOnlyTheLinkedHandlers) {
  const struct {
    Byte id;
    HRESULT expected;
  } cases[] = {{kId7z, S_OK},
               {kIdZip, S_OK},
               {kIdCab, S_OK},
               {kIdNsis, S_OK},
               {kIdRar, CLASS_E_CLASSNOTAVAILABLE},
               {kIdRar5, CLASS_E_CLASSNOTAVAILABLE}};
  for (const auto &c : cases) {
    const GUID clsid = FormatClsid(c.id);
    IInArchive *archive = nullptr;
    EXPECT_EQ(CreateObject(&clsid, &IID_IInArchive, reinterpret_cast<void **>(&archive)), c.expected)
        << "format id " << int(c.id);
    EXPECT_EQ(archive != nullptr, c.expected == S_OK) << "format id " << int(c.id);
    if (archive) archive->Release();
  }
}

struct ArchiveCase {
  const char *file;
  Byte formatId;
  const wchar_t *password;
};

void PrintTo(const ArchiveCase &c, std::ostream *os) { *os << c.file; }

class ArchiveDecodeTest : public testing::TestWithParam<ArchiveCase> {};

// Each archive uses another codec or filter: a registration missing from the link fails only its case.
TEST_P(ArchiveDecodeTest, ListsAndDecodesEveryItem) {
  const ArchiveCase &c = GetParam();
  std::string bytes = ReadWholeFile(FixturePath(c.file));
  ASSERT_FALSE(bytes.empty()) << "missing fixture " << c.file;

  CMyComPtr<IInArchive> archive = CreateArchive(c.formatId);
  ASSERT_TRUE(archive);
  CMyComPtr<IInStream> stream(new MemInStream(std::move(bytes)));
  const UInt64 scanSize = 1 << 16;
  ASSERT_EQ(archive->Open(stream, &scanSize, nullptr), S_OK);

  UInt32 count = 0;
  ASSERT_EQ(archive->GetNumberOfItems(&count), S_OK);
  std::map<std::wstring, UInt32> files;
  std::vector<std::wstring> dirs;
  for (UInt32 i = 0; i < count; ++i) {
    NWindows::NCOM::CPropVariant path, isDir;
    ASSERT_EQ(archive->GetProperty(i, kpidPath, &path), S_OK);
    ASSERT_EQ(path.vt, VT_BSTR);
    ASSERT_EQ(archive->GetProperty(i, kpidIsDir, &isDir), S_OK);
    ASSERT_EQ(isDir.vt, VT_BOOL);
    if (isDir.boolVal != VARIANT_FALSE)
      dirs.emplace_back(path.bstrVal);
    else
      files[path.bstrVal] = i;
  }
  EXPECT_EQ(dirs, std::vector<std::wstring>{L"sub"});

  auto *callback = new MemExtractCallback(c.password);
  CMyComPtr<IArchiveExtractCallback> callbackRef(callback);
  ASSERT_EQ(archive->Extract(nullptr, static_cast<UInt32>(-1), false, callbackRef), S_OK);

  const auto expected = ExpectedFiles();
  ASSERT_EQ(files.size(), expected.size());
  for (const auto &[name, content] : expected) {
    auto it = files.find(name);
    ASSERT_NE(it, files.end()) << "missing item";
    EXPECT_EQ(callback->results[it->second], NArchive::NExtract::NOperationResult::kOK);
    EXPECT_EQ(callback->contents[it->second], content);
  }
  EXPECT_EQ(archive->Close(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ArchiveDecodeTest,
    testing::Values(ArchiveCase{"lzma2.7z", kId7z, nullptr}, ArchiveCase{"lzma_bcj.7z", kId7z, nullptr},
                    ArchiveCase{"lzma_bcj2.7z", kId7z, nullptr},
                    ArchiveCase{"lzma2_arm64.7z", kId7z, nullptr}, ArchiveCase{"ppmd.7z", kId7z, nullptr},
                    ArchiveCase{"bzip2.7z", kId7z, nullptr}, ArchiveCase{"deflate64.7z", kId7z, nullptr},
                    ArchiveCase{"copy.7z", kId7z, nullptr}, ArchiveCase{"aes.7z", kId7z, L"Secret"},
                    ArchiveCase{"deflate.zip", kIdZip, nullptr},
                    ArchiveCase{"deflate64.zip", kIdZip, nullptr}, ArchiveCase{"bzip2.zip", kIdZip, nullptr},
                    ArchiveCase{"lzma.zip", kIdZip, nullptr}, ArchiveCase{"ppmd.zip", kIdZip, nullptr},
                    ArchiveCase{"store.zip", kIdZip, nullptr}, ArchiveCase{"aes.zip", kIdZip, L"Secret"}),
    [](const testing::TestParamInfo<ArchiveCase> &info) {
      std::string name = info.param.file;
      std::replace(name.begin(), name.end(), '.', '_');
      return name;
    });

TEST(ArchiveLibraryTest, ZipHandlerRejectsA7zArchive) {
  CMyComPtr<IInArchive> archive = CreateArchive(kIdZip);
  ASSERT_TRUE(archive);
  CMyComPtr<IInStream> stream(new MemInStream(ReadWholeFile(FixturePath("lzma2.7z"))));
  const UInt64 scanSize = 1 << 16;
  EXPECT_EQ(archive->Open(stream, &scanSize, nullptr), S_FALSE);
}

}  // namespace
