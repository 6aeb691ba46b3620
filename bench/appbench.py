"""What the application benchmarks (bench/app-*) share: a private X server with openbox, a
fixture home whose index the application built itself from a bench/make-tree tree, and the
real `ulmaro` started on it with the probe file of its test mode (docs/architecture/application-library.md)."""

import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent


def arguments(description, runs):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--build", default=str(REPO / "build/release"),
                        help="the build folder holding UlmaroApp/ulmaro and bench/make-tree")
    parser.add_argument("--fixture", default="/tmp/ulmaro-bench-app",
                        help="the fixture home, made on first use and kept for later runs")
    parser.add_argument("--entries", type=int, default=1_000_000,
                        help="entries of the generated tree the fixture indexes")
    parser.add_argument("--runs", type=int, default=runs, help="runs to take the median of")
    parser.add_argument("--display", help="an X display with a window manager already "
                        "running, instead of a private Xvfb and openbox")
    return parser


def median(values):
    return statistics.median(values) if values else float("nan")


def log(text):
    print(text, file=sys.stderr, flush=True)


def wait_for(condition, seconds, what):
    limit = time.monotonic() + seconds
    while time.monotonic() < limit:
        if condition():
            return
        time.sleep(0.005)
    raise SystemExit(f"gave up waiting for {what} after {seconds} s")


class XSession:
    """Xvfb and openbox as the window-manager tests start them (tests/support/x11-session)."""

    def __init__(self, state):
        self.state = Path(state)
        self.script = REPO / "tests/support/x11-session"

    def __enter__(self):
        subprocess.run([str(self.script), "start", str(self.state)], check=True,
                       stdout=subprocess.DEVNULL)
        self.display = (self.state / "display").read_text().strip()
        return self

    def __exit__(self, *_):
        subprocess.run([str(self.script), "stop", str(self.state)], stdout=subprocess.DEVNULL)


class ExistingDisplay:
    """An X display with a window manager already running, in place of an XSession."""

    def __init__(self, display):
        self.display = display

    def __enter__(self):
        return self

    def __exit__(self, *_):
        pass


def session(options, fixture):
    """`--display` when given, else a private Xvfb and openbox beside the fixture."""
    if getattr(options, "display", None):
        return ExistingDisplay(options.display)
    return XSession(fixture.dir.parent / (fixture.dir.name + "-x11"))


class Fixture:
    """A home of its own: the first run done, a generated tree indexed in place of "/"."""

    def __init__(self, options):
        self.dir = Path(options.fixture)
        self.build = Path(options.build)
        self.entries = options.entries
        self.app = self.build / "UlmaroApp/ulmaro"
        self.root = self.dir / "root"
        self.data = self.dir / "data/Ulmaro"
        self.probe = self.dir / "probe"
        if not self.app.exists():
            raise SystemExit(f"{self.app} is not built")

    def environment(self, display, times):
        env = dict(os.environ)
        env.update({
            "DISPLAY": display,
            "HOME": str(self.dir / "home"),
            "XDG_CONFIG_HOME": str(self.dir / "config"),
            "XDG_DATA_HOME": str(self.dir / "data"),
            "XDG_RUNTIME_DIR": str(self.dir / "runtime"),
            "XDG_CACHE_HOME": str(self.dir / "cache"),
            "XDG_STATE_HOME": str(self.dir / "state"),
            "ULMARO_TEST_SCAN_ROOT": str(self.root),
            "ULMARO_TEST_PROBE": str(self.probe),
            "ULMARO_TEST_OPEN_LOG": str(self.dir / "opened"),
        })
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("ULMARO_TEST_PROBE_TIMES", None)
        if times:
            env["ULMARO_TEST_PROBE_TIMES"] = "1"
        return env

    def prepare(self, display):
        """Makes the tree and the index once; later runs only check that the index is fresh
        (younger than a day, else the application would rescan at start)."""
        made = self.dir / "made.json"
        if made.exists() and json.loads(made.read_text()).get("entries") == self.entries:
            age = time.time() - (self.data / "index.bin").stat().st_mtime
            if age < 20 * 3600:
                return
            log("fixture: the index is older than 20 hours; indexing again")
        if self.dir.exists():
            shutil.rmtree(self.dir)
        for folder in ("home", "config/Ulmaro", "data", "runtime", "cache", "state"):
            (self.dir / folder).mkdir(parents=True, exist_ok=True)
        os.chmod(self.dir / "runtime", 0o700)
        (self.dir / "config/Ulmaro/settings.json").write_text(json.dumps(
            {"app.ulmaro.onboardingCompleted": True, "app.ulmaro.firstRunCompleted": True}))
        log(f"fixture: writing a tree of {self.entries} entries")
        subprocess.run([str(self.build / "bench/make-tree"), str(self.root), str(self.entries)],
                       check=True, stdout=subprocess.DEVNULL)
        log("fixture: the application indexes it (names, then sizes and dates)")
        app = self.start(display, [], times=False)
        # The scan writes index.bin; the first engine then builds and saves trigrams.bin.
        wait_for(lambda: (self.data / "trigrams.bin").exists(), 900, "the first index")
        wait_for(lambda: "searchable" in self.probe_text(), 60, "a searchable panel")
        app.quit()
        made.write_text(json.dumps({"entries": self.entries}))

    def probe_text(self):
        try:
            return self.probe.read_text()
        except FileNotFoundError:
            return ""

    def probe_lines(self):
        """(microseconds of CLOCK_MONOTONIC, text) for each timed line."""
        lines = []
        for line in self.probe_text().splitlines():
            stamp, _, text = line.partition(" ")
            if stamp.isdigit():
                lines.append((int(stamp), text))
        return lines

    @staticmethod
    def painted_after(lines, moment):
        """When the first paint of the panel that began at `moment` or later reached the
        window ("painted <began>" lines)."""
        for stamp, text in lines:
            word, _, began = text.partition(" ")
            if word == "painted" and began.isdigit() and int(began) >= moment:
                return stamp
        return None

    def start(self, display, args, times):
        self.probe.unlink(missing_ok=True)
        return App(self, display, args, times)


