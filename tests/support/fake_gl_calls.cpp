#include "support/fake_gl_calls.h"

#include <cstdio>

namespace brx_test {

namespace {

FakeGl* fake = nullptr;

void record(const std::string& s)
{
    fake->calls.push_back(s);
}

void set_cap(GLenum cap, bool on)
{
    if (cap == GL_TEXTURE_2D) {
        if (fake->active_unit >= fake->fixed_units) ++fake->errors;
        if (on)
            fake->texture_2d.insert(fake->active_unit);
        else
            fake->texture_2d.erase(fake->active_unit);
    } else if (on) {
        fake->enabled.insert(cap);
    } else {
        fake->enabled.erase(cap);
    }
}

void APIENTRY f_enable(GLenum cap)
{
    record("Enable " + gl_enum_name(cap));
    set_cap(cap, true);
}
void APIENTRY f_disable(GLenum cap)
{
    record("Disable " + gl_enum_name(cap));
    set_cap(cap, false);
}
GLboolean APIENTRY f_is_enabled(GLenum cap)
{
    record("IsEnabled " + gl_enum_name(cap));
    if (cap == GL_TEXTURE_2D) return fake->texture_2d.count(fake->active_unit) ? GL_TRUE : GL_FALSE;
    return fake->enabled.count(cap) ? GL_TRUE : GL_FALSE;
}
void APIENTRY f_depth_mask(GLboolean on)
{
    record(on ? "DepthMask true" : "DepthMask false");
    fake->depth_mask = on;
}
void APIENTRY f_active(GLenum unit)
{
    record("Active " + gl_enum_name(unit));
    fake->active_unit = static_cast<int>(unit - GL_TEXTURE0);
}
void APIENTRY f_bind(GLenum, GLuint tex)
{
    record("Bind " + std::to_string(tex));
    fake->bound[fake->active_unit] = tex;
}
void set_env(const char* form, GLenum pname, float value)
{
    record(std::string(form) + " " + gl_enum_name(pname) + " " +
           gl_enum_name(static_cast<GLenum>(value)));
    if (fake->active_unit >= fake->fixed_units) ++fake->errors;
    fake->env[{fake->active_unit, pname}] = value;
}
void APIENTRY f_envi(GLenum, GLenum pname, GLint value)
{
    set_env("TexEnvi", pname, static_cast<float>(value));
}
void APIENTRY f_envf(GLenum, GLenum pname, GLfloat value)
{
    set_env("TexEnvf", pname, value);
}
void APIENTRY f_envfv(GLenum, GLenum pname, const GLfloat* v)
{
    char buf[96];
    snprintf(buf, sizeof buf, "TexEnvfv %s %g %g %g %g", gl_enum_name(pname).c_str(), v[0], v[1],
             v[2], v[3]);
    record(buf);
    if (fake->active_unit >= fake->fixed_units) ++fake->errors;
    fake->env[{fake->active_unit, pname}] = v[0];
}

}  // namespace

std::string gl_enum_name(GLenum e)
{
    static const std::map<GLenum, const char*> names = {
        {GL_FOG, "GL_FOG"},
        {GL_TEXTURE_2D, "GL_TEXTURE_2D"},
        {GL_LIGHTING, "GL_LIGHTING"},
        {GL_LIGHT0, "GL_LIGHT0"},
        {GL_BLEND, "GL_BLEND"},
        {GL_ALPHA_TEST, "GL_ALPHA_TEST"},
        {GL_DEPTH_TEST, "GL_DEPTH_TEST"},
        {GL_TEXTURE_ENV_MODE, "GL_TEXTURE_ENV_MODE"},
        {GL_TEXTURE_ENV_COLOR, "GL_TEXTURE_ENV_COLOR"},
        {GL_MODULATE, "GL_MODULATE"},
        {GL_COMBINE, "GL_COMBINE"},
        {GL_COMBINE_RGB, "GL_COMBINE_RGB"},
        {GL_COMBINE_ALPHA, "GL_COMBINE_ALPHA"},
        {GL_ALPHA_SCALE, "GL_ALPHA_SCALE"},
        {GL_REPLACE, "GL_REPLACE"},
        {GL_INTERPOLATE, "GL_INTERPOLATE"},
    };
    auto it = names.find(e);
    if (it != names.end()) return it->second;
    if (e >= GL_TEXTURE0 && e < GL_TEXTURE0 + 32)
        return "GL_TEXTURE" + std::to_string(e - GL_TEXTURE0);
    char buf[16];
    snprintf(buf, sizeof buf, "0x%X", e);
    return buf;
}

FakeGl::FakeGl() : saved_(ogl_gl)
{
    fake = this;
    ogl_gl = {f_enable, f_disable, f_is_enabled, f_depth_mask, f_active,
              f_bind,   f_envi,    f_envf,       f_envfv};
}

FakeGl::~FakeGl()
{
    ogl_gl = saved_;
    fake = nullptr;
}

std::vector<std::string> FakeGl::take()
{
    std::vector<std::string> out;
    out.swap(calls);
    return out;
}

}  // namespace brx_test
