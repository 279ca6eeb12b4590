"""Wine sessions for the tests, the demo and the measurements: a prefix, an Xvfb display and a
wineserver of their own, so that sessions run side by side without sharing a desktop, a
registry, a pipe name or a %TEMP%.

A build boots one template prefix (make_template) and saves it pristine, its wineserver
stopped; each session's prefix is a copy of it. Wine's own program files, the bulk of a prefix,
are hard links to the template's, which Wine only reads; everything else is copied.

A session ends with its owner where Wine and Xvfb allow it: Xvfb gets SIGKILL when the
process that started it dies, and the wineserver lingers only LINGER_S seconds after its last
client. A session whose owner was killed before it could close is reaped when a session of
the same folder opens next, or by reap_all.
"""

import ctypes
import fcntl
import json
import os
import shutil
import signal
import subprocess
import tempfile

from quibe2e import waits

BASE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
SCREEN = "1024x768x24"
# Seconds the wineserver stays after its last client: the gaps between a driver's Wine
# processes are shorter, and a session left by a killed owner ends soon after.
LINGER_S = 20
# Files Wine only reads: its program files under drive_c/windows.
SHARED_SUFFIXES = (".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".ax", ".tlb", ".ds", ".msstyles",
                   ".mui", ".nls", ".ttf", ".fon")
STATE = "session.json"
PR_SET_PDEATHSIG = 1


def quiet(args, env, timeout=120, log=subprocess.DEVNULL):
    """Runs a Wine tool to its end; Wine's helpers inherit standard handles, so none is a pipe."""
    return subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                          timeout=timeout).returncode


def _die_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _alive(pid, name):
    """Whether process pid runs a program whose name starts with name (Debian's wineserver is
    wineserver64)."""
    try:
        with open("/proc/%d/comm" % pid) as comm:
            return comm.read().startswith(name)
    except (OSError, TypeError):
        return False


