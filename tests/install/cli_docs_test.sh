#!/usr/bin/env bash
# Every command, subcommand and option that vantrelctl's own --help lists is offered by
# the bash completion and named in the manual page, so neither falls behind the program.
# Usage: cli_docs_test.sh VANTRELCTL COMPLETION_FILE MANPAGE   (exit 77: no bash-completion)
set -uo pipefail
ctl=$1 completion=$2 manpage=$3
[ -f /usr/share/bash-completion/bash_completion ] || exit 77
source /usr/share/bash-completion/bash_completion
source "$completion"

complete_line() {
  COMP_LINE=$1
  COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _vantrelctl vantrelctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}
# The subcommands and the long options (without --help) of one --help text.
subcommands() { "$ctl" "$@" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }'; }
options() {
  "$ctl" "$@" --help | sed -n '/^Options:/,/^$/p' | grep -oE '^  (-h,)?--[a-z-]+' | sed 's/^ *\(-h,\)\?//' | grep -vx -- --help
}

man_text=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$manpage")
fail=0
check() {  # LINE WORD: the completion of LINE offers WORD and the manual names it
  complete_line "$1"
  [[ " ${COMPREPLY[*]} " == *" $2 "* ]] || { echo "FAILED: completion of [$1] lacks $2"; fail=1; }
  grep -qF -- "$2" <<<"$man_text" || { echo "FAILED: manual page does not name $2"; fail=1; }
}

for o in $(options); do check "vantrelctl --" "$o"; done
commands=$(subcommands)
[ -n "$commands" ] || { echo "FAILED: no commands in vantrelctl --help"; exit 1; }
for c in $commands; do
  check "vantrelctl " "$c"
  for o in $(options "$c"); do check "vantrelctl $c --" "$o"; done
  for s in $(subcommands "$c"); do
    check "vantrelctl $c " "$s"
    for o in $(options "$c" "$s"); do check "vantrelctl $c $s --" "$o"; done
  done
done
exit $fail
