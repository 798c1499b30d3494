# Sourced by the test harness scripts. Gives the Wine prefix of a build tree
# and a virtual display, both created on first use and reused afterwards.
#   tv_wine_setup BUILD_DIR   exports WINEPREFIX, WINEDEBUG and DISPLAY
#   tv_wine_teardown BUILD_DIR  stops the prefix's programs and the display

TV_WINE=/usr/lib/wine/wine64
# Raised whenever tv_prefix_settings changes, so existing prefixes get them.
TV_PREFIX_SETTINGS_VERSION=2
TV_WINESERVER=/usr/lib/wine/wineserver64
[ -x "$TV_WINESERVER" ] || TV_WINESERVER=/usr/lib/wine/wineserver

tv_wine_setup() {
  local build=$1
  export WINEPREFIX="$build/wineprefix"
  export WINEDEBUG="${TV_WINEDEBUG:--all}"
  # No Mono or Gecko downloads: the tests have no network.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$build"
  (
    flock 8
    tv_ensure_display "$build"
    export DISPLAY
    DISPLAY=$(cat "$build/xvfb.display")
    if [ ! -f "$WINEPREFIX/.tv-ready" ]; then
      rm -rf "$WINEPREFIX"
      "$TV_WINE" wineboot -i >/dev/null 2>&1 8>&- || true
      "$TV_WINESERVER" -w
    fi
    if [ "$(cat "$WINEPREFIX/.tv-ready" 2>/dev/null)" != "$TV_PREFIX_SETTINGS_VERSION" ]; then
      tv_prefix_settings
      echo "$TV_PREFIX_SETTINGS_VERSION" > "$WINEPREFIX/.tv-ready"
    fi
    # One server and one set of Wine's own background programs (services,
    # explorer, ...) stay up for the whole run. They are started here with
    # no terminal or pipe attached: started by a test they would inherit its
    # output pipe, and CTest would wait for them to end.
    # (No child may keep the lock's descriptor either: it would hold the lock.)
    if ! tv_wineserver_running; then
      "$TV_WINESERVER" -p </dev/null >/dev/null 2>&1 8>&- || true
      "$TV_WINE" cmd /c exit </dev/null >/dev/null 2>&1 8>&- || true
    fi
  ) 8>"$build/harness.lock"
  DISPLAY=$(cat "$build/xvfb.display")
  export DISPLAY
}

# True when a wineserver of this WINEPREFIX runs.
tv_wineserver_running() {
  local pid
  for pid in $(pgrep -x wineserver64) $(pgrep -x wineserver); do
    { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# Settings every test prefix gets once, right after it is created.
tv_prefix_settings() {
  local reg="$WINEPREFIX/drive_c/tv-settings.reg"
  # Chinese skin fonts map to the CJK font of the machine. Windows are not
  # handed to a window manager: Xvfb has none, and Wine would wait for one
  # whenever a window is hidden. (regedit reads UTF-16 with a byte-order mark.)
  {
    printf '\xff\xfe'
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
      '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
      '"Microsoft YaHei"="WenQuanYi Micro Hei"' \
      '"微软雅黑"="WenQuanYi Micro Hei"' '' \
      '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' \
      '"Managed"="N"' '' | iconv -f UTF-8 -t UTF-16LE
  } > "$reg"
  "$TV_WINE" regedit /S 'C:\tv-settings.reg' </dev/null >/dev/null 2>&1 8>&- || true
  rm -f "$reg"
}

# Starts Xvfb on a free display unless this build tree's one still runs.
tv_ensure_display() {
  local build=$1 n pid
  if [ -f "$build/xvfb.pid" ] && kill -0 "$(cat "$build/xvfb.pid")" 2>/dev/null; then return 0; fi
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null 8>&- &
    pid=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      echo "$pid" > "$build/xvfb.pid"
      echo ":$n" > "$build/xvfb.display"
      return 0
    fi
  done
  echo "wine-env: cannot start Xvfb" >&2
  return 1
}

tv_wine_teardown() {
  local build=$1
  WINEPREFIX="$build/wineprefix" "$TV_WINESERVER" -k >/dev/null 2>&1 || true
  if [ -f "$build/xvfb.pid" ]; then
    kill "$(cat "$build/xvfb.pid")" 2>/dev/null || true
    rm -f "$build/xvfb.pid" "$build/xvfb.display"
  fi
}
