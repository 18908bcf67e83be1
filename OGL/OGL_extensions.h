// GL capabilities found once at start-up (glExt) and the renderer's limits and
// drawing state (ren).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// The extension entry points, family by family, in the order they are looked
// up. Each entry is the GL name and the GL's own pointer type.
#define OGL_ENTRIES_BUFFERS(X) \
    X(glBindBufferARB, PFNGLBINDBUFFERARBPROC) \
    X(glDeleteBuffersARB, PFNGLDELETEBUFFERSARBPROC) \
    X(glGenBuffersARB, PFNGLGENBUFFERSARBPROC) \
    X(glIsBufferARB, PFNGLISBUFFERARBPROC) \
    X(glBufferDataARB, PFNGLBUFFERDATAARBPROC) \
    X(glBufferSubDataARB, PFNGLBUFFERSUBDATAARBPROC) \
    X(glGetBufferSubDataARB, PFNGLGETBUFFERSUBDATAARBPROC) \
    X(glMapBufferARB, PFNGLMAPBUFFERARBPROC) \
    X(glUnmapBufferARB, PFNGLUNMAPBUFFERARBPROC) \
    X(glGetBufferParameterivARB, PFNGLGETBUFFERPARAMETERIVARBPROC) \
    X(glGetBufferPointervARB, PFNGLGETBUFFERPOINTERVARBPROC)

