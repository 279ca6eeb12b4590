"""docs/performance.md from the figures that perf_wine.py gathered (its results.json) and the
host page that scripts/perf-host writes. The comparisons in the text are worded from the
figures themselves, so that a rerun never leaves the text saying what its numbers do not."""

import statistics

import wineperf


def fmt(value, digits=2):
    return "-" if value is None else ("%.*f" % (digits, value))


def ms(us):
    return "-" if us is None else "%.2f" % (us / 1000)


def pct(value):
    return "-" if value is None else "%.1f %%" % (100 * value)


def mib(value):
    return "-" if value is None else "%.1f" % (value / 1048576)


def mib_delta(value):
    return "-" if value is None else "%+.1f MiB" % (value / 1048576)


def signed(value, digits):
    return "-" if value is None else "%+.*f" % (digits, value)


def ratio(a, b):
    return a / b if a is not None and b else None


SUMMED = ("seconds", "wineserver_run_s", "wineserver_cpu_s")
# The programs measured, in the order of each round, with their names on the page.
SUBJECTS = {
    "reference": ("`%s`" % wineperf.REFERENCE_EXE, "bare timer: hidden window, 10 ms timer"),
    "tray": ("`%s`" % wineperf.TRAY_REFERENCE_EXE, "bare tray program: the same and one notification-area icon"),
    "minimal": ("`%s`, minimal library" % wineperf.PROGRAM_EXE, "the program on a do-nothing `QuibTPApi.dll`"),
    "program": ("`%s`, simulated library" % wineperf.PROGRAM_EXE, "the program on the simulated `QuibTPApi.dll`"),
}
SUMMED_PER_PROCESS = ("run_s", "cpu_s", "user_s", "system_s", "windows_cpu_s")


def combine_windows(windows):
    """Several measuring windows as one: times added up, memory and thread counts from the last."""
    total = {key: sum(w[key] for w in windows) for key in SUMMED}
    total["processes"] = {}
    for name, last in windows[-1]["processes"].items():
        entry = dict(last)
        for key in SUMMED_PER_PROCESS:
            values = [w["processes"][name].get(key) for w in windows]
            entry[key] = sum(values) if None not in values else None
        entry["tasks"] = {tid: {field: sum(w["processes"][name]["tasks"].get(tid, {}).get(field, 0) for w in windows)
                                for field in ("run_s", "switches")} for tid in last["tasks"]}
        total["processes"][name] = entry
    return total


def pair_figures(windows, measured, reference):
    """Two programs measured side by side: totals, each window's ratio, their median, and the
    ratio for each start order."""
    side = combine_windows(windows)
    p = {"side": side, "windows": windows, "measured": side["processes"][measured],
         "reference": side["processes"][reference]}
    p["ratio"] = ratio(p["measured"]["run_s"], p["reference"]["run_s"])
    p["window_ratios"] = [ratio(w["processes"][measured]["run_s"], w["processes"][reference]["run_s"])
                          for w in windows]
    # Medians of the single windows: one window that met a burst of other work moves them least.
    p["median"] = statistics.median(p["window_ratios"])
    # The extra CPU time per second of the measured program, from the same median.
    p["extra_ms_per_s"] = 1000 * (p["median"] - 1) * p["reference"]["run_s"] / side["seconds"]
    p["order_ratios"] = {}
    for order in ("%s first" % reference, "%s first" % measured):
        part = [w for w in windows if w.get("order") == order]
        if part:
            both = combine_windows(part)["processes"]
            p["order_ratios"][order] = ratio(both[measured]["run_s"], both[reference]["run_s"])
    return p


def alone_figures(rounds, which):
    """One program over the rounds in which it ran alone: CPU time per second (all rounds, and
    each), and its memory as the median of the rounds."""
    runs = [x[which] for x in rounds]
    processes = [run["processes"][which] for run in runs]
    seconds = sum(run["seconds"] for run in runs)
    peaks = [p["peak_working_set"] for p in processes if "peak_working_set" in p]
    return {
        "run_s": sum(p["run_s"] for p in processes),
        "seconds": seconds,
        "rate": sum(p["run_s"] for p in processes) / seconds,
        "rates": [p["run_s"] / run["seconds"] for p, run in zip(processes, runs)],
        "server_rate": sum(run["wineserver_run_s"] for run in runs) / seconds,
        "hwm_kb": statistics.median(p["hwm_kb"] for p in processes),
        "peak_working_set": statistics.median(peaks) if peaks else None,
        "threads": processes[-1]["threads"],
        "modules": processes[-1].get("modules", []),
    }


def costs(alone):
    """What the program costs beyond a bare program with one tray icon (the program on the
    minimal library, less the tray program), and the simulated library's own share (the program
    on it, less the program on the minimal library): memory in bytes from the medians, CPU in
    seconds a second as the median of each round's difference, since the programs of one round
    ran one after the other and a burst of other work meets one round rather than all."""
    def rate_difference(more, less):
        return statistics.median(a - b for a, b in zip(alone[more]["rates"], alone[less]["rates"]))
    return {
        "program_memory": difference_of(alone, "minimal", "tray"),
        "library_memory": difference_of(alone, "program", "minimal"),
        "program_hwm_kb": difference_of(alone, "minimal", "tray", "hwm_kb"),
        "library_hwm_kb": difference_of(alone, "program", "minimal", "hwm_kb"),
        "program_rate": rate_difference("minimal", "tray"),
        "library_rate": rate_difference("program", "minimal"),
    }


