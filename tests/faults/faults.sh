#!/usr/bin/env bash
# Injected faults against the qvccfg program, as a user runs it: read errors, failed writes
# and a kill in the middle of a replacement. Whatever fails, no file that existed may lose
# what it held, nothing half-made may be left behind, and the exit status must say what is on
# disk.
#
# usage: faults.sh QVCCFG
set -uo pipefail
qvccfg=$(realpath "$1")
command -v strace >/dev/null || { echo "strace is missing"; exit 1; }
# A sanitizer build's leak check cannot run under ptrace; the other checks still do.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
world="$root/w"
share="$world/CORE1/D/Apps/Main/QVLOGON"
scripts="$world/CORE1/D/Apps/Main/SCRIPTS"
hkcu="$world/ADMIN7/registry/HKCU.reg"
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run STRACE-OPTION... -- QVCCFG-ARG...: runs qvccfg under strace; sets $status, $out, $err.
run() {
  local opts=()
  while [ "$1" != "--" ]; do
    opts+=("$1")
    shift
  done
  shift
  out=$(strace -f -qq -o /dev/null "${opts[@]}" "$qvccfg" --world "$world" "$@" 2>"$root/err")
  status=$?
  err=$(cat "$root/err")
}

"$qvccfg" --world "$world" init >/dev/null || { echo "init failed"; exit 1; }
"$qvccfg" --world "$world" list >/dev/null || { echo "list failed"; exit 1; }

# --- A user hive that cannot be read is neither rewritten nor taken for an empty one.
printf '"Keep"="me"\r\n' >>"$hkcu"
cp "$hkcu" "$root/hkcu.before"
for inject in openat:error=EACCES pread64:error=EIO; do
  run -P "$hkcu" -e inject=$inject -- list
  [ "$status" -ne 0 ] || fail "list with $inject on HKCU.reg exited 0"
  [[ $err == *"HKCU.reg cannot be read"* ]] || fail "list with $inject: no message: $err"
  cmp -s "$hkcu" "$root/hkcu.before" || fail "list with $inject changed HKCU.reg"
done

# --- So is a console database that cannot be read.
printf 'qvnx-console-database 1\nnext 2\nsnapin 1 "Execute Ini Script" "FrmTask.exe" ""\n' \
  >"$world/console.db"
cp "$world/console.db" "$root/db.before"
run -P "$world/console.db" -e inject=pread64:error=EIO -- tasks
[ "$status" -eq 2 ] || fail "tasks with an unreadable database exited $status"
[[ $err == *"console.db: cannot be read"* ]] || fail "unreadable database not reported: $err"
cmp -s "$world/console.db" "$root/db.before" || fail "tasks changed an unreadable database"

# --- A form file that cannot be read is reported, and the listing says it is incomplete.
run -P "$share/FRM1A.FRM" -e inject=openat:error=EIO -- list
[ "$status" -eq 1 ] || fail "list with an unreadable form exited $status"
[[ $err == *"FRM1A.FRM cannot be read"* ]] || fail "unreadable form not reported: $err"

# --- A new form whose contents cannot be stored leaves nothing behind, and says so once.
cat >"$root/new.json" <<'EOF'
{"name": "Fault form", "description": "d", "entries": [
  {"kind": "question", "control": 0, "inventoryName": "A", "text": "B", "required": false}]}
EOF
ls -a "$share" >"$root/share.before"
for inject in write:error=ENOSPC:when=1 fsync:error=EIO:when=1 rename:error=EIO:when=1; do
  run -e inject=$inject -- import "$root/new.json"
  [ "$status" -eq 1 ] || fail "import with $inject exited $status"
  [[ $err == *"the form was not saved"* ]] || fail "import with $inject: no message: $err"
  [ -z "$out" ] || fail "import with $inject printed a path: $out"
  ls -a "$share" | diff -q - "$root/share.before" >/dev/null ||
    fail "import with $inject left files: $(ls -a "$share" | diff - "$root/share.before")"
