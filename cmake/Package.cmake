# The archive an operator copies to a Windows server: `cmake --build build --target package` makes
# build/quarn-win64.zip with CPack's ZIP generator. Its folders are those of the server:
#   admin/bin/   quarn.exe and archiver.exe, for the panel's program folder PRODUCT_ROOT_D\admin\bin
#   debug/       their DWARF (NAME.exe.debug), kept with the release rather than on the server
#   INSTALL.txt  where each file goes, the registry values, services and database quarn expects
# The programs are the ones the build links, already without their DWARF
# (cmake/SplitDebugInfo.cmake); CPack must not strip them again, which would also take the COFF
# symbol table that Wine's dbghelp needs to follow the debug link.
install(TARGETS quarn archiver RUNTIME DESTINATION admin/bin COMPONENT programs)
install(FILES $<TARGET_FILE:quarn>.debug $<TARGET_FILE:archiver>.debug DESTINATION debug COMPONENT programs)
install(FILES ${CMAKE_SOURCE_DIR}/INSTALL.md DESTINATION . RENAME INSTALL.txt COMPONENT programs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quarn)
set(CPACK_PACKAGE_FILE_NAME quarn-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES OFF)
# Only what install() names above: the test programs and the stand-in never reach a server.
set(CPACK_MONOLITHIC_INSTALL ON)
include(CPack)
