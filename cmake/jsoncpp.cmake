# jsoncpp from Debian's source package, compiled as a static library with its own flags.
#
# Target: jsoncpp_lib (STATIC), PUBLIC include directory = jsoncpp's include/ (#include <json/json.h>).

file(GLOB _tz_jsoncpp_dirs LIST_DIRECTORIES true "${TZ_DEPS_DIR}/libjsoncpp-*" "${TZ_DEPS_DIR}/jsoncpp-*")
set(_tz_jsoncpp_root "")
foreach(d IN LISTS _tz_jsoncpp_dirs)
  if(IS_DIRECTORY "${d}" AND EXISTS "${d}/include/json/json.h")
    set(_tz_jsoncpp_root "${d}")
  endif()
endforeach()
if(NOT _tz_jsoncpp_root)
  message(FATAL_ERROR "jsoncpp source not found under ${TZ_DEPS_DIR}: run scripts/bootstrap.sh")
endif()
file(STRINGS "${_tz_jsoncpp_root}/include/json/version.h" _tz_jsoncpp_ver
     REGEX "#define JSONCPP_VERSION_STRING ")
string(REGEX REPLACE ".*\"([^\"]*)\".*" "\\1" _tz_jsoncpp_ver "${_tz_jsoncpp_ver}")
get_filename_component(_tz_jsoncpp_folder "${_tz_jsoncpp_root}" NAME)
message(STATUS "jsoncpp ${_tz_jsoncpp_ver} (${_tz_jsoncpp_folder})")

file(GLOB _tz_jsoncpp_sources "${_tz_jsoncpp_root}/src/lib_json/*.cpp")
add_library(jsoncpp_lib STATIC ${_tz_jsoncpp_sources})
target_include_directories(jsoncpp_lib SYSTEM PUBLIC "${_tz_jsoncpp_root}/include")
target_include_directories(jsoncpp_lib PRIVATE "${_tz_jsoncpp_root}/src/lib_json")
target_compile_options(jsoncpp_lib PRIVATE -w)
