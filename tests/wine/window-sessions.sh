#!/bin/sh
# Window sessions of the shipped tavrin.exe under Wine, one case a folder under tests/data/wine:
#   steps      what windowdriver does, start to exit
#   folder/    data files laid over the shipped ones in the program folder
#   read-only  the program folder refuses new files while its files stay writable, and the
#              program runs without root's power to override that, as a seller's account does
#   expect/    the program folder after the session, file for file (NAME.absent: no NAME;
#              NAME.opened: the shell's handler for .html files was handed NAME, and it held
#              then what it holds at the end). Every other file must be the shipped one.
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

failed=0
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
    if ! "$@" sh "$here/wine-run" "$driver" "$folder" "$case/steps" "$source"; then
        problem="the session did not go as its steps say"
    fi
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
