# The receiver's release: 32-bit big-endian MIPS, fully static on musl, which
# tools/sources.sh builds from Debian's source package.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(RX_TRIPLE mips-linux-gnu)
# Every MIPS32 processor from release 1 on, soft-float o32: no floating-point
# instruction is ever executed, so a core without an FPU needs no emulator in
# its kernel. musl and the builtins are built the same way. RX_FLOAT=hard in
# the environment builds hard-float instead, as the release was before (for
# measuring what that costs a box; tools/sources.sh reads it too).
set(RX_ARCH_FLAGS -march=mips32 -fno-pie)
if(NOT "$ENV{RX_FLOAT}" STREQUAL "hard")
  list(APPEND RX_ARCH_FLAGS -msoft-float)
endif()

# rx_source(NAME): what tools/sources.sh NAME built, in the environment
# variable RX_<NAME> (the toolchain file is read again for every check).
macro(rx_source name)
  string(TOUPPER "RX_${name}" var)
  if(NOT DEFINED ENV{${var}})
    execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../tools/sources.sh ${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${name} for the receiver is missing and could not be built (tools/sources.sh ${name})")
    endif()
    set(ENV{${var}} ${path})
  endif()
endmacro()
rx_source(musl)
# the compiler's run-time routines, for release 1 and soft-float, in place of libgcc
rx_source(builtins)
# Derived from the cache on every configure, never cached themselves.
set(RX_BUILTINS $ENV{RX_BUILTINS}/lib/libbuiltins.a)
set(RX_MUSL_DIR $ENV{RX_MUSL})
set(RX_MUSL_INCLUDE $ENV{RX_MUSL}/include)
set(RX_MUSL_LIB $ENV{RX_MUSL}/lib)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mips)
