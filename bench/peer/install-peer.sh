#!/usr/bin/env bash
# Installs the peer linkifier of the conversion benchmark, Autolinker 4 from the npm registry,
# into DIR/node_modules (default: build-release/bench/peer). Only `make bench` runs this; the
# benchmark measures the module alone when the peer or Node.js is missing.
set -euo pipefail
dir=${1:-build-release/bench/peer}
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "install-peer: Node.js and npm are not installed (Debian packages nodejs and npm); the peer is left out" >&2
  exit 0
fi
if [ -f "$dir/node_modules/autolinker/package.json" ]; then exit 0; fi
mkdir -p "$dir"
echo "install-peer: installing autolinker@4 into $dir"
npm install --prefix "$dir" --no-save --no-audit --no-fund --loglevel=error autolinker@4 >&2 ||
  echo "install-peer: npm could not install autolinker; the peer is left out" >&2
