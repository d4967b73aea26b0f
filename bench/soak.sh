#!/usr/bin/env bash
# Soak benchmark: the real program under a virtual display browses LOADS generated pages from a
# loopback server (pages of varied size with up to 30 pictures; each page sends the browser on to
# the next a moment after it has loaded). Every 50 loads it reads the summed PSS of Velmora's
# process tree (the program, its web and network processes). It reports the PSS after each 50,
# the growth after the first 100 loads (goal: at most 10 %), whether every page's analysis
# completed (each load followed by both views) and whether the program stayed up. A report: it
# exits 0 unless it cannot run at all.
# Usage: bench/soak.sh [LOADS]   (default 500; a release build in build/, scripts/build.sh release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
loads=${1:-500}
velmora="$root/build/bin/velmora"
[[ -x "$velmora" ]] || { echo "soak.sh: build first (bash scripts/build.sh release)" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "soak.sh: xvfb-run is missing" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$scratch"' EXIT

# The page server: /page/N links to /page/N+1 after its load, with pictures of its own.
cat >"$scratch/server.py" <<'PY'
import http.server, random, struct, sys, zlib
def png(w, h, seed):
    rnd = random.Random(seed)
    rows = b"".join(b"\0" + bytes(rnd.randrange(256) for _ in range(w * 3)) for _ in range(h))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
pictures = [png(16 + 8 * (i % 8), 16 + 6 * (i % 5), i) for i in range(40)]
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        parts = self.path.strip("/").split("/")
        if parts[0] == "page":
            n = int(parts[1]); rnd = random.Random(n)
            text = "".join("<p>%s</p>\n" % ("harbour boats " * rnd.randrange(5, 60)) for _ in range(rnd.randrange(5, 200)))
            imgs = "".join('<img src="/img/%d/%d.png" width="40">' % (n, k) for k in range(rnd.randrange(1, 31)))
            body = ("<!DOCTYPE html><html><head><title>Page %d</title></head><body><h1>Page %d</h1>%s%s"
                    "<script>addEventListener('load', () => setTimeout(() => location.href = '/page/%d', %s));</script>"
                    "</body></html>" % (n, n, imgs, text, n + 1, sys.argv[2])).encode()
            kind = "text/html; charset=utf-8"
        elif parts[0] == "img":
            body = pictures[(int(parts[1]) * 31 + int(parts[2].split(".")[0])) % len(pictures)]; kind = "image/png"
        else:
            self.send_error(404); return
        self.send_response(200); self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body))); self.end_headers(); self.wfile.write(body)
    def log_message(self, *args): pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
PY
python3 "$scratch/server.py" x "${VELMORA_SOAK_DELAY_MS:-400}" >"$scratch/port" &
for _ in $(seq 50); do [[ -s "$scratch/port" ]] && break; sleep 0.1; done
port=$(head -1 "$scratch/port")

# Velmora with a home of its own and the pane trace on.
mkdir -p "$scratch/home/.config/Velmora"
printf '[Settings]\nshowHelp=0\n' >"$scratch/home/.config/Velmora/settings.ini"
cat >"$scratch/run.sh" <<RUN
#!/usr/bin/env bash
HOME="$scratch/home" XDG_CONFIG_HOME= XDG_CACHE_HOME= XDG_DATA_HOME= VELMORA_TRACE=1 \
  exec "$velmora" "http://127.0.0.1:$port/page/1" 2>"$scratch/trace"
RUN
chmod +x "$scratch/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$scratch/run.sh" &
for _ in $(seq 100); do pid=$(pgrep -f -n "^$velmora" || true); [[ -n "$pid" ]] && break; sleep 0.1; done
[[ -n "${pid:-}" ]] || { echo "soak.sh: Velmora did not start" >&2; exit 1; }

tree() {  # the process and all its descendants
  local p=$1; echo "$p"
  for c in $(pgrep -P "$p" || true); do tree "$c"; done
}
pss_kib() {
  local total=0 p v
  for p in $(tree "$pid"); do
    v=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
    total=$((total + ${v:-0}))
  done
  echo "$total"
}
loaded() { grep -c "pane 0 finished http://127.0.0.1:$port/page/" "$scratch/trace" || true; }

echo "loads  PSS (MiB)  views (source, gallery)"
declare -A pss
next=50
while ((next <= loads)); do
  waited=0
  while (($(loaded) < next)); do
    kill -0 "$pid" 2>/dev/null || { echo "soak.sh: Velmora ended after $(loaded) loads" >&2; exit 0; }
    ((waited++ < 1200)) || { echo "soak.sh: no progress for 2 minutes at $(loaded) loads" >&2; exit 0; }
    sleep 0.1
  done
  pss[$next]=$(pss_kib)
  printf "%5d  %9.1f  %d, %d\n" "$next" "$(awk "BEGIN {print ${pss[$next]} / 1024}")" \
    "$(grep -c 'pane 1 finished' "$scratch/trace")" "$(grep -c 'pane 2 finished' "$scratch/trace")"
  next=$((next + 50))
done
last=$(( loads / 50 * 50 ))
growth=$(awk "BEGIN {print (${pss[$last]} - ${pss[100]}) * 100 / ${pss[100]}}")
sources=$(grep -c 'pane 1 finished' "$scratch/trace")
galleries=$(grep -c 'pane 2 finished' "$scratch/trace")
printf "\nPSS growth from load 100 to load %d: %+.1f %% (goal <= 10 %%): %s\n" "$last" "$growth" \
  "$(awk "BEGIN {print ($growth <= 10) ? \"PASS\" : \"MISS\"}")"
# Each load analysed: the start needs none, every page of the server one source and one gallery.
printf "views after %d loads: %d source views, %d galleries: %s\n" "$(loaded)" "$sources" \
  "$galleries" "$( ((sources >= $(loaded) && galleries >= $(loaded))) && echo PASS || echo MISS)"
kill "$pid" 2>/dev/null || true
