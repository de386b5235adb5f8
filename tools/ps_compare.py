#!/usr/bin/python3
"""Compares result tables of ps_tzvcrypto runs (the csv files of -r / -R).

Rows are lined up by function and parameters; for each row the clocks of every run and the ratio to
the first run are printed, and per suite the geometric mean of the ratios. --threshold P marks rows
slower than the first run by more than P percent (exit status 1); --plot draws the ratios per suite.
Exit status: 0 compared, 1 rows marked slower, 2 bad input.

  tools/ps_compare.py [--threshold P] [--plot FILE.png|FILE.svg] FIRST.csv OTHER.csv [...]
"""
import argparse
import math
import re
import sys
from collections import OrderedDict

TITLE_LABELS = ("CPU", "OS", "Computer", "Library", "Start")
RESULT_COLUMNS = ("Comment", "Clocks", "per", "Time (usec)")
FIGURE_COLUMNS = ("Clocks", "Time (usec)")
SUMMARY_HEADER = "Function,Class,Control87"
NUMBER = re.compile(r"^(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$")
UNSET = "-"


class InputError(Exception):
    """A file that cannot be compared; the text names the file and, where there is one, the line."""


class Row:
    def __init__(self, function, cells, comment, clocks, line):
        self.function = function
        self.cells = tuple(cells)                   # every parameter cell, for lining rows up
        self.parms = [c for c in cells if c != UNSET]  # the cells that are set, for the label
        self.comment = comment
        self.clocks = clocks    # clocks per operation (per lane or per byte), None when not printed
        self.line = line

    def suite(self):
        """The algorithm family: tzv_sm4_encrypt_cbc_mb16 belongs to sm4, tzv_nistp256_ecdh_mb8 to nistp256."""
        parts = self.function.split("_")
        return parts[1] if parts[0] == "tzv" and len(parts) > 1 else parts[0]

    def label(self):
        return " ".join([self.function] + self.parms)


class Table:
    """One result file: its title pairs, its header and its rows keyed by function and parameters."""

    def __init__(self, path):
        self.path = path
        self.title = OrderedDict()
        self.header = None
        self.header_line = 0
        self.rows = OrderedDict()

    def describe(self):
        keys = ("CPU", "Library", "Start")
        return " / ".join("; ".join(self.title[k]) for k in keys if k in self.title)


def row_key(row, seen):
    """Function, parameter cells and a running number among equal rows (duplicate lines stay apart)."""
    base = (row.function, row.cells, row.comment == "deprecated")
    seen[base] = seen.get(base, 0) + 1
    return base + (seen[base],)


def parse_table(path, text):
    table = Table(path)
    seen = {}
    after_end = False
    for number, line in enumerate(text.splitlines(), 1):
        where = "%s:%d" % (path, number)
        cells = line.split(",")
        if not line.strip() or after_end:
            continue
        if line == "END_DATA":
            after_end = True
        elif cells[0] in TITLE_LABELS and len(cells) >= 2:
            # -R appends a whole run: a new title block, the same header again, more rows.
            values = table.title.setdefault(cells[0], [])
            value = ",".join(cells[1:]).strip(" ,")
            if value not in values:
                values.append(value)
        elif line.startswith(SUMMARY_HEADER):
            raise InputError("%s: a summary table (-u), not a result table (-r)" % where)
        elif table.header is None or (cells[0] == table.header[0] and "Clocks" in cells):
            if not all(c in cells for c in RESULT_COLUMNS):
                raise InputError("%s: not a result table of ps_tzvcrypto (no header line with %s)"
                                 % (where, ", ".join(RESULT_COLUMNS)))
            if table.header is not None and cells != table.header:
                raise InputError("%s: a second header line with other columns than line %d"
                                 % (where, table.header_line))
            table.header, table.header_line = cells, number
        else:
            table_row = parse_row(table.header, cells, where)
            table_row.line = number
            table.rows[row_key(table_row, seen)] = table_row
    if table.header is None:
        raise InputError("%s: not a result table of ps_tzvcrypto (no header line)" % path)
    return table


def parse_row(header, cells, where):
    if len(cells) != len(header):
        raise InputError("%s: %d cells where the header has %d (%s)"
                         % (where, len(cells), len(header), "missing cells" if len(cells) < len(header)
                            else "surplus cells"))
    column = dict(zip(header, cells))
    for name in FIGURE_COLUMNS:
        value = column.get(name, UNSET).strip()
        if value != UNSET and (not NUMBER.match(value) or float(value) <= 0):
            raise InputError("%s: %s '%s' is not a positive number" % (where, name, value))
    if not cells[0]:
        raise InputError("%s: no function name in the first cell" % where)
    first_result = header.index("Comment")
    parms = [c.strip() or UNSET for c in cells[1:first_result]]
    clocks = column["Clocks"].strip()
    return Row(cells[0], parms, column["Comment"], None if clocks == UNSET else float(clocks), 0)


