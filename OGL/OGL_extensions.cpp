#include "OGL/OGL_extensions.h"

OGL_extensions glExt;
