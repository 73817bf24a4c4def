#pragma once
// Payload extraction: the extractor the `extract` action creates per action, and the callback
// through which it reports every item and asks what to do with a file it cannot create.
#include <windows.h>

#include <cstdint>

// Implemented by the action dispatcher. Every operation receives the context given to
// IExtractor::SetUserCallback first; the implementation keeps no per-extraction state itself.
class IExtracUserCallback {
 public:
  virtual ~IExtracUserCallback() = default;
  // The library's byte count of everything to extract (once, before the first item).
  virtual void SetTotal(void* context, uint64_t total) = 0;
  virtual void OnBegin(void* context) = 0;
  // Before an item is written; `path` is the output path. Returns kItemContinue, kItemFail or kItemAbort.
  virtual int OnItemBegin(void* context, const wchar_t* path, uint64_t size, bool isDirectory) = 0;
  // The output file could not be created. `pathBuffer` (bufferChars wide, terminated) holds the
  // target path and may receive a pending name. Returns a CreateFailedDecision.
  virtual int OnCreateFailed(void* context, wchar_t* pathBuffer, unsigned bufferChars) = 0;
  // After an item: operationResult is the library's result (0 = intact); `path` is where it went
  // (the pending name when the file was written under one).
  virtual void OnItemDone(void* context, const wchar_t* path, int operationResult) = 0;
  virtual void OnEnd(void* context) = 0;
};

// Answers of OnItemBegin.
enum ItemBeginDecision : int { kItemContinue = 0, kItemFail = 2, kItemAbort = 3 };

// Answers of OnCreateFailed; any other value gives up like kCreateGiveUp.
enum CreateFailedDecision : int {
  kCreateUsePending = 1,  // write to the path now in the buffer (replace the target at reboot)
  kCreateGiveUp = 2,      // the item fails
  kCreateAbort = 3,       // the whole extraction stops
  kCreateRetry = 4,       // the old file was moved away: create the target again
};

// Size of the buffer handed to OnCreateFailed (MAX_PATH, terminator included).
constexpr unsigned kCreateFailedBufferChars = 260;

class IExtractor {
 public:
  virtual ~IExtractor() = default;
  // Unpacks an archive held in memory (a locked resource; not copied, must outlive the call) into
  // `targetDir`, created when missing. True only when every item was written intact.
  virtual bool ExtractFromMemory(const void* data, uint64_t size, const wchar_t* targetDir) = 0;
  // The same for an archive file on disk.
  virtual bool ExtractFromFile(const wchar_t* archivePath, const wchar_t* targetDir) = 0;
  // Both may be null; they are passed on to every later extraction.
  virtual void SetUserCallback(IExtracUserCallback* callback, void* context) = 0;
  // Why the last extraction failed: the library's or the system's HRESULT (the last error of a file
  // that could not be opened), E_INVALIDARG for missing input, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)
  // for an unknown archive kind, S_FALSE when the library finished but items were damaged or
  // refused; S_OK after a success.
  virtual HRESULT LastResult() const = 0;
};

class CExtractor_Impl final : public IExtractor {
 public:
  CExtractor_Impl() = default;
  CExtractor_Impl(const CExtractor_Impl&) = delete;
  CExtractor_Impl& operator=(const CExtractor_Impl&) = delete;

  bool ExtractFromMemory(const void* data, uint64_t size, const wchar_t* targetDir) override;
  bool ExtractFromFile(const wchar_t* archivePath, const wchar_t* targetDir) override;
  void SetUserCallback(IExtracUserCallback* callback, void* context) override;
  HRESULT LastResult() const override { return result_; }

 private:
  bool Finish(HRESULT result) {
    result_ = result;
    return result == S_OK;
  }

  HRESULT result_ = S_OK;
  IExtracUserCallback* callback_ = nullptr;
  void* context_ = nullptr;
};
