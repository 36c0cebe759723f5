#!/usr/bin/env python3
"""What only a whole process of the built tool shows: signals, stalled and
closed streams, depth, a tree changed under the walk.

    TOCASE_TOOL=build/tocase process_test.py [unittest arguments]

Run as root, it also checks what needs root; under CI=true a test that
cannot run here fails instead of skipping.
"""
import concurrent.futures
import ctypes
import fcntl
import glob
import os
import pty
import random
import re
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # noqa: E402
from cases import assert_inside, describe_tree, grouped, make_tree, preview_of, run_tool, state_base  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = [os.path.abspath(os.environ.get("TOCASE_TOOL", "tocase"))]
UNDER_WINE = TOOL[0].endswith(".exe")
if UNDER_WINE:
    TOOL.insert(0, "wine")
F_SETPIPE_SZ = 1031
SUMMARY = re.compile(rb"\r\n(\d+) files? in \d+ director(?:y|ies) converted to lowercase\.\r\n\r\n$")


def cannot(test, why):
    if os.environ.get("CI") == "true":
        test.fail(why)
    test.skipTest(why)


class Scratch(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="tocase-process-")
        # Deeper than Python's own removal recurses.
        self.addCleanup(subprocess.run, ["rm", "-rf", self.root])
        # Journals of its own, on the machine's own file system; Wine keeps
        # them in its prefix whatever the environment says, so only a Wine
        # test, never one running beside it, clears those.
        self.state = tempfile.mkdtemp(prefix="tocase-state-", dir=state_base())
        self.addCleanup(shutil.rmtree, self.state)
        os.environ["XDG_STATE_HOME"] = self.state
        for journals in [] if not UNDER_WINE else glob.glob(os.path.join(os.environ.get("WINEPREFIX", "/none"), "drive_c/users/*/AppData/Local/tocase")):
            shutil.rmtree(journals)

    def path(self, *names):
        return os.path.join(self.root, *names)

    def files(self, count, directory=""):
        for i in range(count):
            open(self.path(directory, f"F{i:04d}.TXT"), "w").close()

    def start(self, arguments, cwd=None, launcher=(), **options):
        """The tool writing into a pipe of one page, which a few hundred
        lines fill."""
        assert_inside(arguments)
        reader, writer = os.pipe()
        fcntl.fcntl(writer, F_SETPIPE_SZ, 4096)
        tool = subprocess.Popen([*launcher, *TOOL, *arguments], cwd=cwd or self.root, stdin=subprocess.DEVNULL,
                                stdout=writer, stderr=subprocess.PIPE, **options)
        os.close(writer)
        tool.stdout = os.fdopen(reader, "rb")
        self.addCleanup(self.end, tool)
        return tool

    @staticmethod
    def end(tool):
        if tool.poll() is None:
            tool.kill()
        tool.communicate()

    def wait_until_output_is_full(self, tool):
        """Full: holding something, and no longer growing."""
        before = -1
        for _ in range(250):
            held = int.from_bytes(fcntl.ioctl(tool.stdout, termios.FIONREAD, b"\0" * 4), sys.byteorder)
            if held > 0 and held == before:
                return
            before = held
            time.sleep(0.02)
        self.fail("the output never filled")

    def chain(self, names):
        """Folders one in the other, each holding F.TXT, deeper than any
        path reaches."""
        fd = os.open(self.root, os.O_RDONLY)
        for name in names:
            os.mkdir(name, dir_fd=fd)
            child = os.open(name, os.O_RDONLY, dir_fd=fd)
            os.close(fd)
            fd = child
            os.close(os.open("F.TXT", os.O_WRONLY | os.O_CREAT, dir_fd=fd))
        os.close(fd)

    def renamed_and_listed(self, output):
        listed = set(re.findall(rb"-> (f\d{4}\.txt)", output))
        renamed = {name for name in os.listdir(os.fsencode(self.root)) if name.startswith(b"f")}
        return renamed, listed


