#include "extract/archive_streams.h"

#include <algorithm>
#include <cstring>

namespace {

// |offset| of a negative offset without negating it: -INT64_MIN does not exist.
UInt64 Magnitude(Int64 offset) { return UInt64(0) - static_cast<UInt64>(offset); }

HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT SeekFile(HANDLE file, Int64 offset, UInt32 seekOrigin, UInt64* newPosition) {
  if (seekOrigin > STREAM_SEEK_END) return E_INVALIDARG;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER moved;
  if (!SetFilePointerEx(file, distance, &moved, seekOrigin)) return LastErrorResult();
  if (newPosition) *newPosition = static_cast<UInt64>(moved.QuadPart);
  return S_OK;
}

}  // namespace

// --- CMyInMemStream ---

Z7_COM7F_IMF(CMyInMemStream::Read(void* data, UInt32 size, UInt32* processedSize)) {
  if (processedSize) *processedSize = 0;
  if (pos_ > size_) return E_FAIL;
  const UInt32 n = static_cast<UInt32>(std::min<UInt64>(size, size_ - pos_));
  if (n) memcpy(data, data_ + pos_, n);
  pos_ += n;
  if (processedSize) *processedSize = n;
  return S_OK;
}

// Positions run from 0 to the size inclusive from the start and the end; from the current position
// only the start bounds a move (a read beyond the end then fails).
Z7_COM7F_IMF(CMyInMemStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  switch (seekOrigin) {
    case STREAM_SEEK_SET:
      if (offset < 0 || static_cast<UInt64>(offset) > size_) return E_INVALIDARG;
      pos_ = static_cast<UInt64>(offset);
      break;
    case STREAM_SEEK_CUR:
      if (offset < 0 ? Magnitude(offset) > pos_ : static_cast<UInt64>(offset) > ~UInt64(0) - pos_) return E_INVALIDARG;
      pos_ = offset < 0 ? pos_ - Magnitude(offset) : pos_ + static_cast<UInt64>(offset);
      break;
    case STREAM_SEEK_END:
      if (offset > 0 || Magnitude(offset) > size_) return E_INVALIDARG;
      pos_ = size_ - Magnitude(offset);
      break;
    default:
      return E_INVALIDARG;
  }
  if (newPosition) *newPosition = pos_;
  return S_OK;
}

// --- CMyInFileStream ---

bool CMyInFileStream::Open(const std::wstring& path) {
  file_.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.IsValid();
}

Z7_COM7F_IMF(CMyInFileStream::Read(void* data, UInt32 size, UInt32* processedSize)) {
  if (processedSize) *processedSize = 0;
  if (!file_) return E_FAIL;
  DWORD got = 0;
  if (!ReadFile(file_.Get(), data, size, &got, nullptr)) return LastErrorResult();
  if (processedSize) *processedSize = got;
  return S_OK;
}

Z7_COM7F_IMF(CMyInFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  if (!file_) return E_FAIL;
  return SeekFile(file_.Get(), offset, seekOrigin, newPosition);
}

// --- CMyOutFileStream ---

bool CMyOutFileStream::Create(const std::wstring& path) {
  file_.Reset();
  written_ = 0;
  file_.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
  return file_.IsValid();
}

bool CMyOutFileStream::SetLastWriteTime(const FILETIME& time) {
  return file_ && SetFileTime(file_.Get(), nullptr, nullptr, &time);
}

// A short or failed write is an error: a full disk must not pass for an intact file.
Z7_COM7F_IMF(CMyOutFileStream::Write(const void* data, UInt32 size, UInt32* processedSize)) {
  if (processedSize) *processedSize = 0;
  if (!file_) return E_FAIL;
  DWORD put = 0;
  const BOOL ok = WriteFile(file_.Get(), data, size, &put, nullptr);
  written_ += put;
  if (processedSize) *processedSize = put;
  if (!ok) return LastErrorResult();
  return put == size ? S_OK : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}

Z7_COM7F_IMF(CMyOutFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64* newPosition)) {
  if (!file_) return E_FAIL;
  return SeekFile(file_.Get(), offset, seekOrigin, newPosition);
}

Z7_COM7F_IMF(CMyOutFileStream::SetSize(UInt64)) { return E_NOTIMPL; }
