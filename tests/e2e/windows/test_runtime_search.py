"""How the Windows launcher finds its Java runtime, under wine64 with the real registry: "JRE Path",
a runtime beside the executable, the JavaSoft and JRockit keys with their version range, preferred
versions, JVM type, kind and vendor rules, and the keys of today's installers, the per-user hive and
JAVA_HOME. Runtimes are folder trees with placeholder files; the choice is read from the trace's
"VM library:" line and, when the launcher goes on to load the placeholder, from its load failure.
One Wine prefix per theme."""

import re
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, WineCase, app_ini as ini, make_app

LAUNCHER = BUILD_DIR / 'launcher.exe'

VENDOR_KEYS = [r'Software\JavaSoft', r'Software\JRockit', r'Software\Eclipse Adoptium',
               r'Software\Microsoft\JDK', r'Software\Azul Systems', r'Software\BellSoft']
HKLM = 'HKEY_LOCAL_MACHINE'
HKCU = 'HKEY_CURRENT_USER'
JDK_KEY = r'Software\JavaSoft\Java Development Kit'
JRE_KEY = r'Software\JavaSoft\Java Runtime Environment'
JROCKIT_JRE_KEY = r'Software\JRockit\Java Runtime Environment'
JROCKIT_JDK_KEY = r'Software\JRockit\Java Development Kit'


class Theme(WineCase):
    """One prefix for the class; every test starts without any runtime registered."""

    label = 'runtime'

    @classmethod
    def setUpClass(cls):
        cls.wine_label = 'runtime-search-' + cls.label
        super().setUpClass()
        cls._tmp = tempfile.TemporaryDirectory(prefix='rts-%s-' % cls.label)
        cls.tmp = Path(cls._tmp.name)

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls._tmp.cleanup()

    def setUp(self):
        self.wine.reg_import('REGEDIT4\n\n' + ''.join(
            '[-%s\\%s]\n' % (root, key) for root in (HKLM, HKCU) for key in VENDOR_KEYS))
        for root in (HKLM, HKCU):
            self.assertIsNone(self.wine.reg_query(root + r'\Software\JavaSoft'))

    # -- building blocks -----------------------------------------------------------------------

    def folder(self, name):
        type(self).count += 1
        path = self.tmp / ('%d-%s' % (self.count, name))
        path.mkdir(parents=True)
        return path

    @staticmethod
    def runtime(home, *vms, java=True, release=None, javac=False):
        """A runtime home with placeholder bin\\<vm>\\jvm.dll files (vm may be 'jre/server' etc)."""
        home = Path(home)
        home.mkdir(parents=True, exist_ok=True)
        for vm in vms:
            prefix, _, kind = vm.rpartition('/')
            dll = home / prefix / 'bin' / kind / 'jvm.dll'
            dll.parent.mkdir(parents=True, exist_ok=True)
            dll.write_bytes(b'placeholder, not a library')
        if java:
            (home / 'bin').mkdir(exist_ok=True)
            (home / 'bin' / 'java.dll').write_bytes(b'placeholder')
        if release is not None:
            (home / 'release').write_text('IMPLEMENTOR="Test"\nJAVA_VERSION="%s"\n' % release)
        if javac:
            (home / 'bin').mkdir(exist_ok=True)
            (home / 'bin' / 'javac.exe').write_bytes(b'placeholder')
        return home

    def register(self, *entries):
        """entries: (root, key, value name, folder or None). A None folder makes the key without
        the value."""
        text = 'REGEDIT4\n\n'
        for root, key, name, folder in entries:
            text += '[%s\\%s]\n' % (root, key)
            if folder is not None:
                text += '"%s"="%s"\n' % (name, self.wine.winpath(folder).replace('\\', '\\\\'))
            text += '\n'
        self.wine.reg_import(text)

    def win(self, path, relative=''):
        return self.wine.winpath(path) + ('\\' + relative.replace('/', '\\') if relative else '')

    def chosen(self, ini_text, app=None, env=None, name='app'):
        """Runs the launcher and returns the trace's "VM library:" value."""
        app = app or self.folder('app')
        exe = make_app(app, LAUNCHER, ini_text, name)
        trace = self.folder('trace') / 'trace.txt'
        full_env = {'QL_LAUNCHER_TRACE': self.wine.winpath(trace), 'JAVA_HOME': None}
        full_env.update(env or {})
        result = self.wine.run(exe, env=full_env, timeout=60)
        self.trace = trace.read_text(errors='replace').splitlines() if trace.exists() else []
        found = [l[len('VM library: '):] for l in self.trace if l.startswith('VM library: ')]
        self.assertEqual(len(found), 1, 'one "VM library:" line expected\n%s\n%r'
                         % ('\n'.join(self.trace), result))
        self.assertEqual(result.code, -1, result)  # a placeholder never starts
        if found[0] != 'none':
            for box in result.boxes:
                load = re.match(r'Failed to load Java VM library: (.*) \(errno = -?\d+\)\.', box)
                if load:
                    self.assertEqual(load.group(1), found[0], result)
        return found[0]

    def traced(self, fragment):
        return [line for line in self.trace if fragment in line]


