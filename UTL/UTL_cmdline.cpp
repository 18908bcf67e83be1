#include "UTL/UTL_cmdline.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "GenH/hl_types.h"
#include "OOPS_cpp/cmnd.h"

UTL_cmdline cmdline;

// The framework's usage text, shared with its other applications and printed
// unchanged, typos included.
static const char kUsageText[] =
    "Usage: Brennix [options...]\n"
    "\n"
    "Brennix can take a number of command-line flags, in the form of --flag or\n"
    "--flag=value.  OpenGL options are available for all Brennix-related\n"
    "applications; the frame-rate test is only for Brennix itself.  Here is a listof current "
    "flags:\n"
    "\n"
    "--help\n"
    "-h\n"
    "Prints this message listing all command-line options, then quits.\n"
    "\n"
    "--no_sound\n"
    "Runs without initializing sound - can help identify a problem with sound hardware.\n"
    "\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\n"
    "Normally Brennix uses all available hardware capabilities to maximize framerate.\n"
    "These options force Brennix not to use some aspects of hardware acceleration.\n"
    "This hurts framerate, but can sometimes allow you to work around driver bugs.\n"
    "--no_vbos\n"
    "This disables the use of vertex buffer objects, as defined by \n"
    "GL_ARB_vertex_buffer_object.  VBOs are used to accelerate all aspects of Brennix\n"
    "drawing.\n"
    "--no_fbos\n"
    "Disable the use of framebuffer obects, even if the hardware supports them.\n"
    "--no_pbos\n"
    "Disable the use of pixelbuffer obects, even if the hardware supports them.\n"
    "--no_sprites\n"
    "This disables the use of point sprites, as defined by GL_ARB_point_sprite.\n"
    "Point sprites are used to accelerate runway lights, among other things.\n"
    "--no_pixel_counters\n"
    "This disables pixel counters, as defined by GL_ARB_occlusion_query.  Pixel\n"
    "counters are used to calculate sun glare, among other things.\n"
    "--no_aniso_filtering\n"
    "This disables anisotropic filtering of textures, as defined by\n"
    "GL_EXT_texture_filter_anisotropic.  Anisotropic filtering is used to make\n"
    "runways look better.\n"
    "--no_hw_mipmap\n"
    "This disables hardware accelerated mipmap-creation, as defined by\n"
    "GL_SGIS_generate_mipmap.  Brennix will still use mipmapping, but it will\n"
    "create the mipmap images on the CPU instead of the GPU.\n"
    "--no_fshaders\n"
    "Disable the use of fragment shaders, even on hardware that reports having them.\n"
    "--no_vshaders\n"
    "Disable the use of vertex shaders, even on hardware that reports having them.\n"
    "--no_glsl\n"
    "Disable the use of GLSL, even on hardware theat supports it.\n"
    "--no_threaded_ogl\n"
    "Disable the use of OpenGL via multiple threads.\n"
    "\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n"
    "Brennix will in a few cases intentionally disable hardware acceleration\n"
    "to work around known driver compatibility bugs.  You can force Brennix\n"
    "to use the feature anyway (if the card supports it) with these options,\n"
    "but they may cause the sim to crash.\n"
    "--use_vbos\n"
    "Forces the use of VBOs, even on drivers where we at one point found\n"
    "them to be unstable.\n"
    "--use_sprites\n"
    "Forces the use of point sprites, even on drivers where they cause bugs.\n"
    "--use_fshaders\n"
    "Force the use of fragment shaders, even if they would not normally be used.\n"
    "--use_vshaders\n"
    "Force the use of vertex shaders, even if they would not be used.\n"
    "--use_glsl\n"
    "Force the use of GLSL even on cards where we would avoid it due to driver compatibility "
    "problems.\n"
    "--force_run\n"
    "Brennix will not run on a machine that does not appear to have some\n"
    "minimum requirements, like at least two texture units.  This will allow\n"
    "Brennix to run no matter what the hardware looks like.  Please note that\n"
    "most of the time if Brennix out-right refuses to run, it will probably\n"
    "crash later if --force_run is used.\n"
    "\n"
    "FRAMERATE TEST\n"
    "--fps_test=n\n"
    "This runs Brennix in frame-rate test mode.  The number indicates a framerate\n"
    "test number, which is 3 digits indicating a combination of camera angle,\n"
    "scenery complexity, and weather settings.  Brennix will run for 90 seconds\n"
    "and quit, outputting 3 framerates to the Log.txt file for panel view,\n"
    "no-panel view, and paused no-panel view.  This can be used to get repeatable\n"
    "performance measurements without changing preferences.  (The preferences\n"
    "file is ignored when the framerate test is in effect.)\n"
    "--require_fps=n\n"
    "When used after --fps_test this puts Brennix into a pass-fail mode.  The\n"
    "sim will run only one 30 second test with the flight model paused.  The\n"
    "sim will then exit with 0 if the measured fps is higher than N or 1\n"
    "if the fps is lower.  This can be used to create a shell script that will\n"
    "automatically detect whether Brennix performance is as expected.\n";

static_assert(sizeof kUsageText - 1 == 4080, "the usage text is 4080 characters");

void UTL_cmdline::add_option(const std::string& name, const std::string& value)
{
    if (options.count(name))
        xer << "WARNING: command line option " << name << "=" << value << "included twice.\n";
    options[name] = value;
    xer << "     '" << name;
    if (!value.empty()) xer << "'='" << value;
    xer << "'\n";
}

void UTL_cmdline::init_unix(int argc, const char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos)
            add_option(arg, "");
        else
            add_option(arg.substr(0, eq), arg.substr(eq + 1));
    }
    init_common();
}

void UTL_cmdline::init_win(const char* line)
{
    // Words are split at white space with no quoting; a word that starts with
    // "=" has no name and is dropped.
    const auto is_space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const char* p = line;
    for (;;) {
        while (*p && is_space(*p)) ++p;
        if (!*p) break;
        const char* name = p;
        while (*p && *p != '=' && !is_space(*p)) ++p;
        const std::string name_text(name, p);
        std::string value;
        if (*p == '=') {
            const char* v = ++p;
            while (*p && !is_space(*p)) ++p;
            value.assign(v, p);
        }
        if (!name_text.empty()) add_option(name_text, value);
    }
    init_common();
}

void UTL_cmdline::init_common()
{
    if (has_option("--cmnds")) {
        const std::string which = get_option("--cmnds");
        if (which == "all") {
            for (std::size_t i = 0; i < cmnd.paths.size(); ++i)
                printf("%-50s %s\n", cmnd.paths[i].c_str(), cmnd.descriptions[i].c_str());
        } else {
            std::vector<std::string> listing;
            cmnd.get_cmds_in_path(which, listing);
            for (const std::string& entry : listing) printf("%s\n", entry.c_str());
        }
        exit(0);
    }
    if (has_option("-h") || has_option("--help")) {
        printf("%s\n", kUsageText);
        exit(0);
    }
}

int UTL_cmdline::has_option(const char* name) const { return options.count(name) ? 1 : 0; }

std::string UTL_cmdline::get_option(const char* name) const
{
    auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
}