@unittest.skipIf(UNDER_WINE, "what a POSIX process does")
class Signals(Scratch):
    def test_stop_signal_ends_the_run_promptly_when_nobody_reads(self):
        self.files(400)
        tool = self.start(["*"])
        self.wait_until_output_is_full(tool)
        tool.send_signal(signal.SIGTERM)
        self.assertEqual(tool.wait(timeout=5), -signal.SIGTERM)

    def test_stop_takes_effect_between_entries_with_every_rename_listed(self):
        # An interrupt while the tool waits on its output, and an alarm the
        # caller left pending, which the tool inherits across exec.
        for number in (signal.SIGINT, signal.SIGALRM):
            with self.subTest(signal=number.name):
                self.setUp()
                self.files(400)
                if number == signal.SIGALRM:
                    tool = self.start(["*"], preexec_fn=lambda: signal.setitimer(signal.ITIMER_REAL, 0.3))
                    time.sleep(0.6)
                else:
                    # A caller that ran this in the background left it ignored.
                    tool = self.start(["*"], preexec_fn=lambda: signal.signal(number, signal.SIG_DFL))
                    self.wait_until_output_is_full(tool)
                    tool.send_signal(number)
                    # Read only once the signal has surely met the blocked
                    # write, well within the second the tool gives its reader.
                    time.sleep(0.2)
                output = tool.stdout.read()
                self.assertEqual(tool.wait(timeout=20), -number)
                renamed, listed = self.renamed_and_listed(output)
                self.assertEqual(renamed, listed)
                self.assertLess(len(renamed), 400)

    def test_stop_signal_while_the_report_is_written_is_honoured_after_it(self):
        # Nothing to convert, and an output already full: the signal meets
        # the report, the only thing written.
        make_tree(self.root, [b"a.txt"])
        reader, writer = os.pipe()
        fcntl.fcntl(writer, F_SETPIPE_SZ, 4096)
        os.set_blocking(writer, False)
        while True:
            try:
                os.write(writer, b"x" * 512)
            except BlockingIOError:
                break
        os.set_blocking(writer, True)
        tool = subprocess.Popen(TOOL + ["*.TXT"], cwd=self.root, stdin=subprocess.DEVNULL, stdout=writer)
        os.close(writer)
        time.sleep(0.3)
        tool.send_signal(signal.SIGTERM)
        with os.fdopen(reader, "rb") as output:
            output.read()
        self.assertEqual(tool.wait(timeout=20), -signal.SIGTERM)

    def test_stop_signal_the_caller_ignores_stays_ignored(self):
        self.files(400)
        tool = self.start(["*"], preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
        self.wait_until_output_is_full(tool)
        tool.send_signal(signal.SIGHUP)
        output, _ = tool.communicate()
        self.assertEqual(tool.returncode, 1)
        self.assertEqual(SUMMARY.search(output).group(1), b"400")


@unittest.skipIf(UNDER_WINE, "what a POSIX process does")
class Streams(Scratch):
    def test_closed_output_does_not_stop_the_run(self):
        self.files(200)
        tool = subprocess.Popen(TOOL + ["*.TXT"], cwd=self.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        tool.stdout.close()
        self.assertEqual(tool.wait(timeout=20), 1)
        self.assertEqual(len([n for n in os.listdir(self.root) if n.startswith("f")]), 200)

    def test_a_size_limit_on_the_output_stops_the_output_like_a_full_disk(self):
        os.mkdir(self.path("t"))
        self.files(300, "t")
        with open(self.path("out.txt"), "wb") as output:
            tool = subprocess.run(TOOL + ["t/*"], cwd=self.root, stdin=subprocess.DEVNULL, stdout=output,
                                  preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (2048, 2048)))
        self.assertEqual(tool.returncode, 1)
        self.assertEqual(len([n for n in os.listdir(self.path("t")) if n.startswith("f")]), 300)
        self.assertLessEqual(os.path.getsize(self.path("out.txt")), 2048)

    def test_output_set_not_to_block_still_gets_every_line(self):
        self.files(500)
        reader, writer = os.pipe()
        fcntl.fcntl(writer, F_SETPIPE_SZ, 4096)
        os.set_blocking(writer, False)
        tool = subprocess.Popen(TOOL + ["*"], cwd=self.root, stdin=subprocess.DEVNULL, stdout=writer)
        os.close(writer)
        output = b""
        # Slower than the tool writes, so that it meets a full pipe.
        while chunk := os.read(reader, 512):
            output += chunk
            time.sleep(0.002)
        os.close(reader)
        self.assertEqual(tool.wait(timeout=20), 1)
        self.assertEqual(SUMMARY.search(output).group(1), b"500")
        self.assertEqual(output.count(b"\r\n"), 500 + 4)

    def test_arguments_left_unused_are_said_before_the_listing_starts(self):
        make_tree(self.root, [b"A.TXT"])
        both = subprocess.run(TOOL + ["A.TXT", "-X"], cwd=self.root, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT).stdout
        self.assertTrue(both.startswith(b"tocase: ignored '-X': not an option\n.\\\r\n"), both)

    def test_large_directory_renamed_while_it_is_listed_neither_skips_nor_repeats(self):
        self.files(5000)
        make_tree(self.root, [b"Keep%02d" % i for i in range(50)])
        output, _, _ = run_tool(TOOL, self.root, ["*"])
        self.assertEqual(SUMMARY.search(output).group(1), b"5000")
        renamed, listed = self.renamed_and_listed(output)
        self.assertEqual((len(renamed), len(listed)), (5000, 5000))


@unittest.skipIf(UNDER_WINE, "what a POSIX process does")
class Trees(Scratch):

    def test_chains_deeper_than_any_path_are_converted_with_few_descriptors_free(self):
        # Two chains, the second walked after climbing back out of the
        # first, with four descriptors free (the turn's lock takes one):
        # three inherited ones count.
        self.chain(["D"] * 3000)
        self.chain(["E"] * 1500)
        inherited = [os.open(self.root, os.O_RDONLY) for _ in range(3)]
        limit = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (10, 10))
        output, errors, _ = run_tool(TOOL, self.root, ["-R", "*.TXT"], preexec_fn=limit, pass_fds=inherited)
        for fd in inherited:
            os.close(fd)
        self.assertEqual(errors, "")
        self.assertEqual(SUMMARY.search(output).group(1), b"4500")
        found = subprocess.run(["find", self.root, "-name", "f.txt"], capture_output=True).stdout
        self.assertEqual(found.count(b"\n"), 4500)


