#!/usr/bin/env bash
# installed_test.sh PREFIX: checks an installed program (the Debian package
# in /usr, or `cmake --install build --prefix DIR`): the files are in place;
# caisse-launch prepares a private data folder on the first start, backs it
# up, and the program builds its start-up indexes there; a second start
# reuses it and changes no table; caisse-backup copies the folder elsewhere,
# refuses to restore while the program runs and restores once it is gone;
# the programs find their engine from their own location and, without it,
# say the fixed message.
set -euo pipefail

prefix=$(cd "${1:?usage: installed_test.sh PREFIX}" && pwd)
app_id=be.sportbar.caisse
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }

echo "== files in $prefix"
lib=$(find "$prefix/lib" -path '*/caisse/libsde50.so' 2>/dev/null | head -n 1)
[[ -n "$lib" ]] || fail "no lib/<multiarch>/caisse/libsde50.so"
for f in bin/caisse bin/caisse-init bin/caisse-launch bin/caisse-check bin/caisse-backup; do
  check "$f is an executable" test -x "$prefix/$f"
done
for f in share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml; do
  check "$f is there" test -s "$prefix/$f"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  check "$size px icon is a PNG" grep -q PNG <(head -c 8 "$icon" 2>/dev/null)
done
check "the desktop entry starts the launcher" grep -qx 'Exec=caisse-launch' \
  "$prefix/share/applications/$app_id.desktop"
check "the desktop entry offers the copy to a USB key" grep -qx 'Exec=caisse-backup --choose' \
  "$prefix/share/applications/$app_id.desktop"
check "caisse-backup has its manual page" test -n "$(find "$prefix/share/man/man1" -name 'caisse-backup.1*')"
if ldd "$prefix/bin/caisse" | grep -q sde50; then
  fail "caisse links the engine instead of loading it"
fi

# start_for SECONDS LOG COMMAND...: runs a start of the program offscreen in
# the fresh home $home for at most SECONDS; it must still be running then.
start_for() {
  local seconds=$1 log=$2 rc=0
  shift 2
  env -u LD_LIBRARY_PATH -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen LC_ALL=C \
    timeout "$seconds" "$@" >"$log" 2>&1 || rc=$?
  [[ $rc -eq 124 ]] || { cat "$log" >&2; fail "$* stopped by itself (status $rc)"; }
}

# until_indexes LOG COMMAND...: starts the program until its five start-up
# indexes are in the data folder (the window is then open), then stops it.
# With WHILE_OPEN set, that command runs before the program is stopped.
until_indexes() {
  local log=$1 pid waited=0
  shift
  env -u LD_LIBRARY_PATH -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen LC_ALL=C \
    "$@" >"$log" 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null && [[ $waited -lt 120 ]]; do
    [[ $(find "$data" -maxdepth 1 -iname '*.ntx' 2>/dev/null | wc -l) -ge 5 ]] && break
    sleep 1
    waited=$((waited + 1))
  done
  sleep 1  # the last index is closed
  [[ -z "${WHILE_OPEN:-}" ]] || $WHILE_OPEN
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    wait "$pid" || true
  else
    wait "$pid" || true
    cat "$log" >&2
    fail "$* stopped by itself"
  fi
}

echo "== first start from the desktop entry: a private data folder"
home=$work/home
mkdir -p "$home"
data=$home/.local/share/caisse
until_indexes "$work/first.log" "$prefix/bin/caisse-launch"
check "the data folder is made" test -d "$data"
check "the data folder is private (0700)" test "$(stat -c %a "$data" 2>/dev/null)" = 700
for index in vente.ntx ticket.ntx consomation.ntx ordre.ntx PtsRES.ntx; do
  check "start-up index $index is built" test -n "$(find "$data" -maxdepth 1 -iname "$index")"
done
others=$(find "$data" -maxdepth 1 -iname '*.dbf' -perm /o=rwx)
[[ -z "$others" ]] || fail "tables open to others: $others"
/usr/bin/python3 - "$data" <<'PY' || fail "the six tables are not read back"
import glob, os, sys
import dbfread
tables = sorted(glob.glob(os.path.join(sys.argv[1], "*.[dD][bB][fF]")))
names = sorted(os.path.basename(t).lower() for t in tables)
want = ["config.dbf", "consomation.dbf", "membre.dbf", "ptsres.dbf", "qtevente.dbf", "vente.dbf"]
assert names == want, names
for t in tables:
    rows = list(dbfread.DBF(t, encoding="cp1252"))
    expected = 1 if t.lower().endswith("config.dbf") else 0
    assert len(rows) == expected, (t, len(rows))
