#pragma once
// The per-archive extract callback: turns the library's item requests into output files below the
// target directory, reports each item to the user callback and hands files that cannot be created
// to the locked-file replacement.
#include <string>

#include "extract/archive_streams.h"
#include "extract/extractor.h"
#include "extract/sevenzip_api.h"

class CArchiveExtractCallback final : public IArchiveExtractCallback, public CMyUnknownImp {
  Z7_IFACES_IMP_UNK_1(IArchiveExtractCallback)
  Z7_IFACE_COM7_IMP(IProgress)

 public:
  // Creates the target directory when missing; `targetDir` gets a trailing backslash.
  CArchiveExtractCallback(IInArchive* archive, const std::wstring& targetDir, IExtracUserCallback* callback,
                          void* context);

  // Items whose result was not intact, and items refused before they were written.
  UInt64 ErrorCount() const { return errors_; }
  UInt64 RefusedCount() const { return refused_; }
  // After the library's Extract returns: an item it left unfinished is undone like a damaged one.
  void FinishExtraction();

 private:
  HRESULT CreateOutput(ISequentialOutStream** outStream);
  HRESULT HandleCreateFailure(ISequentialOutStream** outStream);
  HRESULT HandOut(ISequentialOutStream** outStream);
  void WithdrawReplacement();

  CMyComPtr<IInArchive> archive_;
  std::wstring targetDir_;
  IExtracUserCallback* callback_;
  void* context_;

  std::wstring itemPath_;    // relative, as the archive names it
  std::wstring outputPath_;  // where the item goes (a pending name after a locked target)
  std::wstring replacedTarget_;  // the target a pending file is to replace at reboot, if any
  std::wstring movedAside_;      // where the old file waits for deletion at reboot, if it was moved
  UInt64 total_ = 0;
  UInt64 completed_ = 0;
  bool extractMode_ = false;
  UInt64 errors_ = 0;
  UInt64 refused_ = 0;

  bool isDir_ = false;
  bool attribDefined_ = false;
  UInt32 attrib_ = 0;
  bool mtimeDefined_ = false;
  FILETIME mtime_{};
  bool fileOpened_ = false;  // this item's output file was created

  CMyOutFileStream* outStream_ = nullptr;  // owned through outStreamRef_
  CMyComPtr<IOutStream> outStreamRef_;
};
