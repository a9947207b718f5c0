"""Malformed scenes and command lines given to the tessvane program, one
process each, from the table in bad_input/cases.txt: every row states the exit
status and a fragment of the expected output (stdout and stderr together).
No row may end on a signal or outlive its time limit. Needs an X display
(ctest runs under Xvfb).

Usage: test_bad_input.py /path/to/tessvane [unittest arguments]
"""

import concurrent.futures
import os
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

PROGRAM = None  # set from the command line
HERE = os.path.dirname(os.path.abspath(__file__))
INPUTS = os.path.join(HERE, "bad_input")
TIME_LIMIT = 30  # seconds for any one process


def generated_inputs():
    """Inputs too large to keep as files, written into the temporary folder."""
    header = "#Inventor V2.1 ascii\n\n"
    return {
        "variables_257.iv": header + "Separator {\n" + "".join(
            '  RecursionCalculator { expression "v%d=%d" }\n' % (i, i) for i in range(257))
        + "  Cube {}\n}\n",
        "deep_nesting.iv": header + "Separator {\n" * 30000 + "Cube {}\n" + "}\n" * 30000,
        "deep_unclosed.iv": header + "Group {" * 200000,
        "long_expression.iv": header + 'RecursionCalculator { expression "x=%s" }\n'
        % "+".join(["y"] * 50000),
        "deep_parentheses.iv": header + 'RecursionCalculator { expression "x=%s1%s" }\n'
        % ("(" * 100000, ")" * 100000),
        "long_name.iv": header + 'RecursionCalculator { expression "%s=1" }\n' % ("n" * 100000),
        "long_use_name.iv": header + "Separator { USE %s }\n" % ("U" * 20000),
        "long_file_name.iv": header + 'File { name "%s" }\n' % ("F" * 20000),
        "long_quoted_type_name.iv": header + "SeparatorKit { childList NodeKitListPart { "
        'containerTypeName "%s" } }\n' % ("T" * 300),
        "long_font_name.iv": header + 'PerspectiveCamera { position 0 0 5 } Font { name "%s" } '
        'Text3 { string "3D" } Text2 { string "2D" }\n' % ("F" * 5000),
        "long_texture_name.iv": header + 'Texture2 { filename "%s" } Cube {}\n' % ("F" * 20000),
    }


def read_table():
    """Rows of (line, name, status, fragment, arguments) from cases.txt."""
    rows = []
    with open(os.path.join(INPUTS, "cases.txt"), encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            if not line.strip() or line.startswith("#"):
                continue
            name, status, fragment, arguments = [f.strip() for f in line.split("|")]
            rows.append((number, name, int(status), fragment, arguments))
    return rows


def run_row(row, work):
    number, name, status, fragment, arguments = row
    case_dir = os.path.join(work, "case%d" % number)
    os.mkdir(case_dir)
    image = os.path.join(case_dir, "image.rgb")
    # {full}: a device node like /dev/full where that may be made (as root),
    # else a link to it.
    full = os.path.join(case_dir, "full.rgb")
    try:
        os.mknod(full, stat.S_IFCHR | 0o666, os.makedev(1, 7))
    except PermissionError:
        os.symlink("/dev/full", full)
    full_is_device = stat.S_ISCHR(os.lstat(full).st_mode)
    places = {"image": image, "dir": case_dir, "full": full, "tmp": work,
              "longname": os.path.join(case_dir, "x" * 4000 + ".iv")}
    args = [a.format(**places) for a in shlex.split(arguments)]
    # Names that are not valid UTF-8 are written \xNN in the table.
    args = [a.encode("utf-8").decode("unicode_escape").encode("latin-1") if "\\x" in a
            else a.encode() for a in args]
    try:
        result = subprocess.run([PROGRAM.encode()] + args, cwd=INPUTS, capture_output=True,
                                timeout=TIME_LIMIT)
        returncode = result.returncode
        output = (result.stdout + result.stderr).decode("utf-8", "replace")
    except subprocess.TimeoutExpired as expired:
        returncode = None
        output = "timed out after %d s; output so far: %r" % (TIME_LIMIT, expired.stdout)
    image_size = os.path.getsize(image) if os.path.exists(image) else None
    # A failed write removes a partial image, but never a device.
    if "{full}" in arguments and full_is_device and not os.path.lexists(full):
        output += "\nthe device was removed"
    return returncode, output, image_size, "-os" in args and b"{image}" in arguments.encode()


class BadInputTest(unittest.TestCase):
    def test_every_row(self):
        work = tempfile.mkdtemp(prefix="tessvane-bad-input-")
        self.addCleanup(shutil.rmtree, work)
        for name, text in generated_inputs().items():
            with open(os.path.join(work, name), "w") as f:
                f.write(text)
        rows = read_table()
        self.assertGreaterEqual(len(rows), 50)
        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            results = list(pool.map(lambda row: run_row(row, work), rows))
        for row, (returncode, output, image_size, renders) in zip(rows, results):
            number, name, status, fragment, arguments = row
            with self.subTest(line=number, case=name):
                self.assertIsNotNone(returncode, output)
                self.assertGreaterEqual(returncode, 0, "ended on signal %d\n%s"
                                        % (-returncode, output))
                self.assertEqual(status, returncode, output)
                self.assertIn(fragment, output)
                self.assertNotIn("the device was removed", output)
                if renders and status == 0:
                    self.assertTrue(image_size, "no image written\n" + output)
                elif renders:
                    self.assertIsNone(image_size, "an image was left behind\n" + output)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
