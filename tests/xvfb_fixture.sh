#!/usr/bin/env bash
# Starts or stops an Xvfb that the tests needing a real X server share, optionally with a
# small standard window manager (openbox) on it for the tests of what a user's desktop does.
#   xvfb_fixture.sh start <folder> [--window-manager]
#                                    starts Xvfb on a free display (no TCP) and writes the
#                                    display (":n") to <folder>/xvfb.display, its pid to
#                                    <folder>/xvfb.pid; with --window-manager also openbox,
#                                    its pid in <folder>/wm.pid, once it manages the screen
#   xvfb_fixture.sh stop <folder>    stops them and removes the files
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}
option=${3:-}
display_file="$dir/xvfb.display"
pid_file="$dir/xvfb.pid"
wm_pid_file="$dir/wm.pid"

stop() {
  local f
  for f in "$wm_pid_file" "$pid_file"; do
    if [ -s "$f" ]; then
      kill "$(cat "$f")" 2>/dev/null || true
    fi
  done
  rm -f "$display_file" "$pid_file" "$wm_pid_file"
}

# True once a window manager announces itself on the root window of $DISPLAY.
wm_announced() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

start_window_manager() {
  command -v openbox >/dev/null || { echo "openbox is not installed" >&2; return 1; }
  command -v xprop >/dev/null || { echo "xprop is not installed" >&2; return 1; }
  # Its configuration and cache stay in the fixture's folder; the configuration is the
  # system's default (four workspaces, new windows take the focus).
  mkdir -p "$dir/wm-config" "$dir/wm-cache"
  XDG_CONFIG_HOME="$dir/wm-config" XDG_CACHE_HOME="$dir/wm-cache" \
    setsid openbox --sm-disable </dev/null >"$dir/wm.log" 2>&1 &
  echo $! >"$wm_pid_file"
  local tries
  for tries in $(seq 200); do
    wm_announced && return 0
    kill -0 "$(cat "$wm_pid_file")" 2>/dev/null || break
    sleep 0.05
  done
  echo "openbox did not start:" >&2
  cat "$dir/wm.log" >&2 || true
  return 1
}

case "$action" in
  start)
    stop
    mkdir -p "$dir"
    command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; exit 1; }
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/xvfb-fixture.XXXXXX")
    mkfifo "$fifo"
    trap 'rm -f "$fifo"' EXIT
    # Xvfb picks a free display itself and writes its number into the fifo once it accepts
    # connections. Its output goes to a log, so CTest does not wait for it to end.
    setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fifo" \
      </dev/null >"$dir/xvfb.log" 2>&1 &
    echo $! >"$pid_file"
    number=""
    read -r -t 20 number <"$fifo" || true
    if [ -z "$number" ]; then
      echo "Xvfb did not start:" >&2
      cat "$dir/xvfb.log" >&2 || true
      stop
      exit 1
    fi
    if [ "$option" = "--window-manager" ]; then
      if ! DISPLAY=":$number" start_window_manager; then
        stop
        exit 1
      fi
    elif [ -n "$option" ]; then
      echo "unknown option $option" >&2
      stop
      exit 2
    fi
    echo ":$number" >"$display_file"
    echo "Xvfb running on :$number${option:+ with a window manager}"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start <folder> [--window-manager] | stop <folder>" >&2
    exit 2
    ;;
esac