class ConfiguredAndBesideTest(Theme):
    label = 'jrepath'

    def test_jre_path_with_and_without_trailing_backslash(self):
        home = self.runtime(self.folder('rt'), 'client', 'server')
        for value in (self.win(home), self.win(home) + '\\'):
            with self.subTest(value=value):
                self.assertEqual(self.chosen(ini('JRE Path=%s\n' % value)),
                                 self.win(home, 'bin/client/jvm.dll'))

    def test_unusable_jre_path_falls_through_and_stays(self):
        client_only = self.runtime(self.folder('client-only'), 'client')
        registered = self.runtime(self.folder('jre6'), 'server')
        self.register((HKLM, JRE_KEY + r'\1.6.0_10', 'JavaHome', registered))
        app = self.folder('app')
        text = ini('JRE Path=%s\nJVM Type=server\n' % self.win(client_only))
        self.assertEqual(self.chosen(text, app), self.win(registered, 'bin/server/jvm.dll'))
        self.assertIn('JRE Path=%s\n' % self.win(client_only), (app / 'app.ini').read_text())
        # The private runtime comes before the registry.
        beside = self.runtime(app / 'jre', 'server')
        self.assertEqual(self.chosen(text, app), self.win(beside, 'bin/server/jvm.dll'))

    def test_runtime_beside_the_executable_wins_without_range_test(self):
        registered = self.runtime(self.folder('jre6'), 'client')
        self.register((HKLM, JRE_KEY + r'\1.6.0_10', 'JavaHome', registered))
        out_of_range = ini('Minimum Version=99\n')
        # The executable stands in the runtime's own folder.
        home = self.runtime(self.folder('home'), 'client', release='1.3')
        self.assertEqual(self.chosen(out_of_range, home), self.win(home, 'bin/client/jvm.dll'))
        # A jre folder beside the executable.
        app = self.folder('app')
        jre = self.runtime(app / 'jre', 'client')
        self.assertEqual(self.chosen(out_of_range, app), self.win(jre, 'bin/client/jvm.dll'))
        # bin\java.dll without a VM library of the type: the registry is searched next.
        app = self.folder('app')
        self.runtime(app / 'jre', 'client')
        self.assertEqual(self.chosen(ini('JVM Type=server\n'), app), 'none')
        self.assertEqual(self.chosen(ini(), app), self.win(app / 'jre', 'bin/client/jvm.dll'))
        # Without bin\java.dll a folder is not a runtime home, even with a VM library.
        app = self.folder('app')
        self.runtime(app / 'jre', 'client', java=False)
        self.assertEqual(self.chosen(ini(), app), self.win(registered, 'bin/client/jvm.dll'))


