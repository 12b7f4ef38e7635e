#!/usr/bin/env bash
# The main job: build every preset.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build-all.sh
