#!/bin/bash
# Runs examples/grid.sbatch on a real Slurm: one node on 127.0.0.1 with munged, slurmctld
# and slurmd started here from a configuration in a temporary folder. The array of shards
# and the merge job must give the results table and scenario folders of a one-process
# run, byte for byte. Every daemon started here is stopped by its pid.
#
#   slurm_grid_test.sh SURVSEQ_BINARY SOURCE_DIR
#
# Exit status 77 (skipped) when not root or when the Slurm and munge packages cannot be
# installed; 0 passed; 1 failed.

set -uo pipefail
survseq=$1
source_dir=$2
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*"; for log in "$work"/*.log; do echo "--- $log"; tail -n 20 "$log"; done; exit 1; }

[[ $(id -u) -eq 0 ]] || skip "needs root to start the Slurm daemons"
if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null ||
   ! command -v sbatch >/dev/null || ! command -v munged >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  { timeout 300 apt-get install -y -qq slurmctld slurmd slurm-client munge ||
    { timeout 120 apt-get update -qq && timeout 300 apt-get install -y -qq slurmctld slurmd slurm-client munge; }
  } </dev/null >/dev/null 2>&1 || skip "the packages slurmctld, slurmd, slurm-client and munge cannot be installed"
fi

work=$(mktemp -d /tmp/survseq-slurm.XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  [[ -n "${SLURM_CONF:-}" ]] && scancel --quiet --user=root >/dev/null 2>&1
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
    for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
    kill -9 "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# A free TCP port on the loopback address.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# munge with its own key and socket.
mkdir -p "$work/munge"
chmod 711 "$work/munge"
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$work/munge/munge.key"
munged --foreground --force --key-file="$work/munge/munge.key" \
  --socket="$work/munge/munge.socket" --pid-file="$work/munge/munged.pid" \
  --seed-file="$work/munge/munged.seed" --log-file="$work/munged.log" </dev/null \
  >>"$work/munged.log" 2>&1 &
pids+=($!)

cpus=$(nproc)
controller_port=$(free_port)
node_port=$(free_port)
while [[ $node_port == "$controller_port" ]]; do node_port=$(free_port); done
mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<CONF
ClusterName=survseqtest
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
NodeName=survseqnode NodeHostname=$(hostname) NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=grid Nodes=survseqnode Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$work/slurm.conf

for _ in $(seq 50); do [[ -S "$work/munge/munge.socket" ]] && break; sleep 0.1; done
[[ -S "$work/munge/munge.socket" ]] || fail "munged did not start"
slurmctld -D -c -f "$SLURM_CONF" </dev/null >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -N survseqnode -f "$SLURM_CONF" </dev/null >"$work/slurmd.out" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
  [[ $(sinfo -h -n survseqnode -o %T 2>/dev/null) == idle ]] && break
  sleep 0.2
done
[[ $(sinfo -h -n survseqnode -o %T 2>/dev/null) == idle ]] || fail "the Slurm node did not come up"

# A small grid: 2 x 3 scenarios of few trials, in 3 shards.
mkdir -p "$work/grid"
sed -e 's/^simulations_per_iteration = .*/simulations_per_iteration = 300/' \
  "$source_dir/examples/grid_base.toml" >"$work/grid/grid_base.toml"
cat >"$work/grid/grid.toml" <<GRID
base = "grid_base.toml"
[axes]
"alternative.hazard_ratio" = [0.6, 0.7]
"baseline_survival.median" = [9.0, 12.0, 15.0]
GRID
cd "$work/grid" || fail "no work folder"
submitted=$(SURVSEQ=$survseq bash "$source_dir/examples/grid.sbatch" grid.toml cluster 3) ||
  fail "sbatch refused the jobs: $submitted"
echo "$submitted"
merge_job=${submitted##* }
for _ in $(seq 450); do
  [[ -z $(squeue -h 2>/dev/null) ]] && break
  sleep 0.2
done
[[ -z $(squeue -h) ]] || fail "the jobs did not end within 90 s: $(squeue -h)"
[[ -f cluster/results.csv ]] || fail "the merge job $merge_job wrote no results.csv: $(cat cluster/slurm-logs/* 2>&1)"

"$survseq" grid grid.toml --out local --quiet || fail "the one-process run failed"
cmp cluster/results.csv local/results.csv || fail "the tables differ"
cmp cluster/grid.svg local/grid.svg || fail "the pictures differ"
diff -r --exclude=slurm-logs cluster local || fail "the scenario folders differ"
echo "the Slurm array and the one-process run agree: $(($(wc -l <local/results.csv) - 1)) scenarios"
