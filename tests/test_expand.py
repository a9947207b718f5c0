"""The tessvane-expand program run as a process: usage, failures, progress,
and what the expanded files are: standard nodes only, shared where nothing
changes, and drawn exactly as the recursive scenes are drawn. The image
comparisons need an X display (ctest runs under Xvfb).

Usage: test_expand.py EXPANDER VIEWER READER EXAMPLES DATA [unittest arguments]
  EXPANDER  tessvane-expand
  VIEWER    tessvane, which renders the images
  READER    read_standard_scene: reads a file with the toolkit alone
  EXAMPLES  the examples directory, DATA the tests/data directory
"""

import glob
import os
import re
import subprocess
import sys
import unittest

from scene_folder import SceneFolderTest

EXPANDER = VIEWER = READER = EXAMPLES = DATA = None  # from the command line

USAGE = ("Usage: tessvane-expand SCENE OUT\n"
         "Writes the recursive scene SCENE unrolled, as rendering traverses it, into OUT:\n"
         "an Inventor file of standard nodes only, without cycles.\n")



def run(program, args, timeout=120):
    return subprocess.run([program] + args, capture_output=True, text=True, timeout=timeout)


def stated_shapes(scene):
    with open(scene) as f:
        return int(re.search(r"# Shapes drawn: ([0-9]+)", f.read()).group(1))


def node_places(text):
    """Every place a node stands in a written file: its body or a USE."""
    return len(re.findall(r"^\s*(?:DEF \S+ )?[A-Za-z]\w* \{$|^\s*USE \S+$", text, re.M))


