// DDS texture files: the reader (DXT1, DXT3, DXT5, BGR, BGRA) and a writer
// that compresses RGB or RGBA to DXT1 or DXT5 with its mip chain (libsquish).
#pragma once

#include <cstddef>
#include <string>

#include "TEX/TEX_utils.h"

class xmap_class;

// Reads the header of a DDS held in [begin, end). 1 when it is a DDS this
// reader takes and all the levels it describes lie inside the data; `pixels`
// then points at byte 128.
int TEX_parse_dds(const unsigned char* begin, const unsigned char* end, const unsigned char*& pixels,
                  TEX_image_desc& desc);

// The framework's entry on a mapped file. On 1, data points into the mapping
// (valid while it lives, never freed by the caller).
int TEX_load_dds(const std::string& name, xmap_class* file, unsigned char*& data, TEX_image_desc& desc);

// Writes app_path + name: DXT1 for GL_RGB, DXT5 for GL_RGBA, every level down
// to 1 by 1. 1 when the whole file was written.
int TEX_save_dds(const std::string& name, const unsigned char* data, const TEX_image_desc& in_desc);
