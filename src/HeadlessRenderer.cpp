#define GL_GLEXT_PROTOTYPES // framebuffer objects: the dispatch library exports them

#include "HeadlessRenderer.h"

#include <EGL/eglext.h>
#include <GL/glext.h>
#include <Inventor/SbViewportRegion.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <algorithm>
#include <cstring>

namespace {

bool hasExtension(const char *name) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; i++)
        if (strcmp(reinterpret_cast<const char *>(glGetStringi(GL_EXTENSIONS, i)), name) == 0)
            return true;
    return false;
}

} // namespace

HeadlessRenderer::HeadlessRenderer()
    : error(NULL), display(EGL_NO_DISPLAY), context(EGL_NO_CONTEXT),
      framebuffer(0), renderbuffers{0, 0} {
    display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, NULL);
    if (display == EGL_NO_DISPLAY) {
        error = "EGL has no surfaceless platform";
        return;
    }
    if (!eglInitialize(display, NULL, NULL)) {
        display = EGL_NO_DISPLAY;
        error = "EGL cannot initialise its surfaceless platform";
        return;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = "EGL offers no desktop OpenGL";
        return;
    }
    // Drawing goes into a framebuffer object only: the context needs no
    // configuration and no surface.
    context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, NULL);
    if (context == EGL_NO_CONTEXT) {
        error = "EGL cannot create an OpenGL context";
        return;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = "EGL cannot make its OpenGL context current without a surface";
        return;
    }
    if (!hasExtension("GL_MESA_framebuffer_flip_y"))
        error = "OpenGL cannot draw framebuffer objects upside down "
                "(no GL_MESA_framebuffer_flip_y)";
}

HeadlessRenderer::~HeadlessRenderer() {
    if (display == EGL_NO_DISPLAY)
        return;
    if (context != EGL_NO_CONTEXT) {
        deleteFramebuffer();
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, context);
    }
    eglTerminate(display);
}

SbVec2s HeadlessRenderer::getMaximumResolution() const {
    GLint viewport[2] = {0, 0};
    GLint renderbuffer = 0;
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    const GLint shortMax = 32767;
    return SbVec2s((short)std::min({viewport[0], renderbuffer, shortMax}),
                   (short)std::min({viewport[1], renderbuffer, shortMax}));
}

bool HeadlessRenderer::render(SoNode *scene, const SbViewportRegion &region) {
    SbVec2s size = region.getWindowSize();
    if (!makeFramebuffer(size[0], size[1]))
        return false;

    // What the toolkit's renderer does to its new pixmap before drawing.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SoGLRenderAction action(region);
    action.apply(scene);

    pixels.resize((size_t)size[0] * size[1] * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size[0], size[1], GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return true;
}

// Colour and depth buffers like those of the visual the toolkit's renderer
// gets from Mesa: 8 bits per colour channel, no alpha, a 32-bit depth buffer.
bool HeadlessRenderer::makeFramebuffer(GLsizei width, GLsizei height) {
    deleteFramebuffer();
    glGenRenderbuffers(2, renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32, width, height);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              renderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              renderbuffers[1]);
    // Mesa draws into window-system buffers, the toolkit's pixmap among them,
    // upside down (row 0 on top) and flips them back when reading pixels.
    // Rasterisation rounds a few edge pixels differently that way, so the
    // framebuffer object is drawn the same way.
    glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
    // Storage that could not be had leaves a buffer without pixels, which
    // makes the framebuffer incomplete.
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void HeadlessRenderer::deleteFramebuffer() {
    if (framebuffer == 0)
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(2, renderbuffers);
    framebuffer = 0;
}
