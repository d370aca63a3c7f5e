"""Class-data archives on Windows (wine64, the 64-bit launcher) with the VM library test double,
which writes an archive where -XX:ArchiveClassesAtExit says when it ends and calls the "exit" hook
as a VM does: the archive folder below the prefix's own LOCALAPPDATA (never APPDATA), promotion after
DestroyJavaVM and from the exit hook, read-only archives replaced, and the options handed over."""

import os
import re
import shutil
import time
import unittest

from harness import BUILD_DIR, WineCase, app_ini, make_app, read_lines, read_log, traced

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE_DIR = BUILD_DIR / 'vmdouble'
PRODUCT = '[Product Information]\nProduct Name=Cds|Win\nProduct Code=W1\n'


class ClassDataSharingUnderWine(WineCase):
    wine_label = 'cds'

    def runtime(self, version):
        """A runtime home with the double as its server VM, a release file of that version, a
        default archive and a modules image."""
        type(self).count += 1
        home = self.wine.workdir / ('rt%d' % self.count)
        (home / 'bin' / 'server').mkdir(parents=True)
        (home / 'lib').mkdir()
        shutil.copy2(DOUBLE_DIR / 'jvm.dll', home / 'bin' / 'server' / 'jvm.dll')
        (home / 'bin' / 'server' / 'classes.jsa').write_bytes(b'base')
        (home / 'lib' / 'modules').write_bytes(b'modules')
        (home / 'release').write_text('JAVA_VERSION="%s"\n' % version)
        return home

    def start(self, exe, home, behaviour='main=com/example/App\n'):
        root = exe.parent
        for name in ('trace.txt', 'double.log'):
            if (root / name).exists():
                (root / name).unlink()
        (root / 'double.cfg').write_text(behaviour)
        ini = root / 'app.ini'
        path = 'JRE Path=' + self.wine.winpath(home)
        ini.write_text(re.sub(r'(?m)^JRE Path=.*$', lambda m: path, ini.read_text()))
        result = self.wine.run(exe, env={'VMDOUBLE_CONFIG': self.wine.winpath(root / 'double.cfg'),
                                         'VMDOUBLE_LOG': self.wine.winpath(root / 'double.log'),
                                         'QL_LAUNCHER_TRACE': self.wine.winpath(root / 'trace.txt')},
                               cwd=root)
        self.assertEqual(result.boxes, [])
        events = read_log(root / 'double.log')
        options = [line.split(' ', 2)[2] for line in events if line.startswith('option ')]
        sharing = traced(read_lines(root / 'trace.txt', 'latin-1'), 'class data sharing: ')
        return result, events, options, sharing

    def test_record_keep_use_and_replace(self):
        folder = self.wine.workdir / 'app'
        exe = make_app(folder, LAUNCHER, app_ini('JRE Path=\nClass Data Sharing=auto\n',
                                                 main='com.example.App', classpath='app.jar',
                                                 sections=PRODUCT))
        (folder / 'app.jar').write_bytes(b'jar one')
        home = self.runtime('17.0.2')
        local = self.wine.appdata.parent / 'Local' / 'CdsWin' / 'W1'
        roaming = self.wine.appdata / 'CdsWin'

        def archives(suffix='.jsa'):
            return sorted(p.name for p in local.glob('*' + suffix)) if local.exists() else []

        # First start: main returns, the double writes the archive after DestroyJavaVM.
        result, events, options, sharing = self.start(exe, home)
        self.assertEqual(result.code, 0, result)
        recording = [o for o in options if o.startswith('-XX:ArchiveClassesAtExit=')]
        self.assertEqual(len(recording), 1, options)
        self.assertEqual(options, ['-Djava.class.path=app.jar', '-Xlog:cds*=off', recording[0]])
        self.assertIn('hook exit', events)
        self.assertRegex(recording[0], r'\\x5cCdsWin\\x5cW1\\x5capp-[0-9a-f]{16}-[0-9a-f]{16}-\d+\.tmp$')
        self.assertIn('\\x5cAppData\\x5cLocal\\x5c', recording[0])
        first = archives()
        self.assertEqual(len(first), 1, sharing)
        self.assertEqual(archives('.tmp'), [])
        self.assertFalse(roaming.exists())
        self.assertTrue(any(line.endswith('(the VM ended, 4096 bytes)') for line in sharing), sharing)

        # Second start: the archive is handed over, nothing is recorded.
        result, events, options, sharing = self.start(exe, home)
        self.assertEqual(result.code, 0, result)
        user = self.wine.appdata.parent.parent.name
        archive = 'C:\\users\\%s\\AppData\\Local\\CdsWin\\W1\\%s' % (user, first[0])
        self.assertEqual(options, ['-Djava.class.path=app.jar', '-Xlog:cds*=off',
                                   '-XX:SharedArchiveFile=' + archive.replace('\\', '\\x5c')])
        self.assertFalse([line for line in events if line.startswith('archive written')])

        # A changed jar: the read-only old archive goes, System.exit(0) keeps the new recording
        # through the exit hook.
        os.utime(folder / 'app.jar', (time.time() + 10, time.time() + 10))
        result, events, options, sharing = self.start(
            exe, home, 'main=com/example/App\nmain-action=exit 0\n')
        self.assertEqual(result.code, 0, result)
        self.assertIn('exit hook 0', events)
        second = archives()
        self.assertEqual(len(second), 1, sharing)
        self.assertNotEqual(second, first)
        self.assertTrue(any(line.endswith('(System.exit(0), 4096 bytes)') for line in sharing),
                        sharing)

        # Changed again, and the run ends with 3: the recording is dropped, the old archive too.
        (folder / 'app.jar').write_bytes(b'jar two, longer')
        result, events, options, sharing = self.start(
            exe, home, 'main=com/example/App\nmain-action=exit 3\n')
        self.assertEqual(result.code, 3, result)
        self.assertEqual(archives(), [])
        self.assertEqual(archives('.tmp'), [])
        self.assertTrue(any(line.endswith('not kept: System.exit(3)') for line in sharing), sharing)


if __name__ == '__main__':
    unittest.main()
