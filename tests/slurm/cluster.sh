#!/usr/bin/env bash
# A throw-away one-node Slurm cluster for the tests, started without systemd:
# munged, slurmctld and slurmd run from a private configuration in one folder
# (normally under the build folder), listen on free ports of their own and are
# stopped again by their pid files. Nothing outside that folder is changed, so
# it runs beside a real Slurm installation and beside other copies of itself.
#
# Sourced by the tests:
#   slurm_require_packages        returns unless slurm-wlm or munge is missing;
#                                 then exits 77 (skipped), or 1 when
#                                 DORVE_REQUIRE_SLURM=1
#   slurm_cluster_start DIR CPUS  starts the cluster with one node "localhost"
#                                 of CPUS processors; exports SLURM_CONF; on
#                                 failure prints why (with the daemons' logs),
#                                 stops what it started and returns 1
#   slurm_cluster_stop            cancels the cluster's jobs, then stops
#                                 slurmd, slurmctld and munged, in that order
# Run on its own, `bash cluster.sh DIR` starts the cluster, runs four one-task
# job steps of two seconds at once, prints the wall time and stops it again.

SLURM_RUN_DIR=

slurm_log() { echo "slurm cluster: $*" >&2; }

slurm_require_packages() {
  local missing=() cmd
  for cmd in munged munge slurmctld slurmd srun sinfo squeue scancel; do
    command -v "$cmd" >/dev/null 2>&1 || missing+=("$cmd")
  done
  id munge >/dev/null 2>&1 || missing+=("user munge")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "${DORVE_REQUIRE_SLURM:-0}" = 1 ]; then
    slurm_log "FAILED: Slurm is required (DORVE_REQUIRE_SLURM=1) but not installed;" \
      "missing: ${missing[*]}. Install it with" \
      "'apt-get install --no-install-recommends slurm-wlm munge'."
    exit 1
  fi
  slurm_log "skipped: Slurm is not installed (missing: ${missing[*]});" \
    "'apt-get install --no-install-recommends slurm-wlm munge' enables this test."
  exit 77
}

# True when the process in pid file $1 is alive (not a zombie) and its
# command line names $2: a pid file never makes us signal a process we did
# not start, even when its number has been reused since.
slurm_daemon_alive() {
  local pid state
  [ -s "$1" ] || return 1
  pid=$(tr -dc '0-9' 2>/dev/null < "$1")
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
  state=$(sed 's/.*) //' 2>/dev/null < "/proc/$pid/stat" | cut -d' ' -f1)
  [ -n "$state" ] && [ "$state" != Z ] || return 1
  tr '\0' ' ' 2>/dev/null < "/proc/$pid/cmdline" | grep -qF -- "$2"
}

# Stops the daemon of pid file $1 (command line naming $2): SIGTERM, up to
# 10 s of grace, then SIGKILL.
slurm_stop_daemon() {
  local pidfile=$1 mark=$2 name=$3 pid tries=0
  slurm_daemon_alive "$pidfile" "$mark" || return 0
  pid=$(tr -dc '0-9' 2>/dev/null < "$pidfile")
  kill -TERM "$pid" 2>/dev/null
  while slurm_daemon_alive "$pidfile" "$mark" && [ $tries -lt 100 ]; do
    sleep 0.1; tries=$((tries + 1))
  done
  if slurm_daemon_alive "$pidfile" "$mark"; then
    slurm_log "$name (pid $pid) ignored SIGTERM for 10 s; killing it"
    kill -KILL "$pid" 2>/dev/null
    sleep 0.2
  fi
}

slurm_stop_daemons_in() {
  local dir=$1
  slurm_stop_daemon "$dir/slurmd.pid" "$dir/slurm.conf" slurmd
  slurm_stop_daemon "$dir/slurmctld.pid" "$dir/slurm.conf" slurmctld
  slurm_stop_daemon "$dir/munge/munged.pid" "$dir/munge/munge.socket" munged
}