#define OGL_ENTRIES_PROGRAMS(X) \
    X(glVertexAttrib1dARB, PFNGLVERTEXATTRIB1DARBPROC) \
    X(glVertexAttrib1dvARB, PFNGLVERTEXATTRIB1DVARBPROC) \
    X(glVertexAttrib1fARB, PFNGLVERTEXATTRIB1FARBPROC) \
    X(glVertexAttrib1fvARB, PFNGLVERTEXATTRIB1FVARBPROC) \
    X(glVertexAttrib1sARB, PFNGLVERTEXATTRIB1SARBPROC) \
    X(glVertexAttrib1svARB, PFNGLVERTEXATTRIB1SVARBPROC) \
    X(glVertexAttrib2dARB, PFNGLVERTEXATTRIB2DARBPROC) \
    X(glVertexAttrib2dvARB, PFNGLVERTEXATTRIB2DVARBPROC) \
    X(glVertexAttrib2fARB, PFNGLVERTEXATTRIB2FARBPROC) \
    X(glVertexAttrib2fvARB, PFNGLVERTEXATTRIB2FVARBPROC) \
    X(glVertexAttrib2sARB, PFNGLVERTEXATTRIB2SARBPROC) \
    X(glVertexAttrib2svARB, PFNGLVERTEXATTRIB2SVARBPROC) \
    X(glVertexAttrib3dARB, PFNGLVERTEXATTRIB3DARBPROC) \
    X(glVertexAttrib3dvARB, PFNGLVERTEXATTRIB3DVARBPROC) \
    X(glVertexAttrib3fARB, PFNGLVERTEXATTRIB3FARBPROC) \
    X(glVertexAttrib3fvARB, PFNGLVERTEXATTRIB3FVARBPROC) \
    X(glVertexAttrib3sARB, PFNGLVERTEXATTRIB3SARBPROC) \
    X(glVertexAttrib3svARB, PFNGLVERTEXATTRIB3SVARBPROC) \
    X(glVertexAttrib4NbvARB, PFNGLVERTEXATTRIB4NBVARBPROC) \
    X(glVertexAttrib4NivARB, PFNGLVERTEXATTRIB4NIVARBPROC) \
    X(glVertexAttrib4NsvARB, PFNGLVERTEXATTRIB4NSVARBPROC) \
    X(glVertexAttrib4NubARB, PFNGLVERTEXATTRIB4NUBARBPROC) \
    X(glVertexAttrib4NubvARB, PFNGLVERTEXATTRIB4NUBVARBPROC) \
    X(glVertexAttrib4NuivARB, PFNGLVERTEXATTRIB4NUIVARBPROC) \
    X(glVertexAttrib4NusvARB, PFNGLVERTEXATTRIB4NUSVARBPROC) \
    X(glVertexAttrib4bvARB, PFNGLVERTEXATTRIB4BVARBPROC) \
    X(glVertexAttrib4dARB, PFNGLVERTEXATTRIB4DARBPROC) \
    X(glVertexAttrib4dvARB, PFNGLVERTEXATTRIB4DVARBPROC) \
    X(glVertexAttrib4fARB, PFNGLVERTEXATTRIB4FARBPROC) \
    X(glVertexAttrib4fvARB, PFNGLVERTEXATTRIB4FVARBPROC) \
    X(glVertexAttrib4ivARB, PFNGLVERTEXATTRIB4IVARBPROC) \
    X(glVertexAttrib4sARB, PFNGLVERTEXATTRIB4SARBPROC) \
    X(glVertexAttrib4svARB, PFNGLVERTEXATTRIB4SVARBPROC) \
    X(glVertexAttrib4ubvARB, PFNGLVERTEXATTRIB4UBVARBPROC) \
    X(glVertexAttrib4uivARB, PFNGLVERTEXATTRIB4UIVARBPROC) \
    X(glVertexAttrib4usvARB, PFNGLVERTEXATTRIB4USVARBPROC) \
    X(glVertexAttribPointerARB, PFNGLVERTEXATTRIBPOINTERARBPROC) \
    X(glEnableVertexAttribArrayARB, PFNGLENABLEVERTEXATTRIBARRAYARBPROC) \
    X(glDisableVertexAttribArrayARB, PFNGLDISABLEVERTEXATTRIBARRAYARBPROC) \
    X(glProgramStringARB, PFNGLPROGRAMSTRINGARBPROC) \
    X(glBindProgramARB, PFNGLBINDPROGRAMARBPROC) \
    X(glDeleteProgramsARB, PFNGLDELETEPROGRAMSARBPROC) \
    X(glGenProgramsARB, PFNGLGENPROGRAMSARBPROC) \
    X(glProgramEnvParameter4dARB, PFNGLPROGRAMENVPARAMETER4DARBPROC) \
    X(glProgramEnvParameter4dvARB, PFNGLPROGRAMENVPARAMETER4DVARBPROC) \
    X(glProgramEnvParameter4fARB, PFNGLPROGRAMENVPARAMETER4FARBPROC) \
    X(glProgramEnvParameter4fvARB, PFNGLPROGRAMENVPARAMETER4FVARBPROC) \
    X(glProgramLocalParameter4dARB, PFNGLPROGRAMLOCALPARAMETER4DARBPROC) \
    X(glProgramLocalParameter4dvARB, PFNGLPROGRAMLOCALPARAMETER4DVARBPROC) \
    X(glProgramLocalParameter4fARB, PFNGLPROGRAMLOCALPARAMETER4FARBPROC) \
    X(glProgramLocalParameter4fvARB, PFNGLPROGRAMLOCALPARAMETER4FVARBPROC) \
    X(glGetProgramEnvParameterdvARB, PFNGLGETPROGRAMENVPARAMETERDVARBPROC) \
    X(glGetProgramEnvParameterfvARB, PFNGLGETPROGRAMENVPARAMETERFVARBPROC) \
    X(glGetProgramLocalParameterdvARB, PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC) \
    X(glGetProgramLocalParameterfvARB, PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC) \
    X(glGetProgramivARB, PFNGLGETPROGRAMIVARBPROC) \
    X(glGetProgramStringARB, PFNGLGETPROGRAMSTRINGARBPROC) \
    X(glGetVertexAttribdvARB, PFNGLGETVERTEXATTRIBDVARBPROC) \
    X(glGetVertexAttribfvARB, PFNGLGETVERTEXATTRIBFVARBPROC) \
    X(glGetVertexAttribivARB, PFNGLGETVERTEXATTRIBIVARBPROC) \
    X(glGetVertexAttribPointervARB, PFNGLGETVERTEXATTRIBPOINTERVARBPROC) \
    X(glIsProgramARB, PFNGLISPROGRAMARBPROC)

