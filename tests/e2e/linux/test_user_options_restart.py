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
LAUNCHER = BUILD_DIR / 'launcher'

# Appends one line per run to <r.dir>/log; the first r.until runs end with the restart code, by
# System.exit(3) or, with r.how=throw, by an uncaught exception (exit code 1).
RESTARTER = r'''
import java.nio.file.*;
public class Restarter {
  public static void main(String[] args) throws Exception {
    Path dir = Paths.get(System.getProperty("r.dir"));
    Path counter = dir.resolve("count");
    int run = Files.exists(counter) ? Integer.parseInt(new String(Files.readAllBytes(counter)).trim()) + 1 : 1;
    Files.write(counter, String.valueOf(run).getBytes());
    String line = "run=" + run + " args=" + String.join("|", args) + " cwd=" + Paths.get("").toAbsolutePath()
        + " max=" + (Runtime.getRuntime().maxMemory() >> 20) + " p=" + System.getProperty("p")
        + " u=" + System.getProperty("u") + " ini=" + System.getenv("QL_USER_INI") + "\n";
    Files.write(dir.resolve("log"), line.getBytes(), StandardOpenOption.CREATE, StandardOpenOption.APPEND);
    if (run <= Integer.getInteger("r.until", 1)) {
      if ("throw".equals(System.getProperty("r.how"))) throw new IllegalStateException("restart me");
      System.exit(3);
    }
    Path stop = dir.resolve("stop");
    while (Boolean.getBoolean("r.wait") && !Files.exists(stop)) Thread.sleep(20);
  }
  public static void secondaryMain(String[] args) throws Exception {
    Path dir = Paths.get(System.getProperty("r.dir"));
    Files.write(dir.resolve("secondary"), String.join("|", args).getBytes());
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
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def app(self, program_options, user_options=None, application=''):
        """An application whose program INI and (unless None) per-user INI give those VM
        parameters; returns (exe, its folder, the environment, the per-user INI)."""
        type(self).count += 1
        folder = self.root / ('app%d' % self.count)
        folder.mkdir()
        ini = ('[Application]\n%s[Product Information]\nProduct Name=Restarts\nProduct Code=%d\n'
               '[Java Runtime Environment]\nMain Class=Restarter\nJRE Path=%s\n'
               'Virtual Machine Parameters=-Dr.dir=%s %s\n[Class Path]\nClass Path=%s\n'
               % (application, self.count, JDK, folder, program_options, self.root / 'classes'))
        exe = make_app(folder, LAUNCHER, ini)
        config = folder / 'config'
        user_ini = config / 'Restarts' / str(self.count) / 'app.ini'
        if user_options is not None:
            user_ini.parent.mkdir(parents=True)
            user_ini.write_text('[Java Runtime Environment]\nVirtual Machine Parameters=%s\n'
                                % user_options)
        env = {'XDG_CONFIG_HOME': config, 'QL_LAUNCHER_TRACE': folder / 'trace.txt',
               'QL_LAUNCHER_RESTARTS': None}
        return exe, folder, env, user_ini

    @staticmethod
    def ended(folder, count):
        """Waits until count launchers of the folder have ended with 0."""
        wait_for(lambda: traced(read_lines(folder / 'trace.txt'), 'exit code: ').count('0') >= count,
                 '%d launchers to end' % count, timeout=120)

    def test_the_users_options_win_and_a_restart_keeps_arguments_and_folder(self):
        exe, folder, env, user_ini = self.app('-Xmx64m -Dp=program -Du=program -Dr.until=1',
                                              '-Xmx256m -Du=user',
                                              application='Restart Exit Code=3\n')
        elsewhere = self.root / 'elsewhere'
        elsewhere.mkdir(exist_ok=True)
        first = run_linux(exe, ['a', 'b c'], env=env, cwd=elsewhere)
        self.assertEqual(first.code, 0, first)  # System.exit(3) asked for the restart
        line = 'args=a|b c cwd=%s max=%%d p=program u=user ini=%s' % (elsewhere, user_ini)
        self.ended(folder, 2)
        logged = read_lines(folder / 'log')
        self.assertEqual(len(logged), 2)
        for run, text in enumerate(logged, 1):
            self.assertRegex(text, r'^run=%d %s$' % (run, line.replace('|', r'\|').replace('%d', r'2\d\d')))
        trace = read_lines(folder / 'trace.txt')
        self.assertIn('VM parameters of %s: 2 options' % user_ini, trace)
        self.assertEqual(len([t for t in traced(trace, 'restart: ') if 'started again' in t]), 1)

    def test_a_restart_loop_stops_and_a_service_reads_no_user_options(self):
        # main ends with an uncaught exception every time: exit code 1 asks for a restart, three
        # times within the minute, then the code stays.
        exe, folder, env, _ = self.app('-Dr.until=99 -Dr.how=throw', '-Du=user',
                                       application='Restart Exit Code=1\nApplication Type=service\n')
        self.assertEqual(run_linux(exe, env=env).code, 0)
        wait_for(lambda: any('returned as it is' in t
                             for t in traced(read_lines(folder / 'trace.txt'), 'restart: ')),
                 'the last run', timeout=120)
        restarts = traced(read_lines(folder / 'trace.txt'), 'restart: ')
        self.assertEqual(restarts[:3], ['exit code 1 asks for it; the program is started again '
                                        '(restart %d in the last minute)' % n for n in (1, 2, 3)])
        self.assertEqual(restarts[3], '3 restarts within 60 s already; exit code 1 returned as it is')
        logged = read_lines(folder / 'log')
        self.assertEqual(len(logged), 4)
        self.assertTrue(all(' u=null ini=null' in line for line in logged), logged)

    def test_a_restarted_single_instance_is_the_first_instance(self):
        exe, folder, env, _ = self.app('-Dr.until=1 -Dr.wait=true',
                                       application='Restart Exit Code=3\nSingle Instance=yes\n')
        # The restarted process keeps standard output and error, so the first is waited for alone.
        full_env = dict(os.environ, **{k: str(v) for k, v in env.items() if v is not None})
        full_env.pop('QL_LAUNCHER_RESTARTS', None)
        first = subprocess.run([str(exe), 'one'], env=full_env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        self.assertEqual(first.returncode, 0)
        wait_for(lambda: len(read_lines(folder / 'log')) == 2, 'the restarted run', timeout=120)
        # The new process holds the block: a later start hands its arguments over.
        second = run_linux(exe, ['two'], env=env)
        self.assertEqual(second.code, 0, second)
        wait_for(lambda: (folder / 'secondary').exists(), 'secondaryMain')
        self.assertEqual((folder / 'secondary').read_text(), 'two')
        (folder / 'stop').write_text('')
        self.ended(folder, 3)


if __name__ == '__main__':
    unittest.main()
