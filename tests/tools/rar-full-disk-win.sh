#!/usr/bin/env bash
# rar.exe under Wine extracting onto a disk that fills up: the write error's exit code 5 with the
# entry named (as the Linux archiver does on ENOSPC), the entries that fit extracted, no temporary
# file left. The disk is a small tmpfs, which Wine sees through the Z: drive; where no tmpfs can be
# mounted the test is skipped (77).
#   rar-full-disk-win.sh EMULATOR... RAR_EXE
set -euo pipefail
rar=${*: -1}
emulator=("${@:1:$#-1}")

work=$(mktemp -d)
trap 'umount "$work/disk" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/files" "$work/disk"
if ! mount -t tmpfs -o size=128k tmpfs "$work/disk" 2>"$work/mount.err"; then
  echo "SKIP: cannot mount a tmpfs: $(cat "$work/mount.err")"
  exit 77
fi
echo small >"$work/files/small.txt"
head -c 300000 /dev/zero | tr '\0' L >"$work/files/large.bin"
echo after >"$work/files/after.txt"
tar -C "$work/files" -cf "$work/a.tar" small.txt large.bin after.txt

windows() { printf 'Z:%s' "${1//\//\\}"; }
set +e
"${emulator[@]}" "$rar" x -idcpdq -y "$(windows "$work/a.tar")" "$(windows "$work/disk/out/")" \
  >"$work/out" 2>"$work/err"
code=$?
set -e
err=$(tr -d '\r' <"$work/err")
listing=$(cd "$work/disk/out" && ls -A | tr '\n' ' ')
echo "exit code $code; stderr: $err; extracted: $listing"
failed=0
[[ $code == 5 ]] || { echo "FAIL: exit code $code, not 5"; failed=1; }
[[ $err == "rar: large.bin: "* ]] || { echo "FAIL: the large file is not named"; failed=1; }
[[ $listing == "after.txt small.txt " ]] || { echo "FAIL: not exactly the files that fit"; failed=1; }
exit $failed
