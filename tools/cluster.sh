#!/usr/bin/env bash
# A many-machine setting on this one machine, for the README's recipes:
#
#   bash tools/cluster.sh start DIR BINDIR   # as root; prints the settings
#   bash tools/cluster.sh stop DIR
#
# start makes DIR (fresh) and starts, all configured and kept inside it:
#   - an OpenSSH server on a free loopback port, with a host key and a user
#     key made for it; DIR/ssh_config reaches it as the hosts "alpha"
#     (127.0.0.1) and "beta" (localhost), two names for this machine, and
#     its sessions find BINDIR first on PATH;
#   - munge with a key of its own and a one-node Slurm cluster (slurmctld
#     and slurmd, on free ports, the node this machine).
# It prints the environment that reaches them (PARALLEL_SSH, SLURM_CONF),
# one export a line, for `eval`. It exits 77 with one line on standard
# error when the machine cannot start them (not root, a program missing, a
# daemon that does not come up; the daemons' logs stay in DIR), having
# stopped whatever it started. stop ends every daemon started in DIR, by
# the process numbers they wrote there.
set -euo pipefail

skip() {
  echo "cluster: cannot start the services here: $*" >&2
  stop_all "$dir"
  exit 77
}

# A TCP port on the loopback that nothing listens on.
free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 40000))
    ss -Htln "sport = :$port" 2>/dev/null | grep -q . || { echo "$port"; return; }
  done
  echo 0
}

stop_all() {
  local d=$1 pidfile pid
  [ -d "$d" ] || return 0
  [ -f "$d/slurm.conf" ] && SLURM_CONF="$d/slurm.conf" scancel --quiet --user=root 2>/dev/null || true
  for pidfile in "$d"/slurmd.pid "$d"/slurmctld.pid "$d"/munge/pid "$d"/sshd.pid; do
    [ -s "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$pidfile"
  done
}

start_ssh() {
  local port sshd
  port=$(free_port)
  sshd=$(command -v sshd || echo /usr/sbin/sshd)
  [ -x "$sshd" ] || skip "no sshd (openssh-server)"
  ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key"
  ssh-keygen -q -t ed25519 -N '' -f "$dir/user_key"
  cp "$dir/user_key.pub" "$dir/authorized_keys"
  mkdir -p /run/sshd
  cat >"$dir/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_key
PidFile $dir/sshd.pid
AuthorizedKeysFile $dir/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
SetEnv PATH=$bindir:/usr/local/bin:/usr/bin:/bin
EOF
  cat >"$dir/ssh_config" <<EOF
Host alpha
  HostName 127.0.0.1
Host beta
  HostName localhost
Host *
  Port $port
  IdentityFile $dir/user_key
  IdentitiesOnly yes
  BatchMode yes
  StrictHostKeyChecking no
  UserKnownHostsFile /dev/null
  LogLevel ERROR
EOF
  "$sshd" -f "$dir/sshd_config" -E "$dir/sshd.log" || skip "sshd did not start (see $dir/sshd.log)"
  for _ in $(seq 50); do ssh -F "$dir/ssh_config" beta true 2>/dev/null && return; sleep 0.1; done
  skip "sshd does not answer (see $dir/sshd.log)"
}

start_slurm() {
  local node
  node=$(hostname -s)
  for p in munged slurmctld slurmd sbatch; do command -v "$p" >/dev/null || skip "no $p (slurm-wlm, munge)"; done
  mkdir -m 700 "$dir/munge"
  mkdir "$dir/state" "$dir/spool"
  head -c 1024 /dev/urandom >"$dir/munge/key"
  chmod 400 "$dir/munge/key"
  munged -f --socket="$dir/munge/socket" --key-file="$dir/munge/key" --pid-file="$dir/munge/pid" \
    --log-file="$dir/munge/log" --seed-file="$dir/munge/seed" || skip "munged did not start (see $dir/munge/log)"
  cat >"$dir/slurm.conf" <<EOF
ClusterName=quorvex
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
KillWait=5
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=all Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF="$dir/slurm.conf"
  slurmctld -f "$SLURM_CONF" || skip "slurmctld did not start (see $dir/slurmctld.log)"
  slurmd -f "$SLURM_CONF" -N "$node" || skip "slurmd did not start (see $dir/slurmd.log)"
  for _ in $(seq 100); do
    [ "$(sinfo -h -o %t 2>/dev/null)" = idle ] && return
    sleep 0.2
  done
  skip "the Slurm node did not come up (see $dir/slurmctld.log and $dir/slurmd.log)"
}

case "${1:-}" in
start)
  dir=$2 bindir=$3
  rm -rf "$dir"
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  [ "$(id -u)" -eq 0 ] || skip "not root"
  start_ssh
  start_slurm
  echo "export PARALLEL_SSH='ssh -F $dir/ssh_config'"
  echo "export SLURM_CONF='$dir/slurm.conf'"
  ;;
stop) stop_all "$2" ;;
*)
  echo "usage: bash tools/cluster.sh start DIR BINDIR | stop DIR" >&2
  exit 2
  ;;
esac
