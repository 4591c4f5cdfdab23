// The benchmarks' clock.
#pragma once
#include <windows.h>

// Seconds on the performance counter.
inline double NowSeconds() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER t;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}