def key_figures(r):
    """The figures that the summary, the tables and the interpretation share."""
    timer_pair = pair_figures(r["side_by_side"]["windows"], "program", "reference")
    windows, side = timer_pair["windows"], timer_pair["side"]
    rounds = r["alternating"]
    f = {"side": side, "windows": windows, "rounds": rounds, "lat": r["latency"], "idle": r["idle"]}
    f["prog"], f["ref"] = timer_pair["measured"], timer_pair["reference"]
    f["side_ratio"] = timer_pair["ratio"]
    f["window_ratios"] = timer_pair["window_ratios"]
    f["side_median"] = timer_pair["median"]
    f["order_ratios"] = timer_pair["order_ratios"]
    f["tray_pair"] = pair_figures(r["side_by_side_tray"]["windows"], "minimal", "tray")
    f["alone"] = {which: alone_figures(rounds, which) for which in SUBJECTS}
    f["costs"] = costs(f["alone"])
    twin_windows = r.get("twins", {}).get("windows", [])
    f["twin_first"] = sum(w["processes"]["first"]["run_s"] for w in twin_windows)
    f["twin_second"] = sum(w["processes"]["second"]["run_s"] for w in twin_windows)
    f["twin_ratio"] = ratio(f["twin_second"], f["twin_first"])
    f["twin_ratios"] = [ratio(w["processes"]["second"]["run_s"], w["processes"]["first"]["run_s"])
                        for w in twin_windows]
    f["twin_median"] = statistics.median(f["twin_ratios"]) if twin_windows else None
    f["round_ratios"] = [ratio(x["program"]["processes"]["program"]["run_s"] / x["program"]["seconds"],
                               x["reference"]["processes"]["reference"]["run_s"] / x["reference"]["seconds"])
                         for x in rounds]
    f["alone_median"] = statistics.median(f["round_ratios"])
    f["alone_prog"] = sum(x["program"]["processes"]["program"]["run_s"] for x in rounds)
    f["alone_ref"] = sum(x["reference"]["processes"]["reference"]["run_s"] for x in rounds)
    f["alone_prog_s"] = sum(x["program"]["seconds"] for x in rounds)
    f["alone_ref_s"] = sum(x["reference"]["seconds"] for x in rounds)
    f["alone_ratio"] = ratio(f["alone_prog"] / f["alone_prog_s"], f["alone_ref"] / f["alone_ref_s"])
    f["server_prog_rate"] = sum(x["program"]["wineserver_run_s"] for x in rounds) / f["alone_prog_s"]
    f["server_ref_rate"] = sum(x["reference"]["wineserver_run_s"] for x in rounds) / f["alone_ref_s"]
    f["idle_rate"] = r["idle"]["wineserver_run_s"] / r["idle"]["seconds"]
    f["ticks_per_second"] = f["lat"]["ticks_per_second"] or 1000 / wineperf.POLL_PERIOD_MS
    return f


