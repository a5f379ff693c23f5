#pragma once

// While one lives, the C library keeps a reserve of heap above what is in use instead of
// giving memory back and asking for it again on every page (thousands of brk calls in a PDF
// of labels); the last one to end hands everything unused back to the system.
class HeapReserve
{
public:
    HeapReserve();
    ~HeapReserve();
    HeapReserve(const HeapReserve &) = delete;
    HeapReserve &operator=(const HeapReserve &) = delete;
};