class Races(Scratch):
    """A tree changed by others while the tool waits on its output inside it."""

    def test_directories_swapped_for_links_mid_run_never_lead_out_of_the_tree(self):
        # While the tool waits on its output inside one subdirectory, the
        # other, and their parent, become links to a directory outside.
        for mode in ([], ["-D"]):
            with self.subTest(mode=mode):
                self.setUp()
                tree, outside = self.path("tree"), self.path("outside")
                make_tree(self.root, [b"tree/", b"tree/P/", b"tree/P/A/", b"tree/P/B/", b"tree/P/X.TXT",
                                      b"outside/", b"outside/A/", b"outside/B/", b"outside/X.TXT",
                                      b"outside/A/F0000.TXT", b"outside/B/F0000.TXT"])
                for sub in ("A", "B"):
                    make_tree(self.path("tree", "P", sub), [b"F%04d.TXT%s" % (i, b"/" if mode else b"")
                                                            for i in range(300)])
                before = describe_tree(outside)
                tool = self.start(["-R", *mode, "*"], cwd=tree)
                other = "B" if tool.stdout.readline() == b"P\\A\\\r\n" else "A"
                os.rename(self.path("tree", "P"), self.path("tree", "P.real"))
                os.symlink(outside, self.path("tree", "P"))
                swapped = self.path("tree", "P.real", other)
                os.rename(swapped, swapped + ".real")
                os.symlink(os.path.join(outside, other), swapped)
                _, errors = tool.communicate(timeout=20)
                self.assertEqual(describe_tree(outside), before)
                # Wine cannot tell where entries of a folder moved by Unix are,
                # and says so for each it leaves.
                moved = b"tocase: not converting in 'P\\': it was moved elsewhere during the run\n"
                self.assertIn(moved, errors.replace(b"\r", b""))
                self.assertIsNone(re.search(rb"'P\\[^']*': it is a link", errors))
                # P.real, renamed by the racer, mixes both cases.
                hints = re.compile(rb"tocase: \d+ names? mix.*/MIXED converts those too\n")
                self.assertTrue(UNDER_WINE or hints.sub(b"", errors) == moved, errors)

    def test_folder_swapped_for_a_link_after_the_listing_is_not_entered(self):
        # While the walk waits on its output in one folder, the other, which
        # it has listed, becomes a link to a folder outside.
        make_tree(self.root, [b"tree/", b"tree/A/", b"tree/B/", b"outside/", b"outside/OUT.TXT"])
        for folder in ("tree/A", "tree/B"):
            self.files(2000, folder)
        tool = self.start(["-R", "*.TXT"], cwd=self.path("tree"))
        other = "B" if tool.stdout.readline() == b"A\\\r\n" else "A"
        os.rename(self.path("tree", other), self.path(other + ".away"))
        os.symlink(self.path("outside"), self.path("tree", other))
        _, errors = tool.communicate(timeout=120)
        self.assertEqual(describe_tree(self.path("outside")), [b"OUT.TXT"])
        self.assertTrue(UNDER_WINE or errors == b"", errors)

    def test_folder_swapped_with_a_link_all_along_leaves_the_outside_as_it_was(self):
        # Swapped every 3 ms while the tool converts in it: nothing outside changes, and every
        # entry left under a temporary name is named. Wine, which renames by path, is the test.
        # TOCASE_EXCHANGE_RUNS=40 for the figures the README gives.
        libc = ctypes.CDLL(None, use_errno=True)
        for run in range(int(os.environ.get("TOCASE_EXCHANGE_RUNS", "20"))):
            with self.subTest(run=run):
                self.setUp()
                make_tree(self.root, [b"tree/", b"tree/B/", b"outside/", b"tree/L->" + os.fsencode(self.path("outside"))])
                for folder in ("tree/B", "outside"):
                    self.files(500, folder)
                stop = threading.Event()
                swap = [os.fsencode(self.path("tree", name)) for name in ("B", "L")]
                racer = threading.Thread(target=lambda: [libc.renameat2(-100, swap[0], -100, swap[1], 2)
                                                         or time.sleep(0.003) for _ in iter(stop.is_set, True)])
                racer.start()
                _, errors, _ = run_tool(TOOL, self.path("tree"), ["-R", "*.TXT"], timeout=120)
                stop.set()
                racer.join()
                self.assertEqual(sorted(os.listdir(self.path("outside"))), [f"F{i:04d}.TXT" for i in range(500)],
                                 errors[-3000:])
                real = next(self.path("tree", name) for name in ("B", "L") if not os.path.islink(self.path("tree", name)))
                for name in os.listdir(real):
                    if "~tocase" in name:
                        self.assertIn(name, errors)

    @unittest.skipIf(UNDER_WINE, "one reading confirms a POSIX directory's entries")
    def test_file_replaced_after_the_listing_is_not_renamed_in_the_run_or_the_preview(self):
        # One reading buffer's worth, and three: the last entry listed is
        # confirmed only by a reading made after the output, full, let the
        # run go on again.
        for preview, count in (([], 400), ([], 3000), (["-N"], 400), (["-N"], 3000)):
            with self.subTest(preview=preview, count=count):
                self.setUp()
                self.files(count)
                last = [name for name in os.listdir(self.root) if name.startswith("F")][-1]
                tool = self.start(preview + ["*"])
                self.wait_until_output_is_full(tool)
                with open(self.path("new"), "w") as replacement:
                    replacement.write("replaced")
                os.rename(self.path("new"), self.path(last))
                output = tool.stdout.read()
                _, errors = tool.communicate(timeout=60)
                failed = b"  %s -> %s *** FAILED\r\n" % (last.encode(), last.lower().encode())
                self.assertTrue(failed in output, output[-300:])
                self.assertEqual(errors, f"tocase: cannot rename '{last}': it is no longer the file that was listed\n".encode())
                self.assertTrue(os.path.exists(self.path(last)))

    def test_folder_swapped_with_a_link_for_an_instant_now_and_then_leaves_the_outside_as_it_was(self):
        # Every 2.5 s, from a moment drawn anew each run, the folder being converted and a link to one
        # outside change places for 300 us. TOCASE_PULSE_RUNS=40 for the figures the README gives.
        libc = ctypes.CDLL(None, use_errno=True)
        for run in range(int(os.environ.get("TOCASE_PULSE_RUNS", "3"))):
            with self.subTest(run=run):
                self.setUp()
                make_tree(self.root, [b"R/", b"R/D/", b"O/", b"R/L->../O"])
                for folder in ("R/D", "O"):
                    self.files(3000, folder)
                stop = threading.Event()
                swap = [os.fsencode(self.path("R", name)) for name in ("D", "L")]

                def pulses(wait=random.uniform(0.2, 2.5)):
                    while not stop.wait(wait):
                        libc.renameat2(-100, swap[0], -100, swap[1], 2)
                        held = time.perf_counter() + 0.0003
                        while time.perf_counter() < held:
                            pass
                        libc.renameat2(-100, swap[0], -100, swap[1], 2)
                        wait = 2.5
                racer = threading.Thread(target=pulses)
                racer.start()
                output, errors, _ = run_tool(TOOL, self.path("R"), ["D\\*.TXT"], timeout=300)
                stop.set()
                racer.join()
                self.assertEqual(sorted(os.listdir(self.path("O"))), [f"F{i:04d}.TXT" for i in range(3000)], errors[-3000:])
                for _, _, names in os.walk(self.root):
                    self.assertEqual([n for n in names if "~tocase" in n and n not in errors], [], errors[-3000:])
                # Every rename listed as made is made, and no other.
                made = {n for n in os.listdir(os.fsencode(self.path("R", "D"))) if n.startswith(b"f")}
                self.assertEqual(made, set(re.findall(rb"-> (f\d{4}\.txt)\r\n", output)), errors[-3000:])

    @unittest.skipUnless(UNDER_WINE, "what Windows programs do to each other")
    def test_folder_being_walked_cannot_be_moved_by_another_windows_program(self):
        self.files(300, make_tree(self.root, [b"P/", b"P/A/"]) or "P/A")
        tool = self.start(["-R", "*.TXT"])
        self.assertEqual(tool.stdout.readline(), b"P\\A\\\r\n")
        mover = os.path.join(os.path.dirname(TOOL[-1]), "tests", "move_folder.exe")
        for folder in ("P\\A", "P"):
            self.assertNotEqual(subprocess.run(["wine", mover, folder, "MOVED"], cwd=self.root).returncode, 0)
        tool.communicate(timeout=20)
        self.assertEqual(len(os.listdir(self.path("P", "A"))), 300)


