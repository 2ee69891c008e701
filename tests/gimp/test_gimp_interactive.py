"""GIMP 2.10 under a virtual X server: GIMP starts with a picture, Tools ›
GEGL Operation (reached through GIMP's action search) lists "Lumenfall
sun", and choosing it fills the dialog with the operation's properties;
Filters › Light and Shadow › Lumenfall preset… asks for a preset and puts
the sun on the canvas. Keeps screenshots of the dialog and the chooser.

Usage: test_gimp_interactive.py PLUGIN OPERATIONS_DIR SYSTEM_OPERATIONS_DIR WORK_DIR [SCREENSHOT]"""
import os
import signal
import subprocess
import sys
import time

import gimp_session
import pictures

# The dialog of an operation with the sun's 42 properties is far taller
# than that of any operation GIMP 2.10 lists beside it.
TALL_DIALOG = 1250
DEADLINE = time.time() + 150


def xdotool(env, *arguments):
    done = subprocess.run(['xdotool'] + list(arguments), env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True, timeout=20)
    return done.stdout.strip()


def own_windows(env, pid, name):
    """Windows of our GIMP process whose title matches `name`."""
    found = xdotool(env, 'search', '--all', '--onlyvisible', '--pid', str(pid), '--name', name)
    return [w for w in found.split() if w]


def wait_for_window(env, pid, name, seconds):
    end = min(time.time() + seconds, DEADLINE)
    while time.time() < end:
        windows = own_windows(env, pid, name)
        if windows:
            return windows[0]
        time.sleep(0.5)
    raise SystemExit('no window "%s" of GIMP within %d seconds' % (name, seconds))


def wait_for_new_window(env, pid, before, seconds):
    end = min(time.time() + seconds, DEADLINE)
    while time.time() < end:
        new = [w for w in own_windows(env, pid, '.') if w not in before]
        if new:
            return new[0]
        time.sleep(0.2)
    raise SystemExit('the operation list did not open within %d seconds' % seconds)


def wait_for_window_gone(env, pid, window, seconds):
    end = min(time.time() + seconds, DEADLINE)
    while time.time() < end and window in own_windows(env, pid, '.'):
        time.sleep(0.2)


def height_of(env, window):
    for line in xdotool(env, 'getwindowgeometry', window).splitlines():
        if 'Geometry:' in line:
            return int(line.split()[-1].split('x')[1])
    return 0


def canvas(display, image, work, name):
    """The middle of the image window (where the picture is) as pixels."""
    path = os.path.join(work, name)
    subprocess.run(['import', '-display', display, '-window', image, '-crop', '300x200+362+284', '+repage',
                    '-depth', '8', 'rgb:' + path], check=True, timeout=30)
    with open(path, 'rb') as f:
        return f.read()


def apply_preset_from_menu(env, pid, display, image, dialog, work):
    """Filters › Light and Shadow › Lumenfall preset…: the plug-in's chooser
    takes a typed path and the sun appears on the canvas."""
    preset = os.path.join(work, 'dusk.q4q')
    subprocess.run([os.environ.get('LF_LUMENFALL', 'lumenfall'), 'preset', 'save', '-o', preset, '--set',
                    'glue=screen', '--set', 'sun radius=70'], check=True, stdout=subprocess.DEVNULL, timeout=60)
    xdotool(env, 'windowfocus', '--sync', dialog)
    xdotool(env, 'key', 'Escape')  # the operation's dialog goes, and its preview with it
    time.sleep(2)
    if os.environ.get('LF_SHOTS'):
        subprocess.run(['import', '-display', display, '-window', 'root', os.path.join(work, 'before.png')])
    before = canvas(display, image, work, 'before.rgb')
    xdotool(env, 'windowfocus', '--sync', image)
    xdotool(env, 'mousemove', '--window', image, '500', '400')
    xdotool(env, 'key', 'slash')
    search = wait_for_window(env, pid, '^Search Actions$', 20)
    xdotool(env, 'windowfocus', '--sync', search)
    xdotool(env, 'type', '--delay', '40', 'Lumenfall preset')
    time.sleep(1.5)
    xdotool(env, 'key', 'Return')
    # The chooser belongs to the plug-in, a child process of GIMP.
    chooser = None
    end = min(time.time() + 30, DEADLINE)
    while chooser is None and time.time() < end:
        children = subprocess.run(['pgrep', '-P', str(pid)], stdout=subprocess.PIPE, text=True).stdout.split()
        for child in children:
            found = own_windows(env, int(child), '^Lumenfall preset$')
            if found:
                chooser, plugin_pid = found[0], int(child)
        time.sleep(0.5)
    if chooser is None:
        raise SystemExit('the plug-in showed no preset chooser')
    xdotool(env, 'windowfocus', '--sync', chooser)
    time.sleep(1)
    # The chooser opens in the picture's folder, where the preset is.
    xdotool(env, 'type', '--delay', '60', os.path.basename(preset))
    time.sleep(1.5)
    # The chooser with the preset's thumbnail beside the list, kept for a look.
    subprocess.run(['import', '-display', display, '-window', chooser, os.path.join(work, 'chooser.png')],
                   timeout=30)
    xdotool(env, 'key', 'Return')
    end = min(time.time() + 60, DEADLINE)
    while time.time() < end and os.path.exists('/proc/%d' % plugin_pid):
        time.sleep(0.5)
    time.sleep(2)
    after = canvas(display, image, work, 'after.rgb')
    changed = sum(1 for i in range(0, len(before), 3) if before[i:i + 3] != after[i:i + 3])
    print('the preset chooser applied the sun: %d canvas pixels changed' % changed)
    if os.path.exists('/proc/%d' % plugin_pid) or changed < 1000:
        raise SystemExit('the preset chosen in the plug-in\'s chooser was not applied')


