#include "UTL/UTL_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GenH/hl_types.h"
#include "UTL/UTL_remote_cmd.h"

namespace {
void* throwing_alloc(std::size_t n)
{
    if (n == 0) n = 1;
    for (;;) {
        if (void* p = std::malloc(n)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void* nothrow_alloc(std::size_t n) noexcept
{
    try {
        return throwing_alloc(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
}  // namespace

void* operator new(std::size_t size, const char*, int) { return throwing_alloc(size); }
void* operator new(std::size_t size) { return throwing_alloc(size); }
void* operator new[](std::size_t size) { return throwing_alloc(size); }
void* operator new[](std::size_t size, const char* tag, int line)
{
    return operator new(size, tag, line);
}
void* operator new(std::size_t size, const std::nothrow_t&, const char*, int) noexcept
{
    return nothrow_alloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return nothrow_alloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return nothrow_alloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t& nt, const char* tag, int line) noexcept
{
    return operator new(size, nt, tag, line);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// Matching deletes for the tagged forms, used if a constructor throws.
void operator delete(void* p, const char*, int) noexcept { std::free(p); }
void operator delete[](void* p, const char*, int) noexcept { std::free(p); }

void dump_mem_stats(const char* why)
{
    static int first_dump = 1;
    xer << "OK check MemoryLog.txt! I just sent him a dump from " << why << "\n";

    std::string path = app_path + "MemoryLog.txt";
    if (path.size() >= static_cast<std::size_t>(strDIM)) return;  // the root does not fit
    FILE* f = std::fopen(path.c_str(), first_dump ? "w" : "a");
    first_dump = 0;
    if (f && f != stdout) std::fclose(f);
}

void DumpMemCmd() { dump_mem_stats("Remote Commanded Dump"); }

static UTL_remote_cmd dump_mem_now("Dump Memory Info", DumpMemCmd);

uint32_t mem_to_number(uint64_t n)
{
    const double d = static_cast<double>(n);
    if (n > 15032385536ull) return static_cast<uint32_t>(n >> 30);
    if (d > 1468006.4) return static_cast<uint32_t>(n >> 20);
    if (d > 1433.6) return static_cast<uint32_t>(n >> 10);
    return static_cast<uint32_t>(n);
}

char mem_to_suffix(uint64_t n)
{
    const double d = static_cast<double>(n);
    if (n > 15032385536ull) return 'G';
    if (d > 1468006.4) return 'M';
    if (d > 1433.6) return 'K';
    return 'B';
}
