"""A fixture home shaped like a real one for the benchmarks of changes (bench/app-restart-catchup,
bench/app-live-changes): the scanned root is the home itself, so it holds the application's
config folder (.config/Ulmaro) and data folder (.local/share/Ulmaro) as "/" holds them, beside
a cache, a Trash and a bench/make-tree tree. The real `ulmaro` runs on it under an X server
with a window manager (a private Xvfb + openbox, or --display), and the panel is asked as a
user asks it: keys typed into its field, rows read from the probe file."""

import json
import os
import random
import shutil
import subprocess
import time
from pathlib import Path

import appbench


# The fragments of paths whose changes the application drops as noise.
NOISE = ("/Caches/", "/PersistentCache/", "/DerivedData/", "/CoreSimulator/", "/Biome/",
         "/DuetExpertCenter/", "/.build/", "/node_modules/", "/.git/", "/.gradle/",
         "/__pycache__/", "/Pods/", "/.venv/", "/.next/", "/.swiftpm/", "/.stack-work/",
         "/.cache/", "/.local/share/Trash/", "/.Trash-")


def arguments(description, runs):
    parser = appbench.arguments(description, runs)
    parser.set_defaults(fixture="/tmp/ulmaro-bench-home")
    parser.add_argument("--display", default=None,
                        help="an X server with a window manager to use (else a private one)")
    return parser


class Session:
    """The X server given, or a private Xvfb + openbox."""

    def __init__(self, fixture, display):
        self.given = display
        self.private = None if display else appbench.XSession(
            fixture.dir.parent / (fixture.dir.name + "-x11"))

    def __enter__(self):
        self.display = self.given or self.private.__enter__().display
        return self

    def __exit__(self, *error):
        if self.private:
            self.private.__exit__(*error)


class HomeFixture(appbench.Fixture):
    def __init__(self, options):
        super().__init__(options)
        self.home = self.dir / "home"
        self.root = self.home
        self.tree = self.home / "tree"
        self.config = self.home / ".config"
        self.data = self.home / ".local/share/Ulmaro"
        self.index = self.data / "index.bin"

    def environment(self, display, times):
        env = super().environment(display, times)
        env.update({
            "HOME": str(self.home),
            "XDG_CONFIG_HOME": str(self.config),
            "XDG_DATA_HOME": str(self.home / ".local/share"),
            "XDG_CACHE_HOME": str(self.home / ".cache"),
            "XDG_STATE_HOME": str(self.home / ".local/state"),
            "ULMARO_TEST_SCAN_ROOT": str(self.home),
        })
        return env

    def prepare(self, display):
        """Makes what the home lacks (the tree, then the index the application builds of it)
        and keeps it for later runs, while the index is younger than 20 hours (else the
        application would rescan at start)."""
        made = self.dir / "made.json"
        if made.exists() and json.loads(made.read_text()).get("entries") == self.entries:
            if time.time() - self.index.stat().st_mtime < 20 * 3600:
                return
            appbench.log("fixture: the index is older than 20 hours; indexing again")
        made.unlink(missing_ok=True)
        for folder in ("home/.local/share/Trash/files", "home/.cache/thumbnails", "runtime"):
            (self.dir / folder).mkdir(parents=True, exist_ok=True)
        os.chmod(self.dir / "runtime", 0o700)
        shutil.rmtree(self.config / "Ulmaro", ignore_errors=True)
        shutil.rmtree(self.data, ignore_errors=True)
        (self.config / "Ulmaro").mkdir(parents=True)
        # Up to 1,000 rows, so that one query can list every file of a run.
        (self.config / "Ulmaro/settings.json").write_text(json.dumps(
            {"app.ulmaro.onboardingCompleted": True, "app.ulmaro.firstRunCompleted": True,
             "app.ulmaro.resultLimit": 1000}))
        if not self.tree.exists():
            appbench.log(f"fixture: writing a tree of {self.entries} entries")
            subprocess.run([str(self.build / "bench/make-tree"), str(self.tree),
                            str(self.entries)], check=True, stdout=subprocess.DEVNULL)
        appbench.log("fixture: the application indexes it (names, then sizes and dates)")
        app = self.start(display, [], times=False)
        appbench.wait_for(lambda: (self.data / "trigrams.bin").exists(), 900, "the first index")
        appbench.wait_for(lambda: "searchable" in self.probe_text(), 60, "a searchable panel")
        appbench.settle(app.pid)
        app.quit()
        made.write_text(json.dumps({"entries": self.entries}))

    def folders(self):
        """Every folder of the tree a user keeps files in (no cache, build product or
        package folder, whose changes the application drops), listed once."""
        listing = self.dir / "folders.txt"
        if not listing.exists():
            found = [path for path, _, _ in os.walk(self.tree) if path.isprintable() and
                     path.encode(errors="surrogateescape").isascii() and
                     not any(noise in path + "/" for noise in NOISE)]
            listing.write_text("\n".join(found) + "\n")
        return listing.read_text().split("\n")[:-1]

    def index_identity(self):
        st = self.index.stat()
        return (st.st_ino, st.st_size, st.st_mtime_ns)


def xdotool(display, *args):
    subprocess.run(["xdotool", *args], check=True,
                   env={"DISPLAY": display, "PATH": "/usr/bin:/bin"})


def active_pid(display):
    done = subprocess.run(["xdotool", "getactivewindow", "getwindowpid"], capture_output=True,
                          text=True, env={"DISPLAY": display, "PATH": "/usr/bin:/bin"})
    return done.stdout.strip()


def ask(fixture, display, text, wait=0.4):
    """Types `text` afresh into the shown panel's field (a new search) and returns (rows, when)
    of the first outcome after its last key: the row count and the outcome's CLOCK_MONOTONIC
    microseconds; (0, None) when none came within `wait` s (no matches again reads as no
    change). `text` holds lower-case letters and digits only: one key each."""
    def keys_since(count):
        return [i for i, (_, t) in enumerate(fixture.probe_lines()[count:]) if t == "key"]

    cleared = len(fixture.probe_lines())
    xdotool(display, "key", "ctrl+a", "BackSpace")  # three presses: Control, a, BackSpace
    limit = time.monotonic() + 1
    while len(keys_since(cleared)) < 3 and time.monotonic() < limit:
        time.sleep(0.002)
    before = len(fixture.probe_lines())
    xdotool(display, "type", "--delay", "2", text)
    limit = time.monotonic() + wait
    while time.monotonic() < limit:
        lines = fixture.probe_lines()[before:]
        keys = [i for i, (_, t) in enumerate(lines) if t == "key"]
        if len(keys) >= len(text):
            for stamp, t in lines[keys[len(text) - 1]:]:
                if t.startswith("results "):
                    return int(t.split()[1]), stamp
        time.sleep(0.005)
    return 0, None


def now_us():
    return time.monotonic_ns() // 1000


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))] if ordered else float("nan")


def pick(folders, count, seed):
    return random.Random(seed).sample(folders, count)


def make_noise(fixture, tag, count):
    """What a machine writes meanwhile: a package install in a project (node_modules) and a
    browser cache, `count` files in all, in folders of a hundred. Returns the two tops."""
    tops = [fixture.tree / f"projects/zapp{tag}/node_modules", fixture.home / f".cache/zweb{tag}"]
    for k in range(count):
        folder = tops[k % 2] / f"p{k // 200}"
        folder.mkdir(parents=True, exist_ok=True)
        (folder / f"f{k}.js").write_bytes(b"x")
    return tops
