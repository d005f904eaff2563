#!/usr/bin/env bash
# Installs the missing Debian packages of the named sets (scripts/packages.sh), and nothing
# else:
#   scripts/install-deps.sh run              what the recorder needs to run
#   scripts/install-deps.sh run build        ... and to build it       (scripts/run.sh)
#   scripts/install-deps.sh run build test   ... and to test it        (scripts/test.sh)
#   scripts/install-deps.sh run build package  ... and to package it  (scripts/build-deb.sh)
# It never removes a package. Before installing it asks apt what the install would do; when
# apt would remove anything, it stops without changing the system and says what and why. The
# install itself runs with --no-remove as well, so apt aborts rather than removes.
# Run it as root, or as a user who may use sudo: sudo is used for apt-get only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/packages.sh
source "$here/packages.sh"

say() { printf 'install-deps: %s\n' "$@"; }
fail() { printf 'install-deps: %s\n' "$@" >&2; exit 1; }

[ $# -gt 0 ] || fail "usage: $0 run|build|test|package ..."
wanted=()
with_tests=0
for set in "$@"; do
  case $set in
    run) wanted+=("${WSX_RUN_PACKAGES[@]}") ;;
    build) wanted+=("${WSX_BUILD_PACKAGES[@]}") ;;
    test) wanted+=("${WSX_TEST_PACKAGES[@]}"); with_tests=1 ;;
    package) wanted+=("${WSX_PACKAGE_PACKAGES[@]}") ;;
    *) fail "unknown package set '$set' (run, build, test or package)" ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing_of() { local p; for p in "$@"; do installed "$p" || echo "$p"; done; }
# The packages apt would remove to install "$@", one a line (a simulation: changes nothing;
# without --no-remove, so that apt names what it would remove instead of giving up).
removals_for() {
  apt-get -s -q install --no-install-recommends "$@" 2>/dev/null | sed -n 's/^Remv \([^ ]*\).*/\1/p'
}
# The package names a Conflicts/Breaks field lists, one a line, without versions.
relation_names() { tr ',|' '\n\n' | sed 's/(.*//; s/:any//; s/[[:space:]]//g' | grep -v '^$' || true; }

# The private sound server of the tests: what the desktop already runs decides where it can.
sound=
[ "$with_tests" = 1 ] && sound=${WSX_TEST_SOUND_SERVER:-}
if [ "$with_tests" = 1 ] && [ -z "$sound" ]; then
  if installed pulseaudio; then sound=pulseaudio
  elif installed pipewire-pulse || installed pipewire-audio; then sound=pipewire
  fi
fi
case $sound in
  pulseaudio) wanted+=("${WSX_PULSEAUDIO_TEST_PACKAGES[@]}") ;;
  pipewire) wanted+=("${WSX_PIPEWIRE_TEST_PACKAGES[@]}") ;;
  '') ;;
  *) fail "WSX_TEST_SOUND_SERVER must be pulseaudio or pipewire, not '$sound'" ;;
esac

mapfile -t missing < <(missing_of "${wanted[@]}" | awk '!seen[$0]++')
if [ ${#missing[@]} -eq 0 ] && { [ "$with_tests" = 0 ] || [ -n "$sound" ]; }; then
  say "all packages of '$*' are installed"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
elif command -v sudo >/dev/null 2>&1; then
  say "sudo is asked for to install packages (apt-get only)"
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
else
  fail "需要 root 权限安装软件包：${missing[*]}" \
       "installing packages needs root: run as root: apt-get install --no-remove ${missing[*]}"
fi

"${as_root[@]}" apt-get update -q >/dev/null

if [ "$with_tests" = 1 ] && [ -z "$sound" ]; then
  if [ -z "$(removals_for "${WSX_PULSEAUDIO_TEST_PACKAGES[@]}")" ]; then
    sound=pulseaudio
    missing+=("${WSX_PULSEAUDIO_TEST_PACKAGES[@]}")
  else
    sound=pipewire
    mapfile -t -O ${#missing[@]} missing < <(missing_of "${WSX_PIPEWIRE_TEST_PACKAGES[@]}")
  fi
fi
[ "$with_tests" = 1 ] && say "the tests will start a private $sound server"
[ ${#missing[@]} -gt 0 ] || exit 0

mapfile -t removed < <(removals_for "${missing[@]}")
if [ ${#removed[@]} -gt 0 ]; then
  {
    echo "install-deps: 安装 ${missing[*]} 需要删除已经安装的软件包。本脚本从不删除软件包，已停止，系统没有任何改变。"
    echo "install-deps: installing ${missing[*]} would remove installed packages. This script never removes a package: it stopped and changed nothing."
    for r in "${removed[@]}"; do
      reason=
      for p in "${missing[@]}"; do
        if dpkg-query -W -f='${Conflicts},${Breaks}' "$r" 2>/dev/null | relation_names | grep -qx "$p" ||
           apt-cache show --no-all-versions "$p" 2>/dev/null |
             sed -n 's/^\(Conflicts\|Breaks\): //p' | relation_names | grep -qx "$r"; then
          reason="与 $p 冲突 / conflicts with $p"
          break
        fi
      done
      echo "  - $r：${reason:-依赖将被删除的软件包 / depends on a package that would be removed}"
    done
  } >&2
  exit 1
fi

say "installing ${missing[*]}"
"${as_root[@]}" apt-get install -y -q --no-remove --no-install-recommends "${missing[@]}"
