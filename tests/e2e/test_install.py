"""What `cmake --install` delivers: the four programs under bin/, runnable
from the prefix, and the manual page, which renders without a warning and
shows the program's own texts and report as a real run prints them."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

import harness

SOURCE_DIR = Path(__file__).resolve().parents[2]
GROFF = shutil.which("groff")
MAN = shutil.which("man")


def cmake_command(binary_dir):
    """The cmake that configured the binary directory, as its cache names it."""
    cache = binary_dir / "CMakeCache.txt"
    if not cache.is_file() or not (binary_dir / "cmake_install.cmake").is_file():
        return None
    match = re.search(r"^CMAKE_COMMAND:INTERNAL=(.*)$", cache.read_text(errors="replace"), re.M)
    return match.group(1) if match else None


CMAKE = cmake_command(harness.BIN_DIR)


def groff_text(page, width=80):
    """The page as plain UTF-8 text, and what groff said on standard error."""
    rendered = subprocess.run(
        [GROFF, "-ww", "-man", "-Tutf8", "-P-cbou", f"-rLL={width}n", str(page)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    return rendered.returncode, rendered.stdout.decode("utf-8"), rendered.stderr.decode(errors="replace")


def shape(*lines):
    """Console lines as a pattern for lines of the page, indented and in the
    same order, in which every number may differ: the eight hexadecimal
    digits of a code offset or a decimal number."""
    def token(part):
        if re.fullmatch(r"[0-9A-F]{8}", part):
            return "[0-9A-F]{8}"
        return "-?[0-9]+" if re.fullmatch(r"-?[0-9]+", part) else re.escape(part)

    def line_pattern(line):
        return " *" + "".join(token(part) for part in re.split(r"(\b[0-9A-F]{8}\b|-?[0-9]+)", line))

    return re.compile("^" + "\n".join(line_pattern(line) for line in lines) + "$", re.M)


@unittest.skipIf(harness.ON_WINDOWS or harness.RUNNER, "installing is tested on the native build")
@unittest.skipIf(CMAKE is None, f"{harness.BIN_DIR} is not a CMake binary directory")
class CMakeInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix="pellarn-install-")
        cls.prefix = Path(cls._tmp.name) / "prefix"
        installed = subprocess.run(
            [CMAKE, "--install", str(harness.BIN_DIR), "--prefix", str(cls.prefix)],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
        if installed.returncode != 0:
            cls._tmp.cleanup()
            raise AssertionError(f"cmake --install failed:\n{installed.stdout.decode(errors='replace')}")
        cls.page = cls.prefix / "share" / "man" / "man1" / "pellarn.1"

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def installed_run(self, build, args):
        with tempfile.TemporaryDirectory(prefix="pellarn-installed-run-") as cwd:
            completed = subprocess.run(
                [str(self.prefix / "bin" / f"pellarn-{build}"), *args],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                cwd=cwd, timeout=120, check=False)
            written = {p.name: p.read_bytes() for p in Path(cwd).iterdir()}
        return completed, written

    def test_installs_exactly_the_four_programs_and_the_manual_page(self):
        installed = sorted(str(p.relative_to(self.prefix)) for p in self.prefix.rglob("*") if p.is_file())
        self.assertEqual(
            sorted([f"bin/pellarn-{build}" for build in harness.BUILDS] + ["share/man/man1/pellarn.1"]),
            installed)
        for build in harness.BUILDS:
            self.assertTrue(os.access(self.prefix / "bin" / f"pellarn-{build}", os.X_OK), build)
        self.assertEqual((SOURCE_DIR / "docs" / "pellarn.1").read_bytes(), self.page.read_bytes())

    def test_each_installed_program_sieves_as_its_own_build(self):
        for build in harness.BUILDS:
            with self.subTest(build=build):
                completed, written = self.installed_run(build, ["x.txt", "1000"])
                self.assertEqual(0, completed.returncode, completed.stdout)
                self.assertEqual(b"", completed.stderr)
                self.assertTrue(completed.stdout.startswith(harness.banner(build, 1000)), completed.stdout[:80])
                self.assertEqual({"x.txt": harness.prime_file_bytes(1000)}, written)

    def test_each_installed_program_refuses_a_limit_one_above_its_largest(self):
        for build, max_limit in harness.MAX_LIMITS.items():
            with self.subTest(build=build):
                completed, written = self.installed_run(build, ["x.txt", str(max_limit + 1)])
                self.assertEqual(1, completed.returncode)
                self.assertEqual(harness.REFUSAL + harness.CRLF, completed.stdout)
                self.assertEqual({}, written)

    @unittest.skipIf(GROFF is None, "groff is not installed")
    def test_manual_page_renders_without_a_warning_at_any_width(self):
        for width in (60, 80, 132):
            with self.subTest(width=width):
                returncode, text, warnings = groff_text(self.page, width)
                self.assertEqual(0, returncode)
                self.assertEqual("", warnings)
                self.assertIn("PELLARN(1)", text)

    @unittest.skipIf(MAN is None, "man is not installed")
    def test_man_renders_the_installed_page_without_a_warning_in_any_locale(self):
        # A UTF-8 locale renders the Japanese texts; the C locale renders on
        # a device without them and must not warn about each glyph.
        for locale in ("C.UTF-8", "C"):
            with self.subTest(locale=locale):
                env = {**os.environ, "LC_ALL": locale, "MANWIDTH": "80", "MANPAGER": "cat", "PAGER": "cat"}
                rendered = subprocess.run([MAN, "--warnings", "-l", str(self.page)], env=env,
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
                self.assertEqual(0, rendered.returncode, rendered.stderr)
                self.assertEqual(b"", rendered.stderr)
                self.assertIn(b"iconv -f CP932 -t UTF-8", rendered.stdout)

    @unittest.skipIf(GROFF is None, "groff is not installed")
    def test_manual_page_shows_the_programs_own_texts(self):
        _, text, _ = groff_text(self.page)
        for program_text in (harness.TITLE, harness.USAGE, harness.FILE_NAME_PROMPT, harness.LIMIT_PROMPT,
                             harness.REFUSAL, *(harness.sjis(s) for s in harness.SUBTITLES.values())):
            with self.subTest(text=program_text.decode("cp932")):
                self.assertIn(program_text.decode("cp932"), text)
        for name in (*harness.CHECKPOINT_NAMES, harness.DEBUG_FILE_NAME):
            self.assertIn(name, text)

    @unittest.skipIf(GROFF is None, "groff is not installed")
    def test_manual_page_examples_have_the_form_of_real_runs(self):
        _, text, _ = groff_text(self.page)

        completed, _ = self.installed_run(1, ["primes.txt", "1000"])
        self.assertEqual(0, completed.returncode)
        whole_run = completed.stdout.decode("cp932").split("\r\n")[:-1]
        self.assertGreaterEqual(len(whole_run), 13)
        self.assertRegex(text, shape(*whole_run))

        completed, _ = self.installed_run(1, ["-d", "1000"])
        self.assertEqual(0, completed.returncode)
        line_count = [line for line in completed.stdout.decode("cp932").split("\r\n") if "Line Count" in line]
        self.assertEqual(1, len(line_count))
        self.assertRegex(text, shape(*line_count))

        completed, _ = self.installed_run(1, ["no-such-directory/x.txt", "1000"])
        self.assertEqual(1, completed.returncode)
        failure = completed.stdout.decode("cp932").split("\r\n")[-2]
        self.assertRegex(text, shape(*failure.split("\n")))

if __name__ == "__main__":
    unittest.main()
