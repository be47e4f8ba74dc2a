# Shared by scripts/demo and scripts/screenshots (sourced, not run): the local FTP site, the demo
# build configured against it, demo installations, and a private X display with a window manager on
# which windows are found, pressed and photographed.
#
# Set before sourcing: top (the source tree) and demo (the build and work folder, build-demo/).
# Everything started here is ended by demo_cleanup, which the caller runs on EXIT.

demo_pids=()
demo_cleanup() {
  local pid
  for pid in "${demo_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}

# The FTP site on a free port of 127.0.0.1 (or on $demo_fixed_port when set), serving $demo/ftp:
# anonymous readers find the asteroid files 1234, 1500 and 1999 below pub/, the update site's user
# $demo_site_user (password $demo_site_password) the update archive below UPDATE/ and may upload
# logs to UPDATE/LOGS. Sets demo_port.
demo_site_user=${demo_site_user:-tavdemo}
demo_site_password=${demo_site_password:-demo-pw}
demo_serve() {
  local ftp="$demo/ftp" n
  rm -rf "$ftp" && mkdir -p "$ftp/pub/swisseph/ephe/ast1" "$ftp/UPDATE/LOGS"
  for n in 1234 1500 1999; do
    head -c 40000 /dev/urandom > "$ftp/pub/swisseph/ephe/ast1/se0${n}s.se1"
  done
  /usr/bin/python3 "$top/tests/common/ftpserver.py" --anonymous "$ftp:elr" \
    --user "$demo_site_user:$demo_site_password:$ftp:elradfmw" --log "$demo/ftp.log" \
    ${demo_fixed_port:+--port "$demo_fixed_port"} > "$demo/ftp.out" 2>&1 &
  demo_pids+=("$!")
  for _ in $(seq 50); do grep -q '^PORT ' "$demo/ftp.out" 2>/dev/null && break; sleep 0.1; done
  demo_port=$(sed -n 's/^PORT //p' "$demo/ftp.out")
  [ -n "$demo_port" ] || { echo "the local FTP server did not start:" >&2; cat "$demo/ftp.out" >&2; return 1; }
  echo "FTP site: ftp://127.0.0.1:$demo_port (asteroids 1234, 1500, 1999; update ko10.rar, user $demo_site_user)"
}

# Builds the targets named in $demo/ with the asteroid server and the first update site pointing at
# the FTP site (sites 1 and 2 keep the unreachable defaults).
demo_build() {
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$top"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$top" -B "$demo" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${launcher[@]}" \
    -DTAV_ASTEROID_URL="ftp://127.0.0.1:$demo_port" -DTAV_SITE0_URL="ftp://127.0.0.1:$demo_port" \
    -DTAV_SITE0_USER=tavdemo -DTAV_SITE0_PASSWORD=demo-pw >/dev/null
  cmake --build "$demo" --target "$@" -j "$(nproc)"
}

# The update 10 on the site: ko10.rar, made with the built archiver, holding a "readme" and files
# newer than the older copies that demo_installation lays out; the files named as arguments (a new
# program, say) come along at the top, dated now.
demo_update_archive() {
  local stage="$demo/update-10" extra=() file
  rm -rf "$stage" && mkdir -p "$stage/help" "$stage/atlas"
  for file in "$@"; do
    cp "$file" "$stage/"
    extra+=("$(basename "$file")")
  done
  printf 'Update 10\n\n- new help pages\n- the town atlas with 120 new towns\n- corrected zodiac table\n' \
    > "$stage/readme"
  printf 'Help, edition 10\n' > "$stage/help/kora.hlp"
  printf 'Towns, edition 10\n' > "$stage/atlas/towns.dat"
  printf 'Zodiac, edition 10\n' > "$stage/zodiac.dat"
  rm -f "$demo/ftp/UPDATE/ko10.rar"
  (cd "$stage" && "$demo/bin/rar" a -r -idcpdq -y "$demo/ftp/UPDATE/ko10.rar" readme help atlas zodiac.dat "${extra[@]}")
}

# A demo installation in $1, in language $2 (ru or en: the English catalog copied in as tav.t):
# settings, an ephemeris directory, another installation to take over from, a text to export, the
# archiver, older copies of the update's files, a copy of tav and a stand-in for the host program
# kora10.exe (a script that says it was started), so the update log dates both.
demo_installation() {
  local inst=$1 lang=$2
  rm -rf "$inst" && mkdir -p "$inst/ephe" "$inst/other" "$inst/help" "$inst/atlas"
  printf 'Ov=0\n' > "$inst/tavx.in"
  printf '%s/ephe/\n' "$inst" > "$inst/DIRSWE.CTL"
  : > "$inst/ephe/PLP018.E1"
  printf 'NINST=42\nLANG=%s\n' "$lang" > "$inst/kora.ini"
  printf 'BASA=base1\nDIRBASA=%s/other\nOrb-Sun=10\nOther=1\n' "$inst" > "$inst/other/kora.ini"
  printf 'Ivanov Ivan 01.01.1980\n' > "$inst/other/family.bod"
  printf 'A text written by the host.\nIt is typed into a new document,\none paragraph per block.\n\nSecond paragraph.\n' \
    > "$inst/report.txt"
  printf 'Help, edition 9\n' > "$inst/help/kora.hlp"
  printf 'Towns, edition 9\n' > "$inst/atlas/towns.dat"
  printf 'Zodiac, edition 9\n' > "$inst/zodiac.dat"
  touch -d '-2 days' "$inst/help/kora.hlp" "$inst/atlas/towns.dat" "$inst/zodiac.dat"
  cp "$demo/bin/rar" "$inst/rar"
  cp "$demo/bin/tav" "$inst/tav"
  printf '#!/bin/sh\necho "kora10.exe, the host program (a stand-in), started in $PWD"\n' > "$inst/kora10.exe"
  chmod +x "$inst/kora10.exe"
  touch -d '-2 days' "$inst/tav" "$inst/kora10.exe"
  if [ "$lang" = en ]; then cp "$demo/bin/tav.en.t" "$inst/tav.t"; fi
}

# A private X server with the window manager openbox, so that windows get their title bars.
# Sets DISPLAY.
demo_display() {
  local fd line display
  exec {fd}< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null & echo "pid $!")
  read -r -u "$fd" line; demo_pids+=("${line#pid }")
  read -r -u "$fd" display
  export DISPLAY=":$display"
  openbox --sm-disable >/dev/null 2>&1 &
  demo_pids+=("$!")
  # The window manager is ready once it has claimed the screen.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.05
  done
  echo "the window manager did not start" >&2
  return 1
}

