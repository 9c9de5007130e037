#!/usr/bin/env bash
# Injected faults against the qvccfg program, as a user runs it: read errors, failed writes
# and a kill in the middle of a replacement. Whatever fails, no file that existed may lose
# what it held, nothing half-made may be left behind, and the exit status must say what is on
# disk.
#
# usage: faults.sh QVCCFG
set -uo pipefail
qvccfg=$(realpath "$1")
frmtask="$(dirname "$qvccfg")/FrmTask.exe"
command -v strace >/dev/null || { echo "strace is missing"; exit 1; }
# A sanitizer build's leak check cannot run under ptrace; the other checks still do.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
world="$root/w"
share="$world/CORE1/D/Apps/Main/QVLOGON"
groups="$share/FDGRPLST.GPS"
script="$world/CORE1/D/Apps/Main/SCRIPTS/New starters.ini"
asset="$world/CORE1/D/Apps/Main/SCRIPTS/Asset tag.ini"
hkcu="$world/ADMIN7/registry/HKCU.reg"
hklm="$world/ADMIN7/registry/HKLM.reg"
client="$world/PC-ANNA/C/QVCLIENT"
module='C:\Program Files\Arvex\QVNX\Console\QVCCFG.OCX'
failures=0
kept=()

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run [STRACE-OPTION...] -- ARG...: runs qvccfg (or $prog) on the world under strace; sets
# $status, $out, $err and $ran (what ran, for the messages).
run() {
  local opts=()
  while [ "$1" != -- ]; do opts+=("$1"); shift; done
  shift
  ran="$(basename "${prog:-qvccfg}") $* (${opts[*]})"
  out=$(strace -f -qq -o /dev/null "${opts[@]}" "${prog:-$qvccfg}" --world "$world" "$@" \
    2>"$root/err")
  status=$?
  err=$(<"$root/err")
}

# keep PATH...: the files (their bytes) and folders (their names) that the runs after must
# leave as they are now.
state() { if [ -d "$1" ]; then ls -a "$1"; else cat "$1"; fi; }
keep() {
  kept=("$@")
  for f; do state "$f" >"$root/$(basename "$f").kept"; done
}

# try STATUS [TEXT [OUT]] [STRACE-OPTION...] -- ARG...: runs, and fails unless the run exited
# with STATUS ("!0": any but 0), said TEXT, printed what the pattern OUT matches (when given)
# and left every kept file and folder as it was.
try() {
  local want=$1 text=$2 pattern=$3
  shift 3
  run "$@"
  if [ "$want" = '!0' ]; then [ "$status" -ne 0 ]; else [ "$status" -eq "$want" ]; fi ||
    fail "$ran exited $status: $err"
  [[ $err == *"$text"* ]] || fail "$ran does not say \"$text\": $err"
  [[ $out == $pattern ]] || fail "$ran printed: $out"
  for f in "${kept[@]}"; do
    state "$f" | cmp -s - "$root/$(basename "$f").kept" || fail "$ran changed $f"
  done
}

"$qvccfg" --world "$world" init >/dev/null || { echo "init failed"; exit 1; }
"$qvccfg" --world "$world" list >/dev/null || { echo "list failed"; exit 1; }

# --- A user hive or console database that cannot be read is neither rewritten nor taken for
# an empty one; a form that cannot be read is reported and the listing is incomplete.
printf '"Keep"="me"\r\n' >>"$hkcu"
printf 'qvnx-console-database 1\nnext 2\nsnapin 1 "Execute Ini Script" "FrmTask.exe" ""\n' \
  >"$world/console.db"
keep "$hkcu" "$world/console.db"
try '!0' "HKCU.reg cannot be read" '*' -P "$hkcu" -e inject=openat:error=EACCES -- list
try '!0' "HKCU.reg cannot be read" '*' -P "$hkcu" -e inject=pread64:error=EIO -- list
try 2 "console.db: cannot be read" '*' -P "$world/console.db" -e inject=pread64:error=EIO -- tasks
keep
try 1 "FRM1A.FRM cannot be read" '*' -P "$share/FRM1A.FRM" -e inject=openat:error=EIO -- list

# --- A new form whose contents cannot be stored leaves nothing behind, says so once and
# prints no path.
cat >"$root/new.json" <<'EOF'
{"name": "Fault form", "description": "d", "entries": [
  {"kind": "question", "control": 0, "inventoryName": "A", "text": "B", "required": false}]}
EOF
keep "$share"
for inject in write:error=ENOSPC:when=1 fsync:error=EIO:when=1 rename:error=EIO:when=1; do
  try 1 "the form was not saved" "" -e inject=$inject -- import "$root/new.json"
done
keep
try 0 "" '?*' -- import "$root/new.json"

