"""Java applications as vendors write them today, with the real runtimes (OpenJDK 17; Temurin 25
where it is installed): module options written as on a java command line, a class-path wildcard,
the program's folder, a main class from a named module, JavaFX applications without main, the exit
code of an uncaught exception, and the VM's own words when it cannot be created."""

import os
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, Xvfb, app_ini, make_app, read_lines, run_linux, text, traced

RUNTIMES = [Path('/usr/lib/jvm/java-17-openjdk-amd64'), Path('/usr/lib/jvm/temurin-25-jdk-amd64')]
JAVAFX = Path('/usr/share/openjfx/lib')
LAUNCHER = BUILD_DIR / 'launcher'

TOOL = r'''
package tool;
import java.io.File;
public class Main {
  public static void main(String[] args) throws Exception {
    if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("from main");
    System.out.println("app.home=" + System.getProperty("app.home"));
    System.out.println("QL_APP_HOME=" + System.getenv("QL_APP_HOME"));
    System.out.println("argument=" + new File(args[0]).getAbsolutePath());
    System.out.println("jars=" + Class.forName("tool.A").getSimpleName() + Class.forName("tool.B").getSimpleName());
    java.lang.reflect.Field value = String.class.getDeclaredField("value");
    value.setAccessible(true);  // only with --add-opens java.base/java.lang
    System.out.println("opened=" + (value.get("x") != null));
    Class<?> vm = Class.forName("jdk.internal.misc.VM");
    System.out.println("exported=" + vm.getMethod("isBooted").invoke(null));  // --add-exports
  }
}
'''

MODULE_MAIN = r'''
package demo;
public class Main {
  public static void main(String[] args) {
    System.out.println("main of " + Main.class.getModule().getName() + " " + String.join(",", args));
  }
}
'''

FX = r'''
import javafx.application.Application;
import javafx.application.Platform;
import javafx.stage.Stage;
public class Fx extends Application {
  @Override public void start(Stage stage) {
    System.out.println("fx start " + getParameters().getRaw());
    Platform.exit();
  }
}
'''


def javac(runtime, out, sources, *options):
    subprocess.run([str(runtime / 'bin' / 'javac'), '-d', str(out)] + list(options)
                   + [str(s) for s in sources], check=True, timeout=300)


def jar(runtime, archive, folder, *options):
    subprocess.run([str(runtime / 'bin' / 'jar'), '--create', '--file', str(archive)] + list(options)
                   + ['-C', str(folder), '.'], check=True, timeout=300)


