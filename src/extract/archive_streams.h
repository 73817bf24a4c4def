#pragma once
// The streams the archive library reads archives from and writes items to.
#include <string>

#include "extract/sevenzip_api.h"
#include "platform/handles.h"

// Reads an archive held in memory (a locked resource); owns nothing.
class CMyInMemStream final : public IInStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialInStream, IInStream)

 public:
  CMyInMemStream(const void* data, UInt64 size) : data_(static_cast<const Byte*>(data)), size_(size) {}

 private:
  const Byte* data_;
  UInt64 size_;
  UInt64 pos_ = 0;
};

// Reads an archive file; the file stays open for others to read, write and delete.
class CMyInFileStream final : public IInStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialInStream, IInStream)

 public:
  bool Open(const std::wstring& path);

 private:
  tz::UniqueFileHandle file_;
};

// Writes one output file at a time; the extract callback reuses it for every item.
class CMyOutFileStream final : public IOutStream, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_2(ISequentialOutStream, IOutStream)

 public:
  // Closes any open file and creates `path` (CREATE_ALWAYS, others may read). False with the
  // system's error left in GetLastError.
  bool Create(const std::wstring& path);
  bool IsOpen() const { return file_.IsValid(); }
  bool SetLastWriteTime(const FILETIME& time);
  void Close() { file_.Reset(); }
  UInt64 BytesWritten() const { return written_; }

 private:
  tz::UniqueFileHandle file_;
  UInt64 written_ = 0;
};