done
run -- import "$root/new.json"
[ "$status" -eq 0 ] && [ -n "$out" ] || fail "import without a fault failed: $err"

# --- Another console saving a new form may take the form file's name between the reservation
# of the temporary name and the rename (the link fails with EEXIST): a fresh name is reserved
# and the form saved. A name that is taken at every try is given up after a bounded number of
# tries, with the message and nothing left behind.
sed 's/Fault form/Raced form/' "$root/new.json" >"$root/raced.json"
ls -a "$share" >"$root/share.before"
run -e inject=link:error=EEXIST:when=1 -- import "$root/raced.json"
[ "$status" -eq 0 ] && [ -n "$out" ] || fail "import that lost the form file's name once: $status $err"
[[ $err == *"Administrative rights"* ]] && fail "a name taken once was reported as a right: $err"
[ "$(ls -a "$share" | wc -l)" -eq $(($(wc -l <"$root/share.before") + 1)) ] ||
  fail "import that lost the name once left: $(ls -a "$share" | diff - "$root/share.before")"
sed 's/Fault form/Always raced/' "$root/new.json" >"$root/always.json"
ls -a "$share" >"$root/share.before"
run -e inject=link:error=EEXIST -- import "$root/always.json"
[ "$status" -eq 1 ] || fail "import whose every name is taken exited $status"
[[ $err == *"the form was not saved"* ]] || fail "import whose every name is taken: $err"
ls -a "$share" | diff -q - "$root/share.before" >/dev/null ||
  fail "import whose every name is taken left: $(ls -a "$share" | diff - "$root/share.before")"

# --- A script is replaced in one step: a kill before the replacement leaves the old one, a
# failing unlink cannot mix old and new lines. The script command renames nothing else.
"$qvccfg" --world "$world" script "New starters" --group >/dev/null || fail "script failed"
script="$scripts/New starters.ini"
cp "$script" "$root/script.before"
chmod 600 "$script"
run -e inject=rename:signal=KILL:when=1 -- script "New starters" --group
[ "$status" -ne 0 ] || fail "a killed script run exited 0"
cmp -s "$script" "$root/script.before" || fail "a kill during the rewrite changed the script"
cp "$root/script.before" "$script" && chmod 600 "$script"
printf '[Group1]\r\nName=New starters\r\nForm1=Asset tag\r\n' >"$share/FDGRPLST.GPS"
run -P "$script" -e inject=unlink:error=EIO -- script "New starters" --group
[ "$status" -eq 0 ] || fail "script with a failing unlink exited $status: $err"
grep -q REMCOPY1 "$script" && fail "old and new script lines were mixed: $(cat "$script")"
grep -q REMCOPY0 "$script" || fail "the new script lacks its copy line"
[ "$(stat -c %a "$script")" = 600 ] || fail "the rewritten script lost its mode"
run -e inject=rename:error=EIO:when=1 -- script "New starters" --group
[ "$status" -eq 1 ] || fail "script with a failing rename exited $status"
grep -q REMCOPY0 "$script" || fail "a failed rewrite damaged the script"

# --- The contents reach the disk before the rename publishes them, and the rename after.
trace=$(strace -f -qq -e trace=fsync,rename "$qvccfg" --world "$world" \
  script "New starters" --group 2>&1 >/dev/null | grep -E '^[0-9 ]*(fsync|rename)' |
  sed -E 's/^[0-9 ]*//; s/\(.*//' | tr '\n' ' ')
[[ $trace == *"fsync rename fsync"* ]] || fail "no fsync, rename, fsync sequence: $trace"

