#!/usr/bin/env bash
# Soak benchmark: the real program under a virtual display browses LOADS generated pages from a
# loopback server (each page sends the browser on to the next a moment after it has loaded).
# Every 50 loads it reads the summed PSS of the browser's process tree (the program, its web and
# network processes). It reports the PSS after each 50, the growth after the first 100 loads
# (goal: at most 10 %), for Velmora whether every page's analysis completed (each load followed
# by both views), and whether the browser stayed up. A report: it exits 0 unless it cannot run.
# Usage: bench/soak.sh [LOADS]   (default 500; a release build in build/, scripts/build.sh release)
#   VELMORA_SOAK_PAGES=real   pages of real size: 200 KB to 1.5 MB of HTML with 30 to 130
#                             pictures of up to 480 x 360 each (default: small pages, up to 30
#                             small pictures)
#   VELMORA_SOAK_BROWSER=surf the same pages in surf (Debian's WebKitGTK browser), to compare
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
loads=${1:-500}
pages=${VELMORA_SOAK_PAGES:-small}
browser=${VELMORA_SOAK_BROWSER:-velmora}
velmora="$root/build/bin/velmora"
[[ -x "$velmora" ]] || { echo "soak.sh: build first (bash scripts/build.sh release)" >&2; exit 1; }
[[ $browser != surf ]] || command -v surf >/dev/null || { echo "soak.sh: surf is missing" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "soak.sh: xvfb-run is missing" >&2; exit 1; }

scratch=$(mktemp -d)
# The page server, and xvfb-run's virtual display (which would outlive the script otherwise):
server=; display=
# xvfb-run ends by itself once its display and browser have gone.
trap 'kill $server 2>/dev/null; rm -rf "$scratch"; [[ -z $display ]] || pkill -P $display || true' EXIT

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
real = sys.argv[3] == "real"
if real:
    def png(w, h, seed):  # noise does not compress: bytes of a real photograph's order
        rows = b"".join(b"\0" + random.Random(seed * 1000 + y).randbytes(w * 3) for y in range(h))
        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))
    pictures = [png(80 + 40 * (i % 11), 60 + 30 * (i % 11), i) for i in range(40)]
else:
    pictures = [png(16 + 8 * (i % 8), 16 + 6 * (i % 5), i) for i in range(40)]
log = open(sys.argv[4], "a", buffering=1)
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        parts = self.path.strip("/").split("/")
        if parts[0] == "page":
            # Pages 50 apart are alike (size, pictures), so the readings every 50 compare.
            n = int(parts[1]); rnd = random.Random(n % 50); log.write("%d\n" % n)
            if real:  # 200 KB to 1.5 MB of text and markup, 30 to 130 pictures
                size = rnd.randrange(200_000, 1_500_000)
                para = "<p>harbour boats <a href=\"/notes/%d\">tide tables</a> and the <em>fish market</em> %s</p>\n"
                text = "".join(para % (k, "sailing " * rnd.randrange(5, 80)) for k in range(size // 400))
                imgs = "".join('<img src="/img/%d/%d.png" alt="picture %d">' % (n, k, k) for k in range(rnd.randrange(30, 131)))
            else:
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
touch "$scratch/pages"
python3 "$scratch/server.py" x "${VELMORA_SOAK_DELAY_MS:-400}" "$pages" "$scratch/pages" \
  >"$scratch/port" &
server=$!
for _ in $(seq 300); do [[ -s "$scratch/port" ]] && break; sleep 0.1; done
port=$(head -1 "$scratch/port")

# Velmora with a home of its own and the pane trace on.
mkdir -p "$scratch/home/.config/Velmora"
printf '[Settings]\nshowHelp=0\n' >"$scratch/home/.config/Velmora/settings.ini"
program=$velmora
[[ $browser == surf ]] && program=$(command -v surf)
cat >"$scratch/run.sh" <<RUN
#!/usr/bin/env bash
HOME="$scratch/home" XDG_CONFIG_HOME= XDG_CACHE_HOME= XDG_DATA_HOME= VELMORA_TRACE=1 \
  exec "$program" "http://127.0.0.1:$port/page/1" 2>"$scratch/trace"
RUN
chmod +x "$scratch/run.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$scratch/run.sh" &
display=$!
for _ in $(seq 100); do pid=$(pgrep -f -n "^$program" || true); [[ -n "$pid" ]] && break; sleep 0.1; done
[[ -n "${pid:-}" ]] || { echo "soak.sh: $browser did not start" >&2; exit 1; }

tree() {  # the process and all its descendants
  local p=$1; echo "$p"
  for c in $(pgrep -P "$p" || true); do tree "$c"; done
}
# The summed PSS in KiB, then the PSS in MiB of each kind of process ("WebKitWebProces 512.3").
pss_kib() {
  local p v
  for p in $(tree "$pid"); do
    v=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)
    echo "$(cat "/proc/$p/comm" 2>/dev/null || echo gone) ${v:-0}"
  done | awk '{ total += $2; kind[$1] += $2 }
    END { printf "%d", total; for (k in kind) printf " %s %.1f", k, kind[k] / 1024; print "" }'
}
# A page is loaded when the browser asks for the next one.
loaded() { echo $(($(wc -l <"$scratch/pages") - 1)); }

echo "$browser, $pages pages"
echo "loads  PSS (MiB)  views (source, gallery)"
declare -A pss
next=50
while ((next <= loads)); do
  waited=0
  seen=$(loaded)
  while (($(loaded) < next)); do
    kill -0 "$pid" 2>/dev/null || { echo "soak.sh: $browser ended after $(loaded) loads" >&2; exit 0; }
    now=$(loaded)
    if ((now != seen)); then seen=$now waited=0; fi
    ((waited++ < 1200)) || { echo "soak.sh: no progress for 2 minutes at $(loaded) loads" >&2; exit 0; }
    sleep 0.1
  done
  read -r total kinds <<<"$(pss_kib)"
  pss[$next]=$total
  printf "%5d  %9.1f  %d, %d   (%s)\n" "$next" "$(awk "BEGIN {print ${pss[$next]} / 1024}")" \
    "$(grep -c 'pane 1 finished' "$scratch/trace")" "$(grep -c 'pane 2 finished' "$scratch/trace")" \
    "$kinds"
  next=$((next + 50))
done
last=$(( loads / 50 * 50 ))
echo
for from in 50 100; do
  [[ -n ${pss[$from]:-} && $from -lt $last ]] || continue
  growth=$(awk "BEGIN {print (${pss[$last]} - ${pss[$from]}) * 100 / ${pss[$from]}}")
  printf "PSS growth from load %d to load %d: %+.1f %% (goal <= 10 %%): %s\n" "$from" "$last" \
    "$growth" "$(awk "BEGIN {print ($growth <= 10) ? \"PASS\" : \"MISS\"}")"
done
if [[ $browser == velmora ]]; then
  # Each load analysed: every page of the server one source view and one gallery.
  sources=$(grep -c 'pane 1 finished' "$scratch/trace")
  galleries=$(grep -c 'pane 2 finished' "$scratch/trace")
  printf "views after %d loads: %d source views, %d galleries: %s\n" "$(loaded)" "$sources" \
    "$galleries" "$( ((sources >= $(loaded) && galleries >= $(loaded))) && echo PASS || echo MISS)"
fi
kill "$pid" 2>/dev/null || true