@unittest.skipIf(UNDER_WINE, "what a POSIX kernel refuses")
class Obstacles(Scratch):
    """What the kernel refuses before any rename, staged for real: the
    preview fails where the run does, with the same reason."""

    def test_preview_fails_where_the_run_is_refused_with_the_same_reason(self):
        if os.geteuid() != 0 or not shutil.which("setpriv") or not shutil.which("chattr"):
            cannot(self, "staging these needs root, setpriv and chattr")
        nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        # The tool in a mount namespace of its own, made by `script` in the test's directory.
        inside = lambda script: ["unshare", "-m", "--propagation", "private", "sh", "-ec",
                                 script + '; cd "$0"; exec "$@"', "ROOT"]
        rows = [
            # title, what runs the tool, its reason, then a mode and an attribute for SUB
            ("a read-only file system", inside('mount --bind "$0" "$0"; mount -o remount,bind,ro "$0"'),
             "Read-only file system"),
            ("an immutable directory", [], "Operation not permitted", 0o755, "+i"),
            ("an append-only directory", [], "Operation not permitted", 0o755, "+a"),
            ("a directory the user may not write", nobody, "Permission denied", 0o755),
            ("a sticky directory, the entry another user's", nobody, "Operation not permitted", 0o1777),
            ("a mount point", inside('mount -t tmpfs none "$0/SUB/MNT"'), "Device or resource busy"),
            # Not sticky: another user's entry is renamed as any other.
            ("a directory all may write, not sticky", nobody, None, 0o777),
        ]
        for title, launcher, reason, *sub in rows:
            with self.subTest(title):
                self.setUp()
                os.chmod(self.root, 0o755)
                make_tree(self.root, [b"SUB/", b"SUB/A.TXT", b"SUB/MNT/"])
                if sub:
                    os.chmod(self.path("SUB"), sub[0])
                if sub[1:] and subprocess.run(["chattr", sub[1], self.path("SUB")]).returncode != 0:
                    cannot(self, f"chattr {sub[1]} is refused here")
                self.addCleanup(subprocess.run, ["chattr", "-ia", self.path("SUB")], stderr=subprocess.DEVNULL)
                arguments = ["-D", "SUB/*"] if title == "a mount point" else ["SUB/*.TXT"]
                os.chown(self.state, 65534, 65534)
                tool = [self.root if word == "ROOT" else word for word in launcher] + TOOL
                preview = run_tool(tool, self.root, ["-N", *arguments])
                run = run_tool(tool, self.root, arguments)
                self.assertEqual(b" *** FAILED\r\n" in run[0], reason is not None)
                self.assertIn(f": {reason}\n" if reason else "", run[1])
                self.assertEqual(preview[:2], (preview_of(run[0]), run[1]))


@unittest.skipUnless("folding" in os.environ.get("TOCASE_FEATURES", "").split(), "a file system that folds case")
class Folding(Scratch):
    def test_a_kill_at_each_step_round_a_temporary_name_leaves_what_that_step_made(self):
        # The name is too long for the temporary name to hold it whole, so
        # the temporary name is said first.
        name = b"N" * 246 + b".TXT"
        if not shutil.which("strace"):
            cannot(self, "strace is missing")
        for step, moment, left in ((1, "enter", "the original"), (1, "exit", "the temporary name"),
                                   (2, "exit", "the new name")):
            with self.subTest(step=step, moment=moment):
                self.setUp()
                make_tree(self.root, [name])
                # The step is held up for a while, and the tool killed then.
                tool = self.start(["*.TXT"], start_new_session=True, launcher=[
                    "strace", "-f", "-o", "/dev/null", "-e", "trace=renameat",
                    "-e", f"inject=renameat:delay_{moment}=5000000:when={step}"])
                said = re.search(rb"goes through the temporary name '(.*)'", tool.stderr.readline())
                time.sleep(1)
                os.killpg(tool.pid, signal.SIGKILL)
                tool.communicate()
                self.assertIsNotNone(said, "no temporary name was said")
                expected = {"the original": name, "the temporary name": said.group(1), "the new name": name.lower()}
                self.assertEqual(os.listdir(os.fsencode(self.root)), [expected[left]], left)


