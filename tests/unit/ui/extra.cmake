# The window object loads the skin package from its own module's resources.
target_sources(${TZ_UNIT_TARGET} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/skin.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/skin.rc PROPERTIES OBJECT_DEPENDS "${TZ_SKIN_ZIP}")
target_include_directories(${TZ_UNIT_TARGET} PRIVATE ${CMAKE_BINARY_DIR}/product)
add_dependencies(${TZ_UNIT_TARGET} skin-package)
