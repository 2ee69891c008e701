"""lumenfall:sun through GEGL's Python bindings: four quadrants and a
1-pixel-wide strip rendered separately, with 1 and 4 threads and small
tiles, give the pixels of one whole render; mipmap level 2 gives the
dialog's preview at scale 4.

Usage: test_gegl_regions.py GEGL_OPERATIONS_DIR PREVIEW_REFERENCE WORK_DIR
(GEGL_PATH must name the operation's folder and the system's.)"""
import hashlib
import json
import os
import subprocess
import sys

import pictures
from pictures import Gegl

WIDTH, HEIGHT = 301, 203
FORMAT = "R'G'B'A u8"
PROPERTIES = {'glue': 'composite', 'sun-radius': 55, 'x-center': 0.4, 'y-center': 0.55}


def sun_graph(path, properties):
    graph = Gegl.Node()
    load = graph.create_child('gegl:load')
    load.set_property('path', path)
    sun = graph.create_child('lumenfall:sun')
    for key, value in properties.items():
        sun.set_property(key, value)
    load.connect_to('output', sun, 'input')
    return graph, load, sun


def render(graph, x, y, w, h, level=0, fmt=FORMAT, node=None):
    """Renders the graph's last node (or `node`); the graph stays alive
    meanwhile (GEGL frees a graph's nodes with it)."""
    node = node or graph[2]
    rect = Gegl.Rectangle.new(x, y, w, h)
    buf = Gegl.Buffer.new(fmt, x, y, w, h)
    node.blit_buffer(buf, rect, level, Gegl.AbyssPolicy.NONE)
    return bytes(buf.get(rect, 1.0, fmt, Gegl.AbyssPolicy.NONE))


def pieces(path):
    """The whole render and the same pixels put together from pieces, each
    from a fresh graph, as lists of rows."""
    bpp = 4

    def rows_of(data, w):
        return [data[i:i + w * bpp] for i in range(0, len(data), w * bpp)]

    graph = sun_graph(path, PROPERTIES)
    whole = rows_of(render(graph, 0, 0, WIDTH, HEIGHT), WIDTH)
    source = rows_of(render(graph, 0, 0, WIDTH, HEIGHT, node=graph[1]), WIDTH)
    hx, hy = WIDTH // 2 + 3, HEIGHT // 2 - 5
    quadrants = [b''] * HEIGHT
    for (x, y, w, h) in [(0, 0, hx, hy), (hx, 0, WIDTH - hx, hy), (0, hy, hx, HEIGHT - hy),
                         (hx, hy, WIDTH - hx, HEIGHT - hy)]:
        part = rows_of(render(sun_graph(path, PROPERTIES), x, y, w, h), w)
        for r, row in enumerate(part):
            quadrants[y + r] += row
    column = 180  # through the sun's disc
    strip = rows_of(render(sun_graph(path, PROPERTIES), column, 0, 1, HEIGHT), 1)
    return whole, quadrants, strip, column, source


def child(path):
    """Runs in a process of its own (GEGL_THREADS and the tile size are
    fixed when GEGL starts): digests of the whole render and its pieces."""
    Gegl.init(None)
    Gegl.config().set_property('tile-width', int(os.environ.get('LF_TILE', '128')))
    Gegl.config().set_property('tile-height', int(os.environ.get('LF_TILE', '128')))
    whole, quadrants, strip, column, source = pieces(path)
    print(json.dumps({
        'whole': hashlib.sha256(b''.join(whole)).hexdigest(),
        'quadrants_match': quadrants == whole,
        'rows_lit': sum(1 for r in range(HEIGHT) if whole[r] != source[r]),
        'strip_match': all(strip[r] == whole[r][column * 4:column * 4 + 4] for r in range(HEIGHT)),
    }))


def level_two(path, reference, work):
    """Level 2 of the operation against the preview at scale 4."""
    pictures.start_gegl()
    graph = sun_graph(path, {})
    w, h = WIDTH // 4, HEIGHT // 4
    fmt = "R'G'B' u8"
    reduced = render(graph, 0, 0, w, h, level=2, fmt=fmt, node=graph[1])
    ours = render(graph, 0, 0, w, h, level=2, fmt=fmt)
    raw_in, raw_out = os.path.join(work, 'level2-in.raw'), os.path.join(work, 'level2-out.raw')
    with open(raw_in, 'wb') as f:
        f.write(reduced)
    subprocess.run([reference, str(WIDTH), str(HEIGHT), '4', '3', raw_in, raw_out], check=True, timeout=60)
    with open(raw_out, 'rb') as f:
        theirs = f.read()
    count, first = pictures.differences(ours, theirs, 3)
    changed = sum(1 for i in range(0, len(ours), 3) if ours[i:i + 3] != reduced[i:i + 3])
    print('level 2 against the preview at scale 4: %d pixels differ (first %s), %d pixels lit' % (count, first, changed))
    return count == 0 and changed > 100


def main():
    if sys.argv[1] == '--child':
        child(sys.argv[2])
        return
    reference, work = sys.argv[2], sys.argv[3]
    os.makedirs(work, exist_ok=True)
    path = os.path.join(work, 'regions.png')
    pictures.write_png(path, WIDTH, HEIGHT, alpha=True)
    results = []
    for threads, tile in [('1', '128'), ('4', '128'), ('4', '32')]:
        env = dict(os.environ, GEGL_THREADS=threads, LF_TILE=tile)
        done = subprocess.run([sys.executable, __file__, '--child', path], env=env, stdout=subprocess.PIPE,
                              timeout=240, check=True, text=True)
        result = json.loads(done.stdout.strip().splitlines()[-1])
        print('threads %s, tiles %s: %s' % (threads, tile, result))
        results.append(result)
    failed = [r for r in results if not (r['quadrants_match'] and r['strip_match'] and r['rows_lit'] > 50)]
    if len({r['whole'] for r in results}) != 1:
        failed.append('whole renders differ between thread counts and tile sizes')
    if not level_two(path, reference, work):
        failed.append('level 2')
    if failed:
        raise SystemExit('FAILED: %s' % failed)


if __name__ == '__main__':
    main()
