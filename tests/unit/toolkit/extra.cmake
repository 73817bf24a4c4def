# Skin packages for the toolkit tests, made at build time by make_packages.py into
# <build>/testdata/toolkit.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_tk_dir ${CMAKE_BINARY_DIR}/testdata/toolkit)
add_custom_command(OUTPUT ${_tk_dir}/package.zip ${_tk_dir}/garbage.bin
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/make_packages.py ${_tk_dir}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_packages.py
  COMMENT "Test packages for ${TZ_UNIT_TARGET}"
  VERBATIM)
add_custom_target(${TZ_UNIT_TARGET}_packages DEPENDS ${_tk_dir}/package.zip)
add_dependencies(${TZ_UNIT_TARGET} ${TZ_UNIT_TARGET}_packages)
