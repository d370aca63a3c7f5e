"""Pictures: screenshots read back (BMP to pixels and PNG), test pictures written with the JDK's
own writers, and icon files for the branding tests."""

import struct
import subprocess
import tempfile
import zlib
from pathlib import Path

from .paths import JDK_HOME


class Picture:
    """Pixels of a screenshot: rows top to bottom, each bytes of r, g, b."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows

    def pixel(self, x, y):
        row = self.rows[y]
        return tuple(row[3 * x:3 * x + 3])

    def count(self, colour, box=None):
        """Pixels of exactly that (r, g, b) colour, within box (left, top, right, bottom)."""
        return self.colours(box).get(tuple(colour), 0)

    def colours(self, box=None):
        """{(r, g, b): pixel count} within box (left, top, right, bottom)."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        found = {}
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                found[self.pixel(x, y)] = found.get(self.pixel(x, y), 0) + 1
        return found


def read_bmp(bmp):
    """The pixels of an uncompressed 24- or 32-bit BMP."""
    data = Path(bmp).read_bytes()
    if data[:2] != b'BM':
        raise ValueError('%s is not a BMP file' % bmp)
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height, _planes, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        raise ValueError('%s: unsupported BMP format (%d bits, compression %d)' % (bmp, bits, compression))
    bottom_up = height > 0
    height = abs(height)
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(height):
        row_start = offset + (height - 1 - y if bottom_up else y) * stride
        row = data[row_start:row_start + width * step]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[2::step]
        rgb[1::3] = row[1::step]
        rgb[2::3] = row[0::step]
        rows.append(bytes(rgb))
    return Picture(width, height, rows)


def read_xwd(path):
    """The pixels of an xwd dump of a 24- or 32-bit true-colour screen (xwd -root)."""
    data = Path(path).read_bytes()
    header = struct.unpack_from('>25I', data, 0)
    header_size, width, height, byte_order = header[0], header[4], header[5], header[7]
    bits, stride, colours = header[11], header[12], header[19]
    if bits not in (24, 32):
        raise ValueError('%s: %d bits a pixel' % (path, bits))
    offset, step = header_size + 12 * colours, bits // 8
    red, blue = (2, 0) if byte_order == 0 else (step - 3, step - 1)
    rows = []
    for y in range(height):
        row = data[offset + y * stride:offset + y * stride + width * step]
        rgb = bytearray(width * 3)
        rgb[0::3] = row[red::step]
        rgb[1::3] = row[(red + blue) // 2::step]
        rgb[2::3] = row[blue::step]
        rows.append(bytes(rgb))
    return Picture(width, height, rows)


def bmp_to_png(bmp, png):
    """Converts an uncompressed 24- or 32-bit BMP into a PNG (pure Python)."""
    write_png(read_bmp(bmp), png)


def write_png(picture, png):
    """Writes a Picture as a PNG (pure Python)."""
    width, height = picture.width, picture.height
    rows = [b'\x00' + row for row in picture.rows]

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))

    png_data = (b'\x89PNG\r\n\x1a\n'
                + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(b''.join(rows), 6))
                + chunk(b'IEND', b''))
    Path(png).parent.mkdir(parents=True, exist_ok=True)
    Path(png).write_bytes(png_data)


_PICTURES_JAVA = r'''
import java.awt.image.BufferedImage;
import java.io.File;
import javax.imageio.ImageIO;

public class Pictures {
  // Groups of eight arguments: path, format, width, height, then the colours (rrggbb) of the
  // top-left, top-right, bottom-left and bottom-right quarters.
  public static void main(String[] args) throws Exception {
    for (int i = 0; i < args.length; i += 8) {
      int width = Integer.parseInt(args[i + 2]);
      int height = Integer.parseInt(args[i + 3]);
      BufferedImage image = new BufferedImage(width, height, BufferedImage.TYPE_INT_RGB);
      for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
          int quarter = (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);
          image.setRGB(x, y, Integer.parseInt(args[i + 4 + quarter], 16));
        }
      }
      if (!ImageIO.write(image, args[i + 1], new File(args[i]))) {
        throw new IllegalArgumentException("no writer for " + args[i + 1]);
      }
    }
  }
}
'''


