"""The 32-bit launcher under emulation (emulation.py): an error box; a launch through the 32-bit VM
double (the JNI boundary: __stdcall entries, 4-byte pointers); the splash window, then the exception dialog."""

import unittest

from emulation import Wine32Case
from harness import control, make_app, read_log, text, win32_build, write_pictures

LAUNCHER = win32_build() / 'launcher.exe'
QUARTERS = [(230, 20, 20), (20, 180, 20), (20, 20, 230), (240, 220, 30)]


class SmokeUnderEmulation(Wine32Case):
    wine_label = 'win32-smoke'

    def test_missing_main_class_box(self):
        result = self.wine.run(make_app(self.wine.workdir / 'nomain', LAUNCHER, '[Class Path]\nClass Path=a.jar\n'))
        self.assertEqual((result.code, result.boxes), (-1, [text('IDS_NO_MAIN_CLASS')]), result)

    def test_launch_through_the_32_bit_vm_double(self):
        exe, env, root = self.app_with_double('launch', 'main-action=print-out hi\nmain-action=exit -3\n',
                                              'Virtual Machine Parameters=-Xmx64m "-Dx=a b"\n')
        result = self.wine.run(exe, args=['first arg', 'zwei'], env=env)
        self.assertEqual((result.code, result.boxes, result.stdout), (-3, [], 'hi\r\n'), result)
        self.assertEqual([e for e in read_log(root / 'log') if e.startswith(('CreateJavaVM v', 'option', 'main a'))],
                         ['CreateJavaVM version=0x00010002 nOptions=3 ignoreUnrecognized=0 stack=2097152',
                          'option 0 -Djava.class.path=app.jar', 'option 1 -Xmx64m', 'option 2 -Dx=a b',
                          'main argc 2', 'main arg 0 first arg', 'main arg 1 zwei', 'main action print-out hi',
                          'main action exit -3'])

    def test_splash_window_then_the_exception_dialog(self):
        write_pictures((self.wine.workdir / 'splash.bmp', 'bmp', 301, 150, QUARTERS))
        exe, env, root = self.app_with_double('splash', 'main-action=wait-file GO\n'
                                              'main-action=throw java/lang/Error Gr\u00fc\u00dfe\n',
                                              '[Display]\nSplash Screen=%s\n[Application]\nFailure Check=Yes\n'
                                              % self.wine.winpath(self.wine.workdir / 'splash.bmp'))
        with self.wine.session(exe, env=env) as session:
            window = session.wait_window('SplashScreenWindow', timeout=120)
            self.assertEqual(session.info(window)['rect'], [361, 309, 662, 459])
            shot = session.shot(window, 'win32-splash')[1]
            self.assertEqual([shot.pixel(x, y) for x in (75, 225) for y in (37, 112)], QUARTERS[::2] + QUARTERS[1::2])
            (root / 'go').write_text('')
            dialog = session.wait_dialog('Java Exception')
            self.assertEqual(control(session.info(dialog), 208)['text'],
                             'java.lang.Error: Gr\u00fc\u00dfe\r\n\tat vmdouble.Simulated.call(Simulated.java)\r\n')
            session.press(dialog, 2)
            self.assertEqual(session.wait_exit(), -1)


if __name__ == '__main__':
    unittest.main(verbosity=2)
