#include "extract/archive_extract_callback.h"

#include "CPP/Windows/PropVariant.h"
#include "CPP/Windows/PropVariantConv.h"
#include "diag/install_log.h"
#include "extract/item_path.h"
#include "platform/filesystem.h"
#include "platform/pending_renames.h"
#include "platform/text_compare.h"

namespace {

using NWindows::NCOM::CPropVariant;

constexpr wchar_t kUnnamedItem[] = L"[Content]";

// Archives made on Linux keep the POSIX mode in the high word; Windows takes only its own bits.
DWORD WindowsAttributes(UInt32 attrib) { return (attrib & 0xF0000000) ? (attrib & 0x3FFF) : attrib; }

}  // namespace

CArchiveExtractCallback::CArchiveExtractCallback(IInArchive* archive, const std::wstring& targetDir,
                                                 IExtracUserCallback* callback, void* context)
    : archive_(archive), targetDir_(targetDir), callback_(callback), context_(context) {
  if (GetFileAttributesW(targetDir_.c_str()) == INVALID_FILE_ATTRIBUTES) tz::CreateDirectories(targetDir_);
  if (targetDir_.empty() || (targetDir_.back() != L'\\' && targetDir_.back() != L'/')) targetDir_ += L'\\';
}

Z7_COM7F_IMF(CArchiveExtractCallback::SetTotal(UInt64 size)) {
  total_ = size;
  if (callback_) callback_->SetTotal(context_, size);
  return S_OK;
}

Z7_COM7F_IMF(CArchiveExtractCallback::SetCompleted(const UInt64* completeValue)) {
  if (completeValue) completed_ = *completeValue;
  return S_OK;
}

Z7_COM7F_IMF(CArchiveExtractCallback::PrepareOperation(Int32 askExtractMode)) {
  extractMode_ = askExtractMode == NArchive::NExtract::NAskMode::kExtract;
  return S_OK;
}

Z7_COM7F_IMF(CArchiveExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32 askExtractMode)) {
  *outStream = nullptr;
  isDir_ = attribDefined_ = mtimeDefined_ = fileOpened_ = false;
  replacedTarget_.clear();
  movedAside_.clear();
  if (askExtractMode != NArchive::NExtract::NAskMode::kExtract) return S_OK;

  {
    CPropVariant prop;
    if (archive_->GetProperty(index, kpidPath, &prop) != S_OK) return E_FAIL;
    if (prop.vt == VT_EMPTY || (prop.vt == VT_BSTR && (!prop.bstrVal || !*prop.bstrVal)))
      itemPath_ = kUnnamedItem;
    else if (prop.vt == VT_BSTR)
      itemPath_ = prop.bstrVal;
    else
      return E_FAIL;
  }
  // Checked before anyone sees the output path: a payload never writes outside its directory.
  if (!IsSafeItemPath(itemPath_)) {
    ++refused_;
    GetLog().Error(L"压缩包中的文件%s指向目标目录之外, 已拒绝解压", itemPath_.c_str());
    return E_FAIL;
  }
  {
    CPropVariant prop;
    if (archive_->GetProperty(index, kpidIsDir, &prop) != S_OK) return E_FAIL;
    if (prop.vt == VT_BOOL)
      isDir_ = prop.boolVal != VARIANT_FALSE;
    else if (prop.vt != VT_EMPTY)
      return E_FAIL;
  }
  UInt64 size = 0;
  {
    CPropVariant prop;
    if (archive_->GetProperty(index, kpidSize, &prop) != S_OK) return E_FAIL;
    if (!ConvertPropVariantToUInt64(prop, size)) size = 0;
  }
  outputPath_ = targetDir_ + itemPath_;

  if (callback_) {
    const int decision = callback_->OnItemBegin(context_, outputPath_.c_str(), size, isDir_);
    if (decision == kItemFail) return E_FAIL;
    if (decision == kItemAbort) return E_ABORT;
  }
  {
    CPropVariant prop;
    if (archive_->GetProperty(index, kpidAttrib, &prop) != S_OK) return E_FAIL;
    if (prop.vt == VT_UI4) {
      attrib_ = prop.ulVal;
      attribDefined_ = true;
    } else if (prop.vt != VT_EMPTY) {
      return E_FAIL;
    }
  }
  {
    CPropVariant prop;
    if (archive_->GetProperty(index, kpidMTime, &prop) != S_OK) return E_FAIL;
    if (prop.vt == VT_FILETIME) {
      mtime_ = prop.filetime;
      mtimeDefined_ = true;
    } else if (prop.vt != VT_EMPTY) {
      return E_FAIL;
    }
  }

  if (isDir_) {
    tz::CreateDirectories(outputPath_);
    return S_OK;
  }
  return CreateOutput(outStream);
}