class Session:
    """One Wine session in work_dir: work_dir/prefix, its display and its wineserver.

    template: the prefix to copy (None boots a new one in place, as make_template does).
    display: an X display to use instead of an Xvfb of the session's own.
    keep_prefix: the prefix stays after close (the template's).
    detached: the Xvfb outlives the process that opens the session (the shared session of a
    test run, opened and closed by two fixtures)."""

    def __init__(self, work_dir, bin_dir, template=None, display=None, keep_prefix=False, detached=False):
        self.work_dir = os.path.abspath(work_dir)
        self.bin_dir = bin_dir
        self.prefix = os.path.join(self.work_dir, "prefix")
        self.template = template
        self.display = display
        self.keep_prefix = keep_prefix
        self.detached = detached
        self.xvfb = None
        self.env = None

    # --- opening and closing -------------------------------------------------------------

    def open(self):
        reap(self.work_dir)
        os.makedirs(self.work_dir, exist_ok=True)
        try:
            if self.template:
                copy_prefix(self.template, self.prefix)
            if self.display is None:
                self.display = self._start_xvfb()
            self.env = dict(os.environ, WINEPREFIX=self.prefix, DISPLAY=self.display, **BASE_ENV)
            self._write_state()
            if not os.path.exists(os.path.join(self.prefix, "system.reg")):
                self._boot()
            quiet(["wineserver", "-p%d" % LINGER_S], self.env)
            # The first Wine process starts the prefix's services; let that not be a test's.
            quiet(["wine", "cmd", "/c", "exit"], self.env)
        except BaseException:
            self.close()
            raise
        return self

    def close(self):
        if self.env is not None:
            quiet(["wineserver", "-k"], self.env, timeout=60)
            quiet(["wineserver", "-w"], self.env, timeout=60)
        if self.xvfb is not None:
            self.xvfb.kill()
            self.xvfb.wait()
            self.xvfb = None
        else:
            reap_display(self.work_dir)
        if not self.keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)
        try:
            os.remove(os.path.join(self.work_dir, STATE))
        except FileNotFoundError:
            pass

    @classmethod
    def attach(cls, work_dir, bin_dir):
        """The session that another process opened in work_dir and left running."""
        try:
            with open(os.path.join(work_dir, STATE)) as source:
                state = json.load(source)
        except (OSError, ValueError):
            raise RuntimeError("no Wine session runs in %s" % work_dir)
        attached = cls(work_dir, bin_dir, display=state["display"])
        attached.env = dict(os.environ, WINEPREFIX=attached.prefix, DISPLAY=attached.display, **BASE_ENV)
        return attached

    def detach(self):
        """Leaves the session running for another process to attach to and close."""
        self.xvfb = None

    def __enter__(self):
        return self.open()

    def __exit__(self, *_):
        self.close()

    def _start_xvfb(self):
        # -displayfd: Xvfb takes a free display number and writes it once it is ready.
        read_end, write_end = os.pipe()
        with open(os.path.join(self.work_dir, "xvfb.log"), "wb") as log:
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN,
                                          "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=subprocess.STDOUT, start_new_session=self.detached,
                                         preexec_fn=None if self.detached else _die_with_parent)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start (see %s/xvfb.log)" % self.work_dir)
        return ":" + number

    def _boot(self):
        with open(os.path.join(self.work_dir, "wineboot.log"), "wb") as log:
            quiet(["wineserver", "-p%d" % LINGER_S], self.env, log=log)
            code = quiet(["wineboot", "-i"], self.env, timeout=300, log=log)
        # A new prefix's registry reaches its files only when the wineserver saves it.
        quiet(["wineserver", "-k"], self.env)
        quiet(["wineserver", "-w"], self.env)
        if code != 0 or not waits.until(lambda: os.path.exists(os.path.join(self.prefix, "system.reg")), 10, 0.1):
            raise RuntimeError("wineboot did not make a prefix in %s (see %s/wineboot.log)"
                               % (self.prefix, self.work_dir))

    def _write_state(self):
        with open(os.path.join(self.work_dir, STATE), "w") as state:
            json.dump({"prefix": self.prefix, "display": self.display, "keep": self.keep_prefix,
                       "xvfb": self.xvfb.pid if self.xvfb else None}, state)

    # --- use -----------------------------------------------------------------------------

    def exe(self, name):
        return os.path.join(self.bin_dir, name)

    def run(self, args, timeout=30, env=None):
        return run(env or self.env, args, timeout)

    def start(self, args, output_path, env=None):
        return start(env or self.env, args, output_path)

    def wineserver_pid(self):
        return wineserver_pid(self.prefix)


def run(env, args, timeout=30):
    """Runs `wine args...` to its end; (exit code, output), the code None on a time-out."""
    with tempfile.TemporaryFile() as out:
        process = subprocess.Popen(["wine"] + list(args), stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, env=env)
        try:
            code = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            code = None
        out.seek(0)
        return code, out.read().decode("utf-8", errors="replace")


def start(env, args, output_path):
    """Starts `wine args...` in the background, its output going to output_path."""
    with open(output_path, "wb") as out:
        return subprocess.Popen(["wine"] + list(args), stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT, env=env)


def wineserver_pid(prefix):
    """The prefix's wineserver, or None: it works in a folder named after the prefix's device
    and inode."""
    info = os.stat(prefix)
    wanted = "server-%x-%x" % (info.st_dev, info.st_ino)
    for entry in os.listdir("/proc"):
        if entry.isdigit() and _alive(int(entry), "wineserver"):
            try:
                if os.path.basename(os.readlink("/proc/%s/cwd" % entry)) == wanted:
                    return int(entry)
            except OSError:
                continue
    return None


def copy_prefix(template, prefix):
    """A new prefix from the template: Wine's program files linked, the rest copied."""
    shutil.rmtree(prefix, ignore_errors=True)
    windows = os.path.join(template, "drive_c", "windows") + os.sep

    def link_or_copy(source, target):
        if source.startswith(windows) and source.lower().endswith(SHARED_SUFFIXES):
            os.link(source, target)
        else:
            shutil.copy2(source, target)

    shutil.copytree(template, prefix, symlinks=True, copy_function=link_or_copy)


