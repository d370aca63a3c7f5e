"""Class-data archives on Windows (wine64, the 64-bit launcher) with the VM library test double,
which writes an archive where -XX:ArchiveClassesAtExit (or -XX:AOTCacheOutput) says when it ends
and calls the "exit" and "abort" hooks as a VM does: the launcher's own folder below LOCALAPPDATA,
never a link or open to others, promotion, the key, a crash's mark, the exit code, the options."""

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
        default archive, a modules image and a launcher."""
        type(self).count += 1
        home = self.wine.workdir / ('rt%d' % self.count)
        (home / 'bin' / 'server').mkdir(parents=True)
        (home / 'lib').mkdir()
        shutil.copy2(DOUBLE_DIR / 'jvm.dll', home / 'bin' / 'server' / 'jvm.dll')
        (home / 'bin' / 'server' / 'classes.jsa').write_bytes(b'base')
        (home / 'lib' / 'modules').write_bytes(b'modules')
        (home / 'bin' / 'java.exe').write_bytes(b'MZ')
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
        local = self.wine.appdata.parent / 'Local' / 'ql-launcher' / 'CdsWin' / 'W1'
        roaming = self.wine.appdata / 'CdsWin'

        def archives(suffix='.jsa'):
            return sorted(p.name for p in local.glob('*' + suffix)) if local.exists() else []

        # First start: main returns, the double writes the archive after DestroyJavaVM.
        result, events, options, sharing = self.start(exe, home)
        self.assertEqual(result.code, 0, result)
        recording = [o for o in options if o.startswith('-XX:ArchiveClassesAtExit=')]
        self.assertEqual(len(recording), 1, options)
        self.assertEqual(options, ['-Djava.class.path=app.jar', '-Xlog:cds*=off',
                                   '-Xlog:jni+resolve=off', recording[0]])
        self.assertIn('hook exit', events)
        self.assertRegex(recording[0], r'\\x5cql-launcher\\x5cCdsWin\\x5cW1\\x5capp-[0-9a-f]{16}-[0-9a-f]{16}-\d+\.tmp$')
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
        archive = 'C:\\users\\%s\\AppData\\Local\\ql-launcher\\CdsWin\\W1\\%s' % (user, first[0])
        self.assertEqual(options, ['-Djava.class.path=app.jar', '-Xlog:cds*=off',
                                   '-XX:SharedArchiveFile=' + archive.replace('\\', '\\x5c')])
        self.assertIn('hook exit', events)
        self.assertFalse([line for line in events if line.startswith('archive written')])

        # Content replaced under the same size and time: the read-only old archive goes,
        # System.exit(0) keeps the new recording through the exit hook.
        stamp = (folder / 'app.jar').stat()
        (folder / 'app.jar').write_bytes(b'jar ONE')
        os.utime(folder / 'app.jar', ns=(stamp.st_atime_ns, stamp.st_mtime_ns))
        result, events, options, sharing = self.start(
            exe, home, 'main=com/example/App\nmain-action=exit 0\n')
        self.assertEqual(result.code, 0, result)
        self.assertIn('exit hook 0', events)
        second = archives()
        self.assertEqual(len(second), 1, sharing)
        self.assertNotEqual(second, first)
        self.assertTrue(any(line.endswith('(System.exit(0), 4096 bytes)') for line in sharing),
                        sharing)

        # Changed again, the run ends with 3, and the VM cannot write the archive (it would end
        # with 1): the process ends with 3, nothing is left, the old archive is gone too.
        (folder / 'app.jar').write_bytes(b'jar two, longer')
        result, events, options, sharing = self.start(
            exe, home, 'main=com/example/App\nmain-action=exit 3\narchive-fails=1\n')
        self.assertEqual(result.code, 3, result)
        self.assertIn('abort hook', events)
        self.assertEqual([p.name for p in local.iterdir()], [])
        self.assertRegex(sharing[-1], r"could not write .*; the process ends with the application's own code 3$")

    def test_java_25_cache_marks_and_folders(self):
        folder = self.wine.workdir / 'app25'
        exe = make_app(folder, LAUNCHER, app_ini('JRE Path=\nClass Data Sharing=auto\n', main='com.example.App',
                                                 classpath='app.jar', sections=PRODUCT.replace('W1', 'W2')))
        (folder / 'app.jar').write_bytes(b'jar')
        home = self.runtime('25.0.1')
        own = self.wine.appdata.parent / 'Local' / 'ql-launcher'
        result, events, options, sharing = self.start(exe, home)
        self.assertEqual(options[1:4] + options[5:], ['-Xlog:cds*=off', '-Xlog:aot*=off',
                                                      '-Xlog:jni+resolve=off'])
        self.assertRegex(options[4], r'^-XX:AOTCacheOutput=.*\.tmp$')
        cache = [p.name for p in (own / 'CdsWin' / 'W2').iterdir()]
        self.assertRegex(''.join(cache), r'^app-[0-9a-f]{16}-[0-9a-f]{16}-[0-9a-f]{16}\.aot$')
        # A start that crashes while it uses the cache leaves its mark: the next drops the cache.
        result, events, options, sharing = self.start(exe, home, 'main=com/example/App\nmain-action=crash\n')
        self.assertEqual(result.code, 134)
        self.assertRegex(options[3], r'^-XX:AOTCache=.*' + cache[0])
        result, events, options, sharing = self.start(exe, home)
        self.assertTrue([s for s in sharing if re.match(r'removed .*%s \(it may be damaged\)$' % cache[0], s)], sharing)
        self.assertRegex(options[4], r'^-XX:AOTCacheOutput=')
        # A folder that others may change, or a link in place of one, is never used.
        for change, why in [(lambda: own.chmod(0o777), 'may be changed by other users'),
                            (lambda: (own.chmod(0o700), shutil.rmtree(own / 'CdsWin'),
                                      (own / 'CdsWin').symlink_to(folder)), 'is a link')]:
            change()
            result, events, options, sharing = self.start(exe, home)
            self.assertEqual((result.code, options), (0, ['-Djava.class.path=app.jar']))
            self.assertRegex(sharing[-1], "^none, the archive folder is not the user's own: .*" + why)
        (own / 'CdsWin').unlink()


if __name__ == '__main__':
    unittest.main()