def write_pictures(*pictures):
    """Writes pictures with the JDK's own image writers, in one run of java. Each picture is
    (path, format, width, height, quarters): format one of 'bmp', 'jpeg', 'gif', 'png'; quarters
    the (r, g, b) colours of the top-left, top-right, bottom-left and bottom-right quarters."""
    with tempfile.TemporaryDirectory(prefix='pictures-') as folder:
        source = Path(folder) / 'Pictures.java'
        source.write_text(_PICTURES_JAVA)
        argv = [str(JDK_HOME / 'bin' / 'java'), '-Djava.awt.headless=true', str(source)]
        for path, kind, width, height, quarters in pictures:
            argv += [str(path), kind, str(width), str(height)]
            argv += ['%02x%02x%02x' % tuple(colour) for colour in quarters]
        subprocess.run(argv, check=True, timeout=180, stdin=subprocess.DEVNULL)


def make_icon(path, images):
    """Writes an icon file with one image per (size, bits) in images: bits 4 or 8 give a paletted
    bitmap, 32 a bitmap with alpha, 'png' a PNG image (as Windows keeps 256x256 images). Every
    size draws a pattern of its own. The directory leaves planes and bit count at 0 for PNG images,
    as many icon editors do. Returns the image bytes in order."""
    datas, entries = [], []
    for size, bits in images:
        def colour(x, y):
            return ((x * 255) // size, (y * 255) // size, (size * 37) & 0xFF)
        if bits == 'png':
            bmp = Path(tempfile.mkstemp(suffix='.bmp')[1])
            stride = size * 3 + (-size * 3) % 4
            rows = b''.join(bytes(c for x in range(size) for c in reversed(colour(x, y)))
                            + b'\0' * (stride - size * 3) for y in range(size - 1, -1, -1))
            bmp.write_bytes(b'BM' + struct.pack('<IHHI', 54 + len(rows), 0, 0, 54)
                            + struct.pack('<IiiHHIIiiII', 40, size, size, 1, 24, 0, len(rows), 0, 0, 0, 0)
                            + rows)
            png = bmp.with_suffix('.png')
            bmp_to_png(bmp, png)
            data = png.read_bytes()
            bmp.unlink()
            png.unlink()
            entries.append((size % 256, size % 256, 0, 0, 0, len(data)))
        else:
            colours = 1 << bits if bits <= 8 else 0
            palette = b''.join(struct.pack('<BBBB', (i * 53) & 0xFF, (i * 97) & 0xFF, (i * 29) & 0xFF, 0)
                               for i in range(colours))
            pixels = bytearray()
            for y in range(size - 1, -1, -1):
                if bits == 32:
                    row = b''.join(bytes(reversed(colour(x, y))) + b'\xff' for x in range(size))
                else:
                    indices = [(x + y) % colours for x in range(size)]
                    per_byte = 8 // bits
                    row = bytes(sum(indices[x + k] << (8 - bits * (k + 1)) for k in range(per_byte))
                                for x in range(0, size, per_byte))
                pixels += row + b'\0' * (-len(row) % 4)
            mask = b'\0' * (((size + 31) // 32) * 4 * size)
            data = (struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, bits, 0,
                                len(pixels) + len(mask), 0, 0, 0, 0) + palette + bytes(pixels) + mask)
            entries.append((size % 256, size % 256, colours % 256, 1, bits, len(data)))
        datas.append(data)
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for (width, height, colours, planes, bits, length), data in zip(entries, datas):
        directory += struct.pack('<BBBBHHII', width, height, colours, 0, planes, bits, length, offset)
        offset += length
    Path(path).write_bytes(directory + b''.join(datas))
    return datas
