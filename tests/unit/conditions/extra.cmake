# The condition tests read the version resources and image headers of these helpers and start a
# copy of the test program, all from beside the test program.
add_dependencies(${TZ_UNIT_TARGET} tz_testproc tz_versioned tz_pe64)
