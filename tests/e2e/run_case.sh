#!/usr/bin/env bash
# Runs hxrate once on a case folder and compares every observable result.
#
#   run_case.sh HXRATE CASE_DIR
#
# CASE_DIR holds the case file (absent for a missing-case run), an optional
# setup/ folder of files that lie in the working directory beforehand, and
# expected/: exit_status, stdout, stderr_nonempty (1 or 0), and the run log
# and results file as they must be afterwards (absent = must not exist).
# expected/log_records_failure instead of an expected log: the log must hold
# a failure's diagnostic, its first line starting " run-time error ", its
# last " Calculation Terminated !!!", and never the success line.
# Every other file must stay as it was, and no file may appear (not even a
# temporary one, nor a missing case file). A file named
# readonly in CASE_DIR makes the working directory read-only (its files stay
# writable) and runs the program as an unprivileged user when run as root.
# On a mismatch the output is written beside the expected file as
# *.received and a unified diff is printed.
set -u
exe=$1
case_dir=$2
CASE=48230007640350000606.txt
RES=48230007650350000606.txt
LOG="Log file.txt"

work=$(mktemp -d)
capture=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work" "$capture"' EXIT

[ -f "$case_dir/$CASE" ] && cp "$case_dir/$CASE" "$work/"
[ -d "$case_dir/setup" ] && cp -R "$case_dir/setup/." "$work/"
chmod -R u+w "$work"
snapshot() { # every file's digest, and every other entry by type
    (cd "$work" && find . -type f -exec sha256sum {} + | sort -k2
     find . -mindepth 1 -not -type f -printf '%y %p\n' | sort)
}
snapshot >"$capture/before"

as_user=()
if [ -f "$case_dir/readonly" ]; then
    # The program is copied where the unprivileged user can reach it.
    chmod 755 "$capture"
    cp "$exe" "$capture/hxrate"
    exe="$capture/hxrate"
    find "$work" -mindepth 1 -maxdepth 1 -type f -exec chmod 666 {} +
    chmod 555 "$work"
    [ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

status=0
(cd "$work" && timeout 120 "${as_user[@]}" "$exe" </dev/null >"$capture/stdout" 2>"$capture/stderr") || status=$?

failed=0
report() { echo "MISMATCH: $*"; failed=1; }
compare_file() { # expected received label
    if ! cmp -s "$1" "$2"; then
        report "$3"
        cp "$2" "$1.received" 2>/dev/null
        diff -u --label "expected $3" --label "received $3" "$1" "$2" | head -n 60
    fi
}

expected_status=$(cat "$case_dir/expected/exit_status")
[ "$status" = "$expected_status" ] || report "exit status $status, expected $expected_status"
compare_file "$case_dir/expected/stdout" "$capture/stdout" "standard output"
nonempty=0
[ -s "$capture/stderr" ] && nonempty=1
[ "$nonempty" = "$(cat "$case_dir/expected/stderr_nonempty")" ] ||
    report "standard error nonempty=$nonempty: $(head -c 300 "$capture/stderr")"

if [ -f "$case_dir/expected/log_records_failure" ]; then
    if [ ! -f "$work/$LOG" ]; then
        report "$LOG does not record the failure: it does not exist"
    elif ! head -c 16 "$work/$LOG" | cmp -s - <(printf ' run-time error ') ||
        ! tail -c 29 "$work/$LOG" | cmp -s - <(printf ' Calculation Terminated !!!\r\n') ||
        grep -q -F ' Calculation processed successfully' "$work/$LOG"; then
        report "$LOG does not record the failure"
        head -c 400 "$work/$LOG"
    fi
fi
for f in "$LOG" "$RES"; do
    if [ "$f" = "$LOG" ] && [ -f "$case_dir/expected/log_records_failure" ]; then
        continue
    elif [ -f "$case_dir/expected/$f" ]; then
        if [ -f "$work/$f" ]; then
            compare_file "$case_dir/expected/$f" "$work/$f" "$f"
        else
            report "$f was not written"
        fi
    elif [ -f "$work/$f" ]; then
        report "$f must not exist"
    fi
done

# Every other file as before.
snapshot >"$capture/after"
grep -v -e " ./$LOG\$" -e " ./$RES\$" "$capture/before" >"$capture/before.rest"
grep -v -e " ./$LOG\$" -e " ./$RES\$" "$capture/after" >"$capture/after.rest"
if ! cmp -s "$capture/before.rest" "$capture/after.rest"; then
    report "other files changed or appeared"
    diff "$capture/before.rest" "$capture/after.rest"
fi

if [ "$failed" = 0 ]; then echo "ok: $(cat "$case_dir/about.txt" 2>/dev/null)"; fi
exit "$failed"
