// The toolkit's off-screen renderer asks the X server for an indirect GLX
// context to draw into its pixmap. Servers that do not allow indirect
// rendering (Xvfb among them) answer with BadValue, and Xlib's default error
// handler ends the process.
//
// The executable defines glXCreateContext itself and exports it (the link
// adds it to the dynamic symbol table), so the dynamic linker binds the
// toolkit's calls to this definition. It forwards every call to the GL
// library's own function, always asking for a direct context; Mesa renders
// directly into GLX pixmaps. The viewer's window asks for a direct context
// anyway.

#include <GL/glx.h>
#include <cstdio>
#include <dlfcn.h>

extern "C" GLXContext glXCreateContext(Display *dpy, XVisualInfo *vis, GLXContext shareList,
                                       Bool /* direct */) {
    typedef GLXContext CreateContext(Display *, XVisualInfo *, GLXContext, Bool);
    static CreateContext *libraryCreateContext =
        reinterpret_cast<CreateContext *>(dlsym(RTLD_NEXT, "glXCreateContext"));
    if (libraryCreateContext == NULL) {
        fprintf(stderr, "Tessvane: the GL library has no glXCreateContext\n");
        return NULL;
    }
    return libraryCreateContext(dpy, vis, shareList, True);
}
