// The built-in images: raw RGBA arrays compiled into the program, the bottom
// row first, and their upload at start-up.
#pragma once

#include <cstddef>

inline constexpr std::size_t kInterfaceBytes = 1048576;  // 512 x 512
inline constexpr std::size_t kInstallerBytes = 3086560;  // 1010 x 764 texels in rows of 1024
inline constexpr std::size_t kBackBytes = 3145728;       // 1024 x 768

// Defined by the assembler (.incbin of the build's converted art), so they
// carry C names.
extern "C" {
extern const unsigned char t_interface_dat[kInterfaceBytes];
extern const unsigned char t_installer_dat[kInstallerBytes];
extern const unsigned char t_ins_back_2_dat[kBackBytes];
extern const unsigned char t_ins_back_1_dat[kBackBytes];
}

// Uploads the four images through scratch_array as textures 389, 390, 391 and
// 388, in that order, so that the scratch buffer holds the atlas afterwards.
void recall_ins_texes();
