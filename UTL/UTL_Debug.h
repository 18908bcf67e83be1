// Signal settings and diagnostic printers.
#pragma once

#include <cstdint>
#include <cstdio>

struct symbol_info {
    char module[1024];
    uintptr_t module_base;
    char function[1024];
    uintptr_t function_base;
    char file[1024];
    int line;
};

struct stack_frame {
    stack_frame* next;
    void* return_address;
};

void UTL_debug_init();
void UTL_get_debug_symbol(const void* address, symbol_info* info);
int UTL_valid_memory(const void* address, unsigned length, int, int);
void dump_hex(FILE* stream, const void* address, int n);
void UTL_dump_stack(FILE* stream, const stack_frame* frame, const void* pc);
