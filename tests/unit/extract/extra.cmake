# Archives for the extraction tests, made at build time by make_archives.py with Debian's 7zz (and
# gcab for the cab case, when installed) into <build>/testdata/extract.
find_program(TZ_7ZZ NAMES 7zz 7z REQUIRED)
find_program(TZ_GCAB NAMES gcab)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(_ex_dir ${CMAKE_BINARY_DIR}/testdata/extract)
if(TZ_GCAB)
  set(_ex_gcab ${TZ_GCAB})
else()
  message(STATUS "gcab not found: the cab extraction test will be skipped")
  set(_ex_gcab -)
endif()
add_custom_command(OUTPUT ${_ex_dir}/payload.7z
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/make_archives.py ${_ex_dir} ${TZ_7ZZ} ${_ex_gcab}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_archives.py
  COMMENT "Test archives for ${TZ_UNIT_TARGET}"
  VERBATIM)
add_custom_target(${TZ_UNIT_TARGET}_archives DEPENDS ${_ex_dir}/payload.7z)
add_dependencies(${TZ_UNIT_TARGET} ${TZ_UNIT_TARGET}_archives)
