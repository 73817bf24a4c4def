# The extract action's tests use the archives made for the extraction tests and a resource of
# their own program.
add_dependencies(${TZ_UNIT_TARGET} unit_extract_archives)
target_sources(${TZ_UNIT_TARGET} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/extract_res.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/extract_res.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/empty.bin")