def reap_display(work_dir):
    """Ends the Xvfb that a session in work_dir started, if it still runs."""
    try:
        with open(os.path.join(work_dir, STATE)) as source:
            pid = json.load(source).get("xvfb")
    except (OSError, ValueError):
        return
    end_xvfb(pid)


def end_xvfb(pid):
    if _alive(pid, "Xvfb"):
        os.kill(pid, signal.SIGKILL)


def reap(work_dir):
    """Ends what a session in work_dir left running and removes its prefix. True when there was
    something to reap."""
    path = os.path.join(work_dir, STATE)
    try:
        with open(path) as source:
            state = json.load(source)
    except (OSError, ValueError):
        return False
    if os.path.isdir(state.get("prefix", "")):
        quiet(["wineserver", "-k"], dict(os.environ, WINEPREFIX=state["prefix"], **BASE_ENV), timeout=60)
    reap_display(work_dir)
    if state.get("keep") is False and state.get("prefix") == os.path.join(work_dir, "prefix"):
        shutil.rmtree(state["prefix"], ignore_errors=True)
    try:
        os.remove(path)
    except FileNotFoundError:
        pass
    return True


def reap_all(sessions_dir):
    """Reaps every session folder below sessions_dir; the names of those that had something left."""
    if not os.path.isdir(sessions_dir):
        return []
    left = []
    for name in sorted(os.listdir(sessions_dir)):
        reaped = reap(os.path.join(sessions_dir, name))
        prefix = os.path.join(sessions_dir, name, "prefix")
        if os.path.isdir(prefix):  # a session that closed without removing it
            shutil.rmtree(prefix, ignore_errors=True)
            reaped = True
        if reaped:
            left.append(name)
    return left


# --- the template ------------------------------------------------------------------------

def make_template(template_dir, renew_changed=False):
    """Boots the build's template prefix unless it is there already, booted by this Wine (and,
    with renew_changed, as it was booted), and saves a list of its files to check it against
    later. The prefix."""
    os.makedirs(template_dir, exist_ok=True)
    with open(os.path.join(template_dir, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # drivers started side by side wait for one boot
        return _make_template(template_dir, renew_changed)


def _make_template(template_dir, renew_changed):
    prefix = os.path.join(template_dir, "prefix")
    stamp = os.path.join(template_dir, "ready.json")
    version = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             text=True).stdout.strip()
    try:
        with open(stamp) as source:
            if json.load(source)["wine"] == version and not (renew_changed and template_changes(template_dir)):
                return prefix
    except (OSError, ValueError, KeyError):
        pass
    reap(template_dir)
    shutil.rmtree(prefix, ignore_errors=True)
    Session(template_dir, None, keep_prefix=True).open().close()
    with open(stamp, "w") as target:
        json.dump({"wine": version, "files": listing(prefix)}, target)
    return prefix


def listing(prefix):
    """Every file of a prefix with its size and time of change."""
    files = {}
    for folder, _, names in os.walk(prefix):
        for name in names:
            info = os.lstat(os.path.join(folder, name))
            files[os.path.relpath(os.path.join(folder, name), prefix)] = [info.st_size, info.st_mtime_ns]
    return files


def template_changes(template_dir):
    """What differs in the template from the listing saved when it was booted: files added,
    removed or changed, as "+name", "-name" and "~name". ["no template"] when there is none."""
    try:
        with open(os.path.join(template_dir, "ready.json")) as source:
            saved = json.load(source)["files"]
    except (OSError, ValueError, KeyError):
        return ["no template"]
    now = listing(os.path.join(template_dir, "prefix"))
    return sorted(["+" + name for name in now.keys() - saved.keys()] +
                  ["-" + name for name in saved.keys() - now.keys()] +
                  ["~" + name for name in now.keys() & saved.keys() if now[name] != saved[name]])
