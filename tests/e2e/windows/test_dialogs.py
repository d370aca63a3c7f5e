"""The launcher's dialogs under wine64 and Xvfb, driven like a user would through the UI driver:
the runtime-not-found dialog with the real folder browser, the uncaught-exception dialog with its
resize layout, and the download link's colours, tooltip and click. Screenshots of both dialogs
go to build/screenshots/."""

import shutil
import unittest

from harness import BUILD_DIR, Wine, control, make_app, tree_state

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE = BUILD_DIR / 'vmdouble' / 'jvm.dll'
DOWNLOAD_PAGE = 'https://adoptium.net/'
NOT_FOUND = ('The Java Runtime Environment (JRE) was not found. Please  download and install a JRE '
             '(%s) from:')
NOT_FOUND_SERVER = ('The Java Runtime Environment (JRE) was not found. Please  download and install '
                    'a JRE with a server JVM (%s) from:')
VK_RETURN, VK_ESCAPE = 0x0D, 0x1B
WM_LBUTTONDOWN, WM_LBUTTONUP = 0x201, 0x202
SW_MAXIMIZE, SW_RESTORE = 3, 9
ES_READONLY, WS_DISABLED = 0x0800, 0x08000000
BLUE, DARK_BLUE, PURPLE = (0, 0, 255), (0, 0, 128), (128, 0, 128)
SIZE_GRIP = 59393


def size(rect):
    return rect[2] - rect[0], rect[3] - rect[1]


