"""Runs the real programs for the end-to-end tests.

The program to run is a parameter, so that one suite serves the native build
and the cross-built Windows one under Wine:
  PELLARN_BIN_DIR     directory holding pellarn-1 ... pellarn-15
  PELLARN_EXE_SUFFIX  "" natively, ".exe" for the Windows build
  PELLARN_RUNNER      command put in front, e.g. "wine" (empty natively)
  PELLARN_SKIP_SLOW   "1" skips the runs at the larger builds' MaxLimit
                      (minutes each under an emulator)
"""
import errno
import hashlib
import os
import re
import select
import shlex
import shutil
import subprocess
import tempfile
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

BIN_DIR = Path(os.environ.get("PELLARN_BIN_DIR", Path(__file__).resolve().parents[2] / "build" / "release"))
EXE_SUFFIX = os.environ.get("PELLARN_EXE_SUFFIX", "")
RUNNER = shlex.split(os.environ.get("PELLARN_RUNNER", ""))
ON_WINDOWS = EXE_SUFFIX == ".exe"
SKIP_SLOW = os.environ.get("PELLARN_SKIP_SLOW") == "1"

MAX_LIMITS = {1: 100_000_000, 5: 500_000_000, 10: 1_000_000_000, 15: 1_500_000_000}
BUILDS = tuple(MAX_LIMITS)


def slow(test):
    """Marks a test that sieves up to hundreds of millions (tens of seconds natively)."""
    return unittest.skipIf(SKIP_SLOW, "slow run skipped (PELLARN_SKIP_SLOW=1)")(test)


def program(build=1):
    return BIN_DIR / f"pellarn-{build}{EXE_SUFFIX}"


def exe_name(build=1):
    return f"pellarn-{build}{EXE_SUFFIX}"


def command(build, args):
    return [*RUNNER, str(program(build)), *args]


@dataclass
class Run:
    returncode: int
    stdout: bytes
    stderr: bytes

    @property
    def text(self):
        """Standard output decoded from Shift-JIS."""
        return self.stdout.decode("cp932")


def run(args=(), build=1, stdin=b"", cwd=None, timeout=600, wrapper=(), **popen):
    """Runs one program to its end; stdin bytes, or None for no redirection.
    wrapper: a command put in front (strace, faketime)."""
    completed = subprocess.run(
        [*wrapper, *command(build, list(args))],
        input=stdin,
        stdin=None if stdin is not None else subprocess.DEVNULL,
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        cwd=cwd,
        timeout=timeout,
        **popen,
    )
    return Run(completed.returncode, completed.stdout, completed.stderr)


def sjis(text):
    return text.encode("cp932")


def prime_file_bytes(limit):
    """The expected prime list, from a sieve of our own in Python."""
    if limit < 5:
        primes = [2, 3]
    else:
        sieve = bytearray([1]) * (limit + 1)
        sieve[0:2] = b"\x00\x00"
        for i in range(2, int(limit ** 0.5) + 1):
            if sieve[i]:
                sieve[i * i :: i] = bytes(len(range(i * i, limit + 1, i)))
        primes = [i for i in range(limit + 1) if sieve[i]]
    return b"".join(b"%d\r\n" % p for p in primes)


class ProgramTestCase(unittest.TestCase):
    """Each test runs in a fresh temporary directory of its own."""

    def setUp(self):
        self._tmp = tempfile.TemporaryDirectory(prefix="pellarn-e2e-")
        self.dir = Path(self._tmp.name)
        self.addCleanup(self._tmp.cleanup)

    def run_program(self, args=(), build=1, stdin=b"", **kw):
        kw.setdefault("cwd", self.dir)
        return run(args, build=build, stdin=stdin, **kw)


# ---------------------------------------------------------------------------
# The console lines, built from the rules of the program's texts, so that a
# test can compare a run's whole output byte for byte. The times of day are
# the only values a test cannot know in advance: it reads them from the
# report and rebuilds every line around them.

