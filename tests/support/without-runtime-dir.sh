#!/bin/sh
# Runs a test program as a session without XDG_RUNTIME_DIR would (cron, a container, a CI runner).
# Qt then makes a runtime folder of its own in the temporary folder: the run gets a temporary
# folder of its own, removed afterwards.
t=$(mktemp -d "${TMPDIR:-/tmp}/no-runtime-dir-XXXXXX") || exit 1
env -u XDG_RUNTIME_DIR TMPDIR="$t" "$@"
status=$?
rm -rf "$t"
exit $status
