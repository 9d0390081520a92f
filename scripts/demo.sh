#!/usr/bin/env bash
# The device's demo on a fresh default image in a temporary folder.
set -euo pipefail
build=${1:-build}
tool="$build/tools/pellix-device/pellix-device"
image=$(mktemp -d /tmp/pellix-demo-XXXXXX)
trap 'rm -rf "$image"' EXIT
pd() { "$tool" --image "$image/image" "$@"; }

echo "== A new device image (240x320 PocketPC) in $image/image"
pd init
echo
echo "== Pellix settings as the module reads them"
pd settings
echo
echo "== The device's registry"
pd reg export
