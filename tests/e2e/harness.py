"""Runs the real programs for the end-to-end tests.

The program to run is a parameter, so that one suite serves the native build
and the cross-built Windows one under Wine:
  PELLARN_BIN_DIR     directory holding pellarn-1 ... pellarn-15
  PELLARN_EXE_SUFFIX  "" natively, ".exe" for the Windows build
  PELLARN_RUNNER      command put in front, e.g. "wine" (empty natively)
"""
import os
import shlex
import subprocess
import tempfile
import unittest
from dataclasses import dataclass
from pathlib import Path

BIN_DIR = Path(os.environ.get("PELLARN_BIN_DIR", Path(__file__).resolve().parents[2] / "build" / "release"))
EXE_SUFFIX = os.environ.get("PELLARN_EXE_SUFFIX", "")
RUNNER = shlex.split(os.environ.get("PELLARN_RUNNER", ""))
ON_WINDOWS = EXE_SUFFIX == ".exe"

MAX_LIMITS = {1: 100_000_000, 5: 500_000_000, 10: 1_000_000_000, 15: 1_500_000_000}
BUILDS = tuple(MAX_LIMITS)


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


def run(args=(), build=1, stdin=b"", cwd=None, timeout=600, **popen):
    """Runs one program to its end; stdin bytes, or None for no redirection."""
    completed = subprocess.run(
        command(build, list(args)),
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