#define OGL_ENTRIES_QUERIES(X) \
    X(glGenQueriesARB, PFNGLGENQUERIESARBPROC) \
    X(glDeleteQueriesARB, PFNGLDELETEQUERIESARBPROC) \
    X(glIsQueryARB, PFNGLISQUERYARBPROC) \
    X(glBeginQueryARB, PFNGLBEGINQUERYARBPROC) \
    X(glEndQueryARB, PFNGLENDQUERYARBPROC) \
    X(glGetQueryivARB, PFNGLGETQUERYIVARBPROC) \
    X(glGetQueryObjectivARB, PFNGLGETQUERYOBJECTIVARBPROC) \
    X(glGetQueryObjectuivARB, PFNGLGETQUERYOBJECTUIVARBPROC)

#define OGL_ENTRIES_SHADER_OBJECTS(X) \
    X(glDeleteObjectARB, PFNGLDELETEOBJECTARBPROC) \
    X(glGetHandleARB, PFNGLGETHANDLEARBPROC) \
    X(glDetachObjectARB, PFNGLDETACHOBJECTARBPROC) \
    X(glCreateShaderObjectARB, PFNGLCREATESHADEROBJECTARBPROC) \
    X(glShaderSourceARB, PFNGLSHADERSOURCEARBPROC) \
    X(glCompileShaderARB, PFNGLCOMPILESHADERARBPROC) \
    X(glCreateProgramObjectARB, PFNGLCREATEPROGRAMOBJECTARBPROC) \
    X(glAttachObjectARB, PFNGLATTACHOBJECTARBPROC) \
    X(glLinkProgramARB, PFNGLLINKPROGRAMARBPROC) \
    X(glUseProgramObjectARB, PFNGLUSEPROGRAMOBJECTARBPROC) \
    X(glValidateProgramARB, PFNGLVALIDATEPROGRAMARBPROC) \
    X(glUniform1fARB, PFNGLUNIFORM1FARBPROC) \
    X(glUniform2fARB, PFNGLUNIFORM2FARBPROC) \
    X(glUniform3fARB, PFNGLUNIFORM3FARBPROC) \
    X(glUniform4fARB, PFNGLUNIFORM4FARBPROC) \
    X(glUniform1iARB, PFNGLUNIFORM1IARBPROC) \
    X(glUniform2iARB, PFNGLUNIFORM2IARBPROC) \
    X(glUniform3iARB, PFNGLUNIFORM3IARBPROC) \
    X(glUniform4iARB, PFNGLUNIFORM4IARBPROC) \
    X(glUniform1fvARB, PFNGLUNIFORM1FVARBPROC) \
    X(glUniform2fvARB, PFNGLUNIFORM2FVARBPROC) \
    X(glUniform3fvARB, PFNGLUNIFORM3FVARBPROC) \
    X(glUniform4fvARB, PFNGLUNIFORM4FVARBPROC) \
    X(glUniform1ivARB, PFNGLUNIFORM1IVARBPROC) \
    X(glUniform2ivARB, PFNGLUNIFORM2IVARBPROC) \
    X(glUniform3ivARB, PFNGLUNIFORM3IVARBPROC) \
    X(glUniform4ivARB, PFNGLUNIFORM4IVARBPROC) \
    X(glUniformMatrix2fvARB, PFNGLUNIFORMMATRIX2FVARBPROC) \
    X(glUniformMatrix3fvARB, PFNGLUNIFORMMATRIX3FVARBPROC) \
    X(glUniformMatrix4fvARB, PFNGLUNIFORMMATRIX4FVARBPROC) \
    X(glGetObjectParameterfvARB, PFNGLGETOBJECTPARAMETERFVARBPROC) \
    X(glGetObjectParameterivARB, PFNGLGETOBJECTPARAMETERIVARBPROC) \
    X(glGetInfoLogARB, PFNGLGETINFOLOGARBPROC) \
    X(glGetAttachedObjectsARB, PFNGLGETATTACHEDOBJECTSARBPROC) \
    X(glGetUniformLocationARB, PFNGLGETUNIFORMLOCATIONARBPROC) \
    X(glGetActiveUniformARB, PFNGLGETACTIVEUNIFORMARBPROC) \
    X(glGetUniformfvARB, PFNGLGETUNIFORMFVARBPROC) \
    X(glGetUniformivARB, PFNGLGETUNIFORMIVARBPROC) \
    X(glGetShaderSourceARB, PFNGLGETSHADERSOURCEARBPROC)

