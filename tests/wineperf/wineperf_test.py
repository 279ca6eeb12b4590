"""Checks the parsing and arithmetic of scripts/perf-wine on canned input (no Wine, no timing).
Run: python3 tests/wineperf/wineperf_test.py"""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)), "tests", "e2e"))

import perf_page  # noqa: E402
import wineperf  # noqa: E402
from quibe2e import calllog  # noqa: E402


def canned(name):
    with open(os.path.join(HERE, "canned", name)) as source:
        return source.read()


class ChangingDeliveries(unittest.TestCase):
    def setUp(self):
        self.records = calllog.read(os.path.join(HERE, "canned", "poll.log"))

    def test_repeats_raw_null_short_and_latch_only_reports_are_left_out(self):
        # 2 repeats the level, 3 is raw, 6 releases a right button never held, 7 is null, 8 is
        # too short to be read.
        numbers = [r.value("n") for r in wineperf.changing_deliveries(self.records)]
        self.assertEqual(numbers, [1, 4, 5, 9])

    def test_contact_levels(self):
        table = [(0, 0), (1, 0), (2, 1), (3, 1), (4, 2), (200, 2), (255, 2)]
        for contact, level in table:
            self.assertEqual(wineperf.contact_level(contact), level, contact)

    def test_status_bytes_only_for_whole_status_records(self):
        def delivery(kind, data):
            return calllog.Entry(t=1, kind="event", name="deliver", fields={"type": kind, "bytes": data})
        self.assertIsNone(wineperf.status_bytes(delivery("258", "00" * 15)))
        self.assertIsNone(wineperf.status_bytes(delivery("259", "00" * 14)))
        self.assertIsNone(wineperf.status_bytes(delivery("259", "zz" * 15)))
        self.assertEqual(len(wineperf.status_bytes(delivery("259", "00" * 64 + "..."))), 64)


class Latencies(unittest.TestCase):
    def setUp(self):
        self.records = calllog.read(os.path.join(HERE, "canned", "poll.log"))

    def test_window_thread_is_the_one_that_polls(self):
        self.assertEqual(wineperf.poll_thread(self.records), 10)

    def test_each_change_is_timed_to_the_next_tick_by_time_stamp_not_file_order(self):
        latencies = wineperf.report_latencies(self.records)
        self.assertEqual([(l["n"], l["latency_us"], l["mode_latency_us"]) for l in latencies],
                         [(1, 6000, 6003), (4, 5000, 5002), (5, 9999, 3)])

    def test_a_change_after_the_last_tick_is_not_counted(self):
        self.assertNotIn(9, [l["n"] for l in wineperf.report_latencies(self.records)])

    def test_tick_intervals(self):
        ticks = wineperf.call_times(self.records, "TpIsDisabled", 10)
        self.assertEqual(wineperf.intervals(ticks), [10000] * 4)


class Statistics(unittest.TestCase):
    def test_nearest_rank_percentiles(self):
        values = list(range(1, 201))  # 1..200
        self.assertEqual(wineperf.percentile(values, 0.5), 100)
        self.assertEqual(wineperf.percentile(values, 0.99), 198)
        self.assertEqual(wineperf.percentile(values, 1.0), 200)
        self.assertEqual(wineperf.percentile([7], 0.99), 7)
        self.assertIsNone(wineperf.percentile([], 0.5))

    def test_summary_of_unordered_values(self):
        summary = wineperf.summarize([30, 10, 20])
        self.assertEqual((summary["min"], summary["median"], summary["max"], summary["mean"]), (10, 20, 30, 20))
        self.assertEqual(wineperf.summarize([]), {"count": 0})


class Scenario(unittest.TestCase):
    def test_same_seed_same_file_and_every_report_changes_the_icon(self):
        text = wineperf.make_scenario(250, seed=7, min_wait_ms=7, max_wait_ms=37)
        self.assertEqual(text, wineperf.make_scenario(250, seed=7, min_wait_ms=7, max_wait_ms=37))
        self.assertNotEqual(text, wineperf.make_scenario(250, seed=8, min_wait_ms=7, max_wait_ms=37))

        lines = text.splitlines()
        statuses = [line.split() for line in lines if line.startswith("status ")]
        waits = [int(line.split()[1]) for line in lines[3:] if line.startswith("wait ")]
        self.assertEqual(len(statuses), 250)
        self.assertTrue(all(7 <= wait <= 37 for wait in waits))
        self.assertGreater(len(set(waits)), 20)  # spread, not a fixed period
        self.assertEqual(lines[-1], "mark end")

        # Fed through the program's rules as delivered records, every report changes the icon.
        records = []
        for n, (_, flags, fingers, contact) in enumerate(statuses, 1):
            data = bytes([3, 1, 0, 0] + [0] * 8 + [int(flags), int(fingers), int(contact)])
            records.append(calllog.Entry(t=n, kind="event", name="deliver",
                                         fields={"n": str(n), "type": "259", "bytes": data.hex()}))
        self.assertEqual(len(wineperf.changing_deliveries(records)), 250)