class JvmTypeTest(Theme):
    label = 'jvmtype'

    def test_jvm_type_over_one_folder(self):
        both = self.runtime(self.folder('both'), 'server', 'client')
        client = self.runtime(self.folder('client'), 'client')
        rows = [
            ('', both, 'bin/client/jvm.dll'),
            ('JVM Type=server\n', both, 'bin/server/jvm.dll'),
            ('JVM Type=favor_server\n', both, 'bin/server/jvm.dll'),
            ('JVM Type=favor_server\n', client, 'bin/client/jvm.dll'),
            ('JVM Type=server\n', client, None),
        ]
        for setting, home, relative in rows:
            with self.subTest(setting=setting, home=home.name):
                got = self.chosen(ini(setting + 'JRE Path=%s\n' % self.win(home)))
                self.assertEqual(got, self.win(home, relative) if relative else 'none')

    def test_favor_server_collects_javasoft_jre_client_first(self):
        jre = self.runtime(self.folder('jre6'), 'client', 'server')
        self.register((HKLM, JRE_KEY + r'\1.6.0_10', 'JavaHome', jre))
        # Collected as a client VM, yet the final choice takes the server library.
        self.assertEqual(self.chosen(ini('JVM Type=favor_server\n')),
                         self.win(jre, 'bin/server/jvm.dll'))
        taken = self.traced(r'Java Runtime Environment\1.6.0_10: taken')
        self.assertEqual(len(taken), 1, self.trace)
        self.assertIn('server no', taken[0])
        # So an older JDK with a server VM sorts before it.
        jdk = self.runtime(self.folder('jdk5'), 'jre/server', 'jre/client')
        self.register((HKLM, JDK_KEY + r'\1.5.0_22', 'JavaHome', jdk))
        self.assertEqual(self.chosen(ini('JVM Type=favor_server\n')),
                         self.win(jdk, 'jre/bin/server/jvm.dll'))
        # Without favor_server the newest wins, through its client VM.
        self.assertEqual(self.chosen(ini()), self.win(jre, 'bin/client/jvm.dll'))

    def test_server_type_passes_over_client_only_installations(self):
        client = self.runtime(self.folder('jre7'), 'client')
        server = self.runtime(self.folder('jre5'), 'server')
        self.register((HKLM, JRE_KEY + r'\1.7', 'JavaHome', client),
                      (HKLM, JRE_KEY + r'\1.5', 'JavaHome', server))
        self.assertEqual(self.chosen(ini('JVM Type=server\n')), self.win(server, 'bin/server/jvm.dll'))
        self.assertTrue(self.traced(r'Java Runtime Environment\1.7: passed over, no usable VM library'),
                        self.trace)


class KindAndVendorTest(Theme):
    label = 'kind'

    def setUp(self):
        super().setUp()
        self.jdk7 = self.runtime(self.folder('jdk7'), 'jre/client', javac=True)
        self.jre6 = self.runtime(self.folder('jre6'), 'client')
        self.rjre = self.runtime(self.folder('jrockit-jre'), 'jrockit')
        self.rjdk = self.runtime(self.folder('jrockit-jdk'), 'jre/jrockit')
        self.register((HKLM, JDK_KEY + r'\1.7', 'JavaHome', self.jdk7),
                      (HKLM, JRE_KEY + r'\1.6', 'JavaHome', self.jre6),
                      (HKLM, JROCKIT_JRE_KEY + r'\1.4.2', 'JavaHome', self.rjre),
                      (HKLM, JROCKIT_JDK_KEY + r'\1.3', 'JavaHome', self.rjdk))

    def test_jvm_source_and_vm_provider(self):
        jdk7 = self.win(self.jdk7, 'jre/bin/client/jvm.dll')  # a JDK through its own JRE
        jre6 = self.win(self.jre6, 'bin/client/jvm.dll')
        rjre = self.win(self.rjre, 'bin/jrockit/jvm.dll')
        rjdk = self.win(self.rjdk, 'jre/bin/jrockit/jvm.dll')
        rows = [
            ('', jdk7),                                         # JavaSoft only, newest
            ('JVM Source=favor_JRE\n', jre6),                   # JRE first whatever the version
            ('JVM Source=only_JRE\n', jre6),
            ('JVM Source=JRE\n', 'none'),                       # not in the table: no key
            ('JVM Source=Favor_JRE\n', 'none'),                 # other capitals: no key either
            ('VM Provider=JRockit\n', rjre),                    # JRockit keys only, newest
            ('VM Provider=favor_jrockit\nJVM Source=favor_JDK\n', rjdk),
            ('VM Provider=any\nJVM Source=only_JRE\n', jre6),
            # The JRockit keys are searched, not favoured: the newest in range wins.
            ('VM Provider=favor_sun\nJVM Source=favor_JRE\nMinimum Version=1.3\n'
             'Maximum Version=1.5\n', rjre),
        ]
        for setting, expected in rows:
            with self.subTest(setting=setting):
                self.assertEqual(self.chosen(ini(setting)), expected)
                if setting == 'JVM Source=only_JRE\n':
                    self.assertTrue(self.traced(r'Java Development Kit\: not searched'), self.trace)