#define OGL_ENTRIES_GEOMETRY_SHADER(X) \
    X(glProgramParameteriEXT, PFNGLPROGRAMPARAMETERIEXTPROC)

#define OGL_ENTRIES_VERTEX_SHADER(X) \
    X(glBindAttribLocationARB, PFNGLBINDATTRIBLOCATIONARBPROC) \
    X(glGetActiveAttribARB, PFNGLGETACTIVEATTRIBARBPROC) \
    X(glGetAttribLocationARB, PFNGLGETATTRIBLOCATIONARBPROC)

#define OGL_ENTRIES_FRAMEBUFFERS(X) \
    X(glIsRenderbufferEXT, PFNGLISRENDERBUFFEREXTPROC) \
    X(glBindRenderbufferEXT, PFNGLBINDRENDERBUFFEREXTPROC) \
    X(glDeleteRenderbuffersEXT, PFNGLDELETERENDERBUFFERSEXTPROC) \
    X(glGenRenderbuffersEXT, PFNGLGENRENDERBUFFERSEXTPROC) \
    X(glRenderbufferStorageEXT, PFNGLRENDERBUFFERSTORAGEEXTPROC) \
    X(glGetRenderbufferParameterivEXT, PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC) \
    X(glIsFramebufferEXT, PFNGLISFRAMEBUFFEREXTPROC) \
    X(glBindFramebufferEXT, PFNGLBINDFRAMEBUFFEREXTPROC) \
    X(glDeleteFramebuffersEXT, PFNGLDELETEFRAMEBUFFERSEXTPROC) \
    X(glGenFramebuffersEXT, PFNGLGENFRAMEBUFFERSEXTPROC) \
    X(glCheckFramebufferStatusEXT, PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC) \
    X(glFramebufferTexture1DEXT, PFNGLFRAMEBUFFERTEXTURE1DEXTPROC) \
    X(glFramebufferTexture2DEXT, PFNGLFRAMEBUFFERTEXTURE2DEXTPROC) \
    X(glFramebufferTexture3DEXT, PFNGLFRAMEBUFFERTEXTURE3DEXTPROC) \
    X(glFramebufferRenderbufferEXT, PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC) \
    X(glGetFramebufferAttachmentParameterivEXT, PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC) \
    X(glGenerateMipmapEXT, PFNGLGENERATEMIPMAPEXTPROC)

#define OGL_ENTRIES_COMPRESSED_TEXTURES(X) \
    X(glCompressedTexImage3DARB, PFNGLCOMPRESSEDTEXIMAGE3DARBPROC) \
    X(glCompressedTexImage2DARB, PFNGLCOMPRESSEDTEXIMAGE2DARBPROC) \
    X(glCompressedTexImage1DARB, PFNGLCOMPRESSEDTEXIMAGE1DARBPROC) \
    X(glCompressedTexSubImage3DARB, PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC) \
    X(glCompressedTexSubImage2DARB, PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC) \
    X(glCompressedTexSubImage1DARB, PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC) \
    X(glGetCompressedTexImageARB, PFNGLGETCOMPRESSEDTEXIMAGEARBPROC)


class ren_class {
public:
    // Written once by OGL_extensions::init_extensions.
    float max_aniso = 0;       // 1.0 without anisotropic filtering
    int tex_units = 0;         // texture units, at least 1; raised to image_units with GLSL
    int image_units = 0;       // image units usable by fragment programs
    int tex_coords = 0;        // texture coordinate sets
    const char* gl_vendor = nullptr;      // the GL's own strings ("" when it gave none)
    const char* gl_renderer = nullptr;
    const char* gl_version = nullptr;
    const char* gl_extensions = nullptr;

    float alpha = 1.0f;        // global alpha multiplier of every drawn colour
    float lit_level_a = 0;     // brightness levels of colr_class::set_lit_col
    float lit_level_b = 0;
    std::vector<int> list_a;
    std::vector<int> list_b;

