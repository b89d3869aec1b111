"""Arguments, prompts and the limit: where the file name and the limit come from."""
import os
import select
import unittest

import harness
from harness import CRLF, MAX_LIMITS, ON_WINDOWS, REFUSAL, ProgramTestCase


class CompleteRunCase(ProgramTestCase):
    def assertCompleteRun(self, result, name, limit, before=()):
        """A run without DebugMode: exactly its console lines, and the list
        under `name` as the only file the run left behind."""
        self.assertEqual(result.returncode, 0, result.stdout[-400:])
        self.assertEqual(result.stderr, b"")
        checkpoints = harness.report_checkpoints(result.stdout)
        expected = harness.run_statements(1, limit, checkpoints, before=before)
        self.assertEqual(result.stdout, b"".join(expected))
        self.assertEqual(sorted(p.name for p in self.dir.iterdir()), [name])
        self.assertEqual((self.dir / name).read_bytes(), harness.prime_file_bytes(limit))


class CommandLineTest(CompleteRunCase):
    def test_arguments_give_file_name_and_limit(self):
        cases = [
            (["out.txt"], "out.txt", 1000),  # no limit text: the default
            (["out.txt", "250"], "out.txt", 250),
            (["out.txt", "250", "17", "x"], "out.txt", 250),  # the rest is ignored
            (["out.txt", "-d"], "out.txt", 1000),  # "-d" as the limit is no valid number
            (["out.txt", "0x1F"], "out.txt", 31),
            (["-debug", "100"], "-debug", 100),
            (["-dd", "100"], "-dd", 100),
        ]
        for args, name, limit in cases:
            with self.subTest(args=args):
                for leftover in self.dir.iterdir():
                    leftover.unlink()
                self.assertCompleteRun(self.run_program(args), name, limit)

    def test_minus_d_with_a_blank_is_an_ordinary_file_name(self):
        result = self.run_program(["-d ", "100"])
        # Windows drops trailing blanks from file names itself.
        name = "-d" if ON_WINDOWS else "-d "
        self.assertCompleteRun(result, name, 100)

    @unittest.skipIf(ON_WINDOWS, "where a Windows program puts /d depends on its current drive")
    def test_slash_d_is_an_ordinary_file_name(self):
        target = harness.Path("/d")
        if target.exists() or not os.access("/", os.W_OK):
            self.skipTest("/d exists already or the root directory is not writable")
        self.addCleanup(target.unlink, missing_ok=True)
        result = self.run_program(["/d", "100"])
        self.assertEqual(result.returncode, 0)
        checkpoints = harness.report_checkpoints(result.stdout)
        self.assertEqual(result.stdout, b"".join(harness.run_statements(1, 100, checkpoints)))
        self.assertEqual(list(self.dir.iterdir()), [])
        self.assertEqual(target.read_bytes(), harness.prime_file_bytes(100))


