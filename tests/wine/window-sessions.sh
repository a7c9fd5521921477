#!/bin/sh
# Window sessions of the shipped tavrin.exe under Wine, one case a folder under tests/data/wine:
#   steps      what windowdriver does, start to exit
#   folder/    data files laid over the shipped ones in the program folder
#   read-only  the program folder refuses new files while its files stay writable, and the
#              program runs without root's power to override that, as a seller's account does
#   expect/    the program folder after the session, file for file (NAME.absent: no NAME;
#              NAME.opened: the shell's handler for .html files was handed NAME, and it held
#              then what it holds at the end). Every other file must be the shipped one.
# Every session also checks what tavrin.exe loads: each DLL of the program folder, from the
# program folder, and nothing else but Windows's own (system32).
# Each session runs in a copy of the program folder (TAVRIN_WINDOWS_FOLDER, which
# scripts/windows puts together) whose path holds blanks and letters outside ASCII.
#
#   window-sessions.sh WINDOWDRIVER.EXE SOURCE-FOLDER
set -eu
driver=$1
source=$2
if [ -z "${TAVRIN_WINDOWS_FOLDER:-}" ]; then
    echo "window-sessions: no program folder given (TAVRIN_WINDOWS_FOLDER); skipped"
    exit 77
fi
here=$(dirname "$0")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

# Windows opens a page with the handler registered for ".html"; this one copies it aside.
opened=$work/opened.html
copier="C:\\windows\\system32\\cmd.exe /c copy /y \"%1\" \"Z:$(printf '%s' "$opened" | tr / '\\\\')\""
sh "$here/wine-run" reg add 'HKCR\.html' /ve /d TavrinTestPage /f >/dev/null
sh "$here/wine-run" reg add 'HKCR\TavrinTestPage\shell\open\command' \
    /ve /d "$copier" /f >/dev/null

# What tavrin.exe loaded, from Wine's trace of DLL loads: the thread that loaded it loads its
# DLLs and plug-ins. Prints a problem (after "; ") for a DLL of the folder it did not load, or one
# it loaded from anywhere but the folder and system32.
loaded_elsewhere() {
    exe=$(grep -a 'trace:loaddll:build_module Loaded L".*\\tavrin.exe"' "$1" | head -1)
    if [ -z "$exe" ]; then
        printf '; tavrin.exe was not loaded'
        return
    fi
    thread=${exe%%:*}
    prefix=$(printf '%s' "$exe" | sed 's/.*Loaded L"\(.*\)tavrin.exe" at .*/\1/')
    grep -a "^$thread:trace:loaddll:build_module Loaded L" "$1" |
        sed 's/.*Loaded L"\(.*\)" at .*/\1/' | while IFS= read -r path; do
        case $path in
        "$prefix"*.dll) printf '%s\n' "${path#"$prefix"}" >>"$work/loaded" ;;
        "$prefix"tavrin.exe | *\\system32\\*) ;;
        *) printf '; loaded from outside the folder: %s' "$path" ;;
        esac
    done
    touch "$work/loaded"
    (cd "$2" && find . -name '*.dll' | sed 's|^\./||; s|/|\\\\|g' | sort) >"$work/shipped"
    sort -o "$work/loaded" "$work/loaded"
    if ! cmp -s "$work/loaded" "$work/shipped"; then
        printf '; the DLLs loaded from the folder (%s) are not the ones it holds' \
            "$(tr '\n' ' ' <"$work/loaded")"
    fi
    rm -f "$work/loaded" "$work/shipped"
}

failed=0
# What Explorer shows of the programs: tavrin.exe's icon, and both programs' version.
has_resource() {
    if ! wrestool -l "$TAVRIN_WINDOWS_FOLDER/$1" | grep -q "type=$2 "; then
        echo "FAIL resources: $1 has no $2"
        failed=1
    fi
}
has_resource tavrin.exe group_icon
has_resource tavrin.exe version
has_resource tavrin-compose.exe version

for case in "$source"/tests/data/wine/*/; do
    name=$(basename "$case")
    folder="$work/$name/Tavrin Prüfung – ñ"
    mkdir -p "$folder"
    cp -R "$TAVRIN_WINDOWS_FOLDER"/. "$folder"/
    if [ -d "$case/folder" ]; then
        cp -R "$case/folder"/. "$folder"/
    fi
    rm -f "$opened"
    set --
    if [ -e "$case/read-only" ]; then
        chmod a-w "$folder"
        set -- setpriv --bounding-set=-all --inh-caps=-all --ambient-caps=-all --
    fi
    problem=
    log=$work/$name.log
    if ! WINEDEBUG=+loaddll "$@" sh "$here/wine-run" "$driver" "$folder" "$case/steps" "$source" \
        2>"$log"; then
        problem="the session did not go as its steps say"
    fi
    grep -av ':trace:loaddll:' "$log" >&2 || true
    problem="$problem$(loaded_elsewhere "$log" "$folder")"
    chmod u+w "$folder"
    for expected in "$case"/expect/*; do
        file=$(basename "$expected")
        case $file in
        *.absent) [ ! -e "$folder/${file%.absent}" ] || problem="$problem; ${file%.absent} exists" ;;
        *.opened)
            cmp -s "$folder/${file%.opened}" "$opened" ||
                problem="$problem; ${file%.opened} was not what the shell opened"
            ;;
        *) cmp -s "$expected" "$folder/$file" || problem="$problem; $file differs" ;;
        esac
    done
    for present in "$folder"/* "$folder"/.[!.]*; do
        [ -e "$present" ] || continue
        file=$(basename "$present")
        if [ ! -e "$case/expect/$file" ] && [ ! -e "$case/expect/$file.opened" ] &&
            [ ! -d "$present" ] && ! cmp -s "$present" "$TAVRIN_WINDOWS_FOLDER/$file"; then
            problem="$problem; $file is not the shipped one"
        fi
    done
    if [ -n "$problem" ]; then
        echo "FAIL $name: ${problem#; }"
        failed=1
    else
        echo "PASS $name"
    fi
done
exit $failed
