"""The checkpoint clock and the run report, seen from outside."""
import os
import subprocess
import time
import unittest

import harness
from harness import ON_WINDOWS, ProgramTestCase

DAY_MS = 86_400_000


class CheckpointClockTest(ProgramTestCase):
    # Wine alone takes seconds to start a program.
    START_SLACK_MS = 5000 if ON_WINDOWS else 1000

    def run_between_clock_readings(self, args, **kw):
        before = harness.local_ms_of_day()
        result = self.run_program(args, **kw)
        after = harness.local_ms_of_day()
        if after < before:
            self.skipTest("local midnight passed during the run")
        self.assertEqual(result.returncode, 0)
        return before, result, after

    def test_checkpoints_are_local_times_of_day_taken_in_order_during_the_run(self):
        before, result, after = self.run_between_clock_readings(["p.txt", "1000000"])
        checkpoints = harness.report_checkpoints(result.stdout)
        # Start, end and elapsed lines agree with the report.
        self.assertEqual(result.stdout, b"".join(harness.run_statements(1, 1_000_000, checkpoints)))
        self.assertEqual(checkpoints, sorted(checkpoints))
        self.assertGreaterEqual(checkpoints[0], before)
        self.assertLessEqual(checkpoints[0] - before, self.START_SLACK_MS)
        self.assertLessEqual(checkpoints[-1], after)

    @unittest.skipIf(ON_WINDOWS, "Wine takes its time zone from its own settings")
    def test_the_time_zone_of_the_environment_applies(self):
        # Half an hour east and five hours west of UTC, without daylight saving.
        for zone, offset_ms in (("XST-5:30", 19_800_000), ("YST+5", -18_000_000)):
            with self.subTest(zone=zone):
                utc_before = int(time.time() * 1000)
                result = self.run_program(["p.txt", "10"], env={**os.environ, "TZ": zone})
                utc_after = int(time.time() * 1000)
                self.assertEqual(result.returncode, 0)
                start = harness.report_checkpoints(result.stdout)[0]
                elapsed_since = (start - (utc_before + offset_ms)) % DAY_MS
                self.assertLessEqual(elapsed_since, utc_after - utc_before)

    @unittest.skipIf(ON_WINDOWS, "pseudo-terminals are POSIX only")
    def test_time_spent_at_the_prompts_lies_between_end_of_malloc_and_end_of_init(self):
        term = harness.Terminal([], cwd=self.dir, stdin_on_terminal=True)
        try:
            term.read_until(harness.FILE_NAME_PROMPT, timeout=20)
            prompt_seen = harness.local_ms_of_day()
            time.sleep(0.5)
            answered = harness.local_ms_of_day()
            term.send(b"p.txt\r\n1000\r\n")
        except BaseException:
            term.proc.kill()
            term.finish()
            raise
        result = term.finish()
        if answered < prompt_seen:
            self.skipTest("local midnight passed during the run")
        checkpoints = harness.report_checkpoints(result.stdout)
        self.assertEqual(result.stdout, b"".join(harness.run_statements(
            1, 1000, checkpoints, before=harness.prompt_statements())))
        start, malloc, init = checkpoints[:3]
        self.assertLessEqual(malloc, prompt_seen)
        self.assertGreaterEqual(init, answered)
        # Only the interval holding Setup grows with the wait.
        self.assertGreaterEqual(init - malloc, answered - prompt_seen)

    @unittest.skipIf(ON_WINDOWS, "faketime works on POSIX programs only")
    @unittest.skipIf(harness.FAKETIME is None, "faketime is not installed")
    def test_a_run_across_local_midnight_shows_negative_elapsed_seconds(self):
        # The fake clock starts two seconds before midnight and runs at real
        # speed; the run waits at its prompts until midnight has passed.
        wrapper = [harness.FAKETIME, "-f", "@2026-12-11 23:59:58"]
        env = {**os.environ, "TZ": "UTC0"}
        proc = subprocess.Popen([*wrapper, *harness.command(1, [])], cwd=self.dir, env=env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(3)
        stdout, stderr = proc.communicate(b"p.txt\r\n1000\r\n", timeout=120)
        self.assertEqual(proc.returncode, 0, stdout[-400:])
        checkpoints = harness.report_checkpoints(stdout)
        start, end = checkpoints[0], checkpoints[-1]
        self.assertGreaterEqual(start, DAY_MS - 2000)
        self.assertLess(end, 60_000)
        expected = harness.run_statements(1, 1000, checkpoints, before=harness.prompt_statements())
        self.assertEqual(stdout, b"".join(expected))
        self.assertLess(end - start, -86_300_000)
        differences = [b - a for a, b in zip(checkpoints, checkpoints[1:])]
        self.assertLess(differences[1], 0)  # EndOfInit: the first stamp after midnight
        self.assertTrue(all(d >= 0 for i, d in enumerate(differences) if i != 1), differences)


class LineCountTest(ProgramTestCase):
    def test_debug_mode_reports_the_lines_of_the_file_it_wrote(self):
        for limit, lines in ((1000, 168), (0, 2), (100, 25), (100_000, 9_592)):
            with self.subTest(limit=limit):
                result = self.run_program(["-d", str(limit)])
                self.assertEqual(result.returncode, 0)
                checkpoints = harness.report_checkpoints(result.stdout)
                expected = harness.run_statements(1, limit, checkpoints, line_count=lines,
                                                  before=harness.selftest_statements())
                self.assertEqual(result.stdout, b"".join(expected))
                written = (self.dir / harness.DEBUG_FILE_NAME).read_bytes()
                self.assertEqual(written, harness.prime_file_bytes(limit))


if __name__ == "__main__":
    unittest.main()
