// Process-wide allocation through malloc, the memory-report hook and size
// formatting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

void* operator new(std::size_t size, const char* tag, int line);
void* operator new[](std::size_t size, const char* tag, int line);
void* operator new(std::size_t size, const std::nothrow_t&, const char* tag, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* tag, int line) noexcept;

void dump_mem_stats(const char* why);
void DumpMemCmd();
uint32_t mem_to_number(uint64_t bytes);
char mem_to_suffix(uint64_t bytes);
