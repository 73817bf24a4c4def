# Delay-load import libraries: a DLL linked through one is bound on its first use instead of at
# start, so the program can load it from the system directory by full path beforehand (the loader
# then hands that module to the delay-load helper) and never picks up a copy planted beside it.
find_program(TZ_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
find_program(TZ_NM NAMES i686-w64-mingw32-nm REQUIRED)

# tz_delay_import(<output variable> <dll base name>): builds lib<name>_delay.a from the
# toolchain's import library and sets the variable to its path.
function(tz_delay_import out name)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${name}.a
                  OUTPUT_VARIABLE implib OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(def ${CMAKE_BINARY_DIR}/_deps/${name}_delay.def)
  set(lib ${CMAKE_BINARY_DIR}/_deps/lib${name}_delay.a)
  if(NOT EXISTS ${lib} OR ${implib} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${TZ_NM} ${implib} OUTPUT_VARIABLE symbols)
    string(REGEX MATCHALL "__imp__[A-Za-z0-9_]+@[0-9]+" imports "${symbols}")
    list(REMOVE_DUPLICATES imports)
    set(text "LIBRARY ${name}.dll\nEXPORTS\n")
    foreach(sym ${imports})
      string(REGEX REPLACE "^__imp__" "" sym ${sym})
      string(APPEND text "${sym}\n")
    endforeach()
    file(WRITE ${def} "${text}")
    execute_process(COMMAND ${TZ_DLLTOOL} -k --input-def ${def} --output-delaylib ${lib} --dllname ${name}.dll
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dlltool could not make the delay-load library of ${name}.dll")
    endif()
  endif()
  set(${out} ${lib} PARENT_SCOPE)
endfunction()
