"""Every scene in examples/ renders off-screen, without any report, to an
image that is not blank. Needs an X display (ctest runs under Xvfb).

Usage: test_examples_render.py /path/to/tessvane /path/to/examples
"""

import glob
import os
import subprocess
import sys
import tempfile
import unittest

PROGRAM = EXAMPLES = None  # set from the command line


def lit_fraction(path):
    """The share of pixels that are not black, read back with ImageMagick."""
    data = subprocess.run(["/usr/bin/convert", "sgi:" + path, "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout
    return sum(1 for v in data if v > 8) / len(data)


class ExamplesRender(unittest.TestCase):
    def test_each_example_renders_a_picture_without_a_report(self):
        scenes = sorted(glob.glob(os.path.join(EXAMPLES, "*.iv")))
        self.assertGreaterEqual(len(scenes), 8)
        with tempfile.TemporaryDirectory() as tmp:
            for scene in scenes:
                with self.subTest(scene=os.path.basename(scene)):
                    image = os.path.join(tmp, "out.rgb")
                    run = subprocess.run([PROGRAM, "-f", scene, "-os", image, "-w", "160",
                                          "-h", "120"], capture_output=True, text=True,
                                         timeout=120)
                    self.assertEqual(run.returncode, 0, run.stderr)
                    self.assertEqual(run.stderr, "")
                    self.assertEqual(run.stdout, "rendering 160 x 120...\nsaving to <%s>...\n"
                                     "exiting...\n" % image)
                    self.assertGreater(lit_fraction(image), 0.01)


if __name__ == "__main__":
    PROGRAM, EXAMPLES = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
