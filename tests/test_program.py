"""The tessvane program run as a process: usage text, off-screen rendering
into SGI RGB images, and the ways start-up can fail. Needs an X display
(ctest runs under Xvfb).

Usage: test_program.py /path/to/tessvane [unittest arguments]
"""

import ctypes
import os
import subprocess
import sys
import unittest

from scene_folder import SceneFolderTest

PROGRAM = None  # set from the command line

USAGE = ("Usage: Tessvane -f[ile] <input> -p[rint] -nv[noviewall]\n"
         "                -os[offscreen] <file.rgb> -cam <cam.iv>\n "
         "                -w[idth] <value> -h[eight] <value>")

# A red cube above a green one, in front of the scene's own camera, drawn in
# their base colours (no lighting), on the black background.
TWO_CUBES = """#Inventor V2.1 ascii
Separator {
  PerspectiveCamera { position 0 0 10 }
  LightModel { model BASE_COLOR }
  Separator { Translation { translation 0 2 0 } BaseColor { rgb 1 0 0 } Cube {} }
  Separator { Translation { translation 0 -2 0 } BaseColor { rgb 0 1 0 } Cube {} }
}
"""

RED, GREEN, BLACK = (255, 0, 0), (0, 255, 0), (0, 0, 0)


def run(args, timeout=30):
    return subprocess.run([PROGRAM] + args, capture_output=True, text=True, timeout=timeout)


def identify(path):
    return subprocess.run(["/usr/bin/identify", "-format", "%m %wx%h", path],
                          capture_output=True, text=True, check=True).stdout


