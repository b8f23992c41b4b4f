/* libstdc++'s headers ask the C library's version through a glibc macro. */
#ifndef __GLIBC_PREREQ
#define __GLIBC_PREREQ(major, minor) 0
#endif
