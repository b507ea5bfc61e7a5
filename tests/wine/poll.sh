# Sourced by the Wine test scripts (POSIX sh).
# poll LIMIT_MS COMMAND...: runs COMMAND every 10 ms until it succeeds; false once LIMIT_MS have
# passed. The limit is kept on the wall clock, so a slow check does not stretch it.
poll() {
    deadline=$(( $(date +%s%N) / 1000000 + $1 ))
    shift
    while :; do
        if "$@"; then return 0; fi
        [ $(( $(date +%s%N) / 1000000 )) -lt "$deadline" ] || return 1
        sleep 0.01
    done
}
