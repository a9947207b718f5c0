"""The tessvane viewer driven through its six application buttons with real
mouse clicks (xdotool) on an X display (ctest runs under Xvfb). Commands are
checked through what they write: "P" prints the scene and then the viewer's
camera, so the camera's fields show what the other buttons did.

Usage: test_viewer.py /path/to/tessvane [unittest arguments]
"""

import os
import re
import subprocess
import sys
import threading
import time
import unittest

from scene_folder import SceneFolderTest

PROGRAM = None  # set from the command line
WAIT = 10  # seconds to wait for any one reaction of the program

BUTTONS = "LRVPCQ"  # top to bottom in the viewer's left column

SCENE = """#Inventor V2.1 ascii
Separator {
  Material { diffuseColor 1 0 0 }
  Cone {}
}
"""

CAMERA = """#Inventor V2.1 ascii
PerspectiveCamera {
  position 1 2 3
  orientation 0 1 0 0.5
  nearDistance 0.5
  farDistance 50
  focalDistance 7
  heightAngle 0.3
}
"""
CAMERA_FIELDS = {"position": [1, 2, 3], "orientation": [0, 1, 0, 0.5],
                 "nearDistance": [0.5], "farDistance": [50], "focalDistance": [7]}

STANDARD_CLIPPING = {"nearDistance": [0.01], "farDistance": [100000]}