    // Units that fixed-function texturing can switch (GL_MAX_TEXTURE_UNITS),
    // never raised with tex_units: enabling texturing or setting an
    // environment on a unit past them is a GL error.
    int fixed_tex_units = 1;
};

// What capability detection reads of a GL. init_extensions fills it from the
// current context; tests describe a GL of their own.
struct OGL_gl_probe {
    const char* vendor = nullptr;  // null strings are read as empty text
    const char* renderer = nullptr;
    const char* version = nullptr;
    const char* extensions = nullptr;
    std::function<void*(const char*)> get_proc;          // entry point by name, or null
    std::function<int(GLenum)> get_int;                  // glGetIntegerv
    std::function<float(GLenum, int)> get_float;         // glGetFloatv, value at an index
    std::function<const char*(GLenum)> get_string;       // glGetString
    std::function<int(const char*)> has_option;          // command-line switch present
};

// An alert that detection asks for; init_extensions raises it.
struct OGL_gl_alert {
    std::string lines[4];
    int kind = 1;
    int line = 0;
};

class OGL_extensions {
public:
    OGL_extensions() = default;

#define OGL_DECLARE_SLOT(name, type) type name = nullptr;
    OGL_ENTRIES_BUFFERS(OGL_DECLARE_SLOT)
    OGL_ENTRIES_PROGRAMS(OGL_DECLARE_SLOT)
    OGL_ENTRIES_QUERIES(OGL_DECLARE_SLOT)
    OGL_ENTRIES_SHADER_OBJECTS(OGL_DECLARE_SLOT)
    OGL_ENTRIES_VERTEX_SHADER(OGL_DECLARE_SLOT)
    OGL_ENTRIES_GEOMETRY_SHADER(OGL_DECLARE_SLOT)
    OGL_ENTRIES_FRAMEBUFFERS(OGL_DECLARE_SLOT)
    OGL_ENTRIES_COMPRESSED_TEXTURES(OGL_DECLARE_SLOT)
#undef OGL_DECLARE_SLOT
    PFNGLBLENDFUNCSEPARATEEXTPROC glBlendFuncSeparateEXT = nullptr;
    PFNGLBLENDEQUATIONSEPARATEEXTPROC glBlendEquationSeparateEXT = nullptr;

    int multitexture_avail = 0;
    int tex_clamp_avail = 0;
    int add_env_avail = 0;
    int combine_avail = 0;
    int dis_fog_avail = 0;
    int tex_comp_avail = 0;
    int vbo_avail = 0;
    int pbo_avail = 0;
    int vprog_avail = 0;
    int fprog_avail = 0;
    int automini_avail = 0;
    int aniso_avail = 0;
    int fsaa_avail = 0;
    int sprites_avail = 0;
    int depth_tex_avail = 0;
    int occlude_avail = 0;
    int shad_objs_avail = 0;
    int vshader_avail = 0;
    int fshader_avail = 0;
    int gshader_avail = 0;
    int glsl_avail = 0;
    int first_gen_shaders = 0;
    int framebuf_avail = 0;
    int sblend_avail = 0;
    int threaded_avail = 1;  // workers may get GL loader contexts

    int max_tex_size = 0;

    // Detects the capabilities of the main context (current on this thread),
    // logs the GL report to xer and holds the hardware against the minimum.
    void init_extensions();
    // The same over a described GL: detect, log, then raise the alerts.
    void init_extensions_from(const OGL_gl_probe& gl);

    // The whole decision over a described GL: fills this record and the
    // limits of `r`, writes the warnings and the report to `log`, and returns
    // the alerts to raise, in order.
    std::vector<OGL_gl_alert> detect(const OGL_gl_probe& gl, ren_class& r, std::ostream& log);
};

// The probe of the GL context current on this thread, with the command line.
OGL_gl_probe OGL_current_gl_probe();

// The version number V of a GL_VERSION text: 100 x major + 10 x minor.
int OGL_version_number(const char* version);

extern OGL_extensions glExt;
