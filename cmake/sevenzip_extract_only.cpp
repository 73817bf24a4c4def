// setup.exe reads archives only. The 7z and zip handler classes still declare their writer
// methods (their layout is shared with the builder's copy); these definitions refuse, so no
// archive writer or encoder is linked into the installer.
#undef Z7_EXTRACT_ONLY
#include "CPP/7zip/Archive/7z/7zHandler.h"
#include "CPP/7zip/Archive/Zip/ZipHandler.h"
#include "C/Ppmd8.h"

namespace NArchive {
namespace N7z {

// The reader uses the mixer setting when it decodes; the rest only matters to the writer.
void COutHandler::InitProps7z() {
  _removeSfxBlock = false;
  _compressHeaders = true;
  _encryptHeadersSpecified = false;
  _encryptHeaders = false;
  TimeOptions.Init();
  Write_Attrib.Init();
  _useMultiThreadMixer = true;
  InitSolid();
  _useTypeSorting = false;
}

Z7_COM7F_IMF(CHandler::GetFileTimeType(UInt32*)) { return E_NOTIMPL; }
Z7_COM7F_IMF(CHandler::UpdateItems(ISequentialOutStream*, UInt32, IArchiveUpdateCallback*)) { return E_NOTIMPL; }
Z7_COM7F_IMF(CHandler::SetProperties(const wchar_t* const*, const PROPVARIANT*, UInt32)) { return E_NOTIMPL; }

}  // namespace N7z

namespace NZip {

Z7_COM7F_IMF(CHandler::GetFileTimeType(UInt32*)) { return E_NOTIMPL; }
Z7_COM7F_IMF(CHandler::UpdateItems(ISequentialOutStream*, UInt32, IArchiveUpdateCallback*)) { return E_NOTIMPL; }
Z7_COM7F_IMF(CHandler::SetProperties(const wchar_t* const*, const PROPVARIANT*, UInt32)) { return E_NOTIMPL; }

}  // namespace NZip
}  // namespace NArchive

// The zip PPMd coder's source holds its encoder too; nothing on this side creates one.
extern "C" {
void Ppmd8_Flush_RangeEnc(CPpmd8*) { abort(); }
void Ppmd8_EncodeSymbol(CPpmd8*, int) { abort(); }
}
