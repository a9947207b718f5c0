"""A test case with a fresh folder for the scenes and images it writes."""

import os
import shutil
import tempfile
import unittest


class SceneFolderTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tessvane-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def file(self, name, text):
        """Writes `text` to `name` in the folder and returns its path."""
        with open(self.path(name), "w") as f:
            f.write(text)
        return self.path(name)
