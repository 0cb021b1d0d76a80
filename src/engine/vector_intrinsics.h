#pragma once

// The x86 vector intrinsics. GCC 12 reports the intrinsics' own deliberately undefined vectors as
// maybe uninitialised (fixed in later versions); the warning points into the header, so it is
// silenced there only.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif
