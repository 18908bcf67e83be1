// Embeds one converted image (BRX_IMAGE_DIR/<file>) as a read-only array.
#pragma once

#ifndef BRX_IMAGE_DIR
#error "BRX_IMAGE_DIR names the folder of the converted images"
#endif

#define BRX_EMBED_RAW(symbol, file)                                              \
    asm(".pushsection .rodata." #symbol ",\"a\",@progbits\n"                     \
        ".globl " #symbol "\n"                                                   \
        ".type " #symbol ", @object\n"                                           \
        ".balign 16\n" #symbol ":\n"                                             \
        ".incbin \"" BRX_IMAGE_DIR "/" file "\"\n"                               \
        ".size " #symbol ", . - " #symbol "\n"                                   \
        ".popsection\n")
