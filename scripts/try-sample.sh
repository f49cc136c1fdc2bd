#!/usr/bin/env bash
# Installs what is needed, builds Corvane (Release, in build/), writes a sample Lodgebook folder,
# copies corvane into it and starts it there, with USERPROFILE at the sample's user folder so that
# its Downloads folder (holding a payment download) is found.
#   --prepare-only      everything but starting Corvane (CI starts it itself)
#   CORVANE_SAMPLE_DIR  the sample folder (default: ~/corvane-sample); rewritten on every run
#   CORVANE_VNC_PORT    the VNC port used when there is no display (default: 5900)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
sample="${CORVANE_SAMPLE_DIR:-${HOME:-/root}/corvane-sample}"
marker=".corvane-sample"
prepare_only=false
if [ "${1:-}" = "--prepare-only" ]; then
  prepare_only=true
elif [ $# -gt 0 ]; then
  echo "usage: try-sample.sh [--prepare-only]" >&2
  exit 2
fi

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)" --target corvane lodgebook-sample

# Only a folder this script wrote before is replaced; anything else is left alone.
if [ -e "$sample" ]; then
  if [ ! -e "$sample/$marker" ]; then
    echo "try-sample.sh: $sample exists and is not a sample folder written by this script;" \
         "set CORVANE_SAMPLE_DIR to another folder" >&2
    exit 1
  fi
  rm -rf -- "$sample"
fi
"$build/lodgebook-sample" "$sample"
touch "$sample/$marker"
cp "$build/corvane" "$sample/"
if $prepare_only; then
  echo "Sample Lodgebook folder ready: $sample"
  exit 0
fi

export USERPROFILE="$sample/user"
cd "$sample"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec ./corvane
fi

# No display: Qt's VNC platform serves the program's screen to any VNC viewer.
port="${CORVANE_VNC_PORT:-5900}"
if compgen -G "/usr/lib/*/qt6/plugins/platforms/libqvnc.so" >/dev/null; then
  host="$(hostname 2>/dev/null || echo this-machine)"
  cat <<MSG
This machine has no display, so Corvane shows its windows through VNC.
Connect a VNC viewer to port $port of this machine ($host), for example:
    vncviewer $host::$port
or from afar through ssh:  ssh -L $port:localhost:$port root@$host  then  vncviewer localhost::$port
Anyone who can reach that port sees and uses the program: keep it on a trusted network.
Stop Corvane with its Exit button or with Ctrl+C here.
MSG
  export QT_QPA_PLATFORM="vnc:size=1280x800:port=$port"
  exec ./corvane
fi

echo "This machine has no display and Qt's VNC platform is missing: Corvane runs on a virtual" \
     "X display (xvfb-run), where nothing can be seen. Install qt6-qpa-plugins to see it."
exec xvfb-run -a ./corvane