slurm_cluster_stop() {
  [ -n "$SLURM_RUN_DIR" ] || return 0
  local dir=$SLURM_RUN_DIR until=$((SECONDS + 10))
  # Job steps still running (a test that failed half-way) are cancelled
  # first, so that no slurmstepd outlives the cluster; 10 s at most.
  if slurm_daemon_alive "$dir/slurmctld.pid" "$dir/slurm.conf"; then
    timeout 5 scancel --quiet --full --signal=KILL "--user=$(id -un)" 2>/dev/null
    timeout 5 scancel --quiet "--user=$(id -un)" 2>/dev/null
    while [ -n "$(timeout 5 squeue -h -o %i 2>/dev/null)" ] && [ $SECONDS -lt $until ]; do
      sleep 0.2
    done
  fi
  slurm_stop_daemons_in "$dir"
  SLURM_RUN_DIR=
}

# Prints a TCP port in 20000..59999 that nothing on this machine uses.
slurm_free_port() {
  local port used tries
  # Local ports in use, in the hexadecimal of /proc/net/tcp.
  used=$(awk 'NR > 1 { split($2, a, ":"); print a[2] }' /proc/net/tcp /proc/net/tcp6 2>/dev/null)
  for tries in $(seq 1 200); do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    if ! grep -qx "$(printf '%04X' "$port")" <<< "$used" && [ "$port" != "${1:-}" ]; then
      echo "$port"; return 0
    fi
  done
  return 1
}

# Writes the configuration for one node "localhost" with $2 processors into
# folder $1.
slurm_write_config() {
  local dir=$1 cpus=$2 ctld_port slurmd_port
  ctld_port=$(slurm_free_port) && slurmd_port=$(slurm_free_port "$ctld_port") || {
    slurm_log "FAILED: found no free TCP port for the daemons"; return 1; }
  : > "$dir/plugstack.conf"
  {
    echo "# Throw-away one-node cluster of the DORVE tests (written by tests/slurm/cluster.sh)."
    echo "ClusterName=dorvetest"
    echo "SlurmctldHost=localhost"
    echo "SlurmctldPort=$ctld_port"
    echo "SlurmdPort=$slurmd_port"
    echo "SlurmUser=$(id -un)"
    echo "AuthType=auth/munge"
    echo "CredType=cred/munge"
    echo "AuthInfo=socket=$dir/munge/munge.socket"
    echo "StateSaveLocation=$dir/state"
    echo "SlurmdSpoolDir=$dir/spool"
    echo "SlurmctldPidFile=$dir/slurmctld.pid"
    echo "SlurmdPidFile=$dir/slurmd.pid"
    echo "SlurmctldLogFile=$dir/slurmctld.log"
    echo "SlurmdLogFile=$dir/slurmd.log"
    echo "PlugStackConfig=$dir/plugstack.conf"
    # No systemd and no cgroups: processes are tracked through /proc.
    echo "ProctrackType=proctrack/linuxproc"
    echo "TaskPlugin=task/none"
    echo "JobAcctGatherType=jobacct_gather/none"
    echo "AccountingStorageType=accounting_storage/none"
    echo "JobCompType=jobcomp/none"
    echo "MpiDefault=none"
    echo "SwitchType=switch/none"
    echo "SelectType=select/cons_tres"
    echo "SelectTypeParameters=CR_CPU"
    echo "SchedulerParameters=batch_sched_delay=0"
    echo "MinJobAge=5"
    echo "MailProg=/bin/true"
    echo "ReturnToService=2"
    # A node may declare more processors than the machine has.
    if [ "$cpus" -gt "$(nproc)" ]; then echo "SlurmdParameters=config_overrides"; fi
    echo "NodeName=localhost NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN"
    echo "PartitionName=dorve Nodes=localhost Default=YES MaxTime=INFINITE State=UP"
  } > "$dir/slurm.conf"
}

slurm_show_logs() {
  local f
  for f in munge/munged.log slurmctld.log slurmd.log; do
    [ -s "$SLURM_RUN_DIR/$f" ] || continue
    echo "== last lines of $SLURM_RUN_DIR/$f" >&2
    tail -n 15 "$SLURM_RUN_DIR/$f" >&2
  done
}

slurm_start_failed() {
  slurm_log "FAILED: $*"
  slurm_show_logs
  slurm_cluster_stop
  return 1
}

