"""The 32-bit launcher (i686), run: Wine's 32-bit loader under the i386 emulation (see
emulation.py), driven by the 64-bit UI driver. Every start pays the emulation, so this is a smoke
set of one start each: an error box read back; a launch through the 32-bit VM double, which puts
the JNI boundary to work (undecorated __stdcall entries, structures of 4-byte pointers, the
function table called from both sides, System.exit's code); the uncaught-exception dialog with
the trace that came through JNI; and the launcher's own splash window."""

import shutil
import unittest

from emulation import Wine32Case
from harness import (app_ini, control, make_app, read_log, text, wait_for, win32_build,
                     write_pictures)

BUILD = win32_build()
LAUNCHER = BUILD / 'launcher.exe'
QUARTERS = [(230, 20, 20), (20, 180, 20), (20, 20, 230), (240, 220, 30)]


class SmokeUnderEmulation(Wine32Case):
    wine_label = 'win32-smoke'

    def app(self, name, behaviour, extra='', sections=''):
        """An application whose runtime holds the 32-bit VM double; returns (exe, env, log)."""
        root = self.wine.workdir / name
        (root / 'rt' / 'bin' / 'client').mkdir(parents=True)
        shutil.copy2(BUILD / 'vmdouble' / 'jvm.dll', root / 'rt' / 'bin' / 'client' / 'jvm.dll')
        (root / 'double.cfg').write_text(behaviour.replace('GO', self.wine.winpath(root / 'go')))
        ini = app_ini('JRE Path=%s\n%s' % (self.wine.winpath(root / 'rt'), extra),
                      main='com.example.App', sections=sections)
        env = {'VMDOUBLE_CONFIG': self.wine.winpath(root / 'double.cfg'),
               'VMDOUBLE_LOG': self.wine.winpath(root / 'double.log')}
        return make_app(root / 'app', LAUNCHER, ini), env, root / 'double.log'

    def test_missing_main_class_box(self):
        exe = make_app(self.wine.workdir / 'nomain', LAUNCHER, '[Class Path]\nClass Path=app.jar\n')
        result = self.wine.run(exe)
        self.assertEqual((result.code, result.boxes), (-1, [text('IDS_NO_MAIN_CLASS')]), result)

    def test_launch_through_the_32_bit_vm_double(self):
        exe, env, log = self.app('launch', 'main=com/example/App\nmain-action=print-out from main\n'
                                 'main-action=exit -3\n', 'Virtual Machine Parameters=-Xmx64m "-Dx=a b"\n')
        result = self.wine.run(exe, args=['first arg', 'zwei'], env=env)
        self.assertEqual((result.code, result.boxes), (-3, []), result)
        self.assertIn('from main', result.stdout)
        events = read_log(log)
        self.assertTrue(any(e.startswith('CreateJavaVM version=0x00010002 nOptions=3 ignoreUnrecognized=0 ')
                            for e in events), events)
        self.assertEqual([e.split(' ', 2)[2] for e in events if e.startswith('option ')],
                         ['-Djava.class.path=app.jar', '-Xmx64m', '-Dx=a b'])
        for line in ['main class com/example/App', 'main argc 2', 'main arg 0 first arg',
                     'main arg 1 zwei', 'exit -3']:
            self.assertIn(line, events)

    def test_exception_dialog(self):
        exe, env, log = self.app('exception', 'main=com/example/App\n'
                                 'main-action=throw java/lang/IllegalStateException Gr\u00fc\u00dfe\n',
                                 sections='[Application]\nFailure Check=Yes\n')
        with self.wine.session(exe, env=env) as session:
            dialog = session.wait_dialog('Java Exception', timeout=120)
            self.assertEqual(control(session.info(dialog), 208)['text'],
                             'java.lang.IllegalStateException: Gr\u00fc\u00dfe\r\n'
                             '\tat vmdouble.Simulated.call(Simulated.java)\r\n')
            session.shot(dialog, 'win32-java-exception')
            session.press(dialog, 2)
            self.assertEqual(session.wait_exit(), -1)
        self.assertIn('exit -1', read_log(log))

    def test_own_splash_window(self):
        picture = self.wine.workdir / 'splash.bmp'
        write_pictures((picture, 'bmp', 301, 150, QUARTERS))
        exe, env, log = self.app('splash', 'main=com/example/App\nmain-action=wait-file GO\n',
                                 sections='[Display]\nSplash Screen=%s\n' % self.wine.winpath(picture))
        with self.wine.session(exe, env=env) as session:
            window = session.wait_window('SplashScreenWindow', timeout=120)
            self.assertEqual(session.info(window)['rect'], [361, 309, 662, 459])
            _, shot = session.shot(window, 'win32-splash')
            self.assertEqual([shot.pixel(x, y) for x, y in [(75, 37), (225, 37), (75, 112), (225, 112)]],
                             QUARTERS)
            (log.parent / 'go').write_text('')
            self.assertEqual(session.wait_exit(), 0)
        wait_for(lambda: 'DestroyJavaVM end' in read_log(log), 'the VM destroyed')


if __name__ == '__main__':
    unittest.main(verbosity=2)
