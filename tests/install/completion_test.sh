#!/usr/bin/env bash
# Drives vantrelctl's generated bash completion as bash would and checks what it offers:
# commands, options, option values, and key names that hold spaces or quote characters.
# Usage: completion_test.sh COMPLETION_FILE   (exit 77: bash-completion is not installed)
set -uo pipefail
[ -f /usr/share/bash-completion/bash_completion ] || exit 77
source /usr/share/bash-completion/bash_completion
source "$1"

fail=0
# complete LINE: COMPREPLY for the cursor at the end of LINE, words split as bash does
# (a trailing space starts an empty word).
complete_line() {
  COMP_LINE=$1
  COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _vantrelctl vantrelctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}
# expect LINE WORD...: every WORD is offered.
expect() {
  local line=$1 w got
  shift
  complete_line "$line"
  got=" ${COMPREPLY[*]} "
  for w in "$@"; do
    [[ $got == *" $w "* ]] || { echo "FAILED: [$line] lacks $w; got:$got"; fail=1; }
  done
}
# expect_none LINE: nothing is offered.
expect_none() {
  complete_line "$1"
  [ ${#COMPREPLY[@]} -eq 0 ] || { echo "FAILED: [$1] offers ${COMPREPLY[*]}"; fail=1; }
}

expect "vantrelctl " status keys macros lighting colours backup sim
expect "vantrelctl --" --simulate --sim-fault --sim-quirk --trace --language
expect "vantrelctl --sim-quirk " offset-zero state-noise lighting-normalised
expect "vantrelctl --sim-quirk offset-zero,li" offset-zero,lighting-normalised
expect "vantrelctl --simulate li" lighting
expect "vantrelctl lighting set --" --effect --direction --report-rate --profile
expect "vantrelctl lighting set --direction " left right up down out in
expect "vantrelctl --language " 1033 2052 1028 1036 3076
expect "vantrelctl keys set Ca" 'Caps\ Lock'
expect "vantrelctl keys set --profile 1 caps" 'Caps\ Lock'
expect "vantrelctl keys set G1" G1 G10 G18
expect "vantrelctl keys set Esc " default disabled key: mouse: macro:
expect "vantrelctl keys set Esc mouse:" left right wheel-up
expect "vantrelctl colours paint Num" 'Num\ \*' 'Num\ Enter'
expect "vantrelctl colours paint \\'" "\\'"
expect "vantrelctl macros add name Es" Esc+ Esc-
# Text macros: the layouts and variants of the system's XKB list; the text and the delay
# are not completed.
if [ -r /usr/share/X11/xkb/rules/evdev.lst ]; then
  expect "vantrelctl macros add name --text hi --layout d" de
  expect "vantrelctl macros add name --layout us" us 'us(dvorak)'
fi
expect_none "vantrelctl macros add name --text "
expect_none "vantrelctl macros add name --delay "
expect "vantrelctl sim " dump reset unplug plug
expect_none "vantrelctl keys set Esc default "
expect_none "vantrelctl sim dump "
exit $fail