class PromptTest(CompleteRunCase):
    PROMPTS = harness.prompt_statements()

    def test_answers_on_standard_input(self):
        cases = [
            (b"out.txt\n250\n", "out.txt", 250),
            (b"out.txt\r\n250\r\n", "out.txt", 250),
            (b"out.txt\r\n250", "out.txt", 250),  # the last line needs no line end
            # Nothing trimmed; only Windows itself drops the trailing blanks of a file name.
            (b" my primes.txt \r\n250 \r\n", " my primes.txt" if ON_WINDOWS else " my primes.txt ", 1000),
            (b"o\rut.txt\r\n250\r\n", "out.txt", 250),  # a lone CR is dropped
            (b"out.txt\x1a250\r\n", "out.txt", 1000),  # Ctrl-Z ends the input for good
            (b"out.txt\r\n25\x1a0\r\n", "out.txt", 25),
            (b"out.txt\r\n$ff\r\nmore\r\n", "out.txt", 255),
        ]
        for stdin, name, limit in cases:
            with self.subTest(stdin=stdin):
                for leftover in self.dir.iterdir():
                    leftover.unlink()
                self.assertCompleteRun(self.run_program([], stdin=stdin), name, limit, before=self.PROMPTS)

    def test_input_at_its_end_sends_the_primes_to_standard_output(self):
        # Both channels hold 128-byte buffers on the one pipe: the console's
        # whole blocks go out before the primes, its remainder after them.
        for stdin in (b"", None):
            with self.subTest(stdin=stdin):
                result = self.run_program([], stdin=stdin)
                self.assertEqual(result.returncode, 0)
                checkpoints = harness.report_checkpoints(result.stdout)
                statements = harness.run_statements(1, 1000, checkpoints, before=self.PROMPTS)
                before_primes = b"".join(statements[:6])
                after_primes = b"".join(statements[6:])
                whole_blocks = len(before_primes) // 128 * 128
                expected = (before_primes[:whole_blocks] + harness.prime_file_bytes(1000)
                            + before_primes[whole_blocks:] + after_primes)
                self.assertEqual(result.stdout, expected)
                self.assertEqual(list(self.dir.iterdir()), [])

    @unittest.skipIf(ON_WINDOWS, "pseudo-terminals are POSIX only")
    def test_input_at_its_end_puts_the_primes_between_start_and_end_line_on_a_terminal(self):
        result = harness.run_on_terminal([], cwd=self.dir)
        self.assertEqual(result.returncode, 0)
        checkpoints = harness.report_checkpoints(result.stdout)
        expected = harness.run_statements(1, 1000, checkpoints, before=self.PROMPTS,
                                          primes_on_console=harness.prime_lines(1000))
        self.assertEqual(result.stdout, b"".join(expected))

    @unittest.skipIf(ON_WINDOWS, "pseudo-terminals are POSIX only")
    def test_each_prompt_is_on_screen_while_the_program_waits(self):
        term = harness.Terminal([], cwd=self.dir, stdin_on_terminal=True)
        prompts = [harness.TITLE + CRLF + harness.USAGE + CRLF + harness.FILE_NAME_PROMPT,
                   harness.LIMIT_PROMPT]
        try:
            for prompt, answer in zip(prompts, (b"out.txt\r\n", b"250\r\n")):
                shown_before = len(term.shown)
                self.assertTrue(term.read_until(prompt, timeout=20)[shown_before:].endswith(prompt))
                # Nothing more comes until the answer is typed.
                ready, _, _ = select.select([term.master], [], [], 0.3)
                self.assertEqual(ready, [])
                self.assertIsNone(term.proc.poll())
                term.send(answer)
        except BaseException:
            term.proc.kill()
            term.finish()
            raise
        result = term.finish(timeout=120)
        self.assertEqual(result.stdout[:len(prompts[0])], prompts[0])
        self.assertCompleteRun(result, "out.txt", 250, before=self.PROMPTS)


class LimitRefusalTest(ProgramTestCase):
    def assertRefused(self, result, before=b""):
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, before + REFUSAL + CRLF)
        self.assertEqual(result.stderr, b"")

    def keep_file(self, name="keep.txt"):
        path = self.dir / name
        path.write_bytes(b"not a prime list\r\n")
        os.utime(path, (1_000_000_000, 1_000_000_000))
        return path

    def assertUntouched(self, path):
        self.assertEqual(path.read_bytes(), b"not a prime list\r\n")
        self.assertEqual(path.stat().st_mtime, 1_000_000_000)
        self.assertEqual(list(self.dir.iterdir()), [path])

    def test_one_above_max_limit_is_refused_by_every_build(self):
        for build in harness.BUILDS:
            with self.subTest(build=build):
                kept = self.keep_file()
                self.assertRefused(self.run_program([kept.name, str(MAX_LIMITS[build] + 1)], build=build))
                self.assertUntouched(kept)

    def test_9999999999_is_refused_below_pellarn_15(self):
        # Its low 32 bits are 1410065407.
        for build in (1, 5, 10):
            with self.subTest(build=build):
                kept = self.keep_file()
                self.assertRefused(self.run_program([kept.name, "9999999999"], build=build))
                self.assertUntouched(kept)

    def test_9999999999_is_accepted_by_pellarn_15(self):
        # Accepted means Setup returns and the banner follows. The file is
        # created only after the banner and the start line, so a name in a
        # missing directory ends the run there, without sieving to 1.4e9.
        result = self.run_program(["no-such-dir/p.txt", "9999999999"], build=15)
        self.assertNotIn(REFUSAL, result.stdout)
        banner = harness.banner(15, 1410065407)
        self.assertTrue(result.stdout.startswith(banner + harness.sjis("  開始 ")), result.stdout[:200])

    def test_refusal_after_the_prompts_leaves_the_named_file_untouched(self):
        for limit in (b"9999999999", b"-1", b"100000001"):
            with self.subTest(limit=limit):
                kept = self.keep_file()
                result = self.run_program([], stdin=kept.name.encode() + CRLF + limit + CRLF)
                self.assertRefused(result, before=b"".join(harness.prompt_statements()))
                self.assertUntouched(kept)


if __name__ == "__main__":
    unittest.main()