def render(results, host_page):
    r = results
    m = r["machine"]
    f = key_figures(r)
    side, rounds, lat, prog, ref = f["side"], f["rounds"], f["lat"], f["prog"], f["ref"]
    lines = []
    add = lines.append

    add("# Performance")
    add("")
    add("What the program costs while it runs, and how quickly its icon follows the pad. Two halves:")
    add("the real `QuibTPCenter.exe` measured under Wine (`scripts/perf-wine`, which writes this page),")
    add("and the platform-free code measured on the Linux host (`scripts/perf-host`, which writes")
    add("[performance-host.md](performance-host.md); its content is repeated at the end of this page).")
    add("No test asserts on any of these figures: the test suites check behaviour, and what follows")
    add("are measurements to read.")
    add("")
    add("## Summary")
    add("")
    add("| | figure |")
    add("|---|---|")
    c, tray_pair, alone = f["costs"], f["tray_pair"], f["alone"]
    add("| memory beyond a bare program with one notification-area icon: the program on a do-nothing library, peak working set | **%s** (%s against %s MiB) |"
        % (mib_delta(c["program_memory"]), mib(alone["minimal"]["peak_working_set"]), mib(alone["tray"]["peak_working_set"])))
    add("| CPU time on a quiet pad against that tray program, side by side (%d windows of %.0f s) | **%s** of the tray program's (median of the windows; %s ms/s) |"
        % (len(tray_pair["windows"]), tray_pair["windows"][0]["seconds"], pct(tray_pair["median"]),
           signed(tray_pair["extra_ms_per_s"], 2)))
    add("| the simulated library's own share, on top: peak working set, CPU time alone (median of %d rounds) | %s (%s MiB in all), %s ms/s |"
        % (len(rounds), mib_delta(c["library_memory"]), mib(alone["program"]["peak_working_set"]),
           signed(1000 * c["library_rate"], 2)))
    add("| CPU time on a quiet pad with the simulated library against a program that only runs a 10 ms timer, side by side (%d windows of %.0f s) | **%s** of the reference (median of the windows; all together %s s against %s s, %s) |"
        % (len(f["windows"]), f["windows"][0]["seconds"], pct(f["side_median"]), fmt(prog["run_s"], 3),
           fmt(ref["run_s"], 3), pct(f["side_ratio"])))
    add("| the same, each alone (%d rounds of %.0f s) | **%s** (median of the rounds; all together %s s against %s s, %s) |"
        % (len(rounds), f["alone_prog_s"] / max(len(rounds), 1), pct(f["alone_median"]), fmt(f["alone_prog"], 3),
           fmt(f["alone_ref"], 3), pct(f["alone_ratio"])))
    if f["twin_median"] is not None:
        add("| the measure's own spread: two copies of the timer program side by side | %s (median of %d windows) |"
            % (pct(f["twin_median"]), len(f["twin_ratios"])))
    add("| CPU time per second, program alone on the simulated library: its process, and the wineserver above idle | %s ms/s and %s ms/s |"
        % (fmt(1000 * f["alone_prog"] / f["alone_prog_s"], 1), fmt(1000 * (f["server_prog_rate"] - f["idle_rate"]), 1)))
    add("| peak resident memory (VmHWM): timer / tray program / program on the minimal / on the simulated library | %s MiB |"
        % " / ".join(fmt(alone[which]["hwm_kb"] / 1024, 1) for which in SUBJECTS))
    add("| `QuibTPCenter.exe` | %s bytes; static, imports only Windows DLLs and `QuibTPApi.dll` (by ordinal) |"
        % format(r["images"]["program"]["bytes"], ","))
    add("| report-to-icon latency (%d reports) | median %s ms, 99th percentile %s ms, max %s ms |"
        % (lat["timed"], ms(lat["latency_us"]["median"]), ms(lat["latency_us"]["p99"]), ms(lat["latency_us"]["max"])))
    add("| poll ticks under Wine | %s a second; interval median %s ms, 99th percentile %s ms |"
        % (fmt(lat["ticks_per_second"], 1), ms(lat["tick_interval_us"]["median"]), ms(lat["tick_interval_us"]["p99"])))
    host_summary = host_figures_summary(host_page)
    if host_summary:
        add("| host, instructions per call (callgrind) | %s |" % host_summary)
    add("")
    add("## How to rerun")
    add("")
    add("    scripts/perf-wine             # builds build/wineperf, measures under Wine, rewrites this page")
    add("    scripts/perf-wine --render    # rewrites this page from the last results (after perf-host)")
    add("    scripts/perf-host             # the host half: rewrites docs/performance-host.md")
    add("")
    add("`scripts/perf-wine` takes about eight minutes once built. It starts a Wine session of its own")
    add("(Xvfb display, prefix and wineserver in `%s/perf-wine/`), so the wineserver works for this" % m["build"])
    add("run alone and no other program shares the desktop. Options: `--build` (another Windows build of")
    add("the windows preset; this page measured `%s`), `--windows` and `--seconds` (side by side, each pair," % m["build"])
    add("default 6 windows of 10 s), `--rounds` and `--round-seconds` (each alone, default 3")
    add("rounds of 10 s), `--reports` (latency, default 300), `--note` (what else ran on the machine,")
    add("for the table below). The raw figures are kept in")
    add("`%s/perf-wine/results.json`, the simulated library's log of the latency run in" % m["build"])
    add("`latency.log` beside it. The machine is shared: run it when it is otherwise quiet, and compare")
    add("the medians rather than the totals when it is not.")
    add("")
    add("## Machine")
    add("")
    add("| | |")
    add("|---|---|")
    add("| date | %s |" % m["date"])
    add("| CPU | %s, %d cores (`nproc`), shared with other work |" % (m["cpu"], m["nproc"]))
    add("| system | %s, kernel %s |" % (m.get("system", "not recorded"), m["kernel"]))
    add("| Wine | %s, 64-bit prefix, %s |" % (m["wine"], m["xvfb"]))
    add("| compiler | %s |" % m["mingw"])
    add("| build | `cmake --preset windows -B %s` (MinSizeRel, static, stripped) |" % m["build"])
    add("| load average (1, 5, 15 min) | %s at the start, %s at the end |" % (r["load_start"], r["load_end"]))
    if r.get("note"):
        add("| other work meanwhile | %s |" % r["note"])
    add("")
    add("## The program under Wine")
    add("")
    add("### Size and imports")
    add("")
    add("| image | bytes | code (`.text`) | resources (`.rsrc`) | imports (DLL: entries) |")
    add("|---|---:|---:|---:|---|")
    for key, name in (("program", wineperf.PROGRAM_EXE), ("reference", wineperf.REFERENCE_EXE),
                      ("tray", wineperf.TRAY_REFERENCE_EXE)):
        image = r["images"][key]
        add("| `%s` | %s | %s | %s | %s |" % (
            name, format(image["bytes"], ","), format(image.get("sections", {}).get(".text", 0), ","),
            format(image.get("sections", {}).get(".rsrc", 0), ","), ", ".join(
            "%s: %d%s" % (i["dll"], i["entries"], " by ordinal" if i["entries"] and i["by_ordinal"] == i["entries"] else "")
            for i in image["imports"])))
    add("")
    add("From the images' own import tables. All are linked statically (`-static -static-libgcc")
    add("-static-libstdc++`), so no libstdc++, libgcc or winpthread DLL has to lie beside them: the")
    add("program imports DLLs of Windows itself and the maker's `QuibTPApi.dll`, whose ten entries it")
    add("binds by ordinal alone.")
    add("")
    for line in against_tray(r, f):
        add(line)
    add("### CPU time on a quiet pad, against the bare timer")
    add("")
    add("The program runs linked to the simulated library (`padsim`) on a quiet pad: tray mode 1, no")
    add("reports, the library's log off, so every 10 ms poll tick makes its two library calls and finds")
    add("nothing to draw. The reference is `reference_timer.exe` (`tests/wineperf/reference_timer.cpp`):")
    add("a hidden window, a 10 ms `SetTimer` and a `GetMessageW` loop, nothing else, built the same way.")
    add("The difference between the two is the program's own work on its quiet ticks.")
    add("")
    add("Each window starts after the program has linked (the helper `padctl` reaching the library's")
    add("control pipe, which the library opens at the program's first `TpConnect`) and %s s of" % fmt(r["settle"], 1))
    add("settling. CPU time is read three ways:")
    add("")
    add("- *run time*: the scheduler's run time of every thread of the Linux process that runs the .exe")
    add("  (`/proc/<pid>/task/*/schedstat`, nanoseconds). That is the process started as `wine <exe>`,")
    add("  which Wine turns into the program's own; its `/proc/<pid>/cmdline` then names the .exe. The")
    add("  figure the ratios use.")
    add("- *utime + stime*: `/proc/<pid>/stat`, in clock ticks of %d ms." % (1000 // m["clock_ticks"]))
    add("- *Windows*: `GetThreadTimes` summed over the process's threads, read by `process_meter.exe`")
    add("  (`tests/wineperf/process_meter.cpp`). `GetProcessTimes` on another process does not work")
    add("  under this Wine: its readings do not grow with the target's CPU time (here %s)."
        % process_times_note(prog))
    add("")
    add("Side by side, both running through %d windows of %.0f s, half of them with the reference"
        % (len(f["windows"]), f["windows"][0]["seconds"]))
    add("started first and half with the program started first (the two are restarted in between):")
    add("")
    add("| window | started first | program run time | reference run time | program / reference | wineserver, for both |")
    add("|---|---|---:|---:|---:|---:|")
    for index, (w, window_ratio) in enumerate(zip(f["windows"], f["window_ratios"]), 1):
        add("| %d | %s | %s s | %s s | %s | %s s |" % (
            index, w.get("order", "-").split()[0], fmt(w["processes"]["program"]["run_s"], 3),
            fmt(w["processes"]["reference"]["run_s"], 3), pct(window_ratio), fmt(w["wineserver_run_s"], 3)))
    for order in ("reference first", "program first"):
        part = [w for w in f["windows"] if w.get("order") == order]
        if part:
            both = combine_windows(part)
            add("| %s first, %.0f s | | %s s | %s s | %s | %s s |" % (
                order.split()[0], both["seconds"], fmt(both["processes"]["program"]["run_s"], 3),
                fmt(both["processes"]["reference"]["run_s"], 3),
                pct(ratio(both["processes"]["program"]["run_s"], both["processes"]["reference"]["run_s"])),
                fmt(both["wineserver_run_s"], 3)))
    add("| all, %.0f s | | %s s | %s s | %s (median of the windows **%s**) | %s s |" % (
        side["seconds"], fmt(prog["run_s"], 3), fmt(ref["run_s"], 3), pct(f["side_ratio"]),
        pct(f["side_median"]), fmt(side["wineserver_run_s"], 3)))
    add("")
    add("The same %.1f s by each way of reading it:" % side["seconds"])
    add("")
    add("| process | run time s | ms per s | utime + stime s (user / system) | Windows s | threads |")
    add("|---|---:|---:|---:|---:|---:|")
    for key, name in (("program", wineperf.PROGRAM_EXE), ("reference", wineperf.REFERENCE_EXE)):
        p = side["processes"][key]
        add("| `%s` | %s | %s | %s (%s / %s) | %s | %d |" % (
            name, fmt(p["run_s"], 3), fmt(1000 * p["run_s"] / side["seconds"]), fmt(p["cpu_s"]),
            fmt(p["user_s"]), fmt(p["system_s"]), windows_cpu(p), p["threads"]))
    add("| program / reference | **%s** | | %s | %s | |" % (
        pct(f["side_ratio"]), pct(ratio(prog["cpu_s"], ref["cpu_s"])),
        pct(ratio(prog.get("windows_cpu_s"), ref.get("windows_cpu_s")))))
    add("| wineserver, for both | %s | %s | %s | | |" % (
        fmt(side["wineserver_run_s"], 3), fmt(1000 * side["wineserver_run_s"] / side["seconds"]),
        fmt(side["wineserver_cpu_s"])))
    add("")
    add("Per thread, over the same time (run time, and wake-ups as voluntary context switches):")
    add("")
    add("| process | thread | run time s | wake-ups per second |")
    add("|---|---|---:|---:|")
    for key, name in (("program", wineperf.PROGRAM_EXE), ("reference", wineperf.REFERENCE_EXE)):
        tasks = side["processes"][key]["tasks"]
        for tid in sorted(tasks, key=lambda t: (t != "main", t)):
            label = "main (the window thread)" if tid == "main" else tid
            add("| `%s` | %s | %s | %s |" % (name, label, fmt(tasks[tid]["run_s"], 3),
                                           fmt(tasks[tid]["switches"] / side["seconds"], 1)))
    add("")
    add("The program's other threads belong to the simulated library (its report player and its")
    add("control pipe); on a quiet pad with the log off they sleep throughout.")
    add("")
    if r.get("twins"):
        add("The measure's own spread: two copies of the reference, side by side in the same way")
        add("(Linux run time; the copies are alike in everything but their start order):")
        add("")
        add("| window | first started | second started | second / first |")
        add("|---|---:|---:|---:|")
        for index, w in enumerate(r["twins"]["windows"], 1):
            add("| %d | %s s | %s s | %s |" % (index, fmt(w["processes"]["first"]["run_s"], 3),
                                            fmt(w["processes"]["second"]["run_s"], 3),
                                            pct(ratio(w["processes"]["second"]["run_s"], w["processes"]["first"]["run_s"]))))
        add("| all | %s s | %s s | %s (median of the windows **%s**) |" % (
            fmt(f["twin_first"], 3), fmt(f["twin_second"], 3), pct(f["twin_ratio"]), pct(f["twin_median"])))
        add("")
    add("Each alone, in turn (the reference, then the program, %d rounds), so that the wineserver's work"
        % len(rounds))
    add("for each can be told apart. With neither running, the session's own processes cost the")
    add("wineserver %s ms per second (%.0f s measured)." % (fmt(1000 * f["idle_rate"]), f["idle"]["seconds"]))
    add("")
    add("| round | reference run time | program run time | ratio | wineserver with the reference | wineserver with the program |")
    add("|---|---:|---:|---:|---:|---:|")
    for index, x in enumerate(rounds, 1):
        rp = x["reference"]["processes"]["reference"]
        pp = x["program"]["processes"]["program"]
        add("| %d | %s s in %.1f s | %s s in %.1f s | %s | %s s | %s s |" % (
            index, fmt(rp["run_s"], 3), x["reference"]["seconds"], fmt(pp["run_s"], 3), x["program"]["seconds"],
            pct(ratio(pp["run_s"] / x["program"]["seconds"], rp["run_s"] / x["reference"]["seconds"])),
            fmt(x["reference"]["wineserver_run_s"], 3), fmt(x["program"]["wineserver_run_s"], 3)))
    add("| all | %s s in %.1f s | %s s in %.1f s | %s (median of the rounds **%s**) | %s ms/s | %s ms/s |" % (
        fmt(f["alone_ref"], 3), f["alone_ref_s"], fmt(f["alone_prog"], 3), f["alone_prog_s"], pct(f["alone_ratio"]),
        pct(f["alone_median"]),
        fmt(1000 * f["server_ref_rate"]), fmt(1000 * f["server_prog_rate"])))
    add("")
    add("### Memory")
    add("")
    add("| process | peak working set (Windows) | peak resident (VmHWM) | threads |")
    add("|---|---:|---:|---:|")
    for which, (name, _) in SUBJECTS.items():
        a = alone[which]
        add("| %s | %s MiB | %s MiB | %d |" % (name, mib(a["peak_working_set"]), fmt(a["hwm_kb"] / 1024, 1), a["threads"]))
    add("| the program's cost: minimal library less tray program | **%s** | %s | |"
        % (mib_delta(c["program_memory"]), mib_delta(None if c["program_hwm_kb"] is None else 1024 * c["program_hwm_kb"])))
    add("| the simulated library's share: simulated less minimal library | **%s** | %s | |"
        % (mib_delta(c["library_memory"]), mib_delta(None if c["library_hwm_kb"] is None else 1024 * c["library_hwm_kb"])))
    add("")
    add("Medians of the %d rounds in which each ran alone, read at the end of its window (`GetProcessMemoryInfo`"
        % len(rounds))
    add("from `process_meter.exe`; `/proc/<pid>/status`). Most of every figure is Wine's own code and data,")
    add("mapped into every process; the bare timer shows how much. The tray program adds what any")
    add("program with a notification-area icon pays for: `shell32` and the DLLs it brings, and the")
    add("icon's hand-over to the shell. Beyond it, the program's cost is its code and resources, its")
    add("21 loaded icons, the modules it maps beyond the tray program's (below) and its library")
    add("link. The simulated library's share is its own code, its report player and control-pipe")
    add("threads with their stacks, and its buffers; the maker's library will have its own.")
    add("")
    add("Modules mapped (`/proc/<pid>/maps`), each set against the one before it:")
    add("")
    previous = None
    for which, (name, _) in SUBJECTS.items():
        modules = alone[which]["modules"]
        if previous is None:
            add("- %s: %d, itself and Wine's DLLs and Unix libraries." % (name, len(modules)))
        else:
            more = [module for module in modules if module not in previous]
            fewer = [module for module in previous if module not in modules]
            add("- %s: %s%s." % (name, ", ".join("`%s`" % module for module in more) or "nothing more",
                                 "; not %s" % ", ".join("`%s`" % module for module in fewer) if fewer else ""))
        previous = modules
    add("")
    add("The program's stack protection draws its guard at start-up from `RtlGenRandom` (advapi32")
    add("`SystemFunction036`), which maps no further module; no crypto provider is loaded.")
    add("")
    add("### Report-to-icon latency")
    add("")
    add("The simulated library plays a generated scenario of %d status reports (seed %d), each changing"
        % (lat["reports"], lat["seed"]))
    add("the finger count or the contact level, spaced by waits drawn evenly from 7 to 37 ms so that")
    add("they fall at every phase of the poll. The library's log stamps each delivery (`event=deliver`,")
    add("written just before it calls the program's callback) and each library call, in microseconds")
    add("from one clock. The program redraws the icon on the next poll tick after the report: the")
    add("tick calls `TpIsDisabled`, then `TpGetTrayMode`, then, with the refresh flag set, hands the")
    add("new picture to the shell.")
    add("")
    add("- *Latency* is the time from a delivery to the next `TpIsDisabled` of the window thread (the")
    add("  thread that makes the poll calls): the start of the tick that redraws.")
    add("- A report that lands between a tick's `TpIsDisabled` and its flag test is drawn by that same")
    add("  tick, so the latency overstates those; *to the mode call*, the time to the next")
    add("  `TpGetTrayMode`, after which the redraw follows at once, counts them at their real tick.")
    add("- The parser (`tests/wineperf/wineperf.py`, checked by the `wineperf_parser` test) follows the")
    add("  program's rules and times only reports that change the status; a report that changes nothing")
    add("  is not drawn.")
    add("")
    add("| | count | min | median | 90th pct | 99th pct | max | mean |")
    add("|---|---:|---:|---:|---:|---:|---:|---:|")
    for key, label in (("latency_us", "delivery to the next tick, ms"),
                       ("mode_latency_us", "delivery to the mode call, ms"),
                       ("tick_interval_us", "interval between ticks, ms")):
        t = lat[key]
        add("| %s | %d | %s | %s | %s | %s | %s | %s |" % (
            label, t["count"], ms(t.get("min")), ms(t.get("median")), ms(t.get("p90")), ms(t.get("p99")),
            ms(t.get("max")), ms(t.get("mean"))))
    add("")
    add("%d reports delivered, %d of them changing the status, %d timed (a change needs a tick after"
        % (lat["delivered"], lat["changing"], lat["timed"]))
    add("it); %s poll ticks a second over the %s s of reports; %d library errors or lost log lines; exit"
        % (fmt(lat["ticks_per_second"], 1), fmt(lat["span_s"], 1), lat["errors"]))
    add("code %d. Load average %s before this run, %s after it." % (lat["exit"], lat["load_before"], lat["load_after"]))
    add("")
    add("## Interpretation")
    add("")
    for paragraph in interpretation(r, f, host_page):
        add(paragraph)
        add("")
    add("## Host figures")
    add("")
    add("Copied from [performance-host.md](performance-host.md), which `scripts/perf-host` writes, when this")
    add("page was written; `scripts/perf-wine --render` after `scripts/perf-host` brings it up to date.")
    add("")
    add(demoted(host_page))
    return "\n".join(lines).rstrip() + "\n"


def against_tray(r, f):
    """The section that sets the program beside a bare program with one tray icon, and the
    simulated library's share apart."""
    pair, alone, c, m = f["tray_pair"], f["alone"], f["costs"], r["machine"]
    lines = []
    add = lines.append
    add("### What the program costs, against a bare tray program")
    add("")
    add("Four programs are measured, each alone in turn in every round, and the last two also side by side:")
    add("")
    add("- %s (`tests/wineperf/reference_timer.cpp`): a hidden window, a 10 ms `SetTimer` and a" % SUBJECTS["reference"][0])
    add("  `GetMessageW` loop, nothing else.")
    add("- %s (`tests/wineperf/reference_timer.cpp`, built with `REFERENCE_TRAY_ICON`): the same and one notification-area icon," % SUBJECTS["tray"][0])
    add("  added with `Shell_NotifyIconW` (a `NOTIFYICONDATAW` of 976 bytes, a system icon). What any")
    add("  program that shows an icon pays, and the reference for the program's cost.")
    add("- the program on the minimal library: `QuibTPCenter.exe` copied into `%s/perf-minimal/` beside" % m["build"])
    add("  a `QuibTPApi.dll` (`tests/wineperf/minimal_tpapi.cpp`, with the ten entries of the host's")
    add("  `tests/perf/null_touchpad.cpp`) that exports the same ordinals and does nothing else: it links")
    add("  at the first `TpConnect`, answers an enabled pad and tray mode 1, starts no thread and sends no")
    add("  reports. Less the tray program, this is what the program itself costs.")
    add("- the program on the simulated library (`bin/`, as everywhere else on this page). Less the")
    add("  program on the minimal library, this is the simulated library's own share, which the maker's")
    add("  library replaces with its own.")
    add("")
    add("Each window starts %s s after the program is under way: the tray program's icon and the"
        % fmt(r["settle"], 1))
    add("program's are found in the notification area by `process_meter.exe` (the program adds its icon")
    add("when it links, 1.5 s after its start), the simulated library's program is found linked by `padctl`.")
    add("")
    add("Side by side, the program on the minimal library and the tray program, through %d windows of %.0f s:"
        % (len(pair["windows"]), pair["windows"][0]["seconds"]))
    add("")
    add("| window | started first | program run time | tray program run time | program / tray program | wineserver, for both |")
    add("|---|---|---:|---:|---:|---:|")
    for index, (w, window_ratio) in enumerate(zip(pair["windows"], pair["window_ratios"]), 1):
        add("| %d | %s | %s s | %s s | %s | %s s |" % (
            index, "program" if w.get("order") == "minimal first" else "tray program",
            fmt(w["processes"]["minimal"]["run_s"], 3), fmt(w["processes"]["tray"]["run_s"], 3),
            pct(window_ratio), fmt(w["wineserver_run_s"], 3)))
    side = pair["side"]
    add("| all, %.0f s | | %s s | %s s | %s (median of the windows **%s**) | %s s |" % (
        side["seconds"], fmt(pair["measured"]["run_s"], 3), fmt(pair["reference"]["run_s"], 3), pct(pair["ratio"]),
        pct(pair["median"]), fmt(side["wineserver_run_s"], 3)))
    add("")
    add("Each alone (run time of the Linux process, as below; the wineserver's with the session's idle")
    add("%s ms/s included):" % fmt(1000 * f["idle_rate"]))
    add("")
    add("| process | run time | ms per s | ms per s, each round | wineserver ms per s |")
    add("|---|---:|---:|---|---:|")
    for which, (name, _) in SUBJECTS.items():
        a = alone[which]
        add("| %s | %s s in %.1f s | %s | %s | %s |" % (
            name, fmt(a["run_s"], 3), a["seconds"], fmt(1000 * a["rate"]),
            ", ".join(fmt(1000 * rate) for rate in a["rates"]), fmt(1000 * a["server_rate"])))
    add("| the program's cost: minimal library less tray program | | **%s** (median of the rounds) | | |"
        % signed(1000 * c["program_rate"], 2))
    add("| the simulated library's share: simulated less minimal library | | **%s** (median of the rounds) | | |"
        % signed(1000 * c["library_rate"], 2))
    add("")
    return lines


def windows_cpu(entry):
    if "windows_cpu_s" in entry:
        return fmt(entry["windows_cpu_s"])
    return "- (%s)" % entry.get("windows_failure", "no reading")


def process_times_note(entry):
    readings = entry.get("windows_process_times_s")
    if not readings:
        return "no reading"
    return "%s s before the window and %s s after it, while the run time grew by %s s" % (
        fmt(readings[0]), fmt(readings[1]), fmt(entry["run_s"]))


def interpretation(r, f, host_page):
    prog, ref, lat = f["prog"], f["ref"], f["lat"]
    per_tick_prog = 1e6 * f["alone_prog"] / f["alone_prog_s"] / f["ticks_per_second"]
    per_tick_ref = 1e6 * f["alone_ref"] / f["alone_ref_s"] / f["ticks_per_second"]
    quiet = host_quiet_tick(host_page)
    texts = [cost_paragraph(f)]
    single = f["window_ratios"] + f["round_ratios"]
    texts.append(
        "**Against the bare timer.** On a quiet pad the program's CPU time, with the simulated library, was %s of the reference's side by side and"
        " %s with each alone (medians of the single windows; %s and %s for all windows together)."
        " Single windows ranged from %s to %s: the machine is shared, and a burst of other work slows"
        " whichever process it meets, which the medians weigh least.%s At about %s ticks a second the program spent %s µs of CPU per poll tick and"
        " the bare timer %s µs. Nearly all of it is the timer under Wine: each `WM_TIMER` comes from the"
        " wineserver and wakes the thread out of `GetMessageW` (about %s wake-ups a second for either"
        " window thread). The program's own work on a quiet tick, two library calls and two flag tests, is"
        " %s instructions on the host (below), a few nanoseconds."
        % (pct(f["side_median"]), pct(f["alone_median"]), pct(f["side_ratio"]), pct(f["alone_ratio"]),
           pct(min(single)), pct(max(single)), order_sentence(f), fmt(f["ticks_per_second"], 0), fmt(per_tick_prog, 1), fmt(per_tick_ref, 1),
           fmt(main_wakeups(f["side"]), 0), quiet or "about thirty"))
    texts.append(
        "**The wineserver** works for every tick too: %s ms per second with the program alone and %s ms"
        " with the reference alone, against %s ms with neither running. Its share moves with whatever"
        " else the session does (a tray icon, the helper programs before and after each window), so"
        " the process figures are the fairer comparison."
        % (fmt(1000 * f["server_prog_rate"]), fmt(1000 * f["server_ref_rate"]), fmt(1000 * f["idle_rate"])))
    interval = lat["tick_interval_us"]
    p99, worst_latency = lat["latency_us"]["p99"], lat["latency_us"]["max"]
    texts.append(
        "**Latency.** A report reaches the icon at the next poll tick: median %s ms, 99th percentile"
        " %s ms from delivery to the tick that redraws, with ticks %s ms apart on average (99th"
        " percentile of the interval %s ms). Reports at random phases of the poll wait, on average,"
        " half an interval, and at most one interval plus the timer's lateness; %s. The slowest of the"
        " %d, %s ms, is a tick that came late on this shared two-core machine. These are Wine's"
        " figures, where a 10 ms timer ticks every 10 ms. On Windows a 10 ms `SetTimer` ticks at the"
        " system timer's resolution, usually 15.6 ms: the poll runs about 64 times a second there, and"
        " a report reaches the icon at most one such tick later."
        % (ms(lat["latency_us"]["median"]), ms(p99), ms(interval["mean"]), ms(interval["p99"]),
           "the 99th percentile stays within one interval plus %s ms" % ms(max(p99 - interval["mean"], 0))
           if p99 is not None else "",
           lat["timed"], ms(worst_latency)))
    program, reference = r["images"]["program"], r["images"]["reference"]
    resources = program.get("sections", {}).get(".rsrc", 0)
    texts.append(
        "**Size.** `QuibTPCenter.exe` is %s bytes against %s for the bare timer program. %s bytes"
        " (%s) are its resources: the application icon with images up to 256×256, the 20"
        " notification-area icons, the class menu in 29 languages, the version record and the"
        " manifest. Its code (`.text`) is %s bytes, against %s for the timer program."
        % (format(program["bytes"], ","), format(reference["bytes"], ","), format(resources, ","),
           pct(ratio(resources, program["bytes"])), format(program.get("sections", {}).get(".text", 0), ","),
           format(reference.get("sections", {}).get(".text", 0), ",")))
    return texts


def cost_paragraph(f):
    pair, alone, c = f["tray_pair"], f["alone"], f["costs"]
    gap = abs(pair["median"] - 1)
    twin_gap = abs(f["twin_median"] - 1) if f["twin_median"] is not None else None
    if twin_gap is None:
        spread = ""
    elif gap <= twin_gap:
        spread = ", a difference no larger than between two copies of the bare timer (%.1f %%)" % (100 * twin_gap)
    else:
        spread = ", against a difference of %.1f %% between two copies of the bare timer" % (100 * twin_gap)
    # How far apart one program's own rounds lay: the yardstick for the differences between them.
    round_spread = max(max(a["rates"]) - min(a["rates"]) for a in alone.values())
    within = max(abs(c["program_rate"]), abs(c["library_rate"])) < round_spread
    return (
        "**What the program costs.** Beyond a bare program that shows one notification-area icon, the"
        " program on a do-nothing library has a peak working set %s larger (%s against %s MiB) and, side"
        " by side on a quiet pad, spends %s of the tray program's CPU time (median of the windows, %s ms"
        " a second; single windows %s to %s)%s. The tray program itself is %s above the bare timer"
        " (%s MiB): the shell's DLLs and the icon, which every program with an icon pays. The"
        " simulated library adds %s on top, %s MiB in all; the difference of %s between the program"
        " with the simulated library and the bare timer is these three parts together. With each alone,"
        " the medians of the rounds' differences were %s ms a second for the program and %s ms for the"
        " simulated library, while the rounds of one and the same program lay up to %s ms a second"
        " apart%s."
        % (mib_delta(c["program_memory"]).lstrip("+"), mib(alone["minimal"]["peak_working_set"]),
           mib(alone["tray"]["peak_working_set"]), pct(pair["median"]), signed(pair["extra_ms_per_s"], 2),
           pct(min(pair["window_ratios"])), pct(max(pair["window_ratios"])), spread,
           mib_delta(difference_of(alone, "tray", "reference")).lstrip("+"),
           mib(alone["reference"]["peak_working_set"]), mib_delta(c["library_memory"]).lstrip("+"),
           mib(alone["program"]["peak_working_set"]),
           mib_delta(difference_of(alone, "program", "reference")).lstrip("+"),
           signed(1000 * c["program_rate"], 2), signed(1000 * c["library_rate"], 2), fmt(1000 * round_spread),
           ": on this shared machine, CPU time measured alone does not tell them apart" if within else ""))


def difference_of(alone, more, less, key="peak_working_set"):
    a, b = alone[more][key], alone[less][key]
    return None if a is None or b is None else a - b


def order_sentence(f):
    text = ""
    if len(f["order_ratios"]) == 2:
        text += (" Side by side the start order counts as well: %s with the reference started first, %s"
                 " with the program started first." % (pct(f["order_ratios"]["reference first"]),
                                                       pct(f["order_ratios"]["program first"])))
    if f["twin_median"] is not None:
        program_gap, twin_gap = abs(f["side_median"] - 1), abs(f["twin_median"] - 1)
        if program_gap <= twin_gap:
            size = "no larger than"
        elif program_gap <= 2 * twin_gap:
            size = "of the same order as"
        else:
            size = "larger than"
        text += (" Two copies of the reference itself, side by side in the same way, came out at %s of each"
                 " other (median): the program's difference from the reference (%.1f %%) is %s the"
                 " difference between two identical programs (%.1f %%)." % (pct(f["twin_median"]), 100 * program_gap,
                                                                            size, 100 * twin_gap))
    return text


def main_wakeups(side):
    rates = [p["tasks"]["main"]["switches"] / side["seconds"] for p in side["processes"].values()
             if "main" in p["tasks"]]
    return sum(rates) / len(rates) if rates else None


def host_quiet_tick(page):
    for line in page.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if cells and cells[0] == "poll_quiet" and len(cells) > 3:
            return cells[3]
    return None


def host_figures_summary(page):
    wanted = {"report_changing": "callback with a changing report", "poll_quiet": "quiet poll tick",
              "poll_redraw": "poll tick with a redraw"}
    found = []
    for line in page.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if cells and cells[0] in wanted and len(cells) > 3:
            found.append("%s %s" % (wanted[cells[0]], cells[3]))
    return ", ".join(found)


def demoted(page):
    """The host page under this page's headings: its title dropped, every heading one level down."""
    out = []
    for line in page.splitlines():
        if line.startswith("# "):
            continue
        # Its own words for itself, read here on another page.
        line = line.replace("which rewrites this page", "which rewrites `docs/performance-host.md`")
        out.append("#" + line if line.startswith("#") else line)
    return "\n".join(out).strip()
