#!/usr/bin/env bash
# The bash completion as the shell runs it: subcommands, options per subcommand, and
# port names (device paths and by-id links) taken from the real 'kxboot-cli ports'.
# Usage: completion-test.sh SCRIPT CLI-FOLDER
set -u
script=$1
PATH=$2:$PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/by-id"
ln -s /dev/null "$work/by-id/usb-Test_Adapter_X-if00-port0"
export KXBOOT_PORTS=/dev/null KXBOOT_SERIAL_BY_ID=$work/by-id KXBOOT_LOCK_DIR=$work
# shellcheck source=/dev/null
source "$script"

failures=0
complete_line() {  # the replies to "WORDS ON THE LINE", sorted, one space apart
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kxboot_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' '
}
expect() {  # expect "WORDS ON THE LINE" "EXPECTED REPLIES"
    local got
    got=$(complete_line "$1")
    [[ $got == "$2" ]] && return
    echo "FAIL: '$1' gave '$got', expected '$2'"
    failures=$((failures + 1))
}
# The machine's own ports come too; these must be among the replies, and `absent` not.
expect_ports() {  # expect_ports "WORDS ON THE LINE" "PRESENT..." "ABSENT"
    local got word
    got=" $(complete_line "$1") "
    for word in $2; do
        [[ $got == *" $word "* ]] || { echo "FAIL: '$1' gave '$got', lacking '$word'"; failures=$((failures + 1)); }
    done
    [[ -z $3 || $got != *" $3 "* ]] || { echo "FAIL: '$1' gave '$got', with '$3'"; failures=$((failures + 1)); }
}

expect "kxboot-cli lo" "load"
expect "kxboot-cli p" "patch-and-load ports"
expect "kxboot-cli d" "doctor"
expect "kxboot-cli --v" "--version"
expect "kxboot-cli load x.rom --re" "--repeat --report"
expect_ports "kxboot-cli load x.rom --port " "$work/by-id/usb-Test_Adapter_X-if00-port0 /dev/null all" ""
expect_ports "kxboot-cli address --port " "$work/by-id/usb-Test_Adapter_X-if00-port0 /dev/null" "all"
expect_ports "kxboot-cli address --port " "/dev/null" "free"
expect "kxboot-cli info --" "--help --json"
expect "kxboot-cli doctor --" "--help --json"
expect_ports "kxboot-cli doctor " "$work/by-id/usb-Test_Adapter_X-if00-port0 /dev/null" "all"
expect "kxboot-cli erase-and-load x.rom --port /dev/null --c" "--clock"
expect "kxboot-cli load x.rom --line-mode " "0 1 2 auto"
exit $((failures > 0))
