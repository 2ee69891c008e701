"""lumenfall:sun with bad input: a missing or damaged preset and a layer
too large are refused with a warning, the picture passing unchanged; an
empty layer renders nothing; values beyond a property's range are clamped
to it; the module found twice (two operation folders and the user's) loads
once and renders the same.

Usage: test_gegl_bad_input.py OPERATIONS_DIR SYSTEM_OPERATIONS_DIR WORK_DIR"""
import os
import shutil
import subprocess
import sys

import pictures

IN_PROCESS = r'''
import sys
sys.path.insert(0, %(here)r)
import pictures
from pictures import Gegl
pictures.start_gegl()

def rendered(graph_top):
    graph = Gegl.Node()
    nodes = [graph.create_child(op) for op, _ in graph_top]
    for node, (_, props) in zip(nodes, graph_top):
        for k, v in props.items():
            node.set_property(k, v)
    for a, b in zip(nodes, nodes[1:]):
        a.connect_to('output', b, 'input')
    rect = Gegl.Rectangle.new(0, 0, 16, 16)
    buf = Gegl.Buffer.new("R'G'B'A u8", 0, 0, 16, 16)
    nodes[-1].blit_buffer(buf, rect, 0, Gegl.AbyssPolicy.NONE)
    return graph, nodes, bytes(buf.get(rect, 1.0, "R'G'B'A u8", Gegl.AbyssPolicy.NONE))

# Clamped, not ignored.
sun = Gegl.Node().create_child('lumenfall:sun')
sun.set_property('sun-radius', 500)
sun.set_property('x-center', -3.0)
sun.set_property('random-seed', 99999)
print('clamped', sun.get_property('sun-radius'), sun.get_property('x-center'), sun.get_property('random-seed'))

# An empty layer: nothing to render, nothing refused.
empty = Gegl.Buffer.new("R'G'B'A u8", 0, 0, 0, 0)
g = Gegl.Node()
source = g.create_child('gegl:buffer-source'); source.set_property('buffer', empty)
s = g.create_child('lumenfall:sun'); source.connect_to('output', s, 'input')
box = s.get_bounding_box()
out = Gegl.Buffer.new("R'G'B'A u8", 0, 0, 4, 4)
s.blit_buffer(out, Gegl.Rectangle.new(0, 0, 4, 4), 0, Gegl.AbyssPolicy.NONE)
print('empty', box.width, box.height)

# A layer without end (a colour fills the plane): refused, the colour passes.
_, _, plain = rendered([('gegl:color', {}), ('gegl:crop', {'width': 16.0, 'height': 16.0})])
_, _, refused = rendered([('gegl:color', {}), ('lumenfall:sun', {'glue': 'screen'}),
                          ('gegl:crop', {'width': 16.0, 'height': 16.0})])
print('huge', 'unchanged' if plain == refused else 'CHANGED')
'''


def run(command, env):
    return subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, text=True)


def main():
    operations, system_operations, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, GEGL_PATH=operations + ':' + system_operations, HOME=work)
    source = os.path.join(work, 'bad.png')
    pictures.write_png(source, 64, 48)
    failures = []

    def check(condition, what):
        print('%-60s %s' % (what, 'ok' if condition else 'FAILED'))
        if not condition:
            failures.append(what)

    whole = open(os.path.join(work, 'preset.q4q'), 'wb')
    whole.write(b'\x00\x00\x00\x28' + b'\x00' * 20)  # version 40, then cut short
    whole.close()
    with open(os.path.join(work, 'picture.q4q'), 'wb') as f:
        f.write(open(source, 'rb').read()[:300])
    for preset, message in [('missing.q4q', 'cannot open the preset'), ('preset.q4q', 'damaged or cut short'),
                            ('picture.q4q', 'is not a preset file')]:
        out = os.path.join(work, 'refused.png')
        done = run(['gegl', source, '-o', out, '--', 'lumenfall:sun', 'glue=screen',
                    'preset=' + os.path.join(work, preset)], env)
        unchanged = done.returncode == 0 and pictures.pixels_of(out)[2] == pictures.pixels_of(source)[2]
        check(unchanged and message in done.stderr and done.stderr.count('lumenfall:sun:') == 1,
              'preset %s: refused once with "%s"' % (preset, message))

    high, top = os.path.join(work, 'high.png'), os.path.join(work, 'top.png')
    run(['gegl', source, '-o', high, '--', 'lumenfall:sun', 'glue=screen', 'sun-radius=500', 'x-center=-3'], env)
    run(['gegl', source, '-o', top, '--', 'lumenfall:sun', 'glue=screen', 'sun-radius=100', 'x-center=0'], env)
    check(pictures.pixels_of(high)[2] == pictures.pixels_of(top)[2], 'gegl: values beyond the range are clamped')

    done = run([sys.executable, '-c', IN_PROCESS % {'here': os.path.dirname(os.path.abspath(__file__))}], env)
    lines = done.stdout.splitlines()
    check(done.returncode == 0, 'bindings: no crash (%d)' % done.returncode)
    check('clamped 100 0.0 2047' in lines, 'bindings: properties clamp to their ranges')
    check('empty 0 0' in lines, 'bindings: an empty layer renders nothing')
    check('huge unchanged' in lines and 'cannot be rendered' in done.stderr, 'bindings: an endless layer is refused')

    # The same module in two operation folders and the user's folder.
    twice = []
    for folder in ('a', 'b', '.local/share/gegl-0.4/plug-ins'):
        path = os.path.join(work, folder)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        shutil.copy(os.path.join(operations, 'lumenfall-gegl.so'), path)
        twice.append(path)
    env_twice = dict(env, GEGL_PATH=':'.join(twice[:2] + [system_operations]))
    once_out, twice_out = os.path.join(work, 'once.png'), os.path.join(work, 'twice.png')
    run(['gegl', source, '-o', once_out, '--', 'lumenfall:sun', 'glue=screen'], env)
    done = run(['gegl', source, '-o', twice_out, '--', 'lumenfall:sun', 'glue=screen'], env_twice)
    check(done.returncode == 0 and 'WARNING' not in done.stderr and 'CRITICAL' not in done.stderr and
          pictures.pixels_of(once_out)[2] == pictures.pixels_of(twice_out)[2], 'module found three times: loads once')
    if failures:
        raise SystemExit('FAILED: %s' % failures)


if __name__ == '__main__':
    main()
