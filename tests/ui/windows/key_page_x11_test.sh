#!/usr/bin/env bash
# Runs the key page's X11 tests (KeyPageX11Test) under a virtual X server, with xdotool
# sending real key events through it. Exit 77 (skipped) when xvfb-run or xdotool is missing.
# Usage: key_page_x11_test.sh UI_TESTS_BINARY
set -u
tests="${1:?usage: $0 UI_TESTS_BINARY}"
source "$(dirname "$0")/desktop_session.sh"
require_tools "xvfb, xdotool" xvfb-run xdotool
export QT_QPA_PLATFORM=xcb
# In a sanitizer build, the X client libraries and fonts keep allocations until the process
# ends, which LeakSanitizer would report as leaks; our own code's leaks are checked by the
# offscreen runs of the suite.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$tests" --gtest_filter='KeyPageX11Test.*'
