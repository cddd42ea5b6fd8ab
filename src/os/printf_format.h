// KORVI_PRINTF_FORMAT(formatAt, firstArgumentAt): the format attribute, so that the compiler checks a
// narrow printf-style writer's format (a literal at each call) against its arguments.
//
// On mingw-w64 the C++ library formats with mingw's own C99 printf (__USE_MINGW_ANSI_STDIO),
// not the Microsoft runtime's, while a plain `printf` attribute there checks the Microsoft
// dialect; __MINGW_PRINTF_FORMAT names the one that the formatting really speaks.
#pragma once

#include <cstdio>

#if defined(__MINGW_PRINTF_FORMAT)
#define KORVI_PRINTF_FORMAT(formatAt, firstArgumentAt) __attribute__((format(__MINGW_PRINTF_FORMAT, formatAt, firstArgumentAt)))
#elif defined(__GNUC__)
#define KORVI_PRINTF_FORMAT(formatAt, firstArgumentAt) __attribute__((format(printf, formatAt, firstArgumentAt)))
#else
#define KORVI_PRINTF_FORMAT(formatAt, firstArgumentAt)
#endif
