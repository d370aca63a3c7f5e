"""The launcher's start-up under Wine: settings errors, the texts of the string table on screen, the
command line as the program sees it, and that a failed start writes nothing."""

import unittest

from harness import BUILD_DIR, WineCase, make_app, text, tree_state

LAUNCHER = BUILD_DIR / 'launcher.exe'
NO_MAIN_CLASS = text('IDS_NO_MAIN_CLASS')
NOT_FOUND = text('IDS_JRE_NOT_FOUND')
NOT_FOUND_SERVER = text('IDS_JRE_NOT_FOUND_SERVER')


def shown_texts(result):
    """Every text the program put on screen: box texts and the texts of all their controls."""
    texts = []
    for window in result.windows:
        texts.append(window['text'])
        texts.extend(control['text'] for control in window['controls'])
    return texts


class Foundation(WineCase):
    wine_label = 'foundation'

    def app(self, folder, ini_text):
        return make_app(self.wine.workdir / folder, LAUNCHER, ini_text)

    def assert_single_error_box(self, result, text, context):
        self.assertEqual(result.boxes, [text],
                         '%s: expected exactly one box with %r, saw %r' % (context, text, result.boxes))
        window = result.windows[0]
        self.assertEqual(window['pressed'], 'ok', '%s: the box should be an OK box: %r' % (context, window))
        buttons = [c for c in window['controls'] if c['class'].lower() == 'button' and c['visible']]
        self.assertEqual([(b['id'], b['text']) for b in buttons], [(1, 'OK')],
                         '%s: an error box has one OK button: %r' % (context, window['controls']))
        self.assertIsNotNone(window['png'], '%s: no screenshot of the box was made' % context)
        self.assertEqual(result.code, -1, '%s: exit code %r, expected -1' % (context, result.code))

    def test_missing_main_class_is_reported_once_and_ends_with_minus_one(self):
        cases = [
            ('ini-without-main-class',
             '[Java Runtime Environment]\r\nMinimum Version=1.6\r\nJRE Path=C:\\nowhere\r\n'
             '[Class Path]\r\nClass Path=app.jar\r\n'),
            ('ini-with-empty-main-class', '[Java Runtime Environment]\r\nMain Class=\r\n'),
            ('main-class-in-wrong-section', '[Application]\r\nMain Class=com.example.App\r\n'),
            ('empty-ini', ''),
            ('no-ini', None),
        ]
        for label, ini in cases:
            with self.subTest(label):
                result = self.wine.run(self.app(label, ini), timeout=60)
                self.assert_single_error_box(result, NO_MAIN_CLASS, label)

    def test_a_failed_start_writes_nothing(self):
        # Product Name and Code name a per-user INI below APPDATA; nothing may appear there, and
        # the program folder stays byte for byte the same, over two runs.
        ini = ('[Product Information]\r\nProduct Name=Write Test\r\nProduct Code={7-7}\r\n'
               '[Java Runtime Environment]\r\nJRE Path=rt\r\n')
        for label, text in [('nothing-written-with-ini', ini), ('nothing-written-without-ini', None)]:
            with self.subTest(label):
                exe = self.app(label, text)
                folder = exe.parent
                before_app = tree_state(folder)
                before_appdata = tree_state(self.wine.appdata)
                for run in (1, 2):
                    result = self.wine.run(exe, timeout=60)
                    self.assert_single_error_box(result, NO_MAIN_CLASS, '%s run %d' % (label, run))
                    self.assertEqual(tree_state(folder), before_app,
                                     '%s run %d changed the program folder' % (label, run))
                    self.assertEqual(tree_state(self.wine.appdata), before_appdata,
                                     '%s run %d changed APPDATA' % (label, run))
                self.assertFalse((self.wine.appdata / 'Write Test').exists(),
                                 'a per-user folder was created')

    def test_runtime_requirement_texts_reach_the_screen_unchanged(self):
        # No runtime exists in the prefix, so start-up ends by naming the runtime it needs; the
        # texts come from the string table, filled with the version description.
        cases = [
            ('range', '1.5', '1.6.0_10', '', NOT_FOUND % 'version between 1.5 and 1.6.0.10'),
            ('any-any-server', 'any', 'any', 'server', NOT_FOUND_SERVER % 'latest version'),
            ('exact-favor-server', '1.6.0_10', '1.6.0_10', 'favor_server',
             NOT_FOUND % 'version 1.6.0.10 is required'),
            ('maximum-only', '', '1.6.0', 'Server', NOT_FOUND % 'maximum version 1.6'),
            ('minimum-only', '1.5', '', '', NOT_FOUND % 'minimum version 1.5'),
            ('same-short', '1.6', '1.6', '', NOT_FOUND % 'version between 1.6 and 1.6'),
        ]
        for label, minimum, maximum, jvm_type, expected in cases:
            with self.subTest(label):
                ini = ('[Java Runtime Environment]\r\nMain Class=com.example.App\r\n'
                       'Minimum Version=%s\r\nMaximum Version=%s\r\nJVM Type=%s\r\n'
                       'JRE Path=Z:\\no\\such\\runtime\r\n[Class Path]\r\nClass Path=app.jar\r\n'
                       % (minimum, maximum, jvm_type))
                result = self.wine.run(self.app('requirement-' + label, ini), timeout=60,
                                       button='cancel')
                texts = shown_texts(result)
                self.assertTrue(any(t == expected or t.startswith(expected + '\n') for t in texts),
                                '%s: %r not shown; the screen showed %r' % (label, expected, texts))
                self.assertEqual(result.code, -1, '%s: exit code %r' % (label, result.code))

    def test_command_line_is_split_by_the_launchers_rules(self):
        # The launcher reports the arguments it took in its trace file.
        cases = [
            ('', []),
            ('   ', []),
            ('"a b" c', ['a b', 'c']),
            ('a"b c"', ['a"b', 'c"']),
            ('"a b', ['a b']),
            ('"" x', ['', 'x']),
            ('x   y', ['x', 'y']),
            ('x\ty z', ['x\ty', 'z']),
            ('C:\\dir\\ "q\\" -nosplash', ['C:\\dir\\', 'q\\', '-nosplash']),
        ]
        exe = self.app('command-line', None)
        trace = self.wine.workdir / 'command-line.trace'
        for raw, expected in cases:
            with self.subTest(raw=raw):
                if trace.exists():
                    trace.unlink()
                result = self.wine.run(exe, cmdline=raw, timeout=60,
                                       env={'QL_LAUNCHER_TRACE': self.wine.winpath(trace)})
                self.assertEqual(result.code, -1)
                lines = trace.read_text(encoding='cp1252').splitlines()
                count = [l for l in lines if l.startswith('arguments: ')]
                self.assertEqual(count, ['arguments: %d' % len(expected)],
                                 'command line %r: trace says %r' % (raw, count))
                seen = [l[l.index('[') + 1:-1] for l in lines if l.startswith('  argument ')]
                self.assertEqual(seen, expected, 'command line %r split wrongly' % raw)

    def test_jre_path_comes_from_the_per_user_ini_below_appdata_when_that_exists(self):
        appdata = self.wine.workdir / 'appdata'
        user_ini = appdata / 'MyApp' / '{1-2}' / 'app.ini'
        program_ini = ('[Product Information]\r\nProduct Name=My:App*\r\nProduct Code={1-2}\r\n'
                       '[Java Runtime Environment]\r\nJRE Path=C:\\from\\program\r\n%s')
        service = '[Application]\r\nApplication Type=service\r\n'
        user_with_key = '[Java Runtime Environment]\r\nJRE Path=C:\\from\\user\r\n'
        user_without_key = '[Java Runtime Environment]\r\nMinimum Version=1.7\r\n'
        # (label, extra program INI text, per-user INI or None, source, JRE Path read)
        cases = [
            ('no-user-ini', '', None, 'program', 'C:\\from\\program'),
            ('user-ini-with-key', '', user_with_key, 'user', 'C:\\from\\user'),
            ('user-ini-without-key', '', user_without_key, 'user', ''),
            ('service', service, user_with_key, 'program', 'C:\\from\\program'),
        ]
        trace = self.wine.workdir / 'user-ini.trace'
        for label, extra, user_text, source, value in cases:
            with self.subTest(label):
                exe = self.app('user-ini-' + label, program_ini % extra)
                if user_ini.exists():
                    user_ini.unlink()
                if user_text is not None:
                    user_ini.parent.mkdir(parents=True, exist_ok=True)
                    user_ini.write_text(user_text)
                if trace.exists():
                    trace.unlink()
                before = tree_state(appdata)
                result = self.wine.run(exe, timeout=60, env={
                    'APPDATA': self.wine.winpath(appdata),
                    'QL_LAUNCHER_TRACE': self.wine.winpath(trace)})
                self.assert_single_error_box(result, NO_MAIN_CLASS, label)
                lines = trace.read_text(encoding='cp1252').splitlines()
                expected = self.wine.winpath(user_ini if source == 'user' else exe.with_suffix('.ini'))
                self.assertEqual([l for l in lines if l.startswith('JRE Path read from: ')],
                                 ['JRE Path read from: ' + expected], label)
                self.assertEqual([l for l in lines if l.startswith('setting JRE Path: ')],
                                 ['setting JRE Path: [%s]' % value], label)
                self.assertEqual(tree_state(appdata), before, '%s: APPDATA changed' % label)


if __name__ == '__main__':
    unittest.main(verbosity=2)
