# Checks shared by the discovery lab tests.
LAB_STATUS=0

fail() {
  echo "FAIL: $*"
  LAB_STATUS=1
}

finish() {
  [ "$LAB_STATUS" = 0 ] && echo "PASS"
  exit "$LAB_STATUS"
}

count_exact() { grep -cxF -- "$2" "$1" 2>/dev/null; }

# Waits (up to 60 s) until file holds the line, with LF or CR LF.
wait_for_line() {
  local file=$1 line=$2 i
  for i in $(seq 600); do
    [ -f "$file" ] && tr -d "\r" <"$file" | grep -qxF -- "$line" && return 0
    sleep 0.1
  done
  fail "never saw '$line' in $file"
  return 1
}

expect_count() {
  local file=$1 line=$2 want=$3 got
  got=$(tr -d '\r' <"$file" | grep -cxF -- "$line")
  [ "$got" = "$want" ] || fail "'$line' appears $got times in $(basename "$file"), want $want"
}

# The broadcaster's and the listener's logs and outputs after one 5 s run of
# "Lab PC" 19483 lab-id, heard from address sender.
check_discovery() {
  local alog=$1 blog=$2 listen_out=$3 broadcast_out=$4 sender=$5
  local text="TOVIK|Lab PC|19483|lab-id" received duplicates ms
  expect_count "$alog" "broadcast_loop started: msg='$text' port=19482" 1
  for n in 1 2 3; do expect_count "$alog" "broadcast sent #$n (bytes=25)" 1; done
  expect_count "$listen_out" "FOUND Lab PC|$sender|19483|lab-id" 1
  [ "$(grep -c '^FOUND' "$listen_out")" = 1 ] || fail "on_found was called more than once"
  expect_count "$blog" "listen_loop: FOUND service 'Lab PC' at $sender:19483 (id=lab-id)" \
    "$(tr -d '\r' <"$blog" | grep -c '^listen_loop: received')"
  received=$(tr -d '\r' <"$blog" | grep -cxF "listen_loop: received 25 bytes from $sender: '$text'")
  duplicates=$(tr -d '\r' <"$blog" | grep -cxF "listen_loop: duplicate service, skipping")
  [ "$received" -ge 3 ] || fail "listener received $received announcements, want >= 3"
  [ "$duplicates" = $((received - 1)) ] || fail "$duplicates duplicates for $received receptions"
  expect_count "$blog" "listen_loop: NEW service — calling on_found callback" 1
  ms=$(sed -n 's/^STOPPED broadcaster in \([0-9]*\) ms.*/\1/p' "$broadcast_out" | tr -d '\r')
  [ -n "$ms" ] && [ "$ms" -le 400 ] || fail "broadcaster stop took '${ms}' ms (bound 400)"
  ms=$(sed -n 's/^STOPPED listener in \([0-9]*\) ms.*/\1/p' "$listen_out" | tr -d '\r')
  [ -n "$ms" ] && [ "$ms" -le 1500 ] || fail "listener stop took '${ms}' ms (bound 1500)"
}

# The raw receiver saw the announcements about 2 s apart.
check_period() {
  local sniff_out=$1 sender=$2 times t last=""
  times=$(tr -d '\r' <"$sniff_out" | awk -v s="$sender" '$1 == "DATAGRAM" && $3 == s { print $2 }')
  [ "$(echo "$times" | grep -c .)" -ge 3 ] || fail "raw receiver saw fewer than 3 announcements"
  for t in $times; do
    if [ -n "$last" ]; then
      [ $((t - last)) -ge 1800 ] && [ $((t - last)) -le 2600 ] ||
        fail "announcement period $((t - last)) ms, want about 2000"
    fi
    last=$t
  done
  echo "announcement arrivals (ms): $(echo $times)"
}
