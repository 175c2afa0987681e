#!/usr/bin/env bash
# Lints the QML module (src/qml) with qmllint-qt6 and the settings of .qmllint.ini, and prints its
# findings except the unqualified reads of `App`: the application object reaches QML as the root
# context property "App", which qmllint (Qt 6.4) cannot know and reports at each of its uses.
# qmllint's settings silence whole categories only, so that one name is dropped here.
#   scripts/qmllint.sh [BUILD_DIR] [FILE.qml...]
# BUILD_DIR (default build/test) is a configured and built tree: qmllint reads the module's
# resource lists from it. Exits 1 when a finding remains.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/test}
shift || true
build=$(cd "$build" && pwd)
qmllint=${QMLLINT:-/usr/lib/qt6/bin/qmllint}
qt_qml=$(qtpaths6 --query QT_INSTALL_QML 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/qml)

resources=()
for qrc in "$build"/src/qml/.rcc/*.qrc; do
    resources+=(--resource "$qrc")
done
if [ ${#resources[@]} -eq 0 ]; then
    echo "qmllint.sh: no resource lists in $build/src/qml/.rcc; configure and build $build first" >&2
    exit 2
fi

cd src/qml
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(find . -name '*.qml' | sed 's|^\./||' | sort)
fi
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$qmllint" --bare -I "$qt_qml" "${resources[@]}" --json "$json" "${files[@]}" >/dev/null 2>&1 || true

python3 - "$json" "$root" <<'PY'
import json, os, re, sys
report, root = sys.argv[1], sys.argv[2]
kept = 0
for entry in json.load(open(report))["files"]:
    path = entry["filename"]
    try:
        text = open(path, encoding="utf-8").read()
    except OSError:
        text = ""
    for w in entry["warnings"]:
        if w["type"] == "info":  # hints, such as imports qmllint cannot see in use
            continue
        if w["message"] == "Unqualified access":
            start = w.get("charOffset", -1)
            if start >= 0 and re.match(r"App\b", text[start:start + w.get("length", 0) + 1]):
                continue
        message = w["message"]
        if message == "Unqualified access" and w.get("charOffset", -1) >= 0:
            message += ' to "%s"' % text[w["charOffset"]:w["charOffset"] + w.get("length", 0)]
        kept += 1
        where = os.path.relpath(path, root)
        print(f'{where}:{w.get("line", 0)}:{w.get("column", 0)}: {w["type"]}: {message}')
if kept:
    print(f"qmllint.sh: {kept} finding(s)", file=sys.stderr)
    sys.exit(1)
PY