# --- Another console saving a new form may take the form file's name between the reservation
# of the temporary name and the rename (the link fails with EEXIST): a fresh name is reserved
# and the form saved. A name that is taken at every try is given up after a bounded number of
# tries, with the message and nothing left behind.
sed 's/Fault form/Raced form/' "$root/new.json" >"$root/raced.json"
entries=$(ls -a "$share" | wc -l)
try 0 "" '?*' -e inject=link:error=EEXIST:when=1 -- import "$root/raced.json"
[[ $err == *"Administrative rights"* ]] && fail "a name taken once was reported as a right: $err"
[ "$(ls -a "$share" | wc -l)" -eq $((entries + 1)) ] || fail "$ran left: $(ls -a "$share")"
sed 's/Fault form/Always raced/' "$root/new.json" >"$root/always.json"
keep "$share"
try 1 "the form was not saved" '*' -e inject=link:error=EEXIST -- import "$root/always.json"

# --- A script is replaced in one step: a kill before the replacement leaves the old one, a
# failing unlink cannot mix old and new lines. The script command renames nothing else.
"$qvccfg" --world "$world" script "New starters" --group >/dev/null || fail "script failed"
chmod 600 "$script"
keep "$script"
try '!0' "" '*' -e inject=rename:signal=KILL:when=1 -- script "New starters" --group
keep
printf '[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\n' >"$groups"
try 0 "" '*' -P "$script" -e inject=unlink:error=EIO -- script "New starters" --group
grep -q REMCOPY1 "$script" && fail "old and new script lines were mixed: $(cat "$script")"
grep -q REMCOPY0 "$script" || fail "the new script lacks its copy line"
[ "$(stat -c %a "$script")" = 600 ] || fail "the rewritten script lost its mode"
keep "$script"
try 1 "" '*' -e inject=rename:error=EIO:when=1 -- script "New starters" --group

# --- The contents reach the disk before the rename publishes them, and the rename after.
trace=$(strace -f -qq -e trace=fsync,rename "$qvccfg" --world "$world" \
  script "New starters" --group 2>&1 >/dev/null | grep -E '^[0-9 ]*(fsync|rename)' |
  sed -E 's/^[0-9 ]*//; s/\(.*//' | tr '\n' ' ')
[[ $trace == *"fsync rename fsync"* ]] || fail "no fsync, rename, fsync sequence: $trace"

# --- A forms share that cannot be listed is not an empty one: a script made from it would
# delete every client's forms and copy none. So is a group list that cannot be read. Nothing
# is written and the command fails.
"$qvccfg" --world "$world" script "Asset tag" >/dev/null || fail "script of a form failed"
keep "$asset" "$script"
for command in script schedule drag; do
  try 1 "could not be listed" '*' -P "$share" -e inject=getdents64:error=EIO -- $command "Asset tag"
done
try 1 "" '*' -P "$groups" -e inject=pread64:error=EIO -- script "New starters" --group

# --- A name that can have no script: schedule and drag fail with the reason (drag prints no
# script).
printf '[Form]\r\nFormName=What?\r\n' >"$share/FRM9.FRM"
try 1 "cannot run: its name holds a character" '*' -- schedule "What?"
try 1 "cannot run: its name holds a character" '*"script": ""*' -- drag "What?"
rm -f "$share/FRM9.FRM"

# --- Registration writes the machine hive twice: after the type library, and after the
# classes. A failed first write leaves the hive as it was and says 0x80040200; a failed second
# one keeps the first step and says 0x80040201. Each is reported, never taken for success.
keep "$hklm"
try 1 "HKLM.reg could not be written" 0x80040200 -e inject=rename:error=EIO:when=1 -- \
  regserver /u "$module"
keep
try 1 "HKLM.reg could not be written" 0x80040201 -e inject=rename:error=EIO:when=2 -- \
  regserver /u "$module"
grep -q 'TypeLib\\{AE399774' "$hklm" && fail "$ran did not keep the first step"
grep -q 'PlugIns\\{A48C4D90-9281-11d1' "$hklm" || fail "$ran removed the plug-in key"
keep "$hklm"
try 1 "HKLM.reg could not be written" 0x80040200 -e inject=rename:error=EIO:when=1 -- \
  regserver "$module"
keep
try 0 "" 0x00000000 -- regserver "$module"
try 0 "" '*"displayName": "C&ustom Data Forms"*' -- plugins

# --- A read-only hive, group list or script is never replaced, not even by root: qvccfg says
# which step failed, and the file keeps every byte and its mode. Each way of registering is
# tried where the hive needs a change (unregistering a registered module, registering an
# unregistered one).
for flag in /u ""; do
  chmod 444 "$hklm"
  keep "$hklm"
  try 1 "" 0x80040200 -- regserver $flag "$module"
  [ "$(stat -c %a "$hklm")" = 444 ] || fail "the read-only hive lost its mode"
  chmod 644 "$hklm"
  keep
  try 0 "" '*' -- regserver $flag "$module"
done
chmod 444 "$groups" "$script"
keep "$groups" "$script"
try 1 "FDGRPLST.GPS" '*' -- group "Read only" "Asset tag"
try '!0' "" '*' -- script "New starters" --group
chmod 644 "$groups" "$script"

