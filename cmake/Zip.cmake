# zlib and minizip for the Windows targets: Debian has neither a 64-bit MinGW zlib nor a MinGW
# minizip, so both are compiled from the zlib sources in the source tarball of binutils-source
# (zlib 1.2.12 with its contrib/minizip). The tarball's zlib folder is unpacked once into the build
# folder at configure time. Provides the static library zuva_zip (zlib with minizip's ZIP writer,
# reader and Win32 file functions).

set(ZUVA_BINUTILS_TARBALL /usr/src/binutils/binutils-2.40.tar.xz CACHE FILEPATH
                                                                   "Source tarball that holds zlib and minizip")
set(zip_root ${CMAKE_BINARY_DIR}/_deps/zlib-src)
set(zlib_dir ${zip_root}/binutils-2.40/zlib)
if(NOT EXISTS ${zlib_dir}/contrib/minizip/zip.c)
  if(NOT EXISTS ${ZUVA_BINUTILS_TARBALL})
    message(FATAL_ERROR "zlib sources missing: install binutils-source (${ZUVA_BINUTILS_TARBALL})")
  endif()
  file(MAKE_DIRECTORY ${zip_root})
  execute_process(COMMAND tar -xJf ${ZUVA_BINUTILS_TARBALL} -C ${zip_root} binutils-2.40/zlib
                  RESULT_VARIABLE untar_result)
  if(NOT untar_result EQUAL 0)
    message(FATAL_ERROR "Cannot unpack zlib from ${ZUVA_BINUTILS_TARBALL}")
  endif()
endif()

set(zlib_sources
    adler32.c
    compress.c
    crc32.c
    deflate.c
    infback.c
    inffast.c
    inflate.c
    inftrees.c
    trees.c
    uncompr.c
    zutil.c)
list(TRANSFORM zlib_sources PREPEND ${zlib_dir}/)
set(minizip_sources ioapi.c iowin32.c zip.c unzip.c)
list(TRANSFORM minizip_sources PREPEND ${zlib_dir}/contrib/minizip/)

add_library(zuva_zip STATIC ${zlib_sources} ${minizip_sources})
target_include_directories(zuva_zip SYSTEM PUBLIC ${zlib_dir} ${zlib_dir}/contrib/minizip)
# Third-party C: its own warnings are not ours to fix.
target_compile_options(zuva_zip PRIVATE -w)
# NOCRYPT/NOUNCRYPT: no encrypted entries are written or read.
target_compile_definitions(zuva_zip PRIVATE NOCRYPT NOUNCRYPT)
