#!/usr/bin/env python3
"""Mutation score of the test suite: see scripts/mutation.sh and docs/testing.md.

Lists small source mutations in the parsers, the composer and frames, the
settings file, the download engine, the update cycle and discovery; picks a
seeded sample; for each, mutates the file, rebuilds, runs the tests of its
area first and then the rest of the suite, and restores the file.
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_SEED = 26
DEFAULT_COUNT = 200
MIN_PER_AREA = 20

# Area -> (source files, CTest names that cover them, fastest first). The
# build targets of a CTest name are its executable, or the tool it runs.
AREAS = [
    ("parsers",
     ["src/feedcomp/rss_parser.cpp", "src/feedcomp/atom_reader.cpp", "src/feedcomp/feed_decoder.cpp",
      "src/feedcomp/http_header.cpp", "src/feedcomp/url.cpp", "src/feedcomp/strip_markup.cpp"],
     ["pellix_document_tests", "rss_parse_fuzz_replay", "feed_decoder_fuzz_replay", "http_header_fuzz_replay",
      "url_fuzz_replay", "rssdump_.*", "pellix_download_tests"]),
    ("composer",
     ["src/signfeed/composer.cpp", "src/signfeed/sign_protocol.cpp", "src/signfeed/message_text.cpp"],
     ["signfeed_tests", "signfeed_update_cycle_tests"]),
    ("settings",
     ["src/platform/profile_file.cpp", "src/platform/profile_text.cpp", "src/shared/settings.cpp",
      "src/signfeed/main_window_edits.cpp", "src/signfeed/main_window_load.cpp",
      "src/signfeed/main_window_model.cpp"],
     ["platform_tests", "profile_fuzz_replay", "signfeed_tests", "discovery_tests"]),
    ("download",
     ["src/feedcomp/download_connection.cpp", "src/feedcomp/download_deadlines.cpp",
      "src/feedcomp/download_engine.cpp", "src/feedcomp/response_reader.cpp",
      "src/feedcomp/redirect_follower.cpp", "src/feedcomp/conditional_cache.cpp"],
     ["pellix_download_tests", "download_fuzz_replay"]),
    ("update-cycle",
     ["src/signfeed/update_cycle.cpp"],
     ["signfeed_update_cycle_tests", "signfeed_tests"]),
    ("discovery",
     ["src/discovery/discovery_controls.cpp", "src/discovery/discovery_protocol.cpp",
      "src/discovery/discovery_scanner.cpp", "src/discovery/discovery_window_load.cpp",
      "src/discovery/discovery_window_model.cpp", "src/discovery/telnet_launcher.cpp"],
     ["discovery_tests", "discovery_reply_fuzz_replay"]),
]

# Tests that check packaging, docs or the install tree, not behaviour, and the
# web page in a browser (its code is the page's, not src/'s): they take
# minutes and kill nothing the behaviour tests leave alive.
NOT_RUN = ["install_tree", "pellix_examples", "pellix_api_reference", "man_pages_match_help",
           "programs_use_public_feed_api", "e2e_docs_recipes", "e2e_web_page"]


# The slowest tests, which wait out the programs' real pauses: in the last
# step each shard (a gtest shard) or test runs beside the others, each in a
# network namespace of its own, so their fixed ports do not collide.
SHARDS = {"e2e_orlavod_tests": 4}
ALONE = ["e2e_orlavod_service"]

# A file's own test executable, where it is not its area's first.
FIRST_TEST = {
    "src/feedcomp/http_header.cpp": "pellix_download_tests",
    "src/feedcomp/url.cpp": "pellix_download_tests",
    "src/shared/settings.cpp": "signfeed_tests",
    "src/signfeed/main_window_edits.cpp": "signfeed_tests",
    "src/signfeed/main_window_load.cpp": "signfeed_tests",
    "src/signfeed/main_window_model.cpp": "signfeed_tests",
}


def targets_of(test):
    return ["rssdump"] if test.startswith("rssdump_") else [test]


# ---------------------------------------------------------------- generator

COMPARISONS = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > ", " == ": " != ", " != ": " == "}
LOGIC = {" && ": " || ", " || ": " && "}
ARITH = {" + 1": " - 1", " - 1": " + 1"}
SKIP_LINE = re.compile(r"^\s*(#|//|\*|/\*|namespace\b|using\b|template\b|static_assert\b|\}|$)")
INTEGER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|\d[\d']*)([uUlLzZ]*)(?![\w.'])")
# A whole statement on one line that only acts: a call, an assignment or a
# jump. Declarations ("Type name = ...") do not match, as removing them does
# not compile.
STATEMENT = re.compile(r"^\s*(?:(?:[A-Za-z_][\w]*(?:(?:::|\.|->)[A-Za-z_~][\w]*|\[[^\]]*\]|\(\))*\s*"
                       r"(?:\(.*\)|[-+*/|&]?=[^=].*|\+\+|--))|(?:\+\+|--)[A-Za-z_][\w.>-]*|break|continue)\s*;\s*$")
CONDITION = re.compile(r"\b(if|while) \(")


def masked(line, in_block):
    """The line with string and char literals and comments blanked, same length."""
    out = []
    i, n = 0, len(line)
    while i < n:
        if in_block:
            end = line.find("*/", i)
            if end < 0:
                out.append(" " * (n - i))
                return "".join(out), True
            out.append(" " * (end + 2 - i))
            i, in_block = end + 2, False
            continue
        c = line[i]
        if line.startswith("//", i):
            out.append(" " * (n - i))
            break
        if line.startswith("/*", i):
            in_block = True
            continue
        if c in "\"'":
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + "\0" * max(0, j - i - 2) + (c if j - i >= 2 else ""))
            i = j
            continue
        out.append(c)
        i += 1
    return "".join(out), in_block


def closing_paren(code, start):
    """Index of the ")" that closes the "(" at start, or -1 if not on this line."""
    depth = 0
    for k in range(start, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def line_mutations(text, code, starts_statement):
    """(column, operator, old, new) for every mutation of one source line;
    starts_statement: the line before it ends a statement or opens a block."""
    found = []
    for table, op in ((COMPARISONS, "cmp"), (LOGIC, "logic"), (ARITH, "arith")):
        for old, new in table.items():
            for m in re.finditer(re.escape(old), code):
                if op == "cmp" and old.strip() in "<>" and ("<<" in code or ">>" in code or "template" in code):
                    continue
                found.append((m.start(), op, old, new))
    if not re.match(r"^\s*(case\b|enum\b|constexpr\s+std::array)", code):
        for m in INTEGER.finditer(code):
            digits = m.group(1).replace("'", "")
            value = int(digits, 16) if digits[:2].lower() == "0x" else int(digits)
            mutated = value + 1 if value != 1 else 0
            new = (hex(mutated) if digits[:2].lower() == "0x" else str(mutated)) + m.group(2)
            found.append((m.start(), "const", m.group(0), new))
    for m in CONDITION.finditer(code):
        open_at = m.end() - 1
        close = closing_paren(code, open_at)
        if close > 0:
            old = text[open_at:close + 1]
            found.append((open_at, "negate", old, "(!" + old + ")"))
    for old, new in (("return true;", "return false;"), ("return false;", "return true;")):
        at = code.find(old)
        if at >= 0:
            found.append((at, "return", old, new))
    if (starts_statement and STATEMENT.match(code) and code.count("(") == code.count(")")
            and not code.lstrip().startswith(("return", "else", "do "))):
        start = len(text) - len(text.lstrip())
        found.append((start, "delete", text.strip(), ";"))
    return found


class Mutant:
    """A mutant is named by its file, the text of its line (and which of the
    file's lines with that text it is), the column and the change, not by the
    line number: edits elsewhere in the file keep its name."""

    def __init__(self, path, line, text, repeat, col, op, old, new, area):
        self.path, self.line, self.col, self.op, self.old, self.new, self.area = path, line, col, op, old, new, area
        key = f"{path}|{text.strip()}|{repeat}|{col - (len(text) - len(text.lstrip()))}|{op}|{old}->{new}"
        self.id = hashlib.sha1(key.encode()).hexdigest()[:8]

    def describe(self):
        if self.op == "delete":
            return f"delete: {self.old}"
        return f"{self.op}: {self.old.strip()} -> {self.new.strip()}"

    def apply(self, text):
        lines = text.split("\n")
        target = lines[self.line - 1]
        if target[self.col:self.col + len(self.old)] != self.old:
            raise RuntimeError(f"{self.path}:{self.line} changed since the list was made")
        lines[self.line - 1] = target[:self.col] + self.new + target[self.col + len(self.old):]
        return "\n".join(lines)


def candidates():
    found = []
    for area, files, _ in AREAS:
        for rel in files:
            in_block = False
            previous = ";"
            seen = {}
            for number, text in enumerate((ROOT / rel).read_text().split("\n"), start=1):
                code, in_block_after = masked(text, in_block)
                repeat = seen[text.strip()] = seen.get(text.strip(), -1) + 1
                if not in_block and not SKIP_LINE.match(text):
                    for col, op, old, new in line_mutations(text, code, previous[-1:] in (";", "{", "}", ":")):
                        found.append(Mutant(rel, number, text, repeat, col, op, old, new, area))
                if code.strip() and not code.lstrip().startswith("#"):
                    previous = code.rstrip()
                in_block = in_block_after
    found.sort(key=lambda m: (m.path, m.line, m.col, m.op, m.new))
    return found


def sample(all_mutants, seed, count):
    """A seeded sample, each area given a share in proportion to its sites
    but at least MIN_PER_AREA, so no area goes unmeasured. Within an area the
    mutants whose seeded hash of the name ranks lowest are taken, so an edit
    to src/ changes the sample only where it adds or removes sites."""
    def rank(m):
        return hashlib.sha1(f"{seed}:{m.id}".encode()).hexdigest()

    by_area = {area: sorted((m for m in all_mutants if m.area == area), key=rank) for area, _, _ in AREAS}
    total = len(all_mutants)
    shares = {area: min(len(pool), max(MIN_PER_AREA, round(count * len(pool) / total)))
              for area, pool in by_area.items()}
    # Rounding and the floors can overshoot: take from the largest shares.
    while sum(shares.values()) > count:
        shares[max(shares, key=shares.get)] -= 1
    picked = [m for area, pool in by_area.items() for m in pool[:shares[area]]]
    picked.sort(key=lambda m: (m.path, m.line, m.col, m.op, m.new))
    return picked


class Stop(Exception):
    pass


def on_signal(signum, _frame):
    raise Stop(f"signal {signum}")


RUNNING = set()  # process groups of the commands in flight, to end them on a stop
STOPPING = threading.Event()


def run(cmd, timeout=None, log=None, **kw):
    """Runs cmd in its own process group; returns (exit code, seconds). On
    timeout the whole group is killed and the code is None."""
    start = time.monotonic()
    if STOPPING.is_set():
        raise Stop("stopping")
    with open(log or os.devnull, "w") as out:
        proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True, **kw)
        RUNNING.add(proc.pid)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            code = None
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        finally:
            RUNNING.discard(proc.pid)
    if STOPPING.is_set():
        raise Stop("stopping")
    return code, time.monotonic() - start


def run_together(commands, timeout, logs, envs):
    """Runs the commands side by side; returns the index of the first that
    fails (the rest are ended), "hang" when the timeout passes, else None."""
    if STOPPING.is_set():
        raise Stop("stopping")
    procs = []
    deadline = time.monotonic() + timeout if timeout else None
    try:
        for cmd, log, env in zip(commands, logs, envs):
            with open(log, "w") as out:
                proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True,
                                        env=env)
            RUNNING.add(proc.pid)
            procs.append(proc)
        while True:
            codes = [p.poll() for p in procs]
            failed = next((i for i, c in enumerate(codes) if c not in (None, 0)), None)
            if failed is not None or all(c == 0 for c in codes):
                return failed
            if deadline and time.monotonic() > deadline:
                return "hang"
            if STOPPING.is_set():
                raise Stop("stopping")
            time.sleep(0.2)
    finally:
        for p in procs:
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            RUNNING.discard(p.pid)


def write_atomically(path, text):
    """A stop between truncating and writing would leave an empty file."""
    temp = path.with_name(path.name + ".mutation-tmp")
    temp.write_text(text)
    os.replace(temp, path)


def failed_tests(log):
    return re.findall(r"^\s*\d+ - (\S+) \(", Path(log).read_text(errors="replace"), re.M)


def sandbox_prefix():
    """Runs the tests in a network namespace of their own with only loopback,
    and with the serial devices hidden, so a mutant can neither send beyond
    this machine nor open a real serial port. Each run has its own, so two
    workers' tests never share a port."""
    hide = " ".join(f"mount --bind /dev/null {p};" for p in sorted(
        str(p) for pattern in ("ttyS*", "ttyUSB*", "ttyACM*") for p in Path("/dev").glob(pattern)))
    inner = f"ip link set lo up && {hide} exec \"$@\""
    flags = "-nm" if os.geteuid() == 0 else "-rnm"
    return ["unshare", flags, "--", "sh", "-c", inner, "sandbox"]


def regex(names):
    return "^(" + "|".join(names) + ")$"


class Worker:
    """A copy of the source tree with its own build folder, so mutants build
    and test side by side and the checkout is never touched. The build folder
    sits in the copy as build-mutation does in the checkout, so the compiler
    cache serves both."""

    def __init__(self, top, number, jobs):
        self.tree = top / f"worker-{number}"
        self.build = self.tree / "build-mutation"
        self.logs = top / "mutation-logs"
        self.jobs = jobs
        self.env = dict(os.environ, CCACHE_BASEDIR=str(self.tree))
        self.ninja = ["nice", "cmake", "--build", str(self.build), "-j", str(jobs), "--"]

    def prepare(self, files):
        """files: path -> bytes, the whole tree to build."""
        for path in self.tree.rglob("*"):
            rel = path.relative_to(self.tree)
            if rel.parts[0] != self.build.name and path.is_file() and str(rel) not in files:
                path.unlink()
        for rel, data in files.items():
            target = self.tree / rel
            if not target.exists() or target.read_bytes() != data:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(data)
                executable = (ROOT / rel).stat().st_mode & 0o111 if (ROOT / rel).exists() else data[:2] == b"#!"
                target.chmod(0o755 if executable else 0o644)
        configure = ["cmake", "-S", str(self.tree), "-B", str(self.build), "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", "-DORLAVO_SANITIZE=OFF", "-DORLAVO_WERROR=OFF",
                     "-DORLAVO_BUILD_GUI=OFF", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
        name = self.tree.name
        return (run(configure, log=self.logs / f"{name}-configure.log", env=self.env)[0] == 0
                and run(self.ninja, log=self.logs / f"{name}-build.log", env=self.env)[0] == 0)

    def ctest_command(self, select, jobs):
        # A unit test that runs a minute hangs; the tests with a TIMEOUT of their
        # own keep it, and the limit on the whole step stops any other hang.
        return sandbox_prefix() + ["ctest", "--test-dir", str(self.build), "--stop-on-failure",
                                   "--output-on-failure", "-j", str(jobs), "--timeout", "60"] + select

    def step_groups(self, tests, exclude, jobs):
        """The CTest runs of one step, as (select, jobs, extra environment)."""
        if tests is not None:
            return [(["-R", regex(tests)], jobs, {})]
        groups = [(["-R", regex([name])], 1, {"GTEST_TOTAL_SHARDS": str(n), "GTEST_SHARD_INDEX": str(i)})
                  for name, n in SHARDS.items() for i in range(n)]
        groups += [(["-R", regex([name])], 1, {}) for name in ALONE]
        groups.append((["-E", regex(exclude + list(SHARDS) + ALONE)], jobs, {}))
        return groups

    def run_step(self, groups, limit, log):
        """None when every test passes, else "killed". A failure counts only
        when the failing tests fail again, so a test that fails now and then
        under load kills nothing."""
        for attempt in range(2):
            logs = [log.with_suffix(f".{attempt}{n}.log") for n in range(len(groups))]
            envs = [dict(self.env, **extra) for _, _, extra in groups]
            failed = run_together([self.ctest_command(select, jobs) for select, jobs, _ in groups], limit,
                                  logs, envs)
            if failed is None:
                return None
            if failed == "hang":
                return "killed"
            names = failed_tests(logs[failed])
            select, jobs, extra = groups[failed]
            again = [(["-R", regex(names)] if names else select, jobs, extra)]
            recheck = log.with_suffix(f".{attempt}-again.log")
            if run_together([self.ctest_command(again[0][0], jobs)], limit, [recheck],
                            [dict(self.env, **extra)]) is not None:
                return "killed"
        return "killed"

    def try_mutant(self, m, limit):
        path = self.tree / m.path
        original = path.read_text()
        try:
            write_atomically(path, m.apply(original))
            log = self.logs / f"{m.id}.log"
            area_tests = next(tests for area, _, tests in AREAS if area == m.area)
            first = FIRST_TEST.get(m.path, area_tests[0])
            area_tests = [first] + [t for t in area_tests if t != first]
            # The file's first test alone, then the rest of its area's tests,
            # then the rest of the suite: most mutants die in the first, and
            # each step builds only what it runs.
            steps = [(area_tests[:1], 1), (area_tests[1:], self.jobs), (None, max(4, self.jobs))]
            for number, (tests, test_jobs) in enumerate(steps):
                if tests == []:
                    continue
                targets = [] if tests is None else sorted({t for test in tests for t in targets_of(test)})
                if run(self.ninja + targets, log=log.with_suffix(f".build{number}.log"), env=self.env)[0] != 0:
                    return "no-compile"
                groups = self.step_groups(tests, area_tests + NOT_RUN, test_jobs)
                if self.run_step(groups, limit, log.with_suffix(f".test{number}")):
                    return "killed"
            return "survived"
        finally:
            write_atomically(path, original)


def main():
    parser = argparse.ArgumentParser(description="Mutation score of the test suite.")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--count", type=int, default=DEFAULT_COUNT)
    parser.add_argument("--list", action="store_true", help="print the mutants, run nothing")
    parser.add_argument("--only", help="run only the mutants with these ids (comma-separated)")
    parser.add_argument("--build-dir", default="build-mutation")
    parser.add_argument("--results", help="result file (default: <build-dir>/mutation-results.tsv)")
    parser.add_argument("--tests-from", metavar="REF",
                        help="take tests/ and fuzz/ from this commit (src/ stays the checkout's)")
    parser.add_argument("--workers", type=int, default=2,
                        help="mutants built and tested side by side, each in its own copy of the tree")
    parser.add_argument("--jobs", type=int, default=2, help="build and test jobs of each worker")
    parser.add_argument("--compare", nargs=2, metavar=("OLD", "NEW"),
                        help="compare two result files: scores, and mutants killed in OLD that survive in NEW")
    args = parser.parse_args()

    if args.compare:
        return compare(*args.compare)

    mutants = sample(candidates(), args.seed, args.count)
    if args.only:
        wanted = set(args.only.split(","))
        mutants = [m for m in mutants if m.id in wanted]
    if args.list:
        for m in mutants:
            print(f"{m.id}\t{m.area}\t{m.path}:{m.line}\t{m.describe()}")
        print(f"{len(mutants)} mutants of {len(candidates())} sites (seed {args.seed})")
        return 0

    top = (ROOT / args.build_dir).resolve()
    results = Path(args.results) if args.results else top / "mutation-results.tsv"
    os.chdir(ROOT)
    dirty = subprocess.run(["git", "status", "--porcelain", "--", "src"], capture_output=True, text=True,
                           check=True).stdout
    if dirty:
        print("mutation.sh: src/ has uncommitted changes; commit or stash them first:\n" + dirty, file=sys.stderr)
        return 2
    if run(sandbox_prefix() + ["true"])[0] != 0:
        print("mutation.sh: cannot make a network namespace (unshare -n); the tests of mutants run only "
              "inside one", file=sys.stderr)
        return 2

    for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, on_signal)
    top.mkdir(exist_ok=True)
    logs = top / "mutation-logs"
    shutil.rmtree(logs, ignore_errors=True)
    logs.mkdir()
    files = tree_files(args.tests_from)
    if files is None:
        return 2
    workers = [Worker(top, n, args.jobs) for n in range(1, max(1, args.workers) + 1)]
    started = time.monotonic()
    try:
        print(f"copying the tree and building it (Release, no sanitizers) for {len(workers)} workers, "
              "then running the unmutated suite ...", flush=True)
        for w in workers:
            if not w.prepare(files):
                print(f"mutation.sh: the unmutated build fails, see {logs}", file=sys.stderr)
                return 2
        t0 = time.monotonic()
        w = workers[0]
        groups = w.step_groups(None, NOT_RUN, 4)
        failed = run_together([w.ctest_command(select, jobs) for select, jobs, _ in groups], None,
                              [logs / f"baseline-{n}.log" for n in range(len(groups))],
                              [dict(w.env, **extra) for _, _, extra in groups])
        suite_seconds = time.monotonic() - t0
        if failed is not None:
            print(f"mutation.sh: the unmutated suite fails, see {logs}/baseline-{failed}.log", file=sys.stderr)
            return 2
        # A mutant whose tests run three times as long as the whole suite hangs.
        limit = int(3 * suite_seconds) + 60
        print(f"unmutated suite: {suite_seconds:.0f} s; a mutant's tests stop after {limit} s", flush=True)
        counts, survivors = run_all(mutants, workers, limit, results)
    except Stop as stop:
        STOPPING.set()
        for pid in list(RUNNING):
            try:
                os.killpg(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        print(f"mutation.sh: stopped ({stop}); the results so far are in {results}", file=sys.stderr)
        return 130
    report(counts, survivors, time.monotonic() - started, results)
    return 0


def tree_files(tests_from):
    """The checkout's files, or with tests_from its files but tests/ and
    fuzz/, which come from that commit."""
    git = ["git", "-C", str(ROOT)]
    names = subprocess.run(git + ["ls-files", "-co", "--exclude-standard"], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    files = {n: (ROOT / n).read_bytes() for n in names if (ROOT / n).is_file()}
    if not tests_from:
        return files
    listing = subprocess.run(git + ["ls-tree", "-r", "--name-only", tests_from, "--", "tests", "fuzz"],
                             capture_output=True, text=True)
    if listing.returncode != 0:
        print(f"mutation.sh: --tests-from {tests_from}: {listing.stderr.strip()}", file=sys.stderr)
        return None
    files = {n: data for n, data in files.items() if n.split("/")[0] not in ("tests", "fuzz")}
    for n in listing.stdout.splitlines():
        files[n] = subprocess.run(git + ["show", f"{tests_from}:{n}"], capture_output=True, check=True).stdout
    return files


def run_all(mutants, workers, limit, results):
    counts = {"killed": 0, "survived": 0, "no-compile": 0}
    survivors = []
    queue = list(reversed(mutants))
    lock = threading.Lock()
    done = [0]

    def work(worker, out):
        while not STOPPING.is_set():
            with lock:
                if not queue:
                    return
                m = queue.pop()
            t0 = time.monotonic()
            try:
                verdict = worker.try_mutant(m, limit)
            except Stop:
                return
            seconds = time.monotonic() - t0
            with lock:
                done[0] += 1
                counts[verdict] += 1
                if verdict == "survived":
                    survivors.append(m)
                out.write(f"{m.id}\t{verdict}\t{m.area}\t{m.path}\t{m.line}\t{m.describe()}\t{seconds:.0f}\n")
                out.flush()
                print(f"{verdict:10} {m.id} {m.path}:{m.line} {m.describe()}  [{done[0]}/{len(mutants)}, "
                      f"{seconds:.0f} s]", flush=True)

    with open(results, "w") as out:
        out.write("id\tverdict\tarea\tfile\tline\tmutation\tseconds\n")
        threads = [threading.Thread(target=work, args=(w, out)) for w in workers]
        for t in threads:
            t.start()
        try:
            # Signals reach only this thread: wait in steps so they are seen.
            while any(t.is_alive() for t in threads):
                for t in threads:
                    t.join(timeout=0.5)
        finally:
            STOPPING.set() if any(t.is_alive() for t in threads) else None
            for pid in list(RUNNING):
                try:
                    os.killpg(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            for t in threads:
                t.join()
    survivors.sort(key=lambda m: (m.path, m.line, m.col))
    return counts, survivors


def report(counts, survivors, seconds, results):
    judged = counts["killed"] + counts["survived"]
    share = 100.0 * counts["killed"] / judged if judged else 0.0
    print(f"\nmutation score: {counts['killed']} killed of {judged} ({share:.1f}%); "
          f"{counts['no-compile']} did not compile; {seconds / 60:.1f} min")
    if survivors:
        print("survivors:")
        for m in survivors:
            print(f"  {m.path}:{m.line}  {m.describe()}  [{m.id}]")
    print(f"results: {results}")


def read_results(path):
    rows = {}
    with open(path) as f:
        next(f)
        for line in f:
            cols = line.rstrip("\n").split("\t")
            rows[cols[0]] = cols
    return rows


def compare(old_path, new_path):
    old, new = read_results(old_path), read_results(new_path)
    for name, rows in (("old", old), ("new", new)):
        killed = sum(1 for r in rows.values() if r[1] == "killed")
        judged = sum(1 for r in rows.values() if r[1] in ("killed", "survived"))
        print(f"{name}: {killed} killed of {judged} ({100.0 * killed / max(judged, 1):.1f}%)")
    lost = [new[i] for i in sorted(old) if old[i][1] == "killed" and i in new and new[i][1] == "survived"]
    gained = [new[i] for i in sorted(old) if old[i][1] == "survived" and i in new and new[i][1] == "killed"]
    missing = len(set(old) ^ set(new))
    print(f"killed before, surviving now: {len(lost)}")
    for r in lost:
        print(f"  {r[3]}:{r[4]}  {r[5]}  [{r[0]}]")
    print(f"surviving before, killed now: {len(gained)}")
    if missing:
        both = [i for i in old if i in new and old[i][1] != "no-compile" and new[i][1] != "no-compile"]
        print(f"{missing} mutants are in only one of the files (src/ differs, or another seed or count); "
              f"on the {len(both)} in both: old {sum(old[i][1] == 'killed' for i in both)} killed, "
              f"new {sum(new[i][1] == 'killed' for i in both)} killed")
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main())