def read_table(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise InputError("%s: cannot read: %s" % (path, e.strerror or e))
    if b"\0" in data:
        raise InputError("%s:1: not a result table of ps_tzvcrypto (binary data)" % path)
    return parse_table(path, data.decode("utf-8", errors="replace"))


def check_same_program(tables):
    first = tables[0]
    for t in tables[1:]:
        if t.header != first.header:
            raise InputError("%s:%d: other columns than %s:%d, tables of different programs (%s)"
                             % (t.path, t.header_line, first.path, first.header_line, ",".join(t.header)))


class Comparison:
    """The rows of all runs lined up: per key the row of each run (None where a run lacks it)."""

    def __init__(self, tables, threshold=None):
        self.tables = tables
        self.threshold = threshold
        self.keys = OrderedDict()
        for t in tables:
            for key in t.rows:
                self.keys.setdefault(key, None)

    def rows(self, key):
        return [t.rows.get(key) for t in self.tables]

    def ratios(self, key):
        """Ratio of each later run's clocks to the first run's; None where either figure is missing."""
        rows = self.rows(key)
        base = rows[0].clocks if rows[0] else None
        return [r.clocks / base if base and r and r.clocks else None for r in rows[1:]]

    def slower(self, key):
        """The later runs (numbered from 2) in which the row is slower than the threshold allows."""
        if self.threshold is None:
            return []
        limit = 1 + self.threshold / 100.0
        return [i + 2 for i, q in enumerate(self.ratios(key)) if q is not None and q > limit]

    def suites(self):
        groups = OrderedDict()
        for key in self.keys:
            row = next(r for r in self.rows(key) if r)
            groups.setdefault(row.suite(), []).append(key)
        return groups

    def geomean(self, keys, run):
        """Geometric mean of the ratios of run (numbered from 2) over the keys, and how many rows had one."""
        logs = [math.log(q) for q in (self.ratios(k)[run - 2] for k in keys) if q is not None]
        return (math.exp(sum(logs) / len(logs)) if logs else None), len(logs)

    def label(self, key):
        """Function and parameters; a repeated row (a file with appended runs) also its number."""
        text = next(r for r in self.rows(key) if r).label()
        return text + (" #%d" % key[-1] if key[-1] > 1 else "")


def figure(value):
    if value is None:
        return UNSET
    if value >= 1e11:
        return "%.3e" % value
    return "%.0f" % value if value >= 1000 else "%.4g" % value


def print_report(cmp, out):
    runs = range(2, len(cmp.tables) + 1)
    for i, t in enumerate(cmp.tables, 1):
        out.write("run %d: %s  (%s)\n" % (i, t.path, t.describe()))
    width = max([len(cmp.label(k)) for k in cmp.keys] + [len("function and parameters")])
    head = "%-*s" % (width, "function and parameters")
    head += "".join("%12s" % ("run %d" % i) for i in range(1, len(cmp.tables) + 1))
    head += "".join("%9s" % ("%d/1" % i) for i in runs)
    out.write("\n%s\n" % head)
    for suite, keys in cmp.suites().items():
        for key in keys:
            line = "%-*s" % (width, cmp.label(key))
            line += "".join("%12s" % figure(r.clocks if r else None) for r in cmp.rows(key))
            line += "".join("%9s" % ("%.3f" % q if q is not None else UNSET) for q in cmp.ratios(key))
            slower = cmp.slower(key)
            if slower:
                line += "  SLOWER in run %s" % ", ".join(map(str, slower))
            out.write(line + "\n")
        means = []
        for run in runs:
            mean, count = cmp.geomean(keys, run)
            means.append("%d/1 = %s over %d rows" % (run, "%.3f" % mean if mean else UNSET, count))
        out.write("  %s: geometric mean %s\n" % (suite, "; ".join(means)))

    partial = [k for k in cmp.keys if None in cmp.rows(k)]
    if partial:
        out.write("\nRows not in every run:\n")
        for key in partial:
            present = [str(i) for i, r in enumerate(cmp.rows(key), 1) if r]
            out.write("  %s: only in run %s\n" % (cmp.label(key), ", ".join(present)))
    marked = [k for k in cmp.keys if cmp.slower(k)]
    if cmp.threshold is not None:
        out.write("\n%d rows slower than run 1 by more than %g%%\n" % (len(marked), cmp.threshold))
        for key in marked:
            for run in cmp.slower(key):
                q = cmp.ratios(key)[run - 2]
                out.write("  SLOWER %s: %.1f%% in run %d (%s line %d)\n"
                          % (cmp.label(key), (q - 1) * 100, run, cmp.tables[run - 1].path,
                             cmp.rows(key)[run - 1].line))
    return 1 if marked else 0


def plot_bars(cmp, keys):
    """The bars of one suite panel: one per row with a ratio, or one per function (the geometric mean
    over its parameter rows) when the suite has too many rows to read."""
    runs = range(2, len(cmp.tables) + 1)
    keys = [k for k in keys if any(q is not None for q in cmp.ratios(k))]
    if len(keys) <= 24:
        return [(cmp.label(k), [cmp.ratios(k)[run - 2] for run in runs]) for k in keys]
    functions = OrderedDict()
    for k in keys:
        functions.setdefault(cmp.rows(k)[0].function, []).append(k)
    return [("%s (geometric mean of %d rows)" % (name, len(group)), [cmp.geomean(group, run)[0] for run in runs])
            for name, group in functions.items()]


def write_plot(cmp, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        raise InputError("%s: plotting needs matplotlib (Debian package python3-matplotlib)" % path)
    matplotlib.rcParams["svg.fonttype"] = "none"  # text stays text in an svg
    runs = range(2, len(cmp.tables) + 1)
    panels = [(suite, plot_bars(cmp, keys), keys) for suite, keys in cmp.suites().items()]
    panels = [p for p in panels if p[1]]
    if not panels:
        raise InputError("%s: nothing to draw, no row has a figure in run 1 and another run" % path)
    later = len(runs)
    heights = [len(bars) * (0.8 + 0.25 * later) + 1.2 for _, bars, _ in panels]
    fig, axes = plt.subplots(len(panels), 1, figsize=(10, 0.3 * sum(heights) + 1.5), sharex=True,
                             gridspec_kw={"height_ratios": heights}, squeeze=False)
    colours = ["tab:blue", "tab:orange", "tab:green", "tab:purple", "tab:brown"]
    top = max([1.2] + [q * 1.12 for _, bars, _ in panels for _, qs in bars for q in qs if q])
    step = 0.8 / later
    for ax, (suite, bars, keys) in zip(axes[:, 0], panels):
        for run in range(later):
            ys = [i + (run - (later - 1) / 2) * step for i in range(len(bars))]
            values = [qs[run] or 0 for _, qs in bars]
            ax.barh(ys, values, height=step * 0.9, color=colours[run % len(colours)],
                    label="run %d: %s" % (run + 2, cmp.tables[run + 1].path))
            for y, v in zip(ys, values):
                ax.text(v, y, " %.2f" % v if v else " -", va="center", fontsize=7)
        ax.set_yticks(range(len(bars)))
        ax.set_yticklabels([name for name, _ in bars], fontsize=8)
        ax.set_ylim(len(bars) - 0.5, -0.5)
        ax.axvline(1.0, color="black", linewidth=0.8)
        if cmp.threshold is not None:
            ax.axvline(1 + cmp.threshold / 100.0, color="red", linestyle="--", linewidth=0.8)
        means = ", ".join("%.3f" % m if m else UNSET for m in (cmp.geomean(keys, run)[0] for run in runs))
        ax.set_title("%s: geometric mean of the ratios %s" % (suite, means), fontsize=10, loc="left")
    axes[-1, 0].set_xlim(0, top)
    axes[-1, 0].set_xlabel("clocks per operation, ratio to run 1 (below 1 is faster)")
    handles, names = axes[0, 0].get_legend_handles_labels()
    fig.legend(handles, names, loc="upper center", fontsize=8, title_fontsize=9, frameon=False,
               title="clocks of run k / clocks of run 1 (%s)" % cmp.tables[0].path)
    fig.tight_layout(rect=(0, 0, 1, 1 - (0.35 + 0.17 * later) / fig.get_figheight()))
    try:
        fig.savefig(path)
    except (OSError, ValueError) as e:
        raise InputError("%s: cannot write the plot: %s" % (path, e))
    finally:
        plt.close(fig)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("files", nargs="+", metavar="RESULT.csv", help="result tables; the first is the reference")
    parser.add_argument("--threshold", type=float, metavar="P",
                        help="mark rows slower than run 1 by more than P percent; exit status 1 if any")
    parser.add_argument("--plot", metavar="FILE", help="draw the ratios per suite into FILE (.png or .svg)")
    args = parser.parse_args(argv)
    if len(args.files) < 2:
        parser.error("give at least two result tables")
    if args.threshold is not None and not (args.threshold >= 0 and math.isfinite(args.threshold)):
        parser.error("--threshold: P must be a percentage of 0 or more")
    if args.plot and not args.plot.lower().endswith((".png", ".svg")):
        parser.error("--plot: the file name must end in .png or .svg")
    try:
        tables = [read_table(p) for p in args.files]
        check_same_program(tables)
        cmp = Comparison(tables, args.threshold)
        status = print_report(cmp, sys.stdout)
        if args.plot:
            write_plot(cmp, args.plot)
    except InputError as e:
        sys.stderr.write("ps_compare: %s\n" % e)
        return 2
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
