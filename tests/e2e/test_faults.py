"""Every failure ends the same way: the two-line failure report on standard
output, exit code 1, nothing on standard error, and on disk only what had
been written out before it.

Each row of the fault matrix produces its fault for real on this machine (a
missing directory, a full tmpfs, a reader that leaves, an address-space
limit...). Where the report cannot reach anybody (the reader has gone), the
report the program tried to write is read from strace.
"""
import fcntl
import os
import re
import resource
import shutil
import signal
import subprocess
import tempfile
import termios
import time
import unittest
from dataclasses import dataclass, field
from functools import cache
from pathlib import Path
from typing import Callable, Optional

import harness
from harness import CRLF, ON_WINDOWS, sjis

# Sanitizer builds reserve terabytes of address space for their shadow memory.
SANITIZED = os.environ.get("PELLARN_SANITIZED") == "1"

START = sjis("  開始 ")
END = sjis("  終了 ")
ELAPSED_BEFORE = sjis("実行時間は")
ELAPSED_AFTER = sjis(" 秒でした。")

NOT_ON_WINDOWS = "a POSIX fault (device, rlimit, namespace or descriptor trick) that Wine cannot stand in for"


def report_pattern(message, build=1, class_name="EInOutError"):
    """The two report lines: the first ends with LF alone, the second with CR LF."""
    first = re.escape(sjis(f"{class_name}がモジュール {harness.exe_name(build)} の "))
    first += rb"[0-9A-F]{8}" + re.escape(sjis(" で発生しました。") + b"\n")
    return first + re.escape(sjis(message) + b"." + CRLF)


# What stands on the console before the report, as patterns (the times of day
# are the only values not known in advance).
def nothing():
    return b""


def first_prompt():
    return re.escape(harness.TITLE + CRLF + harness.USAGE + CRLF + harness.FILE_NAME_PROMPT)


def both_prompts():
    return first_prompt() + re.escape(harness.LIMIT_PROMPT)


def start_lines(build, limit):
    return re.escape(harness.banner(build, limit) + START) + rb"\d{1,8}" + re.escape(CRLF)


def end_lines():
    """The end line, the elapsed line and the empty line of a finished run."""
    return (re.escape(END) + rb"\d{1,8}" + re.escape(CRLF + ELAPSED_BEFORE)
            + rb"[ 0-9.\-]{10}" + re.escape(ELAPSED_AFTER + CRLF + CRLF))


def listing():
    return re.escape(b"".join(harness.selftest_statements()))


@dataclass
class Outcome:
    returncode: int
    console: bytes  # what the console shows, or for a vanished reader the report attempted
    stderr: bytes
    facts: dict = field(default_factory=dict)  # what a row's check looks at


@dataclass
class Fault:
    name: str
    produce: Callable[["FaultCase"], Outcome]
    message: str  # without the final "." that the report adds
    before: bytes  # pattern of the console text before the report
    survives: Callable[["FaultCase", Outcome], None]
    build: int = 1
    class_name: str = "EInOutError"
    skip: Callable[[], Optional[str]] = lambda: None  # reason to skip, or None


def posix_only():
    return NOT_ON_WINDOWS if ON_WINDOWS else None


def needs_strace():
    return posix_only() or (None if harness.STRACE else "strace is not installed")


def needs_private_tmpfs():
    return posix_only() or (None if private_tmpfs_permitted() else
                            "mounting a tmpfs in a private mount namespace (unshare -m) is not permitted here")


def needs_whole_address_space():
    return posix_only() or ("a sanitizer build reserves terabytes of address space, so no RLIMIT_AS "
                            "can let it start and still refuse the bitmap" if SANITIZED else None)


