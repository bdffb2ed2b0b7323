# Sourced by the Windows scripts: wine64 in a wine folder of the caller's, on
# a virtual display of its own, served by one persistent wineserver. The
# server and the display go on every way out of the calling script.
#   wine_env NAME PREFIX [OVERRIDES]  finds wine, sets its environment, stops a
#                                     server an interrupted run left for PREFIX
#   wine_display GEOMETRY             starts Xvfb and sets DISPLAY
#   wine_server                       starts the persistent wineserver
# NAME begins the messages; OVERRIDES are DLL overrides beside the ones that
# keep the Mono and Gecko installer dialogs away. Sets $wine and $wineserver.

wine_env() {
  wine_name=$1
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  [ -x "$wine" ] || { echo "$wine_name: wine64 not found" >&2; exit 1; }
  export WINEPREFIX=$2
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=${3:+;$3}"
  # Arguments and file names cross between Linux and Windows as UTF-8.
  export LC_ALL=C.UTF-8
  # A wineserver left by an interrupted run would refuse the persistent one
  # (and still holds the old folder).
  [ ! -d "$WINEPREFIX" ] || "$wineserver" -k >/dev/null 2>&1 || true
  wine_xvfb=""
  wine_displayfile=""
  trap wine_end EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM HUP
}

wine_end() {
  [ ! -d "$WINEPREFIX" ] || "$wineserver" -k >/dev/null 2>&1 || true
  [ -z "$wine_xvfb" ] || kill "$wine_xvfb" 2>/dev/null || true
  [ -z "$wine_displayfile" ] || rm -f "$wine_displayfile"
}

wine_display() {
  wine_displayfile=$(mktemp)
  # The first free display number.
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$wine_displayfile" >/dev/null 2>&1 &
  wine_xvfb=$!
  for _ in $(seq 1 100); do [ -s "$wine_displayfile" ] && break; sleep 0.1; done
  [ -s "$wine_displayfile" ] || { echo "$wine_name: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(cat "$wine_displayfile")"
}

wine_server() {
  mkdir -p "$WINEPREFIX"
  # No output pipe of ours stays open behind it.
  "$wineserver" -p >/dev/null 2>&1 || { echo "$wine_name: wineserver did not start" >&2; exit 1; }
}
