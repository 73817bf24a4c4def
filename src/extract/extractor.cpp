#include "extract/extractor.h"

#include <string>

#include "diag/install_log.h"
#include "extract/archive_extract_callback.h"
#include "extract/archive_kind.h"
#include "extract/archive_streams.h"
#include "platform/handles.h"

namespace {

// Opens the archive, extracts every item and closes it. S_OK only when the library finished and no
// item was damaged or refused (S_FALSE then): a broken payload must never install as a success.
HRESULT ExtractArchive(IInArchive* archive, IInStream* stream, const wchar_t* targetDir,
                       IExtracUserCallback* callback, void* context) {
  const UInt64 maxStartOffset = ~UInt64(0);
  const HRESULT opened = archive->Open(stream, &maxStartOffset, nullptr);
  // S_FALSE: the stream is not an archive of this kind.
  if (opened != S_OK) return opened == S_FALSE ? HRESULT_FROM_WIN32(ERROR_BAD_FORMAT) : opened;

  CArchiveExtractCallback* extractSpec = new CArchiveExtractCallback(archive, targetDir, callback, context);
  CMyComPtr<IArchiveExtractCallback> extractCallback(extractSpec);
  if (callback) callback->OnBegin(context);
  const HRESULT result = archive->Extract(nullptr, 0xFFFFFFFF, 0, extractCallback);
  extractSpec->FinishExtraction();
  archive->Close();
  if (callback) callback->OnEnd(context);

  const UInt64 failed = extractSpec->ErrorCount();
  if (result == S_OK && failed != 0) GetLog().Error(L"解压过程中有%I64u个文件损坏或无法解压", failed);
  if (result != S_OK) return result;
  return failed == 0 && extractSpec->RefusedCount() == 0 ? S_OK : S_FALSE;
}

HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

void CExtractor_Impl::SetUserCallback(IExtracUserCallback* callback, void* context) {
  callback_ = callback;
  context_ = context;
}

bool CExtractor_Impl::ExtractFromMemory(const void* data, uint64_t size, const wchar_t* targetDir) {
  // An empty target would put every item into the root of the current drive.
  if (!data || size == 0 || !targetDir || !*targetDir) return Finish(E_INVALIDARG);
  const size_t probe = size < kArchiveSignatureBytes ? static_cast<size_t>(size) : kArchiveSignatureBytes;
  CMyComPtr<IInArchive> archive = CreateArchiveHandler(DetectArchiveKind(data, probe));
  if (!archive) return Finish(HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
  CMyComPtr<IInStream> stream(new CMyInMemStream(data, size));
  return Finish(ExtractArchive(archive, stream, targetDir, callback_, context_));
}

bool CExtractor_Impl::ExtractFromFile(const wchar_t* archivePath, const wchar_t* targetDir) {
  if (!archivePath || !targetDir || !*targetDir) return Finish(E_INVALIDARG);
  Byte head[kArchiveSignatureBytes] = {};
  DWORD got = 0;
  {
    tz::UniqueFileHandle file(CreateFileW(archivePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Finish(LastErrorResult());
    if (!ReadFile(file.Get(), head, sizeof(head), &got, nullptr)) got = 0;
  }
  CMyComPtr<IInArchive> archive = CreateArchiveHandler(DetectArchiveKind(head, got));
  if (!archive) return Finish(HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
  CMyInFileStream* fileSpec = new CMyInFileStream;
  CMyComPtr<IInStream> stream(fileSpec);
  if (!fileSpec->Open(archivePath)) return Finish(LastErrorResult());
  return Finish(ExtractArchive(archive, stream, targetDir, callback_, context_));
}
