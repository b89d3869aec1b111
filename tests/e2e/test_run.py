"""A whole run: the prime list file and the console lines around it."""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import harness
from harness import CRLF, MAX_LIMITS, ON_WINDOWS, ProgramTestCase

# Lines, last line and bytes of the list for the limits of the file-size table.
FILE_SIZES = {
    100: (25, b"97", 96),
    1_000: (168, b"997", 811),
    10_000: (1_229, b"9973", 7_177),
    100_000: (9_592, b"99991", 65_718),
    1_000_000: (78_498, b"999983", 616_966),
    10_000_000: (664_579, b"9999991", 5_891_695),
    100_000_000: (5_761_455, b"99999989", 56_860_455),
    500_000_000: (26_355_867, b"499999993", 283_398_987),
    1_000_000_000: (50_847_534, b"999999937", 552_807_324),
    1_500_000_000: (74_726_528, b"1499999957", 839_355_252),
}

# The small limits, each with the whole list it must give.
SMALL_LIMITS = [
    ((0, 1, 2, 3, 4), [2, 3]),
    ((5, 6), [2, 3, 5]),
    ((7, 8, 9, 10), [2, 3, 5, 7]),
    ((11, 12), [2, 3, 5, 7, 11]),
    ((13, 14, 15, 16), [2, 3, 5, 7, 11, 13]),
    ((17, 18), [2, 3, 5, 7, 11, 13, 17]),
    ((23, 24, 25, 26), [2, 3, 5, 7, 11, 13, 17, 19, 23]),
    ((37,), [2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37]),
]

# Limits where the passes change hands: an even SieveBound (the tail scan
# starts above it), an odd composite one (9), a square limit (49, 121).
BOUNDARY_LIMITS = (27, 36, 49, 50, 64, 65, 81, 82, 100, 121, 1000)


def lines_of(primes):
    return b"".join(b"%d\r\n" % p for p in primes)


class PrimeFileTest(ProgramTestCase):
    def run_to_file(self, limit, build=1, name="primes.txt"):
        result = self.run_program([name, str(limit)], build=build)
        self.assertEqual(result.returncode, 0, result.stdout[-400:])
        return (self.dir / name).read_bytes()

    def test_small_limits_give_exactly_the_listed_lines(self):
        for limits, primes in SMALL_LIMITS:
            for limit in limits:
                with self.subTest(limit=limit):
                    self.assertEqual(self.run_to_file(limit), lines_of(primes))

    def test_limits_where_the_passes_meet_give_every_prime_once(self):
        for limit in BOUNDARY_LIMITS:
            with self.subTest(limit=limit):
                self.assertEqual(self.run_to_file(limit), harness.prime_file_bytes(limit))

    def test_file_sizes_up_to_ten_million_match_the_table_and_an_independent_sieve(self):
        for limit in (100, 1_000, 10_000, 100_000, 1_000_000, 10_000_000):
            with self.subTest(limit=limit):
                content = self.run_to_file(limit)
                lines, last, size = FILE_SIZES[limit]
                self.assertEqual(len(content), size)
                self.assertEqual(content.count(b"\n"), lines)
                self.assertEqual(content.rsplit(CRLF, 2)[-2], last)
                self.assertEqual(content, harness.prime_file_bytes(limit))

    def test_every_build_writes_the_same_file(self):
        expected = harness.prime_file_bytes(1_000_000)
        for build in harness.BUILDS:
            with self.subTest(build=build):
                self.assertEqual(self.run_to_file(1_000_000, build=build, name=f"p{build}.txt"), expected)

    def test_an_existing_file_is_emptied_and_rewritten(self):
        (self.dir / "primes.txt").write_bytes(b"x" * 5000)
        self.assertEqual(self.run_to_file(10), lines_of([2, 3, 5, 7]))


@harness.slow
class DebugRunAtMaxLimitOfPellarn1Test(unittest.TestCase):
    """One run of pellarn-1 -d 100000000 serves several checks."""

    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix="pellarn-e2e-")
        cls.dir = Path(cls._tmp.name)
        cls.result = harness.run(["-d", str(MAX_LIMITS[1])], build=1, cwd=cls.dir)
        cls.facts = harness.file_facts(cls.dir / harness.DEBUG_FILE_NAME)

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def test_max_limit_is_accepted_and_the_run_completes(self):
        self.assertEqual(self.result.returncode, 0)
        self.assertEqual(self.result.stderr, b"")

    def test_the_file_of_one_hundred_million_matches_the_table_and_an_independent_generator(self):
        lines, last, size = FILE_SIZES[100_000_000]
        self.assertEqual((self.facts.size, self.facts.lines, self.facts.last_line), (size, lines, last))
        self.assertTrue(self.facts.only_digit_lines)
        self.assertEqual(self.facts.sha256, harness.prime_file_sha256(100_000_000))

    def test_console_shows_listing_run_lines_and_the_line_count(self):
        checkpoints = harness.report_checkpoints(self.result.stdout)
        expected = harness.run_statements(1, MAX_LIMITS[1], checkpoints, line_count=5_761_455,
                                          before=harness.selftest_statements())
        self.assertEqual(self.result.stdout, b"".join(expected))


