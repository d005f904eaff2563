#!/usr/bin/env bash
# scripts/install-deps.sh against stand-in apt-get, apt-cache, dpkg-query and sudo on the
# PATH: what each package set asks apt for, on a PipeWire desktop (GNOME's pipewire-audio,
# which conflicts with pulseaudio) and on a bare machine, and that no call can remove a
# package. Nothing is installed; the stand-ins only log.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/packages.sh
source "$root/scripts/packages.sh"
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
mkdir -p "$fake/bin" "$fake/conflicts"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cat >"$fake/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
format=${2#-f=}; pkg=$3
case $format in
  '${Status}') grep -qx "$pkg" "$FAKE/status" && echo "install ok installed" || exit 1 ;;
  *) cat "$FAKE/conflicts/$pkg" 2>/dev/null || exit 1 ;;
esac
STUB
cat >"$fake/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$FAKE/apt.log"
case " $* " in *" -s "*) ;; *) exit 0 ;; esac
for p in "$@"; do
  case $p in -*|install) continue ;; esac
  echo "Inst $p (1.0 Debian:12/stable [amd64])"
  sed -n "s/^$p removes //p" "$FAKE/removals" 2>/dev/null | tr ' ' '\n' | sed '/^$/d; s/^/Remv /'
done
STUB
printf '#!/bin/sh\nexit 0\n' >"$fake/bin/apt-cache"
printf '#!/bin/sh\necho "sudo $*" >>"$FAKE/apt.log"\nexec "$@"\n' >"$fake/bin/sudo"
chmod +x "$fake/bin/"*
export FAKE=$fake PATH="$fake/bin:$PATH"
unset WSX_TEST_SOUND_SERVER

desktop() {  # a stock Debian 12 GNOME desktop, sound through PipeWire
  printf '%s\n' pipewire pipewire-pulse wireplumber pipewire-audio pipewire-alsa gnome-core \
    task-gnome-desktop >"$fake/status"
  echo "pulseaudio removes pipewire-audio gnome-core task-gnome-desktop" >"$fake/removals"
  echo "pulseaudio, pulseaudio-module-bluetooth" >"$fake/conflicts/pipewire-audio"
}
bare() { : >"$fake/status"; : >"$fake/removals"; }
# The apt-get calls that would change the system (simulations, -s, change nothing).
real_installs() { grep -Ev -- '(^| )-s( |$)' "$fake/apt.log"; }
# run SETS...: runs install-deps, leaving its output in $out, its status in $rc and the
# packages of its install calls in $installed.
run() {
  : >"$fake/apt.log"
  out=$(bash "$root/scripts/install-deps.sh" "$@" 2>&1); rc=$?
  installed=$(real_installs | grep -E '(^| )install ' | tr ' ' '\n' | grep -v '^-' |
              grep -vx 'install\|sudo\|env\|DEBIAN_FRONTEND=noninteractive' | sort -u)
  # Whatever is asked, no install call may be allowed to remove a package.
  if real_installs | grep -E '(^| )install ' | grep -qv -- '--no-remove'; then
    fail "an install call without --no-remove: $(cat "$fake/apt.log")"
  fi
  if grep -qE '(^| )(remove|purge|autoremove)( |$)' "$fake/apt.log"; then
    fail "apt was asked to remove: $(cat "$fake/apt.log")"
  fi
}
asks_for() { grep -qx "$1" <<<"$installed"; }

desktop
run run build
[ "$rc" = 0 ] || fail "run build on the desktop: exit $rc: $out"
for p in "${WSX_TEST_PACKAGES[@]}" pulseaudio pipewire wireplumber; do
  asks_for "$p" && fail "the run command asks for the test package $p"
done
for p in "${WSX_RUN_PACKAGES[@]}" "${WSX_BUILD_PACKAGES[@]}"; do
  asks_for "$p" || fail "the run command does not ask for $p"
done

run run build test
[ "$rc" = 0 ] || fail "run build test on the desktop: exit $rc: $out"
asks_for pulseaudio && fail "the test command asks for pulseaudio on a PipeWire desktop"
asks_for libgtest-dev || fail "the test command does not ask for the test packages"
grep -q 'private pipewire server' <<<"$out" || fail "the PipeWire desktop's tests are not told to use PipeWire: $out"

WSX_TEST_SOUND_SERVER=pulseaudio run run build test
[ "$rc" != 0 ] || fail "pulseaudio forced onto the PipeWire desktop did not stop the script"
[ -z "$installed" ] || fail "it installed although apt would have removed packages: $installed"
grep -q 'pipewire-audio：与 pulseaudio 冲突 / conflicts with pulseaudio' <<<"$out" ||
  fail "the conflict is not named: $out"
grep -q 'gnome-core：.*depends on a package that would be removed' <<<"$out" ||
  fail "gnome-core's removal is not explained: $out"

bare
run run build test
[ "$rc" = 0 ] || fail "run build test on a bare machine: exit $rc: $out"
asks_for pulseaudio || fail "a bare machine's tests do not get PulseAudio"
asks_for pipewire && fail "a bare machine gets PipeWire as well"

printf '%s\n' "${WSX_RUN_PACKAGES[@]}" >"$fake/status"
run run
[ "$rc" = 0 ] && [ ! -s "$fake/apt.log" ] || fail "apt was called with everything installed: $(cat "$fake/apt.log")"

run run nonsense
[ "$rc" != 0 ] || fail "an unknown package set was accepted"

[ "$failures" = 0 ] && echo "install-deps: every case passed"
exit $((failures > 0))
