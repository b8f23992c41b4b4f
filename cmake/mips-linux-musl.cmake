# The receiver's release: 32-bit big-endian MIPS, fully static on musl, which
# tools/sources.sh builds from Debian's source package.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(RX_TRIPLE mips-linux-gnu)

if(NOT DEFINED ENV{RX_MUSL})
  execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../tools/sources.sh musl
                  OUTPUT_VARIABLE musl OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "musl for the receiver is missing and could not be built (tools/sources.sh musl)")
  endif()
  set(ENV{RX_MUSL} ${musl})
endif()
set(RX_MUSL_DIR $ENV{RX_MUSL} CACHE PATH "musl for the receiver, with its COPYRIGHT")
set(RX_MUSL_INCLUDE $ENV{RX_MUSL}/include)
set(RX_MUSL_LIB $ENV{RX_MUSL}/lib)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-mips)