class ProcFiles(unittest.TestCase):
    def test_stat_fields(self):
        stat = wineperf.parse_proc_stat(canned("proc_stat_program.txt"))
        self.assertEqual((stat["name"], stat["utime"], stat["stime"], stat["threads"]), ("QuibTPCenter.ex", 123, 45, 4))

    def test_stat_with_blanks_and_parentheses_in_the_name(self):
        stat = wineperf.parse_proc_stat(canned("proc_stat_odd.txt"))
        self.assertEqual((stat["name"], stat["utime"], stat["stime"], stat["threads"]), ("odd (name) here", 7, 3, 1))

    def test_status_values(self):
        text = canned("proc_status.txt")
        self.assertEqual(wineperf.parse_proc_status_number(text, "VmHWM"), 26640)
        self.assertEqual(wineperf.parse_proc_status_number(text, "VmRSS"), 26001)
        self.assertEqual(wineperf.parse_proc_status_number(text, "voluntary_ctxt_switches"), 2420)
        self.assertIsNone(wineperf.parse_proc_status_number(text, "VmSwap"))


    def test_mapped_modules(self):
        maps = "\n".join([
            "00400000-00401000 r--p 00000000 08:01 12 /build/bin/QuibTPCenter.exe",
            "7f0000-7f1000 r-xp 00001000 08:01 34 /usr/lib/wine/x86_64-windows/shell32.dll",
            "7f1000-7f2000 r--p 00002000 08:01 34 /usr/lib/wine/x86_64-windows/shell32.dll",
            "7f2000-7f3000 r-xp 00000000 08:01 56 /usr/lib/x86_64-linux-gnu/libX11.so.6.4.0",
            "7f3000-7f4000 rw-s 00000000 00:05 78 /dev/shm/wine-tmp (deleted)",
            "7f4000-7f5000 rw-p 00000000 00:00 0 [heap]",
            "7f5000-7f6000 rw-p 00000000 00:00 0 ",
            "7f6000-7f7000 r--p 00000000 08:01 90 /usr/lib/locale/C.utf8/LC_CTYPE"])
        self.assertEqual(wineperf.parse_mapped_modules(maps), ["QuibTPCenter.exe", "libX11.so.6.4.0", "shell32.dll"])


class HelperOutput(unittest.TestCase):
    def test_meter_line_with_a_title_with_blanks(self):
        items = wineperf.parse_meter_line(
            "title=QUIB TOUCH PAD CENTER pid=288 user_100ns=1562500 kernel_100ns=312500 "
            "peak_working_set=9064448 working_set=8847360 ok=1\r\n")
        self.assertEqual(items["title"], "QUIB TOUCH PAD CENTER")
        self.assertEqual((items["pid"], items["user_100ns"], items["kernel_100ns"]), (288, 1562500, 312500))
        self.assertEqual((items["peak_working_set"], items["ok"]), (9064448, 1))

    def test_meter_failure_line(self):
        items = wineperf.parse_meter_line("title=NOBODY HERE ok=0 failed=FindWindowExW")
        self.assertEqual((items["title"], items["ok"], items["failed"]), ("NOBODY HERE", 0, "FindWindowExW"))

    @unittest.skipUnless(os.environ.get("WINEPERF_ORDINAL_PROBE"), "run by CTest, which names a built image")
    def test_imports_and_sections_from_the_image(self):
        imports, sections = wineperf.image_tables(os.environ["WINEPERF_ORDINAL_PROBE"])
        by_dll = {entry["dll"].lower(): entry for entry in imports}
        self.assertEqual(by_dll["quibtpapi.dll"], {"dll": "QuibTPApi.dll", "entries": 10, "by_ordinal": 10})
        self.assertEqual(by_dll["kernel32.dll"]["by_ordinal"], 0)
        self.assertGreater(by_dll["kernel32.dll"]["entries"], 0)
        self.assertGreater(sections[".text"], 0)
        self.assertNotIn(".rsrc", sections)


