// The GL state calls of the state cache and the texture binder go through
// this table, so that a test can count and inspect what they issue. It holds
// the GL library's own functions unless a test swaps them.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct OGL_gl_calls {
    void(APIENTRYP Enable)(GLenum);
    void(APIENTRYP Disable)(GLenum);
    GLboolean(APIENTRYP IsEnabled)(GLenum);
    void(APIENTRYP DepthMask)(GLboolean);
    PFNGLACTIVETEXTUREARBPROC ActiveTextureARB;
    void(APIENTRYP BindTexture)(GLenum, GLuint);
    void(APIENTRYP TexEnvi)(GLenum, GLenum, GLint);
    void(APIENTRYP TexEnvf)(GLenum, GLenum, GLfloat);
    void(APIENTRYP TexEnvfv)(GLenum, GLenum, const GLfloat*);
};

extern OGL_gl_calls ogl_gl;

// The table as built: the GL library's functions.
OGL_gl_calls OGL_gl_library_calls();
