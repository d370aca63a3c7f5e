"""Branded executables. The Linux-built tool gives launcher.exe of both word sizes a multi-image
icon, version information and every manifest switch; Windows (wine64) reads the resources back
through its own API and runs the 64-bit results end to end with the VM double; the PE structure
of each result is inspected; the console variant writes to the console it was started from; names
outside the ANSI code page work with the UTF-8 code page as far as Wine honours it; and the
Windows-built tool gives the very same bytes."""

import json
import re
import shutil
import struct
import subprocess
import unittest

from harness import Wine, linux_build, make_app, make_icon, win32_build, win64_build
from test_pe_inspect import RT_GROUP_ICON, RT_ICON, RT_MANIFEST, RT_STRING, PeFile

RT_VERSION = 16
TOOL = linux_build() / 'brand'
CHECKER = win64_build() / 'brandcheck.exe'
DOUBLE = win64_build() / 'vmdouble' / 'jvm.dll'
LAUNCHERS = {'x86_64': win64_build() / 'launcher.exe', 'i686': win32_build() / 'launcher.exe'}
ICON_IMAGES = [(16, 4), (32, 8), (48, 32), (256, 'png')]
COMMON_CONTROLS_6 = 'common-controls_6595b64144ccf1df_6.0.'
NO_SETTINGS = {'dpiAware': None, 'dpiAwareness': None, 'longPathAware': None, 'activeCodePage': None}

# Together the variants give every switch and every value of each switch.
VARIANTS = {
    'Acme': {
        'options': ['--icon', '{icon}', '--file-version', '2.5.1.7', '--product-version', '2.5',
                    '--product-name', 'Acme Viewer', '--company', 'Acme Ltd',
                    '--copyright', '\u00a9 2024 Acme Ltd', '--dpi-awareness', 'system',
                    '--execution-level', 'highestAvailable'],
        'numbers': ['2.5.1.7', '2.5.0.0'],
        'strings': {'CompanyName': 'Acme Ltd', 'FileDescription': 'Acme Viewer',
                    'FileVersion': '2.5.1.7', 'InternalName': 'Acme',
                    'LegalCopyright': '\u00a9 2024 Acme Ltd', 'OriginalFilename': 'Acme.exe',
                    'ProductName': 'Acme Viewer', 'ProductVersion': '2.5'},
        'settings': dict(NO_SETTINGS, dpiAware='true'),
        'level': 'highestAvailable', 'subsystem': 2},
    'Wide': {
        'options': ['--dpi-awareness', 'per-monitor-v2', '--long-path-aware', '--utf8-code-page',
                    '--execution-level', 'requireAdministrator'],
        'numbers': None, 'strings': None,
        'settings': {'dpiAware': 'true/pm', 'dpiAwareness': 'PerMonitorV2, PerMonitor',
                     'longPathAware': 'true', 'activeCodePage': 'UTF-8'},
        'level': 'requireAdministrator', 'subsystem': 2},
    'Term': {
        'options': ['--dpi-awareness', 'none', '--console', '--file-version', '1.0',
                    '--description', 'Terminal tool'],
        'numbers': ['1.0.0.0', '1.0.0.0'],
        'strings': {'FileDescription': 'Terminal tool', 'FileVersion': '1.0', 'InternalName': 'Term',
                    'OriginalFilename': 'Term.exe', 'ProductVersion': '1.0'},
        'settings': NO_SETTINGS, 'level': 'asInvoker', 'subsystem': 3},
}

INI = '''[Java Runtime Environment]
JRE Path={jre}
Main Class={main}
Virtual Machine Parameters={parameters}
[Class Path]
Class Path=lib\\app.jar
'''


def pe_checksum(data, field):
    """The optional header's checksum, computed here independently of the tool."""
    total = sum(word for (word,) in struct.iter_unpack('<H', data + b'\0' * (len(data) % 2)))
    total -= sum(struct.unpack_from('<HH', data, field))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def unescape(line):
    """A line of the VM double's log (bytes as Latin-1) with its \\xNN escapes undone, the bytes
    read as UTF-8."""
    raw = re.sub(r'\\x([0-9a-f]{2})', lambda m: chr(int(m.group(1), 16)), line)
    return raw.encode('latin-1').decode('utf-8', 'replace')


