#!/usr/bin/env python3
"""The runner behind scripts/perf-wine: measures the real QuibTPCenter.exe under Wine and writes
docs/performance.md. See scripts/perf-wine for the usage.

Everything runs in a Wine session of its own (its own Xvfb display, prefix and wineserver), so
the wineserver's CPU time belongs to this run alone and nobody else's programs share the desktop.
"""

import argparse
import json
import os
import platform
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import perf_page  # noqa: E402
import wineperf  # noqa: E402
from quibe2e import calllog, identity, session  # noqa: E402

PROGRAM_EXE = wineperf.PROGRAM_EXE
REFERENCE_EXE = wineperf.REFERENCE_EXE
TRAY_REFERENCE_EXE = wineperf.TRAY_REFERENCE_EXE
PROGRAM_TITLE = identity.APP_WINDOW_TITLE
REFERENCE_TITLE = "QUIB PERF REFERENCE TIMER"
TRAY_REFERENCE_TITLE = "QUIB PERF REFERENCE TRAY"
PROGRAM_ICON_ID = "%#x" % identity.TRAY_ICON_ID
TRAY_REFERENCE_ICON_ID = "1"
# The folder of the program's copy beside the minimal QuibTPApi.dll, next to bin/.
MINIMAL_DIR = "perf-minimal"

# What is measured: the folder (beside bin/) and name of the .exe, its window's title, how it is
# ended, and the notification-area icon that shows it is under way (the simulated library's
# program shows that by its control pipe instead).
SUBJECTS = {
    "reference": ("bin", REFERENCE_EXE, REFERENCE_TITLE, "close", None),
    "tray": ("bin", TRAY_REFERENCE_EXE, TRAY_REFERENCE_TITLE, "close", TRAY_REFERENCE_ICON_ID),
    "minimal": (MINIMAL_DIR, PROGRAM_EXE, PROGRAM_TITLE, "exit", PROGRAM_ICON_ID),
    "program": ("bin", PROGRAM_EXE, PROGRAM_TITLE, "exit", None),
}
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


# ---- the Wine session ----

def open_session(build, work):
    """A session of the measurement's own, its prefix a copy of the build's template."""
    return session.Session(os.path.join(work, "session"), os.path.join(build, "bin"),
                           template=session.make_template(os.path.join(build, "wine-template"))).open()


def session_env(wine):
    env = dict(wine.env)
    for name in ("QUIBSIM_LOG", "QUIBSIM_SCENARIO", "QUIBSIM_PIPE"):
        env.pop(name, None)
    return env


def windows_path(path):
    """The path as the prefix's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_wine(env, args, timeout=60):
    return session.run(env, args, timeout)


def start_wine(env, exe, log_path):
    return session.start(env, [exe], log_path)


# ---- processes as Linux sees them ----

def linux_pid_of(process, exe_path, timeout=20):
    """The Linux process that runs the .exe: the one started as `wine <exe>`, which Wine turns
    into the program's own process, with the program's path in argv[0] once it runs."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open("/proc/%d/cmdline" % process.pid, "rb") as source:
                if source.read().split(b"\0")[0].decode(errors="replace") == exe_path:
                    return process.pid
        except OSError:
            break  # it ended
        time.sleep(0.1)
    raise RuntimeError("process %d does not run %s" % (process.pid, exe_path))


def wineserver_pid(prefix):
    pid = session.wineserver_pid(prefix)
    if pid is None:
        raise RuntimeError("no wineserver for " + prefix)
    return pid


def proc_figures(pid):
    with open("/proc/%d/stat" % pid) as source:
        stat = wineperf.parse_proc_stat(source.read())
    with open("/proc/%d/status" % pid) as source:
        status = source.read()
    # The scheduler's run time of each thread, in nanoseconds: finer than the clock ticks of
    # utime and stime. With the thread's wake-ups (voluntary context switches).
    tasks = {}
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as source:
                run_ns = int(source.read().split()[0])
            with open("/proc/%d/task/%s/status" % (pid, task)) as source:
                switches = wineperf.parse_proc_status_number(source.read(), "voluntary_ctxt_switches")
        except (OSError, ValueError, IndexError):
            continue  # a thread that ended meanwhile
        tasks[task] = {"run_s": run_ns / 1e9, "switches": switches or 0}
    return {
        "run_s": sum(task["run_s"] for task in tasks.values()),
        "tasks": tasks,
        "cpu_s": (stat["utime"] + stat["stime"]) / CLOCK_TICKS,
        "user_s": stat["utime"] / CLOCK_TICKS,
        "system_s": stat["stime"] / CLOCK_TICKS,
        "threads": stat["threads"],
        "hwm_kb": wineperf.parse_proc_status_number(status, "VmHWM"),
        "rss_kb": wineperf.parse_proc_status_number(status, "VmRSS"),
    }


