"""The debug-mode mask dump and bit-operation self-test."""
import os
import unittest

import harness
from harness import CRLF, MAX_LIMITS, ON_WINDOWS, ProgramTestCase

LISTING_STATEMENTS = harness.selftest_statements()
LISTING = b"".join(LISTING_STATEMENTS)


class ListingTest(ProgramTestCase):
    def assertDebugRun(self, result, build, limit, before=()):
        self.assertEqual(result.returncode, 0, result.stdout[-400:])
        checkpoints = harness.report_checkpoints(result.stdout)
        lines = len(harness.prime_lines(limit))
        expected = harness.run_statements(build, limit, checkpoints, line_count=lines,
                                          before=[*before, *LISTING_STATEMENTS])
        self.assertEqual(result.stdout, b"".join(expected))
        self.assertEqual(sorted(p.name for p in self.dir.iterdir()), [harness.DEBUG_FILE_NAME])
        self.assertEqual((self.dir / harness.DEBUG_FILE_NAME).read_bytes(), harness.prime_file_bytes(limit))

    def test_listing_is_byte_for_byte_the_same_in_every_build_for_both_switches(self):
        self.assertEqual((len(LISTING), LISTING.count(CRLF)), (6732, 134))
        for build in harness.BUILDS:
            for switch in ("-d", "-D"):
                with self.subTest(build=build, switch=switch):
                    self.assertDebugRun(self.run_program([switch, "100"], build=build), build, 100)

    def test_switch_typed_at_the_prompt_selects_debug_mode(self):
        for answer in (b"-d", b"-D"):
            with self.subTest(answer=answer):
                result = self.run_program([], stdin=answer + CRLF + b"30" + CRLF)
                self.assertDebugRun(result, 1, 30, before=harness.prompt_statements())

    def test_limit_above_max_limit_prints_only_the_refusal_line(self):
        kept = self.dir / harness.DEBUG_FILE_NAME
        kept.write_bytes(b"kept\r\n")
        os.utime(kept, (1_000_000_000, 1_000_000_000))
        for build in harness.BUILDS:
            for switch in ("-d", "-D"):
                with self.subTest(build=build, switch=switch):
                    result = self.run_program([switch, str(MAX_LIMITS[build] + 1)], build=build)
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(result.stdout, harness.REFUSAL + CRLF)
                    self.assertEqual(kept.read_bytes(), b"kept\r\n")
                    self.assertEqual(kept.stat().st_mtime, 1_000_000_000)


@unittest.skipIf(ON_WINDOWS, "strace and pseudo-terminals are POSIX only")
@unittest.skipIf(harness.STRACE is None, "strace is not installed or may not trace here")
class ListingWritesTest(ProgramTestCase):
    def test_terminal_gets_one_write_per_statement_of_the_listing(self):
        log = self.dir.parent / (self.dir.name + ".strace")
        self.addCleanup(log.unlink, missing_ok=True)
        result = harness.run_on_terminal(["-d", "100"], cwd=self.dir, wrapper=harness.strace_wrapper(log))
        self.assertEqual(result.returncode, 0)
        console = [w.data for w in harness.traced_writes(log) if w.fd == 1]
        expected = harness.run_statements(1, 100, harness.report_checkpoints(result.stdout), line_count=25,
                                          before=LISTING_STATEMENTS)
        self.assertEqual(console, expected)

    def test_pipe_gets_the_listing_in_blocks_of_128_bytes(self):
        log = self.dir.parent / (self.dir.name + ".strace")
        self.addCleanup(log.unlink, missing_ok=True)
        result = self.run_program(["-d", "100"], wrapper=harness.strace_wrapper(log))
        self.assertEqual(result.returncode, 0)
        console = [w.data for w in harness.traced_writes(log) if w.fd == 1]
        self.assertEqual([len(d) for d in console], harness.block_sizes(len(result.stdout)))
        self.assertEqual(b"".join(console), result.stdout)
        self.assertTrue(result.stdout.startswith(LISTING))


if __name__ == "__main__":
    unittest.main()
