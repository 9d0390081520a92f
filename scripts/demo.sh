#!/usr/bin/env bash
# The device's demo on a fresh default image in a temporary folder: Pellix installed, contacts
# with pictures, messages arriving through the Inbox, and a screenshot of every step with a
# one-line caption (the comment above each screenshot step of scripts/demo/*.txt).
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
tool="$(cd "$build" && pwd)/tools/pellix-device/pellix-device"
image=$(mktemp -d /tmp/pellix-demo-XXXXXX)
trap 'rm -rf "$image"' EXIT
shots=${PELLIX_DEMO_DIR:-$PWD/pellix-demo}
mkdir -p "$shots"
rm -f "$shots"/*.png "$shots/captions.txt"
pd() { "$tool" --image "$image/image" "$@"; }
key='HKCU\Software\Halvane Quorrin Softwares\Pellix'

# Writes "FILE: CAPTION" for each screenshot step of a script, the caption being the comment
# line just above it.
captions() {
  awk '/^#/ { sub(/^# */, ""); caption = $0; next }
       /^screenshot / { print $2 ": " caption; caption = "" }' "$1" >>"$shots/captions.txt"
}

echo "== A new device image (240x320 Pocket PC, clock ten times faster) in $image/image"
pd init --clock-speed 10
if pd --help | grep -q '^  install'; then
  echo "== Installing Pellix as an installer would"
  pd install
else
  echo "== Registering Pellix's rule client (this pellix-device has no install command yet)"
  pd run "$here/demo/register.txt"
fi
echo
echo "== Contacts with pictures"
pd contacts add --name "Ada Quill" --phone "+49 171 234567" --picture "$here/../skins/default/Smileys/angel.gif" >/dev/null
pd contacts add --name "Bob Brown" --phone "+49 30 222333" --picture "$here/../skins/default/Smileys/cool.gif" >/dev/null
pd contacts list
echo
echo "== Messages arrive through the Inbox"
(cd "$shots" && pd run "$here/demo/messages.txt")
captions "$here/demo/messages.txt"
echo
echo "== A message opened in its read form"
if (cd "$shots" && pd run "$here/demo/read-form.txt"); then
  captions "$here/demo/read-form.txt"
else
  echo "(the read form is not available on this device yet)"
fi
echo
echo "== A reply written with the smiley picker"
if (cd "$shots" && pd run "$here/demo/compose-picker.txt"); then
  captions "$here/demo/compose-picker.txt"
else
  echo "(the smiley picker is not available on this device yet)"
fi
echo
echo "== The Inbox's journal"
grep -P '\tinbox\t' "$image/image/journal.log" | cut -f3- | head -20
echo
echo "== The shell shows a notification in its own bubble"
pd notify "<b>Ada Quill</b>: see you at 8 :)" --title "Ada Quill" --seconds 5 --screenshot "$shots/08-shell-bubble.png" >/dev/null
echo "08-shell-bubble.png: The shell's own bubble for a notification without a sink of its own." >>"$shots/captions.txt"
echo
echo "== The page the bubble shows for the first message"
pd render "Hi Ada :) call me on +4930123456 or see http://example.org/party <3"
echo
echo "== A message arrives and the module shows it in its own skinned bubble"
pd preview --from "+49171234567" "Hi :) see you at 8, call +491712345678" "$shots/bubble.png"
echo "  bubble.png: the module's own bubble" >> "$shots/captions.txt"
echo
echo "== Screenshots of every step, with their captions, are in $shots:"
sed 's/^/  /' "$shots/captions.txt"