# Prints the id of the first visible window whose title (or, with $2 = --class, class) matches the
# extended regular expression $1, waiting up to $demo_wait_seconds (default 20 s) for it.
demo_window() {
  local id
  for _ in $(seq $((${demo_wait_seconds:-20} * 10))); do
    id=$(xdotool search --onlyvisible "${2:---name}" "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window with the title '$1' appeared" >&2
  return 1
}

# Waits until no visible window's title matches $1.
demo_window_gone() {
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "the window '$1' stayed" >&2
  return 1
}

# Activates window $1 and sends it the xdotool key or type command $2 ...: through XTEST, as a
# user's keys, since Qt ignores keys sent to a window directly.
demo_keys() {
  local id=$1; shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool "$@"
}

# Saves window $1 with the window manager's frame as the PNG $2, once it has painted.
demo_shot() {
  sleep 1
  import -frame -window "$1" -strip "png:$2"
  echo "saved $2"
}

# Title patterns: the program's windows are "***" and a catalog text; the boxes "*** Warring"
# (warnings) and "Warring" (information).
demo_main_title='^\*\*\*[^ ]'
demo_warning_title='^\*\*\* Warring$'
demo_information_title='^Warring$'

# The exact title pattern of a window titled by the catalog text of key $1 in language $2 (its
# display text, before any "["), after the prefix $3.
demo_title() {
  local text
  text=$(cat "$top"/data/catalog/"$2"/*.txt | sed -n "s/^$1 //p" | head -1)
  text=${text%%[*}
  printf '^%s$' "$(printf '%s' "$3$text" | sed 's/[][\.*^$(){}?+|/]/\\&/g')"
}

# Mode Up in the current installation (language $2), pressed as a user would: the updater, "New",
# the confirmation accepted, the box that ends the installation, the updater afterwards. Saves
# up.png, up-confirmation.png, up-installed.png and up-after.png into $1.
demo_update_shots() {
  local out=$1 lang=$2 pid id main
  main=$(demo_title main "$lang" '***')
  "$demo/bin/tav" UF=10 P=kora10.exe &
  pid=$!
  demo_pids+=("$pid")
  id=$(demo_window "$main")
  demo_shot "$id" "$out/up.png"
  # The first button, "New", has the keyboard focus.
  demo_keys "$id" key space
  id=$(demo_window "$(demo_title Naydeno "$lang" '***')")
  demo_shot "$id" "$out/up-confirmation.png"
  # "Update" is the confirmation's first button.
  demo_keys "$id" key Return
  id=$(demo_window "$demo_warning_title")
  demo_shot "$id" "$out/up-installed.png"
  demo_keys "$id" key Return
  demo_window_gone "$demo_warning_title"
  id=$(demo_window "$main")
  demo_shot "$id" "$out/up-after.png"
  demo_keys "$id" key Escape
  wait "$pid" || true
}
