#!/usr/bin/env bash
# Opens each exported document (.csv, .txt, .xls, .xml, .doc) with LibreOffice headless and
# checks that a known value of the fixture store appears in what LibreOffice read.
#   office_check.sh QUENMARK_EXE FIXTURE_DB WORK_DIR
# Without soffice it skips (exit 77), unless QUENMARK_REQUIRE_OFFICE=1 (the test command) makes
# a missing soffice a failure.
set -euo pipefail
exe=$1 fixture=$2 work=$3
if ! command -v soffice >/dev/null; then
  if [ "${QUENMARK_REQUIRE_OFFICE:-0}" = 1 ]; then
    echo "FAIL: soffice is not installed (libreoffice-calc, libreoffice-writer)"
    exit 1
  fi
  echo "SKIP: soffice is not installed; the test command installs LibreOffice and runs this check"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/site/data" "$work/files" "$work/out"
cp "$fixture" "$work/site/data/demo.db"
cat > "$work/site/export.lua" <<'LUA'
local grid = Server.CreateObject("Quenmark.DataGrid")
grid:CreateConnection("Provider=SQLite;Data Source=" .. Server.MapPath("data/demo.db"))
grid.Command = "SELECT ProductID, ProductName, UnitPrice FROM Products WHERE ProductID <= 5"
grid:Display()
LUA

value="Highland Black Tea"
declare -A extension=([csv]=csv [text]=txt [excel]=xls [xml]=xml [doc]=doc)
for format in "${!extension[@]}"; do
  argument=$(printf '4fmt:%s;sql:;cn:;hdr:ID,Name,Price;ttl:Products;' "$format" |
             base64 -w0 | tr -d '=' | sed 's/+/%2B/g; s#/#%2F#g')
  "$exe" run "$work/site/export.lua" --form "__FARGS=$argument" --body \
    > "$work/files/export_$format.${extension[$format]}"
done

office() {
  timeout 600 soffice "-env:UserInstallation=file://$work/profile" --headless "$@" \
    --outdir "$work/out" >"$work/soffice.log" 2>&1 || { cat "$work/soffice.log"; exit 1; }
}
# Spreadsheets through Calc into CSV, documents through Writer into plain text.
office --convert-to csv "$work/files/export_csv.csv" "$work/files/export_excel.xls"
office --convert-to txt:Text "$work/files/export_text.txt" "$work/files/export_xml.xml" \
  "$work/files/export_doc.doc"

failed=0
for output in export_csv.csv export_excel.csv export_text.txt export_xml.txt export_doc.txt; do
  if [ -f "$work/out/$output" ] && grep -q "$value" "$work/out/$output"; then
    echo "ok   $output"
  else
    echo "FAIL $output: \"$value\" not found in what LibreOffice read"
    failed=1
  fi
done
[ $failed = 0 ] && rm -rf "$work"
exit $failed