class App:
    def __init__(self, fixture, display, args, times):
        self.started = time.monotonic_ns() // 1000
        self.process = subprocess.Popen([str(fixture.app), *args],
                                        env=fixture.environment(display, times),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=open(fixture.dir / "app.log", "ab"))
        self.pid = self.process.pid

    def quit(self):
        """SIGTERM, the application's one road out; it saves and exits 0."""
        self.process.send_signal(signal.SIGTERM)
        try:
            code = self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise SystemExit("the application did not end within 30 s of SIGTERM")
        if code != 0:
            raise SystemExit(f"the application exited {code}")


def drop_page_cache():
    """True when the page cache could be dropped (root only)."""
    try:
        os.sync()
        Path("/proc/sys/vm/drop_caches").write_text("3\n")
        return True
    except OSError:
        return False


def threads(pid):
    """tid -> (name, voluntary, nonvoluntary, cpu ticks)."""
    out = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            status = dict(line.split(":\t", 1) for line in
                          (task / "status").read_text().splitlines() if ":\t" in line)
            stat = (task / "stat").read_text()
        except FileNotFoundError:  # ended meanwhile
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        out[int(task.name)] = (status["Name"].strip(),
                               int(status["voluntary_ctxt_switches"]),
                               int(status["nonvoluntary_ctxt_switches"]),
                               int(fields[11]) + int(fields[12]))
    return out


def process_ticks(pid):
    fields = Path(f"/proc/{pid}/stat").read_text()
    fields = fields[fields.rindex(")") + 2:].split()
    return int(fields[11]) + int(fields[12])


def settle(pid, quiet_seconds=5, stable_threads=12, limit=300):
    """Waits until the process has used no CPU time for `quiet_seconds` and started or ended
    no thread for `stable_threads` (a queue's idle thread ends 10 s after its last task)."""
    start = time.monotonic()
    last, quiet_since = process_ticks(pid), start
    tasks, stable_since = set(threads(pid)), start
    while time.monotonic() - start < limit:
        time.sleep(0.5)
        now, current = process_ticks(pid), set(threads(pid))
        if now != last:
            last, quiet_since = now, time.monotonic()
        if current != tasks:
            tasks, stable_since = current, time.monotonic()
        if (time.monotonic() - quiet_since >= quiet_seconds and
                time.monotonic() - stable_since >= stable_threads):
            return time.monotonic() - start
    raise SystemExit(f"still busy after {limit} s")
