# quarn_split_debug_info(TARGET): after each link, the program's DWARF goes to TARGET_FILE.debug
# beside it and the program itself keeps only a .gnu_debuglink to that file (name and CRC). A
# program carrying its ~45 MB of DWARF starts three times slower under Wine than the same program
# without them, and the panel starts quarn once per request.
#
# Wine's dbghelp follows the link (same folder as the program, or its .debug subfolder), so debug
# mode's call stacks keep function names, files and lines there as long as the .debug file lies
# beside the program. The COFF symbol table stays in the program (--strip-debug, not --strip-all:
# from a program without it Wine's dbghelp did not follow the link). Windows' own dbghelp reads PDB, never DWARF, with or without
# the split: on Windows the call stack shows addresses and module names only, and the .debug file
# serves a developer's gdb or a later symbolisation of those addresses.
function(quarn_split_debug_info target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
      $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Moving the debug information of ${target} to $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()
