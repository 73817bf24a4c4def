# 7-Zip archive library from Debian's source package: the 7z, zip, cab and NSIS handlers, the codecs
# they use and the CreateObject entry. The file list is the matching subset of upstream's
# Bundles/Format7zF (7z.dll). setup.exe only reads archives; the encoders and the archive writers
# go into the product builder only. The handler classes keep their full layout on both sides
# (Z7_EXTRACT_ONLY changes class layouts shared by the 7z and zip handlers, and zip cannot be built
# with it); on the reading side their writer methods are stubs that refuse (sevenzip_extract_only.cpp)
# and the codec registrations are compiled with Z7_EXTRACT_ONLY, so they name no encoder.
#
# Targets:
#   sevenzip_obj          OBJECT library: everything both sides share (decoders, readers, exports).
#   sevenzip_extract_obj  the reading side's registrations and writer stubs.
#   sevenzip_encoder_obj  encoders, archive writers and registrations with encoders.
#   sevenzip              what the engine links: shared + reading side, as objects (not archive
#                         members), so every handler and codec registration survives the link even
#                         through a static library; the include root as a SYSTEM include directory.
#   sevenzip_writer       what the builder links: shared + encoders.

# The folder is named after Debian's version (7zip-<version>+dfsg); the last match sorts newest.
file(GLOB _tz_7zip_dirs LIST_DIRECTORIES true "${TZ_DEPS_DIR}/7zip-*")
set(_tz_7zip_root "")
foreach(d IN LISTS _tz_7zip_dirs)
  if(IS_DIRECTORY "${d}" AND EXISTS "${d}/CPP/7zip/Archive/IArchive.h")
    set(_tz_7zip_root "${d}")
  endif()
endforeach()
if(NOT _tz_7zip_root)
  message(FATAL_ERROR "7-Zip source not found under ${TZ_DEPS_DIR}: run scripts/bootstrap.sh")
endif()
set(TZ_7ZIP_DIR "${_tz_7zip_root}" CACHE INTERNAL "7-Zip source root")
file(STRINGS "${_tz_7zip_root}/C/7zVersion.h" _tz_7zip_ver REGEX "#define MY_VERSION_NUMBERS ")
string(REGEX REPLACE ".*\"([^\"]*)\".*" "\\1" _tz_7zip_ver "${_tz_7zip_ver}")
get_filename_component(_tz_7zip_folder "${_tz_7zip_root}" NAME)
message(STATUS "7-Zip ${_tz_7zip_ver} (${_tz_7zip_folder})")

set(_c   "${_tz_7zip_root}/C")
set(_cpp "${_tz_7zip_root}/CPP")
set(_7z  "${_tz_7zip_root}/CPP/7zip")

