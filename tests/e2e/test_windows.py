"""What only the 32-bit Windows programs show: the one-line command line,
Shift-JIS file names, the real CreateFileA's codes, the PE image behind the
failure report, and runs that must match the native programs'."""
import os
import re
import shutil
import struct
import subprocess
import unittest
from pathlib import Path

import harness
from harness import CRLF, MAX_LIMITS, ON_WINDOWS, REFUSAL, ProgramTestCase, sjis

NATIVE = Path(__file__).resolve().parents[2] / "build" / "release" / "pellarn-1"
JAPANESE_LOCALE = "ja_JP.UTF-8"

_REPORT = re.compile(
    rb"EInOutError" + re.escape(sjis("がモジュール ")) + rb"(.+) " + re.escape(sjis("の "))
    + rb"([0-9A-F]{8}) " + re.escape(sjis("で発生しました。")) + rb"\n(.*)\r\n")


def windows_path(path):
    """The Wine name of a host path: drive Z: is the host's root."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def japanese_locale_installed():
    if shutil.which("locale") is None:
        return False
    listed = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, text=True).stdout.split()
    return any(name.lower().replace("-", "") == "ja_jp.utf8" for name in listed)


def japanese_env():
    """Wine takes its ANSI code page from the host locale: ja_JP gives 932."""
    return {**os.environ, "LC_ALL": JAPANESE_LOCALE, "LANG": JAPANESE_LOCALE}


def run_native(args, cwd):
    completed = subprocess.run([str(NATIVE), *args], cwd=cwd, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    return harness.Run(completed.returncode, completed.stdout, completed.stderr)


def mask_numbers(output):
    """Console lines with every number replaced, so that runs at different
    times of day compare equal line by line."""
    return [re.sub(rb"\d+", b"#", line) for line in output.split(b"\n")]


class PortableExecutable:
    """The few facts of a PE32 file that locate a code offset."""

    def __init__(self, path):
        self.data = Path(path).read_bytes()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise AssertionError(f"{path} is no PE file")
        sections, = struct.unpack_from("<H", self.data, pe + 6)
        optional_size, = struct.unpack_from("<H", self.data, pe + 20)
        optional = pe + 24
        self.machine, = struct.unpack_from("<H", self.data, pe + 4)
        self.magic, = struct.unpack_from("<H", self.data, optional)
        self.image_base, = struct.unpack_from("<I", self.data, optional + 28)
        self.subsystem, = struct.unpack_from("<H", self.data, optional + 68)
        self.sections = {}
        for k in range(sections):
            at = optional + optional_size + 40 * k
            name = self.data[at:at + 8].rstrip(b"\0").decode()
            virtual_size, virtual_address, _, raw_pointer = struct.unpack_from("<IIII", self.data, at + 8)
            self.sections[name] = (virtual_address, virtual_size, raw_pointer)

    def code_bytes(self, rva, count):
        """`count` bytes of .text ending just before `rva`, or None outside it."""
        start, size, raw = self.sections[".text"]
        if not start + count <= rva <= start + size:
            return None
        at = raw + rva - start
        return self.data[at - count:at]


@unittest.skipUnless(ON_WINDOWS, "Windows programs only")
class CommandLineTest(ProgramTestCase):
    """The arguments come from one command line, as typed at a command prompt
    (a batch file holds the line, so that no launcher re-quotes it)."""

    def run_typed(self, line, stdin=b"", program=None):
        program = program or harness.program(1)
        batch = self.dir / "typed.bat"
        batch.write_bytes(b"@" + windows_path(program).encode() + b" " + line + CRLF)
        completed = subprocess.run([*harness.RUNNER, "cmd", "/c", batch.name], cwd=self.dir, input=stdin,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
        return harness.Run(completed.returncode, completed.stdout, completed.stderr)

    def assert_run_wrote(self, result, name, limit, prompted=False):
        self.assertEqual(result.returncode, 0, result.stdout[-300:])
        before = b"".join(harness.prompt_statements()) if prompted else b""
        self.assertTrue(result.stdout.startswith(before + harness.banner(1, limit)), result.stdout[:300])
        self.assertEqual((self.dir / name).read_bytes(), harness.prime_file_bytes(limit))

    def test_quotes_and_separators_split_the_line_into_name_and_limit(self):
        cases = [
            (b'"my primes.txt" 100', "my primes.txt", 100),
            (b'my" "primes.txt 100', "my primes.txt", 100),      # a stretch inside a word
            (b'"" out.txt 50', "out.txt", 50),                   # an empty pair makes no argument
            (b'out.txt\t50', "out.txt", 50),                     # a tab separates like a blank
            (b'out.txt   "50"   extra words', "out.txt", 50),    # further arguments are ignored
            (b'"open quote.txt 50', "open quote.txt 50", 1000),  # a stretch runs to the line's end
        ]
        for line, name, limit in cases:
            with self.subTest(line=line):
                self.assert_run_wrote(self.run_typed(line), name, limit)
                (self.dir / name).unlink()

    def test_an_empty_pair_alone_is_no_argument_and_the_program_prompts(self):
        answers = b"asked.txt\r\n60\r\n"
        launches = {"typed": lambda: self.run_typed(b'""', stdin=answers),
                    "by wine": lambda: self.run_program([""], stdin=answers)}
        for launch, start in launches.items():
            with self.subTest(launch=launch):
                self.assert_run_wrote(start(), "asked.txt", 60, prompted=True)
                (self.dir / "asked.txt").unlink()

    def test_arguments_handed_over_by_wine_arrive_whole(self):
        self.assert_run_wrote(self.run_program(["my primes.txt", "100"]), "my primes.txt", 100)


@unittest.skipUnless(ON_WINDOWS, "Windows programs only")
@unittest.skipUnless(japanese_locale_installed(), f"the {JAPANESE_LOCALE} locale is not installed")
class ShiftJisNameTest(ProgramTestCase):
    # 表 and ソ end in the byte 0x5C, the backslash: a name split at it would
    # name a directory that does not exist.
    NAMES = ("素数表.txt", "ソート", "全角　空白.txt")

    def test_file_names_with_double_byte_characters_are_created_as_given(self):
        for name in self.NAMES:
            with self.subTest(name=name):
                result = self.run_program([name, "100"], env=japanese_env())
                self.assertEqual(result.returncode, 0, result.text[-300:])
                self.assertEqual((self.dir / name).read_bytes(), harness.prime_file_bytes(100))

    def test_the_failure_report_names_a_program_whose_name_ends_in_0x5c(self):
        program = self.dir / "素数表.exe"
        shutil.copyfile(harness.program(1), program)
        completed = subprocess.run([*harness.RUNNER, str(program), "missing\\p.txt", "10"], cwd=self.dir,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=600,
                                   env=japanese_env())
        self.assertEqual(completed.returncode, 1)
        report = _REPORT.search(completed.stdout)
        self.assertIsNotNone(report, completed.stdout)
        self.assertEqual(report.group(1), sjis("素数表.exe"))


@unittest.skipUnless(ON_WINDOWS, "Windows programs only")
class SystemCodesTest(ProgramTestCase):
    def test_names_that_cannot_be_created_end_with_the_report_of_their_code(self):
        (self.dir / "adir").mkdir()
        cases = [
            ("missing/primes.txt", "不正なファイル名です."),     # 3: path not found
            ("missing\\primes.txt", "不正なファイル名です."),
            ("adir", "ファイルへのアクセスが拒否されました."),   # 5: a directory
        ]
        for name, message in cases:
            with self.subTest(name=name):
                result = self.run_program([name, "100"])
                self.assertEqual(result.returncode, 1)
                head = harness.banner(1, 100) + sjis("  開始 ")
                self.assertTrue(result.stdout.startswith(head), result.stdout[:200])
                report = _REPORT.search(result.stdout)
                self.assertIsNotNone(report, result.stdout)
                self.assertTrue(result.stdout.endswith(report.group(0)))
                self.assertEqual(report.group(1), harness.exe_name(1).encode())
                self.assertEqual(report.group(3), sjis(message))
        self.assertEqual([p.name for p in self.dir.iterdir()], ["adir"])

    def test_the_code_offset_is_the_place_of_a_call_of_the_failure_path(self):
        result = self.run_program(["missing\\primes.txt", "100"])
        offset = int(_REPORT.search(result.stdout).group(2), 16)
        image = PortableExecutable(harness.program(1))
        call = image.code_bytes(offset, 5)
        self.assertIsNotNone(call, f"offset {offset:08X} lies outside the code")
        self.assertEqual(call[0], 0xE8, f"no call ends at {offset:08X}")
        target = (offset + struct.unpack("<i", call[1:])[0]) & 0xFFFFFFFF
        nm = shutil.which("i686-w64-mingw32-nm")
        if nm is None:
            self.skipTest("i686-w64-mingw32-nm is not installed: the call's target is not checked")
        symbols = subprocess.run([nm, str(harness.program(1))], stdout=subprocess.PIPE, text=True).stdout
        fail_pending = [int(line.split()[0], 16) for line in symbols.splitlines()
                        if re.search(r" __Z\d+FailPendingIov$", line)]
        self.assertEqual(len(fail_pending), 1, "FailPendingIo not found among the symbols")
        self.assertEqual(image.image_base + target, fail_pending[0])

    def test_a_failed_write_reports_the_system_code_itself(self):
        # Wine's Z: drive reaches the host's always-full device: WriteFile
        # fails with ERROR_DISK_FULL, shown in the general form.
        result = self.run_program(["Z:\\dev\\full", "1000"])
        self.assertEqual(result.returncode, 1)
        report = _REPORT.search(result.stdout)
        self.assertIsNotNone(report, result.stdout)
        self.assertEqual(report.group(3), sjis("I/O エラー (112)."))
        self.assertEqual(result.stdout[:report.start()].count(b"\n"), 2)  # banner and start line

    def test_a_reader_that_leaves_ends_the_run_with_exit_code_1(self):
        # An empty first answer sends the list to standard output.
        program = subprocess.Popen(harness.command(1, []), cwd=self.dir, stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        program.stdin.write(b"\r\n1000000\r\n")
        program.stdin.close()
        self.assertIn(b"\r\n97\r\n", program.stdout.read(400))
        program.stdout.close()
        self.assertEqual(program.wait(timeout=600), 1)

    def test_the_null_device_takes_the_list_and_no_file_is_made(self):
        result = self.run_program(["NUL", "10000"])
        self.assertEqual(result.returncode, 0, result.text[-300:])
        checkpoints = harness.report_checkpoints(result.stdout)
        self.assertEqual(result.stdout, b"".join(harness.run_statements(1, 10000, checkpoints)))
        self.assertEqual(list(self.dir.iterdir()), [])


@unittest.skipUnless(ON_WINDOWS, "Windows programs only")
class SameAsNativeTest(ProgramTestCase):
    """The Windows program's output against an independent expectation and,
    where the native build is there, against the native program's."""

    def native(self, args):
        if not NATIVE.exists():
            return None
        native_dir = self.dir / "native"
        native_dir.mkdir(exist_ok=True)
        return run_native(args, native_dir), native_dir

    def test_the_prime_file_of_one_million_and_the_console_lines(self):
        result = self.run_program(["primes.txt", "1000000"])
        self.assertEqual(result.returncode, 0, result.text[-300:])
        written = (self.dir / "primes.txt").read_bytes()
        self.assertEqual(written, harness.prime_file_bytes(1_000_000))
        checkpoints = harness.report_checkpoints(result.stdout)
        self.assertEqual(result.stdout, b"".join(harness.run_statements(1, 1_000_000, checkpoints)))
        native = self.native(["primes.txt", "1000000"])
        if native is not None:
            native_run, native_dir = native
            self.assertEqual(written, (native_dir / "primes.txt").read_bytes())
            self.assertEqual(mask_numbers(result.stdout), mask_numbers(native_run.stdout))

    def test_debug_mode_prints_the_same_listing_of_6732_bytes(self):
        listing = b"".join(harness.selftest_statements())
        self.assertEqual(len(listing), 6732)
        for flag in ("-d", "-D"):
            with self.subTest(flag=flag):
                result = self.run_program([flag, "100"])
                self.assertEqual(result.returncode, 0, result.text[-300:])
                self.assertEqual(result.stdout[:6732], listing)
                self.assertTrue(result.stdout[6732:].startswith(harness.banner(1, 100)))
                self.assertEqual((self.dir / harness.DEBUG_FILE_NAME).read_bytes(), harness.prime_file_bytes(100))
        native = self.native(["-d", "100"])
        if native is not None:
            self.assertEqual(native[0].stdout[:6732], listing)

    def test_a_limit_above_max_limit_is_refused_with_exit_code_1(self):
        for limit in (MAX_LIMITS[1] + 1, -1):
            with self.subTest(limit=limit):
                result = self.run_program(["primes.txt", str(limit)])
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, REFUSAL + CRLF)
                self.assertFalse((self.dir / "primes.txt").exists())


@unittest.skipUnless(ON_WINDOWS, "Windows programs only")
class ImageTest(unittest.TestCase):
    def test_every_program_is_a_32_bit_console_program(self):
        for build in harness.BUILDS:
            with self.subTest(build=build):
                image = PortableExecutable(harness.program(build))
                # i386, PE32, console subsystem
                self.assertEqual((image.machine, image.magic, image.subsystem), (0x14C, 0x10B, 3))


if __name__ == "__main__":
    unittest.main()
