"""Per-user VM options and the restart an application asks for, under Wine with the VM double: the
user's options follow the program's, QL_USER_INI names the user's file, and System.exit with the
"Restart Exit Code" starts the program again, three times in a row at most."""

import shutil
import unittest

from harness import BUILD_DIR, WineCase, app_ini, make_app, read_lines, read_log, traced, wait_for

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE_DIR = BUILD_DIR / 'vmdouble'


class UserOptionsAndRestartUnderWine(WineCase):
    wine_label = 'restart'

    def test_user_options_follow_and_a_restart_loop_stops(self):
        root = self.wine.workdir / 'app'
        home = root / 'rt'
        (home / 'bin' / 'client').mkdir(parents=True)
        shutil.copy2(DOUBLE_DIR / 'jvm.dll', home / 'bin' / 'client' / 'jvm.dll')
        ini = app_ini('JRE Path=%s\nVirtual Machine Parameters=-Xmx64m -Dp=program\n'
                      % self.wine.winpath(home), main='com.example.App',
                      sections='[Application]\nRestart Exit Code=3\n'
                               '[Product Information]\nProduct Name=Restarts\nProduct Code=W\n')
        exe = make_app(root, LAUNCHER, ini)
        user_ini = self.wine.appdata / 'Restarts' / 'W' / 'app.ini'
        user_ini.parent.mkdir(parents=True)
        # A per-user file that exists decides "JRE Path" alone: the application copies it there.
        user_ini.write_text('[Java Runtime Environment]\r\nJRE Path=%s\r\nVirtual Machine '
                            'Parameters=-Xmx256m -Du="%%QL_USER_INI%%"\r\n' % self.wine.winpath(home))
        (root / 'double.cfg').write_text('main=com/example/App\nmain-action=exit 3\n')
        env = {'VMDOUBLE_CONFIG': self.wine.winpath(root / 'double.cfg'),
               'VMDOUBLE_LOG': self.wine.winpath(root / 'double.log'),
               'QL_LAUNCHER_TRACE': self.wine.winpath(root / 'trace.txt')}
        result = self.wine.run(exe, args=['a', 'b c'], env=env, timeout=60)
        self.assertEqual((result.code, result.boxes), (0, []))
        wait_for(lambda: any('returned as it is' in line for line in
                             traced(read_lines(root / 'trace.txt', 'latin-1'), 'restart: ')),
                 'the fourth run', timeout=120)
        events = read_log(root / 'double.log')
        trace = read_lines(root / 'trace.txt', 'latin-1')
        windows_ini = traced(trace, 'environment QL_USER_INI=')[0]
        self.assertTrue(windows_ini.endswith('\\AppData\\Roaming\\Restarts\\W\\app.ini'), windows_ini)
        first = events[:events.index('CreateJavaVM result=0')]
        self.assertEqual([e.split(' ', 2)[2] for e in first if e.startswith('option ')], [
            '-Djava.class.path=app.jar', '-Xmx64m', '-Dp=program', '-Xmx256m',
            '-Du=%s' % windows_ini.replace('\\', '\\x5c')])
        # Four runs, each with the same arguments, each ending with System.exit(3).
        self.assertEqual(events.count('main argc 2'), 4)
        self.assertEqual(events.count('main arg 1 b c'), 4)
        self.assertEqual(events.count('exit hook 3'), 4)
        restarts = traced(trace, 'restart: ')
        self.assertEqual(len(restarts), 4)
        self.assertTrue(all('the program is started again' in line for line in restarts[:3]), restarts)


if __name__ == '__main__':
    unittest.main()