@harness.slow
class RunAtMaxLimitTest(ProgramTestCase):
    """The larger builds at their MaxLimit: slow (tens of seconds each)."""

    def check_run(self, build, stdout):
        limit = MAX_LIMITS[build]
        checkpoints = harness.report_checkpoints(stdout)
        self.assertEqual(stdout, b"".join(harness.run_statements(build, limit, checkpoints)))
        facts = harness.file_facts(self.dir / "primes.txt")
        lines, last, size = FILE_SIZES[limit]
        self.assertEqual((facts.size, facts.lines, facts.last_line), (size, lines, last))
        self.assertTrue(facts.only_digit_lines)

    def test_pellarn_5_and_10_accept_their_max_limit_and_write_every_prime(self):
        for build in (5, 10):
            with self.subTest(build=build):
                result = self.run_program(["primes.txt", str(MAX_LIMITS[build])], build=build)
                self.assertEqual(result.returncode, 0)
                self.check_run(build, result.stdout)

    def test_pellarn_15_at_max_limit_writes_every_prime_in_little_more_memory_than_the_bitmap(self):
        # ru_maxrss of the children of a small wrapper is the program's own peak.
        wrapper = ("import resource, subprocess, sys;"
                   "code = subprocess.run(sys.argv[2:]).returncode;"
                   "open(sys.argv[1], 'w').write('%d %d' % (code, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))")
        measured = self.dir.parent / (self.dir.name + ".rss")
        self.addCleanup(measured.unlink, missing_ok=True)
        completed = subprocess.run([sys.executable, "-c", wrapper, str(measured),
                                    *harness.command(15, ["primes.txt", str(MAX_LIMITS[15])])],
                                   cwd=self.dir, stdout=subprocess.PIPE, check=True, timeout=900)
        code, peak_kib = map(int, measured.read_text().split())
        self.assertEqual(code, 0)
        self.check_run(15, completed.stdout)
        if not ON_WINDOWS:  # under Wine the peak is the emulator's, not the program's
            bitmap = harness.BITMAP_BYTES[15]
            self.assertGreaterEqual(peak_kib * 1024, bitmap)
            self.assertLessEqual(peak_kib * 1024, bitmap + 4 * 1024 * 1024)


class ConsoleLinesTest(ProgramTestCase):
    def expected_output(self, stdout, build, limit):
        checkpoints = harness.report_checkpoints(stdout)
        return harness.run_statements(build, limit, checkpoints)

    def test_console_lines_to_a_pipe(self):
        for build, limit in ((1, 1000), (1, 0), (5, 4294967296), (10, 2), (15, 100)):
            with self.subTest(build=build, limit=limit):
                result = self.run_program(["p.txt", str(limit)], build=build)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stderr, b"")
                shown = limit % 2**32
                self.assertEqual(result.stdout, b"".join(self.expected_output(result.stdout, build, shown)))

    @unittest.skipIf(ON_WINDOWS, "pseudo-terminals are POSIX only")
    def test_console_lines_to_a_terminal(self):
        for build in harness.BUILDS:
            with self.subTest(build=build):
                result = harness.run_on_terminal(["p.txt", "100"], build=build, cwd=self.dir)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stdout, b"".join(self.expected_output(result.stdout, build, 100)))


@unittest.skipIf(ON_WINDOWS, "strace and pseudo-terminals are POSIX only")
@unittest.skipIf(harness.STRACE is None, "strace is not installed or may not trace here")
class PlatformWritesTest(ProgramTestCase):
    def traced(self, args, on_terminal):
        log = self.dir / "strace.log"
        wrapper = harness.strace_wrapper(log)
        if on_terminal:
            result = harness.run_on_terminal(args, cwd=self.dir, wrapper=wrapper)
        else:
            result = self.run_program(args, wrapper=wrapper)
        self.assertEqual(result.returncode, 0)
        return result, harness.traced_writes(log)

    def test_prime_file_gets_whole_blocks_of_128_bytes_and_one_shorter_last(self):
        for limit in (1000, 100_000, 2):
            with self.subTest(limit=limit):
                _, writes = self.traced(["primes.txt", str(limit)], on_terminal=False)
                path = str((self.dir / "primes.txt").resolve())
                written = [w.data for w in writes if w.target == path]
                expected = harness.prime_file_bytes(limit)
                self.assertEqual([len(d) for d in written], harness.block_sizes(len(expected)))
                self.assertEqual(b"".join(written), expected)

    def test_terminal_console_gets_one_write_per_statement(self):
        result, writes = self.traced(["primes.txt", "1000"], on_terminal=True)
        console = [w.data for w in writes if w.fd == 1]
        self.assertEqual(console, harness.run_statements(1, 1000, harness.report_checkpoints(result.stdout)))

    def test_piped_console_gets_blocks_of_128_bytes(self):
        result, writes = self.traced(["primes.txt", "1000"], on_terminal=False)
        console = [w.data for w in writes if w.fd == 1]
        self.assertEqual([len(d) for d in console], harness.block_sizes(len(result.stdout)))
        self.assertEqual(b"".join(console), result.stdout)


if __name__ == "__main__":
    unittest.main()
