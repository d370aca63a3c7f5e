"""The Linux launcher's start-up: settings errors on standard error, where the program INI and the
per-user INI are looked for, and that a failed start writes nothing."""

import shutil
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, make_app, read_lines, run_linux, text, traced, tree_state

LAUNCHER = BUILD_DIR / 'launcher'
NO_MAIN_CLASS = text('IDS_NO_MAIN_CLASS') + '\n'


class Foundation(unittest.TestCase):

    def setUp(self):
        if not LAUNCHER.exists():
            raise AssertionError('%s is missing: build the linux tree' % LAUNCHER)
        self.root = Path(tempfile.mkdtemp(prefix='foundation-'))
        self.config = self.root / 'config'
        self.home = self.root / 'home'
        self.config.mkdir()
        self.home.mkdir()
        self.env = {'XDG_CONFIG_HOME': str(self.config), 'HOME': str(self.home),
                    'QL_LAUNCHER_TRACE': None}

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def run_traced(self, exe, env=None):
        trace = self.root / 'trace.txt'
        if trace.exists():
            trace.unlink()
        run_env = dict(self.env)
        run_env['QL_LAUNCHER_TRACE'] = str(trace)
        run_env.update(env or {})
        result = run_linux(exe, [], env=run_env, cwd=self.root, timeout=60)
        return result, read_lines(trace)

    def assert_main_class_error(self, result, context):
        self.assertEqual(result.stderr, NO_MAIN_CLASS, '%s: standard error was %r' % (context, result.stderr))
        self.assertEqual(result.stdout, '', '%s: standard output was %r' % (context, result.stdout))
        self.assertEqual(result.code, 255, '%s: exit status %r, expected 255' % (context, result.code))

    def test_missing_main_class_is_reported_once_and_ends_with_255(self):
        cases = [
            ('ini-without-main-class',
             '[Java Runtime Environment]\nMinimum Version=1.6\nJRE Path=/nowhere\n'
             '[Class Path]\nClass Path=app.jar\n'),
            ('ini-with-empty-main-class', '[Java Runtime Environment]\nMain Class=\n'),
            ('main-class-in-wrong-section', '[Application]\nMain Class=com.example.App\n'),
            ('main-class-commented-out', '[Java Runtime Environment]\n;Main Class=com.example.App\n'),
            ('empty-ini', ''),
            ('no-ini', None),
        ]
        for label, ini in cases:
            with self.subTest(label):
                exe = make_app(self.root / label, LAUNCHER, ini)
                self.assert_main_class_error(run_linux(exe, ['x'], env=self.env, cwd=self.root, timeout=60),
                                             label)

    def test_a_failed_start_writes_nothing(self):
        ini = ('[Product Information]\nProduct Name=Write Test\nProduct Code={7-7}\n'
               '[Java Runtime Environment]\nJRE Path=rt\n')
        for label, text in [('with-ini', ini), ('without-ini', None)]:
            with self.subTest(label):
                exe = make_app(self.root / label, LAUNCHER, text)
                before_app = tree_state(exe.parent)
                before_config = tree_state(self.config)
                before_home = tree_state(self.home)
                for run in (1, 2):
                    result = run_linux(exe, [], env=self.env, cwd=self.root, timeout=60)
                    self.assert_main_class_error(result, '%s run %d' % (label, run))
                    self.assertEqual(tree_state(exe.parent), before_app,
                                     '%s run %d changed the program folder' % (label, run))
                    self.assertEqual(tree_state(self.config), before_config,
                                     '%s run %d wrote below XDG_CONFIG_HOME' % (label, run))
                    self.assertEqual(tree_state(self.home), before_home,
                                     '%s run %d wrote below HOME' % (label, run))

    def test_program_ini_is_the_executable_path_with_its_extension_replaced(self):
        # (folder, executable name, INI that must be read). Every other candidate INI holds a
        # main class, the right one none: reading a wrong one would end without the error.
        decoy = '[Java Runtime Environment]\nMain Class=wrong.Ini\n'
        cases = [
            ('plain', 'run', 'run.ini'),
            ('my.app', 'run', 'run.ini'),
            ('my.app', 'run.bin', 'run.ini'),
            ('dots', 'run.x.y', 'run.x.ini'),
            ('trailing', 'run.', 'run.ini'),
        ]
        for folder_name, exe_name, ini_name in cases:
            label = '%s/%s' % (folder_name, exe_name)
            with self.subTest(label):
                folder = self.root / ('ini-' + label.replace('/', '-')) / folder_name
                exe = make_app(folder, LAUNCHER, None, name=exe_name)
                expected = folder / ini_name
                for wrong in {exe_name + '.ini', 'run.bin.ini', folder_name + '.ini', 'run.ini',
                              'my.ini', 'run.x.y.ini'} - {ini_name}:
                    (folder / wrong).write_text(decoy)
                (folder.parent / (folder_name.split('.')[0] + '.ini')).write_text(decoy)
                expected.write_text('[Java Runtime Environment]\nMinimum Version=1.5\n')
                result, lines = self.run_traced(exe)
                read = traced(lines, 'INI file: ')
                self.assertTrue(read and set(read) == {str(expected)},
                                '%s: the trace names %r, expected %s' % (label, read, expected))
                self.assertEqual(traced(lines, 'setting Minimum Version: ')[:1], ['[1.5]'],
                                 '%s: the setting of %s was not read' % (label, ini_name))
                self.assert_main_class_error(result, label)

                # The same INI with a main class gets past the settings.
                expected.write_text('[Java Runtime Environment]\nMain Class=com.example.App\n')
                result, lines = self.run_traced(exe)
                self.assertEqual(traced(lines, 'setting Main Class: ')[:1], ['[com.example.App]'], label)
                self.assertNotIn('Main class was not specified', result.stderr, label)

    def test_jre_path_comes_from_the_per_user_ini_when_that_exists(self):
        program_ini = ('[Product Information]\nProduct Name=My:App*\nProduct Code={1-2}\n'
                       '[Java Runtime Environment]\nJRE Path=/from/program\n%s')
        user_with_key = '[Java Runtime Environment]\nJRE Path=/from/user\n'
        user_without_key = '[Java Runtime Environment]\nMinimum Version=1.7\n'
        service = '[Application]\nApplication Type=service\n'
        # (label, extra program INI text, per-user INI text or None, use HOME instead of
        #  XDG_CONFIG_HOME, expected source ('program' or 'user'), expected value)
        cases = [
            ('no-user-ini', '', None, False, 'program', '/from/program'),
            ('user-ini-with-key', '', user_with_key, False, 'user', '/from/user'),
            ('user-ini-without-key-hides-program-value', '', user_without_key, False, 'user', ''),
            ('empty-user-ini', '', '', False, 'user', ''),
            ('service-ignores-user-ini', service, user_with_key, False, 'program', '/from/program'),
            ('home-config-when-xdg-unset', '', user_with_key, True, 'user', '/from/user'),
        ]
        for label, extra, user_text, use_home, source, value in cases:
            with self.subTest(label):
                folder = self.root / ('user-' + label)
                exe = make_app(folder, LAUNCHER, None, name='tool.bin')
                (folder / 'tool.ini').write_text(program_ini % extra)
                base = (self.home / '.config') if use_home else self.config
                user_ini = base / 'MyApp' / '{1-2}' / 'tool.ini'
                if user_ini.exists():
                    user_ini.unlink()
                if user_text is not None:
                    user_ini.parent.mkdir(parents=True, exist_ok=True)
                    user_ini.write_text(user_text)
                env = {'XDG_CONFIG_HOME': None} if use_home else {}
                before = tree_state(self.root)
                result, lines = self.run_traced(exe, env)
                expected_source = str(user_ini if source == 'user' else folder / 'tool.ini')
                self.assertEqual(traced(lines, 'JRE Path read from: '), [expected_source],
                                 '%s: JRE Path read from the wrong file' % label)
                self.assertEqual(traced(lines, 'setting JRE Path: '), ['[%s]' % value], label)
                self.assert_main_class_error(result, label)
                after = tree_state(self.root)
                after.pop('trace.txt', None)
                before.pop('trace.txt', None)
                self.assertEqual(after, before, '%s: the run wrote files' % label)


if __name__ == '__main__':
    unittest.main(verbosity=2)
