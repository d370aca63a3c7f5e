"""Java applications as vendors write them today, with the real runtimes (OpenJDK 17; Temurin 25
where it is installed): module options written as on a java command line, a class-path wildcard,
the program's folder, a main class from a named module, JavaFX applications without main, and the
exit code of an uncaught exception."""

import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import BUILD_DIR, Xvfb, app_ini, make_app, read_lines, run_linux, traced

RUNTIMES = [Path('/usr/lib/jvm/java-17-openjdk-amd64'), Path('/usr/lib/jvm/temurin-25-jdk-amd64')]
JAVAFX = Path('/usr/share/openjfx/lib')
LAUNCHER = BUILD_DIR / 'launcher'

SOURCES = {
    'tool/Main.java': r'''package tool;
public class Main {
  public static void main(String[] args) throws Exception {
    if (args[0].equals("throw")) throw new IllegalStateException("from main");
    java.lang.reflect.Field value = String.class.getDeclaredField("value");
    value.setAccessible(true);  // only with --add-opens java.base/java.lang
    Object booted = Class.forName("jdk.internal.misc.VM").getMethod("isBooted").invoke(null);
    System.out.println(System.getProperty("app.home") + " " + System.getenv("QL_APP_HOME") + " "
        + new java.io.File(args[0]).getAbsolutePath() + " " + Class.forName("tool.A").getSimpleName()
        + Class.forName("tool.B").getSimpleName() + " " + booted);  // booted: --add-exports
  }
}''',
    'tool/A.java': 'package tool; public class A {}',
    'tool/B.java': 'package tool; public class B {}',
    'demo/demo/Main.java': r'''package demo;
public class Main {
  public static void main(String[] a) { System.out.println("main of " + Main.class.getModule().getName()); }
}''',
    'demo/demo/Other.java': r'''package demo;
public class Other { public static void main(String[] a) { System.out.println("other " + a.length); } }''',
    'demo/module-info.java': 'module demo.mod { }',
    'fx/Fx.java': r'''public class Fx extends javafx.application.Application {
  @Override public void start(javafx.stage.Stage stage) {
    System.out.println("fx start " + getParameters().getRaw());
    javafx.application.Platform.exit();
  }
}''',
}


def tool(runtime, folder, *args):
    """javac, jar: run from the runtime's bin folder."""
    subprocess.run([str(runtime / 'bin' / args[0])] + [str(a) for a in args[1:]], check=True,
                   timeout=300, cwd=folder)


