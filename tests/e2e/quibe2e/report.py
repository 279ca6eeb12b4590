"""Check results for an end-to-end group: printed as they come, and on a failure the evidence
(a screenshot of the desktop, the call log, explorer's tray trace) kept in the group's folder
and named, so that a red run can be understood afterwards."""

import os
import time


class Checker:
    def __init__(self, name, work_dir):
        self.name = name
        self.work_dir = work_dir
        self.failures = []
        self.figures = []
        self.evidence = []        # paths worth reading after a failure
        self.desktop = None       # set once there is a desktop to photograph
        self.started = time.monotonic()

    def keep(self, path):
        """Names a file (call log, trace, output) to point at when something fails."""
        if path not in self.evidence:
            self.evidence.append(path)

    def check(self, ok, what, detail=""):
        if ok:
            print("  ok    %s" % what, flush=True)
            return True
        print("  FAIL  %s%s" % (what, ": " + detail if detail else ""), flush=True)
        self.failures.append(what)
        self._photograph()
        return False

    def figure(self, text):
        print("  --    %s" % text, flush=True)
        self.figures.append(text)

    def _photograph(self):
        if self.desktop is None or self.desktop.window is None:
            return
        path = os.path.join(self.work_dir, "failure-%d.png" % len(self.failures))
        try:
            self.desktop.shot().save(path)
            self.keep(path)
        except Exception as error:  # the evidence must not hide the failure itself
            print("        (no screenshot: %s)" % error)

    def crash(self, error):
        self.check(False, "the group ran to its end", "%s: %s" % (type(error).__name__, error))

    def finish(self):
        elapsed = time.monotonic() - self.started
        with open(os.path.join(self.work_dir, "figures.txt"), "w") as figures:
            figures.write("\n".join(self.figures) + "\n")
        if not self.failures:
            print("%s: all checks passed in %.1f s" % (self.name, elapsed), flush=True)
            return 0
        print("%s: %d check(s) failed in %.1f s:" % (self.name, len(self.failures), elapsed))
        for failure in self.failures:
            print("    " + failure)
        print("evidence:")
        for path in self.evidence:
            if os.path.exists(path):
                print("    " + path)
        return 1
