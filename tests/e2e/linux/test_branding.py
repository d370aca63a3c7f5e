"""The branding tool as vendors run it on Linux: what it refuses (each refusal writes nothing and
leaves an existing output as it was), the command-line errors, and that branding a branded
executable again with the same options gives the same bytes."""

import hashlib
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

from harness import linux_build, make_icon, win32_build, win64_build

TOOL = linux_build() / 'brand'
LAUNCHER = win64_build() / 'launcher.exe'


def run_tool(*args):
    done = subprocess.run([str(TOOL)] + [str(a) for a in args], capture_output=True, timeout=60)
    return done.returncode, done.stderr.decode('utf-8', 'replace')


def section_header(data, name):
    """The offset of a section's header in the table."""
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    count, optional_size = struct.unpack_from('<H', data, pe + 6)[0], struct.unpack_from('<H', data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        if data[table + 40 * i:table + 40 * i + 8].rstrip(b'\0') == name:
            return table + 40 * i
    raise AssertionError('no section %r' % name)


def directory(data, index):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    magic = struct.unpack_from('<H', data, pe + 24)[0]
    return pe + 24 + (96 if magic == 0x10B else 112) + 8 * index


def signed(data):
    data = bytearray(data)
    struct.pack_into('<II', data, directory(data, 4), len(data), 16)
    return bytes(data) + b'\0' * 16


def relocations_loaded(data):
    data = bytearray(data)
    at = section_header(data, b'.reloc') + 36
    struct.pack_into('<I', data, at, struct.unpack_from('<I', data, at)[0] & ~0x02000000)
    return bytes(data)


def looping_resources(data):
    data = bytearray(data)
    raw = struct.unpack_from('<I', data, section_header(data, b'.rsrc') + 20)[0]
    struct.pack_into('<I', data, raw + 16 + 4, 0x80000000)  # the first type points at the root
    return bytes(data)


class BrandingRefusals(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for needed in (TOOL, LAUNCHER, win32_build() / 'launcher.exe'):
            if not needed.exists():
                raise AssertionError('%s is missing: build all three trees' % needed)
        cls.temp = tempfile.TemporaryDirectory(prefix='branding-')
        cls.folder = Path(cls.temp.name)
        cls.icon = cls.folder / 'good.ico'
        make_icon(cls.icon, [(16, 4), (48, 32)])

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def test_refused_inputs_write_nothing(self):
        launcher = LAUNCHER.read_bytes()
        bitmap = self.folder / 'picture.ico'
        bitmap.write_bytes(b'BM' + b'\0' * 60)
        rows = [
            # (label, input bytes or None for a missing file, further options, the message)
            ('a text file', b'hello\n', [], 'not a Windows executable (no MZ header)'),
            ('cut short', launcher[:0x200], [], 'the headers are cut short'),
            ('cut in the sections', launcher[:0x10000], [], 'lies outside the file'),
            ('a DLL', (win64_build() / 'vmdouble' / 'jvm.dll').read_bytes(), [], 'not a program but a DLL'),
            ('signed', signed(launcher), [], 'the executable is signed (it has a certificate table): '
                                             'brand the unsigned executable, then sign the result'),
            ('an appended payload', launcher + b'\x01' * 4096, [],
             '4096 bytes follow the last section (appended data, such as an installer\'s payload, '
             'would be lost)'),
            ('a loaded section after the resources', relocations_loaded(launcher), [],
             'section .reloc follows the resources and is needed at run time, so it cannot move'),
            ('a looping resource tree', looping_resources(launcher), [], 'shared or form a loop'),
            ('a bitmap for an icon', launcher, ['--icon', bitmap], 'not an icon (.ico) file'),
            ('a missing input', None, [], 'cannot read'),
        ]
        for label, data, options, message in rows:
            with self.subTest(label):
                case = self.folder / label.replace(' ', '-')
                case.mkdir()
                source = case / 'in.exe'
                if data is not None:
                    source.write_bytes(data)
                output = case / 'MyApp.exe'
                output.write_bytes(b'the previous release')
                code, stderr = run_tool(*options, '--product-version', '1.0', source, output)
                self.assertEqual(code, 1, stderr)
                self.assertIn(message, stderr)
                if data is not None:
                    self.assertTrue(stderr.rstrip().endswith('; nothing was written'), stderr)
                self.assertEqual(output.read_bytes(), b'the previous release')
                self.assertEqual(sorted(p.name for p in case.iterdir()),
                                 sorted(['MyApp.exe'] + (['in.exe'] if data is not None else [])))

    def test_command_line_errors(self):
        rows = [
            ([], 'name the input and the output executable'),
            (['--icon'], '--icon needs a value'),
            (['--dpi-awareness', 'high', 'a.exe', 'b.exe'], '--dpi-awareness takes none|system|per-monitor-v2'),
            (['--copyright', '(c)', 'a.exe', 'b.exe'], 'version information needs --file-version or --product-version'),
        ]
        for args, message in rows:
            with self.subTest(args=args):
                code, stderr = run_tool(*args)
                self.assertEqual(code, 2)
                self.assertTrue(stderr.startswith('brand: ') and stderr.endswith('\nTry brand --help.\n'), stderr)
                self.assertIn(message, stderr)
        done = subprocess.run([str(TOOL), '--help'], capture_output=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        self.assertIn(b'--utf8-code-page', done.stdout)

    def test_branding_again_gives_the_same_bytes_and_leaves_the_input(self):
        options = ['--icon', self.icon, '--product-version', '4.2', '--product-name', 'My App',
                   '--long-path-aware', '--console']
        for launcher in (LAUNCHER, win32_build() / 'launcher.exe'):
            with self.subTest(launcher=launcher):
                before = hashlib.sha256(launcher.read_bytes()).hexdigest()
                first, second = self.folder / 'first' / 'MyApp.exe', self.folder / 'second' / 'MyApp.exe'
                for path in (first, second):
                    path.parent.mkdir(exist_ok=True)
                    path.write_bytes(b'an older build')
                # A link planted under the name of the tool's partial file leads nowhere.
                victim = self.folder / 'victim'
                victim.write_bytes(b'the user\'s own file')
                planted = first.parent / 'MyApp.exe.brand-partial'
                if planted.is_symlink():
                    planted.unlink()
                planted.symlink_to(victim)
                self.assertEqual(run_tool(*options, launcher, first), (0, ''))
                self.assertEqual(victim.read_bytes(), b'the user\'s own file')
                self.assertFalse(planted.exists() or planted.is_symlink())
                self.assertEqual(run_tool(*options, first, second), (0, ''))
                self.assertEqual(second.read_bytes(), first.read_bytes())
                self.assertEqual(hashlib.sha256(launcher.read_bytes()).hexdigest(), before)


if __name__ == '__main__':
    unittest.main(verbosity=2)
