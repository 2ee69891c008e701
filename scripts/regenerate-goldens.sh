#!/usr/bin/env bash
# Rewrites the golden renders in tests/golden/ from the current build. Run it
# only for a deliberate change of the picture, and look at the new files
# before committing them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C build/native test_host lf_plugin
LUMENFALL_REGENERATE_GOLDENS=1 build/native/bin/test_host --gtest_filter='GoldenRenders.EveryPixelMatchesTheStoredPicture'
ninja -C build/native test_export
LUMENFALL_REGENERATE_GOLDENS=1 build/native/bin/test_export --gtest_filter='HtmlPage.PresetsPageMatchesTheGoldenAndEveryPictureDecodes'
ls -l tests/golden/