class ModernApplications(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.runtimes = [r for r in RUNTIMES if (r / 'bin' / 'javac').exists()]
        cls.root = Path(tempfile.mkdtemp(prefix='modern-'))
        jdk = RUNTIMES[0]
        src = cls.root / 'src'
        for name, body in [('tool/Main.java', TOOL), ('tool/A.java', 'package tool; public class A {}'),
                           ('tool/B.java', 'package tool; public class B {}'),
                           ('demo.mod/demo/Main.java', MODULE_MAIN),
                           ('demo.mod/demo/Other.java', MODULE_MAIN.replace('class Main', 'class Other')
                            .replace('Main.class', 'Other.class').replace('"main of', '"other of')),
                           ('demo.mod/module-info.java', 'module demo.mod { }'), ('fx/Fx.java', FX)]:
            (src / name).parent.mkdir(parents=True, exist_ok=True)
            (src / name).write_text(body)
        # A command-line tool whose jars lie in lib/: the main one and two more, one with a jar
        # extension in capitals, beside a file and a folder that are no jars of the wildcard.
        classes = cls.root / 'classes'
        javac(jdk, classes, [src / 'tool' / n for n in ('Main.java', 'A.java', 'B.java')], '--release', '11')
        cls.tool = cls.root / 'tool'
        (cls.tool / 'lib' / 'sub').mkdir(parents=True)
        for archive, names in [('app.jar', ['Main']), ('extra-a.jar', ['A']), ('EXTRA-B.JAR', ['B'])]:
            part = cls.root / ('part-' + archive)
            (part / 'tool').mkdir(parents=True)
            for n in names:
                shutil.copy2(classes / 'tool' / (n + '.class'), part / 'tool')
            jar(jdk, cls.tool / 'lib' / archive, part)
        (cls.tool / 'lib' / 'notes.txt').write_text('not a jar')
        shutil.copy2(cls.tool / 'lib' / 'extra-a.jar', cls.tool / 'lib' / 'sub' / 'c.jar')
        # A modular application whose descriptor names its main class.
        modules = cls.root / 'modular' / 'mods'
        modules.mkdir(parents=True)
        javac(jdk, cls.root / 'modout', [src / 'demo.mod' / 'module-info.java',
                                         src / 'demo.mod' / 'demo' / 'Main.java',
                                         src / 'demo.mod' / 'demo' / 'Other.java'], '--release', '11')
        jar(jdk, modules / 'demo.jar', cls.root / 'modout', '--main-class', 'demo.Main')
        if JAVAFX.exists():
            javac(jdk, cls.root / 'fx', [src / 'fx' / 'Fx.java'], '--module-path', str(JAVAFX),
                  '--add-modules', 'javafx.graphics')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def launch(self, folder, ini, args=(), cwd=None, env=None):
        exe = make_app(folder, LAUNCHER, ini)
        trace = folder / 'trace.txt'
        if trace.exists():
            trace.unlink()
        result = run_linux(exe, args, env=dict(env or {}, QL_LAUNCHER_TRACE=trace), cwd=cwd,
                           timeout=180)
        return result, read_lines(trace)

    def test_a_tool_written_as_on_a_java_command_line(self):
        elsewhere = self.root / 'elsewhere'
        elsewhere.mkdir(exist_ok=True)
        parameters = ('--add-opens java.base/java.lang=ALL-UNNAMED '
                      '--add-exports java.base/jdk.internal.misc=ALL-UNNAMED -Dapp.home=%QL_APP_HOME%')
        for runtime in self.runtimes:
            with self.subTest(runtime=runtime.name):
                ini = app_ini('JRE Path=%s\nVirtual Machine Parameters=%s\n' % (runtime, parameters),
                              main='tool.Main', classpath='%QL_APP_HOME%/lib/*:%QL_APP_HOME%/missing.jar')
                result, trace = self.launch(self.tool, ini, ['data.txt'], cwd=elsewhere)
                self.assertEqual(result.code, 0, result)
                self.assertEqual(result.stdout.splitlines(), [
                    'app.home=%s' % self.tool, 'QL_APP_HOME=%s' % self.tool,
                    'argument=%s' % (elsewhere / 'data.txt'), 'jars=AB', 'opened=true',
                    'exported=true'])
                lib = self.tool / 'lib'
                self.assertIn('VM option: -Djava.class.path=%s:%s:%s:%s' % (
                    lib / 'EXTRA-B.JAR', lib / 'app.jar', lib / 'extra-a.jar', self.tool / 'missing.jar'),
                    trace)
                self.assertEqual(traced(trace, 'class path: '), [
                    '%s/* gives 3 jars' % lib, '%s does not exist' % (self.tool / 'missing.jar')])
                self.assertIn('VM option: --add-opens=java.base/java.lang=ALL-UNNAMED', trace)
                self.assertIn('VM option: --add-exports=java.base/jdk.internal.misc=ALL-UNNAMED', trace)
                # An uncaught exception fails the start as it fails java: scripts must see it.
                thrown, _ = self.launch(self.tool, ini, ['throw'], cwd=elsewhere)
                self.assertEqual(thrown.code, 1, thrown)
                self.assertIn('java.lang.IllegalStateException: from main', thrown.stderr)

    def test_main_classes_of_modules_and_javafx(self):
        folder = self.root / 'modular'
        modular = 'JRE Path=%s\nVirtual Machine Parameters=-p %%QL_APP_HOME%%/mods\n' % RUNTIMES[0]
        rows = [
            # (label, INI settings, what main prints)
            ('the descriptor names it', 'Main Module=demo.mod\n', 'main of demo.mod a,b'),
            ('named beside the module', 'Main Module=demo.mod\nMain Class=demo.Other\n',
             'other of demo.mod a,b'),
        ]
        for label, settings, printed in rows:
            with self.subTest(label):
                ini = ('[Java Runtime Environment]\n%s%s[Class Path]\nClass Path=.\n'
                       % (modular, settings))
                result, trace = self.launch(folder, ini, ['a', 'b'])
                self.assertEqual((result.code, result.stdout), (0, printed + '\n'), result)
                self.assertIn('VM option: -Djdk.module.main=demo.mod', trace)
        with self.subTest('a module that is not there'):
            ini = '[Java Runtime Environment]\n%sMain Module=nowhere\n[Class Path]\nClass Path=.\n' % modular
            result, _ = self.launch(folder, ini)
            self.assertNotEqual(result.code, 0)
            self.assertIn('FindException: Module nowhere not found', result.stdout + result.stderr)
            self.assertTrue(result.stderr.endswith('JNI exception: failed to create the Java VM\n'
                                                   'Reason: unknown.\n'), result.stderr)
        if not JAVAFX.exists():
            self.skipTest('Debian\'s openjfx is not installed (%s)' % JAVAFX)
        fx = 'JRE Path=%s\n' % RUNTIMES[0]
        with Xvfb() as display:
            for label, settings, classpath in [
                    ('JavaFX on the module path',
                     'Virtual Machine Parameters=--module-path %s --add-modules javafx.controls\n' % JAVAFX,
                     self.root / 'fx'),
                    ('JavaFX on the class path', '', '%s:%s/*' % (self.root / 'fx', JAVAFX))]:
                with self.subTest(label):
                    ini = app_ini(fx + settings, main='Fx', classpath=classpath)
                    result, trace = self.launch(self.root / 'fxapp', ini, ['x', 'y'],
                                                env={'DISPLAY': display})
                    self.assertEqual((result.code, result.stdout), (0, 'fx start [x, y]\n'), result)
                    self.assertIn('calling javafx.application.Application.launch for Fx with 2 '
                                  'arguments', trace)

    def test_the_vms_words_come_below_its_failure(self):
        ini = app_ini('JRE Path=%s\nVirtual Machine Parameters=-Xmx64m -Xbogus\n' % RUNTIMES[0],
                      main='tool.Main', classpath='lib/app.jar')
        result, trace = self.launch(self.root / 'bogus', ini)
        self.assertEqual(result.code, 255, result)
        failure = text('IDS_JNI_EXCEPTION_REASON').replace('%s', '{}', 2).format(
            text('IDS_CREATE_VM_FAILED'), text('IDS_REASON_UNKNOWN'))
        self.assertEqual(result.stderr, 'Unrecognized option: -Xbogus\n' + failure
                         + '\nUnrecognized option: -Xbogus\n')


if __name__ == '__main__':
    unittest.main()
