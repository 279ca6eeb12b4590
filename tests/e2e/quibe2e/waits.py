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


def tail_until(tail, condition, timeout=10.0):
    """The entries that a calllog.Tail reads from here on, once condition(entries) holds, or
    those read by the time limit (the caller checks the condition again and reports)."""
    entries = []

    def attempt():
        entries.extend(tail.read())
        return condition(entries)

    until(attempt, timeout)
    return entries


def log_until(log_path, condition, timeout=10.0):
    """The log's entries from its start, as tail_until gives them."""
    return tail_until(calllog.Tail(log_path), condition, timeout)


def marked(log_path, text, timeout=10.0):
    """The entries once a mark with the text has been logged."""
    return log_until(log_path, lambda entries: calllog.mark_time(entries, text) is not None, timeout)