def read_pixels(path, image_format="sgi"):
    """The image as rows (top first) of (r, g, b) tuples, via a binary PPM."""
    ppm = subprocess.run(["/usr/bin/convert", image_format + ":" + path, "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    magic, size, maxval, data = ppm.split(b"\n", 3)
    assert magic == b"P6" and maxval == b"255"
    width, height = map(int, size.split())
    return [[tuple(data[3 * (y * width + x):3 * (y * width + x) + 3]) for x in range(width)]
            for y in range(height)]


class ProgramTest(SceneFolderTest):
    def setUp(self):
        super().setUp()
        self.scene = self.file("two_cubes.iv", TWO_CUBES)
        self.image = self.path("out.rgb")

    def assertShowsTwoCubes(self, pixels):
        """Red only in the upper half, green only in the lower, black corners:
        the scene is drawn, and the rows are stored bottom to top."""
        half = len(pixels) // 2
        top = {p for row in pixels[:half] for p in row}
        bottom = {p for row in pixels[half:] for p in row}
        self.assertIn(RED, top)
        self.assertNotIn(GREEN, top)
        self.assertIn(GREEN, bottom)
        self.assertNotIn(RED, bottom)
        for corner in (pixels[0][0], pixels[0][-1], pixels[-1][0], pixels[-1][-1]):
            self.assertEqual(BLACK, corner)

    def test_usage_without_scene_file(self):
        cases = [
            ([], ""),
            (["-p"], ""),
            (["-p", "-nv", "-w", "10"], ""),
            (["-f"], "missing option parameter\n"),
            # The parser stops at the unknown option, before it reaches -f
            (["-display", ":0", "-f", "x.iv"], "unknown option '-display'\n"),
        ]
        for args, errors in cases:
            with self.subTest(args=args):
                result = run(args)
                self.assertEqual(USAGE, result.stdout)
                self.assertEqual(errors, result.stderr)
                self.assertEqual(255, result.returncode)

    def test_offscreen_default_size(self):
        result = run(["-f", self.scene, "-os", self.image])
        self.assertEqual("rendering 640 x 480...\n"
                         "saving to <%s>...\n"
                         "exiting...\n" % self.image, result.stdout)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual("SGI 640x480", identify(self.image))
        pixels = read_pixels(self.image)
        self.assertShowsTwoCubes(pixels)
        self.assertEqual(BLACK, pixels[240][320])  # between the cubes

    def test_offscreen_requested_size(self):
        cases = [
            (["-w", "200", "-h", "100"], 200, 100),
            (["--width", "200"], 200, 480),
            (["--height", "90"], 640, 90),
            (["-p", "-nv", "-cam", "none.iv", "-w", "64", "-h", "48"], 64, 48),
        ]
        for args, width, height in cases:
            with self.subTest(args=args):
                result = run(["-f", self.scene, "-os", self.image] + args)
                self.assertEqual(0, result.returncode, result.stderr)
                self.assertEqual("rendering %d x %d...\n" % (width, height),
                                 result.stdout.splitlines(True)[0])
                self.assertEqual("SGI %dx%d" % (width, height), identify(self.image))
                self.assertShowsTwoCubes(read_pixels(self.image))

    def test_offscreen_bad_size(self):
        cases = [["-w", "0"], ["-w", "70000"], ["-h", "-5"], ["-w", "x"], ["-h", "40000"],
                 ["-w"]]  # named last without a value: reads 0
        for args in cases:
            with self.subTest(args=args):
                result = run(["-f", self.scene, "-os", self.image] + args)
                self.assertEqual(1, result.returncode)
                self.assertEqual("", result.stdout)
                self.assertIn("Tessvane: cannot render an image of ", result.stderr)
                self.assertFalse(os.path.exists(self.image))

    def test_offscreen_unwritable_image(self):
        image = "/nonexistent/dir/x.rgb"
        result = run(["-f", self.scene, "-os", image])
        self.assertEqual(1, result.returncode)
        self.assertEqual("rendering 640 x 480...\nsaving to <%s>...\n" % image, result.stdout)
        self.assertEqual("Tessvane: cannot open image file '%s': No such file or directory\n"
                         % image, result.stderr)

    def test_offscreen_without_image_name(self):
        result = run(["-f", self.scene, "-os"])
        self.assertEqual(1, result.returncode)
        self.assertEqual("", result.stdout)
        self.assertEqual("missing option parameter\n"
                         "Tessvane: the offscreen option needs an image file name\n",
                         result.stderr)

    def test_scene_that_cannot_be_loaded(self):
        os.mkdir(os.path.join(self.dir, "directory.iv"))
        cases = {
            "missing": os.path.join(self.dir, "missing.iv"),
            "directory": os.path.join(self.dir, "directory.iv"),
            "empty": self.file("empty.iv", ""),
            "malformed": self.file("malformed.iv", "#Inventor V2.1 ascii\nSeparator { Cube { width"),
            "cycle": self.file("cycle.iv", "#Inventor V2.1 ascii\n"
                                           "DEF A Separator { Cube {} Separator { USE A } }\n"),
        }
        for what, scene in cases.items():
            for mode in (["-os", self.image], []):
                with self.subTest(scene=what, mode=mode):
                    result = run(["-f", scene] + mode)
                    self.assertEqual(1, result.returncode)
                    self.assertEqual("", result.stdout)
                    lines = result.stderr.splitlines(True)
                    # The loader's own report comes first
                    self.assertGreater(len(lines), 1)
                    self.assertEqual("Tessvane: cannot load scene file '%s'\n" % scene, lines[-1])
                    self.assertFalse(os.path.exists(self.image))

    def test_unknown_type_names_load_no_shared_object(self):
        # A shared object named after an unknown type, on the library path and
        # in the current folder, marks its loading from its constructor.
        marker = os.path.join(self.dir, "loaded")
        source = self.file("Intruder.c", '#include <stdio.h>\n'
                           '__attribute__((constructor)) static void mark(void) {\n'
                           '    fclose(fopen("%s", "w"));\n}\n' % marker)
        library = os.path.join(self.dir, "Intruder.so")
        subprocess.run(["cc", "-shared", "-fPIC", "-o", library, source], check=True)
        scene = self.file("intruder.iv", "#Inventor V2.1 ascii\nIntruder {}\n")
        result = subprocess.run([PROGRAM, "-f", scene, "-os", self.image], capture_output=True,
                                text=True, timeout=30, cwd=self.dir,
                                env=dict(os.environ, LD_LIBRARY_PATH=self.dir))
        self.assertEqual(1, result.returncode, result.stderr)
        self.assertIn('Unknown class "Intruder"', result.stderr)
        self.assertFalse(os.path.exists(marker))
        ctypes.CDLL(library)  # the marker works
        self.assertTrue(os.path.exists(marker))


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
