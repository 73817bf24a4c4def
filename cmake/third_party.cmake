# Third-party code from Debian: header-only packages are copied into the build tree (the
# cross compiler must not see the host's /usr/include), sources are compiled with their own flags.
set(TZ_THIRD_INCLUDE ${CMAKE_BINARY_DIR}/_deps/include)
file(MAKE_DIRECTORY ${TZ_THIRD_INCLUDE})
foreach(hdr rapidxml/rapidxml.hpp rapidxml/rapidxml_utils.hpp SimpleIni.h)
  if(NOT EXISTS /usr/include/${hdr})
    message(FATAL_ERROR "/usr/include/${hdr} is missing: run scripts/bootstrap.sh")
  endif()
  configure_file(/usr/include/${hdr} ${TZ_THIRD_INCLUDE}/${hdr} COPYONLY)
endforeach()
add_library(third_headers INTERFACE)
target_include_directories(third_headers SYSTEM INTERFACE ${TZ_THIRD_INCLUDE})

# GoogleTest from Debian's source package.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)

# 7-Zip archive library and jsoncpp, compiled from Debian's source packages.
include(${CMAKE_CURRENT_LIST_DIR}/sevenzip.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/jsoncpp.cmake OPTIONAL)