def window(program, reference, seconds=10.0, order="reference first"):
    """One measuring window as perf_wine.py records it, with the figures that matter here."""
    def process(run):
        return {"run_s": run, "cpu_s": run, "user_s": run / 2, "system_s": run / 2, "windows_cpu_s": run,
                "threads": 1, "hwm_kb": 1024, "rss_kb": 1000,
                "tasks": {"main": {"run_s": run, "switches": 200 * seconds}}}
    return {"seconds": seconds, "wineserver_run_s": 0.2, "wineserver_cpu_s": 0.2, "order": order,
            "processes": {"program": process(program), "reference": process(reference)}}


class Page(unittest.TestCase):
    def test_windows_add_up_per_process_and_thread(self):
        total = perf_page.combine_windows([window(0.10, 0.12), window(0.30, 0.20)])
        self.assertAlmostEqual(total["seconds"], 20.0)
        self.assertAlmostEqual(total["wineserver_run_s"], 0.4)
        self.assertAlmostEqual(total["processes"]["program"]["run_s"], 0.40)
        self.assertAlmostEqual(total["processes"]["reference"]["tasks"]["main"]["run_s"], 0.32)
        self.assertEqual(total["processes"]["program"]["tasks"]["main"]["switches"], 4000)

    def test_a_missing_windows_reading_leaves_the_sum_empty(self):
        second = window(0.3, 0.2)
        del second["processes"]["program"]["windows_cpu_s"]
        total = perf_page.combine_windows([window(0.1, 0.1), second])
        self.assertIsNone(total["processes"]["program"]["windows_cpu_s"])
        self.assertAlmostEqual(total["processes"]["reference"]["windows_cpu_s"], 0.3)

    def test_the_comparison_with_two_identical_programs_is_worded_from_the_figures(self):
        table = [
            (1.03, 0.95, "no larger than"),
            (1.08, 0.95, "of the same order as"),
            (1.20, 0.95, "larger than"),
        ]
        for program_ratio, twin_ratio, wording in table:
            figures = {"order_ratios": {}, "side_median": program_ratio, "twin_median": twin_ratio}
            sentence = perf_page.order_sentence(figures)
            self.assertIn("is %s the difference" % wording, sentence, (program_ratio, twin_ratio))

    def test_host_page_is_merged_one_heading_level_down(self):
        merged = perf_page.demoted(canned("host_page.md"))
        self.assertNotIn("# Host performance figures", merged)
        self.assertIn("\n### Instructions per call (callgrind)\n", "\n" + merged + "\n")
        self.assertIn("#### A sub-heading", merged)
        self.assertIn("which rewrites `docs/performance-host.md`", merged)
        self.assertNotIn("this page", merged)

    def test_host_figures_are_read_from_its_table(self):
        page = canned("host_page.md")
        self.assertEqual(perf_page.host_quiet_tick(page), "32.0")
        self.assertEqual(perf_page.host_figures_summary(page),
                         "callback with a changing report 44.0, quiet poll tick 32.0, poll tick with a redraw 80.0")
        self.assertIsNone(perf_page.host_quiet_tick("no table here"))


def alone_round(rates_ms, peaks_mib):
    """One round of the four programs, each alone for 10 s, as perf_wine.py records it."""
    def run(which, rate_ms, peak_mib):
        return {"seconds": 10.0, "wineserver_run_s": 0.1,
                "processes": {which: {"run_s": rate_ms / 100, "hwm_kb": peak_mib * 1024,
                                      "peak_working_set": peak_mib * 1048576, "threads": 1}}}
    return {which: run(which, rate, peak) for which, rate, peak in zip(perf_page.SUBJECTS, rates_ms, peaks_mib)}


class Costs(unittest.TestCase):
    def test_the_program_is_set_against_the_tray_program_and_the_library_against_the_program(self):
        # timer, tray program, program on the minimal library, program on the simulated library
        rounds = [alone_round([10, 12, 13, 15], [17, 18, 19, 26]),
                  alone_round([10, 12, 19, 19], [17, 18, 19, 26]),
                  alone_round([10, 12, 14, 14.5], [17, 18.5, 19, 27])]
        alone = {which: perf_page.alone_figures(rounds, which) for which in perf_page.SUBJECTS}
        costs = perf_page.costs(alone)
        self.assertAlmostEqual(costs["program_memory"], 1 * 1048576)
        self.assertAlmostEqual(costs["library_memory"], 7 * 1048576)
        self.assertAlmostEqual(costs["program_hwm_kb"], 1024)
        # Medians of each round's difference, in seconds a second: 1, 7, 2 ms/s and 2, 0, 0.5 ms/s.
        self.assertAlmostEqual(costs["program_rate"], 0.002)
        self.assertAlmostEqual(costs["library_rate"], 0.0005)


if __name__ == "__main__":
    unittest.main(verbosity=2)
