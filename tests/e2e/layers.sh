#!/usr/bin/env bash
# Checks that every include points down the layers: core sees only core and
# the public headers, formats add themselves, the command line adds itself,
# and the tools, the binding and the public headers see public headers only.
#   layers.sh SOURCE_DIR
set -u
cd "$1" || exit 2
status=0
check() { # folder, pattern of quoted includes that are allowed
    local folder=$1 allowed=$2 bad
    [ -d "$folder" ] || return 0
    bad=$(grep -rnE '^#include "' "$folder" --include='*.h' --include='*.cpp' |
        grep -vE "#include \"($allowed)" || true)
    if [ -n "$bad" ]; then
        echo "includes in $folder that point up or sideways:"
        echo "$bad"
        status=1
    fi
}
check src/core 'core/|hxrate/'
check src/format 'core/|format/|hxrate/'
check src/cli 'core/|format/|cli/|hxrate/'
check include/hxrate 'hxrate/'
for tool in tools/*/; do check "$tool" 'hxrate/|[a-z_]+\.h"'; done
check python 'hxrate/|[a-z_]+\.h"'
[ $status = 0 ] && echo "every include points down"
exit $status
