#!/usr/bin/env bash
# The pure core (every file under src/<layer>/ outside the qt/ folders) must not include Qt.
set -u
top=${1:-.}
hits=$(find "$top/src" -path '*/qt' -prune -o -path "$top/src/app" -prune -o \
            \( -name '*.cpp' -o -name '*.h' \) -print |
       xargs -r grep -nE '#\s*include\s*[<"](Q[A-Za-z]*|qt[a-z]*/)' )
if [ -n "$hits" ]; then echo "Qt headers in the core:"; echo "$hits"; exit 1; fi
echo "core is std-only"
