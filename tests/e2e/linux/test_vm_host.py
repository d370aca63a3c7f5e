"""The VM host on Linux: the real OpenJDK 17 runs sample applications inside the launcher; the VM
library test double stands in where a real VM cannot be made to fail."""

import re
import shutil
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

from harness import BUILD_DIR, app_ini, make_app, read_lines, run_linux, text, traced

JDK = Path('/usr/lib/jvm/java-17-openjdk-amd64')
LAUNCHER = BUILD_DIR / 'launcher'
DOUBLE_DIR = BUILD_DIR / 'vmdouble'

SAMPLES = r'''
package com.example;

import java.io.*;
import java.nio.charset.Charset;
import java.nio.file.*;

public class Samples {
  static String hex(String s) {
    StringBuilder b = new StringBuilder();
    for (byte x : s.getBytes(Charset.defaultCharset())) b.append(String.format("%02x", x & 0xff));
    return b.toString();
  }
  static void report(String[] args) {
    System.out.println("argc=" + args.length);
    for (int i = 0; i < args.length; i++) System.out.println("arg" + i + "=" + hex(args[i]));
    System.out.println("QL_JVM_PATH=" + System.getenv("QL_JVM_PATH"));
    System.out.println("QL_JVM_HOME=" + System.getenv("QL_JVM_HOME"));
    System.out.println("PATH=" + System.getenv("PATH"));
    System.out.println("title=" + System.getProperty("title"));
    System.out.println("log=" + System.getProperty("log"));
    System.out.println("java.library.path=" + System.getProperty("java.library.path"));
    System.out.println("maxMemory=" + Runtime.getRuntime().maxMemory());
    System.out.println("inputArguments=" + java.lang.management.ManagementFactory
        .getRuntimeMXBean().getInputArguments());
    System.out.println("thread=" + Thread.currentThread().getName());
  }
  static Thread later(long ms, Runnable r) {
    Thread t = new Thread(() -> {
      try { Thread.sleep(ms); } catch (InterruptedException e) { }
      r.run();
    });
    t.start();
    return t;
  }

  public static class Report {
    public static void main(String[] args) { report(args); }
  }
  public static class Exit7 {
    public static void main(String[] args) { System.out.println("exiting"); System.exit(7); }
  }
  public static class ExitFromThread {
    public static void main(String[] args) { later(300, () -> System.exit(7)); }
  }
  public static class Throws {
    public static void main(String[] args) {
      later(1000, () -> {
        try { Files.write(Paths.get(args[0]), "done".getBytes()); } catch (IOException e) { }
      });
      throw new IllegalStateException("boom from main");
    }
  }
  public static class Lingers {
    public static void main(String[] args) {
      later(1500, () -> System.out.println("late line"));
      System.out.println("main returns");
    }
  }
  public static class Printer {
    public static void main(String[] args) {
      System.out.println("to the output file");
      System.err.println("to the error file");
    }
  }
  public static class NoMain {
    public static void run(String[] args) { }
  }
}
'''



