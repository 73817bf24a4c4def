# The language tests read LANG resources of their own program.
target_sources(${TZ_UNIT_TARGET} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/lang.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/lang.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/lang_utf8.ini;${CMAKE_CURRENT_LIST_DIR}/lang_ansi.ini;${CMAKE_CURRENT_LIST_DIR}/lang_bad.ini")
# Program variables run the process helper that sits beside the test program.
add_dependencies(${TZ_UNIT_TARGET} tz_testproc)
