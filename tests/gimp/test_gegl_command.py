"""The `gegl` command line with lumenfall:sun gives the pixels of
`lumenfall render` with the same settings, for 8-bit RGB, RGBA, grey and
16-bit pictures.

Usage: test_gegl_command.py LUMENFALL GEGL_OPERATIONS_DIR WORK_DIR"""
import os
import subprocess
import sys

import pictures

# (GEGL properties, the same as --set arguments)
RENDERS = [
    ([], []),
    (['glue=screen', 'sun-radius=60'], ['glue=screen', 'sun radius=60']),
    (['sun-type=eclipse', 'glue=composite', 'halo-color=#102030', 'x-center=0.25', 'flip-bow=false'],
     ['sun type=eclipse', 'glue=composite', 'halo red=16', 'halo green=32', 'halo blue=48', 'X center=0.25',
      'flip bow=off']),
    (['random-seed=7', 'spike-count=12', 'flare-x=0.5', 'glue=hard-light', 'y-center=0.8', 'spike-detail=90'],
     ['random seed=7', 'spike count=12', 'flare X=0.5', 'glue=hard light', 'Y center=0.8', 'spike detail=90']),
]

PICTURES = [
    ('rgb8', dict(depth=8)),
    ('rgba8', dict(depth=8, alpha=True)),
    ('grey8', dict(depth=8, grey=True)),
    ('rgb16', dict(depth=16)),
    ('greya16', dict(depth=16, grey=True, alpha=True)),
]


def run(command, env=None):
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    if done.returncode != 0:
        raise SystemExit('failed (%d): %s\n%s' % (done.returncode, ' '.join(command), done.stderr.decode()))
    return done


def main():
    lumenfall, operations, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    env = dict(os.environ, GEGL_PATH=operations + ':' + gegl_system_operations())
    failures = 0
    for name, kind in PICTURES:
        source = os.path.join(work, name + '.png')
        pictures.write_png(source, 97, 61, **kind)
        for n, (properties, settings) in enumerate(RENDERS):
            ours = os.path.join(work, '%s-%d-gegl.png' % (name, n))
            theirs = os.path.join(work, '%s-%d-lumenfall.png' % (name, n))
            run(['gegl', source, '-o', ours, '--', 'lumenfall:sun'] + properties, env)
            run([lumenfall, 'render', source, '-o', theirs] + sum((['--set', s] for s in settings), []))
            a, b = pictures.pixels_of(ours), pictures.pixels_of(theirs)
            count, first = pictures.differences(a[2], b[2])
            status = 'ok' if a[:2] == b[:2] and count == 0 else 'DIFFERENT (%d pixels, first %s)' % (count, first)
            print('%-8s %-60s %s' % (name, ' '.join(properties) or '(defaults)', status))
            failures += status != 'ok'
    if failures:
        raise SystemExit('%d renders differ' % failures)


def gegl_system_operations():
    found = subprocess.run(['pkg-config', '--variable=pluginsdir', 'gegl-0.4'], stdout=subprocess.PIPE, text=True)
    return found.stdout.strip() or '/usr/lib/x86_64-linux-gnu/gegl-0.4'


if __name__ == '__main__':
    main()
