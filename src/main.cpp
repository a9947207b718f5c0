// Tessvane: shows a recursive scene file in an examiner viewer with six
// application buttons, or renders it once off-screen into an SGI RGB or PNG
// image, through the X display or, when there is none, through EGL.

#include "HeadlessRenderer.h"
#include "PngImageWriter.h"
#include "Recursion.h"
#include "RgbImageWriter.h"
#include "option.h"

#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoInteraction.h>
#include <Inventor/SoOffscreenRenderer.h>
#include <Inventor/Xt/SoXt.h>
#include <Inventor/Xt/viewers/SoXtExaminerViewer.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/nodekits/SoNodeKit.h>
#include <Inventor/nodes/SoCamera.h>
#include <Inventor/nodes/SoDirectionalLight.h>
#include <Inventor/nodes/SoPerspectiveCamera.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Xm/PushBG.h>
#include <Xm/Xm.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>
#include <sys/stat.h>

typedef void CallbackFunction();

static Widget myWindow;
static SoXtExaminerViewer *myViewer;
static SoSeparator *root; // the program holds the loader's reference

// None of the options has a default value.
static OptionString optFile("file", "f");
static OptionFlag optPrint("print", "p"); // accepted, no effect
static OptionFlag optNoView("noview", "nv");
static OptionString optOffscreen("offscreen", "os");
static OptionLong optWidth("width", "w");
static OptionLong optHeight("height", "h");
static OptionString optCamera("camera", "cam");

// The largest side the viewport region can hold (it stores shorts).
static const long maxImageSide = 32767;

[[noreturn]] static void printUsage() {
    printf("Usage: Tessvane -f[ile] <input> -p[rint] -nv[noviewall]\n");
    printf("                -os[offscreen] <file.rgb> -cam <cam.iv>\n ");
    printf("                -w[idth] <value> -h[eight] <value>");
    exit(-1);
}

// Reports why the program cannot go on and ends it with status 1.
[[noreturn, gnu::format(printf, 1, 2)]] static void fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    exit(1);
}

static const char *imageFileName() {
    const char *imageFile = optOffscreen.getValue();
    if (imageFile == NULL)
        fail("Tessvane: the offscreen option needs an image file name\n");
    return imageFile;
}

// The requested image size. Both sides must fit the viewport region and the
// renderer's limit.
static SbVec2s imageSize(SbVec2s maximum) {
    long width = 640;
    long height = 480;
    if (optWidth.isSpecified())
        width = optWidth.getValue();
    if (optHeight.isSpecified())
        height = optHeight.getValue();
    long maxWidth = maximum[0] < maxImageSide ? maximum[0] : maxImageSide;
    long maxHeight = maximum[1] < maxImageSide ? maximum[1] : maxImageSide;
    if (width < 1 || width > maxWidth || height < 1 || height > maxHeight)
        fail("Tessvane: cannot render an image of %ld x %ld pixels: the size must lie "
             "between 1 x 1 and %ld x %ld\n",
             width, height, maxWidth, maxHeight);
    return SbVec2s((short)width, (short)height);
}

// The scene to render, referenced. A scene without a camera would show
// nothing, so such a scene is shown as the examiner viewer shows it: under a
// perspective camera that views all of it from the default direction, and a
// headlight shining along that view. Camera, light and the scene root go
// into a separator of the image's own; the scene is not changed.
//
// The search finds the cameras that rendering would reach: it does not
// enter the children a switch leaves out, so a camera there does not count.
static SoNode *sceneToRender(const SbViewportRegion &region) {
    // The scene is drawn once: a render cache of it could never be used and
    // would hold every shape the recursion draws, and a culling test of the
    // whole scene would cost one more traversal of the recursion.
    root->renderCaching = SoSeparator::OFF;
    root->renderCulling = SoSeparator::OFF;

    SoSearchAction search;
    search.setType(SoCamera::getClassTypeId());
    search.setInterest(SoSearchAction::FIRST);
    search.apply(root);
    if (search.getPath() != NULL) {
        root->ref();
        return root;
    }

    SoSeparator *view = new SoSeparator;
    view->ref();
    view->renderCaching = SoSeparator::OFF;
    SoPerspectiveCamera *camera = new SoPerspectiveCamera;
    view->addChild(camera);
    camera->viewAll(root, region);
    camera->aspectRatio = region.getViewportAspectRatio();
    SoDirectionalLight *headlight = new SoDirectionalLight;
    SbVec3f direction;
    camera->orientation.getValue().multVec(SbVec3f(0.0f, 0.0f, -1.0f), direction);
    headlight->direction = direction;
    view->addChild(headlight);
    view->addChild(root);
    return view;
}

