"""Single-instance coordination on Windows (wine64, the 64-bit launcher) with the VM library test
double: a second start of the same program hands its arguments to the running first one through
the named block and the registered message, and ends with its answer."""

import shutil
import time
import unittest

from harness import BUILD_DIR, WineCase, block_name, make_app, secondary_calls, wait_for

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE_DIR = BUILD_DIR / 'vmdouble'

INI = '''[Application]
Single Instance={single}
[Java Runtime Environment]
JRE Path={jre}
Main Class=example.App
[Class Path]
Class Path=app.jar
'''


calls = secondary_calls


class SingleInstanceUnderWine(WineCase):
    wine_label = 'single-instance'

    def setUp(self):
        self.running = []

    def tearDown(self):
        # Whatever still waits for its stop file gets it, so no program outlives its test.
        for root in getattr(self, 'roots', []):
            (root / 'stop').write_text('')
        for run in self.running:
            try:
                run.wait(60)
            except AssertionError:
                pass

    def app(self, behaviour, single='yes', name='app', exit_code=9):
        """An application folder with the VM double as its runtime; main waits for the file
        "stop" and then exits with exit_code."""
        type(self).count += 1
        root = self.wine.workdir / ('case%d' % self.count)
        home = root / 'rt'
        (home / 'bin' / 'client').mkdir(parents=True)
        shutil.copy2(DOUBLE_DIR / 'jvm.dll', home / 'bin' / 'client' / 'jvm.dll')
        exe = make_app(root / name, LAUNCHER, INI.format(single=single, jre=self.wine.winpath(home)))
        (root / 'double.cfg').write_text(
            'main=example/App\nmain-action=wait-file %s\nmain-action=exit %d\n%s'
            % (self.wine.winpath(root / 'stop'), exit_code, behaviour))
        self.roots = getattr(self, 'roots', []) + [root]
        return exe, root

    def env(self, root, log='double.log', trace='trace.txt'):
        return {'VMDOUBLE_CONFIG': self.wine.winpath(root / 'double.cfg'),
                'VMDOUBLE_LOG': self.wine.winpath(root / log),
                'QL_LAUNCHER_TRACE': self.wine.winpath(root / trace)}

    @staticmethod
    def wait_for(condition, what, timeout=60):
        wait_for(condition, what, timeout, interval=0.05)

    def start_first(self, exe, root, args=('first',), wait_main=True, log='double.log'):
        run = self.wine.start(exe, args=list(args), env=self.env(root, log), timeout=180,
                              boxes=False)
        self.running.append(run)
        if wait_main:
            path = root / log
            self.wait_for(lambda: path.exists() and 'main class' in path.read_text('ascii'),
                          'main of the first instance')
        return run

    def stop(self, root, run):
        (root / 'stop').write_text('')
        result = run.wait(60)
        self.running.remove(run)
        (root / 'stop').unlink()
        return result

    def second(self, exe, root, args, trace='second.txt'):
        return self.wine.run(exe, args=args, env=self.env(root, 'second.log', trace), timeout=60,
                             boxes=False)

    # -- the hand-over ---------------------------------------------------------------------------

    def test_void_form(self):
        exe, root = self.app('secondary=void\n')
        first = self.start_first(exe, root)
        cases = [
            ('several', ['hello', 'a b'], ['hello', 'a b']),
            ('empty in the middle', ['a', '', 'b'], ['a', '', 'b']),
            ('no arguments give one empty string', [], ['']),
        ]
        for label, args, expected in cases:
            with self.subTest(label):
                before = len(calls(root / 'double.log'))
                result = self.second(exe, root, args)
                self.assertEqual(result.code, 0, result)
                self.assertEqual(result.boxes, [])
                self.wait_for(lambda: len(calls(root / 'double.log')) > before, 'secondaryMain')
                self.assertEqual(calls(root / 'double.log')[before:], [expected])
        # The second starts loaded no VM; the block and message are named from the path.
        self.assertFalse((root / 'second.log').exists())
        trace = (root / 'second.txt').read_text('latin-1')
        self.assertIn('second instance, block %s' % block_name(self.wine.winpath(exe), '\\'), trace)
        self.assertEqual(self.stop(root, first).code, 9)

    def test_int_form_exit_code_is_the_returned_value(self):
        exe, root = self.app('secondary=int\nsecondary-result=-5\n')
        first = self.start_first(exe, root)
        result = self.second(exe, root, ['x'])
        self.assertEqual(result.code, -5, result)
        self.assertEqual(calls(root / 'double.log'), [['x']])
        self.stop(root, first)

    def test_without_secondaryMain_the_second_takes_the_first_exit_code(self):
        # 259 is also the system's "still active": the ended process's code all the same.
        exe, root = self.app('', exit_code=259)
        first = self.start_first(exe, root)
        second = self.wine.start(exe, args=['x'], env=self.env(root, 'second.log', 'second.txt'),
                                 timeout=120, boxes=False)
        self.running.append(second)
        self.wait_for(lambda: 'request posted' in self.text(root / 'second.txt'), 'the request')
        time.sleep(1)
        self.assertIsNone(second._process.poll(), 'the second start ended before the first')
        self.assertEqual(self.stop(root, first).code, 259)
        result = second.wait(60)
        self.running.remove(second)
        self.assertEqual(result.code, 259, result)

    @staticmethod
    def text(path):
        return path.read_text('latin-1') if path.exists() else ''

    def test_capital_Yes_does_not_enable_it(self):
        exe, root = self.app('secondary=void\n', single='Yes')
        self.start_first(exe, root)
        self.start_first(exe, root, args=['two'], log='second.log')  # a VM of its own
        self.assertEqual(calls(root / 'double.log') + calls(root / 'second.log'), [])

    def test_copies_at_two_paths_never_meet(self):
        exe_a, root_a = self.app('secondary=void\n')
        exe_b, root_b = self.app('secondary=void\n')
        self.start_first(exe_a, root_a)
        first_b = self.start_first(exe_b, root_b)  # not a second start of a
        self.assertEqual(self.second(exe_b, root_b, ['to-b']).code, 0)
        # The void form answers before the call: the call may still be on its way.
        self.wait_for(lambda: calls(root_b / 'double.log'), 'secondaryMain of b')
        self.assertEqual(calls(root_b / 'double.log'), [['to-b']])
        self.assertEqual(calls(root_a / 'double.log'), [])
        self.stop(root_b, first_b)

    def test_arguments_over_1040_bytes_end_with_minus_1(self):
        exe, root = self.app('secondary=void\n')
        first = self.start_first(exe, root)
        self.assertEqual(self.second(exe, root, ['x' * 1038]).code, 0)
        self.wait_for(lambda: calls(root / 'double.log'), 'secondaryMain')
        for args in (['x' * 1039], ['a' * 600, 'b' * 600]):
            with self.subTest(bytes=sum(len(a) + 1 for a in args) + 1):
                result = self.second(exe, root, args)
                self.assertEqual(result.code, -1, result)
                self.assertEqual(result.boxes, [])
        time.sleep(0.5)
        self.assertEqual(calls(root / 'double.log'), [['x' * 1038]])
        self.stop(root, first)

    def test_a_second_start_during_start_up_is_served_once_main_runs(self):
        exe, root = self.app('secondary=void\ncreate-action=sleep 4000\n')
        first = self.start_first(exe, root, wait_main=False)
        log = root / 'double.log'
        self.wait_for(lambda: 'CreateJavaVM version' in self.text(log), 'the VM creation')
        result = self.second(exe, root, ['early'])
        self.assertEqual(result.code, 0, result)
        self.wait_for(lambda: calls(log), 'secondaryMain')
        self.assertEqual(calls(log), [['early']])
        text = self.text(log)
        self.assertLess(text.index('main class'), text.index('secondaryMain call'))
        trace = self.text(root / 'trace.txt')
        self.assertLess(trace.index('kept until main is called'), trace.index('main starting'))
        self.stop(root, first)

    def test_storm_of_20_second_starts(self):
        exe, root = self.app('secondary=int\nsecondary-result=100\nsecondary-result-arg=1\n')
        first = self.start_first(exe, root)
        sets = {i: ['storm', str(i)] + ['t%d-%d%s' % (i, k, 'y' * (i * 9)) for k in range(i % 4 + 1)]
                for i in range(20)}
        runs = {i: self.wine.start(exe, args=args, env=self.env(root, 'second.log', 's%d.txt' % i),
                                   timeout=180, boxes=False)
                for i, args in sets.items()}
        for i, run in runs.items():
            self.assertEqual(run.wait(180).code, 100 + i, 'second start %d' % i)
        got = calls(root / 'double.log')
        self.assertEqual(len(got), 20)
        self.assertEqual(sorted(got), sorted(sets.values()))
        self.stop(root, first)


if __name__ == '__main__':
    unittest.main()
