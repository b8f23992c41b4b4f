# The box's README states the facts of the build it comes with: the C
# library the programs are linked with, and the processor and floating
# point the compiler was told (its own predefined macros say).
separate_arguments(rx_flags UNIX_COMMAND "${CMAKE_CXX_FLAGS}")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${rx_flags} ${RX_ARCH_FLAGS} -dM -E -x c++ /dev/null
                OUTPUT_VARIABLE rx_macros ERROR_QUIET)
if(rx_macros MATCHES "#define __mips_isa_rev ([0-9]+)")
  set(RX_BOX_ISA "MIPS32 release ${CMAKE_MATCH_1}")
else()
  set(RX_BOX_ISA "MIPS32 release 1")
endif()
if(rx_macros MATCHES "#define __mips_soft_float")
  set(RX_BOX_FLOAT "soft-float (no floating-point\n  instruction is executed)")
  set(RX_BOX_FPU "with or without an FPU,\n  under a kernel with or without floating-point support")
else()
  set(RX_BOX_FLOAT "hard-float (floating-point instructions, for an\n  FPU or a kernel that emulates one)")
  set(RX_BOX_FPU "with an FPU, or\n  under a kernel that emulates one (CONFIG_MIPS_FP_SUPPORT)")
endif()
set(RX_BOX_NOTE "")
if(RX_MUSL_BUILD)
  set(RX_BOX_LIBC "musl, linked fully statically (its licence is in\n  COPYRIGHT.musl beside this file)")
  set(RX_BOX_NEEDS "- Linux 2.6.13 or later (the programs need its set_thread_area call; every
  newer call they use has a fallback);
- nothing else: no C library, no other file;")
else()
  if(RX_STATIC)
    set(RX_BOX_LIBC "the toolchain's, linked statically")
    set(RX_BOX_NEEDS "- the kernel that the toolchain's C library asks for;")
  else()
    set(RX_BOX_LIBC "the toolchain's, linked dynamically")
    set(RX_BOX_NEEDS "- the toolchain's C library and its program interpreter, as the
  firmware's other programs need them;")
  endif()
  set(RX_BOX_NOTE "
The firmware's toolchain chose the C library and the processor. The
project's own release is static on musl for MIPS32 release 1, soft-float,
and needs nothing on the box: build it with
-DCMAKE_TOOLCHAIN_FILE=cmake/mips-linux-musl.cmake from the source tree
(it takes Debian's mips-linux-gnu cross compiler).
")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/../package/README.receiver.in ${CMAKE_BINARY_DIR}/README.receiver @ONLY)
