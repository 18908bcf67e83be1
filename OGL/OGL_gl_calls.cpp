#define GL_GLEXT_PROTOTYPES 1
#include "OGL/OGL_gl_calls.h"

// The unit is selected in the GL library itself, not through the looked-up
// entry points; glActiveTexture is the core name of glActiveTextureARB.
// Constant-initialised: usable before main.
#define OGL_LIBRARY_CALLS                                                                 \
    {                                                                                     \
        glEnable, glDisable, glIsEnabled, glDepthMask, glActiveTexture, glBindTexture,    \
            glTexEnvi, glTexEnvf, glTexEnvfv                                              \
    }

OGL_gl_calls ogl_gl = OGL_LIBRARY_CALLS;

OGL_gl_calls OGL_gl_library_calls() { return OGL_LIBRARY_CALLS; }
