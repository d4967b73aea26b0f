#!/usr/bin/env bash
# One start of one browser, for bench/startup-bench.sh. Runs under xvfb-run, so the X display is
# fresh and holds nothing but this browser.
#
#   run-once.sh KIND RESULT_FILE PAGE_URL PAGE_TITLE TOKEN SETTLE_S TIMEOUT_S -- COMMAND...
#
# KIND is "velmora" or "surf". Writes KEY=VALUE lines to RESULT_FILE (times in microseconds
# from the moment just before exec) and keeps its event log beside it (RESULT_FILE.events).
# How the events are seen and why is told at the top of bench/startup-bench.sh.
set -uo pipefail

kind=$1 result=$2 page_url=$3 page_title=$4 token=$5 settle=$6 timeout_s=$7
shift 7
[[ ${1:-} == -- ]] && shift
cmd=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-startup-run.XXXXXX")
events=$result.events
: >"$events"
: >"$result"

note() { printf '%s=%s\n' "$1" "$2" >>"$result"; }

# One line per event: "<microseconds since the epoch> <what> <detail>". Every writer appends
# whole short lines, which land in one piece.
stamp() {
  local t=$EPOCHREALTIME
  printf '%s %s\n' "${t/./}" "$*" >>"$events"
}

# Every top-level window that is mapped (not override-redirect) is watched: the first one is
# the browser's first window on screen (Velmora's splash), and every change of any window's name
# is an event (the page title shows in the main window, which comes later).
watch_windows() {
  local line after_map=0
  local -A watched=()
  while IFS= read -r line; do
    if [[ $line == MapNotify* ]]; then
      after_map=1
      continue
    fi
    if ((after_map)); then
      after_map=0
      if [[ $line =~ window\ (0x[0-9a-fA-F]+),\ override\ NO ]]; then
        local id=${BASH_REMATCH[1]}
        [[ -n ${watched[$id]:-} ]] && continue
        watched[$id]=1
        stamp map "$id"
        stdbuf -oL xprop -spy -id "$id" _NET_WM_NAME 2>/dev/null \
          > >(while IFS= read -r name; do stamp title "${name#*= }"; done) &
        echo $! >>"$work/spy.pid"
      fi
    fi
  done
}

# All processes below $1 (itself first), from one snapshot of the process table.
tree_pids() {
  local -A kids=()
  local pid ppid
  while read -r pid ppid; do kids[$ppid]+=" $pid"; done < <(ps -e -o pid=,ppid=)
  local -a queue=("$1") out=()
  while ((${#queue[@]})); do
    pid=${queue[0]}
    queue=("${queue[@]:1}")
    out+=("$pid")
    # shellcheck disable=SC2206  # the list is numbers
    queue+=(${kids[$pid]:-})
  done
  echo "${out[@]}"
}

# Processes that carry this run's token in their environment, wherever they hang.
token_pids() {
  local f
  for f in $(grep -las -- "VELMORA_STARTUP_BENCH=$token" /proc/[0-9]*/environ); do
    f=${f#/proc/}
    echo "${f%/environ}"
  done
}

alive() { # not gone and not a zombie
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  [[ -n $stat && ${stat:0:1} != Z ]]
}

cleanup() {
  # The watchers end with the X server anyway; end them now all the same.
  local f p
  for f in "$work/xev.pid" "$work/spy.pid"; do
    [[ -f $f ]] || continue
    while read -r p; do kill "$p" 2>/dev/null; done <"$f"
  done
  [[ -n ${watcher:-} ]] && kill "$watcher" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The window watcher has to be listening before the browser starts.
{
  stdbuf -oL xev -root -event substructure 2>/dev/null &
  echo $! >"$work/xev.pid"
  wait
} | watch_windows &
watcher=$!
# Give xev time to select its events on the root window (before the clock starts).
sleep 0.5

mkdir -p "$work"/{home,cache,config,data,state,runtime}
chmod 700 "$work/runtime"
# The reader of the browser's standard error hangs below this script, not below the browser.
mkfifo "$work/stderr"
while IFS= read -r line; do stamp err "$line"; done <"$work/stderr" &
(
  export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config \
    XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/runtime \
    VELMORA_TRACE=1 VELMORA_STARTUP_BENCH=$token
  unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
  cd "$work/home" || exit 127
  t=$EPOCHREALTIME
  printf '%s\n' "${t/./}" >"$work/t0"
  exec "${cmd[@]}"
) 2>"$work/stderr" &
browser=$!
note PID "$browser"

# Read the log until the run has what it waits for, the browser ends, or time runs out.
t_map='' t_title='' t_first='' t_pane1='' t_pane2='' failure=''
loaded_name='^"[^[].* \| .+"$'
scan() {
  local t what rest
  t_map='' t_title='' t_first='' t_pane1='' t_pane2=''
  while read -r t what rest; do
    case $what in
      map) [[ -z $t_map ]] && t_map=$t ;;
      title)
        if [[ -z $t_title && $rest == *"$page_title"* ]]; then t_title=$t; fi
        # surf puts "[NN%] " in front of the name while the page loads, and drops it when
        # the load is done.
        if [[ $kind == surf && -z $t_first && $rest =~ $loaded_name ]] &&
          [[ $rest == *"$page_title"* || $rest == *"$page_url"* ]]; then
          t_first=$t
        fi
        ;;
      err)
        if [[ $kind == velmora && $rest =~ ^velmora:\ pane\ ([0-2])\ finished ]]; then
          case ${BASH_REMATCH[1]} in
            0) [[ -z $t_first && $rest == *" $page_url" ]] && t_first=$t ;;
            1) [[ -n $t_first && -z $t_pane1 ]] && t_pane1=$t ;;
            2) [[ -n $t_first && -z $t_pane2 ]] && t_pane2=$t ;;
          esac
        fi
        ;;
    esac
  done <"$events"
}
complete() {
  [[ -n $t_first && -n $t_title ]] || return 1
  [[ $kind != velmora ]] || [[ -n $t_pane1 && -n $t_pane2 ]]
}