class VersionTest(Theme):
    label = 'versions'

    def setUp(self):
        super().setUp()
        self.homes = {}
        for name in ('1.7', '1.6.0_10', '1.5.0_22', '1.4.2_19', 'jre'):
            self.homes[name] = self.runtime(self.folder('jre-' + name), 'client')
        no_vm = self.runtime(self.folder('no-vm'))
        self.register(*[(HKLM, JRE_KEY + '\\' + name, 'JavaHome', home)
                        for name, home in self.homes.items()],
                      (HKLM, JRE_KEY + r'\1.6.0_20', 'JavaHome', None),
                      (HKLM, JRE_KEY + r'\1.6.0_30', 'JavaHome', no_vm))

    def dll(self, name):
        return self.win(self.homes[name], 'bin/client/jvm.dll')

    def test_range_and_preferred_versions(self):
        in_range = 'Minimum Version=1.5\nMaximum Version=1.6\n'
        rows = [
            (in_range + 'Preferred versions=1.5\n', '1.5.0_22'),
            (in_range + 'Preferred versions=1.4;1.6\n', '1.6.0_10'),
            (in_range + 'Preferred versions=1.4\n', '1.6.0_10'),
            ('', '1.7'),  # no maximum given: none applies; no preferred version: the name
                          # without digits does not win
            ('Minimum Version=any\nMaximum Version=0.1\n', 'jre'),  # a name without digits is 0
            ('Minimum Version=1.4.2_19\nMaximum Version=1.4.2_19\n', '1.4.2_19'),
            ('Minimum Version=0.0.1\nMaximum Version=0.1\n', None),
        ]
        for setting, expected in rows:
            with self.subTest(setting=setting):
                got = self.chosen(ini(setting))
                self.assertEqual(got, self.dll(expected) if expected else 'none')
        # The reasons of the third row's trace.
        self.chosen(ini(in_range + 'Preferred versions=1.4\n'))
        for fragment in (r'\1.7: passed over, version 1.7 out of range',
                         r'\1.4.2_19: passed over, version 1.4.2.19 out of range',
                         r'\1.6.0_20: passed over, no "JavaHome"',
                         r'\1.6.0_30: passed over, no usable VM library'):
            self.assertEqual(len(self.traced(fragment)), 1, (fragment, self.trace))
        self.assertTrue(self.traced('preferred version [1.4] matches no candidate'), self.trace)


