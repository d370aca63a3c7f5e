"""What the Linux launcher does in place of its dialogs: without a runtime it names the runtime it
needs and where to get one on standard error, and asks for a runtime folder when standard input and
standard error are a terminal (a pseudo-terminal here); with "Failure Check" the stack trace the
real JVM prints is all, while the trace file shows the text the dialog would hold."""

import os
import pty
import shutil
import signal
import select
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from harness import (BUILD_DIR, SCREENSHOT_DIR, Xvfb, make_app, read_xwd, run_linux, text,
                     tree_state, wait_for, write_png)

LAUNCHER = BUILD_DIR / 'launcher'
JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')
MESSAGE = ('The Java Runtime Environment (JRE) was not found. Please  download and install a JRE '
           '(maximum version 1.0) from:\nhttps://adoptium.net/\n')
PROMPT = b'Java runtime folder (an empty line cancels): '

SOURCE = r'''
public class Hello {
  public static void main(String[] args) { System.out.println("hello from " + System.getProperty("java.home")); }
}
class Fails {
  public static void main(String[] args) { throw new IllegalStateException("Gr\u00fc\u00dfe aus main"); }
}
'''


class WithoutWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._tmp = tempfile.TemporaryDirectory(prefix='linux-dialogs-')
        cls.root = Path(cls._tmp.name)
        (cls.root / 'src').mkdir()
        (cls.root / 'src' / 'Hello.java').write_text(SOURCE)
        subprocess.run([str(JDK / 'bin' / 'javac'), '-d', str(cls.root / 'classes'),
                        str(cls.root / 'src' / 'Hello.java')], check=True, timeout=180)
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls._tmp.cleanup()

    def app(self, main='Hello', extra='', make_config=True):
        """An application that no installed runtime suits; returns (exe, environment, config home)."""
        type(self).count += 1
        folder = self.root / ('app%d' % self.count)
        ini = ('[Product Information]\nProduct Name=Dialogs\nProduct Code=%d\n'
               '[Java Runtime Environment]\nMain Class=%s\n%s[Class Path]\nClass Path=%s\n'
               % (self.count, main, extra, self.root / 'classes'))
        exe = make_app(folder, LAUNCHER, ini)
        config = folder / 'config'  # exists, as a user's settings folder does
        if make_config:
            config.mkdir()
        env = {'JAVA_HOME': None, 'XDG_CONFIG_HOME': str(config),
               'QL_LAUNCHER_TRACE': str(folder / 'trace.txt')}
        return exe, env, config

    def on_terminal(self, exe, env, lines, stderr_terminal=True):
        """Runs exe with standard input (and standard error) on a pseudo-terminal, typing each
        line after each prompt; returns (exit status, what the terminal showed, standard output)."""
        master, slave = pty.openpty()
        full_env = dict(os.environ)
        for key, value in env.items():
            if value is None:
                full_env.pop(key, None)
            else:
                full_env[key] = value
        process = subprocess.Popen([str(exe)], stdin=slave, stdout=subprocess.PIPE,
                                   stderr=slave if stderr_terminal else subprocess.PIPE,
                                   env=full_env, cwd=str(exe.parent), start_new_session=True)
        os.close(slave)
        shown = b''
        pending = list(lines)
        deadline = time.time() + 60
        try:
            while process.poll() is None and time.time() < deadline:
                ready = select.select([master], [], [], 0.2)[0]
                if ready:
                    try:
                        shown += os.read(master, 4096)
                    except OSError:  # the terminal's other end is closed
                        break
                if pending and shown.count(PROMPT) > len(lines) - len(pending):
                    os.write(master, pending.pop(0).encode() + b'\n')
            out, err = process.communicate(timeout=60)
        finally:
            if process.poll() is None:
                process.kill()
            os.close(master)
        if not stderr_terminal:
            shown += err
        return process.returncode, shown.decode('utf-8', 'replace').replace('\r\n', '\n'), out.decode()

    def test_without_a_terminal_the_message_goes_to_standard_error(self):
        exe, env, config = self.app(extra='Maximum Version=1.0\n')
        before = tree_state(exe.parent)
        result = run_linux(exe, env=env, cwd=exe.parent, timeout=60)
        self.assertEqual((result.code, result.stderr), (255, MESSAGE))
        after = tree_state(exe.parent)
        after.pop('trace.txt')
        self.assertEqual(after, before, 'nothing may be written')
        # Standard error alone on a terminal is not enough to ask.
        code, shown, _ = self.on_terminal(exe, env, [], stderr_terminal=False)
        self.assertEqual((code, shown), (255, MESSAGE))

    def test_a_typed_runtime_folder_launches_and_is_remembered(self):
        # A new account may have no settings folder yet: it is made.
        exe, env, config = self.app(extra='Maximum Version=1.0\n', make_config=False)
        code, shown, out = self.on_terminal(exe, env, [str(self.root), '  %s  ' % JDK])
        self.assertEqual(code, 0, shown)
        self.assertEqual(out, 'hello from %s\n' % JDK)
        self.assertTrue(shown.startswith(MESSAGE + PROMPT.decode()), shown)
        self.assertIn('No usable Java VM library below %s/.\n' % self.root, shown)
        self.assertEqual(shown.count(PROMPT.decode()), 2)
        user_ini = config / 'Dialogs' / str(self.count) / 'app.ini'
        self.assertIn('JRE Path=%s/' % JDK, user_ini.read_text().splitlines())
        again = run_linux(exe, env=env, cwd=exe.parent, timeout=60)
        self.assertEqual((again.code, again.stdout, again.stderr), (0, 'hello from %s\n' % JDK, ''))

    def test_an_empty_line_cancels_and_writes_nothing(self):
        exe, env, config = self.app(extra='Maximum Version=1.0\n')
        code, shown, out = self.on_terminal(exe, env, [''])
        self.assertEqual((code, out), (255, ''))
        self.assertEqual(shown.count(PROMPT.decode()), 1)
        self.assertEqual(list(config.iterdir()), [], 'no per-user INI may be written')

    def test_failure_check_only_prints_the_trace(self):
        exe, env, _ = self.app(main='Fails', extra='JRE Path=%s\n[Application]\nFailure Check=yes\n' % JDK)
        result = run_linux(exe, env=env, cwd=exe.parent, timeout=60)
        self.assertEqual(result.code, 1, result)  # nobody could choose Ignore
        self.assertIn('Exception in thread "main" java.lang.IllegalStateException: Gr\u00fc\u00dfe aus main',
                      result.stderr)
        trace = (exe.parent / 'trace.txt').read_text(encoding='utf-8').splitlines()
        text = [line[len('exception text: '):] for line in trace if line.startswith('exception text: ')]
        self.assertEqual(text, ['java.lang.IllegalStateException: Gr\u00fc\u00dfe aus main',
                                '\tat Fails.main(Hello.java:6)'])


    def test_a_failure_started_from_the_desktop_is_shown_there(self):
        # Started from a desktop entry, nobody reads standard error: with a display, the text is
        # also shown in a dialog of the first tool that is installed, here xmessage.
        if shutil.which('xmessage') is None:
            self.skipTest('xmessage (x11-utils) is not installed')
        tools = self.root / 'tools'
        tools.mkdir(exist_ok=True)
        (tools / 'xmessage').symlink_to(shutil.which('xmessage'))
        exe = make_app(self.root / 'desktop', LAUNCHER, '[Java Runtime Environment]\n')
        with Xvfb() as display:
            process = subprocess.Popen([str(exe)], env=dict(os.environ, DISPLAY=display, PATH=str(tools)),
                                       stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
            children = Path('/proc/%d/task/%d/children' % (process.pid, process.pid))
            wait_for(lambda: children.read_text().strip(), 'the desktop dialog', timeout=30)
            dialog = Path('/proc') / children.read_text().split()[0]
            # Between fork and exec the child's command line is the launcher's or empty.
            wait_for(lambda: (dialog / 'cmdline').read_bytes().startswith(b'xmessage\0'),
                     'the dialog program', timeout=30)
            self.assertEqual((dialog / 'cmdline').read_bytes().split(b'\0')[-2].decode(),
                             text('IDS_NO_MAIN_CLASS'))
            wait_for(lambda: 'Error' in subprocess.run(['xwininfo', '-root', '-tree', '-display', display],
                                                       capture_output=True, text=True).stdout,
                     'the dialog window', timeout=30)
            subprocess.run(['xwd', '-root', '-display', display, '-out', str(self.root / 'shot.xwd')],
                           check=True, timeout=60)
            picture = read_xwd(self.root / 'shot.xwd')
            write_png(picture, SCREENSHOT_DIR / 'linux-desktop-error.png')
            self.assertGreater(len(picture.colours()), 1)
            self.assertIsNone(process.poll())  # the launcher waits for the dialog
            os.kill(int(dialog.name), signal.SIGTERM)
            _, err = process.communicate(timeout=30)
        self.assertEqual((process.returncode, err.decode()), (255, text('IDS_NO_MAIN_CLASS') + '\n'))
        # Without a display, standard error is all.
        result = run_linux(exe, env={'PATH': str(tools)})
        self.assertEqual((result.code, result.stderr), (255, text('IDS_NO_MAIN_CLASS') + '\n'))

if __name__ == '__main__':
    unittest.main(verbosity=2)