def mapped_modules(pid):
    """The names of the DLLs and Unix libraries the process has mapped, Wine's and its own."""
    with open("/proc/%d/maps" % pid) as source:
        return wineperf.parse_mapped_modules(source.read())


def load_average():
    with open("/proc/loadavg") as source:
        return " ".join(source.read().split()[:3])


# ---- the programs ----

def meter(env, bin_dir, *titles):
    code, output = run_wine(env, [os.path.join(bin_dir, "process_meter.exe"), "times"] + list(titles))
    figures = {}
    for line in output.splitlines():
        if line.startswith("title="):
            items = wineperf.parse_meter_line(line)
            figures[items["title"]] = items
    return figures


def wait_for_window(env, bin_dir, title, timeout=20):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if meter(env, bin_dir, title).get(title, {}).get("ok") == 1:
            return
        time.sleep(0.2)
    raise RuntimeError("no window titled " + title)


def wait_for_link(env, bin_dir, pipe):
    """The simulated library starts its pipe at the first library call, the program's first
    TpConnect, which a quiet pad accepts: padctl reaching the pipe means the program is linked."""
    code, output = run_wine(env, [os.path.join(bin_dir, "padctl.exe"), "--pipe", pipe, "--wait", "15000",
                                  "traymode", "1"], timeout=40)
    if code != 0:
        raise RuntimeError("the program did not link: padctl said %d %s" % (code, output.strip()))


def wait_for_icon(env, bin_dir, title, icon_id, timeout=20):
    """The program adds its icon once linked, 1.5 s after its start; the tray reference at once."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if run_wine(env, [os.path.join(bin_dir, "process_meter.exe"), "icon", title, icon_id])[0] == 0:
            return
        time.sleep(0.2)
    raise RuntimeError("no notification-area icon %s for %s" % (icon_id, title))


def start_subject(env, bin_dir, work, which, name, pipe=None):
    """Starts one of SUBJECTS and waits until it runs as it will be measured."""
    folder, exe_name, title, _, icon_id = SUBJECTS[which]
    exe = os.path.join(os.path.dirname(bin_dir), folder, exe_name)
    process = start_wine(dict(env, QUIBSIM_PIPE=pipe) if pipe else env, exe, os.path.join(work, name + ".out"))
    wait_for_window(env, bin_dir, title)
    if pipe:
        wait_for_link(env, bin_dir, pipe)
    if icon_id:
        wait_for_icon(env, bin_dir, title, icon_id)
    return process, linux_pid_of(process, exe)


def start_reference(env, bin_dir, work, name):
    return start_subject(env, bin_dir, work, "reference", name)


def end_subject(env, bin_dir, which, process):
    _, _, title, how, _ = SUBJECTS[which]
    return end_window(env, bin_dir, process, how, title)


def end_window(env, bin_dir, process, how, title):
    run_wine(env, [os.path.join(bin_dir, "process_meter.exe"), how, title])
    return end_process(process)


def end_process(process):
    try:
        return process.wait(timeout=20)
    except subprocess.TimeoutExpired:
        process.kill()
        return process.wait()


# ---- measurements ----

def measure_window(env, bin_dir, seconds, linux_pids, titles, server):
    """CPU time of each process and of the wineserver over `seconds`. The Windows readings bracket
    the Linux ones, so the helper's own start-up costs the wineserver nothing inside the window."""
    windows_before = meter(env, bin_dir, *titles) if titles else {}
    linux_before = {name: proc_figures(pid) for name, pid in linux_pids.items()}
    server_before = proc_figures(server)
    start = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - start
    linux_after = {name: proc_figures(pid) for name, pid in linux_pids.items()}
    server_after = proc_figures(server)
    windows_after = meter(env, bin_dir, *titles) if titles else {}

    result = {"seconds": elapsed, "wineserver_run_s": server_after["run_s"] - server_before["run_s"],
              "wineserver_cpu_s": server_after["cpu_s"] - server_before["cpu_s"], "processes": {}}
    for name, title in zip(linux_pids, titles or [None] * len(linux_pids)):
        before, after = linux_before[name], linux_after[name]
        entry = {
            "run_s": after["run_s"] - before["run_s"],
            "cpu_s": after["cpu_s"] - before["cpu_s"],
            "user_s": after["user_s"] - before["user_s"],
            "system_s": after["system_s"] - before["system_s"],
            "threads": after["threads"],
            "tasks": task_deltas(before["tasks"], after["tasks"], linux_pids[name]),
            "hwm_kb": after["hwm_kb"],
            "rss_kb": after["rss_kb"],
            "modules": mapped_modules(linux_pids[name]),
        }
        w0, w1 = windows_before.get(title, {}), windows_after.get(title, {})
        if w0.get("ok") == 1 and w1.get("ok") == 1:
            entry["windows_cpu_s"] = ((w1["thread_user_100ns"] + w1["thread_kernel_100ns"]) -
                                      (w0["thread_user_100ns"] + w0["thread_kernel_100ns"])) / 1e7
            entry["windows_process_times_s"] = [(w["user_100ns"] + w["kernel_100ns"]) / 1e7 for w in (w0, w1)]
            entry["peak_working_set"] = w1["peak_working_set"]
            entry["working_set"] = w1["working_set"]
        elif titles:
            entry["windows_failure"] = w1.get("failed") or w0.get("failed") or "no reading"
        result["processes"][name] = entry
    return result


