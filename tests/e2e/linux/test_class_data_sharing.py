"""Class-data archives that the launcher keeps ("Class Data Sharing" = "auto"), with the real
runtimes: OpenJDK 17, and Temurin 25 where it is installed. The VM's own class-loading log tells
where each class came from: "shared objects file (top)" is 17's dynamic archive, "... file" 25's cache."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

from harness import (BUILD_DIR, app_ini, class_sources, make_app, other_user, read_lines, run_linux,
                     traced, wait_for)

JDK17 = Path('/usr/lib/jvm/java-17-openjdk-amd64')
TEMURIN25 = Path('/usr/lib/jvm/temurin-25-jdk-amd64')
LAUNCHER = BUILD_DIR / 'launcher'
MAIN = 'cds.Main'
PRODUCT = '[Product Information]\nProduct Name=Cds: Test*\nProduct Code={C-1}\n'

SOURCE = r'''
package cds;

public class Main {
  public static void main(String[] args) throws Exception {
    System.out.println("version=" + Helper.version());
    for (int i = 0; i + 1 < args.length; i += 2) {
      if (args[i].equals("sleep")) Thread.sleep(Long.parseLong(args[i + 1]));
      if (args[i].equals("exit")) System.exit(Integer.parseInt(args[i + 1]));
      if (args[i].equals("fill")) try (java.io.OutputStream out = new java.io.FileOutputStream(args[i + 1])) {
        for (;;) out.write(new byte[1 << 20]);
      } catch (java.io.IOException full) { }
    }
  }
}
'''
HELPER = 'package cds;\nclass Helper { static String version() { return "%s"; } }\n'


def build_jar(root, jar, version):
    """A jar of cds.Main and cds.Helper that prints version; compiled for Java 11."""
    src = root / ('src-' + version)
    (src / 'cds').mkdir(parents=True)
    (src / 'cds' / 'Main.java').write_text(SOURCE)
    (src / 'cds' / 'Helper.java').write_text(HELPER % version)
    classes = root / ('classes-' + version)
    subprocess.run([str(JDK17 / 'bin' / 'javac'), '--release', '11', '-d', str(classes),
                    str(src / 'cds' / 'Main.java'), str(src / 'cds' / 'Helper.java')],
                   check=True, timeout=180)
    with zipfile.ZipFile(jar, 'w') as archive:
        for name in ('Main.class', 'Helper.class'):
            archive.write(classes / 'cds' / name, 'cds/' + name)
    return classes


def files_of(folder, suffix):
    return sorted(p.name for p in Path(folder).glob('*' + suffix)) if Path(folder).exists() else []


class Start:
    """One launch: its result, trace lines, and where the classes came from."""

    def __init__(self, result, trace):
        self.result = result
        self.trace = trace
        self.sharing = traced(trace, 'class data sharing: ')
        self.options = traced(trace, 'VM option: ')
        self.sources = class_sources(result.stdout)

    def said(self, pattern):
        return [line for line in self.sharing if re.search(pattern, line)]


class ArchiveScenarios:
    """The scenarios, run against the runtime of each test class below."""

    RUNTIME = None
    EXT, TOP, RECORD, USE = '.jsa', 'shared objects file (top)', '-XX:ArchiveClassesAtExit=', '-XX:SharedArchiveFile='
    QUIET = ['-Xlog:cds*=off']

    @classmethod
    def setUpClass(cls):
        if not (JDK17 / 'bin' / 'javac').exists():
            raise unittest.SkipTest('OpenJDK 17 is not installed at %s: nothing compiles the '
                                    'sample application' % JDK17)
        if not (cls.RUNTIME / 'lib' / 'server' / 'libjvm.so').exists():
            raise unittest.SkipTest('no runtime at %s: its archives are not tested' % cls.RUNTIME)
        cls.root = Path(tempfile.mkdtemp(prefix='cds-'))
        cls.jar1 = cls.root / 'v1.jar'
        cls.jar2 = cls.root / 'v2.jar'
        cls.classes = build_jar(cls.root, cls.jar1, 'one')
        build_jar(cls.root, cls.jar2, 'two')
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def app(self, extra='Class Data Sharing=auto\n', classpath='app.jar', runtime=None,
            parameters='-Xlog:class+load', product=PRODUCT):
        type(self).count += 1
        folder = self.root / ('app%d' % self.count)
        folder.mkdir()
        shutil.copy2(self.jar1, folder / 'app.jar')
        ini = app_ini('JRE Path=%s\nVirtual Machine Parameters=%s\n%s'
                      % (runtime or self.RUNTIME, parameters, extra), main=MAIN,
                      classpath=classpath, sections=product)
        exe = make_app(folder, LAUNCHER, ini)
        self.cache = folder / 'cache'
        self.archives = self.cache / 'ql-launcher' / 'Cds Test' / '{C-1}'
        return exe

    def start(self, exe, args=(), env=None, code=0, left=()):
        trace = exe.parent / 'trace.txt'
        if trace.exists():
            trace.unlink()
        full_env = {'LC_ALL': 'C.UTF-8', 'QL_LAUNCHER_TRACE': trace,
                    'XDG_CACHE_HOME': self.cache, 'JAVA_TOOL_OPTIONS': None, '_JAVA_OPTIONS': None}
        full_env.update(env or {})
        result = run_linux(exe, args, env=full_env, cwd=exe.parent, timeout=180)
        self.assertEqual(result.code, code, result)
        start = Start(result, read_lines(trace))
        # The VM's archive messages never reach the application's output.
        self.assertNotRegex(result.stdout, r'\]\[cds', result.stdout[-3000:])
        self.assertEqual([n for n in files_of(self.archives, '') if n.endswith(('.tmp', '.config', '.mark'))],
                         list(left), 'a recording or a mark was left behind')
        return start

    def assertRecorded(self, start):
        self.assertEqual(len(start.said(r'^no archive for this key; the VM records into ')), 1,
                         start.sharing)
        self.assertEqual(len(start.said(r'^recorded archive .* kept ')), 1, start.sharing)
        self.assertFalse(start.said(r'^using '), start.sharing)
        self.assertNotEqual(start.sources.get(MAIN), self.TOP)
        self.assertFalse([o for o in start.options if o.startswith(self.USE)])
        archives = files_of(self.archives, self.EXT)
        self.assertEqual(len(archives), 1, archives)
        return archives[0]

    def assertUsed(self, start, archive):
        self.assertEqual(start.said(r'^using '),
                         ['using %s, recorded for this key' % (self.archives / archive)], start.sharing)
        self.assertEqual(start.sources.get(MAIN), self.TOP, start.result.stdout[-2000:])
        self.assertEqual(start.sources.get('cds.Helper'), self.TOP)
        self.assertEqual(files_of(self.archives, self.EXT), [archive])

    def test_records_then_uses_and_follows_every_change(self):
        exe = self.app()
        first = self.start(exe)
        self.assertIn('version=one', first.result.stdout)
        archive = self.assertRecorded(first)
        self.assertTrue(archive.startswith('app-') and archive.endswith(self.EXT), archive)
        # The archive options follow the class path and come before the user's own. Only the
        # user reaches the folders.
        recording = [o for o in first.options if o.startswith(self.RECORD)]
        self.assertEqual(len(recording), 1)
        self.assertEqual(first.options, ['-Djava.class.path=app.jar'] + self.QUIET + [
            '-Xlog:jni+resolve=off', recording[0], '-Xlog:class+load',
            'exit (hook that finishes the class-data archive)'])
        for folder in (self.archives, self.archives.parent, self.archives.parent.parent):
            self.assertEqual(folder.stat().st_mode & 0o777, 0o700, folder)

        self.assertUsed(self.start(exe), archive)

        jar = exe.parent / 'app.jar'
        changes = [
            ('touched', lambda: os.utime(jar, (time.time() + 10, time.time() + 10))),
            ('rebuilt, size and time kept', lambda: (shutil.copyfile(self.jar2, jar),
                                                     os.utime(jar, ns=(stamp.st_atime_ns, stamp.st_mtime_ns)))),
            ('class path changed', lambda: (shutil.copy2(self.jar1, exe.parent / 'extra.jar'),
                                            self.set_class_path(exe, 'app.jar:extra.jar'))),
        ]
        for what, change in changes:
            with self.subTest(change=what):
                stamp = jar.stat()
                change()
                fresh = self.start(exe)
                stale = archive
                archive = self.assertRecorded(fresh)
                self.assertNotEqual(archive, stale)
                self.assertEqual(fresh.said(r'^removed .*/' + re.escape(stale) + r' \('),
                                 ['removed %s (recorded for another key)' % (self.archives / stale)])
                self.assertUsed(self.start(exe), archive)
        self.assertIn('version=two', fresh.result.stdout)
        self.assertEqual(self.jar1.stat().st_size, self.jar2.stat().st_size)

    def set_class_path(self, exe, classpath):
        ini = exe.parent / 'app.ini'
        ini.write_text(re.sub(r'(?m)^Class Path=.*$', 'Class Path=' + classpath, ini.read_text()))

    def test_damaged_archives_are_never_used(self):
        # The vendor's own checksum test of the VM stays with the launcher's archive.
        exe = self.app(parameters='-XX:+VerifySharedSpaces -Xlog:class+load')
        path = self.archives / self.assertRecorded(self.start(exe))

        def damage(keep_time, offset=None, data=b'', length=None):
            stamp = path.stat()
            path.chmod(0o644)
            with open(path, 'r+b') as f:
                f.truncate(length) if length is not None else (f.seek(offset), f.write(data))
            if keep_time:
                os.utime(path, ns=(stamp.st_atime_ns, stamp.st_mtime_ns))
            return self.start(exe)

        # Overwritten or truncated (a copy cut short): the launcher sees it and records anew. A
        # truncated archive would crash JDK 17.
        for truncated in (False, True):
            half = path.stat().st_size // 2
            start = (damage(False, length=half) if truncated else
                     damage(False, offset=half, data=os.urandom(4096)))
            self.assertIn('removed %s (changed since it was recorded)' % path, start.sharing)
            path = self.archives / self.assertRecorded(start)

        # Damaged in place with size and time kept: the launcher cannot tell, the VM's test can.
        start = damage(True, offset=path.stat().st_size // 2, data=os.urandom(4096))
        self.assertEqual(start.said(r'^using '), ['using %s, recorded for this key' % path])
        self.assertTrue(start.sources[MAIN].startswith('file:'), start.sources.get(MAIN))
        self.assertIn('version=one', start.result.stdout)

        # A header the VM never finished: the launcher does not hand it over.
        start = damage(True, offset=0, data=b'\0' * 16)
        self.assertIn('removed %s (not a finished archive)' % path, start.sharing)
        self.assertRecorded(start)

    def test_only_a_run_that_succeeded_leaves_an_archive(self):
        exe = self.app()
        start = self.start(exe, ['exit', '3'], code=3)
        self.assertEqual(len(start.said(r'^no archive for this key')), 1, start.sharing)
        self.assertEqual(len(start.said(r'^.*\.tmp not kept: System\.exit\(3\)$')), 1, start.sharing)
        self.assertEqual(files_of(self.archives, self.EXT), [])
        # System.exit(0) ends the process inside the VM: the exit hook keeps the recording.
        start = self.start(exe, ['exit', '0'])
        self.assertEqual(len(start.said(r'^recorded archive .* kept \(System\.exit\(0\), ')), 1,
                         start.sharing)
        self.assertUsed(self.start(exe, ['exit', '0']), files_of(self.archives, self.EXT)[0])

        # A folder on the class path would make the VM's dump fail the start at its exit.
        exe = self.app(classpath='app.jar:' + str(self.classes))
        start = self.start(exe)
        self.assertEqual(start.said(r'^nothing recorded'),
                         ['nothing recorded, the VM cannot archive the folder %s' % self.classes])
        self.assertFalse([o for o in start.options if 'Archive' in o], start.options)

    def test_runtime_made_by_jlink_without_a_default_archive(self):
        exe = self.app(runtime=self.root / 'jlink')
        subprocess.run([str(self.RUNTIME / 'bin' / 'jlink'), '--add-modules', 'java.base', '--output',
                        str(self.root / 'jlink')], check=True, timeout=300)
        start = self.start(exe)
        if self.EXT == '.jsa':  # Java 17 builds on the default archive, which only jlink can add
            self.assertRegex(start.sharing[-1], 'has no default archive .*--generate-cds-archive')
        else:
            self.assertUsed(self.start(exe), self.assertRecorded(start))

    def background(self, exe, sleep):
        env = dict(os.environ, LC_ALL='C.UTF-8', XDG_CACHE_HOME=str(self.cache))
        env.pop('JAVA_TOOL_OPTIONS', None)
        env.pop('_JAVA_OPTIONS', None)
        return subprocess.Popen([str(exe), 'sleep', sleep], cwd=str(exe.parent), env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def test_simultaneous_first_starts_leave_one_archive(self):
        exe = self.app()
        processes = [self.background(exe, '1500') for _ in range(2)]
        for process in processes:
            out, err = process.communicate(timeout=180)
            self.assertEqual(process.returncode, 0, err)
            self.assertIn(b'version=one', out)
        archives = files_of(self.archives, self.EXT)
        self.assertEqual(len(archives), 1, archives)
        self.assertEqual(files_of(self.archives, '.tmp'), [])
        self.assertUsed(self.start(exe), archives[0])

    def test_a_start_that_dies_before_main_returns_costs_its_archive(self):
        exe = self.app()
        archive = self.assertRecorded(self.start(exe))
        first = self.background(exe, '60000')
        self.addCleanup(first.kill)
        wait_for(lambda: files_of(self.archives, '.mark'), 'the mark of a start in main')
        # A start while another one is in main keeps the archive; one after it died does not.
        self.assertUsed(self.start(exe, left=files_of(self.archives, '.mark')), archive)
        first.send_signal(signal.SIGKILL)
        first.communicate()
        start = self.start(exe)
        self.assertEqual(start.said(r'^removed '), ['removed %s (it may be damaged)' % (self.archives / archive)])
        self.assertUsed(self.start(exe), self.assertRecorded(start))

    def test_a_recording_never_changes_the_outcome(self):
        if os.geteuid() != 0:
            self.skipTest('not root: no small disk can be mounted')
        (disk := self.root / 'disk').mkdir(exist_ok=True)
        for size, args, code in [(16, [], 0), (256, ['fill', disk / 'filler'], 0), (256, ['fill', disk / 'filler', 'exit', '3'], 3)]:
            with self.subTest(size=size, args=args[2:]):
                subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=%dm' % size, 'tmpfs', str(disk)], check=True)
                self.addCleanup(subprocess.run, ['umount', '-l', str(disk)], stderr=subprocess.DEVNULL)
                (disk / 'cache').mkdir(mode=0o700)
                exe = self.app()
                self.archives = disk / 'cache' / 'ql-launcher' / 'Cds Test' / '{C-1}'
                start = self.start(exe, args, env={'XDG_CACHE_HOME': disk / 'cache'}, code=code)
                said = start.said(r'^nothing recorded|the VM could not write ')
                self.assertRegex(said[0] if said else '', r'bytes free .* a recording needs' if size < 100 else
                                 r"not write .*; the process ends with the application's own code %d$" % code)
                self.assertIn('version=one', start.result.stdout)
                self.assertEqual(files_of(self.archives, ''), [])
                subprocess.run(['umount', str(disk)], check=True)


class OpenJdk17(ArchiveScenarios, unittest.TestCase):
    RUNTIME = JDK17

    def test_off_absent_and_the_users_own_choice_pass_nothing(self):
        auto = 'Class Data Sharing=auto\n'
        cases = [
            ('absent', '', '', {}, 'off'),
            ('off', 'Class Data Sharing=off\n', '', {}, 'off'),
            ('unknown word', 'Class Data Sharing=yes\n', '', {}, 'off'),
            ('-Xshare:off', auto, '-Xshare:off', {},
             'left to the VM, whose options include -Xshare:off'),
            ('own archive', auto, '', {'JAVA_TOOL_OPTIONS': '-Dx=1 -Xshare:auto'},
             'left to the VM, whose options include -Xshare:auto (from the environment)'),
        ]
        for what, extra, parameters, env, said in cases:
            with self.subTest(case=what):
                exe = self.app(extra=extra, parameters=parameters + ' -Xlog:class+load')
                start = self.start(exe, env=env)
                self.assertEqual(start.sharing[-1:], [said])
                self.assertFalse([o for o in start.options
                                  if re.match(r'-XX:(SharedArchiveFile|ArchiveClassesAtExit)|-Xlog:cds', o)],
                                 start.options)
                self.assertFalse(self.cache.exists())
                self.assertIn('version=one', start.result.stdout)

    def test_archives_only_where_no_other_user_reaches(self):
        other = other_user()

        def theirs(folder):
            folder.mkdir(mode=0o700, exist_ok=True)
            os.chown(folder, other.pw_uid, other.pw_gid)
        cases = [  # a root start with another user's XDG_CACHE_HOME (sudo -E), a shared cache
            ('cache folder of another user', theirs, 'belongs to another user'),
            ('shared cache folder', lambda c: c.chmod(0o1777), 'may be changed by other users'),
            ('planted folder', lambda c: theirs(c / 'ql-launcher'), 'belongs to another user'),
            ('product folder a link', lambda c: (c / 'ql-launcher').mkdir(mode=0o700) or
             (c / 'ql-launcher' / 'Cds Test').symlink_to(self.root), 'is not a folder'),
        ]
        for what, plant, why in cases:
            with self.subTest(case=what):
                exe = self.app()
                self.cache.mkdir(mode=0o700)
                plant(self.cache)
                start = self.start(exe)
                self.assertRegex(start.sharing[-1], r"^none, the archive folder is not the user's own: .* " + why)
                self.assertFalse([o for o in start.options if o.startswith('-XX')], start.options)
                self.assertEqual([p for p in self.cache.rglob('*') if p.is_file()], [])

    def test_dot_names_never_lead_out_of_their_folders(self):
        exe = self.app(product='[Product Information]\nProduct Name=..\nProduct Code=../..\n')
        escaped = exe.parent / 'a' / 'app.ini'  # the per-user INI, were the dots followed
        (escaped.parent / 'b' / 'c' / 'd').mkdir(parents=True)
        escaped.write_text('[Java Runtime Environment]\nJRE Path=/nowhere\n')
        self.archives = self.cache / 'ql-launcher'
        start = self.start(exe, env={'XDG_CONFIG_HOME': escaped.parent / 'b' / 'c' / 'd'})
        self.assertIn('JRE Path read from: %s' % (exe.parent / 'app.ini'), start.trace)
        self.assertRecorded(start)

    def test_without_xdg_cache_home_the_archive_lies_in_dot_cache(self):
        exe = self.app()
        home = exe.parent / 'home'
        home.mkdir()
        self.archives = home / '.cache' / 'ql-launcher' / 'Cds Test' / '{C-1}'
        self.assertRecorded(self.start(exe, env={'XDG_CACHE_HOME': None, 'HOME': home}))
        self.assertFalse(self.cache.exists())

    def test_a_changed_runtime_gets_a_fresh_archive(self):
        # A runtime of its own whose release file the test can change, as an update in place does.
        runtime = self.root / 'runtime'
        runtime.mkdir()
        for entry in JDK17.iterdir():
            if entry.name == 'release':
                shutil.copy2(entry, runtime / 'release')
            else:
                (runtime / entry.name).symlink_to(entry)
        exe = self.app(runtime=runtime)
        archive = self.assertRecorded(self.start(exe))
        self.assertUsed(self.start(exe), archive)
        with open(runtime / 'release', 'a') as f:
            f.write('JAVA_RUNTIME_VERSION="17.0.99"\n')
        start = self.start(exe)
        fresh = self.assertRecorded(start)
        self.assertNotEqual(fresh, archive)
        self.assertIn('removed %s (recorded for another key)' % (self.archives / archive),
                      start.sharing)

    def test_each_runtime_keeps_its_own_archive(self):
        if not (TEMURIN25 / 'lib' / 'server' / 'libjvm.so').exists():
            self.skipTest('Temurin 25 is not installed at %s: no second runtime to switch to'
                          % TEMURIN25)
        exe = self.app()
        first = self.assertRecorded(self.start(exe))
        ini = exe.parent / 'app.ini'
        ini.write_text(ini.read_text().replace('JRE Path=%s' % JDK17, 'JRE Path=%s' % TEMURIN25))
        self.start(exe)
        archives = files_of(self.archives, '.jsa') + files_of(self.archives, '.aot')
        self.assertEqual(len(archives), 2, archives)
        second = [a for a in archives if a != first][0]
        for runtime, archive, top in [(JDK17, first, self.TOP), (TEMURIN25, second, Temurin25.TOP)]:
            ini.write_text(re.sub(r'(?m)^JRE Path=.*$', 'JRE Path=%s' % runtime, ini.read_text()))
            start = self.start(exe)
            self.assertEqual(start.said(r'^using '),
                             ['using %s, recorded for this key' % (self.archives / archive)])
            self.assertEqual(start.sources.get(MAIN), top)
            self.assertEqual(files_of(self.archives, '.jsa') + files_of(self.archives, '.aot'), archives)


class Temurin25(ArchiveScenarios, unittest.TestCase):
    RUNTIME = TEMURIN25
    EXT, TOP, RECORD, USE = '.aot', 'shared objects file', '-XX:AOTCacheOutput=', '-XX:AOTCache='
    QUIET = ['-Xlog:cds*=off', '-Xlog:aot*=off']


class RefusedOptions(unittest.TestCase):
    """A runtime that refuses an option, played by the VM library double: the launcher creates the
    VM again without its archive options, and only a refusal of the user's own options is shown."""

    def test_a_refused_archive_option_never_stops_the_start(self):
        root = Path(tempfile.mkdtemp(prefix='cds-refused-'))
        self.addCleanup(shutil.rmtree, root, True)
        home = root / 'rt'
        (home / 'lib' / 'server').mkdir(parents=True)
        shutil.copy2(BUILD_DIR / 'vmdouble' / 'libjvm.so', home / 'lib' / 'server' / 'libjvm.so')
        (home / 'lib' / 'server' / 'classes.jsa').write_bytes(b'base')
        (home / 'lib' / 'modules').write_bytes(b'modules')
        (home / 'release').write_text('JAVA_VERSION="17.0.2"\n')
        cases = [
            ('-XX:ArchiveClassesAtExit', '', 0, ['-Djava.class.path=app.jar']),
            ('-Dbad', '-Dbad=1', 255, ['-Djava.class.path=app.jar', '-Dbad=1']),
        ]
        for count, (refused, parameters, code, retried) in enumerate(cases):
            with self.subTest(refused=refused):
                folder = root / ('app%d' % count)
                exe = make_app(folder, LAUNCHER, app_ini(
                    'JRE Path=%s\nClass Data Sharing=auto\nVirtual Machine Parameters=%s\n'
                    % (home, parameters), main='com.example.App', classpath='app.jar'))
                (folder / 'double.cfg').write_text('main=com/example/App\nrefuse-option=%s\n' % refused)
                log = folder / 'double.log'
                result = run_linux(exe, env={'VMDOUBLE_CONFIG': folder / 'double.cfg',
                                             'VMDOUBLE_LOG': log, 'XDG_CACHE_HOME': folder / 'cache',
                                             'QL_LAUNCHER_TRACE': folder / 'trace.txt'}, cwd=folder)
                self.assertEqual(result.code, code, result)
                events = read_lines(log)
                self.assertEqual([e for e in events if e.startswith('CreateJavaVM result=')],
                                 ['CreateJavaVM result=-6', 'CreateJavaVM result=%d' % (-6 if code else 0)])
                second = events[[i for i, e in enumerate(events) if e.startswith('CreateJavaVM version')][1]:]
                self.assertEqual([e.split(' ', 2)[2] for e in second if re.match(r'option \d', e)],
                                 retried)
                self.assertIn('class data sharing: the VM refused the archive options; creating it '
                              'without them', read_lines(folder / 'trace.txt'))
                self.assertEqual(result.stderr, '' if code == 0 else
                                 'JNI exception: failed to create the Java VM\nReason: invalid arguments.\n')
                self.assertFalse([e for e in events if e.startswith('archive written')])
                self.assertEqual([p.name for p in (folder / 'cache').rglob('*') if p.is_file()], [])


if __name__ == '__main__':
    unittest.main()