class JavaHomeValueTest(Theme):
    label = 'value'

    @staticmethod
    def hex_bytes(data):
        return ','.join('%02x' % b for b in data)

    def test_value_types_are_read_literally_up_to_the_first_nul(self):
        literal = self.runtime(self.folder('x') / '%JRE_FOLDER%', 'client')
        elsewhere = self.runtime(self.folder('elsewhere'), 'client')
        binary = self.runtime(self.folder('binary'), 'client')
        path = lambda home: self.wine.winpath(home).encode('cp1252')
        self.wine.reg_import(
            'REGEDIT4\n\n'
            '[%s\\%s\\1.6]\n"JavaHome"=hex(2):%s\n\n' % (HKLM, JRE_KEY, self.hex_bytes(
                path(literal.parent) + b'\\%JRE_FOLDER%\0')) +
            '[%s\\%s\\1.5]\n"JavaHome"=hex:%s\n\n' % (HKLM, JRE_KEY, self.hex_bytes(
                path(binary) + b'\0' + path(elsewhere))) +
            '[%s\\%s\\1.7]\n"JavaHome"=hex:\n\n' % (HKLM, JRE_KEY))
        env = {'JRE_FOLDER': self.wine.winpath(elsewhere)}
        # An expandable string is not expanded.
        self.assertEqual(self.chosen(ini(), env=env), self.win(literal, 'bin/client/jvm.dll'))
        # A value of no bytes is no "JavaHome".
        self.assertEqual(len(self.traced(r'\1.7: passed over, no "JavaHome"')), 1, self.trace)
        # Binary data is text up to its first NUL.
        self.assertEqual(self.chosen(ini('Maximum Version=1.5\n'), env=env),
                         self.win(binary, 'bin/client/jvm.dll'))


