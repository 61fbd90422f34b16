#!/bin/sh
# Runs the demo update under Wine in a scratch folder and shows what it did:
# the files before and after, and every message box the updater showed.
set -e
exe=$1
spy=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
work="$top/build/demo"
rm -rf "$work"
mkdir -p "$work"
cp "$exe" "$work/updater.exe"
cp "$here/updater.ini" "$work/"
cp -r "$here/new" "$here/installed" "$work/"

show_tree() {
    (cd "$work/installed" && find . -type f | sort | while read -r f; do
        printf '  %-22s %s\n' "$f" "$(head -n 1 "$f")"
    done)
}
echo "== The script (examples/demo/updater.ini)"
sed 's/^/  /' "$work/updater.ini"
echo
echo "== Installed files before the update"
show_tree
echo
echo "== Running updater.exe under Wine"
before=$(cd "$work" && find installed -type f -exec md5sum {} + | sort -k2)
"$top/tests/run-wine.sh" "$spy" "$work/updater.exe"
after=$(cd "$work" && find installed -type f -exec md5sum {} + | sort -k2)
echo
echo "== Installed files after the update"
show_tree
echo
echo "== Files the update changed"
echo "$before" > "$work/.before"
echo "$after" > "$work/.after"
join -1 2 -2 2 -a 2 -e NEW -o 0,1.1,2.1 "$work/.before" "$work/.after" |
    awk '$2 != $3 { print "  " ($2 == "NEW" ? "added:    " : "replaced: ") $1 }'