class TakeBack(Scratch):
    """What only runs of whole processes show of taking a run back."""

    def test_a_run_killed_part_way_is_taken_back_to_exactly_the_first_state(self):
        # Killed while a rename is held up (fusefat damages directories of
        # more than a few dozen entries) or, under Wine, whose renames
        # another process makes, while it waits on a full output.
        count = 300 if UNDER_WINE else 20
        make_tree(self.root, [b"SUB/", b"Mixed.Txt"])
        self.files(count)
        self.files(count, "SUB")
        before = describe_tree(self.root)
        if UNDER_WINE:
            tool = self.start(["-R", "-MIXED", "*"], start_new_session=True)
            self.wait_until_output_is_full(tool)
        else:
            if not shutil.which("strace"):
                cannot(self, "strace is missing")
            tool = self.start(["-R", "-MIXED", "*"], start_new_session=True, launcher=[
                "strace", "-f", "-o", "/dev/null", "-e", "trace=renameat,renameat2",
                "-e", "inject=renameat,renameat2:delay_enter=5000000:when=25"])
            time.sleep(2)
        os.killpg(tool.pid, signal.SIGKILL)
        tool.communicate()
        self.assertNotEqual(describe_tree(self.root), before)
        _, errors, _ = run_tool(TOOL, self.root, ["-Z"], timeout=120)
        self.assertEqual(describe_tree(self.root), before, errors)

    @unittest.skipIf(UNDER_WINE, "strace")
    def test_a_run_or_a_take_back_killed_at_any_rename_leaves_only_what_take_backs_undo(self):
        # Killed as it enters its Nth rename, the journal's own among them:
        # eight points of a run, then eight of a take-back of a whole run;
        # take-backs until nothing is left give back every name and number.
        if not shutil.which("strace"):
            cannot(self, "strace is missing")
        if "dirrenames" not in os.environ.get("TOCASE_FEATURES", "dirrenames"):
            self.skipTest("fusefat damages the directories it renames in, over and over")

        def killed_at(point, arguments):
            subprocess.run(["strace", "-f", "-o", "/dev/null", "-e", "trace=renameat,renameat2", "-e",
                            f"inject=renameat,renameat2:signal=SIGKILL:when={point}", *TOOL, *arguments],
                           cwd=self.root, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)

        def numbered():
            return sorted((path, os.lstat(os.path.join(self.root, os.fsdecode(path).split("<")[0].rstrip("/"))).st_ino)
                          for path in describe_tree(self.root))

        for take_back, point in [(False, p) for p in range(1, 25, 3)] + [(True, p) for p in range(1, 25, 3)]:
            with self.subTest(take_back=take_back, point=point):
                self.setUp()
                make_tree(self.root, [b"SUB/", b"Mixed.Txt"])
                self.files(10)
                self.files(10, "SUB")
                before = numbered()
                if take_back:
                    run_tool(TOOL, self.root, ["-R", "-MIXED", "*"])
                killed_at(point, ["-Z"] if take_back else ["-R", "-MIXED", "*"])
                for _ in range(4):
                    _, errors, _ = run_tool(TOOL, self.root, ["-Z"])
                    if "nothing to take back" in errors:
                        break
                self.assertEqual(numbered(), before, errors)

    def test_a_run_is_taken_back_only_where_it_started(self):
        make_tree(self.root, [b"A/", b"A/X.TXT", b"B/"])
        run_tool(TOOL, self.path("A"), ["*"])
        output, errors, _ = run_tool(TOOL, self.path("B"), ["-Z"])
        self.assertEqual((output, describe_tree(self.root)), (b"", [b"A/", b"A/x.txt<X.TXT", b"B/"]))
        self.assertIn("nothing to take back", errors)
        # Where the newest run was started is said.
        self.assertIn("newest run left to take back was started in '", errors)
        self.assertIn(f"{os.path.sep}A'", errors.replace("\\", os.path.sep))

    @unittest.skipIf(UNDER_WINE, "a POSIX home")
    def test_a_run_whose_journal_cannot_be_written_goes_on_and_says_so_once(self):
        self.files(3)
        open(os.path.join(self.state, "tocase"), "w").close()
        output, errors, _ = run_tool(TOOL, self.root, ["*"])
        self.assertIn(b"3 files in 1 directory converted", output)
        self.assertEqual(errors.count("cannot be taken back"), 1, errors)

    def test_journals_are_the_users_own_bounded_and_never_a_way_out(self):
        for turn in range(22):
            self.files(1)
            _, errors, _ = run_tool(TOOL, self.root, ["-MIXED", "*"])
            os.rename(self.path("f0000.txt"), self.path("F0000.TXT"))
            if turn == 0:
                journals = (glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c/users/*/AppData/Local/tocase"))[0]
                            if UNDER_WINE else os.path.join(self.state, "tocase"))
                # What a run stopped while it began its journal left: removed.
                open(os.path.join(journals, "run-19700101-000000.000000000-1.journal.new"), "wb").close()
                # A run a take-back left not fully back is kept beside the
                # last twenty, and said.
                first = next(name for name in os.listdir(journals) if name.endswith(".journal"))
                held = first.replace(".journal", ".held.journal")
                os.rename(os.path.join(journals, first), os.path.join(journals, held))
        self.assertEqual(len([name for name in os.listdir(journals) if name.startswith("run-")]), 21)
        self.assertIn(held, os.listdir(journals))
        self.assertIn("1 run not fully taken back is kept beside the last 20", errors)
        newest = max(os.listdir(journals))
        # Wine gives the group what no Windows account is given; no other user gets anything.
        private = (0o750, 0o750) if UNDER_WINE else (0o700, 0o600)
        self.assertEqual((os.stat(journals).st_mode & 0o777, os.stat(os.path.join(journals, newest)).st_mode & 0o777),
                         private)
        # A record that would lead out of the directory is refused; a
        # journal others may read or write is not read at all.
        make_tree(self.root, [b"x"])
        with open(os.path.join(journals, newest), "rb") as journal:
            directory = journal.read().split(b"\n")[3]
        with open(os.path.join(journals, newest), "ab") as journal:
            journal.write(directory + b"\nrename f %d .. x\n" % os.stat(self.path("x")).st_ino)
        output, errors, _ = run_tool(TOOL, self.root, ["-Z"])
        self.assertIn("the journal does not hold a plain name for it", errors)
        self.assertIn(b"  x -> .. *** FAILED\r\n", output)
        self.assertEqual(describe_tree(self.root), [b"F0000.TXT<", b"x"])
        for name in os.listdir(journals):
            os.chmod(os.path.join(journals, name), 0o644)
        output, errors, _ = run_tool(TOOL, self.root, ["-Z"])
        self.assertEqual(output, b"")
        self.assertIn("cannot be read: it is not a file of the user's own that no one else may read or write", errors)

    def test_runs_at_once_take_turns_and_each_is_taken_back_exactly(self):
        # The first holds its turn while it waits on a full output (Windows
        # keeps the turn's lock its own way), or the test holds the turn.
        count = 300 if UNDER_WINE else 10
        for folder in ("A", "B"):
            os.mkdir(self.path(folder))
            self.files(count, folder)
        before = describe_tree(self.root)
        if UNDER_WINE:
            first = self.start(["-R", "*"])
            self.wait_until_output_is_full(first)
        else:
            os.makedirs(os.path.join(self.state, "tocase"), mode=0o700)
            turn = os.open(os.path.join(self.state, "tocase", "lock"), os.O_CREAT | os.O_RDONLY, 0o600)
            fcntl.flock(turn, fcntl.LOCK_EX)
            first = self.start(["-R", "*"])
        second = subprocess.Popen(TOOL + ["-R", "-U", "*"], cwd=self.root, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.assertEqual(second.stderr.readline().strip(), b"tocase: waiting for another run of this user to end")
        if not UNDER_WINE:
            os.close(turn)
        first.stdout.read()
        self.assertEqual((first.wait(timeout=120), second.wait(timeout=120)), (1, 1))
        for _ in range(2):
            run_tool(TOOL, self.root, ["-Z"], timeout=120)
        self.assertEqual(describe_tree(self.root), before)


class Journals(Scratch):
    """What only whole processes show of the journals and the turns runs
    take, on the machine's own file system."""

    @unittest.skipIf(UNDER_WINE, "the POSIX clock of a file's making")
    def test_entries_made_while_the_run_goes_and_renamed_by_it_are_taken_back(self):
        # Made while the run waits on its full output in SUB, before the
        # folder they are in is listed: a file beside SUB, a folder in it.
        for arguments, made in ((["-R", "*"], "LATE.TXT"), (["-R", "-D", "*"], os.path.join("SUB", "NEW"))):
            with self.subTest(made=made):
                self.setUp()
                make_tree(self.root, [b"SUB/", b"SUB/DEEP/"])
                for i in range(300):
                    os.mkdir(self.path("SUB", "DEEP", f"D{i:03d}"))
                self.files(300, os.path.join("SUB", "DEEP"))
                before = describe_tree(self.root)
                tool = self.start(arguments)
                self.wait_until_output_is_full(tool)
                (os.mkdir if "-D" in arguments else lambda path: open(path, "x").close())(self.path(made))
                tool.stdout.read()
                tool.communicate(timeout=60)
                self.assertNotIn(os.fsencode(made), describe_tree(self.root))
                _, errors, _ = run_tool(TOOL, self.root, ["-Z"])
                self.assertEqual(describe_tree(self.root), sorted(before + [os.fsencode(made) + (b"/" if "-D" in arguments else b"<")]),
                                 errors)
                self.assertEqual(errors, "")

    @unittest.skipIf(UNDER_WINE, "POSIX files")
    def test_a_turn_is_neither_skipped_nor_waited_for_on_a_lock_not_a_plain_file_of_the_users_own(self):
        # The lock a link, a FIFO, or another user's: the run goes on, said
        # beyond a take-back, and a take-back puts nothing back.
        def another_users(lock):
            open(lock, "x").close()
            os.chown(lock, 65534, 65534)
            os.chmod(lock, 0)

        for kind, make in (("link", lambda lock: os.symlink("elsewhere", lock)), ("FIFO", os.mkfifo),
                           ("another user's", another_users)):
            with self.subTest(lock=kind):
                self.setUp()
                os.makedirs(os.path.join(self.state, "tocase"), mode=0o700)
                make(os.path.join(self.state, "tocase", "lock"))
                self.files(2)
                output, errors, _ = run_tool(TOOL, self.root, ["*"], timeout=10)
                self.assertIn(b"2 files in 1 directory converted", output)
                self.assertEqual(errors.count("this run cannot be taken back: runs of this user cannot take turns"), 1, errors)
                output, errors, _ = run_tool(TOOL, self.root, ["-Z"], timeout=10)
                self.assertEqual(output, b"")
                self.assertIn("no run can be taken back: runs of this user cannot take turns", errors)
                journals = os.listdir(os.path.join(self.state, "tocase"))
                self.assertEqual([name for name in journals if name.startswith("run-")], [])
        # A stop while waiting for a turn ends the run before its first rename.
        self.setUp()
        self.files(2)
        os.makedirs(os.path.join(self.state, "tocase"), mode=0o700)
        turn = os.open(os.path.join(self.state, "tocase", "lock"), os.O_CREAT | os.O_RDONLY, 0o600)
        fcntl.flock(turn, fcntl.LOCK_EX)
        # Its default again: where the tests run in the background it is
        # ignored, and the tool keeps it so.
        waiting = self.start(["*"], preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        self.assertEqual(waiting.stderr.readline().strip(), b"tocase: waiting for another run of this user to end")
        waiting.send_signal(signal.SIGINT)
        self.assertEqual(waiting.wait(timeout=10), -signal.SIGINT)
        os.close(turn)
        self.assertEqual(describe_tree(self.root), [b"F0000.TXT<", b"F0001.TXT<"])

    @unittest.skipIf(UNDER_WINE, "a POSIX mount")
    def test_a_journal_cut_short_by_a_full_disk_is_taken_back_as_far_as_it_goes_and_said(self):
        if os.geteuid() != 0 or not shutil.which("unshare"):
            cannot(self, "mounting needs root and unshare")
        self.files(1000)
        script = ('mount -t tmpfs -o size=16k none "$XDG_STATE_HOME" && "$0" "*" >/dev/null 2>"$XDG_STATE_HOME/../run.err";'
                  ' "$0" -Z; umount "$XDG_STATE_HOME"')
        os.makedirs(os.path.join(self.state, "small"))
        output, errors, _ = run_tool(["unshare", "-m", "--propagation", "private", "sh", "-c", script, TOOL[-1]],
                                     self.root, [], env=dict(os.environ, XDG_STATE_HOME=os.path.join(self.state, "small")))
        with open(os.path.join(self.state, "run.err")) as run_errors:
            self.assertIn("this run cannot be taken back: its journal cannot be written: No space left on device",
                          run_errors.read())
        self.assertIn("stops short in the record of '.\\': renames after this point may not be recorded", errors)
        put_back = int(re.search(rb"(\d+) files in 1 directory put back", output).group(1))
        self.assertEqual(len([name for name in os.listdir(self.root) if name.startswith("F")]), put_back)
        self.assertGreater(put_back, 0)


@unittest.skipIf(UNDER_WINE, "the shell completions")
class Completion(unittest.TestCase):
    """Each completion, as the build made it from the option table, loaded
    in its own shell, offers every long option --help lists, and no other."""
    COMPLETIONS = os.path.join(os.path.dirname(TOOL[0]), "completions")

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="tocase-shell-")
        self.addCleanup(shutil.rmtree, self.home)
        help_text = subprocess.run(TOOL + ["--help"], capture_output=True, text=True).stdout
        self.long_options = set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", help_text))
        self.assertIn("--dry-run", self.long_options)

    def bash_offers(self, word):
        script = os.path.join(self.COMPLETIONS, "tocase.bash-completion")
        completed = subprocess.run(["bash", "-c", f"source '{script}'; COMP_WORDS=(tocase {word}); COMP_CWORD=1;"
                                    " _tocase; printf '%s' \"${COMPREPLY[*]}\""], capture_output=True, text=True)
        return completed.stdout

    def test_bash_completes_an_option_from_its_first_letters(self):
        self.assertEqual(set(self.bash_offers("--").split()), self.long_options)
        for word, offered in (("/M", "/MIXED"), ("--d", "--directories --dry-run"), ("-z", "-Z")):
            self.assertEqual(self.bash_offers(word), offered, word)

    def test_fish_offers_every_long_option(self):
        script = os.path.join(self.COMPLETIONS, "tocase.fish")
        offered = subprocess.run(["fish", "--no-config", "-c", f"source '{script}'; complete -C 'tocase --'"],
                                 capture_output=True, text=True, env=dict(os.environ, HOME=self.home)).stdout
        self.assertEqual({line.split("\t")[0] for line in offered.splitlines()}, self.long_options)

    def test_zsh_offers_every_long_option(self):
        """Typed at an interactive zsh, whose completion system reads the
        function where fpath leads."""
        pid, terminal = pty.fork()
        if pid == 0:
            os.execvpe("zsh", ["zsh", "-f", "-i"], dict(os.environ, TERM="dumb", HOME=self.home, PS1="% "))
        self.addCleanup(os.close, terminal)
        self.addCleanup(os.waitpid, pid, 0)
        self.addCleanup(os.kill, pid, signal.SIGKILL)

        def read_until(marker):
            out = ""
            while marker not in out and select.select([terminal], [], [], 10)[0]:
                out += os.read(terminal, 65536).decode(errors="replace")
            return out

        os.write(terminal, f"fpath=({self.COMPLETIONS} $fpath); autoload -U compinit; "
                           f"compinit -u -d {self.home}/dump; LISTMAX=0; print READY\n".encode())
        read_until("\nREADY")
        os.write(terminal, b"tocase --\t")
        # The list, then the line typed drawn again under it.
        listed = read_until("\ntocase --").partition("tocase --")[2]
        self.assertEqual(set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", listed)), self.long_options)
        # After one dash, the letters and /MIXED's word.
        os.write(terminal, b"\x15tocase -M\t")
        self.assertIn("tocase -MIXED", read_until("tocase -MIXED"))


@unittest.skipUnless(UNDER_WINE, "what only tocase.exe does")
class Windows(Scratch):
    def run_in(self, arguments, locale="C.UTF-8"):
        # Wine reads Unix names and arguments in the charset of the locale.
        environment = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_CTYPE")}
        return run_tool(TOOL, self.root, arguments, env=dict(environment, LANG=locale))

    def test_a_turn_is_neither_skipped_nor_waited_for_on_a_lock_that_is_a_link_or_no_file(self):
        # Wine opens a link's target even when asked for the link itself.
        journals = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c/users/*/AppData/Local"))[0]
        for kind, make in (("link", lambda lock: (open(lock + "-target", "x").close(), os.symlink("lock-target", lock))),
                           ("link that leads nowhere", lambda lock: os.symlink("elsewhere", lock)),
                           ("FIFO", os.mkfifo)):
            with self.subTest(lock=kind):
                self.setUp()
                os.makedirs(os.path.join(journals, "tocase"))
                make(os.path.join(journals, "tocase", "lock"))
                self.files(2)
                output, errors, _ = self.run_in(["*"])
                self.assertIn(b"2 files in 1 directory converted", output)
                self.assertIn("this run cannot be taken back: runs of this user cannot take turns", errors)
                output, errors, _ = self.run_in(["-Z"])
                self.assertEqual(output, b"")
                self.assertIn("no run can be taken back: runs of this user cannot take turns", errors)
                self.assertEqual([name for name in os.listdir(os.path.join(journals, "tocase")) if name.startswith("run-")], [])
                self.assertFalse(os.path.exists(os.path.join(journals, "tocase", "elsewhere")))

    def test_drive_letter_or_device_path_and_backslashes_in_the_path_typed(self):
        for device in ("", "\\\\.\\"):
            with self.subTest(device=device):
                self.setUp()
                make_tree(self.root, [b"Data/", b"Data/README.TXT"])
                # Wine shows the root of the POSIX file system as drive Z:.
                prefix = device + "Z:" + self.path("DATA").replace("/", "\\") + "\\"
                output, _, _ = self.run_in([prefix + "*.txt"])
                self.assertEqual(output, prefix.encode() + b"\r\n  README.TXT -> readme.txt\r\n\r\n"
                                         b"1 file in 1 directory converted to lowercase.\r\n\r\n")
                self.assertEqual(describe_tree(self.root), [b"Data/", b"Data/readme.txt<README.TXT"])

    def test_name_whose_temporary_name_is_too_long_on_disk_keeps_what_fits(self):
        # 124 characters, but 244 bytes on ext4.
        name = ("\u03A9" * 120 + ".TXT").encode()
        make_tree(self.root, [name])
        _, errors, _ = self.run_in(["*.TXT"])
        self.assertEqual(describe_tree(self.root), [name.lower() + b"<" + name])
        self.assertIn("goes through the temporary name", errors)

    def test_double_byte_code_page_keeps_every_character_but_the_ascii_letters(self):
        # Shift JIS, where the second byte of a character may be the code of
        # a letter, and the yen sign has no exact form.
        if b"ja_JP.utf8" not in subprocess.run(["locale", "-a"], capture_output=True).stdout.split():
            cannot(self, "locale ja_JP.UTF-8 is missing (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)")
        make_tree(self.root, ["A\u00A5C.TXT".encode(), "\u30A2B.TXT".encode()])
        output, _, _ = self.run_in(["*.TXT"], locale="ja_JP.UTF-8")
        self.assertIn(b"\r\n  A?C.TXT -> a?c.txt\r\n", output)
        self.assertIn(b"\r\n  \x83\x41B.TXT -> \x83\x41b.txt\r\n", output)
        self.assertTrue(output.endswith(b"\r\n2 files in 1 directory converted to lowercase.\r\n\r\n"))
        self.assertEqual(describe_tree(self.root), sorted(["a\u00A5c.txt<A\u00A5C.TXT".encode(),
                                                           "\u30A2b.txt<\u30A2B.TXT".encode()]))

    def test_every_folder_of_a_tree_deeper_than_the_system_reaches_is_walked_or_named(self):
        folders = [f"D{level:099d}" for level in range(60)]
        self.chain(folders)
        _, errors, _ = self.run_in(["-R", "*.TXT"])
        # The folder each line of standard error names, with all below it.
        quoted = [line.split("'")[1] for line in errors.splitlines() if line.count("'") >= 2]
        named = [text if text.endswith("\\") else text.rpartition("\\")[0] + "\\" for text in quoted]
        for level in range(len(folders)):
            if os.path.exists(self.path(*folders[:level + 1], "F.TXT")):
                header = "\\".join(folders[:level + 1]) + "\\"
                self.assertTrue(any(header.startswith(folder) for folder in named), f"level {level}: {errors[:300]}")
        self.assertNotIn("Invalid handle", errors)

    def test_a_run_or_take_back_renames_only_in_the_folder_it_was_run_from_or_the_one_typed(self):
        make_tree(self.root, [b"SP/", b"SP/THEIRS.TXT", b"ONLY /", b"ONLY /A.TXT", b"DOT./", b"DOT./A.TXT", b"DOT/",
                              b"DOT/B.TXT"])
        # A run to take back, made before its folder had a sibling that reads alike.
        self.assertIn(b"THEIRS.TXT -> theirs.txt", run_tool(TOOL, self.path("SP"), ["*"])[0])
        make_tree(self.root, [b"SP /", b"SP /MINE.TXT"])
        # Wine starts a program in a folder so named in its sibling, or where
        # there is none in the Windows directory, and says so itself.
        for folder, why in (("SP ", "the folder it runs in cannot be told from another"),
                            ("ONLY ", f"Wine started it in the Windows directory instead of '{self.path('ONLY ')}'")):
            for arguments in (["-N", "-R", "-D", "-MIXED", "*"], ["-Z"]):
                with self.subTest(folder=folder, arguments=arguments):
                    output, errors, _ = run_tool(TOOL, self.path(folder), arguments,
                                                 env=dict(os.environ, PWD=self.path(folder)))
                    self.assertEqual(output, b"")
                    self.assertTrue(errors.splitlines()[-1].startswith("tocase: nothing is renamed: " + why), errors)
        typed = "\\\\?\\Z:" + self.path("DOT.").replace("/", "\\") + "\\*"
        self.assertIn(b"A.TXT -> a.txt", self.run_in([typed])[0])
        self.assertEqual(describe_tree(self.root), sorted([b"DOT./", b"DOT./a.txt<A.TXT", b"DOT/", b"DOT/B.TXT", b"SP /",
                                                           b"SP /MINE.TXT", b"SP/", b"SP/theirs.txt<THEIRS.TXT",
                                                           b"ONLY /", b"ONLY /A.TXT"]))

    def test_entries_holding_the_temporary_names_are_never_replaced_links_that_lead_nowhere_included(self):
        # Wine gives processes numbers that are multiples of four.
        make_tree(self.root, [b"README.TXT"] + [b"README.TXT.~tocase-%d-0->/nonexistent/keep-me" % n
                                                for n in range(4, 1025, 4)])
        self.run_in(["README.TXT"])
        self.assertEqual(len(os.listdir(self.root)), 257)
        self.assertTrue(os.path.exists(self.path("readme.txt")))

    def test_a_folder_where_unix_mounted_anything_is_not_entered(self):
        # Wine's server opens every file, so it runs where the mount is.
        if os.geteuid() != 0 or not shutil.which("unshare"):
            cannot(self, "mounting needs root and unshare")
        make_tree(self.root, [b"R/", b"R/MNT/", b"R/SUB/", b"R/SUB/S.TXT", b"R/TOP.TXT", b"other/", b"other/UPPER.TXT"])
        # A server of its own there, whose socket hides the one outside.
        script = ('d="/tmp/$(cat "$WINEPREFIX/wineserver" 2>/dev/null || echo .wine-$(id -u))";'
                  ' if [ -d "$d" ]; then [ "$d" != /tmp/ ] && mount -t tmpfs -o mode=700 none "$d" || exit 1; fi;'
                  ' mount --bind ../other MNT && { wine "$0" -R "*"; wine "$0" -D "*"; }; wineserver -k')
        output, errors, _ = run_tool(["unshare", "-m", "--propagation", "private", "sh", "-c", script, TOOL[-1]],
                                     self.path("R"), [], timeout=120)
        self.assertIn("tocase: not entering 'MNT\\': another file system is mounted there", errors)
        self.assertIn("tocase: cannot rename 'MNT': another file system is mounted there", errors)
        self.assertEqual(describe_tree(self.path("other")), [b"UPPER.TXT"])
        self.assertIn(b"S.TXT -> s.txt", output)

    def test_paths_longer_than_the_old_limit_are_converted_at_every_level(self):
        path, expected = b"", [b"f.txt<F.TXT"]
        for _ in range(3):
            path += b"D" * 100 + b"/"
            make_tree(self.root, [path, path + b"F.TXT"])
            expected += [path, path + b"f.txt<F.TXT"]
        make_tree(self.root, [b"F.TXT"])
        output, errors, _ = self.run_in(["-R", "*.TXT"])
        self.assertTrue(output.endswith(b"\r\n4 files in 4 directories converted to lowercase.\r\n\r\n"))
        self.assertEqual(errors, "")
        self.assertEqual(describe_tree(self.root), sorted(expected))


def tests_side_by_side():
    """Every test in a process of its own, as many at once as there are
    cores, the longest first: they share nothing but the machine. Under
    Wine, whose prefix keeps every run's journals, one at a time."""
    def ids(suite):
        for test in suite:
            yield from ids(test) if isinstance(test, unittest.TestSuite) else [test.id().partition(".")[2]]
    tests = sorted(ids(unittest.defaultTestLoader.loadTestsFromModule(sys.modules[__name__])),
                   key=lambda test: not test.startswith(("Races", "Trees", "Streams")))
    run = lambda test: subprocess.run([sys.executable, os.path.abspath(__file__), test], capture_output=True, text=True)
    with concurrent.futures.ThreadPoolExecutor(1 if UNDER_WINE else os.cpu_count() or 1) as pool:
        results = list(pool.map(run, tests))
    failed = [result.stderr for result in results if result.returncode != 0]
    print("".join(failed) + f"{len(tests) - len(failed)} of {len(tests)} process tests hold")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(tests_side_by_side()) if len(sys.argv) == 1 else unittest.main()
