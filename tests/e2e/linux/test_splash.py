"""The splash screen on Linux: the real OpenJDK 17's libsplashscreen.so, loaded after the VM library,
shows a PNG on a private Xvfb display, and the Java application finds it as its own splash screen
(java.awt.SplashScreen); "-nosplash", no display and a runtime without the library launch without
one."""

import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zlib
from pathlib import Path

from harness import (BUILD_DIR, JDK_HOME, Xvfb, app_ini, make_app, read_lines, run_linux,
                     write_pictures)

LAUNCHER = BUILD_DIR / 'launcher'
LIBRARY = 'libsplashscreen.so'

SPLASH_INFO = r'''
import java.awt.*;

public class SplashInfo {
  public static void main(String[] args) {
    SplashScreen splash;
    try {
      splash = SplashScreen.getSplashScreen();
    } catch (HeadlessException e) {
      System.out.println("splash=headless");
      return;
    }
    if (splash == null) {
      System.out.println("splash=none");
      return;
    }
    Dimension size = splash.getSize();
    System.out.println("splash=" + size.width + "x" + size.height);
    System.out.println("url=" + splash.getImageURL());
    // The runtime closes its splash when the application shows its first window.
    Frame frame = new Frame("first window");
    frame.setSize(120, 80);
    frame.setVisible(true);
    System.out.println("after the first window: "
        + (SplashScreen.getSplashScreen() == null ? "closed" : "open"));
    frame.dispose();
  }
}
'''


@unittest.skipUnless((JDK_HOME / 'lib' / LIBRARY).exists(),
                     'the runtime has no %s (package openjdk-17-jre)' % LIBRARY)
class SplashWithRealRuntime(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix='splash-'))
        cls.classes = cls.root / 'classes'
        (cls.root / 'SplashInfo.java').write_text(SPLASH_INFO)
        subprocess.run([str(JDK_HOME / 'bin' / 'javac'), '-d', str(cls.classes),
                        str(cls.root / 'SplashInfo.java')], check=True, timeout=180)
        cls.picture = cls.root / 'splash.png'
        write_pictures((cls.picture, 'png', 150, 90,
                        [(200, 30, 30), (30, 200, 30), (30, 30, 200), (220, 220, 40)]))
        # A PNG header of 100000 by 100000 pixels (40 GB), and not one of them.
        cls.huge = cls.root / 'huge.png'
        header = struct.pack('>IIBBBBB', 100000, 100000, 8, 6, 0, 0, 0)
        cls.huge.write_bytes(b'\x89PNG\r\n\x1a\n' + struct.pack('>I', 13) + b'IHDR' + header
                             + struct.pack('>I', zlib.crc32(b'IHDR' + header)))
        # A runtime like the installed one, but without the splash library.
        cls.bare = cls.root / 'bare-runtime'
        for entry in JDK_HOME.iterdir():
            if entry.name != 'lib':
                (cls.bare / entry.name).parent.mkdir(parents=True, exist_ok=True)
                os.symlink(entry.resolve(), cls.bare / entry.name)
        (cls.bare / 'lib').mkdir()
        for entry in (JDK_HOME / 'lib').iterdir():
            if entry.name != LIBRARY:
                os.symlink(entry.resolve(), cls.bare / 'lib' / entry.name)
        cls.xvfb = Xvfb()
        cls.display = cls.xvfb.__enter__()
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.__exit__(None, None, None)
        shutil.rmtree(cls.root, ignore_errors=True)

    def launch(self, runtime=JDK_HOME, args=(), display=True, preference='No', picture=None):
        """Runs SplashInfo with the PNG splash; returns (result, its output lines, the trace)."""
        type(self).count += 1
        folder = self.root / ('app%d' % self.count)
        ini = app_ini('JRE Path=%s\n' % runtime, main='SplashInfo', classpath=self.classes,
                      sections='[Display]\nSplash Screen=%s\nPreffer Native Splash Screen=%s\n'
                      % (picture or self.picture, preference))
        exe = make_app(folder, LAUNCHER, ini)
        trace = folder / 'trace.txt'
        result = run_linux(exe, args, env={'DISPLAY': self.display if display else None,
                                           'QL_LAUNCHER_TRACE': trace}, timeout=90)
        return result, result.stdout.splitlines(), read_lines(trace)

    def test_png_is_the_applications_splash_screen(self):
        # "Preffer Native Splash Screen" does not matter: Linux has no other splash.
        result, lines, trace = self.launch()
        self.assertEqual(result.code, 0, result)
        self.assertEqual(lines, ['splash=150x90', 'url=file:%s' % self.picture,
                                 'after the first window: closed'])
        # The VM library first: the splash library's dependencies need it in the process.
        loaded = [i for i, line in enumerate(trace) if line.startswith('VM library loaded')]
        started = trace.index('splash library: started with [%s]' % self.picture)
        self.assertLess(loaded[0], started)
        self.assertIn('splash library: %s' % (JDK_HOME / 'lib' / LIBRARY), trace)
        self.assertEqual(trace.count('splash library: closed'), 1)

    def test_launches_without_a_splash(self):
        rows = [
            # (label, launch arguments, the application's answer, a trace line)
            ('-nosplash', {'args': ['-nosplash']}, 'splash=none', 'splash: suppressed by the command line'),
            ('no display', {'display': False}, 'splash=headless',
             'splash library: started with [%s]' % self.picture),
            ('no library', {'runtime': self.bare}, 'splash=none',
             'splash library: none at [%s]' % (self.bare / 'lib' / LIBRARY)),
            ('a picture that claims 100000 by 100000 pixels', {'picture': self.huge}, 'splash=none',
             'splash library: started with [%s]' % self.huge),
        ]
        for label, launch, answer, line in rows:
            with self.subTest(label):
                result, lines, trace = self.launch(**launch)
                self.assertEqual((result.code, lines), (0, [answer]), result)
                self.assertIn(line, trace)


if __name__ == '__main__':
    unittest.main()
