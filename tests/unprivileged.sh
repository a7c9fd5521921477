#!/bin/sh
# Runs a test with every capability dropped: root then passes no permission check it would not
# pass as the file's owner, as a seller's own account does. Status 77 (skipped) where there is
# nothing to drop.
[ "$(id -u)" = 0 ] || exit 77
command -v setpriv > /dev/null || exit 77
exec setpriv --bounding-set=-all --inh-caps=-all --ambient-caps=-all -- "$@"
