#!/usr/bin/env bash
# Runs the minimal example host, built against the unpacked packages, offscreen against the
# packaged local meeting service: it must report the join, close its window when told to leave
# (--leave-after) and exit 0 once the meeting's threads have ended.
# Usage: RunMinimalHost.sh STAGING LIBDIR HOST_EXE WORK_DIR MEETING_UUID MEMBER_UUID TOKEN
#                          ACCESS_TOKEN WORK_ID
set -euo pipefail
staging=$1 libdir=$2 host=$3 work=$4
meeting=$5 member=$6 token=$7 access_token=$8 work_id=$9

fail() {
    echo "minimal host check failed: $*" >&2
    for log in sim.out sim.err host.out host.err; do
        [ -f "$work/$log" ] && { echo "--- $log" >&2; tail -n 40 "$work/$log" >&2; }
    done
    exit 1
}

rm -rf "$work"
mkdir -p "$work/home/.config" "$work/certs"
# The user store lives in the scratch home; the program loads the unpacked library only.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen
export LD_LIBRARY_PATH="$staging/usr/$libdir"

"$staging/usr/bin/kelvo-meeting-sim" --cert-dir "$work/certs" >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT

for _ in $(seq 300); do
    grep -q '^CA file: ' "$work/sim.out" && break
    kill -0 "$sim" 2>/dev/null || fail "the meeting service ended before it listened"
    sleep 0.1
done
base=$(sed -n 's/^kelvo-meeting-sim listening on //p' "$work/sim.out")
ca=$(sed -n 's/^CA file: //p' "$work/sim.out")
[ -n "$base" ] && [ -n "$ca" ] || fail "the meeting service did not say where it listens"

status=0
timeout 60 "$host" --leave-after 1 \
    "meetingUUID=$meeting" "memberUUID=$member" "meetingToken=$token" \
    "meetingDomain=${base#https://}" "apiBaseUrl=$base" "itMonitorBaseUrl=$base" "caFile=$ca" \
    "mediaEngine=builtin" \
    "KEY_ACCESS_TOKEN=$access_token" "KEY_WORK_ID=$work_id" \
    >"$work/host.out" 2>"$work/host.err" || status=$?
[ "$status" -eq 0 ] || fail "minimal-host exited with $status"
grep -qx 'joined' "$work/host.out" || fail "no join reported"
grep -q '^error ' "$work/host.out" && fail "an error was reported"
[ "$(tail -n 1 "$work/host.out")" = "closed" ] || fail "the last line is not the closing"
grep -q '^user .* status 0$' "$work/host.out" || fail "no member was reported online"
echo "minimal-host joined, left and exited 0"
