"""Small test pictures written as PNG files without outside libraries, and
decoded pixels through GEGL for comparing two files."""
import struct
import zlib

import gi

gi.require_version('Gegl', '0.4')
from gi.repository import Gegl  # noqa: E402

# colour type by (grey, alpha)
_COLOUR_TYPES = {(True, False): 0, (False, False): 2, (True, True): 4, (False, True): 6}


def sample(x, y, c, width, height, maximum):
    """A picture with gradients, a bright patch and a transparent corner."""
    if c == 3:  # transparency: clear at the top left, opaque at the bottom right
        return min(maximum, (x + y) * maximum // max(1, width + height - 2) + (maximum // 8 if x > width // 2 else 0))
    v = ((x * 7 + c * 40) * maximum // max(1, width * 7) + (y * 3 * maximum) // max(1, height * 5)) % (maximum + 1)
    if width // 3 < x < width // 2 and height // 3 < y < height // 2:
        v = maximum - c * (maximum // 16)
    return v


def write_png(path, width, height, depth=8, grey=False, alpha=False):
    colours = 1 if grey else 3
    planes = colours + (1 if alpha else 0)
    maximum = 65535 if depth == 16 else 255
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            for p in range(planes):
                c = 3 if (alpha and p == planes - 1) else p
                v = sample(x, y, c, width, height, maximum)
                rows += struct.pack('>H', v) if depth == 16 else bytes([v])

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xffffffff)

    header = struct.pack('>IIBBBBB', width, height, depth, _COLOUR_TYPES[(grey, alpha)], 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(rows)))
                + chunk(b'IEND', b''))


_started = False


def start_gegl():
    global _started
    if not _started:
        Gegl.init(None)
        _started = True


def pixels_of(path, fmt="R'G'B'A u16"):
    """(width, height, bytes) of a file as GEGL decodes it, in one format
    every depth converts into exactly."""
    start_gegl()
    graph = Gegl.Node()
    load = graph.create_child('gegl:load')
    load.set_property('path', path)
    box = load.get_bounding_box()
    buf = Gegl.Buffer.new(fmt, box.x, box.y, box.width, box.height)
    load.blit_buffer(buf, box, 0, Gegl.AbyssPolicy.NONE)
    return box.width, box.height, bytes(buf.get(box, 1.0, fmt, Gegl.AbyssPolicy.NONE))


def differences(a, b, bytes_per_pixel=8):
    """How many pixels differ, and the first one that does."""
    count, first = 0, None
    for i in range(0, min(len(a), len(b)), bytes_per_pixel):
        if a[i:i + bytes_per_pixel] != b[i:i + bytes_per_pixel]:
            count += 1
            if first is None:
                first = i // bytes_per_pixel
    return count, first


def visible_differences(a, b):
    """differences() in R'G'B'A u16, where the colour of a fully
    transparent pixel does not count (image editors may drop it)."""
    count, first = 0, None
    for i in range(0, min(len(a), len(b)), 8):
        pa, pb = a[i:i + 8], b[i:i + 8]
        if pa[6:8] == b'\0\0' and pb[6:8] == b'\0\0':
            continue
        if pa != pb:
            count += 1
            if first is None:
                first = i // 8
    return count, first
