# The receiver's programs as they ship (fully static on musl), built for the
# PC, so that tools made for PC programs (strace) can watch them. musl comes
# from Debian's musl-dev.
set(RX_TRIPLE x86_64-linux-gnu)
set(RX_MUSL_INCLUDE /usr/include/x86_64-linux-musl)
set(RX_MUSL_LIB /usr/lib/x86_64-linux-musl)
if(NOT EXISTS ${RX_MUSL_LIB}/libc.a)
  message(FATAL_ERROR "musl for the PC is missing (package musl-dev)")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
