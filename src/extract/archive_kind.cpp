#include "extract/archive_kind.h"

#include <cstring>

namespace {

bool StartsWith(const Byte* data, size_t size, const void* signature, size_t length, size_t offset = 0) {
  return size >= offset + length && memcmp(data + offset, signature, length) == 0;
}

// {23170F69-40C1-278A-1000-0001100X0000}: the library's format class ids.
GUID HandlerClassId(Byte formatId) {
  return GUID{0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, formatId, 0x00, 0x00}};
}

}  // namespace

ArchiveKind DetectArchiveKind(const void* data, size_t size) {
  static const Byte kZip[] = {0x50, 0x4B, 0x03, 0x04};
  static const Byte kCab[] = {0x4D, 0x53, 0x43, 0x46};
  static const Byte k7z[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
  static const Byte kNsis[] = {0xEF, 0xBE, 0xAD, 0xDE, 'N', 'u', 'l', 'l', 's', 'o', 'f', 't', 'I', 'n', 's', 't'};
  const Byte* bytes = static_cast<const Byte*>(data);
  if (!bytes) return ArchiveKind::kUnknown;
  if (StartsWith(bytes, size, kZip, sizeof(kZip))) return ArchiveKind::kZip;
  if (StartsWith(bytes, size, kCab, sizeof(kCab))) return ArchiveKind::kCab;
  if (StartsWith(bytes, size, k7z, sizeof(k7z))) return ArchiveKind::k7z;
  if (StartsWith(bytes, size, kNsis, sizeof(kNsis), 4)) return ArchiveKind::kNsis;
  return ArchiveKind::kUnknown;
}

CMyComPtr<IInArchive> CreateArchiveHandler(ArchiveKind kind) {
  Byte formatId = 0;
  switch (kind) {
    case ArchiveKind::kZip:
      formatId = 0x01;
      break;
    case ArchiveKind::kCab:
      formatId = 0x08;
      break;
    case ArchiveKind::k7z:
      formatId = 0x07;
      break;
    case ArchiveKind::kNsis:
      formatId = 0x09;
      break;
    case ArchiveKind::kUnknown:
      return {};
  }
  const GUID clsid = HandlerClassId(formatId);
  CMyComPtr<IInArchive> archive;
  IInArchive* created = nullptr;
  if (CreateObject(&clsid, &IID_IInArchive, reinterpret_cast<void**>(&created)) != S_OK || !created) return {};
  archive.Attach(created);
  return archive;
}
