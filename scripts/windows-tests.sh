#!/usr/bin/env bash
# The end-to-end suite on the Windows builds under Wine.
#   scripts/windows-tests.sh prefixes   make the Wine prefixes (once)
#   scripts/windows-tests.sh win32      run the 32-bit executable's case
# The 64-bit build runs the whole suite through CTest (see scripts/test.sh).
# Where the kernel cannot run 32-bit code at all, the 32-bit Wine loader is
# run through qemu-user; that is slow (over a minute a process), so the
# 32-bit executable runs one case that covers a refused rename and the
# failure cascade, "\" paths, CR LF line ends and the exit status.
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
prefixes=$PWD/build-wine
wine64=/usr/lib/wine/wine64

can_run_i386() { /usr/lib/wine/wine --version > /dev/null 2>&1; }

enable_i386_emulation() {
  can_run_i386 && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2> /dev/null || return 1
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > /proc/sys/fs/binfmt_misc/register 2> /dev/null || return 1
  fi
  can_run_i386
}

case "${1:-}" in
  prefixes)
    # The 64-bit prefix first: made while 32-bit code may still be out of
    # reach, it needs no emulation and takes seconds.
    mkdir -p "$prefixes"
    if [ ! -d "$prefixes/win64" ]; then
      # Where 32-bit code runs only through qemu-user, Wine would spend
      # minutes setting up its 32-bit half, which the 64-bit build never
      # uses: the emulation is paused meanwhile.
      emulation=/proc/sys/fs/binfmt_misc/qemu-i386
      paused=""
      if [ -w "$emulation" ] && grep -q '^enabled' "$emulation"; then
        echo 0 > "$emulation"
        paused=yes
      fi
      WINEPREFIX=$prefixes/win64 "$wine64" wineboot --init
      WINEPREFIX=$prefixes/win64 wineserver -w
      if [ -n "$paused" ]; then echo 1 > "$emulation"; fi
    fi
    ;;
  win32)
    if ! enable_i386_emulation; then
      echo "SKIPPED: this machine can run no 32-bit code, natively or through qemu-user"
      exit 0
    fi
    # A 64-bit prefix with its 32-bit half (a 32-bit-only prefix does not
    # come up under qemu-user: its kernel32 fails to load).
    export WINEPREFIX=$prefixes/wow64
    mkdir -p "$prefixes"
    [ -d "$WINEPREFIX" ] || "$wine64" wineboot --init
    UNCLASH_HOST=windows UNCLASH_TOOL=$PWD/build-win-i686/unclash.exe UNCLASH_RUNNER=wine \
      build/tests/unclash_end_to_end_tests --gtest_filter='EndToEndTest.FailedRenameCascadesToTheSummary'
    ;;
  *)
    echo "usage: scripts/windows-tests.sh prefixes|win32" >&2
    exit 2
    ;;
esac
