# Delay-import libraries: a DLL linked through one is loaded when the program first calls into it,
# not when the program starts. The panel starts quarn once per request, and a command that never
# reaches the database client, COM, the call-stack symboliser or a window function should not pay
# for loading them (under Wine user32 alone costs ~14 ms, and ole32, oleaut32, shlwapi and crypt32
# each pull user32 in with them).
#
# quarn_delay_import_library(VAR DLL) sets VAR to a delay-import library of DLL (e.g. user32), made
# at configure time from mingw-w64's import library of the same name: every function it exports
# goes into a .def file that `dlltool --output-delaylib` turns into the library. Data exports are
# left out (a delay-loaded DLL cannot serve them): a program that used one would link the ordinary
# import library instead, and the import-table check (tests/delay-loaded-dlls) would show it.
# The loading itself is mingw-w64's __delayLoadHelper2 (libmingwex), linked by default.
find_program(QUARN_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool x86_64-w64-mingw32-dlltool REQUIRED)
find_program(QUARN_NM NAMES ${TOOLCHAIN_PREFIX}-nm x86_64-w64-mingw32-nm REQUIRED)
set(QUARN_DELAY_IMPORT_DIR ${CMAKE_BINARY_DIR}/delay-import)

function(quarn_delay_import_library var dll)
  set(library ${QUARN_DELAY_IMPORT_DIR}/lib${dll}-delay.a)
  find_library(import_${dll} NAMES lib${dll}.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
  if(NOT EXISTS ${library} OR ${import_${dll}} IS_NEWER_THAN ${library})
    file(MAKE_DIRECTORY ${QUARN_DELAY_IMPORT_DIR})
    execute_process(COMMAND ${QUARN_NM} ${import_${dll}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # A function's member defines its thunk (T NAME) beside its import slot (I __imp_NAME).
    string(REGEX MATCHALL "[0-9a-f]+ T [^\n]+" thunks "${symbols}")
    set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
    foreach(thunk IN LISTS thunks)
      string(REGEX REPLACE "^[0-9a-f]+ T " "" name "${thunk}")
      string(APPEND def "${name}\n")
    endforeach()
    file(WRITE ${QUARN_DELAY_IMPORT_DIR}/${dll}.def "${def}")
    execute_process(
      COMMAND ${QUARN_DLLTOOL} -m i386:x86-64 -d ${QUARN_DELAY_IMPORT_DIR}/${dll}.def -D ${dll}.dll -y ${library}
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${var} ${library} PARENT_SCOPE)
endfunction()
