#!/bin/sh
# Runs a test program that opens windows on a virtual X server of its own. Leak checking is off
# for it (when built with sanitizers): GTK and its libraries keep caches for the life of the
# process, also while the tests are listed.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
NO_AT_BRIDGE=1
export ASAN_OPTIONS NO_AT_BRIDGE
exec xvfb-run -a "$@"
