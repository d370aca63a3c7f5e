"""Per-user VM options and the restart an application asks for, with the real JVM: the user's
"Virtual Machine Parameters" come after the program's and win, a service ignores them, and an
application that ends with its "Restart Exit Code" is started again as the user started it, also
as a single instance, but not for ever."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, make_app, read_lines, run_linux, traced, wait_for

JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')

# Appends a line per run to <r.dir>/log; runs up to r.until end with the restart code (System.exit(3),
# or 1 through an uncaught exception with r.how=throw); with r.wait, the last waits for <r.dir>/stop.
RESTARTER = r'''
import java.nio.file.*;
public class Restarter {
  public static void main(String[] args) throws Exception {
    Path dir = Paths.get(System.getProperty("r.dir"));
    long run = Files.exists(dir.resolve("log")) ? Files.readAllLines(dir.resolve("log")).size() + 1 : 1;
    Files.write(dir.resolve("log"), ("run=" + run + " " + String.join("|", args) + " " + Paths.get("")
        .toAbsolutePath() + " " + (Runtime.getRuntime().maxMemory() >> 20) + " " + System.getProperty("p")
        + " " + System.getProperty("u") + " " + System.getenv("QL_USER_INI") + "\n").getBytes(),
        StandardOpenOption.CREATE, StandardOpenOption.APPEND);
    if (run <= Integer.getInteger("r.until", 1)) {
      if ("throw".equals(System.getProperty("r.how"))) throw new IllegalStateException("restart me");
      System.exit(3);
    }
    while (Boolean.getBoolean("r.wait") && !Files.exists(dir.resolve("stop"))) Thread.sleep(20);
  }
  public static void secondaryMain(String[] args) throws Exception {
    Files.write(Paths.get(System.getProperty("r.dir"), "secondary"), String.join("|", args).getBytes());
  }
}
'''


class UserOptionsAndRestart(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix='restart-'))
        (cls.root / 'Restarter.java').write_text(RESTARTER)
        subprocess.run([str(JDK / 'bin' / 'javac'), '-d', str(cls.root / 'classes'),
                        str(cls.root / 'Restarter.java')], check=True, timeout=180)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def app(self, name, program_options, user_options, application):
        """The application and, with user_options, its per-user INI; (exe, folder, env, user INI)."""
        folder = self.root / name
        exe = make_app(folder, BUILD_DIR / 'launcher', (
            '[Application]\n%s[Product Information]\nProduct Name=Restarts\nProduct Code=%s\n'
            '[Java Runtime Environment]\nMain Class=Restarter\nJRE Path=%s\nVirtual Machine '
            'Parameters=-Dr.dir=%s %s\n[Class Path]\nClass Path=%s\n'
            % (application, name, JDK, folder, program_options, self.root / 'classes')))
        user_ini = folder / 'config' / 'Restarts' / name / 'app.ini'
        user_ini.parent.mkdir(parents=True)
        user_ini.write_text('[Java Runtime Environment]\nVirtual Machine Parameters=%s\n' % user_options)
        env = {'XDG_CONFIG_HOME': folder / 'config', 'QL_LAUNCHER_TRACE': folder / 'trace.txt',
               'QL_LAUNCHER_RESTARTS': None}
        return exe, folder, env, user_ini

    @staticmethod
    def ended(folder, count):
        """Waits until count launchers of the folder have ended with 0; the trace's lines."""
        wait_for(lambda: traced(read_lines(folder / 'trace.txt'), 'exit code: ').count('0') >= count,
                 '%d launchers to end' % count, timeout=120)
        return read_lines(folder / 'trace.txt')

    def test_a_restart_loop_stops_and_a_service_reads_no_user_options(self):
        # main ends with an uncaught exception every time: exit code 1 asks for a restart, three
        # times within the minute, then the code stays.
        exe, folder, env, _ = self.app('loop', '-Dr.until=99 -Dr.how=throw', '-Du=user',
                                       'Restart Exit Code=1\nApplication Type=service\n')
        self.assertEqual(run_linux(exe, env=env).code, 0)
        wait_for(lambda: len(traced(read_lines(folder / 'trace.txt'), 'restart: ')) == 4,
                 'the fourth run', timeout=120)
        self.assertEqual(traced(read_lines(folder / 'trace.txt'), 'restart: '), [
            'exit code 1 asks for it; the program is started again (restart %d in the last minute)'
            % n for n in (1, 2, 3)] + ['3 restarts within 60 s already; exit code 1 returned as it is'])
        self.assertEqual([line.split(' ', 4)[4] for line in read_lines(folder / 'log')],
                         ['null null null'] * 4)

    def test_a_restart_keeps_arguments_folder_and_the_users_options_and_is_the_first_instance(self):
        exe, folder, env, user_ini = self.app('single', '-Xmx64m -Dp=program -Du=program -Dr.wait=true',
                                              '-Xmx256m -Du=user', 'Restart Exit Code=3\nSingle Instance=yes\n')
        # The restarted process keeps standard output and error: the first is waited for alone.
        first = subprocess.run([str(exe), 'a', 'b c'], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=120, cwd=self.root, env=dict(
                                   os.environ, **{k: str(v) for k, v in env.items() if v is not None}))
        self.assertEqual(first.returncode, 0)  # System.exit(3) asked for the restart
        wait_for(lambda: len(read_lines(folder / 'log')) == 2, 'the restarted run', timeout=120)
        self.assertEqual([line.split(' ', 1)[1] for line in read_lines(folder / 'log')],
                         ['a|b c %s 256 program user %s' % (self.root, user_ini)] * 2)
        # The new process holds the block: a later start hands its arguments over.
        self.assertEqual(run_linux(exe, ['two'], env=env).code, 0)
        wait_for(lambda: read_lines(folder / 'secondary') == ['two'], 'secondaryMain')
        (folder / 'stop').write_text('')
        trace = self.ended(folder, 3)
        self.assertIn('VM parameters of %s: 2 options' % user_ini, trace)
        self.assertEqual(len([t for t in traced(trace, 'restart: ') if 'started again' in t]), 1)

if __name__ == '__main__':
    unittest.main()