def start_display(work):
    """Xvfb on the first free display it finds; (process, display). Another
    process starting its own server at the same moment can take the same
    display: then the server answers nobody and a new one is started."""
    log = open(os.path.join(work, 'xvfb.log'), 'w')
    for _ in range(3):
        server = subprocess.Popen(['Xvfb', '-displayfd', '1', '-screen', '0', '1600x2000x24', '-nolisten', 'tcp'],
                                  stdout=subprocess.PIPE, stderr=log, text=True)
        display = ':' + server.stdout.readline().strip()
        time.sleep(0.5)
        answer = subprocess.run(['xdotool', 'getdisplaygeometry'], env=dict(os.environ, DISPLAY=display),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=20)
        if server.poll() is None and answer.stdout.strip() == '1600 2000':
            return server, display
        server.kill()
        server.wait(10)
    raise SystemExit('Xvfb did not start')


def main():
    plugin, operations, system_operations, work = sys.argv[1:5]
    keep = sys.argv[5] if len(sys.argv) > 5 else None
    os.makedirs(work, exist_ok=True)
    env = gimp_session.private_gimp(work, plugin, operations, system_operations)
    picture = os.path.join(work, 'dusk.png')
    pictures.write_png(picture, 360, 240)
    server, display = start_display(work)
    env['DISPLAY'] = display
    gimp = None
    try:
        log = open(os.path.join(work, 'gimp.log'), 'w')
        gimp = subprocess.Popen(['gimp-2.10', '-n', '-d', '-f', '-s', '--no-splash', picture], env=env,
                                stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                start_new_session=True)
        image = wait_for_window(env, gimp.pid, r'\[dusk\].*GIMP', 90)
        time.sleep(2)
        # Tools › GEGL Operation through GIMP's action search ("/").
        xdotool(env, 'windowfocus', '--sync', image)
        xdotool(env, 'mousemove', '--window', image, '500', '400')
        xdotool(env, 'key', 'slash')
        search = wait_for_window(env, gimp.pid, '^Search Actions$', 20)
        xdotool(env, 'windowfocus', '--sync', search)
        xdotool(env, 'type', '--delay', '40', 'GEGL Operation')
        time.sleep(1.5)
        xdotool(env, 'key', 'Return')
        dialog = wait_for_window(env, gimp.pid, '^GEGL Operation$', 20)
        time.sleep(1)
        # Each round opens the operation list and takes the next entry.
        chosen = False
        for _ in range(60):
            if time.time() > DEADLINE:
                break
            before = set(own_windows(env, gimp.pid, '.'))
            xdotool(env, 'mousemove', '--window', dialog, '150', '58', 'click', '1')
            # Keys go to the list only once it is open (else Return would
            # press the dialog's OK).
            popup = wait_for_new_window(env, gimp.pid, before, 15)
            time.sleep(0.3)
            xdotool(env, 'key', 'Down')
            time.sleep(0.2)
            xdotool(env, 'key', 'Return')
            wait_for_window_gone(env, gimp.pid, popup, 15)
            time.sleep(1.5)
            if os.environ.get('LF_SHOTS'):  # a screenshot of every round, for finding what went wrong
                subprocess.run(['import', '-display', display, '-window', 'root', os.path.join(work, 'round-%d.png' % _)])
                print(_, height_of(env, dialog), xdotool(env, 'getwindowgeometry', dialog))
            if height_of(env, dialog) > TALL_DIALOG:
                chosen = True
                break
        if not chosen:
            raise SystemExit('"Lumenfall sun" was not found in the GEGL Operation list')
        time.sleep(2)
        shot = os.path.join(work, 'gimp-dialog.png')
        subprocess.run(['import', '-display', display, '-window', dialog, shot], check=True, timeout=30)
        # Small enough for the README: a palette of 64 colours.
        subprocess.run(['convert', shot, '-colors', '64', 'PNG8:' + shot], check=True, timeout=30)
        print('the dialog shows the properties (%d pixels tall); screenshot %s (%d bytes)'
              % (height_of(env, dialog), shot, os.path.getsize(shot)))
        if keep:
            subprocess.run(['cp', shot, keep], check=True)
        apply_preset_from_menu(env, gimp.pid, display, image, dialog, work)
    finally:
        if gimp is not None and gimp.poll() is None:
            os.killpg(gimp.pid, signal.SIGTERM)
            try:
                gimp.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(gimp.pid, signal.SIGKILL)
        server.terminate()
        server.wait(10)


if __name__ == '__main__':
    main()
