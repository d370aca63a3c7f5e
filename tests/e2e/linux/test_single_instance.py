"""Single-instance coordination on Linux with the real JVM: a second start of the same program hands
its arguments to the running first one, whose secondaryMain gets them, and ends with its answer."""

import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from harness import (BUILD_DIR, block_files, block_name, channel_files, make_app, run_linux,
                     wait_for)

JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')
LAUNCHER = BUILD_DIR / 'launcher'
SEP = '\x1f'

# Every app keeps its marker files in the folder named by -Dsi.dir: "rec-*" for each call it
# received (kind, count, arguments), "main-started-<pid>" once main runs, and it ends when "stop"
# appears, with the number written in it as its exit code.
JAVA_SOURCES = {
    'SiBase.java': r'''
import java.nio.file.*;
public class SiBase {
  static Path dir() { return Paths.get(System.getProperty("si.dir")); }
  static void record(String kind, String[] a) {
    try {
      String body = kind + "\n" + a.length + "\n" + String.join("\u001f", a);
      String id = System.nanoTime() + "-" + Thread.currentThread().getId();
      Path tmp = dir().resolve("tmp-" + id);
      Files.write(tmp, body.getBytes("UTF-8"));
      Files.move(tmp, dir().resolve("rec-" + id), StandardCopyOption.ATOMIC_MOVE);
    } catch (Exception e) { throw new RuntimeException(e); }
  }
  static void runMain(String[] a) throws Exception {
    record("main", a);
    Files.write(dir().resolve("main-started-" + ProcessHandle.current().pid()), new byte[0]);
    Path stop = dir().resolve("stop");
    while (!Files.exists(stop)) Thread.sleep(10);
    Thread.sleep(50);
    String t = new String(Files.readAllBytes(stop), "UTF-8").trim();
    System.exit(t.isEmpty() ? 0 : Integer.parseInt(t));
  }
}
''',
    'SiVoid.java': r'''
public class SiVoid {
  public static void main(String[] a) throws Exception { SiBase.runMain(a); }
  public static void secondaryMain(String[] a) { SiBase.record("void", a); }
}
''',
    'SiInt.java': r'''
public class SiInt {
  public static void main(String[] a) throws Exception { SiBase.runMain(a); }
  public static int secondaryMain(String[] a) {
    SiBase.record("int", a);
    if (a.length > 1 && a[0].equals("storm")) return 100 + Integer.parseInt(a[1]);
    return Integer.parseInt(a[0]) * 2 + 1;
  }
}
''',
    'SiNone.java': r'''
public class SiNone {
  public static void main(String[] a) throws Exception { SiBase.runMain(a); }
}
''',
    'SlowAgent.java': r'''
import java.nio.file.*;
public class SlowAgent {
  public static void premain(String args) throws Exception {
    Files.write(SiBase.dir().resolve("agent-started"), new byte[0]);
    Thread.sleep(3000);
  }
}
''',
}


# Run as another user: binds the abstract socket names that the thread ids to come would have had,
# and makes the shared-memory names of the block, as an attacker on the same machine could.
SQUATTER = r'''
import os, socket, sys
name = sys.argv[1]
value = 1469598103934665603
for byte in name.encode():
    value = ((value ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
last = int(open('/proc/sys/kernel/ns_last_pid').read())
held = []
for tid in range(last + 1, last + 800):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    try:
        s.bind(b'\\0ql-launcher/%016x/%d' % (value, tid))
        held.append(s)
    except OSError:
        s.close()
for suffix in ('', '.users'):
    fd = os.open('/dev/shm/' + name + suffix, os.O_RDWR | os.O_CREAT, 0o666)
    os.ftruncate(fd, 4096)
print('ready', flush=True)
sys.stdin.read()
'''


def ini(main_class, single='yes', extra_vm=''):
    return ('[Application]\nSingle Instance=%s\n'
            '[Java Runtime Environment]\nMain Class=%s\nJRE Path=%s\n'
            'Virtual Machine Parameters=-Dsi.dir={DIR}%s\n'
            '[Class Path]\nClass Path={CLASSES}\n' % (single, main_class, JDK, extra_vm))


class SingleInstanceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix='si-linux-'))
        cls.classes = cls.root / 'classes'
        cls.classes.mkdir()
        for name, text in JAVA_SOURCES.items():
            (cls.classes / name).write_text(text)
        subprocess.run([str(JDK / 'bin/javac'), '-d', str(cls.classes)]
                       + [str(cls.classes / n) for n in JAVA_SOURCES], check=True, timeout=120)
        (cls.classes / 'agent.mf').write_text('Premain-Class: SlowAgent\n')
        subprocess.run([str(JDK / 'bin/jar'), 'cfm', str(cls.root / 'agent.jar'),
                        str(cls.classes / 'agent.mf'), '-C', str(cls.classes), 'SlowAgent.class'],
                       check=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        # A killed first instance leaves its block behind (the next start would clear it); no
        # later start comes for these paths, so the test clears them, and its folder.
        for exe in cls.root.rglob('app'):
            for entry in block_files(exe):
                if entry.exists():
                    entry.unlink()
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.processes = []
        self.count = getattr(self, 'count', 0)

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait(timeout=30)

    # -- helpers ---------------------------------------------------------------------------------

    def app(self, name, main_class, single='yes', extra_vm='', exe='app'):
        folder = self.root / name
        text = ini(main_class, single, extra_vm).replace('{DIR}', str(folder))
        text = text.replace('{CLASSES}', str(self.classes))
        exe_path = make_app(folder, LAUNCHER, text, name=exe)
        for leftover in folder.glob('rec-*'):
            leftover.unlink()
        return exe_path

    def start(self, exe, args=(), trace=None, wait_main=True, env=None):
        extra = env or {}
        env = dict(os.environ)
        if trace:
            env['QL_LAUNCHER_TRACE'] = str(trace)
        for key, value in extra.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        process = subprocess.Popen([str(exe)] + list(args), env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   start_new_session=True)
        self.processes.append(process)
        if wait_main:
            self.wait_for(lambda: any(exe.parent.glob('main-started-%d' % process.pid)),
                          'main of %s' % exe)
        return process

    @staticmethod
    def wait_for(condition, what, timeout=60):
        wait_for(condition, what, timeout)

    def stop(self, exe, process, code=0):
        (exe.parent / 'stop').write_text(str(code))
        try:
            process.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            self.fail('the first instance did not end')
        (exe.parent / 'stop').unlink()
        return process.returncode

    def records(self, exe, kind=None):
        out = []
        for path in sorted(exe.parent.glob('rec-*')):
            k, count, body = path.read_text('utf-8').split('\n', 2)
            args = body.split(SEP) if int(count) else []
            self.assertEqual(len(args), int(count), path)
            if kind is None or k == kind:
                out.append(args)
        return out

    def second(self, exe, args, trace=None, timeout=60):
        env = {'QL_LAUNCHER_TRACE': str(trace)} if trace else None
        return run_linux(exe, args, env=env, timeout=timeout)

    # -- the hand-over ---------------------------------------------------------------------------

    def test_void_form_delivers_the_arguments_and_ends_with_0(self):
        exe = self.app('void', 'SiVoid')
        first = self.start(exe, ['first'])
        self.assertEqual(self.records(exe, 'main'), [['first']])
        trace = exe.parent / 'second.trace'
        cases = [
            ('several', ['hello', 'a b', 'x'], ['hello', 'a b', 'x']),
            ('empty in the middle', ['a', '', 'b'], ['a', '', 'b']),
            ('no arguments give one empty string', [], ['']),
            ('non-ASCII', ['caf\u00e9', '\u65e5\u672c'], ['caf\u00e9', '\u65e5\u672c']),
        ]
        for label, args, expected in cases:
            with self.subTest(label):
                for old in exe.parent.glob('rec-*'):
                    if old.read_text().startswith('void'):
                        old.unlink()
                result = self.second(exe, args, trace=trace)
                self.assertEqual(result.code, 0, result)
                self.wait_for(lambda: self.records(exe, 'void'), 'secondaryMain')
                self.assertEqual(self.records(exe, 'void'), [expected])
        text = trace.read_text()
        self.assertIn('second instance, block %s' % block_name(exe), text)
        self.assertNotIn('JNI_CreateJavaVM', text)  # a second start runs no Java
        self.assertEqual(self.stop(exe, first, 0), 0)

    def test_int_form_exit_code_is_the_returned_value(self):
        exe = self.app('int', 'SiInt')
        first = self.start(exe)
        for n in (0, 21, 60):
            with self.subTest(n=n):
                result = self.second(exe, [str(n), 'tail'])
                self.assertEqual(result.code, n * 2 + 1, result)
        got = sorted(self.records(exe, 'int'))
        self.assertEqual(got, sorted([[str(n), 'tail'] for n in (0, 21, 60)]))
        self.stop(exe, first)

    def test_without_secondaryMain_the_second_waits_for_the_first_and_takes_its_code(self):
        exe = self.app('none', 'SiNone')
        first = self.start(exe)
        second = self.start(exe, ['x'], wait_main=False)
        time.sleep(1.5)
        self.assertIsNone(second.poll(), 'the second start ended while the first still runs')
        self.assertEqual(self.stop(exe, first, 9), 9)
        ended = time.time()
        second.communicate(timeout=30)
        self.assertEqual(second.returncode, 9)
        # It wakes on the first's end, not on a poll long after.
        self.assertLess(time.time() - ended, 5)
        self.assertEqual(self.records(exe, 'main'), [[]])  # the second never ran main

    def test_capital_Yes_does_not_enable_it(self):
        exe = self.app('capital', 'SiVoid', single='Yes')
        first = self.start(exe, ['one'])
        second = self.start(exe, ['two'])  # runs its own main
        self.assertEqual(sorted(self.records(exe, 'main')), [['one'], ['two']])
        self.assertEqual(self.records(exe, 'void'), [])
        (exe.parent / 'stop').write_text('0')
        for process in (first, second):
            process.communicate(timeout=60)
        (exe.parent / 'stop').unlink()

    def test_copies_at_two_paths_never_meet(self):
        # Paths that differ only where one has a separator and the other an underscore too.
        exe_a = self.app('x/y', 'SiVoid')
        exe_b = self.app('x_y', 'SiVoid')
        first_a = self.start(exe_a, ['a'])
        first_b = self.start(exe_b, ['b'])  # a first instance of its own
        self.assertEqual(self.second(exe_b, ['to-b']).code, 0)
        self.wait_for(lambda: self.records(exe_b, 'void'), 'secondaryMain of b')
        self.assertEqual(self.records(exe_b, 'void'), [['to-b']])
        self.assertEqual(self.records(exe_a, 'void'), [])
        self.stop(exe_a, first_a)
        self.stop(exe_b, first_b)

    def test_arguments_over_1040_bytes_end_with_minus_1_and_deliver_nothing(self):
        exe = self.app('long', 'SiVoid')
        first = self.start(exe)
        # 1038 bytes of text + its zero + the closing zero is the most that fits.
        fits = self.second(exe, ['x' * 1038])
        self.assertEqual(fits.code, 0, fits)
        self.wait_for(lambda: self.records(exe, 'void'), 'secondaryMain')
        self.assertEqual(self.records(exe, 'void'), [['x' * 1038]])
        for args in (['x' * 1039], ['a' * 600, 'b' * 600]):
            with self.subTest(bytes=sum(len(a) + 1 for a in args) + 1):
                result = self.second(exe, args)
                self.assertEqual(result.code, 255, result)
                self.assertEqual(result.stdout + result.stderr, '')
        time.sleep(0.5)
        self.assertEqual(len(self.records(exe, 'void')), 1)
        self.stop(exe, first)

    def test_a_second_start_during_start_up_is_served_once_main_runs(self):
        exe = self.app('startup', 'SiVoid', extra_vm=' -javaagent:%s' % (self.root / 'agent.jar'))
        trace = exe.parent / 'first.trace'
        first = self.start(exe, ['first'], trace=trace, wait_main=False)
        self.wait_for(lambda: (exe.parent / 'agent-started').exists(), 'the slow start-up')
        self.assertFalse(any(exe.parent.glob('main-started-*')))
        result = self.second(exe, ['early', 'bird'])
        self.assertEqual(result.code, 0, result)
        self.wait_for(lambda: self.records(exe, 'void'), 'secondaryMain')
        self.assertEqual(self.records(exe, 'void'), [['early', 'bird']])
        text = trace.read_text()
        kept = text.index('kept until main is called')
        self.assertLess(kept, text.index('main starting'))
        self.assertLess(text.index('main starting'), text.index('serving the kept request'))
        self.stop(exe, first)
        (exe.parent / 'agent-started').unlink()

    def test_storm_of_20_second_starts(self):
        exe = self.app('storm', 'SiInt')
        first = self.start(exe)
        sets = {i: ['storm', str(i)] + ['t%d-%d %s' % (i, k, 'y' * (i * 7)) for k in range(i % 5 + 1)]
                for i in range(20)}
        seconds = {i: self.start(exe, args, wait_main=False) for i, args in sets.items()}
        for i, process in seconds.items():
            try:
                process.communicate(timeout=120)
            except subprocess.TimeoutExpired:
                self.fail('second start %d did not end' % i)
            self.assertEqual(process.returncode, 100 + i, 'second start %d' % i)
        got = self.records(exe, 'int')
        self.assertEqual(len(got), 20)
        self.assertEqual(sorted(got), sorted(sets.values()))
        self.stop(exe, first)

    def test_another_user_cannot_break_it(self):
        if os.geteuid() != 0:
            self.skipTest('acting as another user needs root')
        exe = self.app('hostile', 'SiVoid')
        old_name = str(exe).replace('/', '_')
        # Another user takes what the names of the blocks and of the channels of the coming thread
        # ids would be in the shared namespaces, and makes the folder where ours live elsewhere.
        squatter = subprocess.Popen(['/usr/bin/python3', '-c', SQUATTER, old_name], user=65534,
                                    group=65534, stdin=subprocess.PIPE, stdout=subprocess.PIPE, cwd='/')
        self.processes.append(squatter)
        self.assertEqual(squatter.stdout.readline().strip(), b'ready')
        try:
            first = self.start(exe, ['first'])
            trace = exe.parent / 'second.trace'
            result = self.second(exe, ['handed over'], trace=trace)
            self.assertEqual(result.code, 0, result)
            self.wait_for(lambda: self.records(exe, 'void'), 'secondaryMain')
            self.assertEqual(self.records(exe, 'void'), [['handed over']])
            self.assertEqual(self.stop(exe, first), 0)
        finally:
            squatter.kill()
            squatter.communicate()
            for path in Path('/dev/shm').glob(old_name + '*'):
                path.unlink()
        # A folder of another user where ours should be is never used: coordination is off and
        # the trace says why.
        with tempfile.TemporaryDirectory() as tmp:
            foreign = Path(tmp) / ('ql-launcher-%d' % os.geteuid())
            foreign.mkdir(mode=0o700)
            os.chown(foreign, 65534, 65534)
            trace = exe.parent / 'foreign.trace'
            run = self.start(exe, ['alone'], trace=trace, env={'TMPDIR': tmp, 'XDG_RUNTIME_DIR': None})
            self.assertEqual(self.stop(exe, run), 0)
            self.assertIn('single instance: off (the block cannot be created: %s belongs to another '
                          'user)' % foreign, trace.read_text())
            self.assertEqual(list(foreign.iterdir()), [])

    # -- the block's life ------------------------------------------------------------------------

    def test_the_block_goes_with_its_last_user_and_survives_a_crash(self):
        exe = self.app('life', 'SiVoid')
        shm = block_files(exe)[0]
        first = self.start(exe)
        self.assertTrue(shm.exists())
        self.assertEqual(len(channel_files(exe)), 1)  # the listener's
        self.assertEqual(self.stop(exe, first, 3), 3)  # System.exit, no clean-up of our own
        self.assertFalse(shm.exists())
        self.assertEqual(channel_files(exe), [])

        crashed = self.start(exe)
        os.kill(crashed.pid, signal.SIGKILL)
        crashed.wait(timeout=30)
        self.assertTrue(shm.exists())  # left behind, stale
        stale = channel_files(exe)
        self.assertEqual(len(stale), 1)
        for old in exe.parent.glob('main-started-*'):
            old.unlink()
        again = self.start(exe, ['again'])  # not fooled by the stale block: runs main
        self.assertEqual(self.second(exe, ['after']).code, 0)
        self.wait_for(lambda: self.records(exe, 'void'), 'secondaryMain')
        self.assertEqual(self.records(exe, 'void'), [['after']])
        # The crashed process's channel went when the next queue opened; the second start's went
        # with it.
        self.assertEqual([p for p in channel_files(exe) if p in stale], [])
        self.assertEqual(len(channel_files(exe)), 1)
        self.stop(exe, again)
        self.assertFalse(shm.exists())
        self.assertEqual(channel_files(exe), [])

    def test_starts_waiting_for_a_first_instance_that_dies_are_not_lost(self):
        # The first instance is stopped, so it copies nothing; three starts wait to hand over; then
        # it is killed. One of them becomes the first instance with its own arguments, and the
        # others hand theirs to it: every argument list arrives exactly once.
        exe = self.app('takeover', 'SiVoid')
        first = self.start(exe, ['doomed'])
        os.kill(first.pid, signal.SIGSTOP)
        waiting = [self.start(exe, ['waiting', str(i)], wait_main=False) for i in range(3)]
        time.sleep(1)
        self.assertTrue(all(p.poll() is None for p in waiting))
        os.kill(first.pid, signal.SIGKILL)
        first.wait(timeout=30)
        self.wait_for(lambda: len(self.records(exe)) == 4, 'the arguments of every waiting start')
        mains = self.records(exe, 'main')
        self.assertEqual(len(mains), 2, mains)
        successor = mains[1]
        self.assertEqual(sorted([successor] + self.records(exe, 'void')),
                         [['waiting', str(i)] for i in range(3)])
        new_first = waiting[int(successor[1])]
        for i, process in enumerate(waiting):
            if process is not new_first:
                self.assertEqual(process.wait(timeout=60), 0, 'start %d' % i)
        self.assertEqual(self.stop(exe, new_first, 5), 5)

    def test_a_first_instance_without_a_listener_lets_later_starts_run(self):
        # A runtime folder too long for a socket's name: the first instance's listener cannot
        # receive, so later starts must start on their own at once instead of waiting for it.
        with tempfile.TemporaryDirectory(prefix='r' * 80) as runtime:
            os.chmod(runtime, 0o700)
            env = {'XDG_RUNTIME_DIR': runtime}
            exe = self.app('nolistener', 'SiVoid')
            trace = exe.parent / 'nolistener.trace'
            first = self.start(exe, ['one'], env=env)
            started = time.time()
            second = self.start(exe, ['two'], trace=trace, env=env)
            self.assertLess(time.time() - started, 8)
            self.assertEqual(sorted(self.records(exe, 'main')), [['one'], ['two']])
            self.assertIn('single instance: off (the first instance has no listener)',
                          trace.read_text())
            (exe.parent / 'stop').write_text('0')
            for process in (first, second):
                process.communicate(timeout=60)
            (exe.parent / 'stop').unlink()


if __name__ == '__main__':
    unittest.main()
