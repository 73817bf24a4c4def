# Archives for archive_library_test.cpp, made at build time by Debian's 7zz from a few files written
# here, into <build>/testdata/thirdparty (the test reads them under TZ_TEST_DATA_DIR).

find_program(TZ_7ZZ NAMES 7zz 7z REQUIRED)

set(_fx_dir ${CMAKE_BINARY_DIR}/testdata/thirdparty)
set(_fx_src ${_fx_dir}/src)
# The test rebuilds these contents; keep the two in step.
set(_fx_data "")
foreach(i RANGE 1 400)
  string(APPEND _fx_data "line ${i}\n")
endforeach()
file(WRITE ${_fx_src}/readme.txt "hello from the archive\n")
file(WRITE ${_fx_src}/empty.txt "")
file(WRITE ${_fx_src}/sub/data.txt "${_fx_data}")
file(WRITE ${_fx_src}/中文.txt "中文\n")
set(_fx_inputs readme.txt empty.txt sub 中文.txt)
set(_fx_input_files ${_fx_src}/readme.txt ${_fx_src}/empty.txt ${_fx_src}/sub/data.txt ${_fx_src}/中文.txt)

# file name | 7zz switches; the names match the table in archive_library_test.cpp.
set(_fx_archives
  "lzma2.7z|-t7z -m0=LZMA2"
  "lzma_bcj.7z|-t7z -m0=LZMA -mf=BCJ"
  "lzma_bcj2.7z|-t7z -m0=LZMA -mf=BCJ2"
  "lzma2_arm64.7z|-t7z -m0=LZMA2 -mf=ARM64"
  "ppmd.7z|-t7z -m0=PPMd"
  "bzip2.7z|-t7z -m0=BZip2"
  "deflate64.7z|-t7z -m0=Deflate64"
  "copy.7z|-t7z -m0=Copy"
  "aes.7z|-t7z -m0=LZMA2 -pSecret -mhe=off"
  "deflate.zip|-tzip -mm=Deflate"
  "deflate64.zip|-tzip -mm=Deflate64"
  "bzip2.zip|-tzip -mm=BZip2"
  "lzma.zip|-tzip -mm=LZMA"
  "ppmd.zip|-tzip -mm=PPMd"
  "store.zip|-tzip -mm=Copy"
  "aes.zip|-tzip -mm=Deflate -mem=AES256 -pSecret"
)
set(_fx_outputs "")
foreach(entry IN LISTS _fx_archives)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 switches)
  separate_arguments(switches UNIX_COMMAND "${switches}")
  add_custom_command(OUTPUT ${_fx_dir}/${name}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${_fx_dir}/${name}
    # A UTF-8 locale, or 7zz stores the Chinese name wrongly.
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
            ${TZ_7ZZ} a -bso0 -bsp0 ${switches} ${_fx_dir}/${name} ${_fx_inputs}
    WORKING_DIRECTORY ${_fx_src}
    DEPENDS ${_fx_input_files}
    COMMENT "7zz: ${name}"
    VERBATIM)
  list(APPEND _fx_outputs ${_fx_dir}/${name})
endforeach()
add_custom_target(${TZ_UNIT_TARGET}_fixtures DEPENDS ${_fx_outputs})
add_dependencies(${TZ_UNIT_TARGET} ${TZ_UNIT_TARGET}_fixtures)
