"""How the Linux launcher finds its Java runtime: "JRE Path", a runtime beside the executable, the
runtimes installed below /usr/lib/jvm and JAVA_HOME, observed through the trace's "VM library:"
line. Runtimes are folder trees with placeholder libraries, except in the test of the real
/usr/lib/jvm."""

import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, app_ini as ini, make_app, run_linux

LAUNCHER = BUILD_DIR / 'launcher'
OPENJDK17 = Path('/usr/lib/jvm/java-17-openjdk-amd64')

# No installed runtime is as old as 1.0, so this maximum keeps /usr/lib/jvm out of a test.
NOTHING_INSTALLED = 'Maximum Version=1.0\n'


def runtime(home, *libraries, release=None, javac=False, marker=True):
    """A runtime folder with placeholder files; returns its path."""
    home = Path(home)
    for relative in libraries:
        path = home / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(b'placeholder, not a library')
    if marker:
        (home / 'lib').mkdir(parents=True, exist_ok=True)
        (home / 'lib' / 'libjava.so').write_bytes(b'placeholder')
    if release is not None:
        (home / 'release').write_text('IMPLEMENTOR="Test"\nJAVA_VERSION="%s"\n' % release)
    if javac:
        (home / 'bin').mkdir(parents=True, exist_ok=True)
        (home / 'bin' / 'javac').write_bytes(b'placeholder')
    home.mkdir(parents=True, exist_ok=True)
    return home


class RuntimeSearchTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(LAUNCHER.exists(), LAUNCHER)
        self._tmp = tempfile.TemporaryDirectory(prefix='runtime-search-')
        self.tmp = Path(self._tmp.name)
        self.runs = 0

    def tearDown(self):
        self._tmp.cleanup()

    def chosen(self, folder, ini_text, env=None, cwd=None):
        """Runs an app in folder and returns the trace's "VM library:" value."""
        exe = make_app(folder, LAUNCHER, ini_text)
        self.runs += 1
        trace = self.tmp / ('trace-%d.txt' % self.runs)
        full_env = {'QL_LAUNCHER_TRACE': str(trace), 'JAVA_HOME': None}
        full_env.update(env or {})
        result = run_linux(exe, env=full_env, cwd=cwd or folder, timeout=60)
        lines = trace.read_text().splitlines() if trace.exists() else []
        found = [line[len('VM library: '):] for line in lines if line.startswith('VM library: ')]
        self.assertEqual(len(found), 1, 'one "VM library:" line expected\n%s\n%r'
                         % ('\n'.join(lines), result))
        if found[0] == 'none':
            self.assertEqual(result.code, 255, result)  # start-up ends with -1
        self.last_trace = lines
        return found[0]

    # -- "JRE Path" ----------------------------------------------------------------------------

    def test_jre_path_with_and_without_trailing_separator(self):
        home = runtime(self.tmp / 'rt', 'lib/server/libjvm.so')
        expected = str(home / 'lib/server/libjvm.so')
        for value in (str(home), str(home) + '/'):
            with self.subTest(value=value):
                app = self.tmp / ('app-' + str(len(value)))
                self.assertEqual(self.chosen(app, ini('JRE Path=%s\n' % value)), expected)

    def test_relative_jre_path_is_resolved_against_the_current_folder(self):
        home = runtime(self.tmp / 'app' / 'rt', 'lib/server/libjvm.so')
        self.assertEqual(self.chosen(self.tmp / 'app', ini('JRE Path=rt\n'), cwd=self.tmp / 'app'),
                         'rt/lib/server/libjvm.so')
        self.assertTrue((home / 'lib/server/libjvm.so').exists())

    def test_jre_path_ignores_the_version_range(self):
        home = runtime(self.tmp / 'rt', 'lib/server/libjvm.so', release='1.4.2')
        self.assertEqual(self.chosen(self.tmp / 'app', ini('JRE Path=%s\nMinimum Version=99\n' % home)),
                         str(home / 'lib/server/libjvm.so'))

    def test_jre_path_without_usable_library_falls_through(self):
        empty = runtime(self.tmp / 'empty', 'lib/client/libjvm.so')  # only a client VM
        app = self.tmp / 'app'
        beside = runtime(app / 'jre', 'lib/server/libjvm.so')
        text = ini('JRE Path=%s\nJVM Type=server\n' % empty)
        self.assertEqual(self.chosen(app, text), str(beside / 'lib/server/libjvm.so'))
        # The setting stays as it was.
        self.assertIn('JRE Path=%s\n' % empty, (app / 'app.ini').read_text())
        # A missing folder falls through as well.
        self.assertEqual(self.chosen(app, ini('JRE Path=%s\n' % (self.tmp / 'missing'))),
                         str(beside / 'lib/server/libjvm.so'))

    # -- the runtime beside the executable -----------------------------------------------------

    def test_executable_inside_a_runtime_home(self):
        app = runtime(self.tmp / 'home', 'lib/server/libjvm.so', release='1.2')
        self.assertEqual(self.chosen(app, ini('Minimum Version=99\n')),
                         str(app / 'lib/server/libjvm.so'))

    def test_executable_with_jre_beside_it(self):
        app = self.tmp / 'app'
        jre = runtime(app / 'jre', 'lib/server/libjvm.so', release='1.2')
        self.assertEqual(self.chosen(app, ini('Minimum Version=99\n')),
                         str(jre / 'lib/server/libjvm.so'))

    def test_own_home_wins_over_jre_beside_it(self):
        app = runtime(self.tmp / 'home', 'lib/server/libjvm.so')
        runtime(app / 'jre', 'lib/server/libjvm.so')
        self.assertEqual(self.chosen(app, ini()), str(app / 'lib/server/libjvm.so'))

    def test_folder_without_core_library_is_no_runtime(self):
        app = runtime(self.tmp / 'app', 'lib/server/libjvm.so', marker=False)
        self.assertEqual(self.chosen(app, ini(NOTHING_INSTALLED)), 'none')

    # -- JVM Type ------------------------------------------------------------------------------

    def test_jvm_type_choices(self):
        both = runtime(self.tmp / 'both', 'lib/client/libjvm.so', 'lib/server/libjvm.so')
        client = runtime(self.tmp / 'client', 'lib/client/libjvm.so')
        rows = [
            ('', both, 'lib/client/libjvm.so'),
            ('JVM Type=client\n', both, 'lib/client/libjvm.so'),  # unknown word: default
            ('JVM Type=server\n', both, 'lib/server/libjvm.so'),
            ('JVM Type=favor_server\n', both, 'lib/server/libjvm.so'),
            ('JVM Type=favor_server\n', client, 'lib/client/libjvm.so'),
            ('JVM Type=Server\n', client, 'lib/client/libjvm.so'),  # exact words only
            ('JVM Type=server\n', client, None),
        ]
        for number, (setting, home, relative) in enumerate(rows):
            with self.subTest(setting=setting, home=home.name):
                got = self.chosen(self.tmp / ('app%d' % number),
                                  ini(setting + NOTHING_INSTALLED + 'JRE Path=%s\n' % home))
                self.assertEqual(got, str(home / relative) if relative else 'none')

    def test_java8_layout(self):
        home = runtime(self.tmp / 'jre8', 'lib/amd64/server/libjvm.so', 'lib/amd64/client/libjvm.so',
                       marker=False)
        (home / 'lib/amd64/libjava.so').write_bytes(b'placeholder')
        self.assertEqual(self.chosen(self.tmp / 'a', ini('JRE Path=%s\n' % home)),
                         str(home / 'lib/amd64/client/libjvm.so'))
        self.assertEqual(self.chosen(self.tmp / 'b', ini('JRE Path=%s\nJVM Type=server\n' % home)),
                         str(home / 'lib/amd64/server/libjvm.so'))
        # A Java 8 runtime shipped beside the executable is recognised by its core library too.
        app = self.tmp / 'c'
        jre = runtime(app / 'jre', 'lib/amd64/server/libjvm.so', marker=False)
        (jre / 'lib/amd64/libjava.so').write_bytes(b'placeholder')
        self.assertEqual(self.chosen(app, ini(NOTHING_INSTALLED)),
                         str(jre / 'lib/amd64/server/libjvm.so'))

    # -- JAVA_HOME -----------------------------------------------------------------------------

    def test_java_home_when_nothing_installed_fits(self):
        jdk8 = runtime(self.tmp / 'jdk8', 'jre/lib/amd64/server/libjvm.so', release='1.8.0_392',
                       javac=True, marker=False)
        jdk11 = runtime(self.tmp / 'jdk-11.0.2', 'lib/server/libjvm.so', javac=True)  # no release
        rows = [
            (jdk8, 'Maximum Version=1.8\n', str(jdk8 / 'jre/lib/amd64/server/libjvm.so')),
            (jdk8, 'Maximum Version=1.7\n', 'none'),                    # out of range
            (jdk8, 'Maximum Version=1.8\nJVM Source=only_JRE\n', 'none'),  # a JDK, not asked for
            (jdk11, 'Minimum Version=11\nMaximum Version=11.0.2\n', str(jdk11 / 'lib/server/libjvm.so')),
            (jdk11, 'Minimum Version=11.0.3\nMaximum Version=11.9\n', 'none'),
        ]
        for number, (home, setting, expected) in enumerate(rows):
            with self.subTest(home=home.name, setting=setting):
                got = self.chosen(self.tmp / ('app%d' % number), ini(setting),
                                  env={'JAVA_HOME': str(home)})
                self.assertEqual(got, expected)

    def test_java_home_only_after_the_installed_runtimes(self):
        if not (OPENJDK17 / 'lib/server/libjvm.so').exists():
            self.skipTest('OpenJDK 17 is not installed')
        jdk = runtime(self.tmp / 'jdk', 'lib/server/libjvm.so', release='17.0.1', javac=True)
        self.assertEqual(self.chosen(self.tmp / 'app', ini('Maximum Version=17.9\n'),
                                     env={'JAVA_HOME': str(jdk)}),
                         str(OPENJDK17 / 'lib/server/libjvm.so'))

    # -- the real installed runtimes -----------------------------------------------------------

    def test_installed_openjdk_17(self):
        self.assertTrue((OPENJDK17 / 'lib/server/libjvm.so').exists(), 'OpenJDK 17 must be installed')
        expected = str(OPENJDK17 / 'lib/server/libjvm.so')
        rows = [
            'Maximum Version=17.9\n',
            'Minimum Version=17\nMaximum Version=17.9\nJVM Type=server\n',
            'Maximum Version=17.9\nPreferred versions=1.8;17\n',
            'Maximum Version=17.9\nJVM Source=only_JDK\n',
        ]
        for number, setting in enumerate(rows):
            with self.subTest(setting=setting):
                self.assertEqual(self.chosen(self.tmp / ('app%d' % number), ini(setting)), expected)
        # The link java-1.17.0-openjdk-amd64 is the same runtime and is not listed twice.
        with self.subTest(check='the link to the runtime counts once'):
            if not (OPENJDK17.parent / 'java-1.17.0-openjdk-amd64').is_symlink():
                self.skipTest('no link java-1.17.0-openjdk-amd64 to OpenJDK 17 on this machine')
            sorted_lines = [l for l in self.last_trace if 'java-1.17.0-openjdk-amd64' in l]
            self.assertEqual(sorted_lines, [])
        # OpenJDK 17 is a JDK: a search for JREs only does not take it.
        self.assertEqual(self.chosen(self.tmp / 'jre-only',
                                     ini('Maximum Version=17.9\nJVM Source=only_JRE\n')), 'none')
        self.assertEqual(self.chosen(self.tmp / 'too-new', ini('Minimum Version=99\n')), 'none')


if __name__ == '__main__':
    unittest.main(verbosity=2)
