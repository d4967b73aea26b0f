#!/usr/bin/env bash
# Startup benchmark: Velmora against surf (Debian's minimal WebKitGTK browser) on the same local
# page, Velmora's own start page. A report, not a test: it exits 0 whenever it could measure,
# whatever the figures say, and non-zero only when it could not.
#
#   bench/startup-bench.sh [-n RUNS]      (build first: ninja -C build velmora)
#
# Settings from the environment: RUNS (5), WARMUP (1 untimed start of each browser first),
# SETTLE (2 s between "loaded" and the memory reading), RUN_TIMEOUT (60 s per start).
#
# How it measures
# - Every start gets a fresh X server (xvfb-run -a) with nothing else on it, and a fresh HOME,
#   XDG_CACHE_HOME/CONFIG/DATA/STATE/RUNTIME_DIR in a temporary folder, so no cache, cookie or
#   setting carries over from one start to the next. No session bus is given to either browser
#   (a private one would activate portal and accessibility services outside the browser's tree
#   that dominate the noise and are not counted). Velmora always writes its work files into its
#   program folder (build/bin), as it does for everybody; those are overwritten, not read back.
# - The clock starts with a timestamp taken in the forked shell right before it execs the
#   browser ($EPOCHREALTIME, the same clock as date +%s%N without a fork). Every event is stamped
#   by the reader that receives it, when it arrives, on that clock; nothing is polled, so the
#   polling interval is not part of the figures.
# - Window events come from the X server itself: `xev -root -event substructure` reports the
#   browser's top-level window as it is mapped, and `xprop -spy` on that window reports every
#   change of its name (_NET_WM_NAME) as the X server sees it.
# - "Title shown" (both browsers, the very same signal): the window's name first contains the
#   page's <title>. Both browsers take the name from WebKit's title notification, so this is
#   the one figure measured identically for both; it serves as the cross-check.
# - "First page finished":
#     Velmora: its trace line "velmora: pane 0 finished <url>" on standard error
#              (VELMORA_TRACE=1), i.e. WebKit's load-finished for the browser pane;
#              panes 1 and 2 ("Source Code", "Images") likewise, after pane 0.
#     surf:    surf shows "[NN%] " in front of its window name while a page loads and drops it
#              when WebKit's load progress reaches 100 %, which is when the load has finished.
#              The first name without that prefix that carries the page is the finish.
#   Both are WebKit's end of the load reported to the browser's own process, seen from outside
#   the moment it is reported; Velmora's window name changes only with the title, so the
#   trace line is its finish signal.
# - Memory: SETTLE seconds after the load (for Velmora: after panes 1 and 2 as well), the PSS
#   from /proc/<pid>/smaps_rollup of the browser and every descendant (network process, web
#   process, bwrap and xdg-dbus-proxy helpers...) is summed. Each browser process and its
#   helpers carry a token in their environment; any process with the token outside the tree
#   is reported (it would be missed by the sum). PSS splits shared library pages among all the
#   processes that map them, so WebKit processes of other programs running at the same time
#   lower it; the run lines say when there were any, and the dirty private memory
#   (Private_Dirty: heap and other written pages, which no other program shares) is shown
#   beside it as the figure that does not move with what else runs.
# - After each start the whole tree (and anything with the token) is ended: SIGTERM, then
#   SIGKILL what is left after 2 s. At the end the script looks for anything of its own left.
# - The two browsers alternate (V S, S V, V S, ...) so slow phases of a busy machine hit both;
#   medians with min/max are reported.
# Targets: Velmora's first page within surf's + 150 ms; Velmora's PSS at most 1.25 x surf's
# (medians). PASS/MISS is printed; the exit status does not depend on it.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
warmup=${WARMUP:-1}
settle=${SETTLE:-2}
run_timeout=${RUN_TIMEOUT:-60}
while getopts "n:h" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    *)
      sed -n '2,9p' "$0"
      exit 2
      ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || {
  echo "startup-bench: RUNS must be a positive number" >&2
  exit 2
}

die() {
  echo "startup-bench: cannot measure: $*" >&2
  exit 1
}

velmora=$root/build/bin/velmora
[[ -x $velmora ]] || die "$velmora is missing (build it: ninja -C $root/build velmora)"
page=$(cd "$(dirname "$(readlink -f "$velmora")")/assets" 2>/dev/null && pwd)/start.html
[[ -f $page ]] || die "the start page $page is missing"
page_url=file://$page
page_title=$(tr '\n' ' ' <"$page" | sed -n 's:.*<title>[[:space:]]*\([^<]*[^<[:space:]]\)[[:space:]]*</title>.*:\1:p')
[[ -n $page_title ]] || die "the start page has no <title>"