def wait_until(condition, what, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def camera_fields(text):
    """The numeric fields of the last camera written in `text`."""
    cameras = re.findall(r"\w*Camera \{([^}]*)\}", text)
    fields = {}
    for line in cameras[-1].strip().splitlines():
        name, *values = line.split()
        fields[name] = [float(v) for v in values]
    return fields


class Viewer:
    """One running viewer; collects its output and clicks its buttons."""

    def __init__(self, args):
        self.process = subprocess.Popen([PROGRAM] + args, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.out, self.err = [], []
        self.lock = threading.Lock()
        self.readers = [threading.Thread(target=self.collect, args=args, daemon=True)
                        for args in ((self.process.stdout, self.out),
                                     (self.process.stderr, self.err))]
        for reader in self.readers:
            reader.start()
        self.window = self.find_window()
        self.buttons = wait_until(self.find_buttons, "the application buttons")

    def collect(self, stream, chunks):
        for data in iter(lambda: os.read(stream.fileno(), 65536), b""):
            with self.lock:
                chunks.append(data.decode())

    def stdout(self):
        with self.lock:
            return "".join(self.out)

    def stderr(self):
        with self.lock:
            return "".join(self.err)

    def find_window(self):
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                "^Tessvane$"], capture_output=True, text=True, timeout=WAIT)
        return found.stdout.split()[0]

    def find_buttons(self):
        """Centres of the six buttons, from a screenshot of the window. The
        buttons are stacked from the window's top left corner; their light
        top-left shadow marks the column's width (along the top row) and
        height (down the left edge)."""
        shot = subprocess.run(["/usr/bin/import", "-window", self.window, "-depth", "8", "ppm:-"],
                              capture_output=True, timeout=WAIT).stdout
        if not shot.startswith(b"P6"):
            return None
        _, size, _, data = shot.split(b"\n", 3)
        width, height = map(int, size.split())

        def pixel(x, y):
            return data[3 * (y * width + x):3 * (y * width + x) + 3]

        shadow = pixel(0, 0)
        columns = next((x for x in range(width) if pixel(x, 0) != shadow), 0)
        rows = next((y for y in range(height) if pixel(0, y) != shadow), 0)
        if columns == 0 or rows < 6 or rows % 6 != 0:
            return None
        step = rows // 6
        return {b: (columns // 2, i * step + step // 2) for i, b in enumerate(BUTTONS)}

    def click(self, button):
        x, y = self.buttons[button]
        subprocess.run(["xdotool", "mousemove", "--window", self.window, str(x), str(y),
                        "click", "1"], check=True, timeout=WAIT)

    def press(self, button, expect_out=None, expect_err=None):
        """Clicks a button and waits until stdout and stderr have grown by text
        matching the expected patterns; returns the new stdout text."""
        out_mark, err_mark = len(self.stdout()), len(self.stderr())
        self.click(button)
        if expect_err:
            wait_until(lambda: re.search(expect_err, self.stderr()[err_mark:]),
                       "stderr matching %r after %s" % (expect_err, button))
        if expect_out:
            wait_until(lambda: re.search(expect_out, self.stdout()[out_mark:]),
                       "stdout matching %r after %s" % (expect_out, button))
        return self.stdout()[out_mark:]

    def print_scene(self):
        """Presses "P"; returns the scene's text and the camera's fields."""
        text = self.press("P", expect_out=r"Camera \{[^}]*\}")
        return text, camera_fields(text)

    def quit(self):
        self.click("Q")
        return self.process.wait(timeout=WAIT)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        for reader in self.readers:
            reader.join(timeout=WAIT)
        self.process.stdout.close()
        self.process.stderr.close()


class ViewerTest(SceneFolderTest):
    def setUp(self):
        super().setUp()
        self.scene = self.file("scene.iv", SCENE)
        self.camera = self.file("camera.iv", CAMERA)

    def start(self, *args):
        viewer = Viewer(["-f", self.scene] + list(args))
        self.addCleanup(viewer.stop)
        return viewer

    def assertFields(self, expected, fields):
        for name, values in expected.items():
            self.assertIn(name, fields)
            self.assertEqual(len(values), len(fields[name]), name)
            for want, got in zip(values, fields[name]):
                self.assertAlmostEqual(want, got, places=4, msg=name)

    def assertNotStandardClipping(self, fields):
        self.assertNotEqual([0.01], fields.get("nearDistance"))
        self.assertNotEqual([100000], fields.get("farDistance"))

    def test_print_writes_scene_then_camera_in_standard_view(self):
        viewer = self.start()
        text, camera = viewer.print_scene()
        self.assertTrue(text.startswith("#Inventor V2.1 ascii"))
        self.assertLess(text.index("Cone {"), text.index("PerspectiveCamera {"))
        self.assertFields(STANDARD_CLIPPING, camera)
        self.assertEqual(0, viewer.quit())

    def test_camera_button_without_camera_file(self):
        viewer = self.start()
        _, before = viewer.print_scene()
        self.assertEqual("No camera specified!\n",
                         viewer.press("C", expect_out="No camera specified!\n"))
        _, after = viewer.print_scene()
        self.assertEqual(before, after)
        self.assertEqual(0, viewer.quit())

    def test_camera_button_copies_camera_file(self):
        viewer = self.start("-cam", self.camera)
        _, before = viewer.print_scene()
        viewer.click("C")
        _, camera = viewer.print_scene()
        self.assertFields(CAMERA_FIELDS, camera)
        # Only the five placement fields are copied
        self.assertEqual(before.get("heightAngle"), camera.get("heightAngle"))

        # A camera file that cannot be used leaves the view as it is
        bad_files = {"missing": None, "empty": "", "not a camera": "#Inventor V2.1 ascii\nCube {}\n",
                     "malformed": "#Inventor V2.1 ascii\nPerspectiveCamera { position 1 2"}
        for what, text in bad_files.items():
            with self.subTest(camera_file=what):
                if text is None:
                    os.remove(self.camera)
                else:
                    self.file("camera.iv", text)
                viewer.press("C", expect_err=r"Tessvane: .*'%s'" % re.escape(self.camera))
                _, unchanged = viewer.print_scene()
                self.assertEqual(camera, unchanged)

        # "V" applies the standard view again
        viewer.click("V")
        _, standard = viewer.print_scene()
        self.assertFields(STANDARD_CLIPPING, standard)
        self.assertNotEqual(camera["position"], standard["position"])
        self.assertEqual(0, viewer.quit())

    def test_reload_shows_changed_file_and_survives_a_bad_one(self):
        viewer = self.start("-cam", self.camera)
        viewer.click("C")  # leave the standard view
        _, camera = viewer.print_scene()
        self.assertFields(CAMERA_FIELDS, camera)

        self.file("scene.iv", SCENE.replace("Cone", "Sphere"))
        viewer.click("L")
        text, camera = viewer.print_scene()
        self.assertIn("Sphere {", text)
        self.assertNotIn("Cone", text)
        self.assertFields(STANDARD_CLIPPING, camera)  # reload applies the standard view

        bad_files = {"malformed": SCENE.replace("Cone {}", "Cone { height"), "missing": None}
        for what, text in bad_files.items():
            with self.subTest(scene_file=what):
                if text is None:
                    os.remove(self.scene)
                else:
                    self.file("scene.iv", text)
                viewer.press("L", expect_err="Tessvane: cannot reload scene file '%s'"
                                             % re.escape(self.scene))
                self.assertIsNone(viewer.process.poll())
                text, _ = viewer.print_scene()
                self.assertIn("Sphere {", text)
        self.assertEqual(0, viewer.quit())

    def test_noview_leaves_the_viewer_camera(self):
        viewer = self.start("-nv")
        _, camera = viewer.print_scene()
        self.assertNotStandardClipping(camera)

        # "L" does not apply the standard view either, "V" does
        viewer.click("L")
        _, camera = viewer.print_scene()
        self.assertNotStandardClipping(camera)
        viewer.click("V")
        _, camera = viewer.print_scene()
        self.assertFields(STANDARD_CLIPPING, camera)
        self.assertEqual(0, viewer.quit())

    def test_reload_after_a_runaway_recursion_is_fixed(self):
        # The switch always picks the way down: only the runaway limit ends it.
        runaway = RUNAWAY_SCENE % "lv>0"
        self.file("scene.iv", runaway)
        viewer = self.start()
        wait_until(lambda: "Tessvane: runaway recursion stopped after 2000 levels" in
                   viewer.stderr(), "the runaway report")
        self.assertIsNone(viewer.process.poll())

        self.file("scene.iv", RUNAWAY_SCENE % "lv<5")
        viewer.click("L")
        text, _ = viewer.print_scene()
        self.assertIn('expression "lv<5"', text)
        self.assertNotIn('expression "lv>0"', text)
        self.assertEqual(0, viewer.quit())


# A recursion of cubes whose switch expression is filled in.
RUNAWAY_SCENE = """#Inventor V2.1 ascii
Separator {
  RecursionCalculator { expression "lv=0" }
  DEF Forever Separator {
    RecursionCalculator { expression "lv=lv+1" }
    Cube {}
    Translation { translation 2.5 0 0 }
    RecursionSwitch { expression "%s" Group {} RecursionSeparator { USE Forever } }
  }
}
"""


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
