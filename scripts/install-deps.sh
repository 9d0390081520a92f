#!/usr/bin/env bash
# Installs every Debian package the project builds, tests or runs with, and nothing that is
# already there. Safe to run again: it only calls apt-get for what `dpkg -s` reports missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # the device's real components
  libsqlite3-dev        # registry, message store and contact store
  libfreetype-dev       # text drawing
  fonts-dejavu-core     # the device's system font: DejaVuSans.ttf and DejaVuSans-Bold.ttf
  fonts-dejavu-extra    # its oblique faces, DejaVuSans-Oblique.ttf and DejaVuSans-BoldOblique.ttf
  libpng-dev zlib1g-dev # PNG decoding and screenshots
  libgif-dev            # GIF decoding, every frame of an animation
  libjpeg62-turbo-dev   # JPEG decoding
  liblitehtml-dev       # the HTML view's layout engine (0.6)
  libgumbo-dev          # the HTML parser under it, which the view also uses to bound a page
  tzdata                # zone names for init --time-zone
  libsndfile1-dev       # the sound library's decoders (WAV, FLAC, OGG, MP3)
  # fuzzing and sanitizer runtimes
  clang libclang-rt-14-dev
  # the device console: its HTTP and WebSocket server, and the browser its tests drive
  libboost-dev          # Boost.Beast (header-only)
  chromium
)
# Node runs the console's browser test; a machine that has node and npm already keeps its own.
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The console's browser test drives Chromium with playwright-core, at the version its lock file
# names. Without npm or the registry the test skips and says so; nothing else needs it.
browser_tests="$(dirname "$0")/../tests/browser"
if [ ! -d "$browser_tests/node_modules/playwright-core" ] || \
   [ "$browser_tests/package-lock.json" -nt "$browser_tests/node_modules/.package-lock.json" ]; then
  if command -v npm >/dev/null 2>&1; then
    (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error) ||
      echo "install-deps: playwright-core could not be installed; the console's browser test will skip"
  fi
fi