HRESULT CArchiveExtractCallback::CreateOutput(ISequentialOutStream** outStream) {
  if (!outStream_) {
    outStream_ = new CMyOutFileStream;
    outStreamRef_ = outStream_;
  }
  if (outStream_->Create(outputPath_)) return HandOut(outStream);
  // Archives that list no directory items (zips made by other tools) still extract: a missing parent
  // is no reason to treat the file as locked and ask for a reboot.
  if (GetLastError() == ERROR_PATH_NOT_FOUND) {
    const size_t cut = outputPath_.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut >= targetDir_.size() && tz::CreateDirectories(outputPath_.substr(0, cut)) &&
        outStream_->Create(outputPath_)) {
      return HandOut(outStream);
    }
  }
  return HandleCreateFailure(outStream);
}

HRESULT CArchiveExtractCallback::HandleCreateFailure(ISequentialOutStream** outStream) {
  const std::wstring target = outputPath_;
  GetLog().Error(L"解压过程中创建%s失败", target.c_str());
  if (!callback_) return E_FAIL;
  // A cut path would name another file, which the callback might move away: such a target is
  // given up without asking, and says so like any other.
  if (target.size() >= kCreateFailedBufferChars) {
    GetLog().Info(L"文件%s创建失败, 回调返回%d", target.c_str(), static_cast<int>(kCreateGiveUp));
    return E_FAIL;
  }

  wchar_t buffer[kCreateFailedBufferChars] = {};
  target.copy(buffer, target.size());
  const int decision = callback_->OnCreateFailed(context_, buffer, kCreateFailedBufferChars);
  buffer[kCreateFailedBufferChars - 1] = L'\0';
  GetLog().Info(L"文件%s创建失败, 回调返回%d", target.c_str(), decision);

  switch (decision) {
    case kCreateUsePending: {
      if (!outStream_->Create(buffer)) {
        return callback_->OnCreateFailed(context_, buffer, kCreateFailedBufferChars) == kCreateAbort ? E_ABORT : E_FAIL;
      }
      if (!tz::EqualsIgnoreCase(buffer, target)) {
        const BOOL scheduled =
            MoveFileExW(buffer, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
        GetLog().Info(L"创建文件%s, pending操作%d", buffer, scheduled);
        outputPath_ = buffer;
        replacedTarget_ = target;
      }
      return HandOut(outStream);
    }
    case kCreateAbort:
      return E_ABORT;
    case kCreateRetry:
      if (!tz::EqualsIgnoreCase(buffer, target)) movedAside_ = buffer;
      return outStream_->Create(target) ? HandOut(outStream) : E_FAIL;
    default:
      return E_FAIL;
  }
}

HRESULT CArchiveExtractCallback::HandOut(ISequentialOutStream** outStream) {
  fileOpened_ = true;
  CMyComPtr<ISequentialOutStream> stream(outStream_);
  *outStream = stream.Detach();
  return S_OK;
}

Z7_COM7F_IMF(CArchiveExtractCallback::SetOperationResult(Int32 opRes)) {
  if (opRes != NArchive::NExtract::NOperationResult::kOK) ++errors_;
  if (callback_) callback_->OnItemDone(context_, outputPath_.c_str(), opRes);
  if (opRes == NArchive::NExtract::NOperationResult::kOK) {
    if (fileOpened_ && mtimeDefined_) outStream_->SetLastWriteTime(mtime_);
    if (outStream_) outStream_->Close();
    if (extractMode_ && attribDefined_) SetFileAttributesW(outputPath_.c_str(), WindowsAttributes(attrib_));
  } else {
    if (outStream_) outStream_->Close();
    if (fileOpened_) WithdrawReplacement();
  }
  fileOpened_ = false;
  return S_OK;
}

void CArchiveExtractCallback::FinishExtraction() {
  // An item handed out but never reported (the library stopped in the middle of it) is damaged too.
  if (!fileOpened_) return;
  if (outStream_) outStream_->Close();
  WithdrawReplacement();
  fileOpened_ = false;
}

// A damaged item must not be what the user finds after the reboot: neither the damaged file in the
// target's place, nor the loss of the old copy.
void CArchiveExtractCallback::WithdrawReplacement() {
  if (!replacedTarget_.empty()) {
    // Written under a pending name that was to replace the target at the next start.
    const bool withdrawn = tz::CancelPendingRename(outputPath_);
    DeleteFileW(outputPath_.c_str());
    GetLog().Error(L"文件%s损坏, 撤销重启替换%d", replacedTarget_.c_str(), withdrawn ? 1 : 0);
  }
  if (!movedAside_.empty()) {
    // The old file waits under a pending name for deletion at the next start: it comes back.
    const bool withdrawn = tz::CancelPendingRename(movedAside_);
    DeleteFileW(outputPath_.c_str());
    const bool restored = MoveFileW(movedAside_.c_str(), outputPath_.c_str()) != FALSE;
    GetLog().Error(L"文件%s损坏, 撤销重启删除%d, 恢复原文件%d", outputPath_.c_str(), withdrawn ? 1 : 0, restored ? 1 : 0);
  }
  replacedTarget_.clear();
  movedAside_.clear();
}
