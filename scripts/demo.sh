#!/usr/bin/env bash
# Sets up, builds and starts the demo host:   scripts/demo.sh [--rows N] [--fresh] [--timeout S]
#
# Installs what is missing (scripts/setup.sh), builds velmora-demo in build/, creates the sample
# store on first run and starts the demo on it through the embedded engine (no server to install
# or start). Without a display it runs under xvfb-run.
#   data:  ${VELMORA_DEMO_DIR:-~/.local/share/velmora-demo}/
#            store.fdb   sample store database (20,000 inventory rows unless --rows)
#            data/       the store's data folder (layouts, shared settings, mail files)
#            local/      the workstation folder, with search.tmp (customer search file, password "velmora")
#            mail-sink/mail/  every message the demo sends (one .eml each): the demo's mail settings
#                        point at the project's mail sink, started on loopback while the demo runs
#   --fresh      make the sample data again
#   --timeout S  stop the demo after S seconds (a check that it starts; exit 0 when it ran that long)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build
rows=20000
fresh=0
timeout_s=
while [ $# -gt 0 ]; do
  case $1 in
    --rows) rows=$2; shift ;;
    --fresh) fresh=1 ;;
    --timeout) timeout_s=$2; shift ;;
    --build-dir) build=$(realpath -m "$2"); shift ;;
    -h|--help) sed -n '2,14p' "${BASH_SOURCE[0]}"; exit 0 ;;
    *) echo "demo.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done

demo_dir=${VELMORA_DEMO_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/velmora-demo}
step() { echo "== $*"; }

step "set-up"
"$root/scripts/setup.sh"

step "build ($build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(velmora-sampledb)
has_demo=0
if [ -f "$root/apps/demo/CMakeLists.txt" ]; then
  targets+=(velmora-demo)
  has_demo=1
fi
cmake --build "$build" --target "${targets[@]}"

sampledb=$(find "$build/apps/sampledb" -maxdepth 1 -type f -name velmora-sampledb -perm -u+x | head -n 1)
[ -n "$sampledb" ] || { echo "demo.sh: velmora-sampledb was not built" >&2; exit 1; }

# The embedded engine keeps its lock files in /tmp/firebird, which belongs to the firebird group;
# a user outside it gets a private lock folder (the same one for the generator and the demo).
unset ISC_USER ISC_PASSWORD
if ! { [ -d /tmp/firebird ] && [ -w /tmp/firebird ]; } && ! { [ ! -e /tmp/firebird ] && [ -w /tmp ]; }; then
  export FIREBIRD_LOCK=$demo_dir/fblock
  mkdir -p "$FIREBIRD_LOCK"
fi

mkdir -p "$demo_dir/data" "$demo_dir/local"
db=$demo_dir/store.fdb
search=$demo_dir/local/search.tmp
if [ "$fresh" = 1 ] || [ ! -f "$db" ] || [ ! -f "$search" ]; then
  step "sample data ($rows inventory rows) in $demo_dir"
  "$sampledb" --output "$db" --rows "$rows" --seed 1 --replace --search-file "$search" --search-password velmora
else
  step "sample data already in $demo_dir (--fresh makes it again)"
fi

# The component's help file sits in the workstation folder, where a host ships it.
cp -f "$root/src/platform/help/velmora.chm" "$demo_dir/local/velmora.chm"

# The mail sink on loopback, and the data folder's mail settings pointed at it (other settings kept).
sink_dir=$demo_dir/mail-sink
step "mail sink"
"$root/scripts/smtpsink.sh" start "$sink_dir"
trap '"$root/scripts/smtpsink.sh" stop "$sink_dir" >/dev/null 2>&1 || true' EXIT
sink_port=$(sed -n 's/^SMTP_PORT=//p' "$sink_dir/smtp.env")
/usr/bin/python3 - "$demo_dir/data/vlmfiles.dat" "127.0.0.1:$sink_port" <<'PY'
import configparser, os, sys
path, server = sys.argv[1], sys.argv[2]
c = configparser.ConfigParser(interpolation=None)
c.optionxform = str
if os.path.exists(path):
    c.read(path, encoding="utf-8")
if not c.has_section("Email"):
    c.add_section("Email")
c["Email"]["server"] = server
c["Email"].setdefault("senderemail", "store07@velmora-demo.example")
for key in ("senderuser", "senderpassword", "UseSSL"):
    c.remove_option("Email", key)
with open(path + ".tmp", "w", encoding="utf-8", newline="\r\n") as f:
    c.write(f, space_around_delimiters=False)
os.replace(path + ".tmp", path)
PY
echo "demo.sh: mail from the demo goes to the sink at 127.0.0.1:$sink_port; the messages land in $sink_dir/mail/"

if [ "$has_demo" = 0 ]; then
  echo "demo.sh: the demo host (apps/demo) is not in this checkout yet; the sample data is ready in $demo_dir"
  exit 0
fi
demo=$(find "$build/apps/demo" -maxdepth 1 -type f -name velmora-demo -perm -u+x | head -n 1)
[ -n "$demo" ] || { echo "demo.sh: velmora-demo was not built" >&2; exit 1; }

cmd=("$demo" --data "$demo_dir/data/" --local "$demo_dir/local/" --db "$db")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo.sh: no display, running under xvfb-run (nothing will be visible)"
  cmd=(xvfb-run -a -s "-screen 0 1280x1024x24" "${cmd[@]}")
fi

step "start: ${cmd[*]}"
if [ -z "$timeout_s" ]; then
  # Not exec: the mail sink is stopped when the demo ends.
  set +e
  "${cmd[@]}"
  rc=$?
  echo "demo.sh: messages sent from the demo: $(find "$sink_dir/mail" -name '*.eml' | wc -l), in $sink_dir/mail/"
  exit $rc
fi
# Check mode: the demo must still be running after the timeout; then it is stopped.
set +e
timeout --kill-after=5 "$timeout_s" "${cmd[@]}"
rc=$?
set -e
if [ $rc -eq 124 ]; then
  echo "demo.sh: the demo ran for ${timeout_s} s, stopped"
  exit 0
fi
echo "demo.sh: the demo ended by itself with status $rc within ${timeout_s} s" >&2
exit $([ $rc -eq 0 ] && echo 1 || echo $rc)