# --- A forms share that cannot be listed is not an empty one: a script made from it would
# delete every client's forms and copy none. Nothing is written and the command fails.
"$qvccfg" --world "$world" script "Asset tag" >/dev/null || fail "script of a form failed"
asset="$scripts/Asset tag.ini"
cp "$asset" "$root/asset.before"
cp "$script" "$root/script.before"
run -P "$share" -e inject=getdents64:error=EIO -- script "Asset tag"
[ "$status" -eq 1 ] || fail "script with an unlistable share exited $status"
[[ $err == *"could not be listed"* ]] || fail "script with an unlistable share: no message: $err"
cmp -s "$asset" "$root/asset.before" || fail "an unlistable share rewrote the script: $(cat "$asset")"
for command in schedule drag; do
  run -P "$share" -e inject=getdents64:error=EIO -- $command "Asset tag"
  [ "$status" -eq 1 ] || fail "$command with an unlistable share exited $status"
  [[ $err == *"could not be listed"* ]] || fail "$command with an unlistable share: no message: $err"
  cmp -s "$asset" "$root/asset.before" || fail "$command with an unlistable share rewrote the script"
done
# So is a group list that cannot be read.
run -P "$share/FDGRPLST.GPS" -e inject=pread64:error=EIO -- script "New starters" --group
[ "$status" -eq 1 ] || fail "script with an unreadable group list exited $status"
cmp -s "$script" "$root/script.before" || fail "an unreadable group list rewrote the script"

# --- A name that can have no script: schedule and drag fail with the reason.
printf '[Form]\r\nFormName=What?\r\n' >"$share/FRM9.FRM"
for command in schedule drag; do
  run -- $command "What?"
  [ "$status" -eq 1 ] || fail "$command of What? exited $status"
  [[ $err == *"cannot run: its name holds a character"* ]] || fail "$command of What?: no reason: $err"
  [[ $command == schedule || $out == *'"script": ""'* ]] || fail "drag of What? printed a script: $out"
done
rm -f "$share/FRM9.FRM"

# --- Registration writes the machine hive twice: after the type library, and after the
# classes. A failed first write leaves the hive as it was and says 0x80040200; a failed second
# one keeps the first step and says 0x80040201. Each is reported, never taken for success.
hklm="$world/ADMIN7/registry/HKLM.reg"
module='C:\Program Files\Arvex\QVNX\Console\QVCCFG.OCX'
registration_fails() {  # FLAG WHEN CODE
  cp "$hklm" "$root/hklm.before"
  run -e inject=rename:error=EIO:when=$2 -- regserver $1 "$module"
  [ "$status" -eq 1 ] || fail "regserver $1 with write $2 failing exited $status"
  [ "$out" = "$3" ] || fail "regserver $1 with write $2 failing printed: $out"
  [[ $err == *"HKLM.reg could not be written"* ]] || fail "regserver $1: no message: $err"
}
registration_fails /u 1 0x80040200
cmp -s "$hklm" "$root/hklm.before" || fail "a failed first write of unregistering changed HKLM.reg"
registration_fails /u 2 0x80040201
grep -q 'TypeLib\\{AE399774' "$hklm" && fail "the first step of unregistering was not kept"
grep -q 'PlugIns\\{A48C4D90-9281-11d1' "$hklm" || fail "a failed second step removed the plug-in key"
registration_fails "" 1 0x80040200
cmp -s "$hklm" "$root/hklm.before" || fail "a failed first write of registering changed HKLM.reg"
run -- regserver "$module"
[ "$status" -eq 0 ] && [ "$out" = "0x00000000" ] || fail "registering again: $status $out $err"
run -- plugins
[ "$status" -eq 0 ] && [[ $out == *'"displayName": "C&ustom Data Forms"'* ]] ||
  fail "no plug-in after registering again: $status $out $err"

