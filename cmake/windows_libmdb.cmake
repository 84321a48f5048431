# libmdb (Access record files) for the Windows build: Debian has no mingw package of it, so the
# 20 sources of mdbtools' src/libmdb are compiled here with the same toolchain, against its own
# small GLib replacement (mdbfakeglib.h) and without iconv. The tarball sits beside the Qt SDK.
# Defines the static library velm_libmdb, which the Access reader links.
set(velm_mdb_tarball ${VELM_QT_WINDOWS}/mdbtools-1.0.0.tar.xz)
if(NOT EXISTS ${velm_mdb_tarball})
  message(FATAL_ERROR "No ${velm_mdb_tarball}: the Access import needs libmdb; set VELM_QT_WINDOWS "
                      "to the folder that holds the Windows Qt and mdbtools-1.0.0.tar.xz")
endif()
set(velm_mdb_dir ${CMAKE_BINARY_DIR}/mdbtools-1.0.0)
if(NOT EXISTS ${velm_mdb_dir}/src/libmdb/data.c)
  file(ARCHIVE_EXTRACT INPUT ${velm_mdb_tarball} DESTINATION ${CMAKE_BINARY_DIR})
endif()

# The two headers that configure would make.
file(READ ${velm_mdb_dir}/include/mdbtools.h.in velm_mdb_header)
string(REPLACE "@GLIB_INCLUDE_HEADER@" "mdbfakeglib.h" velm_mdb_header "${velm_mdb_header}")
string(REPLACE "@HAVE_ICONV_H@" "0" velm_mdb_header "${velm_mdb_header}")
string(REPLACE "@HAVE_XLOCALE_H@" "0" velm_mdb_header "${velm_mdb_header}")
string(REPLACE "@LOCALE_T@" "_locale_t" velm_mdb_header "${velm_mdb_header}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/mdbtools-include/mdbtools.h CONTENT "${velm_mdb_header}"
     @ONLY)
file(READ ${velm_mdb_dir}/include/mdbver.h.in velm_mdb_version)
string(REPLACE "@PACKAGE@" "mdbtools" velm_mdb_version "${velm_mdb_version}")
string(REPLACE "@VERSION@" "1.0.0" velm_mdb_version "${velm_mdb_version}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/mdbtools-include/mdbver.h CONTENT "${velm_mdb_version}"
     @ONLY)

enable_language(C)
set(velm_mdb_sources)
foreach(name backend catalog data dump fakeglib file iconv index like map money options props
             rc4 sargs stats table version worktable write)
  list(APPEND velm_mdb_sources ${velm_mdb_dir}/src/libmdb/${name}.c)
endforeach()
add_library(velm_libmdb STATIC ${velm_mdb_sources})
set_target_properties(velm_libmdb PROPERTIES UNITY_BUILD OFF C_STANDARD 99)
target_include_directories(velm_libmdb
  PUBLIC ${CMAKE_BINARY_DIR}/mdbtools-include ${velm_mdb_dir}/include)
target_compile_definitions(velm_libmdb PRIVATE TLS=__thread HAVE_VASPRINTF)
# Someone else's code: its warnings are not ours to fix.
target_compile_options(velm_libmdb PRIVATE -w -Wno-error)
if(VELM_CCACHE)
  set_target_properties(velm_libmdb PROPERTIES C_COMPILER_LAUNCHER "${CMAKE_CXX_COMPILER_LAUNCHER}")
endif()
