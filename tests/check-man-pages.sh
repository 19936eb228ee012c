#!/usr/bin/env bash
# The manual pages and the bash completion against the programs' own help: every command and
# option that a program's help lists is in its manual page and offered by the completion, and
# neither names one the program does not have.
#   check-man-pages.sh SOURCE_DIR TAVO_CLI_FULL TAVO_DEVSIM TAVO
set -uo pipefail
src=$1 cli=$2 devsim=$3 gui=$4
fail=0
say() { echo "check-man-pages: $*" >&2; fail=1; }

# --- what the help of tavo-cli lists: "analyze", "device read", "net configure", ...
cli_help=$("$cli" help) || { say "tavo-cli help failed"; exit 1; }
usage_lines=$(printf '%s\n' "$cli_help" | awk '/^  [a-z]/ || /^ +tavo-cli [a-z]/' |
    sed -E 's/^ +(tavo-cli )?//')
help_commands=$(printf '%s\n' "$usage_lines" | awk '
    { cmd = $1
      if (cmd != "device" && cmd != "net") { print cmd; next }
      rest = substr($0, length(cmd) + 2)
      n = split(rest, parts, / \| /)
      for (i = 1; i <= n; i++) {
          p = parts[i]; sub(/^(device|net) /, "", p); split(p, w, " ")
          m = split(w[1], alts, "|")
          for (j = 1; j <= m; j++) print cmd " " alts[j]
      } }' | sort -u)
help_options=$(printf '%s\n' "$cli_help" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)

# --- what the manual page lists: "*analyze*", "*device read*" at the start of a line
page=$src/docs/man/tavo-cli.1.scd
commands_section=$(awk '/^# COMMANDS/ { on = 1; next } /^# / { on = 0 } on' "$page")
man_commands=$(printf '%s\n' "$commands_section" | grep -oE '^\*(device |net )?[a-z][a-z-]*\*' |
    tr -d '*' | sort -u)
man_options=$(grep -oE -- '\*--[a-z][a-z0-9-]*\*' "$page" | tr -d '*' | sort -u)

compare() { # WHAT HELP_LIST OTHER_LIST OTHER_NAME
    local missing extra
    missing=$(comm -23 <(printf '%s\n' "$2" | sort -u) <(printf '%s\n' "$3" | sort -u))
    extra=$(comm -13 <(printf '%s\n' "$2" | sort -u) <(printf '%s\n' "$3" | sort -u))
    [ -z "$missing" ] || say "$1 in the help but not in $4:" $missing
    [ -z "$extra" ] || say "$1 in $4 but not in the help:" $extra
}
compare "tavo-cli commands" "$help_commands" "$(printf '%s\n' "$man_commands" | grep -vx help)" \
    "tavo-cli(1)"
compare "tavo-cli options" "$help_options" "$man_options" "tavo-cli(1)"

# --- the completion offers the same commands and, for each, the options its usage names
completion=$src/data/completion/tavo-cli
offered=$(bash -c '
    source "$1"
    ask() { COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tavo_cli; printf "%s\n" "${COMPREPLY[@]}"; }
    ask tavo-cli "" | grep -v "^-" | grep -vx help
    ask tavo-cli device "" | sed "s/^/device /"
    ask tavo-cli net "" | sed "s/^/net /"' _ "$completion" | sort -u)
top_only=$(printf '%s\n' "$help_commands" | sed -E 's/^(device|net) .*/\1/' | sort -u)
compare "tavo-cli commands" "$(printf '%s\n%s\n' "$help_commands" "$top_only" | sort -u)" \
    "$offered" "the bash completion"
while IFS= read -r line; do
    [ -n "$line" ] || continue
    cmd=${line%% *}
    segments=$line
    [ "$cmd" = device ] || [ "$cmd" = net ] || segments="$cmd"
    # one check per command key: the options of its own usage segment
    printf '%s\n' "$line" | awk -v c="$cmd" '
        { if (c != "device" && c != "net") { print c "\t" $0; next }
          rest = substr($0, length(c) + 2); n = split(rest, parts, / \| /)
          for (i = 1; i <= n; i++) { p = parts[i]; sub(/^(device|net) /, "", p); split(p, w, " ")
              m = split(w[1], alts, "|"); for (j = 1; j <= m; j++) print c " " alts[j] "\t" p } }'
done <<<"$usage_lines" | while IFS=$'\t' read -r key text; do
    wanted=$(printf '%s\n' "$text" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
    [ -n "$wanted" ] || continue
    got=$(bash -c 'source "$1"; _tavo_cli_options "$2"' _ "$completion" "$key" | tr ' ' '\n' |
        sort -u)
    missing=$(comm -23 <(printf '%s\n' "$wanted") <(printf '%s\n' "$got"))
    [ -z "$missing" ] || { echo "check-man-pages: completion of '$key' lacks:" $missing >&2; exit 1; }
done || fail=1

# --- tavo-devsim: options and fault kinds
devsim_help=$("$devsim" --help) || say "tavo-devsim --help failed"
page=$src/docs/man/tavo-devsim.1.scd
compare "tavo-devsim options" "$(printf '%s\n' "$devsim_help" | grep -oE -- '--[a-z][a-z0-9-]*')" \
    "$(grep -oE -- '\*--[a-z][a-z0-9-]*\*' "$page" | tr -d '*')" "tavo-devsim(1)"
compare "tavo-devsim faults" "$(printf '%s\n' "$devsim_help" | grep -oE '^  [a-z]+:' | sed 's/^ *//; s/:$//')" \
    "$(grep -oE '^\s*\*[a-z]+\*:' "$page" | tr -d '*: \t')" "tavo-devsim(1)"

# --- tavo: its options
gui_help=$("$gui" --help) || say "tavo --help failed"
compare "tavo options" "$(printf '%s\n' "$gui_help" | grep -oE -- '^  --[a-z][a-z0-9-]*' | sed 's/^ *//')" \
    "$(grep -oE -- '\*--[a-z][a-z0-9-]*\*' "$src/docs/man/tavo.1.scd" | tr -d '*')" "tavo(1)"

# --- every program answers --version with the same version
v_cli=$("$cli" --version) v_devsim=$("$devsim" --version) v_gui=$("$gui" --version)
[ "${v_cli#tavo-cli }" = "${v_devsim#tavo-devsim }" ] && [ "${v_cli#tavo-cli }" = "${v_gui#tavo }" ] ||
    say "the versions differ: '$v_cli', '$v_devsim', '$v_gui'"
[ "$("$cli" version)" = "$v_cli" ] || say "'tavo-cli version' differs from --version"

[ $fail -eq 0 ] && echo "check-man-pages: the help, manual pages and completion agree"
exit $fail