class VmHostWithRealJvm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix='vmhost-'))
        src = cls.root / 'src' / 'com' / 'example'
        src.mkdir(parents=True)
        (src / 'Samples.java').write_text(SAMPLES)
        cls.classes = cls.root / 'classes'
        subprocess.run([str(JDK / 'bin' / 'javac'), '-d', str(cls.classes), str(src / 'Samples.java')],
                       check=True, timeout=180)
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def app(self, main, extra='', classpath=None, jre=JDK):
        type(self).count += 1
        folder = self.root / ('app%d' % self.count)
        ini = app_ini('JRE Path=%s\n%s\n' % (jre, extra), main=main,
                      classpath=self.classes if classpath is None else classpath)
        return make_app(folder, LAUNCHER, ini)

    def run_app(self, exe, args=(), env=None, timeout=60):
        full_env = {'LC_ALL': 'C.UTF-8', 'QL_LAUNCHER_TRACE': str(exe.parent / 'trace.txt')}
        full_env.update(env or {})
        return run_linux(exe, args, env=full_env, timeout=timeout)

    def report(self, result):
        lines = {}
        for line in result.stdout.splitlines():
            key, sep, value = line.partition('=')
            if sep:
                lines[key] = value
        return lines

    def test_arguments_reach_main_byte_for_byte(self):
        exe = self.app('com.example.Samples$Report')
        rows = [
            [],
            ['plain'],
            ['', 'a b', ''],
            ['tab\there', 'quote"inside', 'back\\slash', '-nosplash'],
            ['Grüße', '日本'],
        ]
        for args in rows:
            with self.subTest(args=args):
                result = self.run_app(exe, args)
                self.assertEqual(result.code, 0, result)
                report = self.report(result)
                self.assertEqual(report['argc'], str(len(args)))
                for i, arg in enumerate(args):
                    self.assertEqual(report['arg%d' % i], arg.encode('utf-8').hex())
                self.assertEqual(report['thread'], 'main')

    def test_environment_options_and_library_path(self):
        exe = self.app('com.example.Samples$Report', extra=(
            'Virtual Machine Parameters=-Dtitle="Big App"   -Xmx0:256p -Dlog=%QLTEST_DIR%/app.log '
            '-Dnone=%QLTEST_UNSET%\n'
            'Library Path=/opt/mylibs\n'
            'System Path=/opt/sys'))
        result = self.run_app(exe, env={'PATH': '/usr/bin:/bin', 'QLTEST_DIR': '/var/qltest',
                                        'QLTEST_UNSET': None})
        self.assertEqual(result.code, 0, result)
        report = self.report(result)
        libjvm = str(JDK / 'lib' / 'server' / 'libjvm.so')
        self.assertEqual(report['QL_JVM_PATH'], libjvm)
        self.assertEqual(report['QL_JVM_HOME'], str(JDK))
        self.assertEqual(report['PATH'], '/opt/sys:/usr/bin:/bin:%s/lib' % JDK)
        self.assertEqual(report['title'], 'Big App')
        self.assertEqual(report['log'], '/var/qltest/app.log')
        self.assertEqual(report['java.library.path'],
                         '/opt/mylibs:%s/:.:/usr/bin:/bin:%s/lib' % (exe.parent, JDK))
        self.assertIn('-Xmx262144K', report['inputArguments'])
        self.assertIn('-Dnone=%QLTEST_UNSET%', report['inputArguments'])
        max_memory = int(report['maxMemory'])
        self.assertTrue(200 * 2**20 < max_memory <= 256 * 2**20, max_memory)
        trace = (exe.parent / 'trace.txt').read_text()
        options = re.findall(r'^VM option: (.*)$', trace, re.M)
        self.assertEqual(options, [
            '-Djava.library.path=/opt/mylibs:%s/:.:/usr/bin:/bin:%s/lib' % (exe.parent, JDK),
            '-Djava.class.path=%s' % self.classes,
            '-Dtitle=Big App', '-Xmx262144K', '-Dlog=/var/qltest/app.log',
            '-Dnone=%QLTEST_UNSET%'])
        self.assertIn('environment QL_JVM_PATH=%s\n' % libjvm, trace)
        self.assertIn('environment QL_JVM_HOME=%s\n' % JDK, trace)
        self.assertIn('environment PATH=/opt/sys:/usr/bin:/bin:%s/lib\n' % JDK, trace)
        # Without -Xss the VM thread gets the VM's default, 1 MiB on this platform.
        self.assertIn('VM thread stack size: 1048576\n', trace)

    def test_stack_size_option_sizes_the_vm_thread(self):
        for option, size in [('-Xss2m', 2097152), ('-Xss1536k', 1572864),
                             ('-Xss0:3p', 3145728), ('-Xss1048576', 1048576)]:
            with self.subTest(option=option):
                exe = self.app('com.example.Samples$Report',
                               extra='Virtual Machine Parameters=' + option)
                result = self.run_app(exe)
                self.assertEqual(result.code, 0, result)
                trace = (exe.parent / 'trace.txt').read_text()
                self.assertIn('VM thread stack size: %d\n' % size, trace)

    def test_exit_codes(self):
        for main, code in [('com.example.Samples$Exit7', 7), ('com.example.Samples$ExitFromThread', 7),
                           ('com.example.Samples$Report', 0)]:
            with self.subTest(main=main):
                result = self.run_app(self.app(main))
                self.assertEqual(result.code, code, result)

    def test_exception_from_main_goes_to_error_file_and_the_launch_ends_with_1(self):
        marker = self.root / 'throws-marker'
        errors = self.root / 'throws-err.txt'
        exe = self.app('com.example.Samples$Throws',
                       extra='[Application]\nError File=%s\nFailure Check=Yes' % errors)
        started = time.monotonic()
        result = self.run_app(exe, [str(marker)])
        elapsed = time.monotonic() - started
        # As java's: nobody chose to ignore it (Linux has no dialog), so a script sees a failure.
        self.assertEqual(result.code, 1, result)
        text = errors.read_text()
        self.assertIn('java.lang.IllegalStateException: boom from main', text)
        self.assertIn('at com.example.Samples$Throws.main', text)
        # The other thread finished before the process ended.
        self.assertEqual(marker.read_text(), 'done')
        self.assertGreaterEqual(elapsed, 1.0)

    def test_non_daemon_thread_keeps_the_process_alive(self):
        output = self.root / 'lingers-out.txt'
        exe = self.app('com.example.Samples$Lingers',
                       extra='[Application]\nOutput File=%s' % output)
        started = time.monotonic()
        result = self.run_app(exe)
        elapsed = time.monotonic() - started
        self.assertEqual(result.code, 0, result)
        self.assertEqual(output.read_text(), 'main returns\nlate line\n')
        self.assertGreaterEqual(elapsed, 1.5)

    def test_output_and_error_files_are_expanded_and_emptied_at_each_launch(self):
        folder = self.root / 'redirect'
        folder.mkdir()
        exe = self.app('com.example.Samples$Printer', extra=(
            '[Application]\nOutput File=%QLTEST_OUT%/out.txt\nError File=%QLTEST_OUT%/err.txt'))
        (folder / 'out.txt').write_text('old content that must go\n' * 10)
        for _ in range(2):
            result = self.run_app(exe, env={'QLTEST_OUT': str(folder)})
            self.assertEqual(result.code, 0, result)
            self.assertEqual((folder / 'out.txt').read_text(), 'to the output file\n')
            self.assertEqual((folder / 'err.txt').read_text(), 'to the error file\n')
            self.assertNotIn('to the output file', result.stdout)

    def test_unusable_output_file_leaves_the_stream_alone(self):
        exe = self.app('com.example.Samples$Printer',
                       extra='[Application]\nOutput File=/nonexistent-dir/out.txt')
        result = self.run_app(exe)
        self.assertEqual(result.code, 0, result)
        self.assertIn('FileNotFoundException', result.stderr)
        self.assertIn('to the output file', result.stdout)

    def test_unknown_vm_option_fails_vm_creation(self):
        exe = self.app('com.example.Samples$Report',
                       extra='Virtual Machine Parameters=-Xmx64m -XX:+NoSuchOptionAtAll')
        result = self.run_app(exe)
        self.assertEqual(result.code, 255, result)
        # The VM's own words come below the failure, as it printed them.
        match = re.search(r'JNI exception: failed to create the Java VM\nReason: (.*)\.\n\n'
                          r"Unrecognized VM option 'NoSuchOptionAtAll'\n", result.stderr)
        self.assertIsNotNone(match, result.stderr)
        self.assertIn(match.group(1), ['unknown', 'invalid arguments'])
        self.assertNotIn('argc=', result.stdout)

    def test_missing_main_class(self):
        result = self.run_app(self.app('com.example.Nope'))
        self.assertEqual(result.code, 255, result)
        exception = result.stderr.find('java.lang.NoClassDefFoundError: com/example/Nope')
        message = result.stderr.find('Could not find the main class com/example/Nope.\n')
        self.assertGreaterEqual(exception, 0, result.stderr)
        self.assertGreater(message, exception, result.stderr)

    def test_class_without_main(self):
        result = self.run_app(self.app('com.example.Samples$NoMain'))
        self.assertEqual(result.code, 255, result)
        self.assertIn('No main method found in specified class.\n', result.stderr)

    def test_empty_class_path_stops_before_the_vm(self):
        exe = self.app('com.example.Samples$Report', classpath='', extra='Library Path=/opt/mylibs')
        result = self.run_app(exe)
        self.assertEqual(result.code, 255, result)
        self.assertEqual(result.stderr, text('IDS_NO_CLASS_PATH') + '\n')
        trace = (exe.parent / 'trace.txt').read_text()
        self.assertNotIn('JNI_CreateJavaVM', trace)


