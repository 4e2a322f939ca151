# Cross-compiling for 64-bit Windows with clang and lld, on the MinGW-w64 headers and the
# libstdc++ of Debian's cross compiler (posix thread model): the same sources as the GCC
# build, so that nothing leans on one compiler's leniency.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_SYSROOT /usr/${TOOLCHAIN_PREFIX})

# The cross compiler's own folder holds libstdc++, its headers and libgcc.
file(GLOB GCC_FOLDERS /usr/lib/gcc/${TOOLCHAIN_PREFIX}/*-posix)
list(SORT GCC_FOLDERS COMPARE NATURAL ORDER DESCENDING)
list(GET GCC_FOLDERS 0 GCC_FOLDER)
set(LIBSTDCXX_INCLUDE ${GCC_FOLDER}/include/c++)
set(CMAKE_CXX_FLAGS_INIT "-nostdinc++ -isystem ${LIBSTDCXX_INCLUDE} \
-isystem ${LIBSTDCXX_INCLUDE}/${TOOLCHAIN_PREFIX} -isystem ${LIBSTDCXX_INCLUDE}/backward")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Nothing but the system's own DLLs need shipping beside ours. The posix thread model's
# libstdc++ needs winpthreads, which the GCC driver adds by itself; lld finds it wherever it
# stands on the line. Linking is handed the compile flags too, where -nostdinc++ has nothing
# to do.
set(LINK_FLAGS "-fuse-ld=lld -L${GCC_FOLDER} -static -lpthread -Wno-unused-command-line-argument")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${LINK_FLAGS}")
