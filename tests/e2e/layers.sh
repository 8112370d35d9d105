#!/usr/bin/env bash
# Checks that every include points down the layers: core sees only core and
# the public headers, formats add themselves, the command line adds itself;
# the public headers see public headers only and name nothing internal; the
# tools, the binding and the benchmarks see public headers, their own
# headers and third-party ones; the engine (core and formats) makes no
# system calls, and its umbrella header leaves the program's headers out.
# Given the built engine library (and nm), checks that it leaves no system
# function for the linker to find and defines every function the engine's
# headers declare.
#   layers.sh SOURCE_DIR [ENGINE_LIBRARY [NM]]
set -u
engine_library=${2:-}
nm_tool=${3:-nm}
cd "$1" || exit 2
status=0
fail() { # heading, offending lines
    echo "$1:"
    echo "$2"
    status=1
}
sources() { # folders...: the C++ files below them
    find "$@" -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort
}

# The public headers: those in include/hxrate, and version.h, which the
# build makes from cmake/version.h.in.
public_headers=$( (ls include/hxrate; echo version.h) | sort -u | tr '\n' '|')
public_headers=${public_headers%|}
# The program's public headers, which the engine's never include.
program_headers='program\.h|output_file\.h|files\.h|case_files\.h'

check() { # folder, pattern of quoted includes that are allowed
    local folder=$1 allowed=$2 bad
    [ -d "$folder" ] || return 0
    bad=$(grep -rnE '^#include "' "$folder" --include='*.h' --include='*.cpp' |
        grep -vE "#include \"($allowed)" || true)
    [ -z "$bad" ] || fail "includes in $folder that point up or sideways" "$bad"
}
check src/core 'core/|hxrate/'
check src/format 'core/|format/|hxrate/'
check src/cli 'core/|format/|cli/|hxrate/'

