# Sourced by the Wine scripts. xdotool ends with an X error when a window it
# is looking at is destroyed under it, which Wine does often while a program
# starts or a popup closes; these retry instead of failing on that race.

# newest_window TITLE_REGEX: the newest visible window so titled, if any.
newest_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1; }

# find_window TITLE_REGEX: waits up to 20 s for a window so titled, lets it
# paint for a second and prints the newest one then (the first match can be
# a window Wine replaces while mapping); fails when none appeared.
find_window() {
  local found=
  for _ in $(seq 100); do
    found=$(newest_window "$1") || found=
    [ -n "$found" ] && break
    sleep 0.2
  done
  [ -n "$found" ] || return 1
  sleep 1
  found=$(newest_window "$1") || found=
  [ -n "$found" ] && echo "$found"
}

# visible_windows: how many windows are visible, counted again when the
# count was cut short by a window that went away meanwhile.
visible_windows() {
  local out
  for _ in 1 2 3 4 5; do
    out=$(xdotool search --onlyvisible --name '' 2>/dev/null) && { echo "$out" | grep -c .; return 0; }
    sleep 0.1
  done
  echo "$out" | grep -c . || true
}