def task_deltas(before, after, pid):
    """Each thread's run time and wake-ups over the window. The thread that Linux started the
    process with runs the window thread; the others are named by their order of creation, so
    windows of different runs of a program add up thread by thread."""
    others = sorted((int(tid) for tid in after if tid in before and int(tid) != pid))
    names = {str(pid): "main"}
    names.update({str(tid): "thread %d" % number for number, tid in enumerate(others, 2)})
    return {names[tid]: {"run_s": after[tid]["run_s"] - before[tid]["run_s"],
                         "switches": after[tid]["switches"] - before[tid]["switches"]}
            for tid in after if tid in names and tid in before}


def idle_baseline(env, bin_dir, work, seconds):
    server = wineserver_pid(env["WINEPREFIX"])
    return measure_window(env, bin_dir, seconds, {}, [], server)


def side_by_side(env, bin_dir, work, windows, seconds, settle, pair=("program", "reference")):
    """Two programs at once, measured over several windows in a row, so that a burst of other
    work on the machine shows as one odd window rather than skewing the only one. Half of the
    windows with the reference (the second of the pair) started first, half with the measured
    one started first: the start order of two processes woken by the same 10 ms tick was seen
    to move their figures by a few percent."""
    measured, reference = pair
    titles = [SUBJECTS[key][2] for key in pair]
    result = {"pair": list(pair), "windows": []}
    for first in (reference, measured):
        order = "%s first" % first
        count = windows // 2 if first == reference else windows - windows // 2
        if count == 0:
            continue
        started = {}
        for key in ((reference, measured) if first == reference else (measured, reference)):
            name = "side_%s_%s" % (key, order.replace(" ", "_"))
            pipe = "QuibPerfSide%d" % len(result["windows"]) if key == "program" else None
            started[key] = start_subject(env, bin_dir, work, key, name, pipe)
        time.sleep(settle)
        server = wineserver_pid(env["WINEPREFIX"])
        for number in range(1, count + 1):
            print("     %s, window %d of %d" % (order, number, count), flush=True)
            window = measure_window(env, bin_dir, seconds, {key: started[key][1] for key in pair}, titles, server)
            window["order"] = order
            result["windows"].append(window)
        for key in pair:
            result["%s_exit %s" % (key, order)] = end_subject(env, bin_dir, key, started[key][0])
    return result


