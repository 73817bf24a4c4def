#pragma once
// Which archive handler reads a payload, decided by its first bytes.
#include <cstddef>
#include <cstdint>

#include "extract/sevenzip_api.h"

enum class ArchiveKind { kUnknown, kZip, kCab, k7z, kNsis };

// Bytes needed to tell every kind apart (the NSIS signature ends at byte 20).
constexpr size_t kArchiveSignatureBytes = 32;

ArchiveKind DetectArchiveKind(const void* data, size_t size);

// The library's handler for `kind`; null for kUnknown or when the library has none.
CMyComPtr<IInArchive> CreateArchiveHandler(ArchiveKind kind);