class ModernApplications(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.runtimes = [r for r in RUNTIMES if (r / 'bin' / 'javac').exists()]
        cls.root = root = Path(tempfile.mkdtemp(prefix='modern-'))
        jdk = RUNTIMES[0]
        for name, body in SOURCES.items():
            (root / 'src' / name).parent.mkdir(parents=True, exist_ok=True)
            (root / 'src' / name).write_text(body)
        # A tool whose jars lie in lib/ (one with its extension in capitals), beside a file and a
        # folder that the wildcard leaves out.
        tool(jdk, root, 'javac', '--release', '11', '-d', 'tool-classes', *sorted((root / 'src/tool').glob('*')))
        lib = root / 'tool' / 'lib'
        (lib / 'sub').mkdir(parents=True)
        for archive, name in [('app.jar', 'Main'), ('extra-a.jar', 'A'), ('EXTRA-B.JAR', 'B')]:
            tool(jdk, root / 'tool-classes', 'jar', 'cf', lib / archive, 'tool/%s.class' % name)
        (lib / 'notes.txt').write_text('not a jar')
        shutil.copy2(lib / 'extra-a.jar', lib / 'sub' / 'c.jar')
        # A module whose descriptor names its main class.
        tool(jdk, root, 'javac', '--release', '11', '-d', 'mod-classes',
             *sorted((root / 'src/demo').rglob('*.java')))
        (root / 'modular' / 'mods').mkdir(parents=True)
        tool(jdk, root, 'jar', '--create', '--file', 'modular/mods/demo.jar', '--main-class',
             'demo.Main', '-C', 'mod-classes', '.')
        if JAVAFX.exists():
            tool(jdk, root, 'javac', '--module-path', JAVAFX, '--add-modules', 'javafx.graphics',
                 '-d', 'fx', root / 'src/fx/Fx.java')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def launch(self, folder, ini, args=(), cwd=None, env=None):
        exe = make_app(folder, LAUNCHER, ini)
        trace = folder / 'trace.txt'
        trace.unlink(missing_ok=True)
        result = run_linux(exe, args, env=dict(env or {}, QL_LAUNCHER_TRACE=trace), cwd=cwd,
                           timeout=180)
        return result, read_lines(trace)

    def test_a_tool_written_as_on_a_java_command_line(self):
        app, lib, elsewhere = self.root / 'tool', self.root / 'tool' / 'lib', self.root
        parameters = ('--add-opens java.base/java.lang=ALL-UNNAMED '
                      '--add-exports java.base/jdk.internal.misc=ALL-UNNAMED -Dapp.home=%QL_APP_HOME%')
        for runtime in self.runtimes:
            with self.subTest(runtime=runtime.name):
                ini = app_ini('JRE Path=%s\nVirtual Machine Parameters=%s\n' % (runtime, parameters),
                              main='tool.Main', classpath='%QL_APP_HOME%/lib/*:%QL_APP_HOME%/missing.jar')
                result, trace = self.launch(app, ini, ['data.txt'], cwd=elsewhere)
                self.assertEqual((result.code, result.stdout), (0, '%s %s %s AB true\n' % (
                    app, app, elsewhere / 'data.txt')), result)
                self.assertIn('VM option: -Djava.class.path=%s:%s:%s:%s' % (
                    lib / 'EXTRA-B.JAR', lib / 'app.jar', lib / 'extra-a.jar', app / 'missing.jar'), trace)
                self.assertEqual(traced(trace, 'class path: '), [
                    '%s/* gives 3 jars' % lib, '%s does not exist' % (app / 'missing.jar')])
                self.assertIn('VM option: --add-opens=java.base/java.lang=ALL-UNNAMED', trace)
                # An uncaught exception fails the start as it fails java: scripts must see it.
                self.assertEqual(self.launch(app, ini, ['throw'])[0].code, 1)

    def test_main_classes_of_modules_and_javafx(self):
        modular = ('[Java Runtime Environment]\nJRE Path=%s\nVirtual Machine Parameters=-p '
                   '%%QL_APP_HOME%%/mods\n{}[Class Path]\nClass Path=.\n' % RUNTIMES[0])
        rows = [
            # (label, settings, exit code, what the start prints)
            ('the descriptor names the class', 'Main Module=demo.mod\n', 0, 'main of demo.mod\n'),
            ('the class named beside it', 'Main Module=demo.mod\nMain Class=demo.Other\n', 0, 'other 2\n'),
            ('a module that is not there', 'Main Module=nowhere\n', 1,
             'Error occurred during initialization of boot layer\n'
             'java.lang.module.FindException: Module nowhere not found\n'),
        ]
        for label, settings, code, printed in rows:
            with self.subTest(label):
                result, _ = self.launch(self.root / 'modular', modular.format(settings), ['a', 'b'])
                self.assertEqual((result.code, result.stdout), (code, printed), result)
        self.assertTrue(result.stderr.endswith('JNI exception: failed to create the Java VM\n'
                                               'Reason: unknown.\n'), result.stderr)
        if not JAVAFX.exists():
            self.skipTest('Debian\'s openjfx is not installed (%s)' % JAVAFX)
        with Xvfb() as display:
            for label, settings, classpath in [
                    ('JavaFX on the module path', 'Virtual Machine Parameters=--module-path %s '
                     '--add-modules javafx.controls\n' % JAVAFX, self.root / 'fx'),
                    ('JavaFX on the class path', '', '%s:%s/*' % (self.root / 'fx', JAVAFX))]:
                with self.subTest(label):
                    result, trace = self.launch(self.root / 'fxapp', app_ini(
                        'JRE Path=%s\n%s' % (RUNTIMES[0], settings), main='Fx', classpath=classpath),
                        ['x', 'y'], env={'DISPLAY': display})
                    self.assertEqual((result.code, result.stdout), (0, 'fx start [x, y]\n'), result)
                    self.assertIn('calling javafx.application.Application.launch for Fx with 2 '
                                  'arguments', trace)


if __name__ == '__main__':
    unittest.main()
