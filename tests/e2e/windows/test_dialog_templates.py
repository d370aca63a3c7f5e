"""The two dialog templates as both executables ship them: extended templates with their styles,
font, title and size, and every control in template order with its id, class, text, styles and
position."""

import struct
import unittest

from harness import BUILD_DIR, win32_build
from test_pe_inspect import LANG_EN_US, PeFile

RT_DIALOG = 5
CLASS_ORDINALS = {0x80: 'BUTTON', 0x81: 'EDIT', 0x82: 'STATIC', 0x83: 'LISTBOX', 0x84: 'SCROLLBAR',
                  0x85: 'COMBOBOX'}
DOWNLOAD_PAGE = 'https://adoptium.net/'

# (title, style, extended style, size, controls: (id, class, text, style, extended style, x, y, cx, cy))
TEMPLATES = {
    201: ('JRE Not Found', 0x80C800C8, 0, (219, 145), [
        (1, 'BUTTON', 'OK', 0x50010001, 0, 107, 122, 50, 14),
        (2, 'BUTTON', 'Cancel', 0x50010000, 0, 161, 122, 50, 14),
        (201, 'EDIT', '', 0x50810880, 0, 60, 89, 94, 14),
        (-1, 'STATIC', 'JRE Path:', 0x50020000, 0, 12, 92, 45, 8),
        (202, 'BUTTON', 'Browse...', 0x50010000, 0, 157, 89, 50, 14),
        (-1, 'BUTTON', 'Missing JRE', 0x50000007, 0, 8, 11, 203, 103),
        (203, 'STATIC', '', 0x50020000, 0, 44, 24, 147, 25),
        (205, 'STATIC', DOWNLOAD_PAGE, 0x50020000, 0, 44, 55, 75, 8),
        (204, 'STATIC', '', 0x50000003, 0, 16, 26, 21, 20),
        (206, 'STATIC', 'If you have a JRE installed you can browse for it below:', 0x50020000, 0,
         12, 73, 195, 8),
    ]),
    231: ('Java Exception', 0x80CC00C8, 0, (275, 242), [
        (1, 'BUTTON', 'Ignore', 0x50010001, 0, 153, 210, 50, 14),
        (2, 'BUTTON', 'Stop', 0x50010000, 0, 209, 210, 50, 14),
        (209, 'BUTTON', 'Uncaught Exception', 0x50000007, 0x20, 8, 11, 259, 221),
        (204, 'STATIC', '', 0x50000003, 0, 16, 26, 21, 20),
        (208, 'EDIT', '', 0x50B10004, 0, 16, 54, 243, 102),
        (210, 'STATIC', 'The java process has thrown the following uncaught exception:', 0x50020000, 0,
         44, 26, 215, 23),
        (211, 'STATIC', 'Press Ignore to continue and ignore the exception or press Stop to close the '
         'application.', 0x50020000, 0, 16, 164, 243, 18),
        (212, 'STATIC', 'WARNING: If you choose to Stop the application any unsaved data will be lost.',
         0x50020000, 0, 16, 187, 243, 18),
    ]),
}


class Reader:
    def __init__(self, data):
        self.data = data
        self.at = 0

    def take(self, fmt):
        values = struct.unpack_from('<' + fmt, self.data, self.at)
        self.at += struct.calcsize('<' + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b'\0\0':
            end += 2
        value = self.data[self.at:end].decode('utf-16-le')
        self.at = end + 2
        return value

    def name_or_ordinal(self):
        first = struct.unpack_from('<H', self.data, self.at)[0]
        if first == 0xFFFF:
            self.at += 2
            return self.take('H')
        return self.text()

    def align(self):
        self.at = (self.at + 3) & ~3


def parse(data):
    r = Reader(data)
    version, signature = r.take('HH')
    _help, exstyle, style, count = r.take('IIIH')
    x, y, cx, cy = r.take('hhhh')
    menu, window_class, title = r.name_or_ordinal(), r.name_or_ordinal(), r.text()
    point_size, weight, italic, charset = r.take('HHBB')
    font = r.text()
    controls = []
    for _ in range(count):
        r.align()
        _help, item_exstyle, item_style = r.take('III')
        ix, iy, icx, icy = r.take('hhhh')
        item_id = r.take('i')
        kind = r.name_or_ordinal()
        kind = CLASS_ORDINALS.get(kind, kind) if isinstance(kind, int) else kind.upper()
        text = r.name_or_ordinal()
        extra = r.take('H')
        r.at += extra
        controls.append((item_id, kind, text, item_style, item_exstyle, ix, iy, icx, icy))
    return {'version': (version, signature), 'style': style, 'exstyle': exstyle, 'position': (x, y),
            'size': (cx, cy), 'menu': menu, 'class': window_class, 'title': title,
            'font': (point_size, font), 'italic': italic, 'charset': charset, 'weight': weight,
            'controls': controls}


class DialogTemplates(unittest.TestCase):
    def test_both_templates_in_both_executables(self):
        for label, path in [('i686', win32_build() / 'launcher.exe'), ('x86_64', BUILD_DIR / 'launcher.exe')]:
            resources = PeFile(path).resources()
            for template_id, (title, style, exstyle, size, controls) in TEMPLATES.items():
                with self.subTest(label=label, template=template_id):
                    data = resources.get((RT_DIALOG, template_id, LANG_EN_US))
                    self.assertIsNotNone(data, '%s: template %d missing' % (label, template_id))
                    dialog = parse(data)
                    self.assertEqual(dialog['version'], (1, 0xFFFF), 'an extended template')
                    self.assertEqual((dialog['title'], dialog['style'], dialog['exstyle'], dialog['size']),
                                     (title, style, exstyle, size))
                    self.assertEqual(dialog['font'], (8, 'MS Shell Dlg'))
                    self.assertEqual((dialog['menu'], dialog['class']), ('', ''))
                    self.assertFalse(dialog['style'] & 0x0800, 'DS_CENTER: the dialog centres itself')
                    self.assertEqual(dialog['controls'], controls)


if __name__ == '__main__':
    unittest.main(verbosity=2)
