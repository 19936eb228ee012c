#!/usr/bin/env bash
# The layers include only downwards:
#   edid < link < ui (widgets shared by the pages) < workspace, maintenance, discovery < app
# A file may include its own layer, the layers below it, and the peers beside it; a core file
# (outside the qt/ folders and the shell) never includes a qt/ header; nothing outside src/app and the tests
# includes src/app. Prints each offending include and exits 1.
set -u
top=${1:-.}
rank() {
    case $1 in
        edid) echo 0 ;; link) echo 1 ;; ui) echo 2 ;;
        workspace | maintenance | discovery) echo 3 ;; app) echo 4 ;; *) echo -1 ;;
    esac
}
bad=0
while IFS= read -r file; do
    rel=${file#"$top"/src/}
    layer=${rel%%/*}
    own=$(rank "$layer")
    core=1
    case $rel in */qt/* | app/*) core=0 ;; esac
    while IFS=: read -r line target; do
        to=${target%%/*}
        r=$(rank "$to")
        [ "$r" -lt 0 ] && continue
        if [ "$r" -gt "$own" ]; then
            echo "src/$rel:$line includes $target: $to is above $layer"; bad=1
        elif [ $core -eq 1 ] && [[ $target == */qt/* ]]; then
            echo "src/$rel:$line includes $target: the core includes no qt/ header"; bad=1
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(find "$top/src" \( -name '*.cpp' -o -name '*.h' \) | sort)
# the programs beside the GUI (tools, benchmarks) never reach into the window's shell
while IFS= read -r hit; do
    echo "${hit#"$top"/} includes the application shell"; bad=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"app/' "$top/tools" "$top/bench" 2>/dev/null)
if [ $bad -ne 0 ]; then exit 1; fi
echo "every include points to its own layer or below"