TITLE = sjis("ザンテロ・バージョン５")
SUBTITLES = {1: "(１億未満最適化)", 5: "(５億未満最適化)", 10: "(１０億未満最適化)", 15: "(１５億未満最適化)"}
BITMAP_BYTES = {build: limit // 16 + 4 for build, limit in MAX_LIMITS.items()}
USAGE = b"usage: <Exec-filename> [OutPutFileName] LimitCount"
FILE_NAME_PROMPT = sjis("出力ファイル名を入れてください：")
LIMIT_PROMPT = sjis("限界値を入れてください：")
REFUSAL = sjis("素数上限値が大きすぎるので中止します !")
DEBUG_FILE_NAME = "$sosuu$.txt"
CRLF = b"\r\n"
CHECKPOINT_NAMES = ("StartOfProg", "EndOfMalloc", "EndOfInit", "EndOf3", "EndOfSearch", "EndOfSave", "EndOfProg")


def fixed_seconds(ms):
    """A whole number of milliseconds as seconds: 3 decimals, right-aligned in 10."""
    sign = "-" if ms < 0 else ""
    whole, frac = divmod(abs(ms), 1000)
    return f"{sign}{whole}.{frac:03d}".rjust(10).encode()


def banner(build, limit):
    return TITLE + sjis(SUBTITLES[build]) + b"(%d)" % limit + CRLF


def prompt_statements():
    """What a run without arguments writes before it has read both answers."""
    return [TITLE + CRLF, USAGE + CRLF, FILE_NAME_PROMPT, LIMIT_PROMPT]


def report_statements(checkpoints, line_count=None):
    statements = []
    if line_count is not None:
        statements.append(b"Line Count   = %d lines\r\n" % line_count)
    statements.append(CRLF)
    statements.append(b"StartOfProg  = %d ms\r\n" % checkpoints[0])
    for slot in range(1, 7):
        label = CHECKPOINT_NAMES[slot].ljust(13).encode() + b"= "
        statements.append(label + b"%d ms" % checkpoints[slot])
        statements.append(b"   (%d ms)\r\n" % (checkpoints[slot] - checkpoints[slot - 1]))
    return statements


def run_statements(build, limit, checkpoints, line_count=None, before=(), primes_on_console=()):
    """The console statements of a complete run, in order; joined, its whole output."""
    start, end = checkpoints[0], checkpoints[6]
    return [
        *before,
        banner(build, limit),
        sjis("  開始 ") + b"%d" % start + CRLF,
        *primes_on_console,
        sjis("  終了 ") + b"%d" % end + CRLF,
        sjis("実行時間は"),
        fixed_seconds(end - start),
        sjis(" 秒でした。") + CRLF,
        CRLF,
        *report_statements(checkpoints, line_count),
    ]


_REPORT_VALUE = re.compile(rb"^(%s) *= *(-?\d+) ms" % b"|".join(n.encode() for n in CHECKPOINT_NAMES), re.M)


def report_checkpoints(stdout):
    """The seven checkpoint values as the report shows them (loosely read: the
    exact form is checked by comparing with run_statements)."""
    found = {name.decode(): int(value) for name, value in _REPORT_VALUE.findall(stdout)}
    missing = [name for name in CHECKPOINT_NAMES if name not in found]
    if missing:
        raise AssertionError(f"no report line for {missing} in {stdout[-600:]!r}")
    return [found[name] for name in CHECKPOINT_NAMES]


def prime_lines(limit):
    """The expected prime list, one entry per line (one statement each)."""
    return prime_file_bytes(limit).splitlines(keepends=True)


def selftest_statements():
    """The debug listing, one entry per statement (every digit, separator and
    line end is one), written out from the listing's description: positions
    count from 0 at the left and position p shows bit p."""
    def digits(text):
        return [c.encode() for c in text]

    def one_at(i):
        return "0" * i + "1" + "0" * (31 - i)

    def zero_at(i):
        return "1" * i + "0" + "1" * (31 - i)

    statements = []
    for heading in ("Dm[i],Dmx[i] " + "-" * 22, "-Clr/Set test " + "-" * 25):
        statements.append(heading.encode() + CRLF)
        for i in range(32):
            statements += digits(zero_at(i)) + [b"  "] + digits(one_at(i)) + [CRLF]
    statements.append(b"-Clr test" + b"-" * 30 + CRLF)
    for i in range(32):
        statements += digits("0" * (i + 1) + "1" * (31 - i)) + [CRLF]
    statements.append(b"-Set test" + b"-" * 30 + CRLF)
    for i in range(32):
        statements += digits("0" * (31 - i) + "1" * (i + 1)) + [CRLF]
    statements.append(b"-" * 40 + CRLF)
    statements.append(CRLF)
    return statements


def local_ms_of_day(seconds=None):
    """The local time of day in whole milliseconds, as the program reads it."""
    if seconds is None:
        seconds = time.time()
    local = time.localtime(seconds)
    return ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 + int(seconds % 1 * 1000)


# ---------------------------------------------------------------------------
# Runs on a pseudo-terminal and under strace (POSIX hosts only).

def _strace_can_trace():
    """strace is installed and may trace here (some containers forbid ptrace)."""
    path = shutil.which("strace")
    if path is None or ON_WINDOWS:
        return None
    probe = subprocess.run([path, "-qq", "-e", "trace=none", "true"], capture_output=True)
    return path if probe.returncode == 0 else None


STRACE = _strace_can_trace()
FAKETIME = shutil.which("faketime")
PRIMESIEVE = shutil.which("primesieve")


class Terminal:
    """A program with its standard output (and, if asked, its standard input)
    on a pseudo-terminal in raw mode, so that bytes pass without line-end
    translation or echo."""

    def __init__(self, args=(), build=1, cwd=None, wrapper=(), env=None, stdin_on_terminal=False):
        import pty
        import tty

        self.master, slave = pty.openpty()
        tty.setraw(slave)
        self._stderr = tempfile.TemporaryFile()
        try:
            self.proc = subprocess.Popen(
                [*wrapper, *command(build, list(args))],
                stdin=slave if stdin_on_terminal else subprocess.DEVNULL,
                stdout=slave,
                stderr=self._stderr,
                cwd=cwd,
                env=env,
            )
        finally:
            os.close(slave)
        self.shown = b""

    def _read_some(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise TimeoutError(f"program still running; shown so far: {self.shown[-400:]!r}")
        ready, _, _ = select.select([self.master], [], [], remaining)
        if not ready:
            return True
        try:
            data = os.read(self.master, 65536)
        except OSError as error:  # EIO: every holder of the terminal has closed it
            if error.errno != errno.EIO:
                raise
            data = b""
        self.shown += data
        return bool(data)

    def read_until(self, expected, timeout=60):
        """Reads until the screen shows `expected`; returns everything shown."""
        deadline = time.monotonic() + timeout
        while expected not in self.shown:
            if not self._read_some(deadline):
                raise AssertionError(f"the terminal closed before showing {expected!r}: {self.shown[-400:]!r}")
        return self.shown

    def send(self, data):
        os.write(self.master, data)

    def finish(self, timeout=600):
        """Reads to the end of the output and waits for the exit."""
        deadline = time.monotonic() + timeout
        try:
            while self._read_some(deadline):
                pass
            self.proc.wait(timeout=max(1, deadline - time.monotonic()))
        except BaseException:
            self.proc.kill()
            self.proc.wait()
            raise
        finally:
            os.close(self.master)
        self._stderr.seek(0)
        stderr = self._stderr.read()
        self._stderr.close()
        return Run(self.proc.returncode, self.shown, stderr)


def run_on_terminal(args=(), build=1, cwd=None, wrapper=(), env=None, timeout=600):
    """Runs one program to its end with standard output on a terminal."""
    return Terminal(args, build, cwd=cwd, wrapper=wrapper, env=env).finish(timeout)


def strace_wrapper(log_path):
    """strace logging every write in full, bytes in hex, descriptors with their paths."""
    return [STRACE, "-qq", "-e", "trace=write", "-e", "signal=none", "-xx", "-s", "1000000", "-y", "-o", str(log_path)]


@dataclass
class Write:
    fd: int
    target: str  # the path strace shows for the descriptor, e.g. /dev/pts/3 or pipe:[123]
    data: bytes
    result: int


_WRITE_CALL = re.compile(r'^write\((\d+)(?:<([^>]*)>)?, "((?:\\x[0-9a-f]{2})*)", (\d+)\) = (-?\d+)')


def _unhex(text):
    return bytes.fromhex(text.replace("\\x", ""))


def traced_writes(log_path):
    """Every write call in an strace log made with strace_wrapper, in order."""
    writes = []
    for line in Path(log_path).read_text().splitlines():
        match = _WRITE_CALL.match(line)
        if match is None:
            if line.startswith("write("):
                raise AssertionError(f"unreadable strace line: {line[:200]}")
            continue
        fd, target, data, length, result = match.groups()
        data = _unhex(data)
        assert len(data) == int(length), line[:200]
        writes.append(Write(int(fd), _unhex(target or "").decode(errors="replace"), data, int(result)))
    return writes


def block_sizes(total):
    """The write sizes of `total` bytes that go out in blocks of 128 and a shorter rest."""
    return [128] * (total // 128) + ([total % 128] if total % 128 else [])


def prime_file_sha256(limit):
    """SHA-256 of the expected prime list: from primesieve where it is
    installed (a peer that shares no code with us), else from our own sieve."""
    digest = hashlib.sha256()
    if PRIMESIEVE is None or limit < 3:
        digest.update(prime_file_bytes(limit))
        return digest.hexdigest()
    with subprocess.Popen([PRIMESIEVE, str(limit), "-p"], stdout=subprocess.PIPE) as peer:
        while chunk := peer.stdout.read(1 << 20):
            digest.update(chunk.replace(b"\n", b"\r\n"))
    if peer.returncode != 0:
        raise AssertionError(f"primesieve failed with {peer.returncode}")
    return digest.hexdigest()


@dataclass
class FileFacts:
    size: int
    lines: int  # LF bytes
    last_line: bytes
    sha256: str
    only_digit_lines: bool  # digits only, each line ended by CR LF, the last one too


def file_facts(path):
    """Size, line count, last line and hash of a (possibly very large) file, read once."""
    digest = hashlib.sha256()
    size = lines = crs = crlfs = 0
    other_bytes = empty_line = False
    tail = b""
    with open(path, "rb") as file:
        while chunk := file.read(1 << 24):
            digest.update(chunk)
            size += len(chunk)
            lines += chunk.count(b"\n")
            crs += chunk.count(b"\r")
            crlfs += (tail[-1:] + chunk).count(b"\r\n")
            other_bytes = other_bytes or bool(chunk.translate(None, b"0123456789\r\n"))
            empty_line = empty_line or b"\n\r" in tail[-1:] + chunk or (size == len(chunk) and chunk[:1] == b"\r")
            tail = (tail + chunk)[-32:]
    clean = not other_bytes and not empty_line and crs == crlfs == lines and tail.endswith(b"\r\n")
    last = tail[:-2].rsplit(b"\n", 1)[-1]
    return FileFacts(size, lines, last, digest.hexdigest(), clean)
