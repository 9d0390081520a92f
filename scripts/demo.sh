#!/usr/bin/env bash
# The device's demo on a fresh default image in a temporary folder.
set -euo pipefail
build=${1:-build}
tool="$build/tools/pellix-device/pellix-device"
image=$(mktemp -d /tmp/pellix-demo-XXXXXX)
trap 'rm -rf "$image"' EXIT
pd() { "$tool" --image "$image/image" "$@"; }
key='HKCU\Software\Halvane Quorrin Softwares\Pellix'

echo "== A new device image (240x320 Pocket PC) in $image/image, with the module installed"
pd init
echo
echo "== Pellix settings as the module reads them"
pd settings
echo
echo "== The registry the installer wrote"
pd reg export
echo
echo "== The default skin, as the module loads it, and its check"
pd skin show
pd skin check
echo
echo "== A message arrives in the SMS store"
id=$(pd store add --from "+49171234567" "Hi :) call me on +491712345678 or see http://example.org/party <3")
pd store list
echo
echo "== The page the bubble would show for it"
pd render "Hi :) call me on +491712345678 or see http://example.org/party <3"
echo
echo "== A contact, found by another spelling of the number"
pd contacts add --name "Ada Quill" --phone "+49 171 234567" --picture "$(dirname "$0")/../skins/default/Smileys/angel.gif" >/dev/null
pd contacts find "+49171234567"
pd contacts lookup "+49171234567" || true
echo
echo "== A delivery report arrives and the module names its recipient"
report=$(pd store add --from "+49171234567" --class IPM.SMStext.REPORT.DR "Message to +49171234567 delivered")
pd process "$report" | grep -E '^(handled|event|result)|PR_SUBJECT_W'
echo
echo "== The shell shows a notification in its bubble"
pd notify "<b>Ada Quill</b>: see you at 8 :)" --title "Ada Quill" --seconds 5 --screenshot "${PELLIX_DEMO_SCREENSHOT:-pellix-demo.png}" >/dev/null
echo
echo "== The module's resources, loaded through the device's module loader"
pd resources | head -20
echo
echo "== The handheld's screen with the bubble is in ${PELLIX_DEMO_SCREENSHOT:-pellix-demo.png}"
echo
echo "Still to come: the rule client the Inbox loads, the module's own skinned bubble and the read"
echo "and compose forms. See README.md for every command."
