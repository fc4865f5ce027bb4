# Third-party libraries, cross-built for Windows x64 from Debian's own source packages and linked
# statically:
#   deps::idn       libidn (IDNA conversion of domain names)
#   deps::mariadb   MariaDB Connector/C, the MySQL client library (the libmariadb/ tree of Debian's
#                   mariadb source package)
#   deps::archive   libarchive (the archiver program's reader)
# Sources are fetched through apt's source mechanism (cmake/fetch-debian-source.sh) into
# QUARN_DEPS_DIR and built once there; a later configure of the same build folder reuses them.
include(ExternalProject)

set(QUARN_DEPS_DIR ${CMAKE_BINARY_DIR}/deps CACHE PATH
  "Where the dependencies' source packages are downloaded, built and installed")
set(DEPS_PREFIX ${QUARN_DEPS_DIR}/install)
set(FETCH_SOURCE ${CMAKE_CURRENT_LIST_DIR}/fetch-debian-source.sh)
set(UNPACK_SOURCE ${CMAKE_CURRENT_LIST_DIR}/unpack-debian-source.sh)
file(MAKE_DIRECTORY ${DEPS_PREFIX}/include ${DEPS_PREFIX}/include/mariadb)

# debian_source_library(NAME PROJECT PACKAGE SOURCE [SUBTREE DIR] LIBRARY FILE INCLUDE DIR
#                       [DEFINITIONS LIST] [LINK LIST] <ExternalProject_Add steps>)
# Builds the Debian source package PACKAGE (unpacked into QUARN_DEPS_DIR/SOURCE, only its SUBTREE
# when given) as the external project PROJECT, and offers the static library FILE as deps::NAME.
function(debian_source_library name project)
  cmake_parse_arguments(PARSE_ARGV 2 D "" "PACKAGE;SOURCE;SUBTREE;LIBRARY;INCLUDE;DEFINITIONS;LINK" "")
  ExternalProject_Add(${project}
    PREFIX ${QUARN_DEPS_DIR}/${project}
    SOURCE_DIR ${QUARN_DEPS_DIR}/${D_SOURCE}
    INSTALL_DIR ${DEPS_PREFIX}
    DOWNLOAD_COMMAND ${FETCH_SOURCE} ${QUARN_DEPS_DIR} ${D_PACKAGE}
      COMMAND ${UNPACK_SOURCE} ${QUARN_DEPS_DIR}/${D_PACKAGE} ${QUARN_DEPS_DIR}/${D_SOURCE} ${D_SUBTREE}
    ${D_UNPARSED_ARGUMENTS}
    BUILD_BYPRODUCTS ${D_LIBRARY}
    USES_TERMINAL_DOWNLOAD ON
    USES_TERMINAL_BUILD ON)
  add_library(deps::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(deps::${name} PROPERTIES
    IMPORTED_LOCATION ${D_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${D_INCLUDE}
    INTERFACE_COMPILE_DEFINITIONS "${D_DEFINITIONS}"
    INTERFACE_LINK_LIBRARIES "${D_LINK}")
  add_dependencies(deps::${name} ${project})
endfunction()

# libidn: gnulib (lib/gl) must be built before the library itself; programs, documentation and
# translations are not needed.
debian_source_library(idn libidn-build
  PACKAGE libidn SOURCE libidn-src
  LIBRARY ${DEPS_PREFIX}/lib/libidn.a INCLUDE ${DEPS_PREFIX}/include DEFINITIONS LIBIDN_STATIC
  CONFIGURE_COMMAND <SOURCE_DIR>/configure --host=x86_64-w64-mingw32 --prefix=<INSTALL_DIR>
    --disable-shared --enable-static --disable-doc --disable-nls
    CC=${CMAKE_C_COMPILER} "CFLAGS=-O2"
  BUILD_COMMAND make -j2 -C lib/gl
    COMMAND make -j2 -C lib
  INSTALL_COMMAND make -C lib install)

# MariaDB Connector/C: TLS through SChannel, the bundled zlib, no curl, no unit tests; every client
# plugin but dialog and GSSAPI (which are left out) linked into the library.
debian_source_library(mariadb mariadb-build
  PACKAGE mariadb SOURCE libmariadb-src SUBTREE libmariadb
  LIBRARY ${DEPS_PREFIX}/lib/mariadb/libmariadbclient.a INCLUDE ${DEPS_PREFIX}/include/mariadb
  LINK "${DELAYED_ws2_32};advapi32;${DELAYED_shlwapi};${DELAYED_crypt32};${DELAYED_bcrypt};${DELAYED_secur32}"
  CMAKE_ARGS
    -G Ninja
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DINSTALL_LIBDIR=lib/mariadb
    -DINSTALL_INCLUDEDIR=include/mariadb
    -DWITH_SSL=SCHANNEL
    -DWITH_UNIT_TESTS=OFF
    -DWITH_CURL=OFF
    -DWITH_EXTERNAL_ZLIB=OFF
    -DWITH_MSI=OFF
    -DWITH_SIGNCODE=OFF
    -DCLIENT_PLUGIN_DIALOG=OFF
    -DCLIENT_PLUGIN_AUTH_GSSAPI_CLIENT=OFF
    -DCLIENT_PLUGIN_CLIENT_ED25519=STATIC
    -DCLIENT_PLUGIN_CACHING_SHA2_PASSWORD=STATIC
    -DCLIENT_PLUGIN_SHA256_PASSWORD=STATIC
    -DCLIENT_PLUGIN_MYSQL_CLEAR_PASSWORD=STATIC
    -DCLIENT_PLUGIN_MYSQL_OLD_PASSWORD=STATIC
    -DCLIENT_PLUGIN_PVIO_SHMEM=STATIC
    -DCLIENT_PLUGIN_PVIO_NPIPE=STATIC
    -DCLIENT_PLUGIN_ZSTD=OFF
    -DCLIENT_PLUGIN_REMOTE_IO=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target mariadbclient --parallel 2
  INSTALL_COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR> --component Development)

# libarchive, the archive reader of the archiver program (tools/archivers): only the library, with
# zlib from Debian's libz-mingw-w64-dev and no other compression or crypto library, so that the
# formats it reads without them (zip deflate and store, tar, gzip, rar) are what it offers.
find_path(MINGW_ZLIB_INCLUDE_DIR zlib.h PATHS /usr/x86_64-w64-mingw32/include NO_DEFAULT_PATH)
find_library(MINGW_ZLIB_LIBRARY NAMES libz.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH)
if(NOT MINGW_ZLIB_INCLUDE_DIR OR NOT MINGW_ZLIB_LIBRARY)
  message(FATAL_ERROR "zlib for mingw-w64 is missing: install Debian's libz-mingw-w64-dev (scripts/setup)")
endif()
debian_source_library(archive libarchive-build
  PACKAGE libarchive SOURCE libarchive-src
  LIBRARY ${DEPS_PREFIX}/lib/libarchive.a INCLUDE ${DEPS_PREFIX}/include DEFINITIONS LIBARCHIVE_STATIC
  LINK "${MINGW_ZLIB_LIBRARY};bcrypt;advapi32"
  CMAKE_ARGS
    -G Ninja
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DZLIB_INCLUDE_DIR=${MINGW_ZLIB_INCLUDE_DIR}
    -DZLIB_LIBRARY=${MINGW_ZLIB_LIBRARY}
    -DENABLE_ZLIB=ON
    -DENABLE_BZip2=OFF -DENABLE_LZMA=OFF -DENABLE_LZ4=OFF -DENABLE_ZSTD=OFF -DENABLE_LZO=OFF
    -DENABLE_LIBB2=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF
    -DENABLE_CNG=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF
    -DENABLE_OPENSSL=OFF -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF
    -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF
    -DENABLE_COVERAGE=OFF -DENABLE_INSTALL=ON -DENABLE_WERROR=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target archive_static --parallel 2
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libarchive/libarchive_static.a ${DEPS_PREFIX}/lib/libarchive.a
    COMMAND ${CMAKE_COMMAND} -E copy <SOURCE_DIR>/libarchive/archive.h <SOURCE_DIR>/libarchive/archive_entry.h
      ${DEPS_PREFIX}/include)
