# Third-party libraries, cross-built for Windows x64 from Debian's own source packages and linked
# statically:
#   deps::idn       libidn (IDNA conversion of domain names)
#   deps::mariadb   MariaDB Connector/C, the MySQL client library (the libmariadb/ tree of Debian's
#                   mariadb source package)
# Sources are fetched through apt's source mechanism (cmake/fetch-debian-source.sh) into
# QUARN_DEPS_DIR and built once there; a later configure of the same build folder reuses them.
include(ExternalProject)

set(QUARN_DEPS_DIR ${CMAKE_BINARY_DIR}/deps CACHE PATH
  "Where the dependencies' source packages are downloaded, built and installed")
set(DEPS_PREFIX ${QUARN_DEPS_DIR}/install)
set(FETCH_SOURCE ${CMAKE_CURRENT_LIST_DIR}/fetch-debian-source.sh)
set(UNPACK_SOURCE ${CMAKE_CURRENT_LIST_DIR}/unpack-debian-source.sh)
file(MAKE_DIRECTORY ${DEPS_PREFIX}/include ${DEPS_PREFIX}/include/mariadb)

# libidn: gnulib (lib/gl) must be built before the library itself; programs, documentation and
# translations are not needed.
set(IDN_LIBRARY ${DEPS_PREFIX}/lib/libidn.a)
ExternalProject_Add(libidn-build
  PREFIX ${QUARN_DEPS_DIR}/libidn-build
  SOURCE_DIR ${QUARN_DEPS_DIR}/libidn-src
  INSTALL_DIR ${DEPS_PREFIX}
  DOWNLOAD_COMMAND ${FETCH_SOURCE} ${QUARN_DEPS_DIR} libidn
    COMMAND ${UNPACK_SOURCE} ${QUARN_DEPS_DIR}/libidn ${QUARN_DEPS_DIR}/libidn-src
  CONFIGURE_COMMAND <SOURCE_DIR>/configure --host=x86_64-w64-mingw32 --prefix=<INSTALL_DIR>
    --disable-shared --enable-static --disable-doc --disable-nls
    CC=${CMAKE_C_COMPILER} "CFLAGS=-O2"
  BUILD_COMMAND make -j2 -C lib/gl
    COMMAND make -j2 -C lib
  INSTALL_COMMAND make -C lib install
  BUILD_BYPRODUCTS ${IDN_LIBRARY}
  USES_TERMINAL_DOWNLOAD ON
  USES_TERMINAL_BUILD ON)

add_library(deps::idn STATIC IMPORTED GLOBAL)
set_target_properties(deps::idn PROPERTIES
  IMPORTED_LOCATION ${IDN_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${DEPS_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS LIBIDN_STATIC)
add_dependencies(deps::idn libidn-build)

# MariaDB Connector/C: TLS through SChannel, the bundled zlib, no curl, no unit tests; every client
# plugin but dialog and GSSAPI (which are left out) linked into the library.
set(MARIADB_LIBRARY ${DEPS_PREFIX}/lib/mariadb/libmariadbclient.a)
ExternalProject_Add(mariadb-build
  PREFIX ${QUARN_DEPS_DIR}/mariadb-build
  SOURCE_DIR ${QUARN_DEPS_DIR}/libmariadb-src
  INSTALL_DIR ${DEPS_PREFIX}
  DOWNLOAD_COMMAND ${FETCH_SOURCE} ${QUARN_DEPS_DIR} mariadb
    COMMAND ${UNPACK_SOURCE} ${QUARN_DEPS_DIR}/mariadb ${QUARN_DEPS_DIR}/libmariadb-src libmariadb
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
  INSTALL_COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR> --component Development
  BUILD_BYPRODUCTS ${MARIADB_LIBRARY}
  USES_TERMINAL_DOWNLOAD ON
  USES_TERMINAL_BUILD ON)

add_library(deps::mariadb STATIC IMPORTED GLOBAL)
set_target_properties(deps::mariadb PROPERTIES
  IMPORTED_LOCATION ${MARIADB_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${DEPS_PREFIX}/include/mariadb
  INTERFACE_LINK_LIBRARIES "ws2_32;advapi32;shlwapi;crypt32;bcrypt;secur32")
add_dependencies(deps::mariadb mariadb-build)

# libarchive, the archive reader of the archiver program (tools/archivers): only the library, with
# zlib from Debian's libz-mingw-w64-dev and no other compression or crypto library, so that the
# formats it reads without them (zip deflate and store, tar, gzip, rar) are what it offers.
find_path(MINGW_ZLIB_INCLUDE_DIR zlib.h PATHS /usr/x86_64-w64-mingw32/include NO_DEFAULT_PATH)
find_library(MINGW_ZLIB_LIBRARY NAMES libz.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH)
if(NOT MINGW_ZLIB_INCLUDE_DIR OR NOT MINGW_ZLIB_LIBRARY)
  message(FATAL_ERROR "zlib for mingw-w64 is missing: install Debian's libz-mingw-w64-dev (scripts/setup)")
endif()
set(ARCHIVE_LIBRARY ${DEPS_PREFIX}/lib/libarchive.a)
ExternalProject_Add(libarchive-build
  PREFIX ${QUARN_DEPS_DIR}/libarchive-build
  SOURCE_DIR ${QUARN_DEPS_DIR}/libarchive-src
  INSTALL_DIR ${DEPS_PREFIX}
  DOWNLOAD_COMMAND ${FETCH_SOURCE} ${QUARN_DEPS_DIR} libarchive
    COMMAND ${UNPACK_SOURCE} ${QUARN_DEPS_DIR}/libarchive ${QUARN_DEPS_DIR}/libarchive-src
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
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libarchive/libarchive_static.a ${ARCHIVE_LIBRARY}
    COMMAND ${CMAKE_COMMAND} -E copy <SOURCE_DIR>/libarchive/archive.h <SOURCE_DIR>/libarchive/archive_entry.h
      ${DEPS_PREFIX}/include
  BUILD_BYPRODUCTS ${ARCHIVE_LIBRARY}
  USES_TERMINAL_DOWNLOAD ON
  USES_TERMINAL_BUILD ON)

add_library(deps::archive STATIC IMPORTED GLOBAL)
set_target_properties(deps::archive PROPERTIES
  IMPORTED_LOCATION ${ARCHIVE_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${DEPS_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC
  INTERFACE_LINK_LIBRARIES "${MINGW_ZLIB_LIBRARY};bcrypt;advapi32")
add_dependencies(deps::archive libarchive-build)