def centred(rect, area):
    """Where the rule puts a window of rect's size on the work area."""
    width, height = size(rect)
    x = max(min((area[0] + area[2]) // 2 - width // 2, area[2] - width), area[0])
    y = max(min((area[1] + area[3]) // 2 - height // 2, area[3] - height), area[1])
    return [x, y, x + width, y + height]


def in_window(window_rect, rect):
    """rect (screen) as a box in a screenshot of the window."""
    return (rect[0] - window_rect[0], rect[1] - window_rect[1], rect[2] - window_rect[0],
            rect[3] - window_rect[1])


class DialogTheme(unittest.TestCase):
    label = 'dialogs'

    @classmethod
    def setUpClass(cls):
        assert LAUNCHER.exists(), LAUNCHER
        cls.wine = Wine(cls.label).__enter__()
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.wine.__exit__(None, None, None)

    def folder(self, name):
        type(self).count += 1
        path = self.wine.workdir / ('%d-%s' % (self.count, name))
        path.mkdir(parents=True)
        return path

    def runtime(self, home, *vms):
        """A runtime whose bin\\<vm>\\jvm.dll (vm may be 'jre/server') is the VM double."""
        for vm in vms:
            prefix, _, kind = vm.rpartition('/')
            target = home / prefix / 'bin' / kind
            target.mkdir(parents=True, exist_ok=True)
            shutil.copy2(DOUBLE, target / 'jvm.dll')
        home.mkdir(parents=True, exist_ok=True)
        return home

    def app(self, root, ini, behaviour='main=com/example/App\n'):
        """The launcher with its INI file in root\\app, and the double's behaviour and log."""
        exe = make_app(root / 'app', LAUNCHER, ini)
        (root / 'double.cfg').write_text(behaviour, encoding='utf-8')
        env = {'VMDOUBLE_CONFIG': self.wine.winpath(root / 'double.cfg'),
               'VMDOUBLE_LOG': self.wine.winpath(root / 'double.log'),
               'QL_LAUNCHER_TRACE': self.wine.winpath(root / 'trace.txt')}
        return exe, env

    @staticmethod
    def log(root):
        path = root / 'double.log'
        return path.read_text(encoding='ascii').splitlines() if path.exists() else []

    def assert_centred(self, session, info):
        self.assertEqual(info['rect'], centred(info['rect'], session.work_area()))


class NotFound(DialogTheme):
    label = 'dialogs-not-found'

    def ini(self, extra='', code='{9-9}'):
        # Each test its own product code: the runtime one test remembers stays out of the others.
        return ('[Product Information]\r\nProduct Name=Dialog Test\r\nProduct Code=%s\r\n' % code +
                '[Java Runtime Environment]\r\nMain Class=com.example.App\r\n'
                'JRE Path=Z:\\no\\such\\runtime\r\n' + extra + '[Class Path]\r\nClass Path=app.jar\r\n')

    def test_message_controls_and_every_way_to_cancel(self):
        rows = [
            # (label, settings, message, how the user leaves)
            ('default', 'Minimum Version=any\r\nMaximum Version=any\r\n', NOT_FOUND % 'latest version',
             'cancel'),
            ('server', 'JVM Type=server\r\n', NOT_FOUND_SERVER % 'latest version', 'escape'),
            ('favor-server', 'JVM Type=favor_server\r\n', NOT_FOUND % 'latest version', 'close'),
            ('range', 'Minimum Version=1.5\r\nMaximum Version=1.6.0_10\r\n',
             NOT_FOUND % 'version between 1.5 and 1.6.0.10', 'enter-then-cancel'),
        ]
        for label, settings, message, leave in rows:
            with self.subTest(label):
                root = self.folder(label)
                exe, env = self.app(root, self.ini(settings, code='{cancel}'))
                before = (tree_state(root / 'app'), tree_state(self.wine.appdata))
                with self.wine.session(exe, env=env) as session:
                    dialog = session.wait_dialog('JRE Not Found')
                    info = session.info(dialog)
                    texts = {c['id']: c['text'] for c in info['controls'] if c['id'] != -1}
                    self.assertEqual(texts, {1: 'OK', 2: 'Cancel', 201: '', 202: 'Browse...',
                                             203: message, 204: '', 205: DOWNLOAD_PAGE,
                                             206: 'If you have a JRE installed you can browse for it below:'})
                    self.assertEqual(sorted(c['text'] for c in info['controls'] if c['id'] == -1),
                                     ['JRE Path:', 'Missing JRE'])
                    self.assertEqual([c['id'] for c in info['controls'] if not c['enabled']], [1])
                    self.assertTrue(control(info, 201)['style'] & ES_READONLY)
                    self.assert_centred(session, info)
                    if label == 'default':
                        self.check_link(session, dialog, info, BLUE)
                    if leave == 'cancel':
                        session.press(dialog, 2)
                    elif leave == 'escape':
                        session.key(dialog, VK_ESCAPE)
                    elif leave == 'close':
                        session.close_box(dialog)
                    else:
                        # Enter reaches the disabled default button: nothing happens.
                        session.key(dialog, VK_RETURN)
                        self.assertTrue(control(session.info(dialog), 1)['style'] & WS_DISABLED)
                        session.press(dialog, 2)
                    self.assertEqual(session.wait_exit(), -1)
                self.assertEqual((tree_state(root / 'app'), tree_state(self.wine.appdata)), before)
                self.assertEqual(self.log(root), [], 'no runtime may be loaded')

    def check_link(self, session, dialog, info, colour):
        """The link is drawn in its colour, within its control; its tooltip belongs to it."""
        link = control(info, 205)
        _png, picture = session.shot(dialog, 'jre-not-found')
        box = in_window(info['rect'], link['rect'])
        self.assertGreater(picture.count(colour, box), 20, picture.colours(box))
        self.assertEqual(picture.count(colour), picture.count(colour, box), 'link colour elsewhere')
        # The text fits its control on one line: the link ends before the control does.
        columns = [x for x in range(box[0], box[2]) for y in range(box[1], box[3])
                   if picture.pixel(x, y) == colour]
        self.assertLess(max(columns), box[2] - 2)
        tips = [t for t in session.tooltips() if t['tools']]
        self.assertEqual(len(tips), 1, tips)
        self.assertEqual(tips[0]['owner'], dialog)
        tool = tips[0]['tools'][0]
        self.assertEqual((tool['hwnd'], tool['id'], tool['text']), (link['hwnd'], 1, DOWNLOAD_PAGE))
        # Only the text reacts: right of it the control shows no tooltip.
        self.assertLess(tool['rect'][2], size(link['client'])[0])

    def browse(self, session, dialog, folder):
        """Browse..., then the folder (a Unix path) in the real folder browser, then its OK."""
        session.press(dialog, 202)
        browser = session.wait_dialog('Browse for Folder')
        texts = [c['text'] for c in session.info(browser)['controls'] if c['visible']]
        self.assertIn('Browse for JRE folder', texts)
        if folder is None:
            session.press(browser, 2)
        else:
            drive, parts = ('Z:', str(folder).strip('/').split('/'))
            session.tree_select(browser, 'Desktop', 'My Computer', ' (%s)' % drive, *parts)
            session.press(browser, 1)
        session.gone(browser)
        info = session.info(dialog)
        return control(info, 201)['text'], control(info, 1)['enabled']

    def test_browse_enables_ok_only_for_a_usable_folder_and_ok_remembers_it(self):
        root = self.folder('browse')
        runtime = self.runtime(root / 'rt', 'client')
        jdk = self.runtime(root / 'jdk', 'jre/server')
        empty = self.folder('empty')
        exe, env = self.app(root, self.ini())
        program_ini = tree_state(root / 'app')
        with self.wine.session(exe, env=env) as session:
            dialog = session.wait_dialog('JRE Not Found')
            rows = [
                # (folder, path shown, OK enabled)
                (None, '', False),                    # browsing cancelled: nothing changes
                (jdk, self.wine.winpath(jdk), False),  # jvm.dll only below jre\
                (runtime, self.wine.winpath(runtime), True),
                (empty, self.wine.winpath(empty), False),  # OK follows the last choice
                (jdk / 'jre', self.wine.winpath(jdk / 'jre'), True),
                (runtime, self.wine.winpath(runtime), True),
            ]
            for folder, shown, enabled in rows:
                with self.subTest(folder=str(folder)):
                    self.assertEqual(self.browse(session, dialog, folder), (shown, enabled))
            session.shot(dialog, 'jre-not-found-chosen')
            session.press(dialog, 1)
            self.assertEqual(session.wait_exit(), 0)
        self.assertIn('main class com/example/App', self.log(root))
        user_ini = self.wine.appdata / 'Dialog Test' / '{9-9}' / 'app.ini'
        self.assertIn('JRE Path=%s\\' % self.wine.winpath(runtime),
                      user_ini.read_text(encoding='cp1252').splitlines())
        self.assertEqual(tree_state(root / 'app'), program_ini, 'the program INI stays as it was')
        again = self.wine.run(exe, env=env, timeout=60)
        self.assertEqual((again.code, again.boxes), (0, []))
        self.assertEqual(self.log(root).count('main class com/example/App'), 2)

    def test_a_drive_root_keeps_its_single_backslash(self):
        root = self.folder('drive-root')
        exe, env = self.app(root, self.ini(code='{root}'))
        with self.wine.session(exe, env=env) as session:
            dialog = session.wait_dialog('JRE Not Found')
            session.press(dialog, 202)
            browser = session.wait_dialog('Browse for Folder')
            session.tree_select(browser, 'Desktop', 'My Computer', ' (C:)')
            session.press(browser, 1)
            session.gone(browser)
            self.assertEqual(control(session.info(dialog), 201)['text'], 'C:\\')
            session.press(dialog, 2)
            self.assertEqual(session.wait_exit(), -1)
        trace = (root / 'trace.txt').read_text(encoding='cp1252')
        self.assertIn('browsed to [C:\\]: no usable VM library', trace)


class ExceptionDialog(DialogTheme):
    label = 'dialogs-exception'
    TRACE = ('java.lang.IllegalStateException: Gr\u00fc\u00dfe aus main\r\n'
             '\tat vmdouble.Simulated.call(Simulated.java)\r\n')
    THROWS = ('main=com/example/App\nmain-action=thread 300\n'
              'main-action=throw java/lang/IllegalStateException Gr\u00fc\u00dfe aus main\n')

    def ini(self, runtime, failure_check):
        return ('[Java Runtime Environment]\r\nMain Class=com.example.App\r\nJRE Path=%s\r\n'
                '[Class Path]\r\nClass Path=app.jar\r\n[Application]\r\n%s'
                % (self.wine.winpath(runtime), failure_check))

    def test_trace_and_choices(self):
        rows = [
            # (Failure Check, how the user leaves, exit code)
            ('Yes', 'ignore', 0),
            ('YES', 'stop', -1),
            ('yes', 'escape', -1),
            ('yEs', 'close', -1),
        ]
        for value, leave, code in rows:
            with self.subTest(value=value, leave=leave):
                root = self.folder(leave)
                runtime = self.runtime(root / 'rt', 'client')
                exe, env = self.app(root, self.ini(runtime, 'Failure Check=%s\r\n' % value), self.THROWS)
                with self.wine.session(exe, env=env) as session:
                    dialog = session.wait_dialog('Java Exception')
                    info = session.info(dialog)
                    trace = control(info, 208)
                    self.assertEqual(trace['text'], self.TRACE)
                    self.assertTrue(trace['style'] & ES_READONLY)
                    self.assert_centred(session, info)
                    if leave == 'ignore':
                        session.shot(dialog, 'java-exception')
                        self.check_layout(session, dialog, info)
                        session.press(dialog, 1)
                    elif leave == 'stop':
                        session.press(dialog, 2)
                    elif leave == 'escape':
                        session.key(dialog, VK_ESCAPE)
                    else:
                        session.close_box(dialog)
                    self.assertEqual(session.wait_exit(), code)
                log = self.log(root)
                if code == 0:
                    # Ignore: the application's other thread ends before the process does.
                    self.assertLess(log.index('thread end'), log.index('DestroyJavaVM end'))
                else:
                    self.assertIn('exit -1', log)
                    self.assertNotIn('DestroyJavaVM end', log)

    def check_layout(self, session, dialog, opened):
        width, height = size(opened['rect'])
        grown = session.resize(dialog, width + 100, height + 100)
        self.assertEqual(size(grown['rect']), (width + 100, height + 100))
        after = session.info(dialog)
        moved = {c['id']: c['rect'] for c in after['controls']}
        for c in opened['controls']:
            l, t, r, b = c['rect']
            expected = {
                1: [l + 100, t + 100, r + 100, b + 100],
                2: [l + 100, t + 100, r + 100, b + 100],
                SIZE_GRIP: [l + 100, t + 100, r + 100, b + 100],
                209: [l, t, r + 100, b + 100],
                208: [l, t, r + 100, b + 100],
                210: [l, t, r + 100, b],
                211: [l, t + 100, r + 100, b + 100],
                212: [l, t + 100, r + 100, b + 100],
                204: [l, t, r, b],
            }[c['id']]
            self.assertEqual(moved[c['id']], expected, 'control %d' % c['id'])
        session.shot(dialog, 'java-exception-larger')
        # It cannot be made smaller than it opened.
        self.assertEqual(size(session.resize(dialog, width - 60, height - 40)['rect']), (width, height))
        maximised = session.show(dialog, SW_MAXIMIZE)
        self.assertTrue(maximised['zoomed'])
        self.assertFalse(control(session.info(dialog), SIZE_GRIP)['visible'])
        session.show(dialog, SW_RESTORE)
        self.assertTrue(control(session.info(dialog), SIZE_GRIP)['visible'])

    def test_no_dialog_without_failure_check_or_without_a_trace(self):
        rows = [
            ('absent', '', self.THROWS),
            ('no', 'Failure Check=No\r\n', self.THROWS),
            ('trace cannot be built', 'Failure Check=Yes\r\n',
             self.THROWS + 'hide-class=java/io/ByteArrayOutputStream\n'),
        ]
        for label, setting, behaviour in rows:
            with self.subTest(label):
                root = self.folder('no-dialog')
                runtime = self.runtime(root / 'rt', 'client')
                exe, env = self.app(root, self.ini(runtime, setting), behaviour)
                result = self.wine.run(exe, env=env, timeout=60)
                # Nobody chose Ignore: the exception fails the start, as with java.
                self.assertEqual((result.code, result.boxes), (1, []))
                self.assertIn('describe java.lang.IllegalStateException: Gr\\xc3\\xbc\\xc3\\x9fe aus main',
                              self.log(root))


class Hyperlink(DialogTheme):
    label = 'dialogs-link'
    SETTINGS = r'HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Settings'

    def setUp(self):
        self.wine.reg_delete(self.SETTINGS)

    def open_dialog(self, session_env_root):
        exe, env = self.app(session_env_root, '[Java Runtime Environment]\r\nMain Class=a.B\r\n'
                                              'JRE Path=Z:\\none\r\n[Class Path]\r\nClass Path=a.jar\r\n')
        return exe, env

    def test_colours_from_the_browser_settings(self):
        rows = [
            # (Anchor Color, Anchor Color Visited, colour drawn)
            (None, None, BLUE),
            ('0,0,128', None, DARK_BLUE),
            ('0,0', '0,0,128', BLUE),        # invalid: the default stays
            ('255,255,2555', None, BLUE),    # too long for the value's buffer
        ]
        for anchor, visited, colour in rows:
            with self.subTest(anchor=anchor):
                self.wine.reg_delete(self.SETTINGS)
                values = ''.join('"%s"="%s"\n' % (name, value) for name, value in
                                 [('Anchor Color', anchor), ('Anchor Color Visited', visited)] if value)
                if values:
                    self.wine.reg_import('REGEDIT4\n\n[%s]\n%s' % (self.SETTINGS, values))
                exe, env = self.open_dialog(self.folder('colour'))
                with self.wine.session(exe, env=env) as session:
                    dialog = session.wait_dialog('JRE Not Found')
                    info = session.info(dialog)
                    _png, picture = session.shot(dialog, 'jre-not-found-link')
                    box = in_window(info['rect'], control(info, 205)['rect'])
                    self.assertGreater(picture.count(colour, box), 20, picture.colours(box))
                    session.press(dialog, 2)
                    self.assertEqual(session.wait_exit(), -1)

    def test_a_click_on_the_text_opens_it_and_shows_it_visited(self):
        root = self.folder('click')
        opened = root / 'opened.txt'
        # What the shell runs for https addresses: a command that records the address.
        self.wine.reg_import('REGEDIT4\n\n[HKEY_CLASSES_ROOT\\https\\shell\\open\\command]\n'
                             '@="C:\\\\windows\\\\system32\\\\cmd.exe /c echo %%1>%s"\n'
                             % self.wine.winpath(opened).replace('\\', '\\\\'))
        exe, env = self.open_dialog(root)
        with self.wine.session(exe, env=env) as session:
            dialog = session.wait_dialog('JRE Not Found')
            info = session.info(dialog)
            link = control(info, 205)
            tool = [t for t in session.tooltips() if t['tools']][0]['tools'][0]
            inside = (tool['rect'][0] + 3) | ((tool['rect'][1] + 3) << 16)
            outside = (tool['rect'][2] + 3) | ((tool['rect'][1] + 3) << 16)
            # Pressed on the text, released beside it: nothing is opened.
            session.post(link['hwnd'], WM_LBUTTONDOWN, 1, inside)
            session.post(link['hwnd'], WM_LBUTTONUP, 0, outside)
            session.info(dialog)
            self.assertFalse(opened.exists())
            session.post(link['hwnd'], WM_LBUTTONDOWN, 1, inside)
            session.post(link['hwnd'], WM_LBUTTONUP, 0, inside)
            for _ in range(100):
                if opened.exists() and opened.read_text(errors='replace').strip():
                    break
                session.info(dialog)
            self.assertEqual(opened.read_text(encoding='cp1252').strip(), DOWNLOAD_PAGE)
            _png, picture = session.shot(dialog, 'jre-not-found-visited')
            box = in_window(info['rect'], link['rect'])
            self.assertGreater(picture.count(PURPLE, box), 20, picture.colours(box))
            self.assertEqual(picture.count(BLUE, box), 0)
            session.press(dialog, 2)
            self.assertEqual(session.wait_exit(), -1)


if __name__ == '__main__':
    unittest.main(verbosity=2)
