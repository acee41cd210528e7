#!/usr/bin/env bash
# Starts or stops the one Xvfb that the tests needing a real X server share.
#   xvfb_fixture.sh start <folder>   starts Xvfb on a free display (no TCP) and writes the
#                                    display (":n") to <folder>/xvfb.display, its pid to
#                                    <folder>/xvfb.pid
#   xvfb_fixture.sh stop <folder>    stops it and removes both files
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}
display_file="$dir/xvfb.display"
pid_file="$dir/xvfb.pid"

stop() {
  if [ -s "$pid_file" ]; then
    kill "$(cat "$pid_file")" 2>/dev/null || true
  fi
  rm -f "$display_file" "$pid_file"
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
    echo ":$number" >"$display_file"
    echo "Xvfb running on :$number"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|stop <folder>" >&2
    exit 2
    ;;
esac
