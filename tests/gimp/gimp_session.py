"""GIMP 2.10 in a private configuration folder, with lumenfall-gimp as a
user plug-in, for the batch and interactive tests."""
import os
import shutil


def private_gimp(work, plugin, operations, system_operations):
    """The environment of a GIMP run that touches nothing of the user's."""
    config = os.path.join(work, 'gimp-config')
    shutil.rmtree(config, ignore_errors=True)
    folder = os.path.join(config, 'plug-ins', 'lumenfall-gimp')
    os.makedirs(folder)
    for data in ('gradients', 'brushes', 'patterns', 'palettes', 'fonts', 'tool-presets', 'dynamics', 'mypaint-brushes'):
        os.makedirs(os.path.join(config, data), exist_ok=True)
    shutil.copy(plugin, os.path.join(folder, 'lumenfall-gimp'))
    return dict(os.environ, GIMP2_DIRECTORY=config, GEGL_PATH=operations + ':' + system_operations,
                HOME=work, XDG_CONFIG_HOME=os.path.join(work, 'xdg-config'),
                XDG_CACHE_HOME=os.path.join(work, 'xdg-cache'))
