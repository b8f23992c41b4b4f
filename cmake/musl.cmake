# A fully static build on musl, shared by the musl toolchain files: the
# compiler sees only libstdc++'s headers (no run-time library of it is
# linked, so a use of the heap or of exceptions is a link error), musl's and
# gcc's; the link takes musl's start files, libc.a and the compiler's
# run-time routines, nothing else. Set RX_TRIPLE (the compiler's prefix),
# RX_MUSL_INCLUDE and RX_MUSL_LIB (musl's headers and libraries),
# RX_ARCH_FLAGS (the processor, a list) and RX_BUILTINS (an archive of the
# run-time routines in place of libgcc, or nothing) first.
#
# Everything here is set anew on every configure, never only on a tree's
# first (as CMAKE_<LANG>_FLAGS_INIT is), so that a tree follows a new musl or
# new flags; paths are quoted, so that they may hold blanks.
set(CMAKE_C_COMPILER ${RX_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${RX_TRIPLE}-g++)

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dir ${libgcc} DIRECTORY)
# libstdc++'s headers: the compiler's own C++ search folders.
execute_process(COMMAND sh -c "echo | ${CMAKE_CXX_COMPILER} -x c++ -E -v - 2>&1 | sed -n 's/^ \\(.*c++.*\\)/\\1/p'"
                OUTPUT_VARIABLE cxx_dirs OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "\n" ";" cxx_dirs "${cxx_dirs}")

# Trees configured before this file set the flags once kept them in the
# cache; they are renewed below instead.
foreach(lang C CXX)
  if(CMAKE_${lang}_FLAGS MATCHES "-nostdinc")
    set(CMAKE_${lang}_FLAGS "" CACHE STRING "Flags used by the compiler during all build types." FORCE)
  endif()
endforeach()

add_compile_options(${RX_ARCH_FLAGS} -ffunction-sections -fdata-sections -nostdinc)
foreach(dir ${cxx_dirs})
  add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:SHELL:-isystem \"${dir}\">")
endforeach()
add_compile_options("SHELL:-isystem \"${RX_MUSL_INCLUDE}\"" "SHELL:-isystem \"${gcc_dir}/include\""
                    # libstdc++ asks the C library's version with a glibc macro; musl has none.
                    "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include \"${CMAKE_CURRENT_LIST_DIR}/musl_compat.h\">")

if(RX_BUILTINS)
  set(runtime "\"${RX_BUILTINS}\"")
else()
  set(runtime "\"${libgcc}\"")
endif()
# The data segment follows the code in the file, not at the next page: the
# kernel maps each segment from the page that holds its start (any MIPS page
# size, as the segments' addresses and offsets agree modulo 64 KiB), so the
# 2.6 KB of padding between them bought nothing.
set(musl_link "-static -nostdlib -Wl,--gc-sections -Wl,-z,common-page-size=64 \"${RX_MUSL_LIB}/crt1.o\" \"${RX_MUSL_LIB}/crti.o\" <OBJECTS> -o <TARGET> <LINK_LIBRARIES> -Wl,--start-group \"${RX_MUSL_LIB}/libc.a\" ${runtime} -Wl,--end-group \"${RX_MUSL_LIB}/crtn.o\"")
set(CMAKE_C_LINK_EXECUTABLE "<CMAKE_C_COMPILER> <FLAGS> <CMAKE_C_LINK_FLAGS> <LINK_FLAGS> ${musl_link}")
set(CMAKE_CXX_LINK_EXECUTABLE "<CMAKE_CXX_COMPILER> <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> ${musl_link}")

set(RX_STATIC ON CACHE BOOL "Link the receiver programs statically")
set(RX_MUSL_BUILD ON CACHE BOOL "The programs are linked with musl")