# Tools: surf itself, a virtual X server, xev/xprop. Only this script installs them.
need_packages=()
command -v surf >/dev/null || need_packages+=(surf)
command -v xvfb-run >/dev/null || need_packages+=(xvfb)
{ command -v xev >/dev/null && command -v xprop >/dev/null; } || need_packages+=(x11-utils)
command -v xauth >/dev/null || need_packages+=(xauth)
if ((${#need_packages[@]})); then
  echo "startup-bench: installing ${need_packages[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q "${need_packages[@]}" >/dev/null 2>&1 ||
    { apt-get update -q >/dev/null 2>&1 && apt-get install -y -q "${need_packages[@]}" >/dev/null; } ||
    die "could not install ${need_packages[*]}"
fi
for tool in surf xvfb-run xev xprop stdbuf mkfifo ps timeout awk; do
  command -v "$tool" >/dev/null || die "$tool is missing"
done

session=velmora-startup-$$-$(date +%s)
logs=$(mktemp -d "${TMPDIR:-/tmp}/velmora-startup-bench.XXXXXX")

# One start of one browser; prints nothing, leaves $logs/<kind>-<label>.txt.
start_once() {
  local kind=$1 label=$2 result=$logs/$1-$2.txt
  local -a cmd=("$velmora")
  [[ $kind == surf ]] && cmd=(surf "$page_url")
  for _ in 1 2; do
    rm -f "$result" "$result.events"
    timeout -k 10 $((run_timeout + settle + 30)) \
      xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
      bash "$root/bench/startup/run-once.sh" "$kind" "$result" "$page_url" "$page_title" \
      "$session-$kind-$label" "$settle" "$run_timeout" -- "${cmd[@]}" \
      >"$logs/$kind-$label.log" 2>&1
    # Another X server may have taken the display number in between: try once more.
    [[ -s $result ]] && return 0
  done
  printf 'STATUS=fail\nREASON=%s\n' "no result (see $logs/$kind-$label.log)" >"$result"
}

field() { sed -n "s/^$2=//p" "$1" | head -n 1; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
load() { cut -d' ' -f1-3 /proc/loadavg; }

# Velmora first, surf first, Velmora first... each pair is one round.
order() { if (($1 % 2)); then echo velmora surf; else echo surf velmora; fi; }

echo "startup-bench: $runs runs of each browser (+$warmup warm-up), page $page_url"
echo "startup-bench: logs in $logs; load average $(load)"
for ((w = 1; w <= warmup; w++)); do
  for kind in $(order "$w"); do
    start_once "$kind" "warmup$w"
    r=$logs/$kind-warmup$w.txt
    [[ $(field "$r" STATUS) == ok ]] ||
      printf '  warm-up %d %-7s FAILED: %s\n' "$w" "$kind" "$(field "$r" REASON)"
  done
done
for ((i = 1; i <= runs; i++)); do
  for kind in $(order "$i"); do
    start_once "$kind" "run$i"
    r=$logs/$kind-run$i.txt
    if [[ $(field "$r" STATUS) == ok ]]; then
      printf '  run %d %-7s window %5d ms  title %5d ms  first page %5d ms' "$i" "$kind" \
        $(($(field "$r" T_WINDOW_US) / 1000)) $(($(field "$r" T_TITLE_US) / 1000)) \
        $(($(field "$r" T_FIRST_US) / 1000))
      if [[ $kind == velmora ]]; then
        p1=$(field "$r" T_PANE1_US) p2=$(field "$r" T_PANE2_US)
        printf '  panes 1+2 %5d ms' $(((p1 > p2 ? p1 : p2) / 1000))
      else
        printf '  %19s' ''
      fi
      printf '  PSS %6.1f MiB  dirty %6.1f MiB' "$(mib "$(field "$r" PSS_KB)")" \
        "$(mib "$(field "$r" DIRTY_KB)")"
      others=$(field "$r" OTHER_WEBKIT)
      ((${others:-0})) && printf '  (%d other WebKit processes running)' "$others"
      echo
    else
      printf '  run %d %-7s FAILED: %s\n' "$i" "$kind" "$(field "$r" REASON)"
    fi
  done
done

# Collect the figures of the good runs (milliseconds, MiB).
declare -A values=()
declare -A ok_runs=([velmora]=0 [surf]=0) crowded=()
for kind in velmora surf; do
  for ((i = 1; i <= runs; i++)); do
    r=$logs/$kind-run$i.txt
    [[ $(field "$r" STATUS) == ok ]] || continue
    ok_runs[$kind]=$((ok_runs[$kind] + 1))
    values[$kind.first]+=" $(field "$r" T_FIRST_US)"
    values[$kind.title]+=" $(field "$r" T_TITLE_US)"
    values[$kind.pss]+=" $(field "$r" PSS_KB)"
    values[$kind.dirty]+=" $(field "$r" DIRTY_KB)"
    others=$(field "$r" OTHER_WEBKIT)
    ((${others:-0} > 0)) && crowded[$kind]=$((${crowded[$kind]:-0} + 1))
    if [[ $kind == velmora ]]; then
      p1=$(field "$r" T_PANE1_US) p2=$(field "$r" T_PANE2_US)
      values[$kind.panes]+=" $((p1 > p2 ? p1 : p2))"
    fi
    outside=$(field "$r" OUTSIDE)
    [[ -z $outside ]] || echo "startup-bench: note: $kind run $i had processes outside its tree: $outside"
  done
done

# "median min max" of a list, divided by $2.
stats() {
  tr ' ' '\n' <<<"$1" | sort -n | awk -v d="$2" 'NF { v[++n] = $1 / d }
    END {
      if (!n) { print "- - -"; exit }
      m = (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      printf "%.1f %.1f %.1f\n", m, v[1], v[n]
    }'
}

echo
echo "load average now $(load)"
row='%-8s %4s | %-18s | %-18s | %-18s | %-21s | %-21s\n'
# shellcheck disable=SC2059  # the format is ours
printf "$row" browser runs "first page ms" "panes 1+2 ms" "title shown ms" "PSS MiB" "dirty MiB"
# shellcheck disable=SC2059
printf "$row" "" "" "median (min-max)" "median (min-max)" "median (min-max)" "median (min-max)" \
  "median (min-max)"
declare -A median=()
for kind in velmora surf; do
  cells=()
  for metric in first panes title pss dirty; do
    divisor=1000
    [[ $metric == pss || $metric == dirty ]] && divisor=1024
    read -r med lo hi <<<"$(stats "${values[$kind.$metric]:-}" "$divisor")"
    median[$kind.$metric]=$med
    if [[ $med == - ]]; then
      cells+=("-")
    else
      cells+=("$(printf '%.0f (%.0f-%.0f)' "$med" "$lo" "$hi")")
      ((divisor == 1024)) && cells[-1]=$(printf '%.1f (%.1f-%.1f)' "$med" "$lo" "$hi")
    fi
  done
  # shellcheck disable=SC2059
  printf "$row" "$kind" "${ok_runs[$kind]}/$runs" "${cells[@]}"
done

if ((${crowded[velmora]:-0} + ${crowded[surf]:-0})); then
  echo "  note: PSS was read with other WebKit processes running in ${crowded[velmora]:-0} velmora" \
    "and ${crowded[surf]:-0} surf runs; those read lower (shared library pages are split)"
fi
# Where the memory goes (last good run of each).
for kind in velmora surf; do
  for ((i = runs; i >= 1; i--)); do
    r=$logs/$kind-run$i.txt
    [[ $(field "$r" STATUS) == ok ]] || continue
    echo "  $kind run $i tree (PSS MiB):$(field "$r" PROCS | tr ' ' '\n' |
      awk -F: 'NF { s[$1] += $2; c[$1]++ } END { for (p in s) printf " %s%s %.1f", p, (c[p] > 1 ? "x" c[p] : ""), s[p] / 1024 }')"
    break
  done
done

# Anything of ours still running? (Only processes with this session's token are ours.)
leftover=$(grep -las -- "VELMORA_STARTUP_BENCH=$session" /proc/[0-9]*/environ | sed 's:/proc/\([0-9]*\)/environ:\1:' | tr '\n' ' ')
echo
if [[ -n ${leftover// /} ]]; then
  echo "startup-bench: LEFTOVER processes: $leftover (ending them)"
  # shellcheck disable=SC2086  # a list of numbers
  kill -KILL $leftover 2>/dev/null
else
  echo "startup-bench: no browser process of this benchmark is left running"
fi

if ((ok_runs[velmora] == 0 || ok_runs[surf] == 0)); then
  die "no good run of $( ((ok_runs[velmora] == 0)) && echo velmora) $( ((ok_runs[surf] == 0)) && echo surf) (see $logs)"
fi

verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? "PASS" : "MISS" }'; }
limit_first=$(awk -v s="${median[surf.first]}" 'BEGIN { printf "%.0f", s + 150 }')
limit_pss=$(awk -v s="${median[surf.pss]}" 'BEGIN { printf "%.1f", s * 1.25 }')
printf 'first page: velmora %.0f ms, surf %.0f ms + 150 = %s ms -> %s\n' \
  "${median[velmora.first]}" "${median[surf.first]}" "$limit_first" \
  "$(verdict "${median[velmora.first]}" "$limit_first")"
printf 'memory:     velmora %.1f MiB, surf %.1f MiB x 1.25 = %s MiB -> %s\n' \
  "${median[velmora.pss]}" "${median[surf.pss]}" "$limit_pss" \
  "$(verdict "${median[velmora.pss]}" "$limit_pss")"
printf 'cross-check, the same signal for both (window name shows the page title): velmora %.0f ms, surf %.0f ms\n' \
  "${median[velmora.title]}" "${median[surf.title]}"
exit 0
