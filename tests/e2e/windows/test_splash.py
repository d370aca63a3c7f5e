"""The splash screen on Windows (wine64 on Xvfb, the 64-bit launcher, the VM library double): the
launcher's own window with BMP, JPEG and GIF pictures, its class, place, colours and life, the
command-line switches, pictures that show nothing, an error box owned by the splash, and the
runtime's splash library through its double (tests/splashdouble), which logs into the VM double's
log so one file shows the order of every call."""

import shutil
import struct
import unittest

from harness import (BUILD_DIR, WineCase, app_ini, control, make_app, read_lines, read_log, wait_for,
                     write_pictures)

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE_DIR = BUILD_DIR / 'vmdouble'
SPLASH_DOUBLE = BUILD_DIR / 'splashdouble' / 'splashscreen.dll'
SPLASH_DOUBLE_NO_JAR_NAME = BUILD_DIR / 'splashdouble' / 'nojarname' / 'splashscreen.dll'
SCREEN = (1024, 768)
CLASS = 'SplashScreenWindow'
WS_POPUP, WS_VISIBLE, WS_CLIPSIBLINGS = 0x80000000, 0x10000000, 0x04000000
WS_EX_TOOLWINDOW = 0x80
CS_DBLCLKS, CS_SAVEBITS, CS_DROPSHADOW = 0x8, 0x800, 0x20000
QUARTERS = [(230, 20, 20), (20, 180, 20), (20, 20, 230), (240, 220, 30)]
# (name, format, width, height): odd sizes, so the centring's truncation shows.
PICTURES = [('splash.bmp', 'bmp', 301, 150), ('splash.jpg', 'jpeg', 200, 120),
            ('splash.gif', 'gif', 161, 81)]


def centred(width, height):
    left, top = int((SCREEN[0] - width) / 2), int((SCREEN[1] - height) / 2)
    return [left, top, left + width, top + height]


class App:
    """One application folder: a runtime with the VM double (and a splash library when given), the
    INI file with a [Display] section, the double's behaviour, its log, the trace, and a file whose
    creation lets main (or the VM's creation) go on."""

    def __init__(self, case, display, behaviour, splash_library=None):
        type(case).count += 1
        root = case.wine.workdir / ('case%d' % case.count)
        home = root / 'rt'
        (home / 'bin' / 'client').mkdir(parents=True)
        shutil.copy2(DOUBLE_DIR / 'jvm.dll', home / 'bin' / 'client' / 'jvm.dll')
        if splash_library is not None:
            shutil.copy2(splash_library, home / 'bin' / 'splashscreen.dll')
        self.go = root / 'go'
        (root / 'double.cfg').write_text(behaviour.replace('GO', case.wine.winpath(self.go)))
        self.log = root / 'double.log'
        self.trace_file = root / 'trace.txt'
        ini = app_ini('JRE Path=%s\n' % case.wine.winpath(home), main='com.example.App',
                      sections='[Display]\n' + display)
        self.exe = make_app(root / 'app', LAUNCHER, ini)
        self.env = {'VMDOUBLE_CONFIG': case.wine.winpath(root / 'double.cfg'),
                    'VMDOUBLE_LOG': case.wine.winpath(self.log),
                    'QL_LAUNCHER_TRACE': case.wine.winpath(self.trace_file)}

    def events(self):
        return read_log(self.log)

    def trace(self):
        return read_lines(self.trace_file, 'latin-1')

    def main_waits(self):
        wait_for(lambda: any(line.startswith('main action wait-file') for line in self.events()),
                 'main waiting')


WAITING_MAIN = 'main=com/example/App\nmain-action=wait-file GO\n'


