"""Waiting for something to show in the call log. A deadline only bounds the wait; nothing is
concluded from how long it took."""

import time

from quibe2e import calllog


def until(condition, timeout=10.0, interval=0.05):
    """Calls condition until it returns something true or the time is up; its last result."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


def log_until(log_path, condition, timeout=10.0):
    """The log's entries once condition(entries) holds, or the last entries read at the time
    limit (the caller checks the condition again and reports)."""
    last = []

    def attempt():
        nonlocal last
        last = calllog.read(log_path)
        return condition(last)

    until(attempt, timeout)
    return last


def marked(log_path, text, timeout=10.0):
    """The entries once a mark with the text has been logged."""
    return log_until(log_path, lambda entries: calllog.mark_time(entries, text) is not None, timeout)