# --- A copy to a client that fails halfway leaves no half form there, hidden or not, and the
# client's record says why.
"$qvccfg" --world "$world" script "Office survey" >/dev/null || fail "script of a form failed"
keep
for inject in write:error=ENOSPC:when=1 fsync:error=EIO:when=1; do
  printf 'old' >"$client/OLD.FRM"
  prog=$frmtask try 1 "" '*' -e inject=$inject -- "Office survey.ini" PC-ANNA
  [ -z "$(ls -A "$client")" ] || fail "$ran left: $(ls -A "$client")"
  tail -n 1 "$world/tasks/runs.log" | grep -q '"result":"cannot write \\\\QVCLIENT' ||
    fail "$ran recorded no reason: $(tail -n 1 "$world/tasks/runs.log")"
done

# --- Three runs killed before their rename leave hidden files; the next run removes those
# that no copy has touched for a while, and no other file.
for kill in 1 2 3; do
  prog=$frmtask run -e inject=rename:signal=KILL:when=1 -- "Office survey.ini" PC-ANNA
done
left=$(find "$client" -name '.FRM1A.FRM.??????' | wc -l)
[ "$left" -eq 3 ] || fail "three killed copies left $left hidden files: $(ls -A "$client")"
find "$client" -name '.FRM1A.FRM.??????' -exec touch -d '1 hour ago' {} +
printf 'mine' >"$client/.notes.txt.abcdef"
prog=$frmtask try 0 "" '*' -- "Office survey.ini" PC-ANNA
cmp -s "$client/FRM1A.FRM" "$share/FRM1A.FRM" || fail "FrmTask did not deliver the form"
[ "$(LC_ALL=C ls -A "$client" | tr '\n' ' ')" = ".notes.txt.abcdef FRM1A.FRM " ] ||
  fail "after the killed runs the client holds: $(ls -A "$client")"

# --- Many clients at once: their copies are flushed together and renamed after. A failed
# flush leaves no client a form, hidden or not, and says why in each record; a kill among the
# renames leaves each client the whole form or none (a hidden file at most), and every record
# written is a whole line.
ini=$(<"$world/world.ini")
names=$(printf 'PC-F%02d,' $(seq 0 39))
{
  printf '%s' "${ini/Clients=PC-ANNA,PC-BEN/Clients=PC-ANNA,PC-BEN,${names%,}}"
  for n in $(seq -f %02g 0 39); do
    printf '\r\n[Computer PC-F%s]\r\nReachable=1\r\nDrive C=PC-F%s/C\r\n' "$n" "$n"
    mkdir -p "$world/PC-F$n/C/QVCLIENT"
  done
} >"$root/world.ini" && mv "$root/world.ini" "$world/world.ini"
mkdir -p "$world/PC-BEN/C/QVCLIENT"
rm -f "$client/.notes.txt.abcdef"
clients=("$world"/PC-*/C/QVCLIENT)
: >"$world/tasks/runs.log"
prog=$frmtask try 1 "Input/output error" '*' -e inject=syncfs:error=EIO:when=1 -- "Office survey.ini"
left=$(find "${clients[@]}" -mindepth 1)
[ -z "$left" ] || fail "$ran left: $left"
[ "$(grep -c '"result":"cannot write \\\\QVCLIENT\\\\FRM1A.FRM: Input/output error"' \
  "$world/tasks/runs.log")" -eq ${#clients[@]} ] ||
  fail "$ran recorded: $(head -c 600 "$world/tasks/runs.log")"
prog=$frmtask run -e inject=rename:signal=KILL:when=20 -- "Office survey.ini"
left=$(find "${clients[@]}" -mindepth 1 ! -name FRM1A.FRM ! -name '.FRM1A.FRM.??????')
[ -z "$left" ] || fail "$ran left: $left"
whole=0
for c in "${clients[@]}"; do
  [ -e "$c/FRM1A.FRM" ] || continue
  cmp -s "$c/FRM1A.FRM" "$share/FRM1A.FRM" || fail "a killed run left a torn form in $c"
  whole=$((whole + 1))
done
[ "$whole" -eq 19 ] || fail "a run killed at its 20th rename delivered $whole forms"
tail -c 1 "$world/tasks/runs.log" | od -c | grep -q '\\n' || fail "a killed run tore a record"
find "$world" -name '.FRM1A.FRM.??????' -exec touch -d '1 hour ago' {} +
prog=$frmtask try 0 "" '*' -- "Office survey.ini"
for c in "${clients[@]}"; do
  [ "$(ls -A "$c")" = FRM1A.FRM ] && cmp -s "$c/FRM1A.FRM" "$share/FRM1A.FRM" ||
    fail "after the killed run $c holds: $(ls -A "$c")"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures fault case(s) failed"
  exit 1
fi
echo "all fault cases held"