PY

echo "== caisse-check: the folder the program made is sound"
check "caisse-check finds every file sound" "$prefix/bin/caisse-check" "$data"

echo "== second start: the same folder, no table written"
sums=$(cd "$data" && md5sum -- *.[dD][bB][fF] *.[nN][tT][xX])
start_for 8 "$work/second.log" "$prefix/bin/caisse-launch"
check "the second start reuses the folder" test "$(cd "$data" && md5sum -- *.[dD][bB][fF] *.[nN][tT][xX])" = "$sums"
if grep -q "Tables écrites" "$work/second.log"; then fail "the second start prepared the folder again"; fi

echo "== caisse-backup: the day's backup, a copy elsewhere, a restore"
backups=$home/.local/share/caisse-sauvegardes
today=$(date +%F)
backup() { env -u XDG_DATA_HOME HOME="$home" "$prefix/bin/caisse-backup" "$@"; }
check "the first start made the day's backup" test -s "$backups/$today/manifeste.sha256"
check "the backups are private (0700)" test "$(stat -c %a "$backups" 2>/dev/null)" = 700
check "caisse-backup --to copies the folder elsewhere" backup --to "$work" >"$work/to.log"
check "the copy is verified" grep -q "^Sauvegarde vérifiée : $work/caisse-$today " "$work/to.log"
check "the copy passes caisse-check" "$prefix/bin/caisse-check" "$work/caisse-$today" >/dev/null
check "caisse-backup restore lists the day's backup" backup restore >"$work/list.log"
check "the listing says it is verified" grep -q "$today .* vérifiée" "$work/list.log"
restore_while_open() {
  local rc=0 waited=0 sales
  sales=$(find "$data" -maxdepth 1 -iname vente.dbf)
  # The program holds its open tables under a shared lock (flock).
  while flock -xn "$sales" true && [[ $waited -lt 60 ]]; do sleep 1; waited=$((waited + 1)); done
  backup restore "$today" >"$work/refused.log" 2>&1 || rc=$?
  check "restore is refused while the program runs" test "$rc" -eq 1
  check "the refusal says why" grep -q "la caisse a les tables ouvertes" "$work/refused.log"
}
WHILE_OPEN=restore_while_open until_indexes "$work/third.log" "$prefix/bin/caisse-launch"
rm -f "$(find "$data" -maxdepth 1 -iname vente.dbf)"
check "caisse-backup restore brings the day back" backup restore "$today" >"$work/restore.log"
check "the sales table is back" test -n "$(find "$data" -maxdepth 1 -iname vente.dbf)"
check "the files in place were put aside" test -n "$(find "$data" -maxdepth 1 -name 'avant-restauration-*')"
check "caisse-check finds the restored folder sound" "$prefix/bin/caisse-check" "$data" >/dev/null

echo "== XDG_DATA_HOME chooses the folder"
env -u LD_LIBRARY_PATH HOME="$home" XDG_DATA_HOME="$work/xdg" QT_QPA_PLATFORM=offscreen \
  timeout 8 "$prefix/bin/caisse-launch" >"$work/xdg.log" 2>&1 || true
check "the folder is under XDG_DATA_HOME" test -f "$work/xdg/caisse/config.dbf"

echo "== without the engine library: the fixed message"
mkdir -p "$work/nolib/bin"
cp "$prefix/bin/caisse" "$prefix/bin/caisse-init" "$work/nolib/bin/"
rc=0
env -u LD_LIBRARY_PATH "$work/nolib/bin/caisse-init" "$work/nolib/data" >"$work/nolib.log" 2>&1 || rc=$?
check "caisse-init fails without the engine" test "$rc" -eq 1
check "caisse-init says the fixed message" grep -q "APOLLO: Unable to load required SDE50.DLL" "$work/nolib.log"
start_for 5 "$work/nolib-caisse.log" "$work/nolib/bin/caisse"
check "caisse says the fixed message" grep -q "APOLLO: Unable to load required SDE50.DLL" "$work/nolib-caisse.log"

if [[ $failures -gt 0 ]]; then
  echo "installed_test: $failures failed" >&2
  exit 1
fi
echo "installed_test: passed"
