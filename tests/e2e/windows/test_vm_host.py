"""The VM host on Windows (wine64, the 64-bit launcher) with the VM library test double: the
option list handed to the VM, the VM thread's stack, every creation failure, loading failures,
redirection, main's arguments from a real command line, and exit codes."""

import re
import shutil
import unittest
from pathlib import Path

from harness import BUILD_DIR, WineCase, app_ini, log_field, make_app, read_log, text

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE_DIR = BUILD_DIR / 'vmdouble'
MiB = 1024 * 1024

field = log_field


class VmHostUnderWine(WineCase):
    wine_label = 'vmhost'

    def launch(self, behaviour='main=com/example/App\n', extra='', application='',
               main='com.example.App', classpath='lib\\app.jar', library=None, args=None,
               cmdline=None, env=None, vm_kind='client', lib=()):
        """Lays out a runtime holding library as bin\\<vm_kind>\\jvm.dll and an application that
        names it in "JRE Path", runs the application and returns (result, log events, app folder,
        runtime home)."""
        type(self).count += 1
        root = self.wine.workdir / ('case%d' % self.count)
        home = root / 'rt'
        (home / 'bin' / vm_kind).mkdir(parents=True)
        shutil.copy2(library or DOUBLE_DIR / 'jvm.dll', home / 'bin' / vm_kind / 'jvm.dll')
        ini = app_ini('JRE Path=%s\n%s\n' % (self.wine.winpath(home), extra), main=main,
                      classpath=classpath, sections=application)
        exe = make_app(root / 'app', LAUNCHER, ini)
        for name in lib:
            (exe.parent / 'lib' / name.replace('\\', '/')).parent.mkdir(parents=True, exist_ok=True)
            (exe.parent / 'lib' / name.replace('\\', '/')).write_bytes(b'')
        config = root / 'double.cfg'
        config.write_text(behaviour)
        log = root / 'double.log'
        full_env = {'VMDOUBLE_CONFIG': self.wine.winpath(config),
                    'VMDOUBLE_LOG': self.wine.winpath(log),
                    'QL_LAUNCHER_TRACE': self.wine.winpath(root / 'trace.txt')}
        full_env.update(env or {})
        result = self.wine.run(exe, args=args, cmdline=cmdline, env=full_env, timeout=60)
        self.last_trace = (root / 'trace.txt').read_text('latin-1') if (root / 'trace.txt').exists() else ''
        return result, read_log(log), exe.parent, home

    # -- the option list ----------------------------------------------------------------------

    def test_option_list_in_order(self):
        result, events, app, home = self.launch(
            extra=('Virtual Machine Parameters=-Dtitle="Big App"   -Xmx0:256p -Xms16m '
                   '-Dlog=%QLTEST_DIR%\\app.log -Dkeep=%QLTEST_UNSET% "-Dq=a ""b"""\n'
                   'Library Path=C:\\mylibs\n'
                   'System Path=C:\\sys;'),
            env={'QLTEST_DIR': 'C:\\data'})
        self.assertEqual(result.code, 0, result)
        self.assertEqual(result.boxes, [])
        app_dir = self.wine.winpath(app) + '\\'
        rt = self.wine.winpath(home)
        # The search path as the program inherited it, recovered from the new one.
        path = re.search(r'^environment Path=(.*)$', self.last_trace, re.M).group(1)
        prefix, suffix = 'C:\\sys;', ';%s\\bin' % rt
        self.assertTrue(path.startswith(prefix) and path.endswith(suffix), path)
        inherited = path[len(prefix):-len(suffix)]
        self.assertIn('c:\\windows\\system32', inherited.lower())
        self.assertNotIn(';;', path)

        def logged(text):
            return text.replace('\\', '\\x5c')

        options = [line.split(' ', 2)[2] for line in events if line.startswith('option ')]
        self.assertEqual(options, [
            logged('-Djava.library.path=C:\\mylibs;%s;.;%s;%s\\lib' % (app_dir, inherited, rt)),
            logged('-Djava.class.path=lib\\app.jar'),
            '-Dtitle=Big App',
            '-Xmx262144K',
            '-Xms16m',
            logged('-Dlog=C:\\data\\app.log'),
            '-Dkeep=%QLTEST_UNSET%',
            '-Dq=a "b"',
        ])
        self.assertIn('version=0x00010002 nOptions=8 ignoreUnrecognized=0 ',
                      field(events, 'CreateJavaVM '))
        traced = re.findall(r'^VM option: (.*)$', self.last_trace, re.M)
        self.assertEqual([logged(option) for option in traced], options)
        self.assertIn('environment QL_JVM_PATH=%s\\bin\\client\\jvm.dll\n' % rt, self.last_trace)
        self.assertIn('environment QL_JVM_HOME=%s\n' % rt, self.last_trace)

    def test_without_library_path_the_class_path_comes_first(self):
        result, events, _, _ = self.launch(extra='Virtual Machine Parameters=-Xmx64m')
        self.assertEqual(result.code, 0, result)
        options = [line.split(' ', 2)[2] for line in events if line.startswith('option ')]
        self.assertEqual(options, ['-Djava.class.path=lib\\x5capp.jar', '-Xmx64m'])

    # -- the VM thread's stack ----------------------------------------------------------------

    def test_vm_thread_stack_size(self):
        rows = [
            # (VM parameters, stack size the launcher asks for)
            ('-Xss6m', 6 * MiB),
            ('-Xss0:3p', 3 * MiB),
            ('-Xss7340032', 7 * MiB),
            ('', 5 * MiB),  # none given: the VM's default from the JNI 1.1 record
        ]
        for parameters, size in rows:
            with self.subTest(parameters=parameters):
                result, events, _, _ = self.launch(
                    behaviour='main=com/example/App\ndefault-stack=%d\n' % (5 * MiB),
                    extra='Virtual Machine Parameters=' + parameters)
                self.assertEqual(result.code, 0, result)
                self.assertIn('VM thread stack size: %d\n' % size, self.last_trace)
                asked = 'GetDefaultJavaVMInitArgs version=0x00010001' in events
                self.assertEqual(asked, not parameters)
                observed = int(re.search(r'stack=(\d+)', field(events, 'CreateJavaVM ')).group(1))
                # The system rounds the reservation up; it never gives less than asked.
                self.assertGreaterEqual(observed, size)
                self.assertLess(observed, size + 2 * MiB)

    def test_relative_stack_size_follows_the_machine(self):
        result, events, _, _ = self.launch(extra='Virtual Machine Parameters=-Xss1p')
        self.assertEqual(result.code, 0, result)
        option = [line.split(' ', 2)[2] for line in events if line.startswith('option ')][-1]
        kilobytes = int(re.fullmatch(r'-Xss(\d+)K', option).group(1))
        total = int(re.search(r'MemTotal:\s+(\d+) kB', Path('/proc/meminfo').read_text()).group(1))
        self.assertAlmostEqual(kilobytes, total // 100, delta=total // 1000 + 1)
        self.assertIn('VM thread stack size: %d\n' % (kilobytes * 1024), self.last_trace)

    # -- failures -----------------------------------------------------------------------------

    def test_every_creation_result_has_its_message(self):
        reasons = {-1: 'unknown', -2: 'thread detached from VM', -3: 'JNI version error',
                   -4: 'not enough memory', -5: 'VM already created', -6: 'invalid arguments',
                   -7: ''}
        for code, reason in reasons.items():
            with self.subTest(code=code):
                result, events, _, _ = self.launch(behaviour='create=%d\n' % code)
                self.assertEqual(result.code, -1, result)
                self.assertEqual(result.boxes, ['JNI exception: failed to create the Java VM\n'
                                                'Reason: %s.\n' % reason])
                self.assertIn('CreateJavaVM result=%d' % code, events)
                self.assertNotIn('DestroyJavaVM begin', events)

    def test_the_vms_words_come_below_its_failure(self):
        result, events, _, _ = self.launch(
            behaviour='create-action=say Unrecognized option: --bogus\ncreate-action=say Error: a '
                      'second line\ncreate=-1\n')
        self.assertEqual(result.code, -1, result)
        self.assertEqual(result.boxes, ['JNI exception: failed to create the Java VM\nReason: unknown.\n'
                                        '\nUnrecognized option: --bogus\nError: a second line\n'])
        self.assertIn('hook vfprintf', events)

    def test_module_options_wildcards_and_the_programs_folder(self):
        # A vendor's java command line, written as it stands; the program is started from a folder
        # of its own, so only %QL_APP_HOME% finds its files.
        result, events, app, _ = self.launch(
            extra='Virtual Machine Parameters=--add-opens java.base/java.lang=ALL-UNNAMED -p '
                  '%QL_APP_HOME%\\mods --add-modules=a.b -Dhome=%QL_APP_HOME%',
            classpath='%QL_APP_HOME%\\lib\\*;missing.jar',
            env={}, args=None, lib=['b.jar', 'A.JAR', 'c.Jar', 'notes.txt', 'sub\\d.jar'])
        self.assertEqual(result.code, 0, result)
        home = self.wine.winpath(app)
        options = [line.split(' ', 2)[2] for line in events if line.startswith('option ')]
        self.assertEqual(options, [
            ('-Djava.class.path=%s\\lib\\A.JAR;%s\\lib\\b.jar;%s\\lib\\c.Jar;missing.jar'
             % (home, home, home)).replace('\\', '\\x5c'),
            '--add-opens=java.base/java.lang=ALL-UNNAMED',
            ('--module-path=%s\\mods' % home).replace('\\', '\\x5c'),
            '--add-modules=a.b', ('-Dhome=%s' % home).replace('\\', '\\x5c')])
        self.assertIn('environment QL_APP_HOME=%s\n' % home, self.last_trace)
        self.assertIn('class path: missing.jar does not exist\n', self.last_trace)

    def test_vm_library_that_does_not_load(self):
        result, events, _, home = self.launch(library=DOUBLE_DIR / 'brokenjvm' / 'jvm.dll')
        self.assertEqual(result.code, -1, result)
        self.assertEqual(result.boxes, ['Failed to load Java VM library: %s\\bin\\client\\jvm.dll '
                                        '(errno = 126).\n' % self.wine.winpath(home)])
        self.assertEqual(events, [])

    def test_library_without_jni_entries(self):
        result, _, _, _ = self.launch(library=DOUBLE_DIR / 'notvm.dll')
        self.assertEqual(result.code, -1, result)
        self.assertEqual(result.boxes,
                         ['Windows exception: cannot find CreateJavaVM JNI (errno = 127).\n'])

    def test_main_class_failures(self):
        rows = [
            ('main=com/example/App\n', 'com.example.Nope',
             ['Could not find the main class com/example/Nope.\n'],
             'describe java.lang.NoClassDefFoundError: com/example/Nope'),
            ('class=com/example/App\n', 'com.example.App',
             ['No main method found in specified class.\n'],
             'describe java.lang.NoSuchMethodError: main'),
        ]
        for behaviour, main, boxes, described in rows:
            with self.subTest(main=main, behaviour=behaviour):
                result, events, _, _ = self.launch(behaviour=behaviour, main=main)
                self.assertEqual(result.code, -1, result)
                self.assertEqual(result.boxes, boxes)
                self.assertIn(described, events)
                self.assertIn('DetachCurrentThread result=0', events)

    def test_empty_class_path(self):
        result, events, _, _ = self.launch(classpath='', extra='Library Path=C:\\mylibs')
        self.assertEqual(result.code, -1, result)
        self.assertEqual(result.boxes, [text('IDS_NO_CLASS_PATH')])
        self.assertFalse(any(line.startswith('CreateJavaVM') for line in events), events)

    # -- redirection, arguments, exit codes ---------------------------------------------------

    def test_redirection_to_files(self):
        folder = self.wine.workdir / 'redirect'
        folder.mkdir(exist_ok=True)
        (folder / 'out.txt').write_text('stale text\n' * 20)
        behaviour = ('main=com/example/App\nmain-action=print-out hello out\n'
                     'main-action=print-err hello err\n'
                     'main-action=throw java/lang/IllegalStateException boom\n')
        for _ in range(2):
            result, events, _, _ = self.launch(
                behaviour=behaviour,
                application='[Application]\nOutput File=%QLTEST_OUT%\\out.txt\n'
                            'Error File=%QLTEST_OUT%\\err.txt\n',
                env={'QLTEST_OUT': self.wine.winpath(folder)})
            self.assertEqual(result.code, 1, result)
            self.assertEqual(result.boxes, [])
            self.assertEqual((folder / 'out.txt').read_text(), 'hello out\n')
            err = (folder / 'err.txt').read_text()
            self.assertTrue(err.startswith('hello err\nException in thread "main" '
                                           'java.lang.IllegalStateException: boom\n'), err)
            self.assertIn('setOut %s\\x5cout.txt' % self.wine.winpath(folder).replace('\\', '\\x5c'),
                          events)

    def test_arguments_from_a_real_command_line(self):
        rows = [
            ('"a b" c', ['a b', 'c']),
            ('a"b c"', ['a"b', 'c"']),
            ('"" x', ['', 'x']),
            ('x   y', ['x', 'y']),
            ('"a b', ['a b']),
            ('', []),
            ('-nosplash C:\\dir\\file.txt', ['-nosplash', 'C:\\x5cdir\\x5cfile.txt']),
        ]
        for cmdline, expected in rows:
            with self.subTest(cmdline=cmdline):
                result, events, _, _ = self.launch(cmdline=cmdline)
                self.assertEqual(result.code, 0, result)
                self.assertIn('main argc %d' % len(expected), events)
                got = [line.split(' ', 3)[3] if line.count(' ') >= 3 else ''
                       for line in events if line.startswith('main arg ')]
                self.assertEqual(got, expected)

    def test_exit_codes(self):
        rows = [
            ('main=com/example/App\nmain-action=exit 7\n', 7),
            ('main=com/example/App\nmain-action=exit -3\n', -3),
            ('main=com/example/App\nmain-action=thread 300 exit 9\n', 9),
            ('main=com/example/App\nmain-action=return\n', 0),
            ('main=com/example/App\nmain-action=throw java/lang/Error x\n', 1),
            ('main=com/example/App\ndetach-result=-2\n', -1),
        ]
        for behaviour, code in rows:
            with self.subTest(behaviour=behaviour):
                result, events, _, _ = self.launch(behaviour=behaviour)
                self.assertEqual(result.code, code, result)
                self.assertEqual(result.boxes, [])

    def test_destroy_waits_for_application_threads(self):
        result, events, _, _ = self.launch(
            behaviour='main=com/example/App\nmain-action=thread 1200 return\n')
        self.assertEqual(result.code, 0, result)
        self.assertGreaterEqual(result.elapsed_ms, 1200)
        self.assertLess(events.index('DetachCurrentThread result=0'),
                        events.index('DestroyJavaVM begin'))
        self.assertLess(events.index('thread end'), events.index('DestroyJavaVM end'))


if __name__ == '__main__':
    unittest.main()