@cache
def private_tmpfs_permitted():
    if shutil.which("unshare") is None:
        return False
    with tempfile.TemporaryDirectory() as mountpoint:
        probe = subprocess.run(["unshare", "-m", "sh", "-c", 'mount -t tmpfs -o size=4096 tmpfs "$1"', "sh",
                                mountpoint], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return probe.returncode == 0


# ---------------------------------------------------------------------------
# Ways to start a program with a fault in place.

def run_with(case, args, build=1, stdin=subprocess.DEVNULL, wrapper=(), **popen):
    completed = subprocess.run([*wrapper, *harness.command(build, list(args))], stdin=stdin,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=case.cwd,
                               timeout=300, **popen)
    return Outcome(completed.returncode, completed.stdout, completed.stderr)


def arguments(*args, build=1):
    return lambda case: run_with(case, args, build=build)


def typed(answers):
    return lambda case: run_with(case, (), input=answers, stdin=None)


def without_descriptor(fd, args):
    """The program starts with one of its standard descriptors closed."""
    return lambda case: run_with(case, args, preexec_fn=lambda: os.close(fd))


def stdin_opened(path_in, flags):
    """Standard input is an object that cannot be read as a stream."""
    def produce(case):
        path = path_in(case)
        fd = os.open(path, flags)
        try:
            return run_with(case, (), stdin=fd)
        finally:
            os.close(fd)
    return produce


def write_only_file(case):
    path = case.fixtures / "input.txt"
    path.write_bytes(b"primes.txt\r\n1000\r\n")
    return path


def a_directory(case):
    return case.fixtures


def too_many_open_files(case):
    """Waits at the first prompt, then lowers the descriptor limit to the three
    standard streams: the loader has done its opening by then, and creating
    the prime file is the next open."""
    terminal = harness.Terminal((), cwd=case.cwd, stdin_on_terminal=True)
    case.addCleanup(terminal.proc.kill)
    terminal.read_until(harness.FILE_NAME_PROMPT)
    resource.prlimit(terminal.proc.pid, resource.RLIMIT_NOFILE, (3, 3))
    terminal.send(b"primes.txt\n1000\n")
    run = terminal.finish()
    return Outcome(run.returncode, run.stdout, run.stderr)


FULL_DISK_SCRIPT = r'''
size=$1 mountpoint=$2 copy=$3; shift 3
mount -t tmpfs -o size="$size" tmpfs "$mountpoint" || exit 99
cd "$mountpoint" || exit 99
"$@"; code=$?
cp primes.txt "$copy" || exit 99
exit $code
'''

SMALL_DISK = 4 * 4096
FULL_DISK_LIMIT = 100_000  # 65,718 bytes of list: four times the disk


def full_disk(case):
    """The prime file on a tmpfs of four pages in a namespace of its own; what
    the file held when the run ended is copied out before the tmpfs goes."""
    mountpoint = case.fixtures / "disk"
    mountpoint.mkdir()
    copy = case.fixtures / "survived.txt"
    completed = subprocess.run(
        ["unshare", "-m", "sh", "-c", FULL_DISK_SCRIPT, "sh", str(SMALL_DISK), str(mountpoint), str(copy),
         *harness.command(1, ["primes.txt", str(FULL_DISK_LIMIT)])],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    return Outcome(completed.returncode, completed.stdout, completed.stderr, {"survived": copy.read_bytes()})


def reader_leaves(args, pipe_size=None):
    """Standard output is a pipe whose reader takes the first block of 128
    bytes and closes its end. With more output pending than the pipe holds,
    the program is still writing then, whatever the timing. What it tried to
    write afterwards, the report included, is read from strace."""
    def produce(case):
        log = case.fixtures / "strace.log"
        read_end, write_end = os.pipe()
        if pipe_size is not None:
            fcntl.fcntl(write_end, fcntl.F_SETPIPE_SZ, pipe_size)
        capacity = fcntl.fcntl(write_end, fcntl.F_GETPIPE_SZ)
        process = subprocess.Popen([*harness.strace_wrapper(log), *harness.command(1, list(args))],
                                   stdin=subprocess.DEVNULL, stdout=write_end, stderr=subprocess.PIPE,
                                   cwd=case.cwd)
        os.close(write_end)
        seen = b""
        while len(seen) < 128:
            data = os.read(read_end, 128 - len(seen))
            if not data:
                break
            seen += data
        os.close(read_end)
        with process.stderr:
            stderr = process.stderr.read()
        process.wait(timeout=300)
        writes = [w for w in harness.traced_writes(log) if w.fd == 1]
        report = writes[-1].data if writes else b""
        return Outcome(process.returncode, report, stderr,
                       {"seen": seen, "writes": writes, "capacity": capacity})
    return produce


def read_only_proc_file(case):
    before = Path(READ_ONLY_PROC_FILE).read_bytes()
    outcome = run_with(case, [READ_ONLY_PROC_FILE, "1000"])
    outcome.facts["before"] = before
    return outcome


def directory_as_name(case):
    (case.cwd / "adir").mkdir()
    return run_with(case, ["adir", "1000"])


class time_limit:
    """Ends a blocking call (a FIFO's open) that would otherwise wait forever."""

    def __init__(self, seconds):
        self.seconds = seconds

    def __enter__(self):
        def expire(signum, frame):
            raise TimeoutError("the program never reached this point")
        self.previous = signal.signal(signal.SIGALRM, expire)
        signal.alarm(self.seconds)

    def __exit__(self, *exc):
        signal.alarm(0)
        signal.signal(signal.SIGALRM, self.previous)


def address_space_too_small(case):
    """An address-space limit of half of pellarn-15's bitmap: pellarn-1 runs to
    its end in it, so the program starts and its smaller bitmap fits, while
    pellarn-15's bitmap cannot."""
    limit = harness.BITMAP_BYTES[15] // 2

    def confine():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

    control = run_with(case, ["control.txt", "1000"], build=1, preexec_fn=confine)
    case.assertEqual(control.returncode, 0, control.console[-300:])
    (case.cwd / "control.txt").unlink()
    return run_with(case, ["primes.txt", "1000"], build=15, preexec_fn=confine)


def prime_file_removed_before_count(case):
    """"$sosuu$.txt" is a FIFO, and the console a terminal whose output the
    test stops. The run writes its list into the FIFO for the test to read;
    once the test has read it to its end, the program has closed the file and
    hangs in the end line's write to the stopped terminal. The test then
    removes the file and lets the output go on: the count finds no file."""
    fifo = case.cwd / harness.DEBUG_FILE_NAME
    os.mkfifo(fifo)
    terminal = harness.Terminal(["-d", "1000"], cwd=case.cwd)
    case.addCleanup(terminal.proc.kill)
    # The start line is the last console output before the prime file is
    # created; stopping the terminal earlier would hold the program before it.
    terminal.read_until(START)
    deadline = time.monotonic() + 60
    while not re.search(re.escape(START) + rb"\d+\r\n", terminal.shown):
        terminal._read_some(deadline)  # the rest of the start line
    slave = os.open(os.readlink(f"/proc/{terminal.proc.pid}/fd/1"), os.O_RDWR | os.O_NOCTTY)
    try:
        termios.tcflow(slave, termios.TCOOFF)
        with time_limit(60):
            with open(fifo, "rb") as pipe:
                written = pipe.read()
        fifo.unlink()
        termios.tcflow(slave, termios.TCOON)
    finally:
        os.close(slave)
    run = terminal.finish()
    return Outcome(run.returncode, run.stdout, run.stderr, {"written": written})


# A name of 260 bytes whose first 259 name a file that could be created: the
# refusal cannot come from the system, and nothing may appear under the cut name.
LONG_DIRECTORY = "d" * 200
NAME_OF_260 = LONG_DIRECTORY + "/" + "f" * 59


def long_name(case):
    (case.cwd / LONG_DIRECTORY).mkdir()
    return run_with(case, [NAME_OF_260, "1000"])


# ---------------------------------------------------------------------------
# What survives.

def nothing_created(case, outcome):
    case.assertEqual(sorted(os.listdir(case.cwd)), [])


def proc_file_unchanged(case, outcome):
    case.assertEqual(Path(READ_ONLY_PROC_FILE).read_bytes(), outcome.facts["before"])
    nothing_created(case, outcome)


def directory_still_empty(case, outcome):
    case.assertTrue((case.cwd / "adir").is_dir())
    case.assertEqual(os.listdir(case.cwd / "adir"), [])


def full_blocks_survive(case, outcome):
    survived = outcome.facts["survived"]
    expected = harness.prime_file_bytes(FULL_DISK_LIMIT)
    # The disk took whole pages; the write that found it full placed nothing,
    # and the bytes still in the buffer were lost.
    case.assertEqual(len(survived), SMALL_DISK)
    case.assertEqual(len(survived) % 128, 0)
    case.assertEqual(survived, expected[:len(survived)])


def reader_saw_first_block(expected_start):
    def check(case, outcome):
        # More output than the reader took and the pipe holds: the program
        # cannot have finished writing before the reader left.
        case.assertGreater(len(expected_start()), outcome.facts["capacity"] + 128)
        case.assertEqual(outcome.facts["seen"], expected_start()[:128])
        writes = outcome.facts["writes"]
        # Blocks of 128 written in order up to the one that found the reader gone.
        failed = [i for i, w in enumerate(writes) if w.result < 0]
        case.assertTrue(failed, "no write failed")
        case.assertTrue(all(w.result == -1 for w in writes[failed[0]:]), writes[failed[0]:])
        case.assertTrue(all(len(w.data) == 128 for w in writes[:failed[0] + 1]))
        nothing_created(case, outcome)
    return check


def listing_start():
    return b"".join(harness.selftest_statements())


def console_and_primes_start():
    return harness.prime_file_bytes(1_000_000)


def prime_list_then_console(case, outcome):
    """On a shared standard output the prime file's blocks came first; at the
    failure the console's buffer (banner and start line) is written out
    before the report, to no avail."""
    reader_saw_first_block(console_and_primes_start)(case, outcome)
    writes = outcome.facts["writes"]
    case.assertRegex(writes[-2].data, b"^" + start_lines(1, 1_000_000) + b"$")
    primes = b"".join(w.data for w in writes[:-2])
    case.assertEqual(primes, harness.prime_file_bytes(1_000_000)[:len(primes)])


def fifo_got_list_and_is_gone(case, outcome):
    case.assertEqual(outcome.facts["written"], harness.prime_file_bytes(1000))
    nothing_created(case, outcome)


def long_directory_empty(case, outcome):
    case.assertEqual(os.listdir(case.cwd), [LONG_DIRECTORY])
    case.assertEqual(os.listdir(case.cwd / LONG_DIRECTORY), [])


READ_ONLY_PROC_FILE = "/proc/sys/kernel/ostype"  # a read-only sysctl: refused even to root

FAULTS = [
    Fault("output in a missing directory", arguments("no/such/dir/primes.txt", "1000"),
          "不正なファイル名です", start_lines(1, 1000), nothing_created),
    Fault("a file that may not be written, even by root", read_only_proc_file,
          "ファイルへのアクセスが拒否されました", start_lines(1, 1000), proc_file_unchanged, skip=posix_only),
    Fault("a directory as the output name", directory_as_name,
          "ファイルへのアクセスが拒否されました", start_lines(1, 1000), directory_still_empty),
    Fault("too many open files when the prime file is created", too_many_open_files,
          "オープンしたファイルが多すぎます", both_prompts() + start_lines(1, 1000), nothing_created,
          skip=posix_only),
    Fault("a full disk under the prime file", full_disk,
          "I/O エラー (112)", start_lines(1, FULL_DISK_LIMIT), full_blocks_survive,
          skip=needs_private_tmpfs),
    Fault("the prime file on /dev/full", arguments("/dev/full", "1000"),
          "I/O エラー (112)", start_lines(1, 1000), nothing_created),
    Fault("a console reader that leaves early", reader_leaves(["-d", "1000"], pipe_size=4096),
          "I/O エラー (232)", nothing(), reader_saw_first_block(listing_start), skip=needs_strace),
    Fault("a reader that leaves the prime list on standard output", reader_leaves(["", "1000000"]),
          "I/O エラー (232)", nothing(), prime_list_then_console, skip=needs_strace),
    Fault("standard output closed at the start", without_descriptor(1, ["primes.txt", "1000"]),
          None, b"", nothing_created, skip=posix_only),
    Fault("standard input closed at the prompts", without_descriptor(0, ()),
          "I/O エラー (104)", first_prompt(), nothing_created, skip=posix_only),
    Fault("standard input open for writing only", stdin_opened(write_only_file, os.O_WRONLY),
          "I/O エラー (6)", first_prompt(), nothing_created, skip=posix_only),
    Fault("standard input a directory", stdin_opened(a_directory, os.O_RDONLY),
          "ファイルへのアクセスが拒否されました", first_prompt(), nothing_created, skip=posix_only),
    Fault("an address space too small for the bitmap", address_space_too_small,
          "メモリが足りません", nothing(), nothing_created, build=15, class_name="EOutOfMemory",
          skip=needs_whole_address_space),
    Fault("the prime file removed before the debug line count", prime_file_removed_before_count,
          "ファイルが見つかりません", listing() + start_lines(1, 1000) + end_lines(), fifo_got_list_and_is_gone,
          skip=posix_only),
    Fault("a file name of 260 bytes", long_name,
          "I/O エラー (206)", start_lines(1, 1000), long_directory_empty),
    Fault("a file name of 300 bytes typed at the prompt", typed(b"n" * 300 + b"\n1000\n"),
          "I/O エラー (206)", both_prompts() + start_lines(1, 1000), nothing_created),
]


class FaultCase(harness.ProgramTestCase):
    """Runs in run/, with what a fault needs beside it in fixtures/."""

    def setUp(self):
        super().setUp()
        self.fixtures = self.dir / "fixtures"
        self.cwd = self.dir / "run"


class FaultMatrixTest(FaultCase):
    def test_every_fault_ends_with_the_report_and_exit_code_1(self):
        for fault in FAULTS:
            with self.subTest(fault.name):
                reason = fault.skip()
                if reason:
                    self.skipTest(reason)
                for path in (self.fixtures, self.cwd):
                    shutil.rmtree(path, ignore_errors=True)
                    path.mkdir()
                outcome = fault.produce(self)
                # A signal death would show as a negative code.
                self.assertEqual(outcome.returncode, 1, outcome.console[-400:])
                self.assertEqual(outcome.stderr, b"")
                if fault.message is None:
                    self.assertEqual(outcome.console, b"")
                else:
                    pattern = fault.before + report_pattern(fault.message, fault.build, fault.class_name)
                    self.assertRegex(outcome.console, b"\\A" + pattern + b"\\Z")
                fault.survives(self, outcome)


CONSOLE_ON_DISK_SCRIPT = r'''
size=$1 mountpoint=$2 copy=$3 prefill=$4; shift 4
mount -t tmpfs -o size="$size" tmpfs "$mountpoint" || exit 99
head -c "$prefill" /dev/zero > "$mountpoint/console.txt" || exit 99
"$@" >> "$mountpoint/console.txt"; code=$?
cp "$mountpoint/console.txt" "$copy" || exit 99
exit $code
'''


class NormalEndTest(FaultCase):
    """A complete run whose console is a disk file that fills up exactly at
    the last write-out of the console, at the end of the process: there is no
    console left to report on, but the run must not claim success."""

    def test_failed_final_write_out_of_the_console_ends_with_exit_code_1(self):
        reason = needs_private_tmpfs() or needs_strace()
        if reason:
            self.skipTest(reason)
        for path in (self.fixtures, self.cwd):
            path.mkdir()
        # Started without arguments, the run writes some 470 bytes to the
        # console (times of day and differences vary by a few digits): three
        # full blocks go out during the run, the rest only at the end. The
        # one-page tmpfs holds a filler and exactly those three blocks.
        full_blocks = 3 * 128
        page = os.sysconf("SC_PAGE_SIZE")
        mountpoint = self.fixtures / "disk"
        mountpoint.mkdir()
        copy = self.fixtures / "console.txt"
        log = self.fixtures / "strace.log"
        completed = subprocess.run(
            ["unshare", "-m", "sh", "-c", CONSOLE_ON_DISK_SCRIPT, "sh", str(page), str(mountpoint), str(copy),
             str(page - full_blocks), *harness.strace_wrapper(log), *harness.command(1, [])],
            input=b"primes.txt\n1000\n", stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=self.cwd,
            timeout=300)

        self.assertEqual(completed.returncode, 1)
        self.assertEqual(completed.stderr, b"")
        self.assertEqual(completed.stdout, b"")
        # The run itself was complete.
        self.assertEqual((self.cwd / "primes.txt").read_bytes(), harness.prime_file_bytes(1000))
        writes = [w for w in harness.traced_writes(log) if w.fd == 1]
        attempted = b"".join(w.data for w in writes)
        statements = harness.prompt_statements() + harness.run_statements(
            1, 1000, harness.report_checkpoints(attempted))
        self.assertEqual(attempted, b"".join(statements))
        # Whole blocks during the run; only the last write-out failed, and no
        # report was attempted after it.
        self.assertEqual([(len(w.data), w.result) for w in writes[:-1]], [(128, 128)] * 3)
        self.assertEqual(writes[-1].result, -1)
        self.assertLess(len(writes[-1].data), 128)
        self.assertEqual(copy.read_bytes()[page - full_blocks:], attempted[:full_blocks])


class LongNameTest(FaultCase):
    def test_name_of_259_bytes_is_the_longest_accepted(self):
        self.cwd.mkdir()
        (self.cwd / LONG_DIRECTORY).mkdir()
        name = NAME_OF_260[:259]
        outcome = run_with(self, [name, "1000"])
        self.assertEqual(outcome.returncode, 0, outcome.console[-300:])
        self.assertEqual((self.cwd / name).read_bytes(), harness.prime_file_bytes(1000))


@unittest.skipUnless(SANITIZED, "natively the runs at MaxLimit are among the slow tests of test_run")
class SanitizedMaxLimitTest(FaultCase):
    def test_a_run_at_max_limit_stays_inside_the_bitmap(self):
        # The passes reach their highest word only at MaxLimit; the builds
        # differ in nothing but the constants, so pellarn-1 stands for all.
        self.cwd.mkdir()
        outcome = run_with(self, ["primes.txt", str(harness.MAX_LIMITS[1])])
        self.assertEqual((outcome.returncode, outcome.stderr), (0, b""))
        facts = harness.file_facts(self.cwd / "primes.txt")
        self.assertEqual((facts.size, facts.lines, facts.last_line), (56_860_455, 5_761_455, b"99999989"))
