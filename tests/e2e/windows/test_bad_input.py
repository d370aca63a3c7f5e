"""Bad input on Windows (wine64, the VM double): broken, huge and strange INI files, garbage VM
libraries, junk registry values of every type under the runtime keys, an empty JavaHome with a VM
library planted at the root of the current drive, absurd versions and sizes, many arguments,
folders outside ASCII. Every row ends in time with the exact message and exit code, and writes
nothing to the application's folders or the runtime keys."""

import re
import shutil

from harness import BUILD_DIR, WineCase, app_ini, make_app, read_log, text, tree_state

LAUNCHER = BUILD_DIR / 'launcher.exe'
DOUBLE = BUILD_DIR / 'vmdouble' / 'jvm.dll'
NO_MAIN = text('IDS_NO_MAIN_CLASS')
JRE_KEY = r'HKEY_LOCAL_MACHINE\Software\JavaSoft\Java Runtime Environment'


def not_found(requirement):
    return text('IDS_JRE_NOT_FOUND') % requirement


def shown(result):
    """What each box said: the runtime-not-found dialog's message, or a message box's text."""
    texts = []
    for window in result.windows:
        message = [c['text'] for c in window['controls'] if c['id'] == 203]
        texts.append(message[0] if message else window['text'])
    return texts


class BadInput(WineCase):
    wine_label = 'bad-input'

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Wine turns folder names outside ASCII into Windows ones only in a UTF-8 locale.
        cls.wine.env['LC_ALL'] = 'C.UTF-8'

    def launch(self, ini, args=None, env=None, prepare=None, folder='app', cwd=None):
        type(self).count += 1
        base = self.wine.workdir / ('row%d' % self.count)
        app, home, out = base / folder, base / 'rt', base / 'out'
        (home / 'bin' / 'client').mkdir(parents=True)
        out.mkdir()
        shutil.copy2(DOUBLE, home / 'bin' / 'client' / 'jvm.dll')
        (out / 'double.cfg').write_text('main=com/example/App\n')
        content = ini(self.wine.winpath(home)) if callable(ini) else ini
        exe = make_app(app, LAUNCHER, content)
        if prepare:
            prepare(home)
        state = [tree_state(app), tree_state(home), self.wine.reg_query(JRE_KEY)]
        full_env = {'QL_LAUNCHER_TRACE': self.wine.winpath(out / 'trace.txt'),
                    'VMDOUBLE_CONFIG': self.wine.winpath(out / 'double.cfg'),
                    'VMDOUBLE_LOG': self.wine.winpath(out / 'double.log'), 'JAVA_HOME': None}
        full_env.update(env or {})
        result = self.wine.run(exe, args=args, env=full_env, timeout=90, cwd=cwd, button='cancel')
        self.assertEqual([tree_state(app), tree_state(home), self.wine.reg_query(JRE_KEY)], state,
                         'something was written')
        self.log = '\n'.join(read_log(out / 'double.log'))
        self.trace = (out / 'trace.txt').read_text('latin-1') if (out / 'trace.txt').exists() else ''
        return result, home

    def test_battery(self):
        ok = lambda extra='': lambda home: app_ini('JRE Path=%s\n%s' % (home, extra), main='com.example.App')
        lib = lambda home: self.wine.winpath(home) + '\\bin\\client\\jvm.dll'
        rows = [
            # (label, INI, exit code, boxes, launch arguments)
            ('no INI', None, -1, [NO_MAIN], {}),
            ('empty INI', b'', -1, [NO_MAIN], {}),
            ('binary INI', bytes(range(256)) * 64, -1, [NO_MAIN], {}),
            ('10 MB INI', lambda home: ok()(home) + '; padding line\r\n' * 700000, 0, [], {}),
            ('1 MB value', ok('Virtual Machine Parameters=-Dbig=%s\n' % ('x' * (1 << 20))), 0, [], {}),
            ('zero bytes in keys and values',
             lambda home: ('[Java Runtime Environment]\r\nJRE Path=%s\r\nMain Class=com.example.App\x00x\r\n'
                           'Main\x00 Class=other\r\n[Class Path]\r\nClass Path=app.jar\r\n' % home).encode(),
             0, [], {}),
            ('unbalanced quotes', ok('Virtual Machine Parameters=-Dq="abc -Dr=x"y "\n'), 0, [], {}),
            ('absurd versions', app_ini('Minimum Version=99999999999999999999\nMaximum Version=-5\n'),
             -1, [not_found('maximum version 5.65535')], {}),
            ('JRE Path names a file', lambda home: app_ini('JRE Path=%s\\bin\\client\\jvm.dll\n' % home),
             -1, [not_found('latest version')], {}),
            ('JRE Path names a device', app_ini('JRE Path=NUL\n'), -1, [not_found('latest version')], {}),
            ('garbage VM library', ok(), -1, lambda home: [text('IDS_JVM_LOAD_FAILED') % (lib(home), 193)],
             {'prepare': lambda home: (home / 'bin/client/jvm.dll').write_bytes(b'MZ' + bytes(range(256)) * 16)}),
            ('empty VM library', ok(), -1, lambda home: [text('IDS_JVM_LOAD_FAILED') % (lib(home), 193)],
             {'prepare': lambda home: (home / 'bin/client/jvm.dll').write_bytes(b'')}),
            ('10,000 arguments', ok(), 0, [], {'args': ['a'] * 10000, 'log': 'main argc 10000'}),
            ('folder names outside ASCII', ok(), 0, [], {'folder': 'Gr\u00fc\u00dfe/Caf\u00e9'}),
            ('relative memory sizes out of range',
             ok('Virtual Machine Parameters=-Xmx99999999999999p -Xms4294967295:4294967295:1t\n'), 0, [],
             {'log_re': r'option 1 -Xmx99999999999999p\noption 2 -Xms4294967295:4294967295:1t'}),
            ('environment references to each other', ok('Virtual Machine Parameters=-Dx=%QLA%\n'), 0, [],
             {'env': {'QLA': '%QLB%', 'QLB': '%QLA%'}, 'log': 'option 1 -Dx=%QLB%'}),
            ('a stack too small for the VM to start', ok('Virtual Machine Parameters=-Xss16k\n'), 0, [],
             {'stack_at_least': 128 * 1024}),
        ]
        for label, ini, code, boxes, kw in rows:
            with self.subTest(label):
                result, home = self.launch(ini, args=kw.get('args'), env=kw.get('env'),
                                           prepare=kw.get('prepare'), folder=kw.get('folder', 'app'))
                self.assertEqual(result.code, code, result)
                self.assertEqual(shown(result), boxes(home) if callable(boxes) else boxes)
                if 'log' in kw:
                    self.assertIn(kw['log'], self.log)
                if 'log_re' in kw:
                    self.assertRegex(self.log, kw['log_re'])
                if 'stack_at_least' in kw:
                    stack = int(re.search(r'CreateJavaVM .*stack=(\d+)', self.log).group(1))
                    self.assertGreaterEqual(stack, kw['stack_at_least'])

    def test_junk_registry_values_and_an_empty_java_home(self):
        # A VM library at the root of the current drive, where any user may put one: an empty
        # JavaHome must not lead to it.
        drive_c = self.wine.unixpath('C:\\')
        planted = drive_c / 'bin' / 'client' / 'jvm.dll'
        planted.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(DOUBLE, planted)
        cwd = drive_c / 'work'
        cwd.mkdir(exist_ok=True)
        values = [('1.8.0_1', '"JavaHome"=""'), ('1.8.0_2', '"JavaHome"=dword:00000005'),
                  ('1.8.0_3', '"JavaHome"=hex:00,01,02'), ('1.8.0_4', '"JavaHome"=hex(7):51,00,3a,00,00,00,00,00'),
                  ('1.8.0_5', '"JavaHome"=hex(2):25,00,53,00,79,00,73,00,25,00,00,00'),
                  ('1.8.0_6', '"JavaHome"=hex(b):01,00,00,00,00,00,00,00'), ('1.8.0_7', '"JavaHome"=hex(0):'),
                  ('1.8.0_8', '"JavaHome"=hex:00,43,3a,5c')]
        self.wine.reg_import('Windows Registry Editor Version 5.00\n\n' + ''.join(
            '[%s\\%s]\n%s\n\n' % (JRE_KEY, key, value) for key, value in values))
        try:
            result, _ = self.launch(app_ini(''), prepare=None, cwd=cwd)
            self.assertEqual(result.code, -1, result)
            self.assertEqual(shown(result), [not_found('latest version')])
            self.assertIn('VM library: none', self.trace)
            self.assertIn('1.8.0_1: passed over, "JavaHome" is empty', self.trace)
            self.assertIn('1.8.0_8: passed over, "JavaHome" is empty', self.trace)
            self.assertNotIn('main class', self.log)
        finally:
            self.wine.reg_delete(r'HKEY_LOCAL_MACHINE\Software\JavaSoft')
            shutil.rmtree(drive_c / 'bin', ignore_errors=True)


if __name__ == '__main__':
    import unittest
    unittest.main()
