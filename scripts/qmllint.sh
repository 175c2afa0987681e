#!/usr/bin/env bash
# Lints the QML module (src/qml) with qmllint-qt6 and the settings of .qmllint.ini, and prints its
# findings except those on names that exist only at run time, which qmllint (Qt 6.4) cannot know:
# - the application object, which reaches QML as the root context property "App";
# - the module "Velmor.Enums" and its uncreatable types, which the native side registers with
#   qmlRegisterUncreatableType at start-up (their names are read from those calls in src/), so
#   qmllint reports the import as failed and every use of one of those types as unqualified.
# It also drops the note that Debian's Qt5Compat.GraphicalEffects package lacks the private types
# file that its own module description names: a fault of the installed module, not of ours.
# qmllint's settings silence whole categories only, so these names are dropped here.
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

python3 - "$json" "$root" "$qt_qml" <<'PY'
import glob, json, os, re, sys
report, root, qt_qml = sys.argv[1], sys.argv[2], os.path.realpath(sys.argv[3])
runtime_names = {"App"}
for source in glob.glob(os.path.join(root, "src", "**", "*.cpp"), recursive=True):
    text = open(source, encoding="utf-8").read()
    runtime_names.update(re.findall(
        r'qmlRegisterUncreatableType<[^>]*>\(\s*"Velmor\.Enums"\s*,\s*\d+\s*,\s*\d+\s*,\s*"(\w+)"',
        text))
runtime_import = re.compile(r'(Failed to import Velmor\.Enums\.|Warnings occurred while importing module "Velmor\.Enums")')
installed_module = re.compile(r'(Warnings occurred while importing module "Qt5Compat\.GraphicalEffects"'
                              r'|QML types file does not exist: ' + re.escape(qt_qml) + '/Qt5Compat/)')
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
        if runtime_import.match(w["message"]) or installed_module.match(w["message"]):
            continue
        if w["message"] == "Unqualified access":
            start = w.get("charOffset", -1)
            name = re.match(r"\w*", text[start:]).group(0) if start >= 0 else ""
            if name in runtime_names:
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
