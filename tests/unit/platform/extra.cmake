# The platform tests start, version-read and bitness-read these helpers from beside the test program.
add_dependencies(${TZ_UNIT_TARGET} tz_testproc tz_versioned tz_versioned_notrans tz_pe64)
