#!/usr/bin/env bash
# Runs a command on a file system image and cuts the power right after it: the file system is
# shut down without writing its log (as a power cut leaves it), then mounted again and what
# survived is copied out. Run it under `unshare -m`, so that no mount is seen outside.
# Usage: power_cut.sh IMAGE MOUNT BEFORE AFTER COMMAND...
#   BEFORE's files are laid in a fresh folder on the image (and flushed), COMMAND runs there,
#   and that folder's files after the cut are copied to AFTER.
# Exit code 77, with the reason: this machine cannot mount the image (no loop device, or the file
# system unknown) or cannot shut that file system down.
set -u
image=$1 mount=$2 before=$3 after=$4
shift 4

mount -o loop "$image" "$mount" 2>/dev/null || { echo "cannot mount the image"; exit 77; }
rm -rf "$mount/case" && mkdir "$mount/case" && cp -a "$before/." "$mount/case/" && sync -f "$mount/case" ||
  { umount "$mount"; exit 1; }
(cd "$mount/case" && "$@")
status=$?
# Without -f the log is not flushed: what was not on the disk yet is gone.
if ! cut=$(xfs_io -x -c shutdown "$mount" 2>&1) || [[ -n "$cut" ]]; then
  umount "$mount"
  if [[ "$cut" == *"Inappropriate ioctl"* ]]; then echo "the kernel cannot shut it down"; exit 77; fi
  echo "$cut"
  exit 1
fi
umount "$mount" || exit 1
mount -o loop "$image" "$mount" || exit 1
cp -a "$mount/case/." "$after/"
umount "$mount"
exit "$status"