# Public headers include public headers only, and no header of src/.
bad=$(grep -nE '^#include' include/hxrate/*.h |
    grep -E '#include ["<](core|format|cli)/|#include ["<]hxrate/' |
    grep -vE "#include [\"<]hxrate/($public_headers)[\">]" || true)
bad+=$(grep -nE '^#include "' include/hxrate/*.h | grep -vE '#include "hxrate/' || true)
[ -z "$bad" ] && [ -f cmake/version.h.in ] ||
    fail "public headers that include a header that is not public" "$bad"

# Public headers name nothing internal: no type that src/ declares, no
# checked arithmetic, no constant of the internal table k::.
internal=$(grep -rhoE '^\s*(struct|class|enum class|enum|using) [A-Z][A-Za-z0-9_]*' src \
    --include='*.h' | awk '{print $NF}' | sort -u | tr '\n' '|')
bad=$(grep -nwE "(${internal%|})" include/hxrate/*.h | grep -vE ':[0-9]+:\s*//' || true)
bad+=$(grep -nE '\bchecked\(|\bk::|TextOutputFile' include/hxrate/*.h || true)
[ -z "$bad" ] || fail "public headers that name internals" "$bad"

# Tools, the binding and the benchmarks: public headers, their own headers
# ("name.h") and third-party ones (<...>), never a header of src/.
# march_bench.cpp times the core's march against a bare loop of the same
# arithmetic: a white-box benchmark, it may include core headers, as the
# unit tests do, and nothing above them. The benchmarks may take the example
# streams the tests take (tests/support, public headers only).
outside() { # folder, pattern of src/ layers also allowed
    local folder=$1 allowed=$2 bad
    [ -d "$folder" ] || return 0
    bad=$(sources "$folder" | xargs grep -nE '^#include' /dev/null |
        grep -vE "#include [\"<]hxrate/($public_headers)[\">]" |
        grep -E '#include ["<](hxrate|core|format|cli)/|#include "[^"]*/' |
        { if [ -n "$allowed" ]; then grep -vE "$allowed"; else cat; fi; } || true)
    [ -z "$bad" ] || fail "includes in $folder beyond the public headers" "$bad"
}
for tool in tools/*/; do outside "$tool" ''; done
outside python ''
outside bench '^bench/march_bench\.cpp:[0-9]+:#include "core/|:#include "support/example_streams\.h"'

# The engine makes no system calls: no POSIX header in core or formats.
bad=$(sources src/core src/format | xargs grep -nE \
    '^#include <(unistd|fcntl|dirent|poll|pwd|grp|signal)\.h>|^#include <sys/' /dev/null || true)
[ -z "$bad" ] || fail "system headers in the engine (core and formats)" "$bad"

# Nor does the built library: none of the system's file, descriptor or
# process functions is among the names it leaves undefined.
system_calls='(open|openat|creat|read|write|pread|pwrite|readv|writev|close|dup[23]?|fcntl|ioctl'
system_calls+='|f?stat|lstat|fstatat|statx|access|faccessat|lseek|unlink(at)?|rename(at2?)?'
system_calls+='|mkdir(at)?|rmdir|opendir|fdopendir|readdir|closedir|fsync|fdatasync|flock'
system_calls+='|mmap|munmap|mkstemp|getcwd|chdir|fchdir|poll|select|pipe2?|fork|execve|waitpid'
system_calls+=')(64)?|__(f|l)?xstat(at)?(64)?'
if [ -n "$engine_library" ]; then
    if undefined=$("$nm_tool" -u "$engine_library" 2>&1); then
        bad=$(echo "$undefined" | awk '$1 == "U" { print $2 }' | grep -xE "$system_calls" |
            sort -u || true)
        [ -z "$bad" ] || fail "system functions that $engine_library calls" "$bad"
    else
        fail "the undefined names of $engine_library (with $nm_tool)" "$undefined"
    fi
fi

# Every function the engine's headers declare (at namespace scope, not
# defined inline) is defined in the engine library, so that a consumer
# linking hxrate::hxrate alone never meets an undefined name.
declared_functions() { # header: the names it declares, one a line
    perl -0777 -ne 's{//[^\n]*}{}g; s{/\*.*?\*/}{}gs; s/\{\s*\}//g;
        while (/^(?![ \t#}])([A-Za-z_][\w:<>,*& \t]*?)\b([A-Za-z_]\w*)\s*\(([^;{}]*)\)[\w \t]*;/mg) {
            my ($head, $name) = ($1, $2);
            print "$name\n" unless $head =~ /\b(using|typedef|return|friend|inline|constexpr|template)\b/
                || $name eq "operator";
        }' "$1"
}
if [ -n "$engine_library" ]; then
    if symbols=$("$nm_tool" -C --defined-only "$engine_library" 2>&1); then
        defined=$(echo "$symbols" | awk '$2 == "T" || $2 == "W"' |
            grep -oE 'hxrate::([A-Za-z_][A-Za-z0-9_]*::)*[A-Za-z_][A-Za-z0-9_]*(\[abi:[a-z0-9]+\])?\(' |
            sed -E 's/\[abi:[a-z0-9]+\]//; s/.*::([A-Za-z0-9_]+)\($/\1/' | sort -u)
        bad=$(for header in $(ls include/hxrate/*.h | grep -vE "/($program_headers)$"); do
            declared_functions "$header" | sort -u | comm -23 - <(echo "$defined") |
                sed "s|^|$header: |"
        done)
        [ -z "$bad" ] || fail "functions the engine's headers declare and $engine_library does not define" "$bad"
    else
        fail "the defined names of $engine_library (with $nm_tool)" "$symbols"
    fi
fi

# The engine's umbrella and headers leave the program's headers out.
engine_headers=$(ls include/hxrate/*.h | grep -vE "/($program_headers)$")
bad=$(grep -nE "#include [\"<]hxrate/($program_headers)[\">]" $engine_headers /dev/null || true)
[ -z "$bad" ] || fail "engine headers that include the program's" "$bad"

[ $status = 0 ] && echo "every include points down"
exit $status