class VmHostWithDouble(unittest.TestCase):
    """Failures a real VM cannot be made to produce, with the test double as the VM library."""

    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix='vmdouble-'))
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def runtime(self, library):
        type(self).count += 1
        home = self.root / ('rt%d' % self.count)
        (home / 'lib' / 'server').mkdir(parents=True)
        shutil.copy2(library, home / 'lib' / 'server' / 'libjvm.so')
        return home

    def launch(self, library, behaviour='', main='com.example.App', args=(), env=None, sections=''):
        home = self.runtime(library)
        exe = make_app(home.parent / ('app%d' % self.count), LAUNCHER,
                       app_ini('JRE Path=%s\n' % home, main=main, sections=sections))
        config = exe.parent / 'double.cfg'
        config.write_text(behaviour)
        log = exe.parent / 'double.log'
        env = dict(env or {}, VMDOUBLE_CONFIG=str(config), VMDOUBLE_LOG=str(log))
        result = run_linux(exe, args, env=env, timeout=60)
        return result, home, (log.read_text() if log.exists() else '')

    def test_a_trace_text_that_memory_cannot_hold_is_skipped(self):
        # Once the double has handed over the 80 MB text of the exception's trace, the process may
        # grow by 4 MB only: the launcher's copy cannot be had, and the launch goes on without it.
        trace = self.root / 'memory.trace'
        result, _, log = self.launch(DOUBLE_DIR / 'libjvm.so',
                                     'main=com/example/App\nmain-action=throw-long java/lang/Error '
                                     '41943040\nmemory-after-trace=4\n',
                                     env={'QL_LAUNCHER_TRACE': trace},
                                     sections='[Application]\nFailure Check=Yes\n')
        self.assertIn('memory limited ok', log)
        self.assertIn('DestroyJavaVM end', log)
        self.assertEqual(result.code, 1, result.stderr[:300])
        lines = read_lines(trace)
        self.assertEqual(traced(lines, 'stack trace: '), ['no memory for its 41943102 characters'])
        self.assertEqual(traced(lines, 'exception dialog: '),
                         ['none without a window system; no trace text'])

    def test_every_creation_result_has_its_reason(self):
        reasons = {-1: 'unknown', -2: 'thread detached from VM', -3: 'JNI version error',
                   -4: 'not enough memory', -5: 'VM already created', -6: 'invalid arguments',
                   -7: '', 3: ''}
        for code, reason in reasons.items():
            with self.subTest(code=code):
                result, _, log = self.launch(DOUBLE_DIR / 'libjvm.so', 'create=%d\n' % code)
                self.assertEqual(result.code, 255, result)
                self.assertEqual(result.stderr, 'JNI exception: failed to create the Java VM\n'
                                                'Reason: %s.\n' % reason)
                self.assertIn('CreateJavaVM result=%d' % code, log)
                self.assertIn('ignoreUnrecognized=0', log)
                self.assertIn('version=0x00010002', log)
                self.assertNotIn('DestroyJavaVM', log)

    def test_library_without_entry_points(self):
        result, home, _ = self.launch(DOUBLE_DIR / 'libnotvm.so')
        self.assertEqual(result.code, 255, result)
        self.assertRegex(result.stderr,
                         r'^Windows exception: cannot find CreateJavaVM JNI \(errno = \d+\)\.\n$')

    def test_library_that_does_not_load(self):
        result, home, _ = self.launch(DOUBLE_DIR / 'brokenjvm' / 'libjvm.so')
        self.assertEqual(result.code, 255, result)
        self.assertEqual(result.stderr, 'Failed to load Java VM library: %s (errno = %d).\n'
                         % (home / 'lib' / 'server' / 'libjvm.so', 8))

    def test_main_runs_and_the_vm_waits_for_its_threads(self):
        result, _, log = self.launch(DOUBLE_DIR / 'libjvm.so',
                                     'main=com/example/App\nmain-action=thread 400 print-out late\n',
                                     args=['x', ''])
        self.assertEqual(result.code, 0, result)
        self.assertEqual(result.stdout, 'late\n')
        events = log.splitlines()
        self.assertIn('main arg 0 x', events)
        self.assertIn('main arg 1 ', events)
        self.assertLess(events.index('thread end'), events.index('DestroyJavaVM end'))
        self.assertLess(events.index('DetachCurrentThread result=0'),
                        events.index('DestroyJavaVM begin'))

    def test_failed_detach_fails_the_launch(self):
        result, _, log = self.launch(DOUBLE_DIR / 'libjvm.so',
                                     'main=com/example/App\ndetach-result=-1\n')
        self.assertEqual(result.code, 255, result)
        self.assertIn('main argc 0', log)


if __name__ == '__main__':
    unittest.main()
