#include <gtest/gtest.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

namespace {

TEST(PrivateDisplay, OpensWithSoftwareGl)
{
    const char* name = getenv("DISPLAY");
    ASSERT_NE(name, nullptr) << "the display fixture did not start";
    Display* dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr) << name;
    const int screen = DefaultScreen(dpy);
    EXPECT_EQ(DefaultDepth(dpy, screen), 24);

    int attrs[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8,
                   GLX_BLUE_SIZE, 8, GLX_DEPTH_SIZE, 16, None};
    XVisualInfo* vi = glXChooseVisual(dpy, screen, attrs);
    ASSERT_NE(vi, nullptr);
    XSetWindowAttributes swa{};
    swa.colormap = XCreateColormap(dpy, RootWindow(dpy, screen), vi->visual, AllocNone);
    Window win = XCreateWindow(dpy, RootWindow(dpy, screen), 0, 0, 64, 64, 0, vi->depth,
                               InputOutput, vi->visual, CWColormap, &swa);
    GLXContext ctx = glXCreateContext(dpy, vi, nullptr, True);
    ASSERT_NE(ctx, nullptr);
    ASSERT_TRUE(glXMakeCurrent(dpy, win, ctx));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    const std::string r = renderer;
    EXPECT_TRUE(r.find("llvmpipe") != std::string::npos || r.find("softpipe") != std::string::npos)
        << r;

    glXMakeCurrent(dpy, None, nullptr);
    glXDestroyContext(dpy, ctx);
    XDestroyWindow(dpy, win);
    XFree(vi);
    XCloseDisplay(dpy);
}

}  // namespace
