#!/usr/bin/env bash
# The bash completion of trelvo-cli, sourced as bash-completion loads it, completing partial
# command lines against the built program (the simulator stands in for a plugged interface).
#   completion_test.sh TRELVO_CLI COMPLETION_SCRIPT
set -uo pipefail
program=$1
script=$2

source /usr/share/bash-completion/bash_completion || {
    echo "bash-completion is not installed (scripts/lib/deps.sh lists it)"
    exit 1
}
source "$script" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir logs
touch profil.json notes.txt logs/a.csv

# The completions of a line (the cursor at its end), sorted, on one line. The words are split
# as bash splits them: at blanks, and around "=" and ":" (in COMP_WORDBREAKS).
complete_line() {
    local line="$program $1"
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$(sed -E 's/([=:]+)/ \1 /g' <<<"$line")"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _trelvo_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}

failed=0
while IFS='|' read -r line expected; do
    got=$(complete_line "$line")
    if [[ $got != "$expected" ]]; then
        echo "FAIL: trelvo-cli $line<TAB>: expected '$expected', got '$got'"
        failed=1
    fi
done <<'CASES'
mo|monitor
--sim i|info
--device 1 mon|monitor
--json|--json
monitor --co|--count
monitor --count |
info --j|--json
read --o|--output
provision p.json --w|--watch
output --led |hi lo
output --buz h|hi
--sim --device |0001A2F3
--sim --device=0|0001A2F3
--sim --usb-id 1209:57A1 --device |0001A2F3
read -o |logs notes.txt profil.json
provision --log logs/|logs/a.csv
write p|profil.json
info |
CASES
[[ $failed == 0 ]] && echo "all completions as expected"
exit $failed
