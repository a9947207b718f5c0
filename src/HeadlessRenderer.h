#ifndef TESSVANE_HEADLESS_RENDERER_H
#define TESSVANE_HEADLESS_RENDERER_H

#include <EGL/egl.h>
#include <GL/gl.h>
#include <Inventor/SbLinear.h>
#include <vector>

class SbViewportRegion;
class SoNode;

// Renders a scene into memory without any X server, for off-screen images
// on machines that have no display.
//
// The toolkit's own off-screen renderer draws into a GLX pixmap, so it
// needs an X server. This one asks Mesa's EGL for a desktop OpenGL context
// on its surfaceless platform and draws into a framebuffer object. The
// toolkit calls OpenGL through the GL dispatch library, which sends every
// call to whichever context is current, GLX or EGL, so the toolkit's render
// action draws into this context unchanged. Everything the pixels depend on
// is as in the toolkit's renderer (depth test LEQUAL, black background, 8-bit
// RGB colour and 32-bit depth buffers, drawn in window orientation), so both
// give the same image.
//
// The context is made current on construction and stays current.
class HeadlessRenderer {
public:
    HeadlessRenderer();
    ~HeadlessRenderer();

    // NULL when the context is ready; otherwise why it could not be made.
    const char *getError() const { return error; }

    // The largest image the context can draw.
    SbVec2s getMaximumResolution() const;

    // Draws `scene` into an image of the region's size; false if the image
    // buffers cannot be made.
    bool render(SoNode *scene, const SbViewportRegion &region);

    // RGB, one byte per channel, bottom row first: the last image rendered.
    const unsigned char *getBuffer() const { return pixels.data(); }

private:
    bool makeFramebuffer(GLsizei width, GLsizei height);
    void deleteFramebuffer();

    const char *error;
    EGLDisplay display;
    EGLContext context;
    GLuint framebuffer;
    GLuint renderbuffers[2]; // colour, depth
    std::vector<unsigned char> pixels;
};

#endif
