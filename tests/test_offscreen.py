"""Off-screen images beyond the basics of test_program.py: PNG output, scenes
without a camera, and rendering without any X server, which must give the
same pixels as rendering through the display. Needs an X display (ctest runs
under Xvfb) and the toolkit's sample models (Debian's inventor-data).

Usage: test_offscreen.py /path/to/tessvane [unittest arguments]
"""

import os
import subprocess
import sys
import unittest

import test_program
from scene_folder import SceneFolderTest
from test_program import BLACK, RED, TWO_CUBES, identify, read_pixels

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "examples")
MODELS = "/usr/share/inventor/data/models"

# Small sample models without a camera of their own. Without the camera the
# program adds, each shows (almost) nothing.
SAMPLE_MODELS = ["chess/rook.iv", "diamond.iv", "household/teapot.iv", "food/banana.iv",
                 "machines/simpleMonitor.iv"]

# A red cube, lit (no base-colour model), without a camera.
RED_CUBE = """#Inventor V2.1 ascii
Separator { %s Material { diffuseColor 1 0 0 } Cube {} }
"""

# A camera that looks down the z axis from z = 10, away from a cube at z = 20.
CAMERA_LOOKING_AWAY = "PerspectiveCamera { position 0 0 10 }"

# A camera in front of the cube at the origin.
CAMERA_ON_CUBE = "PerspectiveCamera { position 0 0 5 }"

# Without a display: DISPLAY unset, or naming a server that is not there.
NO_DISPLAY = [None, ":65000"]


def run(args, display=None, extra_env=None, timeout=60):
    """Runs the program with DISPLAY as given (None: unset)."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    if display is not None:
        env["DISPLAY"] = display
    env.update(extra_env or {})
    return subprocess.run([test_program.PROGRAM] + args, capture_output=True, text=True,
                          env=env, timeout=timeout)


def image_format(path):
    return "png" if path.lower().endswith(".png") else "sgi"


def differing_pixels(first, second):
    """ImageMagick's count of pixels that differ (compare -metric AE)."""
    result = subprocess.run(["/usr/bin/compare", "-metric", "AE",
                             image_format(first) + ":" + first,
                             image_format(second) + ":" + second, "null:"],
                            capture_output=True, text=True)
    if result.returncode not in (0, 1):
        raise RuntimeError(result.stderr)
    return result.stderr.strip()


def lit_fraction(pixels):
    """The fraction of pixels that are not black."""
    lit = sum(1 for row in pixels for p in row if p != BLACK)
    return lit / (len(pixels) * len(pixels[0]))


