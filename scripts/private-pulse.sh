# Sourced: starts a PulseAudio server of our own in the folder $work, whose
# only sink is a null sink named $1 ("sync" unless given). Its files, socket
# and settings stay in that folder, so it neither meets nor disturbs a
# desktop's server; the null sink does not rewind, so a recording of its
# monitor holds exactly what the sink played. Sets server_pid; stop it with
# stop_private_pulse (an EXIT trap of the caller's). Needs: pulseaudio.
start_private_pulse() {
    local sink=${1:-sync}
    export HOME=$work XDG_RUNTIME_DIR=$work PULSE_RUNTIME_PATH=$work PULSE_STATE_PATH=$work
    export PULSE_SERVER="unix:$work/native"
    unset PULSE_LATENCY_MSEC SDL_AUDIODRIVER
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
        --load="module-null-sink sink_name=$sink norewinds=1" \
        --load="module-native-protocol-unix socket=$work/native auth-anonymous=1" \
        2>"$work/server.log" &
    server_pid=$!
    # A minute to start: far longer than the server takes, even on a loaded
    # machine, so that only one that never starts fails.
    local started=$SECONDS
    until [ -S "$work/native" ] || [ $((SECONDS - started)) -ge 60 ]; do
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -S "$work/native" ]; then
        cat "$work/server.log" >&2
        echo "no server socket after $((SECONDS - started)) s" >&2
        return 1
    fi
}

stop_private_pulse() {
    if [ -n "${server_pid:-}" ]; then
        kill "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
        server_pid=
    fi
}
