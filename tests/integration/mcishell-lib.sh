# Shared by the mcishell scripts that talk to a real server: source it after starting
#   coproc MCI { "$build/mcishell"; }
fail() { echo "FAIL: $*"; exit 1; }
# a and b differ by at most t.
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { exit !(a - b <= t && b - a <= t) }'; }
# Sends one command that must succeed; its answer line ("0" or '0 "reply"') is left in
# $answer and the reply alone in $reply. (No subshells: they do not see the coprocess.)
expect0() {
  echo "$1" >&"${MCI[1]}"
  IFS= read -r answer <&"${MCI[0]}" || fail "mcishell ended at '$1'"
  [ "${answer%% *}" = 0 ] || fail "'$1' answered $answer"
  reply=$(sed -n 's/^0 "\(.*\)"$/\1/p' <<<"$answer")
}