# Starts munged as the munge user, with a fresh key of its own.
slurm_start_munged() {
  local m=$1/munge
  mkdir -p "$m" && chown munge:munge "$m" && chmod 755 "$m" || return 1
  (umask 077; head -c 1024 /dev/urandom > "$m/munge.key") &&
    chown munge:munge "$m/munge.key" || return 1
  runuser -u munge -- munged --socket="$m/munge.socket" --key-file="$m/munge.key" \
    --pid-file="$m/munged.pid" --log-file="$m/munged.log" --seed-file="$m/munged.seed"
}

slurm_cluster_start() {
  local dir=$1 cpus=$2 tries=0 state=
  if [ "$(id -u)" != 0 ]; then
    slurm_log "FAILED: slurmd runs job steps as their users and must be started as root;" \
      "run the tests as root"
    return 1
  fi
  # Clients inside an outer Slurm job would talk to that job's cluster.
  unset "${!SLURM_@}"
  mkdir -p "$dir" || { slurm_log "FAILED: cannot create $dir"; return 1; }
  dir=$(cd "$dir" && pwd)
  # Only a folder of ours is emptied.
  if [ -n "$(ls -A "$dir")" ] && ! grep -qs "^# Throw-away one-node cluster of the DORVE tests" \
       "$dir/slurm.conf" "$dir/cluster/slurm.conf"; then
    slurm_log "FAILED: $dir holds other files; give an empty or new folder"
    return 1
  fi
  # Daemons left over by a run that was killed outright.
  slurm_stop_daemons_in "$dir"
  if [ -L "$dir/cluster" ]; then
    slurm_stop_daemons_in "$(readlink "$dir/cluster")"
    rm -rf "$(readlink "$dir/cluster")"
  fi
  rm -rf "${dir:?}"/* && chmod 755 "$dir" && mkdir -p "$dir/state" "$dir/spool" ||
    { slurm_log "FAILED: cannot prepare $dir"; return 1; }
  SLURM_RUN_DIR=$dir
  # munged checks that every folder above its socket is reachable and safe,
  # and a socket path holds at most 107 bytes; /tmp serves when the build
  # folder does not qualify.
  if [ ${#dir} -gt 60 ] || ! runuser -u munge -- test -x "$dir"; then
    slurm_log "note: $dir does not suit munged's socket; using a folder under /tmp"
    rmdir "$dir/state" "$dir/spool"
    dir=$(mktemp -d /tmp/dorve-slurm.XXXXXX) && chmod 755 "$dir" &&
      mkdir -p "$dir/state" "$dir/spool" || { slurm_log "FAILED: cannot create a folder under /tmp"; return 1; }
    ln -sfn "$dir" "$SLURM_RUN_DIR/cluster"
    SLURM_RUN_DIR=$dir
  fi
  slurm_write_config "$dir" "$cpus" || return 1
  export SLURM_CONF=$dir/slurm.conf

  slurm_start_munged "$dir" || { slurm_start_failed "munged did not start"; return 1; }
  slurmctld -f "$SLURM_CONF" || { slurm_start_failed "slurmctld did not start"; return 1; }
  slurmd -N localhost -f "$SLURM_CONF" || { slurm_start_failed "slurmd did not start"; return 1; }
  # The node registers within about a second; allow 30 s on a loaded machine.
  while [ $tries -lt 150 ]; do
    state=$(timeout 5 sinfo -h -N -n localhost -o %t 2>/dev/null)
    [ "$state" = idle ] && return 0
    slurm_daemon_alive "$dir/slurmctld.pid" "$SLURM_CONF" ||
      { slurm_start_failed "slurmctld stopped while starting"; return 1; }
    slurm_daemon_alive "$dir/slurmd.pid" "$SLURM_CONF" ||
      { slurm_start_failed "slurmd stopped while starting"; return 1; }
    sleep 0.2; tries=$((tries + 1))
  done
  slurm_start_failed "the node did not become idle within 30 s (sinfo shows '${state:-nothing}')"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  [ $# -ge 1 ] || { echo "usage: bash $0 DIR [CPUS]" >&2; exit 2; }
  slurm_require_packages
  trap slurm_cluster_stop EXIT
  trap 'exit 1' INT TERM
  slurm_cluster_start "$1" "${2:-4}" || exit 1
  sinfo
  start=$(date +%s.%N)
  for i in 1 2 3 4; do srun -n1 sleep 2 & done
  wait
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "four concurrent srun -n1 sleep 2: %.2f s wall time\n", b - a }'
fi
