# A fully static build on musl, shared by the musl toolchain files: the
# compiler sees only libstdc++'s headers (no run-time library of it is
# linked, so a use of the heap or of exceptions is a link error), musl's and
# gcc's; the link takes musl's start files, libc.a and libgcc, nothing else.
# Set RX_TRIPLE (the compiler's prefix), RX_MUSL_INCLUDE and RX_MUSL_LIB
# (musl's headers and libraries), RX_ARCH_FLAGS (the processor) and
# RX_BUILTINS (an archive that takes the place of some of libgcc's routines,
# or nothing) first.
set(CMAKE_C_COMPILER ${RX_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${RX_TRIPLE}-g++)

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dir ${libgcc} DIRECTORY)
# libstdc++'s headers: the compiler's own C++ search folders.
execute_process(COMMAND sh -c "echo | ${CMAKE_CXX_COMPILER} -x c++ -E -v - 2>&1 | sed -n 's/^ \\(.*c++.*\\)/\\1/p'"
                OUTPUT_VARIABLE cxx_dirs OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "\n" ";" cxx_dirs "${cxx_dirs}")

set(c_includes "-nostdinc -isystem ${RX_MUSL_INCLUDE} -isystem ${gcc_dir}/include")
set(cxx_includes "-nostdinc")
foreach(dir ${cxx_dirs})
  string(APPEND cxx_includes " -isystem ${dir}")
endforeach()
# libstdc++ asks the C library's version with a glibc macro; musl has none.
string(APPEND cxx_includes " -isystem ${RX_MUSL_INCLUDE} -isystem ${gcc_dir}/include -include ${CMAKE_CURRENT_LIST_DIR}/musl_compat.h")

set(CMAKE_C_FLAGS_INIT "${RX_ARCH_FLAGS} ${c_includes} -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "${RX_ARCH_FLAGS} ${cxx_includes} -ffunction-sections -fdata-sections")

set(musl_link "-static -nostdlib -Wl,--gc-sections ${RX_MUSL_LIB}/crt1.o ${RX_MUSL_LIB}/crti.o <OBJECTS> -o <TARGET> <LINK_LIBRARIES> -Wl,--start-group ${RX_MUSL_LIB}/libc.a ${RX_BUILTINS} ${libgcc} -Wl,--end-group ${RX_MUSL_LIB}/crtn.o")
set(CMAKE_C_LINK_EXECUTABLE "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_C_LINK_FLAGS> <LINK_FLAGS> ${musl_link}")
set(CMAKE_CXX_LINK_EXECUTABLE "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> ${musl_link}")

set(RX_STATIC ON CACHE BOOL "Link the receiver programs statically")
set(RX_MUSL_BUILD ON CACHE BOOL "The programs are linked with musl")
