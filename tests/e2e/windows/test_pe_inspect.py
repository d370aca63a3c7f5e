"""Inspects both Windows executables as files: format and machine, GUI subsystem, system-only
imports, and the resources the launcher ships (string table, icon group, manifest)."""

import re
import struct
import unittest

from harness import BUILD_DIR, SOURCE_DIR, win32_build

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_MANIFEST = 3, 6, 14, 24
LANG_EN_US = 0x409
SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'advapi32.dll', 'shell32.dll', 'ole32.dll',
               'oleaut32.dll', 'comctl32.dll', 'msvcrt.dll', 'shlwapi.dll', 'comdlg32.dll'}


class PeFile:
    """Just enough of the PE format for these checks."""

    def __init__(self, path):
        self.path = path
        self.data = data = path.read_bytes()
        if data[:2] != b'MZ':
            raise AssertionError('%s has no MZ header' % path)
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise AssertionError('%s has no PE signature' % path)
        (self.machine, sections, _, self.symbol_table, _, optional_size,
         self.characteristics) = struct.unpack_from('<HHIIIHH', data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from('<H', data, optional)[0]
        self.subsystem = struct.unpack_from('<H', data, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        count = struct.unpack_from('<I', data, directories - 4)[0]
        self.directories = [struct.unpack_from('<II', data, directories + 8 * i) for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, raw_size, raw_pointer = struct.unpack_from('<8sIIII', data, table + 40 * i)
            self.sections.append((name.rstrip(b'\0').decode('ascii', 'replace'), vaddr,
                                  max(vsize, raw_size), raw_pointer, raw_size))

    def has_symbols(self):
        return self.symbol_table != 0

    def offset(self, rva):
        for _name, vaddr, size, raw_pointer, raw_size in self.sections:
            if vaddr <= rva < vaddr + size:
                if rva - vaddr >= raw_size:
                    raise AssertionError('RVA %#x lies in uninitialised data' % rva)
                return raw_pointer + rva - vaddr
        raise AssertionError('RVA %#x is in no section of %s' % (rva, self.path))

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode('ascii')

    def imported_dlls(self):
        dlls = []
        rva, size = self.directories[1]
        if rva:
            position = self.offset(rva)
            while True:
                descriptor = struct.unpack_from('<IIIII', self.data, position)
                if descriptor == (0, 0, 0, 0, 0):
                    break
                dlls.append(self.c_string(descriptor[3]))
                position += 20
        if len(self.directories) > 13 and self.directories[13][0]:
            position = self.offset(self.directories[13][0])
            while True:
                descriptor = struct.unpack_from('<8I', self.data, position)
                if descriptor[1] == 0:
                    break
                dlls.append(self.c_string(descriptor[1]))
                position += 32
        return dlls

    def resources(self):
        """{(type, name, language): bytes} for every resource with a numeric type, name and
        language (named entries keep their names as strings)."""
        rva, _size = self.directories[2]
        if not rva:
            return {}
        base = self.offset(rva)
        found = {}

        def entries(directory):
            named, numbered = struct.unpack_from('<HH', self.data, base + directory + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from('<II', self.data, base + directory + 16 + 8 * i)
                if name & 0x80000000:
                    length = struct.unpack_from('<H', self.data, base + (name & 0x7FFFFFFF))[0]
                    start = base + (name & 0x7FFFFFFF) + 2
                    name = self.data[start:start + 2 * length].decode('utf-16-le')
                yield name, target

        for kind, kind_target in entries(0):
            for name, name_target in entries(kind_target & 0x7FFFFFFF):
                for language, leaf in entries(name_target & 0x7FFFFFFF):
                    if leaf & 0x80000000:
                        raise AssertionError('resource tree deeper than three levels')
                    data_rva, size = struct.unpack_from('<II', self.data, base + leaf)
                    start = self.offset(data_rva)
                    found[(kind, name, language)] = self.data[start:start + size]
        return found


def string_definitions():
    """{id: text} from resources/strings.def, with the C escapes of its literals decoded."""
    escapes = {'n': '\n', 't': '\t', 'r': '\r', '\\': '\\', '"': '"', "'": "'", '0': '\0'}
    texts = {}
    source = (SOURCE_DIR / 'resources' / 'strings.def').read_text(encoding='utf-8')
    for number, literal in re.findall(r'^STRING_ENTRY\((\d+),\s*\w+,\s*"((?:[^"\\]|\\.)*)"\)',
                                      source, re.M):
        texts[int(number)] = re.sub(r'\\(.)', lambda m: escapes[m.group(1)], literal)
    return texts


def string_table(resources, language):
    """{id: text} decoded from the RT_STRING blocks of one language."""
    table = {}
    for (kind, block, lang), data in resources.items():
        if kind != RT_STRING or lang != language:
            continue
        position = 0
        for entry in range(16):
            length = struct.unpack_from('<H', data, position)[0]
            position += 2
            if length:
                table[(block - 1) * 16 + entry] = data[position:position + 2 * length].decode('utf-16-le')
            position += 2 * length
    return table


class ExecutableInspection(unittest.TestCase):
    TARGETS = [
        # (label, path, optional-header magic, machine)
        ('i686', win32_build() / 'launcher.exe', 0x10B, 0x14C),
        ('x86_64', BUILD_DIR / 'launcher.exe', 0x20B, 0x8664),
    ]

    @classmethod
    def setUpClass(cls):
        cls.files = {}
        for label, path, _magic, _machine in cls.TARGETS:
            if not path.exists():
                raise AssertionError('%s executable %s is missing: build all three trees' % (label, path))
            cls.files[label] = PeFile(path)
        cls.expected_strings = string_definitions()

    def each(self):
        return [(label, self.files[label], magic, machine) for label, _p, magic, machine in self.TARGETS]

    # Bytes each stripped executable may take, with every resource. A launcher is copied beside
    # every application a vendor ships: growth past these is a regression to look at. (The aim is
    # 80 KiB and 96 KiB; see docs/architecture.md for where the bytes go.)
    BUDGETS = {'i686': 136 * 1024, 'x86_64': 143 * 1024}

    def test_size_budget(self):
        for label, path, _magic, _machine in self.TARGETS:
            with self.subTest(label):
                size = path.stat().st_size
                print('%s launcher.exe: %d bytes (budget %d)' % (label, size, self.BUDGETS[label]))
                self.assertFalse(self.files[label].has_symbols(), '%s: the release build strips' % label)
                self.assertLessEqual(size, self.BUDGETS[label], '%s: %d bytes' % (label, size))

    def test_format_machine_and_gui_subsystem(self):
        for label, pe, magic, machine in self.each():
            with self.subTest(label):
                self.assertEqual(pe.magic, magic, '%s: optional header magic %#x' % (label, pe.magic))
                self.assertEqual(pe.machine, machine, '%s: machine %#x' % (label, pe.machine))
                self.assertEqual(pe.subsystem, 2, '%s: subsystem %d, expected 2 (Windows GUI)'
                                 % (label, pe.subsystem))
                self.assertFalse(pe.characteristics & 0x2000, '%s is a DLL' % label)

    def test_imports_only_system_libraries(self):
        for label, pe, _magic, _machine in self.each():
            with self.subTest(label):
                dlls = pe.imported_dlls()
                self.assertIn('kernel32.dll', [d.lower() for d in dlls], '%s imports %r' % (label, dlls))
                foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
                self.assertEqual(foreign, [], '%s needs libraries that Windows does not bring: %r'
                                 % (label, foreign))

    def test_string_table_holds_the_defined_texts(self):
        self.assertEqual(sorted(self.expected_strings), list(range(202, 231)),
                         'strings.def should define ids 202 to 230')
        for label, pe, _magic, _machine in self.each():
            with self.subTest(label):
                resources = pe.resources()
                table = string_table(resources, LANG_EN_US)
                self.assertEqual(table, self.expected_strings,
                                 '%s: the en-US string table differs from strings.def' % label)
                other = sorted({lang for (kind, _n, lang) in resources if kind == RT_STRING} - {LANG_EN_US})
                self.assertEqual(other, [], '%s: string tables in further languages %r' % (label, other))

    def test_icon_group_128_has_the_two_images(self):
        for label, pe, _magic, _machine in self.each():
            with self.subTest(label):
                resources = pe.resources()
                groups = [data for (kind, name, _l), data in resources.items()
                          if kind == RT_GROUP_ICON and name == 128]
                self.assertEqual(len(groups), 1, '%s: icon group 128 missing (groups: %r)'
                                 % (label, [k for k in resources if k[0] == RT_GROUP_ICON]))
                group = groups[0]
                reserved, kind, count = struct.unpack_from('<HHH', group, 0)
                self.assertEqual((reserved, kind), (0, 1), '%s: not an icon group' % label)
                images = {}
                for i in range(count):
                    width, height, colours, _r, _planes, bits, size, icon_id = struct.unpack_from(
                        '<BBBBHHIH', group, 6 + 14 * i)
                    icon = [d for (k, n, _l), d in resources.items() if k == RT_ICON and n == icon_id]
                    self.assertEqual(len(icon), 1, '%s: icon image %d of the group is missing'
                                     % (label, icon_id))
                    self.assertEqual(len(icon[0]), size, '%s: icon %d size differs from its group entry'
                                     % (label, icon_id))
                    images[(width or 256, height or 256)] = (bits, colours, icon[0])
                self.assertIn((48, 48), images, '%s: no 48x48 image: %r' % (label, sorted(images)))
                self.assertIn((16, 16), images, '%s: no 16x16 image: %r' % (label, sorted(images)))
                for (size, bits, colours) in [(48, 32, 0), (16, 4, 16)]:
                    entry_bits, entry_colours, image = images[(size, size)]
                    self.assertEqual((entry_bits, entry_colours), (bits, colours),
                                     '%s: the %dx%d group entry says %d bits, %d colours'
                                     % (label, size, size, entry_bits, entry_colours))
                    if image[:8] == b'\x89PNG\r\n\x1a\n':
                        width, height, depth, colour_type = struct.unpack_from('>IIBB', image, 16)
                        self.assertEqual((width, height), (size, size), label)
                        self.assertEqual(bits, 32, '%s: a PNG image for a %d-bit entry' % (label, bits))
                        self.assertEqual((depth, colour_type), (8, 6), '%s: PNG icon without alpha' % label)
                    else:
                        header_size, width, height, _planes, image_bits = struct.unpack_from(
                            '<IiiHH', image, 0)
                        self.assertEqual(header_size, 40, '%s: icon image is no DIB' % label)
                        self.assertEqual((width, height, image_bits), (size, 2 * size, bits),
                                         '%s: the %dx%d image is %dx%d (with mask), %d bits'
                                         % (label, size, size, width, height, image_bits))

    def test_manifest_binds_common_controls_6(self):
        for label, pe, _magic, _machine in self.each():
            with self.subTest(label):
                manifests = [data for (kind, name, _l), data in pe.resources().items()
                             if kind == RT_MANIFEST and name == 1]
                self.assertEqual(len(manifests), 1, '%s: manifest resource 1 missing' % label)
                text = manifests[0].decode('utf-8-sig')
                identities = re.findall(r'<assemblyIdentity\b[^>]*>', text)
                bound = [i for i in identities
                         if 'name="Microsoft.Windows.Common-Controls"' in i and 'version="6.0.0.0"' in i]
                self.assertEqual(len(bound), 1, '%s: no dependency on common controls 6.0.0.0 in %r'
                                 % (label, identities))
                self.assertIn('<dependentAssembly>', text, label)


if __name__ == '__main__':
    unittest.main(verbosity=2)
