# A private X server for desktop tests, sourced by their scripts:
#   xvfb_start DIR   starts Xvfb on a display it chooses (-displayfd), with
#                    its files in DIR; exports DISPLAY and sets XVFB_PID;
#                    false when it did not come up within 10 s
# It listens on a file socket only, which lab hosts (network namespaces)
# share with the test.
xvfb_start() {
  local dir=$1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  [ -s "$dir/display" ] || return 1
  export DISPLAY=":$(cat "$dir/display")"
}