class ExpandTest(SceneFolderTest):
    def setUp(self):
        super().setUp()
        self.out = self.path("out.iv")

    def expand(self, scene, out=None):
        result = run(EXPANDER, [scene, out or self.out])
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual("", result.stdout)
        return result

    def render(self, scene, image):
        result = run(VIEWER, ["-f", scene, "-os", image, "-w", "320", "-h", "240"])
        self.assertEqual(0, result.returncode, "%s: %s" % (scene, result.stderr))
        return image

    def test_usage_when_the_arguments_are_wrong(self):
        for args in ([], ["a.iv"], ["a.iv", "b.iv", "c.iv"]):
            with self.subTest(args=args):
                result = run(EXPANDER, args)
                self.assertEqual(2, result.returncode)
                self.assertEqual("", result.stdout)
                self.assertEqual(USAGE, result.stderr)

    def test_scene_that_cannot_be_loaded(self):
        os.mkdir(self.path("directory.iv"))
        cases = {
            "missing": self.path("missing.iv"),
            "directory": self.path("directory.iv"),
            "empty": self.file("empty.iv", ""),
            "malformed": self.file("malformed.iv", "#Inventor V2.1 ascii\nSeparator { Cube { width"),
            "cycle": self.file("cycle.iv", "#Inventor V2.1 ascii\n"
                                           "DEF A Separator { Cube {} Separator { USE A } }\n"),
        }
        for what, scene in cases.items():
            with self.subTest(scene=what):
                result = run(EXPANDER, [scene, self.out])
                self.assertEqual(1, result.returncode)
                lines = result.stderr.splitlines(True)
                self.assertGreater(len(lines), 1)  # the loader's own report comes first
                self.assertEqual("tessvane-expand: cannot load scene file '%s'\n" % scene,
                                 lines[-1])
                self.assertFalse(os.path.exists(self.out))

    def test_output_that_cannot_be_written(self):
        scene = os.path.join(EXAMPLES, "five_levels.iv")
        cases = [("/nonexistent/dir/out.iv", "No such file or directory"),
                 (self.dir, "Is a directory"),
                 ("/dev/full", "No space left on device")]  # fails when written, stays
        for out, reason in cases:
            with self.subTest(out=out):
                result = run(EXPANDER, [scene, out])
                self.assertEqual(1, result.returncode)
                self.assertEqual("tessvane-expand: cannot write '%s': %s\n" % (out, reason),
                                 result.stderr)
        self.assertTrue(os.path.exists("/dev/full"))

    def test_scene_that_cannot_be_expanded_completely_writes_nothing(self):
        scene = self.file("array.iv", "#Inventor V2.1 ascii\n"
                                      "Separator { Array { RecursionCalculator "
                                      "{ expression \"n=1\" } Cube {} } }\n")
        result = run(EXPANDER, [scene, self.out])
        self.assertEqual(1, result.returncode)
        self.assertEqual("Tessvane: cannot expand the Array node: it traverses its children "
                         "several times or as the view decides, and recursion nodes lie below "
                         "it\ntessvane-expand: cannot expand scene file '%s' completely; nothing "
                         "written\n" % scene, result.stderr)
        self.assertFalse(os.path.exists(self.out))

    def test_expansion_renders_like_the_recursive_scene(self):
        # The toolkit writes a rotation as axis and angle with at most eight
        # significant digits, so a camera read and written again may differ in
        # its last bit, which alone moves a few edge pixels: the examples give
        # their cameras as the toolkit writes them.
        scenes = sorted(glob.glob(os.path.join(EXAMPLES, "*.iv")))
        self.assertEqual(9, len(scenes))
        for scene in scenes:
            name = os.path.basename(scene)
            with self.subTest(scene=name):
                self.expand(scene)
                recursive = self.render(scene, self.path("recursive.rgb"))
                expanded = self.render(self.out, self.path("expanded.rgb"))
                compare = subprocess.run(["/usr/bin/compare", "-metric", "AE", recursive,
                                          expanded, "null:"], capture_output=True, text=True)
                self.assertEqual("0", compare.stderr.strip())

    def test_largest_example_expands_to_shared_standard_nodes(self):
        scene = os.path.join(EXAMPLES, "menger.iv")
        self.expand(scene)
        with open(self.out) as f:
            text = f.read()
        read = run(READER, [self.out])
        self.assertEqual(0, read.returncode, read.stderr)
        types = read.stdout.split()
        self.assertIn("Cube", types)
        self.assertEqual([], [t for t in types if t.startswith("Recursion")])
        self.assertNotIn("Recursion", text)
        # One cube, defined in the "Cache" separator and used at every other place.
        self.assertEqual(1, text.count("Cube"))
        self.assertEqual(1, len(re.findall(r"DEF (Cache\+\d+) Separator", text)))
        self.assertEqual(stated_shapes(scene) - 1, len(re.findall(r"USE Cache\+\d+$", text, re.M)))

    def test_progress_every_100000_nodes_and_the_count(self):
        # 2^16 cubes: about 400000 nodes. The only node shared is a leaf, so
        # the places in the file are the places the expansion filled.
        scene = self.file("binary.iv", "#Inventor V2.1 ascii\nSeparator {\n"
                                       "RecursionCalculator { expression \"l=0\" }\n"
                                       "DEF Twice Separator {\n"
                                       "  RecursionCalculator { expression \"l=l+1\" }\n"
                                       "  RecursionSwitch { expression \"l<17\" Cube {}\n"
                                       "    Group { RecursionSeparator { USE Twice }\n"
                                       "            RecursionSeparator { USE Twice } } } } }\n")
        result = self.expand(scene)
        with open(self.out) as f:
            places = node_places(f.read())
        self.assertGreater(places, 300000)
        expected = ["tessvane-expand: %d nodes...\n" % n
                    for n in range(100000, places + 1, 100000)]
        expected.append("tessvane-expand: %d nodes written to '%s'\n" % (places, self.out))
        self.assertEqual(expected, result.stderr.splitlines(True))

    def test_runaway_recursion_is_stopped_with_the_runtime_report(self):
        result = self.expand(os.path.join(DATA, "runaway.iv"))
        lines = result.stderr.splitlines()
        self.assertEqual(2, len(lines), result.stderr)
        self.assertTrue(lines[0].startswith("Tessvane: runaway recursion stopped after 2000 "
                                            "levels"), lines[0])
        self.assertTrue(lines[1].endswith(" nodes written to '%s'" % self.out), lines[1])
        read = run(READER, [self.out])
        self.assertEqual(0, read.returncode, read.stderr)
        self.assertIn("Sphere", read.stdout.split())  # the rest of the scene


if __name__ == "__main__":
    EXPANDER, VIEWER, READER, EXAMPLES, DATA = map(os.path.abspath, sys.argv[1:6])
    unittest.main(argv=sys.argv[:1] + sys.argv[6:], verbosity=2)
