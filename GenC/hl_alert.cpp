#include "GenC/hl_alert.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>

#include "GenC/PlatformUtils.h"
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OOPS_cpp/butn.h"
#include "OOPS_cpp/exce.h"
#include "OOPS_cpp/oglp.h"
#include "Thread/hl_thread.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_memory.h"

static int in_alert = 0;

namespace {

// Leaves whatever the caller was drawing and sets the plain 2D state.
void reset_gl_for_alert()
{
    glEnd();
    glEndList();
    for (int i = 0; i < 30; ++i) (void)glGetError();
    OGL_nrml_colors();
    if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
    if (glExt.framebuf_avail && glExt.glBindFramebufferEXT)
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// One frame of window 995; 1 when its button went down.
int draw_alert_frame(int type, const std::string* lines, const std::string& location)
{
    const float w = mnw.wind_w;
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    float right = 0, top = 0;
    BTN_subwin(0, 13, -1, 35, -1, -1, "", &right, &top);
    if (type == t_lang) {
        BTN_is_int(0.5f * w - 25, 180, &mnw.lang, 0, "|English");
        BTN_is_int(0.5f * w - 25, 160, &mnw.lang, 1, "|French");
        stls.title = "Language/";
    } else {
        static constexpr float rows[4] = {205, 165, 125, 85};
        for (int i = 0; i < 4; ++i) OGL_string(43, 0.5f * w, rows[i], lines[i], 0.9f * w, font_prop, 1);
        if (type == t_exit) OGL_string(43, 0.5f * w, 45, location, 0.9f * w, font_prop, 1);
    }
    return BTN_action(0.5f * w, 18, 0, 0, 1, type == t_lang ? "Accept" : stls.entry[602], "-");
}

// The modal alert window, until its button or Return, or until another
// window is made current.
void run_alert_window(int return_window, const std::string* lines, int type,
                      const std::string& location)
{
    reset_gl_for_alert();
    const float mouse_x = mnw.mouse_x, mouse_y = mnw.mouse_y;
    MACIBM_startwind(wind_alert);
    while (mnw.wind == wind_alert) {
        if (draw_alert_frame(type, lines, location) || return_hit) {
            return_hit = 0;
            if (type == t_exit) return;
            MACIBM_startwind(return_window);
            mnw.mouse_x = mouse_x;
            mnw.mouse_y = mouse_y;
        }
        if (mnw.wind == wind_alert) MACIBM_event_proc();
    }
}

}  // namespace

std::string alert_location(const char* file, int line)
{
    return std::string("(") + (file ? file : "") + " line " + std::to_string(line) + ")";
}

void __MACIBM_alert(int return_window, std::string line1, std::string line2,
                    std::string line3, std::string line4, int type, const char* file, int line)
{
    // Off the main thread the alert travels to the main thread as a report; a
    // fatal one ends the calling thread inside THREAD_send_exception.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        THREAD_send_exception(exce_class(line1, line2, line3, line4, file, line, type));
        return;
    }

    const std::string location = alert_location(file, line);

    if (cmdline.has_option("--fps_test")) {
        xer << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n" << location << "\n";
        xer.flush();
        if (type == t_exit) {
            remove_run_temp_folder();
            exit(1);
        }
        return;
    }

    const int reentered = in_alert;
    in_alert = 1;

    if (!ogl_inited || reentered) {
        // The console form; stdout is flushed because the fatal end aborts.
        puts("Skarvel Error:");
        printf("%s\n\n%s\n\n%s\n\n%s\n\n", line1.c_str(), line2.c_str(), line3.c_str(),
               line4.c_str());
        puts("Sorry.");
        fflush(stdout);
    } else if (!(line1.empty() && line2.empty() && line3.empty() && line4.empty())) {
        const std::string lines[4] = {line1, line2, line3, line4};
        run_alert_window(return_window, lines, type, location);
    }

    if (reentered || type == t_alert || type == t_exit) {
        dump_mem_stats(
            "This is the dump_mem_stats call from the following code: if(type==t_exit || type == "
            "t_alert || recursive_error)");
        xer << "\n" << line1 << "\n" << line2 << "\n" << line3 << "\n" << line4 << "\n"
            << location << "\n";
        xer.flush();
    }

    if (reentered || type == t_exit) {
        MACIBM_finishup(0);
        app_done = 1;
        abort();
    }
    in_alert = 0;
}