missing() {
  local m=()
  [[ -n $t_title ]] || m+=("title shown")
  [[ -n $t_first ]] || m+=("first page")
  if [[ $kind == velmora ]]; then
    [[ -n $t_pane1 ]] || m+=("pane 1")
    [[ -n $t_pane2 ]] || m+=("pane 2")
  fi
  ((${#m[@]})) && printf ' (missing: %s)' "${m[*]}"
}

start_wait=$SECONDS
while :; do
  scan
  complete && break
  if ! alive "$browser"; then
    failure="the browser ended before the page finished$(missing)"
    break
  fi
  if ((SECONDS - start_wait > timeout_s)); then
    failure="not all loaded within ${timeout_s}s$(missing)"
    break
  fi
  sleep 0.05
done

t0=$(cat "$work/t0" 2>/dev/null)
since() { [[ -n $1 && -n $t0 ]] && echo $(($1 - t0)); }
note T_WINDOW_US "$(since "$t_map")"
note T_TITLE_US "$(since "$t_title")"
note T_FIRST_US "$(since "$t_first")"
note T_PANE1_US "$(since "$t_pane1")"
note T_PANE2_US "$(since "$t_pane2")"

if [[ -z $failure ]]; then
  # Let the processes settle, then add up the PSS of the whole tree.
  sleep "$settle"
  if alive "$browser"; then
    pss_total=0 dirty_total=0 procs=()
    read -ra tree <<<"$(tree_pids "$browser")"
    for p in "${tree[@]}"; do
      read -r pss dirty < <(awk '/^Pss:/ { s = $2 } /^Private_Dirty:/ { u += $2 }
        END { if (s != "") print s, u }' "/proc/$p/smaps_rollup" 2>/dev/null)
      [[ -n ${pss:-} ]] || continue
      pss_total=$((pss_total + pss))
      dirty_total=$((dirty_total + dirty))
      procs+=("$(cat "/proc/$p/comm" 2>/dev/null):$pss")
    done
    note PSS_KB "$pss_total"
    note DIRTY_KB "$dirty_total"
    note PROCS "${procs[*]}"
    # WebKit processes of other programs share library pages with ours and so lower our PSS.
    others=0
    for p in $(pgrep '^WebKit'); do
      [[ " ${tree[*]} " == *" $p "* ]] || others=$((others + 1))
    done
    note OTHER_WEBKIT "$others"
    # Anything of this run's that is not below the browser (it would not be counted).
    outside=()
    for p in $(token_pids); do
      [[ " ${tree[*]} " == *" $p "* ]] || outside+=("$p:$(cat "/proc/$p/comm" 2>/dev/null)")
    done
    note OUTSIDE "${outside[*]}"
  else
    failure="the browser ended while settling"
  fi
fi

# End the whole tree: everything below the browser and anything else with the token.
read -ra tree <<<"$(tree_pids "$browser")"
victims=("${tree[@]}")
for p in $(token_pids); do
  [[ " ${victims[*]} " == *" $p "* ]] || victims+=("$p")
done
kill -TERM "${victims[@]}" 2>/dev/null
for _ in $(seq 40); do
  left=()
  for p in "${victims[@]}"; do alive "$p" && left+=("$p"); done
  ((${#left[@]})) || break
  sleep 0.05
done
((${#left[@]})) && kill -KILL "${left[@]}" 2>/dev/null
wait "$browser" 2>/dev/null
sleep 0.2
note LEFTOVER "$(token_pids | tr '\n' ' ')"

if [[ -n $failure ]]; then
  note STATUS fail
  note REASON "$failure"
else
  note STATUS ok
fi
exit 0
