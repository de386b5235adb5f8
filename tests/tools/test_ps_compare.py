"""The run-comparison tool on result tables written by the program itself, and on bad input.

Usage: python3 test_ps_compare.py PROGRAM TOOL
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

PROGRAM, TOOL = sys.argv[1], sys.argv[2]


def write(path, lines):
    Path(path).write_text("\n".join(lines) + "\n")
    return path


class CompareTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        # One short real run: SM3 digests of two lengths, with its result and summary tables.
        subprocess.run([PROGRAM, "-B", "-fsm3_msg", "-dlength=64;1024", "-r" + cls.path("run.csv"),
                        "-u" + cls.path("run_sum.csv")], cwd=cls.dir, stdout=subprocess.DEVNULL, check=True)
        cls.run_lines = Path(cls.path("run.csv")).read_text().splitlines()
        cls.header = cls.run_lines.index(next(l for l in cls.run_lines if l.startswith("function,"))) + 1
        assert len(cls.run_lines) == cls.header + 2, cls.run_lines

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir, name)

    def compare(self, *args):
        r = subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True)
        return r.returncode, r.stdout, r.stderr

    def doctored(self, name, length, factor):
        """A copy of the run whose row of the given length has its clocks multiplied by factor."""
        out = [line.split(",") for line in self.run_lines]
        for cells in out:
            if cells[0] == "tzv_sm3_msg_digest_mb16" and cells[1] == str(length):
                cells[10] = "%g" % (float(cells[10]) * factor)
        return write(self.path(name), [",".join(cells) for cells in out])

    def test_identical_runs_give_ratios_of_one(self):
        copy = write(self.path("copy.csv"), self.run_lines)
        status, out, err = self.compare("--threshold", "0", self.path("run.csv"), copy)
        self.assertEqual((status, err), (0, ""))
        rows = [l for l in out.splitlines() if l.startswith("tzv_sm3_msg_digest_mb16 ")]
        self.assertEqual([r.split()[1] for r in rows], ["64", "1024"])
        self.assertTrue(all(r.split()[-1] == "1.000" for r in rows), out)
        self.assertIn("sm3: geometric mean 2/1 = 1.000 over 2 rows", out)
        self.assertIn("0 rows slower than run 1 by more than 0%", out)

    def test_slower_row_against_threshold(self):
        # (factor on the 1024-byte row, threshold, exit status, marked): 1.5 times is 50% slower.
        for factor, threshold, status, marked in [(1.5, "10", 1, True), (1.5, "49", 1, True),
                                                  (1.5, "51", 0, False), (0.5, "0", 0, False)]:
            with self.subTest(factor=factor, threshold=threshold):
                slow = self.doctored("slow.csv", 1024, factor)
                got, out, _ = self.compare("--threshold", threshold, self.path("run.csv"), slow)
                self.assertEqual(got, status, out)
                line = "SLOWER tzv_sm3_msg_digest_mb16 1024: 50.0%% in run 2 (%s line %d)" % (slow, self.header + 2)
                self.assertEqual(line in out, marked, out)
                self.assertNotIn("SLOWER tzv_sm3_msg_digest_mb16 64", out)

    def test_geometric_mean_and_plot(self):
        # Ratios 1 and 2.25 have the geometric mean 1.5; the svg keeps its texts as text.
        slow = self.doctored("slow.csv", 1024, 2.25)
        plot = self.path("plot.svg")
        status, out, _ = self.compare("--plot", plot, self.path("run.csv"), slow)
        self.assertEqual(status, 0)
        self.assertIn("sm3: geometric mean 2/1 = 1.500 over 2 rows", out)
        svg = Path(plot).read_text()
        for text in ("sm3: geometric mean of the ratios 1.500", "tzv_sm3_msg_digest_mb16 1024", "2.25"):
            self.assertIn(text, svg)

    def test_rows_of_one_run_are_listed(self):
        # The second run lacks the 64-byte row and has an extra length.
        lines = list(self.run_lines)
        lines[self.header] = lines[self.header].replace("tzv_sm3_msg_digest_mb16,64,", "tzv_sm3_msg_digest_mb16,96,")
        other = write(self.path("other.csv"), lines)
        status, out, _ = self.compare(self.path("run.csv"), other)
        self.assertEqual(status, 0)
        self.assertIn("tzv_sm3_msg_digest_mb16 64: only in run 1\n", out)
        self.assertIn("tzv_sm3_msg_digest_mb16 96: only in run 2\n", out)
        self.assertIn("sm3: geometric mean 2/1 = 1.000 over 1 rows", out)

    def test_bad_input_names_file_and_line(self):
        h, row = self.header, self.run_lines[self.header]
        cells = row.split(",")

        def with_row(new_row, at=h):
            lines = list(self.run_lines)
            lines[at] = new_row
            return lines

        cases = [
            ("text.csv", ["some notes", "not a table"], ":1: not a result table"),
            ("empty.csv", [], ": not a result table of ps_tzvcrypto (no header line)"),
            ("short.csv", with_row(",".join(cells[:-1])), ":%d: 13 cells where the header has 14 (missing cells)" % (h + 1)),
            ("word.csv", with_row(",".join(cells[:10] + ["fast"] + cells[11:])),
             ":%d: Clocks 'fast' is not a positive number" % (h + 1)),
            ("time.csv", with_row(",".join(cells[:12] + ["1e+x"] + cells[13:])),
             ":%d: Time (usec) '1e+x' is not a positive number" % (h + 1)),
            ("other.csv", self.run_lines[:h - 1] + ["funcBase,funcDescriptor,Len/Size,Comment,Clocks,per,Time (usec)",
                                                     "tzv_sm3_msg_digest_mb16,-,64,nLps=1,30.1,e,12.6"],
             ":%d: other columns than %s:%d, tables of different programs" % (h, self.path("run.csv"), h)),
        ]
        summary = ("run_sum.csv", None, ":6: a summary table (-u), not a result table (-r)")
        missing = ("none.csv", None, ": cannot read:")
        for name, lines, message in cases + [summary, missing]:
            with self.subTest(name=name):
                path = write(self.path(name), lines) if lines is not None else self.path(name)
                plot = self.path("bad.png")
                status, out, err = self.compare("--plot", plot, self.path("run.csv"), path)
                self.assertEqual((status, out), (2, ""))
                self.assertEqual(len(err.splitlines()), 1, err)
                self.assertTrue(err.startswith("ps_compare: " + path), err)
                self.assertIn(message, err)
                self.assertFalse(os.path.exists(plot))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
