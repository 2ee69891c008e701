#!/usr/bin/env bash
# Builds the Windows x64 plug-in and program and runs the Windows tests under
# wine (CTest label `wine`) with a virtual X server for the dialogs.
# Needs the native build in build/native (its resource tools and its
# lumenfall for the render comparison); run scripts/install-deps.sh first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LF_WIN_BUILD:-$root/build/win64}
bash "$root/scripts/build-win-deps.sh"
bash "$root/scripts/build-win.sh"
cd "$build"
# -fbdir keeps the screen as a file, from which the dialog tests take their pictures.
mkdir -p "$build/xvfb"
xvfb-run -a -s "-screen 0 1600x1200x24 -fbdir $build/xvfb" ctest -L wine --output-on-failure --output-log ctest.log