// Names ending in ".png", in any case, get PNG; all others SGI RGB.
static bool isPngName(const char *imageFile) {
    size_t length = strlen(imageFile);
    return length >= 4 && strcasecmp(imageFile + length - 4, ".png") == 0;
}

// Writes the rendered pixels (RGB, bottom row first) into the image file; a
// file that cannot be written completely is removed.
static void saveImage(const char *imageFile, const unsigned char *pixels, SbVec2s size) {
    printf("saving to <%s>...\n", imageFile);
    fflush(stdout);
    FILE *f = fopen(imageFile, "w");
    if (f == NULL)
        fail("Tessvane: cannot open image file '%s': %s\n", imageFile, strerror(errno));
    // The toolkit's writeToRGB corrupts the heap on 64-bit systems, so the
    // renderer's pixel buffer is written by the program's own writers.
    bool written = isPngName(imageFile) ? PngImageWriter(pixels, size[0], size[1]).write(f)
                                        : RgbImageWriter(pixels, size[0], size[1]).write(f);
    int writeError = errno;
    if (fclose(f) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written) {
        struct stat status; // a partial image (or a link) is removed, a device never
        if (lstat(imageFile, &status) == 0 && !S_ISCHR(status.st_mode) && !S_ISBLK(status.st_mode))
            remove(imageFile);
        fail("Tessvane: cannot write image file '%s': %s\n", imageFile, strerror(writeError));
    }
}

// Renders the scene with the toolkit's off-screen renderer, which draws
// through the X display, and saves the image.
static void renderOffscreen() {
    const char *imageFile = imageFileName();
    SbVec2s size = imageSize(SoOffscreenRenderer::getMaximumResolution());
    SbViewportRegion region(size);
    SoOffscreenRenderer rend(region);
    printf("rendering %d x %d...\n", size[0], size[1]);
    fflush(stdout);
    SoNode *scene = sceneToRender(region);
    if (!rend.render(scene))
        fail("Tessvane: off-screen rendering of '%s' failed\n", optFile.getValue());
    saveImage(imageFile, rend.getBuffer(), size);
    scene->unref();
}

// Renders the scene without an X display, into the same image the toolkit's
// off-screen renderer would give, and saves it.
static void renderHeadless() {
    const char *imageFile = imageFileName();
    HeadlessRenderer rend;
    if (rend.getError() != NULL)
        fail("Tessvane: no X display, and rendering without one failed: %s\n", rend.getError());
    SbVec2s size = imageSize(rend.getMaximumResolution());
    SbViewportRegion region(size);
    printf("rendering %d x %d...\n", size[0], size[1]);
    fflush(stdout);
    SoNode *scene = sceneToRender(region);
    if (!rend.render(scene, region))
        fail("Tessvane: off-screen rendering of '%s' failed\n", optFile.getValue());
    saveImage(imageFile, rend.getBuffer(), size);
    scene->unref();
}

// The standard view: the whole scene in sight, with a fixed clipping range
// wide enough for any recursion depth instead of one computed from the scene.
static void setViewer() {
    myViewer->setAutoClipping(FALSE);
    myViewer->viewAll();
    SoCamera *camera = myViewer->getCamera();
    camera->nearDistance = 0.01f;
    camera->farDistance = 100000.0f;
}

// Reads the scene file again. The new scene is read and prepared before the
// old one is let go, so a file that no longer reads leaves the old scene on
// screen.
static void reload() {
    SoSeparator *newRoot = loadRecursionFile(optFile.getValue());
    if (newRoot == NULL) {
        fprintf(stderr, "Tessvane: cannot reload scene file '%s'; keeping the current scene\n",
                optFile.getValue());
        return;
    }
    myViewer->setSceneGraph(NULL);
    RecursionDoneAction rda;
    rda.apply(root); // breaks the cycles while the program still holds the root
    root->unref();
    root = newRoot;
    myViewer->setSceneGraph(root);
    if (!optNoView.isSpecified())
        setViewer();
}

// Makes the values that RecursionRandom nodes draw next repeat.
static void resetRandom() {
    srand48(1);
}

static void printAll() {
    SoWriteAction wa;
    wa.apply(root);
    wa.apply(myViewer->getCamera());
    fflush(stdout);
}