def twins(env, bin_dir, work, windows, seconds, settle):
    """Two copies of the reference side by side: how far two identical programs' figures differ
    under the same conditions, the measure's own spread."""
    exe = os.path.join(bin_dir, REFERENCE_EXE)
    first, first_pid = start_reference(env, bin_dir, work, "twin_first")
    second = start_wine(env, exe, os.path.join(work, "twin_second.out"))
    second_pid = linux_pid_of(second, exe)
    time.sleep(settle)
    server = wineserver_pid(env["WINEPREFIX"])
    result = {"windows": []}
    for number in range(1, windows + 1):
        print("     window %d of %d" % (number, windows), flush=True)
        result["windows"].append(measure_window(env, bin_dir, seconds, {"first": first_pid, "second": second_pid},
                                                [], server))
    # The same title twice: each WM_CLOSE reaches one of them, whichever the search finds.
    for process in (first, second):
        run_wine(env, [os.path.join(bin_dir, "process_meter.exe"), "close", REFERENCE_TITLE])
        time.sleep(0.5)
    result["exits"] = [end_process(process) for process in (first, second)]
    return result


def alone(env, bin_dir, work, which, seconds, settle, round_number):
    name = "%s_alone_%d" % (which, round_number)
    pipe = "QuibPerfAlone%d" % round_number if which == "program" else None
    process, pid = start_subject(env, bin_dir, work, which, name, pipe)
    time.sleep(settle)
    server = wineserver_pid(env["WINEPREFIX"])
    result = measure_window(env, bin_dir, seconds, {which: pid}, [SUBJECTS[which][2]], server)
    result["exit"] = end_subject(env, bin_dir, which, process)
    return result


def latency_run(env, bin_dir, work, count, seed):
    scenario = os.path.join(work, "latency.scenario")
    log = os.path.join(work, "latency.log")
    with open(scenario, "w") as target:
        target.write(wineperf.make_scenario(count, seed, 7, 37))
    if os.path.exists(log):
        os.remove(log)
    program_env = dict(env, QUIBSIM_LOG=windows_path(log), QUIBSIM_SCENARIO=windows_path(scenario),
                       QUIBSIM_PIPE="QuibPerfLatency")
    load_before = load_average()
    process = start_wine(program_env, os.path.join(bin_dir, PROGRAM_EXE), os.path.join(work, "latency.out"))
    # The reports take about count * 22 ms after the link, 1.5 s after the start.
    deadline = time.monotonic() + 30 + count * 0.05
    tail, records = calllog.Tail(log), []
    while time.monotonic() < deadline:
        records.extend(tail.read())
        if calllog.mark_time(records, "end") is not None:
            break
        time.sleep(0.5)
    else:
        end_window(env, bin_dir, process, "exit", PROGRAM_TITLE)
        raise RuntimeError("the latency scenario did not finish; see " + log)
    time.sleep(0.5)  # a few ticks after the last report
    exit_code = end_window(env, bin_dir, process, "exit", PROGRAM_TITLE)
    records.extend(tail.read())

    latencies = wineperf.report_latencies(records)
    tid = wineperf.poll_thread(records)
    ticks = wineperf.call_times(records, "TpIsDisabled", tid)
    start, end = calllog.mark_time(records, "start"), calllog.mark_time(records, "end")
    window_ticks = [t for t in ticks if start is not None and end is not None and start <= t <= end]
    return {
        "reports": count,
        "seed": seed,
        "delivered": len(calllog.events(records, "deliver")),
        "changing": len(wineperf.changing_deliveries(records)),
        "timed": len(latencies),
        "latency_us": wineperf.summarize([l["latency_us"] for l in latencies]),
        "mode_latency_us": wineperf.summarize([l["mode_latency_us"] for l in latencies]),
        "tick_interval_us": wineperf.summarize(wineperf.intervals(window_ticks)),
        "ticks_per_second": (len(window_ticks) - 1) / ((window_ticks[-1] - window_ticks[0]) / 1e6)
        if len(window_ticks) > 1 else None,
        "span_s": (end - start) / 1e6 if start is not None and end is not None else None,
        "errors": len(calllog.events(records, "error", "dropped")),
        "exit": exit_code,
        "load_before": load_before,
        "load_after": load_average(),
        "log": log,
        "scenario": scenario,
    }


# ---- static facts ----

def command_first_line(*args):
    try:
        return subprocess.run(args, capture_output=True, text=True, check=False).stdout.strip().splitlines()[0]
    except (OSError, IndexError):
        return "not available"