class Branding(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for needed in [TOOL, CHECKER, DOUBLE] + list(LAUNCHERS.values()):
            if not needed.exists():
                raise AssertionError('%s is missing: build all three trees' % needed)
        cls.wine = Wine('branding').__enter__()
        # Wine converts arguments and paths between Unix and Windows with the locale's character
        # set: names beyond ASCII arrive only when that is UTF-8.
        cls.wine.env['LC_ALL'] = 'C.UTF-8'
        cls.folder = cls.wine.workdir / 'branded'
        cls.icon = cls.folder / 'acme.ico'
        cls.folder.mkdir()
        cls.icon_images = make_icon(cls.icon, ICON_IMAGES)
        cls.exes = {}
        for arch, launcher in LAUNCHERS.items():
            (cls.folder / arch).mkdir()
            for name, variant in VARIANTS.items():
                exe = cls.exes[arch, name] = cls.folder / arch / (name + '.exe')
                done = subprocess.run([str(TOOL)] + [o.format(icon=cls.icon) for o in variant['options']]
                                      + [str(launcher), str(exe)], capture_output=True, timeout=60)
                if done.returncode != 0:
                    raise AssertionError('brand failed: %s' % done.stderr.decode('utf-8', 'replace'))
        cls.runtime = cls.wine.workdir / 'rt'
        (cls.runtime / 'bin' / 'client').mkdir(parents=True)
        shutil.copy2(DOUBLE, cls.runtime / 'bin' / 'client' / 'jvm.dll')
        cls.count = 0

    @classmethod
    def tearDownClass(cls):
        cls.wine.__exit__(None, None, None)

    def each(self):
        return [(arch, name, exe, VARIANTS[name]) for (arch, name), exe in sorted(self.exes.items())]

    def app(self, folder, name, ini, double='main=com/example/App\n'):
        """The branded x86_64 exe of a variant in folder with its INI (text or bytes) and the
        double's behaviour; returns the exe and the environment that points the double there."""
        exe = make_app(folder, self.exes['x86_64', name], ini, name)
        (folder / 'double.cfg').write_bytes(double.encode('utf-8'))
        return exe, {'VMDOUBLE_CONFIG': self.wine.winpath(folder / 'double.cfg'),
                     'VMDOUBLE_LOG': self.wine.winpath(folder / 'double.log')}

    def ini(self, jre=None, main='com.example.App', parameters=''):
        return INI.format(jre=self.wine.winpath(jre or self.runtime), main=main, parameters=parameters)

    @staticmethod
    def log(folder):
        path = folder / 'double.log'
        return [unescape(line) for line in path.read_bytes().decode('latin-1').splitlines()] if path.exists() else []

    # -- what Windows reads back --------------------------------------------------------------

    def test_resources_read_back_through_windows(self):
        for arch, name, exe, variant in self.each():
            with self.subTest(arch=arch, variant=name):
                result = self.wine.run(CHECKER, args=[self.wine.winpath(exe)], boxes=False)
                self.assertEqual(result.code, 0, result)
                seen = json.loads(result.stdout)
                self.check_version(seen['version'], variant)
                activation = seen['activation']
                self.assertIsNotNone(activation, 'Windows made no activation context of the manifest')
                self.assertIn(COMMON_CONTROLS_6, activation.pop('comctl32'))
                self.assertEqual(activation, variant['settings'])
                self.assertIn('<requestedExecutionLevel level="%s" uiAccess="false"/>' % variant['level'],
                              bytes.fromhex(seen['manifest']).decode('utf-8'))
                self.check_icons(seen, arch, '--icon' in variant['options'])

    def check_version(self, version, variant):
        if variant['strings'] is None:
            self.assertIsNone(version)
            return
        self.assertEqual(version['strings'], variant['strings'])
        self.assertEqual(version['translations'], ['040904b0'])
        self.assertEqual([version['file_version'], version['product_version']], variant['numbers'])
        self.assertEqual((version['signature'], version['os'], version['type']), (0xFEEF04BD, 0x40004, 1))

    def check_icons(self, seen, arch, replaced):
        images = {int(k): bytes.fromhex(v['data']) for k, v in seen['icons'].items()}
        self.assertTrue(all(v['decoded'] for v in seen['icons'].values()), 'Windows cannot draw an image')
        group = bytes.fromhex(seen['icon_group'])
        if not replaced:
            original = PeFile(LAUNCHERS[arch]).resources()
            self.assertEqual(group, original[(RT_GROUP_ICON, 128, 0x409)])
            self.assertEqual(sorted(images.values()),
                             sorted(v for (kind, _n, _l), v in original.items() if kind == RT_ICON))
            return
        entries = [struct.unpack_from('<BBBBHHIH', group, 6 + 14 * i)
                   for i in range(struct.unpack_from('<H', group, 4)[0])]
        self.assertEqual([images[entry[7]] for entry in entries], self.icon_images)
        self.assertEqual([(entry[0] or 256, entry[5], entry[6]) for entry in entries],
                         [(size, 32 if bits == 'png' else bits, len(data))
                          for (size, bits), data in zip(ICON_IMAGES, self.icon_images)])
        # Windows picks the image of each size it is asked for.
        self.assertEqual({side: self.icon_images.index(images[id_]) for side, id_ in seen['picked'].items()},
                         {'16': 0, '32': 1, '48': 2, '256': 3})

    def test_pe_structure_and_every_other_byte(self):
        for arch, name, exe, variant in self.each():
            with self.subTest(arch=arch, variant=name):
                before, after = PeFile(LAUNCHERS[arch]), PeFile(exe)
                self.check_layout(before, after, variant['subsystem'])
                # Every section but the resources keeps its bytes; the relocations and what
                # follows them may only move.
                for old, new in zip(before.sections, after.sections):
                    if old[0] != '.rsrc':
                        self.assertEqual(after.data[new[3]:new[3] + new[4]],
                                         before.data[old[3]:old[3] + old[4]], old[0])
                relocations = [{s[0]: s[1] for s in image.sections}['.reloc'] for image in (before, after)]
                changed = [d for d in range(len(after.directories))
                           if after.directories[d] != before.directories[d]]
                self.assertEqual(changed, [2, 5] if relocations[0] != relocations[1] else [2])
                # Among the resources, only what was asked for differs.
                replaced = {RT_MANIFEST} | ({RT_VERSION} if variant['strings'] else set()) | (
                    {RT_ICON, RT_GROUP_ICON} if '--icon' in variant['options'] else set())
                kept = {k: v for k, v in before.resources().items() if k[0] not in replaced}
                self.assertEqual({k: v for k, v in after.resources().items() if k[0] not in replaced}, kept)
                self.assertTrue(any(k[0] == RT_STRING for k in kept), 'the string table must stay')

    def check_layout(self, before, after, subsystem):
        data = after.data
        header = struct.unpack_from('<I', data, 0x3C)[0]
        optional = header + 24
        section_alignment, file_alignment = struct.unpack_from('<II', data, optional + 32)
        self.assertEqual((after.machine, after.magic, after.subsystem), (before.machine, before.magic, subsystem))
        self.assertEqual([s[0] for s in after.sections], [s[0] for s in before.sections])
        raw_end = struct.unpack_from('<I', data, optional + 60)[0]
        virtual_end = section_alignment
        for section, address, size, raw_pointer, raw_size in after.sections:
            self.assertEqual(address % section_alignment, 0, section)
            self.assertGreaterEqual(address, virtual_end, section)
            virtual_end = address - (-size // section_alignment) * section_alignment
            if raw_size:
                self.assertEqual((raw_pointer, raw_size % file_alignment), (raw_end, 0), section)
                raw_end += raw_size
        self.assertEqual(struct.unpack_from('<I', data, optional + 56)[0], virtual_end, 'SizeOfImage')
        self.assertEqual(struct.unpack_from('<I', data, optional + 64)[0], pe_checksum(data, optional + 64))
        symbols, count = struct.unpack_from('<II', data, header + 12)
        if symbols == 0:  # a stripped executable ends with its last section
            self.assertEqual(raw_end, len(data), 'nothing may follow the sections: a signature goes there')
            return
        self.assertEqual(symbols, raw_end)
        string_table = symbols + 18 * count
        self.assertEqual(string_table + struct.unpack_from('<I', data, string_table)[0], len(data),
                         'nothing may follow the string table: a signature goes there')
        self.assertEqual(data[symbols:], before.data[struct.unpack_from('<I', before.data, header + 12)[0]:])

    # -- running them -------------------------------------------------------------------------

    def test_branded_executables_run_with_the_vm_double(self):
        for name in VARIANTS:
            with self.subTest(variant=name):
                folder = self.wine.workdir / ('run-' + name)
                exe, env = self.app(folder, name, self.ini(parameters='-Xmx64m'),
                                    'main=com/example/App\nmain-action=print-out output of %s\n' % name)
                result = self.wine.run(exe, args=['first arg', 'second'], env=env, timeout=60)
                self.assertEqual((result.code, result.boxes), (0, []), result)
                events = self.log(folder)
                self.assertIn('main argc 2', events)
                self.assertIn('main arg 0 first arg', events)
                self.assertIn('option 1 -Xmx64m', events)
                self.assertIn('output of %s' % name, result.stdout)

    def test_console_variant_writes_to_the_console_it_was_started_from(self):
        # A console program shares the console of the prompt that starts it, and the prompt waits
        # for it; a windowed one is left to run, so the prompt comes back before its output.
        env, commands = {}, []
        for name in ('Term', 'Acme'):
            folder = self.wine.workdir / ('console-' + name)
            exe, app_env = self.app(folder, name, self.ini(),
                                    'main=com/example/App\nmain-action=sleep 700\n'
                                    'main-action=print-out output of %s\n' % name)
            env['QLTEST_%s_CFG' % name] = app_env['VMDOUBLE_CONFIG']
            commands += ['set VMDOUBLE_CONFIG=%%QLTEST_%s_CFG%%' % name, self.wine.winpath(exe) + ' one two']
        screen = self.wine.console(commands, env=env)
        self.assertTrue(screen.split('Term.exe one two\n', 1)[-1].startswith('output of Term\n'), screen)
        self.assertIn('output of Acme', screen)
        self.assertFalse(screen.split('Acme.exe one two\n', 1)[-1].startswith('output of Acme'), screen)

    def test_utf8_code_page_with_names_outside_the_ansi_code_page(self):
        folder = self.wine.workdir / '\u041f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u03a9'
        runtime = folder / 'runtime \u6587\u5b57'
        shutil.copytree(self.runtime, runtime)
        arguments = ['\u03a9mega-\u6587\u5b57', 'caf\u00e9']
        main = 'com.example.Caf\u00e9'
        rows = [
            # (variant, INI bytes, the boxes, main's arguments (None: the launch fails))
            ('Wide', self.ini(runtime, main).encode('utf-8'), [], arguments),
            # The trade: an INI file in the legacy code page is read as UTF-8, where its single
            # byte for "\u00e9" is no character.
            ('Wide', self.ini(main=main).encode('cp1252'),
             ['Could not find the main class com/example/Caf\ufffd.\n'], None),
            # Without it, the narrow path of the executable has "?" (or a look-alike) for each
            # character outside Windows-1252, so the INI file beside it is not found.
            ('Acme', self.ini(runtime, main).encode('utf-8'), ['Main class was not specified in INI file.'],
             None),
        ]
        for name, ini, boxes, main_args in rows:
            with self.subTest(variant=name, ini=ini[:60]):
                type(self).count += 1
                case = folder / ('case %d' % self.count)
                exe, env = self.app(case, name, ini, 'main=com/example/Caf\u00e9\n')
                # Where the launcher can write with the legacy code page, too.
                trace_file = self.wine.workdir / ('trace-%d.txt' % self.count)
                env['QL_LAUNCHER_TRACE'] = self.wine.winpath(trace_file)
                result = self.wine.run(exe, args=arguments, env=env, timeout=60)
                events = self.log(case)
                trace = trace_file.read_bytes() if trace_file.exists() else b''
                self.assertEqual((result.code, result.boxes), (-1 if main_args is None else 0, boxes), result)
                if name == 'Acme':
                    narrow = self.wine.winpath(exe).replace(folder.name, '?' * 10 + ' O')
                    self.assertIn(b'executable: %s\narguments: 2\n  argument 0: [Omega-??]\n'
                                  % narrow.encode('ascii'), trace)
                    self.assertEqual(events, [])
                    continue
                self.assertIn(b'executable: ' + self.wine.winpath(exe).encode('utf-8'), trace)
                if main_args is not None:
                    self.assertIn('main class com/example/Caf\u00e9', events)
                    self.assertEqual([line for line in events if line.startswith('main arg ')],
                                     ['main arg %d %s' % (i, a) for i, a in enumerate(main_args)])

    # Wine 8 counts the result of ExpandEnvironmentStringsA in characters, not bytes, under the
    # UTF-8 code page: the launcher measures the expanded text itself, so no byte is lost.
    def test_expanded_values_keep_text_outside_ascii_under_the_utf8_code_page(self):
        folder = self.wine.workdir / 'expanded'
        exe, env = self.app(folder, 'Wide', self.ini(parameters='-Dtitle=caf\u00e9').encode('utf-8'))
        result = self.wine.run(exe, env=env, timeout=60)
        self.assertEqual(result.code, 0, result)
        self.assertIn('option 1 -Dtitle=caf\u00e9', self.log(folder))

    def test_the_windows_build_of_the_tool_gives_the_same_bytes(self):
        output = self.folder / 'windows' / 'Acme.exe'
        output.parent.mkdir()
        result = self.wine.run(win64_build() / 'brand.exe', boxes=False,
                               args=[o.format(icon=self.wine.winpath(self.icon)) for o in VARIANTS['Acme']['options']]
                               + [self.wine.winpath(LAUNCHERS['x86_64']), self.wine.winpath(output)])
        self.assertEqual(result.code, 0, result)
        self.assertEqual(output.read_bytes(), self.exes['x86_64', 'Acme'].read_bytes())


if __name__ == '__main__':
    unittest.main(verbosity=2)
