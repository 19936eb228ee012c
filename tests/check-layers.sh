#!/usr/bin/env bash
# The layers include only downwards:
#   edid < link < ui (widgets shared by the pages) < workspace, maintenance, discovery < app
# A file may include its own layer, the layers below it, and the peers beside it; a core file
# (outside the qt/ folders and the shell) never includes a qt/ header; nothing outside src/app and the tests
# includes src/app.
# The workspace lives in rooms, each a core with its qt/ beside it: every workspace file is in a
# room of `rooms` below, and a room's core includes, of the other rooms, only the cores of those
# listed after it (qt/ headers never, as for every core).
# Second rule: each page owns its controls. An object name that a layout file (*Layout.cpp) gives a
# control is written in quotes, on the Qt side, only in that page's own files (its layout and the
# behaviour named beside it in `pages` below) and in the tests; another page hears of a change by
# a signal. (The core's tables that name numbered families are no lookup.)
# Prints each offence and exits 1.
set -u
top=${1:-.}
rank() {
    case $1 in
        edid) echo 0 ;; link) echo 1 ;; ui) echo 2 ;;
        workspace | maintenance | discovery) echo 3 ;; app) echo 4 ;; *) echo -1 ;;
    esac
}
# room -> the rooms whose cores its core may include
rooms=(
    "analysis:"
    "sources:analysis"
    "compose:analysis sources"
    "creator:analysis sources"
)
room_uses() { # room -> the rooms below it, or "?" for a folder that is no room
    local entry
    for entry in "${rooms[@]}"; do
        [ "${entry%%:*}" = "$1" ] && { echo "${entry#*:}"; return; }
    done
    echo "?"
}
bad=0
while IFS= read -r file; do
    rel=${file#"$top"/src/}
    layer=${rel%%/*}
    own=$(rank "$layer")
    core=1
    case $rel in */qt/* | app/*) core=0 ;; esac
    room=""
    if [ "$layer" = workspace ]; then
        room=${rel#workspace/}
        room=${room%%/*}
        below=$(room_uses "$room")
        if [ "$room" = "${rel#workspace/}" ] || [ "$below" = "?" ]; then
            echo "src/$rel is in no room of the workspace (${rooms[*]%%:*})"; bad=1
            room=""
        fi
    fi
    while IFS=: read -r line target; do
        to=${target%%/*}
        r=$(rank "$to")
        [ "$r" -lt 0 ] && continue
        if [ "$r" -gt "$own" ]; then
            echo "src/$rel:$line includes $target: $to is above $layer"; bad=1
        elif [ $core -eq 1 ] && [[ $target == */qt/* ]]; then
            echo "src/$rel:$line includes $target: the core includes no qt/ header"; bad=1
        elif [ $core -eq 1 ] && [ -n "$room" ] && [ "$to" = workspace ]; then
            other=${target#workspace/}
            other=${other%%/*}
            if [ "$other" != "$room" ] && [[ " $below " != *" $other "* ]]; then
                echo "src/$rel:$line includes $target: the $room core includes" \
                     "${below:+only the cores of $below, }no $other header"; bad=1
            fi
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(find "$top/src" \( -name '*.cpp' -o -name '*.h' \) | sort)
# the programs beside the GUI (tools, benchmarks) never reach into the window's shell
while IFS= read -r hit; do
    echo "${hit#"$top"/} includes the application shell"; bad=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"app/' "$top/tools" "$top/bench" 2>/dev/null)
# layout -> the files of its page besides the layout itself (stems, in the layout's folder)
pages=(
    "MainWindowLayout:User_interface PageCoordinator"
    "EdidControllerLayout:EdidControllerPage"
    "EdidAnalyzerLayout:EdidControllerPage"
    "EdidCreatorLayout:EdidCreatorPage"
    "HexViewLayout:HexView"
    "ComposeLayout:ComposeWindow"
    "CheckLayout:CheckWindows"
    "IpConfigureLayout:IpConfigurePage"
    "SystemLayout:SystemPage"
)
owner_of() { # layout stem -> its page's stems
    local entry
    for entry in "${pages[@]}"; do
        [ "${entry%%:*}" = "$1" ] && { echo "$1 ${entry#*:}"; return; }
    done
    echo "$1"
}
while IFS= read -r layout; do
    dir=${layout%/*}
    stem=${layout##*/}
    stem=${stem%.cpp}
    own=" $(owner_of "$stem") "
    # the names this layout creates: those it gives with setObjectName("X") or a naming helper
    # (MakeX(parent, "X", ...)), and every quoted word of its shape (Memo_Debug, TabSheet10) in
    # the tables it builds from
    names=$({ grep -ohE 'setObjectName\((QStringLiteral\()?"[A-Za-z_][A-Za-z0-9_]*"|Make[A-Za-z]*\([^,()"]+, *"[A-Za-z_][A-Za-z0-9_]*"' "$layout" |
                  grep -oE '"[A-Za-z_][A-Za-z0-9_]*"$'
              grep -ohE '"[A-Za-z][A-Za-z0-9]*(_[A-Za-z0-9_]*|[0-9])"' "$layout"; } |
            tr -d '"' | sort -u)
    [ -z "$names" ] && continue
    pattern="\"($(echo $names | tr " " "|"))\""
    while IFS= read -r file; do
        base=${file##*/}
        base=${base%.*}
        [ "${file%/*}" = "$dir" ] && [[ $own == *" $base "* ]] && continue
        while IFS= read -r hit; do
            echo "${file#"$top"/}:${hit%%:*} reaches into ${layout#"$top"/}: ${hit#*:}"; bad=1
        done < <(grep -noE "$pattern" "$file")
    done < <(find "$top/src" -path '*/qt/*' \( -name '*.cpp' -o -name '*.h' \) | sort)
done < <(find "$top/src" -name '*Layout.cpp' | sort)
if [ $bad -ne 0 ]; then exit 1; fi
echo "every include points to its own layer or below; every page's controls stay in its files"
