"""Bad input on Linux, as a hostile or careless user gives it: broken, huge and strange INI files,
pipes and devices where files belong, garbage VM libraries, absurd versions and sizes, many
arguments, folder names outside ASCII. Every row ends in time with the exact message and exit
code, and writes nothing."""

import os
import shutil
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, app_ini, make_app, read_log, run_linux, text, tree_state

LAUNCHER = BUILD_DIR / 'launcher'
DOUBLE = BUILD_DIR / 'vmdouble' / 'libjvm.so'
JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')
PAGE = 'https://adoptium.net/'
NO_MAIN = text('IDS_NO_MAIN_CLASS') + '\n'
NOTHING_INSTALLED = 'Maximum Version=1.0\n'  # no installed runtime is that old


def not_found(requirement):
    return text('IDS_JRE_NOT_FOUND') % requirement + '\n' + PAGE + '\n'


def load_failed(path, errno):
    return text('IDS_JVM_LOAD_FAILED') % (path, errno)


class BadInput(unittest.TestCase):
    def setUp(self):
        self.root = Path(tempfile.mkdtemp(prefix='bad-input-'))
        self.rows = 0

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def case(self, folder='app'):
        """A row's folders: its application folder, a runtime home with the VM double, and a
        folder for what the row writes on purpose (trace, the double's log)."""
        self.rows += 1
        base = self.root / ('row%d' % self.rows)
        app, home, out = base / folder, base / 'rt', base / 'out'
        for path in (app, home / 'lib' / 'server', out, base / 'config', base / 'home'):
            path.mkdir(parents=True)
        shutil.copy2(DOUBLE, home / 'lib' / 'server' / 'libjvm.so')
        (out / 'double.cfg').write_text('main=com/example/App\n')
        return base, app, home, out

    def launch(self, base, app, out, ini, args=(), env=None, before=None):
        exe = make_app(app, LAUNCHER, None)
        if ini is not None:
            (app / 'app.ini').write_bytes(ini if isinstance(ini, bytes) else ini.encode('utf-8'))
        if before:
            before()
        watched = [app, base / 'rt', base / 'config', base / 'home']
        state = [tree_state(folder) for folder in watched]
        full_env = {'XDG_CONFIG_HOME': base / 'config', 'HOME': base / 'home', 'JAVA_HOME': None,
                    'QL_LAUNCHER_TRACE': out / 'trace.txt', 'VMDOUBLE_CONFIG': out / 'double.cfg',
                    'VMDOUBLE_LOG': out / 'double.log'}
        full_env.update(env or {})
        result = run_linux(exe, args, env=full_env, cwd=app, timeout=60)
        self.assertEqual([tree_state(folder) for folder in watched], state, 'something was written')
        return result

    def test_battery(self):
        fifo = lambda path: (lambda: os.mkfifo(path))
        rows = []

        def row(label, ini, expect_code, expect_err, **kw):
            rows.append((label, ini, expect_code, expect_err, kw))

        ok = lambda home, extra='': app_ini('JRE Path=%s\n%s' % (home, extra), main='com.example.App')
        row('no INI', None, 255, NO_MAIN)
        row('empty INI', b'', 255, NO_MAIN)
        row('binary INI', bytes(range(256)) * 64, 255, NO_MAIN)
        row('10 MB INI', lambda home: ok(home) + '; padding line\n' * 700000, 0, '')
        row('keys beyond the 16 MiB read', lambda home: '; x\n' * (17 << 18) + ok(home), 255, NO_MAIN)
        row('1 MB value', lambda home: ok(home, 'Virtual Machine Parameters=-Dbig=%s\n' % ('x' * (1 << 20))),
            0, '')
        big = 'a' * (1 << 20)
        row('1 MB main class', lambda home: app_ini('JRE Path=%s\n' % home, main=big), 255,
            lambda err: err.endswith((text('IDS_MAIN_CLASS_NOT_FOUND') % big)[:1023] + '\n'))
        row('zero bytes in keys and values',
            lambda home: ('[Java Runtime Environment]\nJRE Path=%s\nMain Class=com.example.App\x00x\n'
                          'Main\x00 Class=other\n[Class Path]\nClass Path=app.jar\n' % home).encode(),
            0, '')
        row('unbalanced quotes', lambda home: ok(home, 'Virtual Machine Parameters=-Dq="abc -Dr=x"y "\n'),
            0, '')
        row('absurd versions', 'Minimum Version=99999999999999999999\nMaximum Version=-5\n', 255,
            not_found('maximum version 5.65535'))
        row('JRE Path names a file', lambda home: 'JRE Path=%s\n' % (home / 'lib' / 'server' / 'libjvm.so')
            + NOTHING_INSTALLED, 255, not_found('maximum version 1.0'))
        row('JRE Path names a device', 'JRE Path=/dev/null\n' + NOTHING_INSTALLED, 255,
            not_found('maximum version 1.0'))
        row('garbage VM library', lambda home: ok(home), 255,
            lambda err, home: err == load_failed(home / 'lib/server/libjvm.so', 8),
            prepare=lambda home: (home / 'lib/server/libjvm.so').write_bytes(os.urandom(4096)))
        row('empty VM library', lambda home: ok(home), 255,
            lambda err, home: err == load_failed(home / 'lib/server/libjvm.so', 8),
            prepare=lambda home: (home / 'lib/server/libjvm.so').write_bytes(b''))
        row('VM library is a pipe', lambda home: ok(home), 255,
            lambda err, home: err == load_failed(home / 'lib/server/libjvm.so', 2),
            prepare=lambda home: ((home / 'lib/server/libjvm.so').unlink(),
                                  os.mkfifo(home / 'lib/server/libjvm.so')))
        row('program INI is a pipe', None, 255, NO_MAIN, prepare_app=lambda app: os.mkfifo(app / 'app.ini'))
        row('program INI is /dev/zero', None, 255, NO_MAIN,
            prepare_app=lambda app: os.symlink('/dev/zero', app / 'app.ini'))
        row('per-user INI is a pipe',
            lambda home: ok(home, NOTHING_INSTALLED) + '[Product Information]\nProduct Name=P\nProduct Code=C\n',
            255, not_found('maximum version 1.0'),
            prepare_base=lambda base: ((base / 'config/P/C').mkdir(parents=True),
                                       os.mkfifo(base / 'config/P/C/app.ini')))
        row('10,000 arguments', lambda home: ok(home), 0, '', args=['a%d' % i for i in range(10000)],
            log=lambda log: 'main argc 10000' in log)
        row('folder names outside ASCII', lambda home: ok(home), 0, '', folder='Gr\u00fc\u00dfe/\u65e5\u672c')
        row('relative memory sizes out of range',
            lambda home: ok(home, 'Virtual Machine Parameters=-Xmx99999999999999p -Xms4294967295:4294967295:1t\n'),
            0, '', log=lambda log: 'option 1 -Xmx99999999999999p\noption 2 -Xms4294967295:4294967295:1t'
            in log)
        row('environment references to each other',
            lambda home: ok(home, 'Virtual Machine Parameters=-Dx=%QLA%\n'), 0, '',
            env={'QLA': '%QLB%', 'QLB': '%QLA%'}, log=lambda log: 'option 1 -Dx=%QLB%' in log)
        if (JDK / 'lib/server/libjvm.so').exists():
            row('-Xss16k on the real VM',
                app_ini('JRE Path=%s\nVirtual Machine Parameters=-Xss16k\n' % JDK, main='Nope'), 255,
                # The VM's own words come below the failure.
                lambda err, home, out='': (text('IDS_JNI_EXCEPTION_REASON') % (
                    text('IDS_CREATE_VM_FAILED'), 'unknown') + '\nThe Java thread stack size specified '
                    'is too small') in err)

        for label, ini, expect_code, expect_err, kw in rows:
            with self.subTest(label):
                base, app, home, out = self.case(kw.get('folder', 'app'))
                if 'prepare' in kw:
                    kw['prepare'](home)
                if 'prepare_base' in kw:
                    kw['prepare_base'](base)
                content = ini(home) if callable(ini) else ini
                if isinstance(content, str) and 'Main Class' not in content and content:
                    content = app_ini(content)
                before = (lambda: kw['prepare_app'](app)) if 'prepare_app' in kw else None
                result = self.launch(base, app, out, content, kw.get('args', ()), kw.get('env'), before)
                self.assertEqual(result.code, expect_code, result)
                if callable(expect_err):
                    arguments = (result.stderr, home, result.stdout)[:expect_err.__code__.co_argcount]
                    self.assertTrue(expect_err(*arguments), result.stderr[-2000:])
                else:
                    self.assertEqual(result.stderr, expect_err)
                if 'log' in kw:
                    self.assertTrue(kw['log']('\n'.join(read_log(out / 'double.log'))),
                                    read_log(out / 'double.log')[:20])


if __name__ == '__main__':
    unittest.main()