class OffscreenTest(SceneFolderTest):
    def setUp(self):
        super().setUp()
        self.display = os.environ.get("DISPLAY")
        self.assertTrue(self.display, "the tests need an X display")

    def render(self, scene, image, args=(), display="", extra_env=None):
        """Renders and checks the progress lines; display "" is the test's own."""
        result = run(["-f", scene, "-os", image] + list(args),
                     self.display if display == "" else display, extra_env)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual("saving to <%s>...\nexiting...\n" % image,
                         "".join(result.stdout.splitlines(True)[1:]))
        return result

    # ---- PNG output ------------------------------------------------------

    def test_image_format_follows_the_name(self):
        scene = self.file("two_cubes.iv", TWO_CUBES)
        reference = self.path("reference.rgb")
        self.render(scene, reference, ["-w", "200", "-h", "100"])
        cases = [("x.png", "PNG"), ("x.PNG", "PNG"), ("x.Png", "PNG"), (".png", "PNG"),
                 ("x.rgb", "SGI"), ("x.png.rgb", "SGI"), ("xpng", "SGI"), ("x.pngx", "SGI")]
        for name, written_format in cases:
            with self.subTest(name=name):
                image = self.path(name)
                self.render(scene, image, ["-w", "200", "-h", "100"])
                self.assertEqual("%s 200x100" % written_format, identify(image))
                self.assertEqual("0", differing_pixels(reference, image))

    def test_png_shows_the_scene_top_side_up(self):
        scene = self.file("two_cubes.iv", TWO_CUBES)
        image = self.path("out.png")
        self.render(scene, image)
        pixels = read_pixels(image, "png")
        self.assertEqual(RED, pixels[120][320])  # the upper cube
        self.assertEqual(BLACK, pixels[240][320])

    def test_image_that_cannot_be_written(self):
        scene = self.file("two_cubes.iv", TWO_CUBES)
        for name in ("full.rgb", "full.png"):
            os.symlink("/dev/full", self.path(name))
        cases = [
            (self.path("full.rgb"), "cannot write image file '%s': No space left on device"),
            (self.path("full.png"), "cannot write image file '%s': No space left on device"),
            ("/nonexistent/dir/x.png", "cannot open image file '%s': No such file or directory"),
        ]
        for image, message in cases:
            with self.subTest(image=image):
                result = run(["-f", scene, "-os", image], self.display)
                self.assertEqual(1, result.returncode)
                self.assertEqual("rendering 640 x 480...\nsaving to <%s>...\n" % image,
                                 result.stdout)
                self.assertEqual("Tessvane: " + message % image + "\n", result.stderr)
                self.assertFalse(os.path.lexists(image))  # the partial file is removed

    # ---- Scenes without a camera -----------------------------------------

    def test_scene_without_camera_is_viewed_whole_under_a_headlight(self):
        cases = {
            "cube at the origin": "",
            "cube far from the origin": "Translation { translation 40 -25 -60 }",
            "camera only in a switch child left out":
                "Switch { whichChild -1 %s } Translation { translation 0 0 20 }"
                % CAMERA_LOOKING_AWAY,
        }
        for what, before_cube in cases.items():
            with self.subTest(scene=what):
                scene = self.file("red_cube.iv", RED_CUBE % before_cube)
                image = self.path("out.rgb")
                self.render(scene, image)
                pixels = read_pixels(image)
                red, green, blue = pixels[240][320]
                # Full red needs the light: unlit, only the ambient term shows.
                self.assertGreater(red, 200, pixels[240][320])
                self.assertLess(max(green, blue), 40, pixels[240][320])
                for corner in (pixels[0][0], pixels[0][-1], pixels[-1][0], pixels[-1][-1]):
                    self.assertEqual(BLACK, corner)

    def test_scene_with_camera_gets_nothing_added(self):
        # The scene has no light: its cube shows in the ambient grey only,
        # where a headlight would make it red.
        cases = {
            "camera first": CAMERA_ON_CUBE,
            "camera in a group": "Group { %s }" % CAMERA_ON_CUBE,
            "camera in the switch child chosen": "Switch { whichChild 0 %s }" % CAMERA_ON_CUBE,
        }
        for what, camera in cases.items():
            with self.subTest(scene=what):
                scene = self.file("unlit.iv", RED_CUBE % camera)
                image = self.path("out.rgb")
                self.render(scene, image, ["-w", "80", "-h", "60"])
                centre = read_pixels(image)[30][40]
                self.assertNotEqual(BLACK, centre)
                self.assertLess(max(centre), 40, centre)

    def test_sample_models_without_camera(self):
        for model in SAMPLE_MODELS:
            with self.subTest(model=model):
                path = os.path.join(MODELS, model)
                self.assertTrue(os.path.exists(path), "install Debian's inventor-data")
                with open(path, "rb") as f:
                    self.assertNotIn(b"Camera", f.read())
                image = self.path("model.rgb")
                self.render(path, image, ["-w", "320", "-h", "240"])
                self.assertGreater(lit_fraction(read_pixels(image)), 0.02)

    # ---- Without an X server ---------------------------------------------

    def test_headless_image_equals_display_image(self):
        red_cube = self.file("red_cube.iv", RED_CUBE % "")
        scenes = [os.path.join(EXAMPLES, "plant.iv"), os.path.join(EXAMPLES, "menger.iv"),
                  red_cube, os.path.join(MODELS, "household/teapot.iv")]
        for scene in scenes:
            reference = self.path("display.rgb")
            shown = self.render(scene, reference)
            for display in NO_DISPLAY:
                for name in ("headless.rgb", "headless.png"):
                    with self.subTest(scene=os.path.basename(scene), display=display, image=name):
                        image = self.path(name)
                        result = self.render(scene, image, display=display)
                        self.assertEqual(shown.stdout.splitlines()[0],
                                         result.stdout.splitlines()[0])
                        self.assertEqual("", result.stderr)
                        self.assertEqual("0", differing_pixels(reference, image))

    def test_headless_size_limits(self):
        scene = self.file("red_cube.iv", RED_CUBE % "")
        for args in (["-w", "0"], ["-h", "70000"]):
            with self.subTest(args=args):
                shown = run(["-f", scene, "-os", self.path("x.rgb")] + args, self.display)
                headless = run(["-f", scene, "-os", self.path("x.rgb")] + args)
                self.assertEqual(1, headless.returncode)
                self.assertEqual("", headless.stdout)
                self.assertIn("Tessvane: cannot render an image of ", headless.stderr)
                self.assertEqual(shown.stderr, headless.stderr)

    def test_headless_without_egl(self):
        # The GL dispatch library finds no EGL driver.
        scene = self.file("red_cube.iv", RED_CUBE % "")
        image = self.path("x.rgb")
        result = run(["-f", scene, "-os", image],
                     extra_env={"__EGL_VENDOR_LIBRARY_FILENAMES": self.path("none.json")})
        self.assertEqual(1, result.returncode)
        self.assertEqual("", result.stdout)
        self.assertTrue(result.stderr.startswith(
            "Tessvane: no X display, and rendering without one failed: "), result.stderr)
        self.assertFalse(os.path.exists(image))

    def test_viewer_still_needs_a_display(self):
        scene = self.file("red_cube.iv", RED_CUBE % "")
        for display in NO_DISPLAY:
            with self.subTest(display=display):
                result = run(["-f", scene], display)
                self.assertEqual(1, result.returncode)
                self.assertEqual("", result.stdout)
                self.assertIn("Can't open display", result.stderr)


if __name__ == "__main__":
    test_program.PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
