#!/bin/sh
# zorva_contacts end to end on scratch databases: every command, the exit
# status of bad input, the database chosen by --db, ZORVA_CONTACTS_DB and
# XDG_DATA_HOME, and the BMP that show writes, read back with Pillow.
#   contacts_tool.sh TOOL PICTURE.png SCRATCH_DIR
# A cross build runs the tool through ZORVA_TOOL_EMULATOR (qemu-user).
tool=$1 photo=$2 dir=$3
rm -rf "$dir" && mkdir -p "$dir" || exit 1
export HOME="$dir/home" ZORVA_CONTACTS_DB="$dir/env.db"
unset XDG_DATA_HOME
failures=0

# expect STATUS ARGS...: runs the tool, output in $dir/out
expect() {
    want=$1
    shift
    $ZORVA_TOOL_EMULATOR "$tool" "$@" >"$dir/out" 2>"$dir/err"
    got=$?
    if [ "$got" -ne "$want" ]; then
        echo "FAIL: zorva_contacts $* exited $got, not $want"
        cat "$dir/err"
        failures=$((failures + 1))
    fi
}

# same TEXT: the last output must be TEXT
same() {
    printf '%b' "$1" >"$dir/want"
    if ! cmp -s "$dir/want" "$dir/out"; then
        echo "FAIL: output differs"
        diff "$dir/want" "$dir/out"
        failures=$((failures + 1))
    fi
}

echo 'not a picture' >"$dir/notes.txt"
bytes=$(wc -c <"$photo" | tr -d ' ')

expect 0 add Alice --phone "+44 20 7946 0018" --phone "020 7946 0019" --picture "$photo"
expect 0 add Bob --phone "+1 (415) 555-0100"
expect 1 add Carol --phone "14155550100"                      # Bob's number
expect 1 add Alice --phone "555 123 4567"                     # name taken
expect 1 add Carol --phone "12"                               # too short
expect 1 add Carol --phone "555 123 4567" --phone "call me"   # not a number
expect 1 add Carol --phone "555 123 4567" --picture "$dir/missing.png"
expect 1 add Carol --phone "555 123 4567" --picture "$dir/notes.txt"
expect 1 show Zed
expect 1 remove Zed
expect 1 set-picture Zed "$photo"
expect 1 set-picture Bob "$dir/notes.txt"
expect 1 show Bob --out "$dir/bob.bmp"                        # no picture
expect 2
expect 2 frob
expect 2 add Carol
expect 2 add Carol --phone
expect 2 show Alice --box 0x5 --out "$dir/a.bmp"
expect 2 list extra
expect 2 --db
expect 0 list
same "Alice\t+44 20 7946 0018, 020 7946 0019\tpicture $bytes bytes\nBob\t+1 (415) 555-0100\tno picture\n"

expect 0 show Alice --out "$dir/alice.bmp" --box 100x100
same "name: Alice\nphones: +44 20 7946 0018, 020 7946 0019\npicture: $bytes bytes\nwrote $dir/alice.bmp (100 x 75)\n"
size=$(/usr/bin/python3 -c 'import sys; from PIL import Image; i = Image.open(sys.argv[1]); print(i.size, i.mode)' "$dir/alice.bmp")
[ "$size" = "(100, 75) RGB" ] || { echo "FAIL: the BMP reads as '$size'"; failures=$((failures + 1)); }

expect 0 set-picture Bob "$photo"
expect 0 remove Alice
expect 0 list
same "Bob\t+1 (415) 555-0100\tpicture $bytes bytes\n"

# --db wins over the variable; without either, XDG_DATA_HOME's folder.
expect 0 --db "$dir/other.db" add Dora --phone "555 765 4321"
expect 0 --db "$dir/other.db" list
same "Dora\t555 765 4321\tno picture\n"
unset ZORVA_CONTACTS_DB
export XDG_DATA_HOME="$dir/data"
expect 0 list
same ""
expect 0 add Eve --phone "555 000 1111"
[ -f "$dir/data/zorva/contacts.db" ] || { echo "FAIL: no database in XDG_DATA_HOME"; failures=$((failures + 1)); }
expect 0 --help
grep -q "currently $dir/data/zorva/contacts.db" "$dir/out" || { echo "FAIL: --help names no default"; failures=$((failures + 1)); }

# A file that is not a contact database is refused, not overwritten.
expect 1 --db "$dir/notes.txt" add Fay --phone "555 222 3333"
expect 1 --db "$dir/notes.txt" list
cmp -s "$dir/notes.txt" - <<EOF || { echo "FAIL: notes.txt changed"; failures=$((failures + 1)); }
not a picture
EOF

[ "$failures" -eq 0 ] && echo "contacts tool: all checks passed"
exit "$failures"
