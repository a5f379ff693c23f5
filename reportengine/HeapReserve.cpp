#include "reportengine/HeapReserve.h"

#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

std::mutex g_lock;
int g_depth = 0;

#if defined(__GLIBC__)
constexpr int reservePad = 64 * 1024 * 1024;
// The C library's own default (mallopt(3)).
constexpr int defaultPad = 128 * 1024;
#endif

} // namespace

HeapReserve::HeapReserve()
{
    const std::lock_guard<std::mutex> hold(g_lock);
    if (g_depth++ == 0) {
#if defined(__GLIBC__)
        mallopt(M_TOP_PAD, reservePad);
#endif
    }
}

HeapReserve::~HeapReserve()
{
    const std::lock_guard<std::mutex> hold(g_lock);
    if (--g_depth == 0) {
#if defined(__GLIBC__)
        mallopt(M_TOP_PAD, defaultPad);
        malloc_trim(0);
#endif
    }
}