set(_tz_7zip_sources
  # C codecs and helpers
  ${_c}/7zCrc.c ${_c}/7zCrcOpt.c ${_c}/7zStream.c ${_c}/Aes.c ${_c}/AesOpt.c ${_c}/Alloc.c
  ${_c}/Bcj2.c ${_c}/Bra.c ${_c}/Bra86.c ${_c}/BraIA64.c
  ${_c}/CpuArch.c ${_c}/Delta.c
  ${_c}/Lzma2Dec.c ${_c}/Lzma2DecMt.c ${_c}/LzmaDec.c
  ${_c}/MtDec.c ${_c}/Ppmd7.c ${_c}/Ppmd7Dec.c ${_c}/Ppmd8.c
  ${_c}/Ppmd8Dec.c ${_c}/Sha1.c ${_c}/Sha1Opt.c ${_c}/Sha256.c ${_c}/Sha256Opt.c
  ${_c}/SwapBytes.c ${_c}/Threads.c ${_c}/Xz.c ${_c}/XzCrc64.c ${_c}/XzCrc64Opt.c
  ${_c}/XzDec.c ${_c}/Xxh64.c ${_c}/ZstdDec.c
  # CPP/Common
  ${_cpp}/Common/CRC.cpp ${_cpp}/Common/CrcReg.cpp ${_cpp}/Common/DynLimBuf.cpp
  ${_cpp}/Common/IntToString.cpp ${_cpp}/Common/MyString.cpp
  ${_cpp}/Common/MyVector.cpp ${_cpp}/Common/Sha1Prepare.cpp ${_cpp}/Common/Sha256Prepare.cpp
  ${_cpp}/Common/Sha256Reg.cpp ${_cpp}/Common/StringConvert.cpp ${_cpp}/Common/StringToInt.cpp
  ${_cpp}/Common/UTFConvert.cpp ${_cpp}/Common/Wildcard.cpp ${_cpp}/Common/XzCrc64Init.cpp
  # CPP/Windows
  ${_cpp}/Windows/FileDir.cpp ${_cpp}/Windows/FileFind.cpp ${_cpp}/Windows/FileIO.cpp
  ${_cpp}/Windows/FileName.cpp ${_cpp}/Windows/PropVariant.cpp ${_cpp}/Windows/PropVariantUtils.cpp
  ${_cpp}/Windows/Synchronization.cpp ${_cpp}/Windows/System.cpp ${_cpp}/Windows/TimeUtils.cpp
  # CPP/7zip/Common
  ${_7z}/Common/CreateCoder.cpp ${_7z}/Common/CWrappers.cpp ${_7z}/Common/FilterCoder.cpp
  ${_7z}/Common/InBuffer.cpp ${_7z}/Common/LimitedStreams.cpp
  ${_7z}/Common/MethodId.cpp ${_7z}/Common/MethodProps.cpp
  ${_7z}/Common/OffsetStream.cpp ${_7z}/Common/OutBuffer.cpp
  ${_7z}/Common/ProgressUtils.cpp ${_7z}/Common/PropId.cpp
  ${_7z}/Common/StreamBinder.cpp ${_7z}/Common/StreamObjects.cpp ${_7z}/Common/StreamUtils.cpp
  ${_7z}/Common/VirtThread.cpp
  # Archive common code and the exports (CreateObject, GetNumberOfFormats, ...)
  ${_7z}/Archive/ArchiveExports.cpp ${_7z}/Archive/DllExports2.cpp ${_7z}/Compress/CodecExports.cpp
  ${_7z}/Archive/Common/CoderMixer2.cpp ${_7z}/Archive/Common/HandlerOut.cpp
  ${_7z}/Archive/Common/InStreamWithCRC.cpp ${_7z}/Archive/Common/ItemNameUtils.cpp
  ${_7z}/Archive/Common/OutStreamWithCRC.cpp ${_7z}/Archive/Common/ParseProperties.cpp
  # 7z
  ${_7z}/Archive/7z/7zCompressionMode.cpp ${_7z}/Archive/7z/7zDecode.cpp
  ${_7z}/Archive/7z/7zExtract.cpp ${_7z}/Archive/7z/7zHandler.cpp ${_7z}/Archive/7z/7zHeader.cpp
  ${_7z}/Archive/7z/7zIn.cpp ${_7z}/Archive/7z/7zProperties.cpp ${_7z}/Archive/7z/7zRegister.cpp
  # zip (reader half; the writer half is in the builder's part below)
  ${_7z}/Archive/Zip/ZipHandler.cpp
  ${_7z}/Archive/Zip/ZipIn.cpp ${_7z}/Archive/Zip/ZipItem.cpp
  ${_7z}/Archive/Zip/ZipRegister.cpp
  # cab
  ${_7z}/Archive/Cab/CabBlockInStream.cpp ${_7z}/Archive/Cab/CabHandler.cpp
  ${_7z}/Archive/Cab/CabHeader.cpp ${_7z}/Archive/Cab/CabIn.cpp ${_7z}/Archive/Cab/CabRegister.cpp
  # NSIS
  ${_7z}/Archive/Nsis/NsisDecode.cpp ${_7z}/Archive/Nsis/NsisHandler.cpp
  ${_7z}/Archive/Nsis/NsisIn.cpp ${_7z}/Archive/Nsis/NsisRegister.cpp
  # codecs and filters
  ${_7z}/Compress/BcjCoder.cpp
  ${_7z}/Compress/BcjRegister.cpp ${_7z}/Compress/BitlDecoder.cpp ${_7z}/Compress/BranchMisc.cpp
  ${_7z}/Compress/BranchRegister.cpp ${_7z}/Compress/ByteSwap.cpp ${_7z}/Compress/BZip2Crc.cpp
  ${_7z}/Compress/BZip2Decoder.cpp
  ${_7z}/Compress/CopyCoder.cpp ${_7z}/Compress/CopyRegister.cpp
  ${_7z}/Compress/DeflateDecoder.cpp

  ${_7z}/Compress/DeltaFilter.cpp ${_7z}/Compress/ImplodeDecoder.cpp
  ${_7z}/Compress/LzfseDecoder.cpp ${_7z}/Compress/Lzma2Decoder.cpp

  ${_7z}/Compress/LzmaDecoder.cpp
  ${_7z}/Compress/LzOutWindow.cpp ${_7z}/Compress/LzxDecoder.cpp ${_7z}/Compress/PpmdDecoder.cpp
  ${_7z}/Compress/PpmdZip.cpp
  ${_7z}/Compress/QuantumDecoder.cpp ${_7z}/Compress/ShrinkDecoder.cpp
  ${_7z}/Compress/XzDecoder.cpp ${_7z}/Compress/ZstdDecoder.cpp
  # AES for encrypted 7z and zip items
  ${_7z}/Crypto/7zAes.cpp ${_7z}/Crypto/7zAesRegister.cpp ${_7z}/Crypto/HmacSha1.cpp
  ${_7z}/Crypto/MyAes.cpp ${_7z}/Crypto/MyAesReg.cpp ${_7z}/Crypto/Pbkdf2HmacSha1.cpp
  ${_7z}/Crypto/RandGen.cpp ${_7z}/Crypto/WzAes.cpp ${_7z}/Crypto/ZipCrypto.cpp
  ${_7z}/Crypto/ZipStrong.cpp
)

# The encoders and the writer halves of the 7z and zip handlers: only the product builder has them.
set(_tz_7zip_writer_sources
  ${_c}/Bcj2Enc.c
  ${_c}/BwtSort.c
  ${_c}/HuffEnc.c
  ${_c}/LzFind.c
  ${_c}/LzFindMt.c
  ${_c}/LzFindOpt.c
  ${_c}/Lzma2Enc.c
  ${_c}/LzmaEnc.c
  ${_c}/MtCoder.c
  ${_c}/Ppmd7Enc.c
  ${_c}/Ppmd8Enc.c
  ${_c}/Sort.c
  ${_c}/XzEnc.c
  ${_cpp}/Common/LzFindPrepare.cpp
  ${_7z}/Common/InOutTempBuffer.cpp
  ${_7z}/Common/MemBlocks.cpp
  ${_7z}/Common/OutMemStream.cpp
  ${_7z}/Common/ProgressMt.cpp
  ${_7z}/Common/UniqBlocks.cpp
  ${_7z}/Archive/7z/7zEncode.cpp
  ${_7z}/Archive/7z/7zFolderInStream.cpp
  ${_7z}/Archive/7z/7zHandlerOut.cpp
  ${_7z}/Archive/7z/7zOut.cpp
  ${_7z}/Archive/7z/7zSpecStream.cpp
  ${_7z}/Archive/7z/7zUpdate.cpp
  ${_7z}/Archive/Zip/ZipAddCommon.cpp
  ${_7z}/Archive/Zip/ZipHandlerOut.cpp
  ${_7z}/Archive/Zip/ZipOut.cpp
  ${_7z}/Archive/Zip/ZipUpdate.cpp
  ${_7z}/Compress/BZip2Encoder.cpp
  ${_7z}/Compress/DeflateEncoder.cpp
  ${_7z}/Compress/Lzma2Encoder.cpp
  ${_7z}/Compress/LzmaEncoder.cpp
  ${_7z}/Compress/PpmdEncoder.cpp
  ${_7z}/Compress/XzEncoder.cpp
)
# Codec registrations and the BCJ2 coder, which carry their encoder only when Z7_EXTRACT_ONLY is
# not defined: compiled once for each side.
set(_tz_7zip_variant_sources
  ${_7z}/Compress/Bcj2Coder.cpp
  ${_7z}/Compress/Bcj2Register.cpp
  ${_7z}/Compress/BZip2Register.cpp
  ${_7z}/Compress/Deflate64Register.cpp
  ${_7z}/Compress/DeflateRegister.cpp
  ${_7z}/Compress/Lzma2Register.cpp
  ${_7z}/Compress/LzmaRegister.cpp
  ${_7z}/Compress/PpmdRegister.cpp
)

add_library(sevenzip_obj OBJECT ${_tz_7zip_sources})
add_library(sevenzip_extract_obj OBJECT ${_tz_7zip_variant_sources} ${CMAKE_CURRENT_LIST_DIR}/sevenzip_extract_only.cpp)
target_compile_definitions(sevenzip_extract_obj PRIVATE Z7_EXTRACT_ONLY)
add_library(sevenzip_encoder_obj OBJECT ${_tz_7zip_writer_sources} ${_tz_7zip_variant_sources})
# Upstream's gcc flags (7zip_gcc.mak: -O2, gcc's default dialect, multi-threaded decoders), warnings off;
# the project's warning flags are not applied here. The project-wide WIN32_LEAN_AND_MEAN and NOMINMAX
# are not part of upstream's build either: drop them.
foreach(t sevenzip_obj sevenzip_extract_obj sevenzip_encoder_obj)
  set_target_properties(${t} PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS ON C_EXTENSIONS ON)
  target_compile_definitions(${t} PRIVATE _REENTRANT)
  target_compile_options(${t} PRIVATE -O2 -w -UWIN32_LEAN_AND_MEAN -UNOMINMAX)
  target_include_directories(${t} PRIVATE "${_tz_7zip_root}")
endforeach()
# A static program must not carry 7z.dll's DllMain as a stray symbol.
set_source_files_properties(${_7z}/Archive/DllExports2.cpp PROPERTIES
  COMPILE_DEFINITIONS "DllMain=Z7_DllMain_Unused")

# Object files given as link items go onto the link line of every program that ends up using
# sevenzip, also through a static library (an archive would let the linker drop them).
add_library(sevenzip INTERFACE)
target_include_directories(sevenzip SYSTEM INTERFACE "${_tz_7zip_root}")
target_link_libraries(sevenzip INTERFACE $<TARGET_OBJECTS:sevenzip_obj> $<TARGET_OBJECTS:sevenzip_extract_obj>
                      oleaut32 ole32 uuid)
add_library(sevenzip_writer INTERFACE)
target_include_directories(sevenzip_writer SYSTEM INTERFACE "${_tz_7zip_root}")
target_link_libraries(sevenzip_writer INTERFACE $<TARGET_OBJECTS:sevenzip_obj> $<TARGET_OBJECTS:sevenzip_encoder_obj>
                      oleaut32 ole32 uuid)

unset(_c)
unset(_cpp)
unset(_7z)