class SplashUnderWine(WineCase):
    wine_label = 'splash'

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pictures = cls.wine.workdir / 'pictures'
        cls.pictures.mkdir()
        write_pictures(*[(cls.pictures / name, kind, w, h, QUARTERS) for name, kind, w, h in PICTURES])
        (cls.pictures / 'undecodable.bmp').write_bytes(b'BM' + b'not a picture at all ' * 40)
        (cls.pictures / 'empty.gif').write_bytes(b'')
        # A header that claims 30000 by 30000 pixels (2.7 GB) and brings 64 bytes of them.
        (cls.pictures / 'huge.bmp').write_bytes(
            b'BM' + struct.pack('<IHHI', 14 + 40 + 64, 0, 0, 54)
            + struct.pack('<IiiHHIIiiII', 40, 30000, 30000, 1, 24, 0, 0, 0, 0, 0, 0) + b'\x7f' * 64)

    def picture(self, name):
        return self.wine.winpath(self.pictures / name)

    def assert_quarters(self, picture, tolerance):
        """The screenshot shows the picture's four colours the right way up."""
        w, h = picture.width, picture.height
        for (x, y), colour in zip([(w // 4, h // 4), (3 * w // 4, h // 4), (w // 4, 3 * h // 4),
                                   (3 * w // 4, 3 * h // 4)], QUARTERS):
            seen = picture.pixel(x, y)
            self.assertTrue(all(abs(a - b) <= tolerance for a, b in zip(seen, colour)),
                            '%r at (%d, %d), expected %r' % (seen, x, y, colour))

    # -- the launcher's own window --------------------------------------------------------------

    def test_pictures_in_their_own_window(self):
        rows = [
            # (picture, "Splash Screen Shadow", shadow drawn, colour tolerance, linger after main)
            ('splash.bmp', 'true', True, 0, True),
            ('splash.jpg', 'True', False, 40, False),
            ('splash.gif', '', False, 0, False),
        ]
        sizes = {name: (w, h) for name, _, w, h in PICTURES}
        for name, shadow, shadowed, tolerance, linger in rows:
            with self.subTest(picture=name, shadow=shadow):
                # A lingering application thread keeps the process in DestroyJavaVM after main.
                behaviour = WAITING_MAIN + ('main-action=thread 8000\n' if linger else '')
                app = App(self, 'Splash Screen=%s\nSplash Screen Shadow=%s\n'
                          % (self.picture(name), shadow), behaviour)
                with self.wine.session(app.exe, env=app.env) as session:
                    window = session.wait_window(CLASS)
                    info = session.info(window)
                    self.assertEqual(info['rect'], centred(*sizes[name]))
                    self.assertEqual(info['style'] & ~(WS_VISIBLE | WS_CLIPSIBLINGS), WS_POPUP)
                    self.assertEqual(info['exstyle'], WS_EX_TOOLWINDOW)
                    self.assertEqual(info['owner'], 0)
                    self.assertEqual(info['class_style'], CS_DBLCLKS | CS_SAVEBITS |
                                     (CS_DROPSHADOW if shadowed else 0))
                    _, picture = session.shot(window, name.replace('.', '-'))
                    self.assert_quarters(picture, tolerance)
                    # Still there while main runs; gone once it has returned.
                    app.main_waits()
                    self.assertEqual(session.windows(CLASS), [window])
                    app.go.write_text('go')
                    session.gone(window)
                    if linger:
                        still = session.command('wait-exit', 0, check=False)
                        self.assertIn('error', still, 'the process ended with main: %r' % still)
                    self.assertEqual(session.wait_exit(), 0)
                events = app.events()
                self.assertLess(events.index('main end'), events.index('DestroyJavaVM begin'))
                self.assertNotIn('splash loaded', events)

    def test_command_line_switches(self):
        rows = [
            # (argument, splash shown); "yes" is no shadow
            ('-nosplash', False),
            ('/nosplash', False),
            ('-NOSPLASH', True),
        ]
        for argument, shown in rows:
            with self.subTest(argument=argument):
                app = App(self, 'Splash Screen=%s\nSplash Screen Shadow=yes\n'
                          % self.picture('splash.gif'), WAITING_MAIN)
                with self.wine.session(app.exe, args=[argument], env=app.env) as session:
                    if shown:
                        window = session.wait_window(CLASS)
                        self.assertEqual(session.info(window)['class_style'] & CS_DROPSHADOW, 0)
                    app.main_waits()
                    self.assertEqual(len(session.windows(CLASS)), 1 if shown else 0)
                    app.go.write_text('go')
                    self.assertEqual(session.wait_exit(), 0)
                # The switch still reaches main.
                self.assertIn('main arg 0 %s' % argument, app.events())
                self.assertEqual('splash: suppressed by the command line' in app.trace(), not shown)

    def test_pictures_that_show_nothing(self):
        for name in ('undecodable.bmp', 'empty.gif', 'missing.jpg', 'huge.bmp'):
            with self.subTest(picture=name):
                app = App(self, 'Splash Screen=%s\n' % self.picture(name), WAITING_MAIN)
                with self.wine.session(app.exe, env=app.env) as session:
                    app.main_waits()
                    middle = (SCREEN[0] // 2, SCREEN[1] // 2)
                    wait_for(lambda: 'splash window: 0x0 at (%d, %d)' % middle in app.trace(),
                             'the empty splash window')
                    windows = session.windows(CLASS)
                    self.assertEqual(len(windows), 1)
                    self.assertEqual(session.info(windows[0])['rect'], list(middle * 2))
                    self.assertEqual(session.windows('#32770'), [])
                    app.go.write_text('go')
                    self.assertEqual(session.wait_exit(), 0)

    def test_error_box_during_the_splash_is_owned_by_it(self):
        app = App(self, 'Splash Screen=%s\n' % self.picture('splash.bmp'),
                  'create=-4\ncreate-action=wait-file GO\n')
        with self.wine.session(app.exe, env=app.env) as session:
            splash = session.wait_window(CLASS)
            app.go.write_text('go')
            box = session.wait_dialog('Error')
            info = session.info(box)
            self.assertEqual(info['owner'], splash)
            self.assertEqual(control(info, 0xFFFF)['text'],
                             'JNI exception: failed to create the Java VM\nReason: not enough memory.\n')
            session.shot(box, 'splash-error-box')
            session.press(box, 1)
            session.gone(splash)
            self.assertEqual(session.wait_exit(), -1)

    def test_uncaught_exception_closes_the_splash_before_the_dialog(self):
        app = App(self, 'Splash Screen=%s\n' % self.picture('splash.bmp'),
                  WAITING_MAIN + 'main-action=throw java/lang/IllegalStateException boom\n')
        (app.exe.parent / 'app.ini').write_text(
            (app.exe.parent / 'app.ini').read_text() + '[Application]\nFailure Check=Yes\n')
        with self.wine.session(app.exe, env=app.env) as session:
            splash = session.wait_window(CLASS)
            app.go.write_text('go')
            dialog = session.wait_dialog('Java Exception')
            self.assertEqual(session.windows(CLASS), [])
            self.assertEqual(session.info(dialog)['owner'], 0)
            session.press(dialog, 1)
            self.assertEqual(session.wait_exit(), 0)
        self.assertIn('main end exception', app.events())

    # -- the runtime's splash library -------------------------------------------------------------

    def native_calls(self, app):
        """The splash library's lines and where the VM's creation and end come among them."""
        marks = ('splash loaded', 'Splash', 'CreateJavaVM result', 'DestroyJavaVM end')
        return [line for line in app.events() if line.startswith(marks)]

    def test_native_library_when_preferred(self):
        image = self.picture('splash.gif')
        opening = ['splash loaded', 'SplashInit', 'SplashLoadFile ' + image,
                   'SplashSetFileJarName %s []' % image]
        rows = [
            # (preference, VM creation result, the calls in order)
            ('yES', 0, opening + ['CreateJavaVM result=0', 'DestroyJavaVM end', 'SplashClose']),
            ('Yes', -1, opening + ['CreateJavaVM result=-1', 'SplashClose']),
        ]
        for preference, create, calls in rows:
            with self.subTest(preference=preference, create=create):
                app = App(self, 'Splash Screen=%s\nPreffer Native Splash Screen=%s\n'
                          % (image, preference),
                          'create=%d\n' % create + WAITING_MAIN, SPLASH_DOUBLE)
                with self.wine.session(app.exe, env=app.env) as session:
                    if create == 0:
                        app.main_waits()
                        app.go.write_text('go')
                    else:
                        session.press(session.wait_dialog('Error'), 1)
                    self.assertEqual(session.windows(CLASS), [])
                    self.assertEqual(session.wait_exit(), -1 if create else 0)
                self.assertEqual(self.native_calls(app), calls)
                trace = app.trace()
                self.assertLess(trace.index('splash library: started with [%s]' % image),
                                [i for i, line in enumerate(trace)
                                 if line.startswith('VM library loaded')][0])

    def test_native_library_not_preferred_stays_unloaded(self):
        for preference in ('No', 'true', ''):
            with self.subTest(preference=preference):
                app = App(self, 'Splash Screen=%s\nPreffer Native Splash Screen=%s\n'
                          % (self.picture('splash.bmp'), preference),
                          'main=com/example/App\n', SPLASH_DOUBLE)
                result = self.wine.run(app.exe, env=app.env)
                self.assertEqual((result.code, result.boxes), (0, []))
                self.assertEqual(self.native_calls(app),
                                 ['CreateJavaVM result=0', 'DestroyJavaVM end'])
                trace = app.trace()
                self.assertIn('splash library: %s' % self.wine.winpath(
                    app.exe.parent.parent / 'rt' / 'bin' / 'splashscreen.dll'), trace)
                self.assertTrue(any(line.startswith('splash window: 301x150') for line in trace))

    def test_library_without_jar_name_entry_gives_the_own_window(self):
        app = App(self, 'Splash Screen=%s\nPreffer Native Splash Screen=Yes\n'
                  % self.picture('splash.bmp'), WAITING_MAIN, SPLASH_DOUBLE_NO_JAR_NAME)
        with self.wine.session(app.exe, env=app.env) as session:
            window = session.wait_window(CLASS)
            self.assertEqual(session.info(window)['rect'], centred(301, 150))
            app.main_waits()
            app.go.write_text('go')
            self.assertEqual(session.wait_exit(), 0)
        # Loaded, never started, and still closed once at the end.
        self.assertEqual(self.native_calls(app),
                         ['splash loaded', 'CreateJavaVM result=0', 'DestroyJavaVM end',
                          'SplashClose'])


if __name__ == '__main__':
    unittest.main()