def cpu_model():
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown"


def image_facts(bin_dir, exe):
    path = os.path.join(bin_dir, exe)
    imports, sections = wineperf.image_tables(path)
    return {"bytes": os.path.getsize(path), "imports": imports, "sections": sections}


def machine_facts(build):
    return {
        "date": time.strftime("%Y-%m-%d %H:%M %Z"),
        "cpu": cpu_model(),
        "nproc": os.cpu_count(),
        "system": platform.freedesktop_os_release().get("PRETTY_NAME", "unknown"),
        "kernel": "%s %s" % (platform.system(), platform.release()),
        "wine": command_first_line("wine", "--version"),
        "mingw": command_first_line("x86_64-w64-mingw32-g++-posix", "--version"),
        "xvfb": "Xvfb %s (tests/e2e/quibe2e/session.py)" % session.SCREEN,
        "build": build,
        "clock_ticks": CLOCK_TICKS,
    }


# ---- main ----

def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the windows build directory")
    parser.add_argument("--out", default=os.path.join(ROOT, "docs", "performance.md"))
    parser.add_argument("--host-page", default=os.path.join(ROOT, "docs", "performance-host.md"))
    parser.add_argument("--windows", type=int, default=6)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--round-seconds", type=float, default=10)
    parser.add_argument("--settle", type=float, default=2)
    parser.add_argument("--reports", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--render", action="store_true", help="only rewrite the page from the last results")
    parser.add_argument("--note", help="what else ran on the machine meanwhile, for the page")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    bin_dir = os.path.join(build, "bin")
    work = os.path.join(build, "perf-wine")
    results_path = os.path.join(work, "results.json")
    host_page = open(args.host_page).read() if os.path.exists(args.host_page) else "(no host figures yet)"

    if args.render:
        with open(results_path) as source:
            results = json.load(source)
        if args.note is not None:
            results["note"] = args.note
            with open(results_path, "w") as target:
                json.dump(results, target, indent=1)
    else:
        os.makedirs(work, exist_ok=True)
        results = {"machine": machine_facts(os.path.relpath(build, ROOT)), "load_start": load_average(),
                   "settle": args.settle, "note": args.note}
        results["images"] = {"program": image_facts(bin_dir, PROGRAM_EXE),
                             "reference": image_facts(bin_dir, REFERENCE_EXE),
                             "tray": image_facts(bin_dir, TRAY_REFERENCE_EXE)}
        wine = open_session(build, work)
        try:
            env = session_env(wine)
            print("==== idle wineserver, %g s" % args.round_seconds, flush=True)
            results["idle"] = idle_baseline(env, bin_dir, work, args.round_seconds)
            print("==== side by side, %d windows of %g s" % (args.windows, args.seconds), flush=True)
            results["side_by_side"] = side_by_side(env, bin_dir, work, args.windows, args.seconds, args.settle)
            print("==== side by side with the minimal library against the tray program, %d windows of %g s"
                  % (args.windows, args.seconds), flush=True)
            results["side_by_side_tray"] = side_by_side(env, bin_dir, work, args.windows, args.seconds, args.settle,
                                                        ("minimal", "tray"))
            print("==== two copies of the reference side by side, 3 windows of %g s" % args.seconds, flush=True)
            results["twins"] = twins(env, bin_dir, work, 3, args.seconds, args.settle)
            results["alternating"] = []
            for number in range(1, args.rounds + 1):
                print("==== alone, round %d: timer, tray, program with the minimal library, program, %g s each"
                      % (number, args.round_seconds), flush=True)
                results["alternating"].append({
                    which: alone(env, bin_dir, work, which, args.round_seconds, args.settle, number)
                    for which in ("reference", "tray", "minimal", "program")})
            print("==== latency, %d reports" % args.reports, flush=True)
            results["latency"] = latency_run(env, bin_dir, work, args.reports, args.seed)
        finally:
            wine.close()
        results["load_end"] = load_average()
        with open(results_path, "w") as target:
            json.dump(results, target, indent=1)
        print("results: " + results_path)

    page = perf_page.render(results, host_page)
    with open(args.out, "w") as target:
        target.write(page)
    print("wrote " + args.out)


if __name__ == "__main__":
    main()
