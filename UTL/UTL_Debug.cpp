#include "UTL/UTL_Debug.h"

#include <cctype>
#include <csignal>
#include <cstring>

void UTL_debug_init()
{
    // Writing to a closed socket or pipe must return an error, not end the program.
    signal(SIGPIPE, SIG_IGN);
}

void UTL_get_debug_symbol(const void*, symbol_info* info)
{
    info->module[0] = '\0';
    info->module_base = 0;
    info->function[0] = '\0';
    info->function_base = 0;
    info->file[0] = '\0';
    info->line = -1;
}

int UTL_valid_memory(const void*, unsigned, int, int) { return 1; }

static const char* last_component(const char* path)
{
    const char* last = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') last = p + 1;
    return last;
}

static void print_symbol(FILE* stream, const void* address)
{
    symbol_info info;
    UTL_get_debug_symbol(address, &info);
    const uintptr_t addr = reinterpret_cast<uintptr_t>(address);
    fprintf(stream, "0x%08x", static_cast<unsigned>(addr));
    if (info.file[0]) fprintf(stream, " (%s:%d)", last_component(info.file), info.line);
    const int offset = static_cast<int>(addr - info.module_base);
    if (info.module_base == 0)
        fprintf(stream, " (\?\?\?)\n");
    else if (info.module[0])
        fprintf(stream, " (%s + %d)\n", last_component(info.module), offset);
    else
        fprintf(stream, " (0x%08x + %d)\n", static_cast<unsigned>(info.module_base), offset);
}

void UTL_dump_stack(FILE* stream, const stack_frame* frame, const void* pc)
{
    int i = 0;
    if (pc) {
        fprintf(stream, " % 2d) ", 0);
        print_symbol(stream, pc);
        i = 1;
    }
    // The chain must climb towards older frames; anything else ends the walk.
    while (frame && i <= 99 && frame < frame->next) {
        fprintf(stream, " % 2d) ", i);
        print_symbol(stream, frame->return_address);
        frame = frame->next;
        ++i;
    }
}

void dump_hex(FILE* stream, const void* address, int n)
{
    const unsigned char* p = static_cast<const unsigned char*>(address);
    while (n > 0) {
        for (int c = 0; c < 16; ++c) {
            if (c % 4 == 0) fputc(' ', stream);
            if (c < n)
                fprintf(stream, "%02X", p[c]);
            else
                fputs("  ", stream);
        }
        fputs("    ", stream);
        for (int c = 0; c < 16; ++c) {
            if (c % 4 == 0) fputc(' ', stream);
            if (c < n)
                fputc(isprint(p[c]) ? p[c] : '.', stream);
            else
                fputc(' ', stream);
        }
        fputc('\n', stream);
        n -= 16;
        p += 16;
    }
}
