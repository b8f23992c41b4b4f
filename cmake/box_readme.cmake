# The box's README states the facts of the build it comes with: the C
# library the programs are linked with, and the processor and floating
# point the compiler was told, as its own predefined macros say. The
# compiler is asked as the build calls it: through its launcher, with the
# first argument of a compiler given as "gcc ARG", the flags of every
# configuration and of the build's, and the toolchain's own options. A
# build that is not for a receiver (big-endian MIPS) gets no box README.
set(rx_flags ${CMAKE_CXX_COMPILER_LAUNCHER} ${CMAKE_CXX_COMPILER})
if(CMAKE_CXX_COMPILER_ARG1)
  separate_arguments(rx_arg1 UNIX_COMMAND "${CMAKE_CXX_COMPILER_ARG1}")
  list(APPEND rx_flags ${rx_arg1})
endif()
string(TOUPPER "${CMAKE_BUILD_TYPE}" rx_config)
separate_arguments(rx_given UNIX_COMMAND "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${rx_config}}")
get_directory_property(rx_options COMPILE_OPTIONS)
# Header folders (generator expressions, SHELL: pairs, -nostdinc) say nothing of the processor.
list(FILTER rx_options EXCLUDE REGEX "^(SHELL:|-nostdinc$)|[$]<")
list(APPEND rx_flags ${rx_given} ${RX_ARCH_FLAGS} ${rx_options})
execute_process(COMMAND ${rx_flags} -dM -E -x c++ /dev/null OUTPUT_VARIABLE rx_macros ERROR_QUIET)

set(RX_BOX_README OFF)
if(rx_macros MATCHES "#define __MIPSEB__ ")
  set(RX_BOX_README ON)
endif()
if(RX_BOX_README)
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
    # glibc's version from its headers, the oldest kernel it runs on from
    # the ABI note it puts into every program it links.
    file(WRITE ${CMAKE_BINARY_DIR}/box_probe.cpp "#include <features.h>\nint main() { return 0; }\n")
    execute_process(COMMAND ${rx_flags} -dM -E ${CMAKE_BINARY_DIR}/box_probe.cpp OUTPUT_VARIABLE rx_libc ERROR_QUIET)
    set(rx_glibc "the toolchain's C library")
    if(rx_libc MATCHES "#define __GLIBC__ ([0-9]+)")
      set(rx_major ${CMAKE_MATCH_1})
      string(REGEX MATCH "#define __GLIBC_MINOR__ ([0-9]+)" rx_minor "${rx_libc}")
      set(rx_glibc "glibc ${rx_major}.${CMAKE_MATCH_1}")
    endif()
    set(rx_kernel "the kernel that ${rx_glibc} asks for")
    execute_process(COMMAND ${rx_flags} ${CMAKE_BINARY_DIR}/box_probe.cpp -o ${CMAKE_BINARY_DIR}/box_probe
                    RESULT_VARIABLE rx_linked OUTPUT_QUIET ERROR_QUIET)
    if(rx_linked EQUAL 0)
      file(READ ${CMAKE_BINARY_DIR}/box_probe rx_probe HEX)
      # The note "GNU", type 1: the OS (0, Linux) and the kernel's version, in
      # three words of the target's byte order (big-endian on the receiver).
      if(rx_probe MATCHES "000000040000001000000001474e550000000000(........)(........)(........)")
        foreach(i 1 2 3)
          math(EXPR rx_v${i} "0x${CMAKE_MATCH_${i}}")
        endforeach()
        set(rx_kernel "Linux ${rx_v1}.${rx_v2}.${rx_v3} or later (the oldest that ${rx_glibc} runs on)")
      endif()
    endif()
    if(RX_STATIC)
      set(RX_BOX_LIBC "${rx_glibc}, the toolchain's, linked statically")
      set(RX_BOX_NEEDS "- ${rx_kernel};")
    else()
      set(RX_BOX_LIBC "${rx_glibc}, the toolchain's, linked dynamically")
      set(RX_BOX_NEEDS "- ${rx_kernel};
- ${rx_glibc} or later and its program interpreter, as the firmware's
  other programs need them;")
    endif()
    set(RX_BOX_NOTE "
The firmware's toolchain chose the C library and the processor. The
project's own release is static on musl for MIPS32 release 1, soft-float,
and needs nothing on the box: build it with
-DCMAKE_TOOLCHAIN_FILE=cmake/mips-linux-musl.cmake from the source tree
(it takes Debian's mips-linux-gnu cross compiler).
")
  endif()
  set(RX_BOX_MULTICALL "")
  if(RX_MULTICALL)
    set(RX_BOX_MULTICALL "
Or, where flash is short, the same three programs as one: copy
libexec/rxtools/rxtools instead, and make the three names links to it; it
is the program it is started as (one copy of the C library instead of
three):

    chmod 755 /var/bin/rxtools
    cd /var/bin && ln -sf rxtools runbar && ln -sf rxtools splash && ln -sf rxtools verdump
")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/../package/README.receiver.in ${CMAKE_BINARY_DIR}/README.receiver @ONLY)
else()
  file(REMOVE ${CMAKE_BINARY_DIR}/README.receiver)
endif()