// Copies the placement of the camera in the camera file into the viewer's
// camera; anything that goes wrong leaves the view as it is.
static void gotoCamera() {
    const char *cameraFile = optCamera.getValue();
    if (cameraFile == NULL) {
        printf("No camera specified!\n");
        fflush(stdout);
        return;
    }
    SoInput myInput;
    if (!myInput.openFile(cameraFile)) {
        fprintf(stderr, "Tessvane: cannot open camera file '%s'\n", cameraFile);
        return;
    }
    if (!SceneFileCheck::check(myInput.getCurFileName())) {
        fprintf(stderr, "Tessvane: cannot read a camera from '%s'\n", cameraFile);
        return;
    }
    SoNode *node = NULL;
    bool read = false;
    try {
        read = SoDB::read(&myInput, node);
    } catch (const std::bad_alloc &) {
        fprintf(stderr, "Tessvane: %s: reading it asks for more memory than there is\n",
                cameraFile);
    }
    if (!read || node == NULL) {
        fprintf(stderr, "Tessvane: cannot read a camera from '%s'\n", cameraFile);
        return;
    }
    node->ref();
    if (node->isOfType(SoCamera::getClassTypeId())) {
        SoCamera *newcam = static_cast<SoCamera *>(node);
        SoCamera *oldcam = myViewer->getCamera();
        oldcam->position = newcam->position;
        oldcam->orientation = newcam->orientation;
        oldcam->nearDistance = newcam->nearDistance;
        oldcam->farDistance = newcam->farDistance;
        oldcam->focalDistance = newcam->focalDistance;
    } else {
        fprintf(stderr, "Tessvane: the first node in '%s' is a %s, not a camera\n", cameraFile,
                node->getTypeId().getName().getString());
    }
    node->unref();
}

// Ends the process at once; the scene is not torn down.
static void quit() {
    exit(0);
}

// Runs the command that a button was registered with (its client data).
static void runCommand(Widget, XtPointer clientData, XtPointer) {
    reinterpret_cast<CallbackFunction *>(clientData)();
}

// Adds one application push button, labelled by its widget name, to the
// viewer's column of application buttons: a raised border like the viewer's
// own buttons, and no keyboard-focus highlight around it.
static void addButton(const char *symbol, CallbackFunction *cb) {
    Arg args[2];
    int n = 0;
    XtSetArg(args[n], XmNshadowThickness, 2);
    n++;
    XtSetArg(args[n], XmNhighlightThickness, 0);
    n++;
    Widget parentWidget = myViewer->getAppPushButtonParent();
    Widget button = XmCreatePushButtonGadget(parentWidget, const_cast<char *>(symbol), args, n);
    XtAddCallback(button, XmNactivateCallback, runCommand, reinterpret_cast<XtPointer>(cb));
    myViewer->addAppPushButton(button);
}

int main(int argc, char **argv) {
    Option::parse(argc, argv);
    // A file option named last, without a file name, counts as not given.
    if (!optFile.isSpecified() || optFile.getValue() == NULL)
        printUsage();

    // An off-screen image needs no display: when the one DISPLAY names
    // cannot be opened, the toolkit is set up without its Xt layer and the
    // image is rendered through EGL. The connection that tells stays open
    // until the toolkit has its own: an X server resets when its last client
    // leaves, and refuses connections while it does.
    Display *display = optOffscreen.isSpecified() ? XOpenDisplay(NULL) : NULL;
    bool headless = optOffscreen.isSpecified() && display == NULL;
    if (headless) {
        SoDB::init();
        SoNodeKit::init();
        SoInteraction::init();
    } else {
        myWindow = SoXt::init("Tessvane", "Inventor");
        if (display != NULL)
            XCloseDisplay(display);
        if (myWindow == NULL)
            exit(1);
    }
    initRecursionClasses();
    root = loadRecursionFile(optFile.getValue());
    if (root == NULL)
        fail("Tessvane: cannot load scene file '%s'\n", optFile.getValue());

    if (optOffscreen.isSpecified()) {
        if (headless)
            renderHeadless();
        else
            renderOffscreen();
        printf("exiting...\n");
        exit(0);
    }

    myViewer = new SoXtExaminerViewer(myWindow, NULL, TRUE, SoXtFullViewer::BUILD_ALL,
                                      SoXtViewer::BROWSER);
    myViewer->setTitle("Tessvane");
    addButton("L", reload);
    addButton("R", resetRandom);
    addButton("V", setViewer);
    addButton("P", printAll);
    addButton("C", gotoCamera);
    addButton("Q", quit);
    myViewer->setSceneGraph(root);
    if (!optNoView.isSpecified())
        setViewer();

    myViewer->show();
    SoXt::show(myWindow);
    SoXt::mainLoop();
    return 0;
}
