"""gimp-console-2.10 applies plug-in-lumenfall with a preset and with
settings text: the pixels of `lumenfall render --preset ... --set ...`;
with a rectangular selection only the selection changes; a missing preset
fails with its message.

Usage: test_gimp_batch.py LUMENFALL PLUGIN OPERATIONS_DIR SYSTEM_OPERATIONS_DIR WORK_DIR"""
import os
import subprocess
import sys

import gimp_session
import pictures

SELECTION = (30, 20, 50, 35)  # x, y, width, height

CASES = [
    # name, picture, preset, settings lines, selected
    ('preset', dict(), 'dusk.q4q', ['sun radius=60'], False),
    ('settings', dict(alpha=True), '', ['glue=composite', 'sun radius=50', 'X center=0.3', 'flare X=0.6'], False),
    ('selection', dict(), '', ['glue=screen', 'sun radius=45', 'X center=0.4'], True),
]


def scheme_string(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"').replace('\n', '\\n') + '"'


def batch_command(source, target, preset, lines, selected):
    select = ('(gimp-image-select-rectangle image CHANNEL-OP-REPLACE %d %d %d %d)' % SELECTION) if selected else ''
    return ('(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE {s} {s})))'
            ' (drawable (car (gimp-image-get-active-drawable image))))'
            ' {select}'
            ' (plug-in-lumenfall RUN-NONINTERACTIVE image drawable {preset} {text})'
            ' (file-png-save-defaults RUN-NONINTERACTIVE image drawable {t} {t}))').format(
        s=scheme_string(source), t=scheme_string(target), select=select, preset=scheme_string(preset),
        text=scheme_string('\n'.join(lines)))


def main():
    lumenfall, plugin, operations, system_operations, work = sys.argv[1:6]
    os.makedirs(work, exist_ok=True)
    env = gimp_session.private_gimp(work, plugin, operations, system_operations)
    preset = os.path.join(work, 'dusk.q4q')
    subprocess.run([lumenfall, 'preset', 'save', '-o', preset, '--set', 'sun radius=70', '--set', 'glue=screen',
                    '--set', 'sun type=eclipse', '--set', 'halo red=250'], check=True, stdout=subprocess.DEVNULL,
                   timeout=60)
    commands, expected = [], []
    for name, kind, preset_name, lines, selected in CASES:
        source = os.path.join(work, name + '.png')
        pictures.write_png(source, 120, 80, **kind)
        ours = os.path.join(work, name + '-gimp.png')
        theirs = os.path.join(work, name + '-lumenfall.png')
        preset_path = os.path.join(work, preset_name) if preset_name else ''
        if os.path.exists(ours):
            os.remove(ours)
        commands.append(batch_command(source, ours, preset_path, lines, selected))
        render = [lumenfall, 'render', source, '-o', theirs] + (['--preset', preset_path] if preset_path else [])
        subprocess.run(render + sum((['--set', s] for s in lines), []), check=True, stdout=subprocess.DEVNULL,
                       timeout=60)
        expected.append((name, source, ours, theirs, selected))
    missing = os.path.join(work, 'missing.q4q')
    commands.append(batch_command(expected[0][1], os.path.join(work, 'never.png'), missing, [], False))
    arguments = ['gimp-console-2.10', '-i', '-d', '-f', '-n']
    for command in commands + ['(gimp-quit 0)']:
        arguments += ['-b', command]
    done = subprocess.run(arguments, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240,
                          stdin=subprocess.DEVNULL)
    log = done.stdout.decode(errors='replace')
    failures = []
    for name, source, ours, theirs, selected in expected:
        if not os.path.exists(ours):
            failures.append('%s: GIMP wrote nothing' % name)
            continue
        a, b = pictures.pixels_of(ours), pictures.pixels_of(theirs)
        if selected:
            # Inside the rectangle the render, outside it the picture as it was.
            original = pictures.pixels_of(source)
            x0, y0, w, h = SELECTION
            mixed = bytearray(original[2])
            for y in range(y0, y0 + h):
                row = (y * a[0] + x0) * 8
                mixed[row:row + w * 8] = b[2][row:row + w * 8]
            b = (b[0], b[1], bytes(mixed))
        count, first = pictures.visible_differences(a[2], b[2])
        print('%-10s %s' % (name, 'ok' if count == 0 else 'DIFFERENT (%d pixels, first %s)' % (count, first)))
        if count:
            failures.append(name)
    if 'cannot open the preset ' + missing not in log or os.path.exists(os.path.join(work, 'never.png')):
        failures.append('a missing preset did not fail with its message')
    else:
        print('missing    ok (refused with its message)')
    if failures:
        print(log)
        raise SystemExit('FAILED: %s' % failures)


if __name__ == '__main__':
    main()