class TodaysRuntimesTest(Theme):
    label = 'today'

    def test_classic_keys_keep_their_result(self):
        jre6 = self.runtime(self.folder('jre6'), 'client')
        jdk17 = self.runtime(self.folder('jdk17'), 'server', javac=True)
        self.register((HKLM, JRE_KEY + r'\1.6', 'JavaHome', jre6),
                      (HKLM, r'Software\JavaSoft\JDK\17.0.2', 'JavaHome', jdk17))
        self.assertEqual(self.chosen(ini()), self.win(jre6, 'bin/client/jvm.dll'))
        # Once the classic keys yield nothing that passes, the newer key is used.
        self.assertEqual(self.chosen(ini('Minimum Version=9\n')), self.win(jdk17, 'bin/server/jvm.dll'))

    def test_jdk_home_without_usable_jre(self):
        jdk = self.runtime(self.folder('jdk'), 'server', javac=True)  # no jre folder
        self.register((HKLM, JDK_KEY + r'\1.8', 'JavaHome', jdk))
        self.assertEqual(self.chosen(ini()), self.win(jdk, 'bin/server/jvm.dll'))
        self.assertTrue(self.traced(r'Java Development Kit\1.8: passed over, no usable VM library'),
                        self.trace)

    def test_javasoft_jdk_key_of_today_uses_its_home_as_recorded(self):
        # Java 9 and later record the runtime's own folder; a "jre" folder below it is not used,
        # even when it holds a VM library.
        jdk = self.runtime(self.folder('jdk17'), 'server', 'jre/client', javac=True)
        self.register((HKLM, r'Software\JavaSoft\JDK\17.0.2', 'JavaHome', jdk))
        self.assertEqual(self.chosen(ini()), self.win(jdk, 'bin/server/jvm.dll'))
        self.register((HKCU, r'Software\JavaSoft\JDK\17.0.3', 'JavaHome', jdk))
        self.assertEqual(self.chosen(ini('Minimum Version=17.0.3\n')),
                         self.win(jdk, 'bin/server/jvm.dll'))
        # A vendor key's JDK is still used through its "jre" folder when that has a VM library.
        self.register((HKLM, r'Software\Microsoft\JDK\17.0.9.8\hotspot\MSI', 'Path', jdk))
        self.assertEqual(self.chosen(ini('Minimum Version=17.0.9\n')),
                         self.win(jdk, 'jre/bin/client/jvm.dll'))

    def test_vendor_keys(self):
        homes = {
            'adoptium': self.runtime(self.folder('temurin'), 'server', javac=True),
            'adoptium-jre': self.runtime(self.folder('temurin-jre'), 'server'),
            'microsoft': self.runtime(self.folder('ms'), 'server', javac=True),
            'zulu': self.runtime(self.folder('zulu'), 'server', javac=True),
            'liberica': self.runtime(self.folder('liberica'), 'server'),
            'javasoft-jre': self.runtime(self.folder('jre9'), 'server'),
        }
        self.register(
            (HKLM, r'Software\Eclipse Adoptium\JDK\21.0.1.12\hotspot\MSI', 'Path', homes['adoptium']),
            (HKLM, r'Software\Eclipse Adoptium\JRE\8.0.392.8\hotspot\MSI', 'Path', homes['adoptium-jre']),
            (HKLM, r'Software\Microsoft\JDK\17.0.9.8\hotspot\MSI', 'Path', homes['microsoft']),
            (HKLM, r'Software\Azul Systems\Zulu\zulu-11', 'InstallationPath', homes['zulu']),
            (HKLM, r'Software\BellSoft\Liberica\Liberica JRE 19', 'InstallationPath', homes['liberica']),
            (HKLM, r'Software\JavaSoft\JRE\9.0.4', 'JavaHome', homes['javasoft-jre']))
        rows = [
            ('', 'adoptium'),
            ('Preferred versions=8\n', 'adoptium-jre'),
            ('Preferred versions=17\n', 'microsoft'),
            ('Preferred versions=11\n', 'zulu'),
            ('Maximum Version=19.9\nJVM Source=only_JRE\n', 'liberica'),  # no javac: a JRE
            ('Preferred versions=9\n', 'javasoft-jre'),
        ]
        for setting, expected in rows:
            with self.subTest(setting=setting):
                self.assertEqual(self.chosen(ini(setting)), self.win(homes[expected], 'bin/server/jvm.dll'))

    def test_per_user_hive(self):
        jdk = self.runtime(self.folder('user-jdk'), 'server', javac=True)
        jre = self.runtime(self.folder('user-jre'), 'client')
        self.register((HKCU, r'Software\JavaSoft\JDK\21', 'JavaHome', jdk),
                      (HKCU, JRE_KEY + r'\1.8.0_392', 'JavaHome', jre))
        self.assertEqual(self.chosen(ini()), self.win(jdk, 'bin/server/jvm.dll'))
        self.assertEqual(self.chosen(ini('Maximum Version=1.8\n')), self.win(jre, 'bin/client/jvm.dll'))

    def test_java_home(self):
        jdk8 = self.runtime(self.folder('jdk8'), 'jre/server', java=False, release='1.8.0_392',
                            javac=True)
        env = {'JAVA_HOME': self.wine.winpath(jdk8)}
        self.assertEqual(self.chosen(ini(), env=env), self.win(jdk8, 'jre/bin/server/jvm.dll'))
        self.assertEqual(self.chosen(ini('Maximum Version=1.7\n'), env=env), 'none')
        self.assertTrue(self.traced('passed over, version 1.8.0.392 out of range'), self.trace)
        # Trailing separators of either kind do not hide the folder.
        for value in (self.wine.winpath(jdk8) + '\\', self.wine.winpath(jdk8) + '/',
                      self.wine.winpath(jdk8) + '\\\\'):
            with self.subTest(JAVA_HOME=value):
                self.assertEqual(self.chosen(ini(), env={'JAVA_HOME': value}),
                                 self.win(jdk8, 'jre/bin/server/jvm.dll'))
        # A registered runtime that passes comes first.
        jre = self.runtime(self.folder('jre11'), 'server')
        self.register((HKLM, r'Software\JavaSoft\JRE\11', 'JavaHome', jre))
        self.assertEqual(self.chosen(ini(), env=env), self.win(jre, 'bin/server/jvm.dll'))


if __name__ == '__main__':
    unittest.main(verbosity=2)
