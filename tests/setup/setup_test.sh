#!/usr/bin/env bash
# scripts/setup on systems it cannot simply install on, with stand-ins for the system's tools:
# every package missing, a user who is or is not root, with or without sudo and apt-get.
set -uo pipefail
setup="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A bin folder holding only grep, dpkg-query (nothing installed), id -u printing $2, and the
# commands named after it as stand-ins that note their call in $work/calls.
stubs() {
    local dir="$work/$1" uid="$2"
    shift 2
    mkdir -p "$dir"
    ln -sf "$(command -v grep)" "$dir/grep"
    printf '#!%s\nexit 1\n' "$BASH" >"$dir/dpkg-query"
    printf '#!%s\necho %s\n' "$BASH" "$uid" >"$dir/id"
    for tool in "$@"; do
        printf '#!%s\necho "%s $*" >>"%s/calls"\n' "$BASH" "$tool" "$work" >"$dir/$tool"
    done
    chmod +x "$dir"/*
}

# expect NAME STATUS TEXT: the last run ended with STATUS and said TEXT.
expect() {
    if [ "$status" -ne "$2" ] || ! grep -qF -- "$3" "$work/out"; then
        echo "FAIL $1: status $status, expected $2 and \"$3\" in:" >&2
        cat "$work/out" >&2
        failures=$((failures + 1))
    fi
}

run() {
    rm -f "$work/calls"
    PATH="$work/$1" "$BASH" "$setup" >"$work/out" 2>&1
    status=$?
}

stubs no-apt 0
run no-apt
expect "no apt-get" 1 "install these (their Debian 12 names) with this system's package manager:"
expect "no apt-get lists the packages" 1 "setup:   build-essential cmake ninja-build"

stubs no-sudo 1000 apt-get
run no-sudo
expect "no sudo" 1 "installing them needs root, and sudo was not found. Run as root:"
expect "no sudo names the command" 1 "apt-get update && apt-get install -y --no-install-recommends build-essential cmake"
if [ -e "$work/calls" ]; then
    echo "FAIL no sudo: apt-get was run: $(cat "$work/calls")" >&2
    failures=$((failures + 1))
fi

stubs root 0 apt-get
run root
expect "root" 0 "setup: installing 17 Debian packages with apt-get (this can take some minutes):"
if ! grep -qx "apt-get install -y --no-install-recommends build-essential .*libclang-rt-14-dev" "$work/calls"; then
    echo "FAIL root: apt-get calls: $(cat "$work/calls" 2>/dev/null)" >&2
    failures=$((failures + 1))
fi

exit $((failures > 0))