# --- A read-only hive is never replaced, not even by root: registration says which step
# failed, and the hive keeps every byte and its mode. Each way is tried where the hive needs
# a change (unregistering a registered module, registering an unregistered one).
for flag in /u ""; do
  cp "$hklm" "$root/hklm.before"
  chmod 444 "$hklm"
  run -- regserver $flag "$module"
  [ "$status" -eq 1 ] && [ "$out" = "0x80040200" ] ||
    fail "regserver $flag on a read-only hive: $status $out"
  cmp -s "$hklm" "$root/hklm.before" || fail "regserver $flag replaced a read-only HKLM.reg"
  [ "$(stat -c %a "$hklm")" = 444 ] || fail "the read-only hive lost its mode"
  chmod 644 "$hklm"
  run -- regserver $flag "$module"
  [ "$status" -eq 0 ] || fail "regserver $flag on a writable hive again: $status $out $err"
done

# --- A read-only group list or script is neither replaced nor removed; qvccfg says so.
chmod 444 "$share/FDGRPLST.GPS"
cp "$share/FDGRPLST.GPS" "$root/groups.before"
run -- group "Read only" "Asset tag"
[ "$status" -eq 1 ] || fail "group into a read-only group list exited $status"
[[ $err == *"FDGRPLST.GPS"* ]] || fail "group into a read-only list: no message: $err"
cmp -s "$share/FDGRPLST.GPS" "$root/groups.before" || fail "a read-only group list was replaced"
chmod 644 "$share/FDGRPLST.GPS"
chmod 444 "$script"
cp "$script" "$root/script.before"
run -- script "New starters" --group
[ "$status" -ne 0 ] || fail "script over a read-only script exited 0"
cmp -s "$script" "$root/script.before" || fail "a read-only script was replaced"
chmod 644 "$script"

# --- A copy to a client that fails halfway leaves no half form there, hidden or not, and the
# client's record says why.
frmtask="$(dirname "$qvccfg")/FrmTask.exe"
client="$world/PC-ANNA/C/QVCLIENT"
"$qvccfg" --world "$world" script "Office survey" >/dev/null || fail "script of a form failed"
for inject in write:error=ENOSPC:when=1 fsync:error=EIO:when=1; do
  printf 'old' >"$client/OLD.FRM"
  strace -f -qq -o /dev/null -e inject=$inject "$frmtask" --world "$world" \
    "Office survey.ini" PC-ANNA >/dev/null 2>"$root/err"
  status=$?
  [ "$status" -eq 1 ] || fail "FrmTask with $inject exited $status: $(cat "$root/err")"
  [ -z "$(ls -A "$client")" ] || fail "FrmTask with $inject left: $(ls -A "$client")"
  tail -n 1 "$world/tasks/runs.log" | grep -q '"result":"cannot write \\\\QVCLIENT' ||
    fail "FrmTask with $inject: no reason recorded: $(tail -n 1 "$world/tasks/runs.log")"
done

# --- Three runs killed before their rename leave hidden files; the next run removes those
# that no copy has touched for a while, and no other file.
for kill in 1 2 3; do
  : "$(strace -f -qq -o /dev/null -e inject=rename:signal=KILL:when=1 "$frmtask" \
    --world "$world" "Office survey.ini" PC-ANNA 2>&1)"
done
left=$(find "$client" -name '.FRM1A.FRM.??????' | wc -l)
[ "$left" -eq 3 ] || fail "three killed copies left $left hidden files: $(ls -A "$client")"
find "$client" -name '.FRM1A.FRM.??????' -exec touch -d '1 hour ago' {} +
printf 'mine' >"$client/.notes.txt.abcdef"
"$frmtask" --world "$world" "Office survey.ini" PC-ANNA >/dev/null ||
  fail "FrmTask without a fault failed"
cmp -s "$client/FRM1A.FRM" "$share/FRM1A.FRM" || fail "FrmTask did not deliver the form"
[ "$(LC_ALL=C ls -A "$client" | tr '\n' ' ')" = ".notes.txt.abcdef FRM1A.FRM " ] ||
  fail "after the killed runs the client holds: $(ls -A "$client")"

if [ "$failures" -ne 0 ]; then
  echo "$failures fault case(s) failed"
  exit 1
fi
echo "all fault cases held"
