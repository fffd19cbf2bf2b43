#!/usr/bin/env bash
# Runs the slurm.sh that dropkit-batch writes on a real one-node Slurm, started here with
# its own munge key, configuration, ports and folders (nothing system-wide is used), and
# checks that:
#   - an array of IQ-TREE runs submitted from the design's folder (sbatch slurm.sh) and
#     one submitted from its parent (sbatch run/slurm.sh) have one task a line of
#     jobs.txt, every task completes, and every tree equals, byte for byte, the tree that
#     `parallel < jobs.txt` makes from the same design;
#   - a design of more lines than Slurm's 1,000 tasks an array has an array of at most
#     1,000 tasks, each running its block of lines, every task completes and every output
#     equals parallel's.
# Usage: slurm_test.sh DROPKIT_BATCH SOURCE_DIR
# Exits 77 (a skip) when the Slurm, munge, IQ-TREE or parallel programs are not installed,
# except under CI=true, where they must be; a Slurm that does not come up always fails.
set -euo pipefail
shopt -s nullglob

batch=$1
source_dir=$2
readonly skip=77
# Every wait below gives up this many seconds after the start, which leaves the stop
# (at most a minute) inside CTest's timeout.
readonly give_up_at=$((SECONDS + 200))

say() { echo "slurm_test: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}

# Every daemon started here, by pid (slurmctld's also on its own), stopped in reverse
# order on any exit; and the parallel runs, ended first.
pids=()
names=()
helpers=()
controller=""
tmp=""

stop_all() {
  local pid i until
  for pid in "${helpers[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  # Jobs still running are cancelled first, so that no job outlives its slurmd.
  if [ -n "$controller" ] && kill -0 "$controller" 2>/dev/null; then
    scancel --quiet --full --signal=KILL --user="$(id -un)" 2>/dev/null || true
    until=$((SECONDS + 20))
    while [ -n "$(squeue -h -o %i 2>/dev/null)" ] && ((SECONDS < until)); do sleep 0.2; done
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid=${pids[i]}
    kill -TERM "$pid" 2>/dev/null || continue
    until=$((SECONDS + 10))
    while kill -0 "$pid" 2>/dev/null && ((SECONDS < until)); do sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

on_exit() {
  local status=$?
  trap - EXIT INT TERM HUP
  set +e
  if ((status != 0)) && [ -n "$tmp" ]; then
    for log in "$tmp"/log/*.err; do
      [ -s "$log" ] && { say "last lines of $log:"; tail -n 15 "$log" >&2; }
    done
  fi
  stop_all
  [ -n "$tmp" ] && rm -rf "$tmp"
  exit "$status"
}
trap on_exit EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits until `$@` succeeds, polling; fails at once if a daemon started here stops.
wait_for() {
  local what=$1 i
  shift
  until "$@"; do
    for i in "${!pids[@]}"; do
      kill -0 "${pids[i]}" 2>/dev/null || fail "${names[i]} stopped while waiting for $what"
    done
    ((SECONDS < give_up_at)) || fail "gave up waiting for $what"
    sleep 0.2
  done
}

# Skips (fails under CI) without the programs, or without root, which slurmd needs to
# start jobs.
check_programs() {
  local missing=() p why=""
  for p in munged slurmctld slurmd sbatch squeue sinfo scancel iqtree2 parallel python3; do
    command -v "$p" >/dev/null || missing+=("$p")
  done
  if ((${#missing[@]} > 0)); then
    why="not installed: ${missing[*]} (scripts/install-deps.sh installs them)"
  elif (($(id -u) != 0)); then
    why="slurmd must run as root to start jobs, and this runs as $(id -un)"
  else
    return 0
  fi
  [ "${CI:-}" = true ] && fail "$why"
  say "SKIPPED: $why"
  exit "$skip"
}

# Two TCP ports free on this machine now, for slurmctld and slurmd.
free_ports() {
  python3 -c 'import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))'
}

node_idle() { [ "$(sinfo -h -N -o %t 2>/dev/null)" = idle ]; }

start_slurm() {
  mkdir -p "$tmp"/{munge,log,state,spool}
  chmod 755 "$tmp" "$tmp"/munge  # munged wants every user able to reach its socket
  head -c 1024 /dev/urandom >"$tmp"/munge/munge.key
  chmod 400 "$tmp"/munge/munge.key
  local socket="$tmp"/munge/munge.socket
  munged --foreground --socket="$socket" --key-file="$tmp"/munge/munge.key \
    --log-file="$tmp"/log/munged.log --pid-file="$tmp"/munge/munged.pid \
    --seed-file="$tmp"/munge/munged.seed 2>"$tmp"/log/munged.err &
  pids+=($!) names+=(munged)

  local host ctl_port node_port node name
  host=$(hostname -s)
  read -r ctl_port node_port < <(free_ports)
  [[ $ctl_port =~ ^[0-9]+$ && $node_port =~ ^[0-9]+$ ]] || fail "found no free ports"
  # The node as slurmd finds it (CPUs, sockets, memory), reached on the loopback address.
  node=$(slurmd -C | head -n 1)
  [[ $node =~ ^NodeName=([^ ]+)\  ]] || fail "slurmd -C said: $node"
  name=${BASH_REMATCH[1]}
  touch "$tmp"/plugstack.conf
  # Slurm starts pending tasks at most about once a second, so on a node of two CPUs an
  # array of 500 tasks would take minutes: up to 32 tasks share a CPU here, and a job's
  # tasks are started without the usual wait of 3 seconds.
  cat >"$tmp"/slurm.conf <<EOF
ClusterName=dropkit-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctl_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
PlugStackConfig=$tmp/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
MailProg=/bin/true
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/filetxt
JobCompLoc=$tmp/log/jobcomp.txt
ReturnToService=2
SchedulerParameters=batch_sched_delay=0
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP OverSubscribe=FORCE:32
EOF
  export SLURM_CONF="$tmp"/slurm.conf
  wait_for "munged's socket" test -S "$socket"
  slurmctld -D -i 2>"$tmp"/log/slurmctld.err &
  controller=$!
  pids+=($!) names+=(slurmctld)
  slurmd -D -N "$name" 2>"$tmp"/log/slurmd.err &
  pids+=($!) names+=(slurmd)
  wait_for "the node to be idle" node_idle
}

# Submits `sbatch $2` from folder $1; prints the job's id.
submit() {
  (cd "$1" && sbatch --parsable "$2") || fail "sbatch $2 refused the script in $1"
}

# Lines in jobs.txt of the design in $1.
lines() { wc -l <"$1"/jobs.txt; }

# Checks the array job $1 had $2 tasks, all COMPLETED with exit code 0, from the
# job-completion log (there is no accounting database here).
check_array() {
  local job=$1 expected=$2 records
  records=$(grep -E "^JobId=[0-9]+ .*ArrayJobId=$job " "$tmp"/log/jobcomp.txt || true)
  local count bad task dir
  count=$(grep -c . <<<"$records" || true)
  ((count == expected)) || fail "array job $job ran $count tasks, not $expected"
  bad=$(grep -v -E ' JobState=COMPLETED .* ExitCode=0:0( |$)' <<<"$records" | head -n 1 || true)
  [ -z "$bad" ] && return 0
  task=$(sed -E 's/.* ArrayTaskId=([0-9]+) .*/\1/' <<<"$bad")
  dir=$(sed -E 's/.* WorkDir=([^ ]*) .*/\1/' <<<"$bad")
  say "task $task of array job $job: $(grep -o -E ' (JobState|ExitCode)=[^ ]+' <<<"$bad" | xargs)"
  cat "$dir/slurm-${job}_$task.out" >&2 || true
  fail "array job $job has tasks that did not complete"
}

# Checks that design $1 and design $2 (run by parallel) each have $4 files named *$3,
# the same ones, byte for byte.
same_outputs() {
  local made=$1 want=$2 ext=$3 count=$4 f
  local got=("$made"/*"$ext") wanted=("$want"/*"$ext")
  ((${#wanted[@]} == count)) || fail "parallel made ${#wanted[@]} files *$ext, not $count"
  ((${#got[@]} == count)) || fail "$made has ${#got[@]} files *$ext, not $count"
  for f in "${wanted[@]}"; do
    cmp -s "$f" "$made/${f##*/}" || fail "$made/${f##*/} differs from what parallel made"
  done
}

# The daemons are in sbin, which a user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
# Nothing of a Slurm this may run under, or of its settings, reaches the one started here.
while read -r name; do unset "$name"; done < <(
  compgen -e | grep -E '^(SLURM|SBATCH|SQUEUE|SINFO|SCANCEL|SCONTROL)_' || true)
check_programs
tmp=$(mktemp -d "${TMPDIR:-/tmp}/dropkit-slurm.XXXXXX")
start_slurm

# The designs, each in three copies: two for Slurm, one for parallel.
mkdir -p "$tmp"/trees/here "$tmp"/many/here
iqtree='iqtree2 -s {alignment} --prefix {group} -m JC -seed 1 -nt 1 -quiet'
"$batch" "$source_dir"/examples/jackknife/example.fasta --omit 3 --groups 6 --seed 42 \
  --prune-to "$tmp"/trees/here/run --jobs "$iqtree" >/dev/null
"$batch" "$source_dir"/examples/jackknife/example.fasta --omit 2 --groups 1050 --seed 7 \
  --prune-to "$tmp"/many/here/run --jobs 'cksum {alignment} > {group}.sum' >/dev/null
for design in trees many; do
  cp -a "$tmp"/$design/here "$tmp"/$design/parent
  cp -a "$tmp"/$design/here "$tmp"/$design/parallel
done

trees_here=$(submit "$tmp"/trees/here/run slurm.sh)
trees_parent=$(submit "$tmp"/trees/parent run/slurm.sh)
many=$(submit "$tmp"/many/here/run slurm.sh)
for design in trees many; do
  (cd "$tmp"/$design/parallel/run && exec parallel --will-cite <jobs.txt) &
  helpers+=($!)
done
helpers_done() { ! kill -0 "${helpers[@]}" 2>/dev/null; }
queue_empty() { [ -z "$(squeue -h -o %i)" ]; }
wait_for "parallel" helpers_done
for pid in "${helpers[@]}"; do wait "$pid" || fail "parallel failed on a design"; done
wait_for "the arrays to finish" queue_empty

tree_lines=$(lines "$tmp"/trees/parallel/run)
check_array "$trees_here" "$tree_lines"
check_array "$trees_parent" "$tree_lines"
same_outputs "$tmp"/trees/here/run "$tmp"/trees/parallel/run .treefile "$tree_lines"
same_outputs "$tmp"/trees/parent/run "$tmp"/trees/parallel/run .treefile "$tree_lines"

many_lines=$(lines "$tmp"/many/parallel/run)
((many_lines > 1000)) || fail "the large design has only $many_lines lines"
per=$(((many_lines + 999) / 1000))
tasks=$(((many_lines + per - 1) / per))
((tasks <= 1000)) || fail "$tasks tasks are more than an array may have"
check_array "$many" "$tasks"
same_outputs "$tmp"/many/here/run "$tmp"/many/parallel/run .sum "$many_lines"

say "passed: arrays of $tree_lines, $tree_lines and $tasks tasks ran as parallel does"
