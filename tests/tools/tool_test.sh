#!/usr/bin/env bash
# Runs the transspace tool the way a user does and checks standard output,
# standard error and the exit status of each case.
# Usage: tool_test.sh TOOL SOURCE_DIR
set -uo pipefail
tool=$1
source=$2
survey=$source/examples/survey.json
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The C locale's character set is ASCII: UTF-8 output here shows that the tool
# pins UTF-8 mode rather than following the locale.
export LC_ALL=C

failures=0
what=""
fail() {
    echo "FAIL [$what]: $*"
    echo "  stdout: $(head -c 300 "$work/out")"
    echo "  stderr: $(head -c 300 "$work/err")"
    failures=$((failures + 1))
}
# run NAME ARGS...: runs the tool; $rc, $out and $err hold what it did.
run() {
    what=$1
    shift
    "$tool" "$@" >"$work/out" 2>"$work/err"
    rc=$?
    out=$(tr -d '\000' <"$work/out")  # UTF-16 output holds zero bytes
    err=$(cat "$work/err")
}
expect_rc() { [ "$rc" -eq "$1" ] || fail "exit status $rc, expected $1"; }
expect_out() { [ "$out" = "$1" ] || fail "stdout is not '$1'"; }
expect_err() { [ "$err" = "$1" ] || fail "stderr is not '$1'"; }
expect_out_has() { grep -qF -- "$1" "$work/out" || fail "stdout lacks '$1'"; }
expect_err_has() { grep -qF -- "$1" "$work/err" || fail "stderr lacks '$1'"; }
# An input error: status 2, nothing on stdout, one line on stderr matching $1.
expect_input_error() {
    expect_rc 2
    [ -s "$work/out" ] && fail "stdout is not empty"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "stderr is not one line"
    grep -qE -- "$1" "$work/err" || fail "stderr does not match '$1'"
}

age="/dictionary/variable[@name='age']"
height="/dictionary/variable[@name='height']"
sexLabels="/dictionary/valueLabelSet[valueLabelVariable/@name='sex']"

# --- dictionary -------------------------------------------------------------
run "dictionary" dictionary "$survey"
expect_rc 0
expect_err ""
[[ $out == '<?xml version="1.0" encoding="UTF-8" standalone="no" ?><dictionary '* ]] \
    || fail "does not start with the declaration and the root"
[[ $out == *'</dictionary>' ]] || fail "does not end with the root's end tag"
expect_out_has 'label="Größe (cm)"'
cp "$work/out" "$work/dict-utf8.xml"

run "dictionary in a code page" dictionary --code-page windows-1252 "$survey"
expect_rc 0
expect_err ""
[[ $out == '<?xml version="1.0" encoding="windows-1252" standalone="no" ?>'* ]] \
    || fail "declaration does not name windows-1252"
expect_out_has $'label="Gr\xf6\xdfe (cm)"'
# Apart from the declaration it is the UTF-8 document, byte for byte.
iconv -f windows-1252 -t UTF-8 "$work/out" | sed 's/encoding="windows-1252"/encoding="UTF-8"/' \
    | cmp -s - "$work/dict-utf8.xml" || fail "differs from the UTF-8 document"

run "dictionary in UTF-16" dictionary --encoding utf-16 "$survey"
expect_rc 0
expect_err ""
{ iconv -f UTF-16LE -t UTF-8 "$work/out" | sed 's/encoding="UTF-16"/encoding="UTF-8"/'; echo; } \
    | cmp -s - "$work/dict-utf8.xml" || fail "differs from the UTF-8 document"

run "unknown code page" dictionary --code-page no-such-page "$survey"
expect_input_error 'unknown code page "no-such-page"'

# --- query ------------------------------------------------------------------
run "label by name" query "$survey" "$age" @label
expect_rc 0
expect_out "Age in years"
expect_err ""

run "label outside ASCII" query "$survey" "$height" @label
expect_out "Größe (cm)"
run "label in a code page" query --code-page windows-1252 "$survey" "$height" @label
expect_out $'Gr\xf6\xdfe (cm)'

# The command line is UTF-8 in either mode.
munich="/dictionary/valueLabelSet/valueLabel[@label='München']"
run "non-ASCII in the query" query "$survey" "$munich" @value
expect_out "MUC"
run "non-ASCII in the query, code page" query --code-page windows-1252 "$survey" "$munich" @value
expect_out "MUC"

run "count as a number" query --number "$survey" / "count(/dictionary/variable)"
expect_rc 0
expect_out "15"
expect_err ""

run "fraction as a number" query --number "$survey" / "1 div 8"
expect_out "0.125"

run "every value label" query --list "$survey" "$sexLabels" valueLabel/@label
expect_rc 0
expect_out $'Male\nFemale\nNo answer'
expect_err ""

run "several nodes as a string" query "$survey" "$sexLabels" valueLabel/@label
expect_rc 0
expect_out "Male"
expect_err "warning"

run "context selects nothing" query "$survey" "/dictionary/variable[@name='nobody']" @label
expect_rc 1
expect_out ""
expect_err $'warning\nfailure'

run "expression that does not parse" query --number "$survey" "$age" "count(("
expect_rc 1
expect_err $'warning\nfailure'
run "context path that does not parse" query "$survey" "/dictionary/variable[" @label
expect_rc 1
expect_err $'warning\nfailure'

run "blank context path" query --list "$survey" "  " @label
expect_rc 1
expect_err $'warning\nfailure'

# --- inputs that cannot be used ---------------------------------------------
printf '{\n  "variables": [\n    {"name": "x",}\n  ]\n}\n' >"$work/broken.json"
run "broken JSON" dictionary "$work/broken.json"
expect_input_error "^transspace: $work/broken.json:3:[0-9]+: "
run "broken JSON, query" query "$work/broken.json" / "count(//variable)"
expect_input_error "^transspace: $work/broken.json:3:[0-9]+: "

printf '{"variables": [{"name": "x", "colour": "red"}]}\n' >"$work/unknown-key.json"
run "unknown key" dictionary "$work/unknown-key.json"
expect_input_error "^transspace: $work/unknown-key.json.*variables\[0\]"

run "missing file" dictionary "$work/absent.json"
expect_input_error "^transspace: $work/absent.json: cannot be opened: No such file or directory$"
run "missing file, query" query "$work/absent.xml" / "1"
expect_input_error "^transspace: $work/absent.xml: cannot be opened"
run "a directory" query "$work" / "1"
expect_input_error "^transspace: $work: cannot be read: Is a directory$"

printf '<a>\n  <b>\n</a>\n' >"$work/broken.xml"
run "broken XML" xml "$work/broken.xml"
expect_input_error "^transspace: $work/broken.xml:3:[0-9]+: "

# --- XML files ----------------------------------------------------------------
printf '<?xml version="1.0" encoding="ISO-8859-1"?>\n<!-- dropped -->\n<shop town="M\xfcnchen"><item price="2.5"/><item price="4"/></shop>\n' \
    >"$work/shop.xml"
run "xml" xml "$work/shop.xml"
expect_rc 0
expect_out '<?xml version="1.0" encoding="UTF-8" standalone="no" ?><shop town="München"><item price="2.5"/><item price="4"/></shop>'
expect_err ""

run "query on XML" query --number "$work/shop.xml" /shop "sum(item/@price)"
expect_out "6.5"
run "query on XML, string" query "$work/shop.xml" /shop @town
expect_out "München"

# XML is parsed straight into the value: it holds what the copy of the DOM
# parser's document held. CDATA sections kept, texts merged across
# references, attributes in the DOM's order, nothing around the element.
printf '<?xml version="1.0"?>\n<!-- before -->\n<r xmlns="urn:d" xmlns:p="urn:p" z="1" p:a="2" a="3">a<![CDATA[<b> & ]]]]>c&amp;d&#65;<!--c--><?p d?><p:x/><![CDATA[]]></r>\n<?after?>\n' \
    >"$work/mixed-ns.xml"
run "xml with CDATA and namespaces" xml "$work/mixed-ns.xml"
expect_rc 0
expect_out '<?xml version="1.0" encoding="UTF-8" standalone="no" ?><r xmlns="urn:d" a="3" xmlns:p="urn:p" p:a="2" z="1">a<![CDATA[<b> & ]]]]>c&amp;dA<!--c--><?p d?><p:x/><![CDATA[]]></r>'
run "nodes of XML with CDATA" query --list "$work/mixed-ns.xml" / "//node()[not(self::*)]"
expect_out $'a\n<b> & ]]\nc&dA\nc\nd'
run "an empty CDATA section is a node" query --number "$work/mixed-ns.xml" / "count(//node())"
expect_out "8"
run "XML with namespaces" query "$work/mixed-ns.xml" / "concat(namespace-uri(/*/*[1]), '|', name(/*/*[1]))"
expect_out "urn:p|p:x"
run "XML without namespaces" query --no-namespaces "$work/mixed-ns.xml" / \
    "concat(namespace-uri(/*/*[1]), '|', name(/*/*[1]))"
expect_out "|p:x"
printf '<!DOCTYPE r [<!ENTITY t "text"><!ENTITY m "<i>m</i>tail"><!ATTLIST r d CDATA "def">]>\n<r a="&t;!">1&t;2&m;3<s>&t;</s></r>\n' \
    >"$work/entities.xml"
run "xml with entities and a default" xml "$work/entities.xml"
expect_out '<?xml version="1.0" encoding="UTF-8" standalone="no" ?><r a="text!">1text2<i>m</i>tail3<s>text</s></r>'
run "entities expanded, no default" query "$work/entities.xml" / \
    "concat(count(/r/@d), '|', count(/r/node()), '|', /r/text()[1])"
expect_out "0|4|1text2"
printf '<r>\n  <a>text' >"$work/cut.xml"
run "XML cut short" query "$work/cut.xml" / 1
expect_input_error "^transspace: $work/cut.xml:2:10: input ended before all started tags were ended; last tag started is 'a'$"
printf '<r>\n  <p:a/>\n</r>\n' >"$work/unbound.xml"
run "an unbound prefix" xml "$work/unbound.xml"
expect_input_error "^transspace: $work/unbound.xml:2:9: prefix 'p' can not be resolved to namespace URI$"
run "an unbound prefix, --no-namespaces" query --no-namespaces "$work/unbound.xml" / "name(/r/*)"
expect_out "p:a"

# A saved dictionary answers as its source does: it is read without namespace
# processing unless --namespaces asks for it, when its elements are in the
# dictionary namespace.
ns="http://www.transspace.org/vorn/data"
for example in "$source"/examples/*.json "$source/examples/codebook.xml"; do
    name=$(basename "$example")
    "$tool" dictionary "$example" >"$work/saved.xml"
    for query in "/dictionary/variable[last()] @label" "/ count(/dictionary/variable)" \
        "/ namespace-uri(/*)" "/dictionary/variable[1] @name"; do
        read -r context expression <<<"$query"
        run "$name: source, $query" query "$example" "$context" "$expression"
        expected=$out expected_err=$err
        run "$name: saved dictionary, $query" query "$work/saved.xml" "$context" "$expression"
        expect_rc 0
        expect_out "$expected"
        expect_err "$expected_err"
    done
    run "$name: saved dictionary, --namespaces" query --namespaces "$work/saved.xml" / \
        "concat(count(/*[namespace-uri()='$ns']/*[local-name()='variable']), ' ', count(/dictionary/variable), ' ', substring-before(/*/@xsi:schemaLocation, ' '))"
    expect_out "$("$tool" query --number "$example" / "count(/dictionary/variable)") 0 $ns"
    run "$name: xml of a saved dictionary" xml "$work/saved.xml"
    cmp -s "$work/out" "$work/saved.xml" || fail "differs from the saved dictionary"
done
cp "$work/dict-utf8.xml" "$work/dict.txt"
what="saved dictionary from stdin"
out=$("$tool" query --number - / "count(/dictionary/variable)" <"$work/dict.txt")
[ "$out" = "15" ] || fail "stdout is '$out'"
run "saved dictionary, --no-namespaces" query --no-namespaces --number "$work/dict-utf8.xml" / \
    "count(/dictionary/variable)"
expect_out "15"
run "--namespaces with --no-namespaces" query --namespaces --no-namespaces "$work/dict-utf8.xml" / 1
expect_rc 2
run "dictionary of a saved dictionary" dictionary "$work/dict-utf8.xml"
expect_input_error "dict-utf8.xml: a dictionary document, not a data source$"
# Another vocabulary's dictionary root stays XML, read with namespaces.
printf '<dictionary xmlns="urn:words"><variable/></dictionary>' >"$work/words.xml"
run "other dictionary root" query --number "$work/words.xml" / "count(/dictionary/variable)"
expect_out "0"
run "other dictionary root, --no-namespaces" query --no-namespaces --number "$work/words.xml" / \
    "count(/dictionary/variable)"
expect_out "1"

# --- usage --------------------------------------------------------------------
run "help" --help
expect_rc 0
expect_out_has "Example"
expect_out_has "dictionary"
run "query help" query --help
expect_rc 0
expect_out_has "--list"
expect_out_has "Example"
run "version" --version
expect_rc 0
expect_out "transspace 1.0.0"
run "no subcommand"
expect_rc 2
[ -s "$work/out" ] && fail "stdout is not empty"
run "missing argument" query "$survey" "$age"
expect_rc 2
run "--list with --number" query --list --number "$survey" "$age" @label
expect_rc 2
run "dictionary of an XML file" dictionary "$work/shop.xml"
expect_input_error "shop.xml: an XML document that is not a DDI codebook"

# --- DDI codebooks, by content ----------------------------------------------------
codebook=$source/examples/codebook.xml
run "dictionary of a codebook" dictionary "$codebook"
expect_rc 0
expect_out_has 'name="sex"'
run "query on a codebook's dictionary" query --number "$codebook" / "count(/dictionary/variable)"
expect_out "8"
run "query --xml on a codebook" query --xml "$codebook" / "name(/*)"
expect_out "codeBook"
printf '<codeBook><dataDscr><var name="x"><invalrng><item VALUE="abc"/></invalrng></var></dataDscr></codeBook>' \
    >"$work/lossy.xml"
# A prolog longer than any head the tool might read first: the tool and the
# loader tell the format alike.
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    for i in $(seq 1600); do printf '<!-- %060d -->\n' "$i"; done
    sed 1d "$codebook"
} >"$work/long-prolog.xml"
[ "$(stat -c %s "$work/long-prolog.xml")" -gt 102400 ] || fail "the prolog is too short"
run "codebook with a 100 KiB prolog" query --number "$work/long-prolog.xml" / \
    "count(/dictionary/variable)"
expect_rc 0
expect_out "8"
expect_err ""
run "dictionary of a codebook with a 100 KiB prolog" dictionary "$work/long-prolog.xml"
expect_rc 0
expect_out_has 'name="sex"'
run "notes" query --number "$work/lossy.xml" / "count(//variable)"
expect_rc 0
expect_out "1"
expect_err "note: $work/lossy.xml: 1 variable: missing value \"abc\" is not a number (x)"
run "ddi" ddi --indent "$survey"
expect_rc 0
expect_out_has '<codeBook xmlns="ddi:codebook:2_5"'
expect_out_has $'\n    <citation>'
cp "$work/out" "$work/survey-ddi.xml"
printf '{"variables": [{"name": "x", "label": "bell\\u0007"}]}' >"$work/bell.json"
run "ddi of a text XML cannot hold" ddi "$work/bell.json"
expect_input_error "^transspace: bell.json: variables\[0\]\.label: .*U\+0007"
run "ddi of a plain XML file" ddi "$work/shop.xml"
expect_input_error "shop.xml: an XML document that is not a DDI codebook"

# --- standard input and --indent ----------------------------------------------------
"$tool" dictionary - <"$survey" >"$work/out" 2>&1
cmp -s "$work/out" "$work/dict-utf8.xml" || fail "dictionary of stdin differs"
what="query on a codebook from stdin"
out=$("$tool" query --number - / "count(/dictionary/variable)" <"$work/survey-ddi.xml")
[ "$out" = "15" ] || fail "stdout is '$out'"
printf '<a><b>text <i>x</i></b><!-- c --><d><e/></d></a>' >"$work/mixed.xml"
run "xml --indent keeps mixed content" xml --indent "$work/mixed.xml"
expect_out $'<?xml version="1.0" encoding="UTF-8" standalone="no" ?>\n<a>\n  <b>text <i>x</i></b>\n  <!-- c -->\n  <d>\n    <e/>\n  </d>\n</a>'

# --- diff -------------------------------------------------------------------------------
old=$source/tests/tools/diff/old.json
new=$source/tests/tools/diff/new.json
"$tool" dictionary "$old" >"$work/old.xml"
run "diff, the same" diff "$old" "$old"
expect_rc 0
expect_out ""
expect_err ""
run "diff --json, the same" diff --json "$old" "$work/old.xml"
expect_rc 0
expect_out '{"added":[],"removed":[],"changed":[],"file":[]}'
sed 's/creationDateTime="[^"]*"/creationDateTime="2000-01-01T00:00:00Z"/; s/locale="[^"]*"/locale="tr_TR"/' \
    "$work/old.xml" >"$work/old-elsewhere.xml"
run "diff ignores creation time and locale" diff "$work/old-elsewhere.xml" "$old"
expect_rc 0
run "diff" diff "$old" "$new"
expect_rc 1
expect_err ""
cmp -s "$work/out" "$source/tests/tools/diff/expected.txt" || fail "differs from expected.txt"
run "diff --json" diff --json "$work/old.xml" "$new"
expect_rc 1
cmp -s "$work/out" "$source/tests/tools/diff/expected.json" || fail "differs from expected.json"
run "diff, a codebook and its own DDI and dictionary" diff "$codebook" - <<<"$("$tool" ddi "$codebook")"
expect_rc 0
"$tool" dictionary "$codebook" >"$work/codebook-dict.xml"
run "diff, a codebook and its dictionary" diff "$work/codebook-dict.xml" "$codebook"
expect_rc 0
# Integer texts follow LC_NUMERIC, which under ar_EG writes Arabic-Indic digits;
# the saved dictionary still equals its source.
if locale -a 2>/dev/null | grep -qix 'ar_EG\.utf-\?8'; then
    LC_ALL=ar_EG.UTF-8 "$tool" dictionary "$survey" >"$work/survey-ar.xml"
    run "diff, a source and its dictionary saved under ar_EG" diff "$survey" "$work/survey-ar.xml"
    expect_rc 0
    expect_out ""
    grep -qF 'rowCount="١٥٠٠"' "$work/survey-ar.xml" || fail "the saved rowCount is in ASCII digits"
else
    echo "skipped: ar_EG.UTF-8 is not installed (scripts/setup generates it)"
fi
run "diff, a source and its DDI" diff --json "$survey" "$work/survey-ddi.xml"
expect_rc 1
expect_out_has '"removed":[],'
run "diff of a plain XML file" diff "$survey" "$work/shop.xml"
expect_input_error "shop.xml: an XML document that is neither a DDI codebook nor a dictionary"
run "diff of a missing file" diff "$work/absent.json" "$survey"
expect_input_error "absent.json: cannot be opened"
run "diff of broken JSON" diff "$survey" "$work/broken.json"
expect_input_error "broken.json:3:"
run "diff, stdin twice" diff - - </dev/null
expect_input_error "standard input"

# --- validate ---------------------------------------------------------------------------
run "validate the example, a saved dictionary, a DDI export" \
    validate "$codebook" "$work/dict-utf8.xml" "$work/survey-ddi.xml" "$work/codebook-dict.xml"
expect_rc 0
expect_out ""
expect_err ""
run "validate a dictionary in a code page, from stdin" validate - \
    < <("$tool" dictionary --code-page windows-1252 "$survey")
expect_rc 0
expect_err ""
# An element out of place and an attribute the schema does not declare.
sed 's|<fileTxt>|<fileTxt><bogus/>|; s|<var ID="V1" name="id"|<var ID="V1" name="id" colour="red"|' \
    "$codebook" >"$work/invalid.xml"
run "validate an invalid codebook" validate "$work/invalid.xml"
expect_rc 1
expect_err ""
[ "$(grep -cE "^$work/invalid.xml:[0-9]+:[0-9]+: " "$work/out")" -eq 3 ] \
    || fail "not three FILE:LINE:COLUMN lines"
expect_out_has "invalid.xml:38:"
expect_out_has "attribute 'colour' is not declared for element 'var'"
sed 's|</fileTxt>||' "$codebook" >"$work/unclosed.xml"
run "validate a codebook that is not well-formed" validate "$work/unclosed.xml"
expect_input_error "^transspace: $work/unclosed.xml:30:[0-9]+: expected end of tag 'fileTxt'"
printf '<codeBook xmlns="http://www.icpsr.umich.edu/DDI" version="1.2.2"/>' >"$work/ddi122.xml"
run "validate DDI 1.2.2" validate "$work/ddi122.xml"
expect_input_error "^transspace: $work/ddi122.xml:1:[0-9]+: a DDI Codebook 1.2.2 or 2.0 codebook"
printf '<codeBook xmlns="ddi:codebook:2_6"/>' >"$work/ddi26.xml"
run "validate DDI 2.6" validate "$work/ddi26.xml"
expect_input_error "ddi26.xml:1:[0-9]+: a DDI Codebook 2.6 codebook: no schema"
run "validate a JSON source" validate "$survey"
expect_input_error "survey.json: a JSON data source"
run "validate an XML file of another kind" validate "$work/shop.xml"
expect_input_error "shop.xml:3:[0-9]+: no schema here for the root element shop"
run "validate goes on after a bad file" validate "$work/absent.xml" "$work/invalid.xml" "$codebook"
expect_rc 2
expect_err "transspace: $work/absent.xml: cannot be opened: No such file or directory"
expect_out_has "invalid.xml:38:"

# --- no file or URL is read because a document names it -------------------------------
echo "SECRET-5120" >"$work/secret.txt"
printf '<!ENTITY y SYSTEM "file://%s/secret.txt">' "$work" >"$work/declares.dtd"
entities() {  # ROOT ATTRIBUTES SYSTEM-ID: a document whose root holds &x;
    printf '<!DOCTYPE %s [<!ENTITY x SYSTEM "%s">]>\n<%s %s>&x;</%s>\n' "$1" "$3" "$1" "$2" "$1"
}
dictionaryNs='xmlns="http://www.transspace.org/vorn/data" locale="C" creationDateTime="2000"'
entities dictionary "$dictionaryNs" "file://$work/secret.txt" >"$work/entity-file.xml"
entities dictionary "$dictionaryNs" "$work/secret.txt" >"$work/entity-path.xml"
entities dictionary "$dictionaryNs" "http://127.0.0.1:9/x" >"$work/entity-http.xml"
entities codeBook 'xmlns="ddi:codebook:2_5"' "file://$work/secret.txt" >"$work/entity-ddi.xml"
for kind in file path http; do
    document=$work/entity-$kind.xml
    id=$(sed -n 's/.*SYSTEM "\([^"]*\)".*/\1/p' "$document")
    refused="^transspace: $document:2:[0-9]+: the external entity \"$id\" is not read"
    run "query, $kind entity" query --no-namespaces "$document" / "string(/dictionary)"
    expect_input_error "$refused"
    run "xml, $kind entity" xml "$document"
    expect_input_error "$refused"
    run "diff, $kind entity" diff "$document" "$survey"
    expect_input_error "$refused"
    run "validate, $kind entity" validate "$document"
    expect_input_error "$refused"
done
run "a codebook's entity" query --number "$work/entity-ddi.xml" / "count(//variable)"
expect_input_error "entity-ddi.xml:2:[0-9]+: the external entity \"file://$work/secret.txt\" is not read"
# An external DTD is passed by unread, whether on the web or on disk.
printf '<!DOCTYPE r SYSTEM "http://127.0.0.1:9/r.dtd">\n<r>t</r>\n' >"$work/dtd-http.xml"
printf '<!DOCTYPE r SYSTEM "%s/declares.dtd">\n<r>a&y;b</r>\n' "$work" >"$work/dtd-file.xml"
run "an external DTD on the web" query "$work/dtd-http.xml" / "string(/r)"
expect_rc 0
expect_out "t"
run "an external DTD on disk" xml "$work/dtd-file.xml"
expect_rc 0
expect_out '<?xml version="1.0" encoding="UTF-8" standalone="no" ?><r>ab</r>'
printf '<!DOCTYPE r [<!ENTITY %% p SYSTEM "%s/declares.dtd">\n%%p;]><r>&y;</r>' "$work" \
    >"$work/parameter.xml"
run "an external parameter entity" xml "$work/parameter.xml"
expect_input_error "parameter.xml:2:[0-9]+: the external entity \"$work/declares.dtd\" is not read"
printf '<!DOCTYPE r [<!ENTITY i "in">]><r>&i;</r>' >"$work/internal.xml"
run "an internal entity" query "$work/internal.xml" / "string(/r)"
expect_out "in"
# --- html -------------------------------------------------------------------------------
run "html" html "$survey"
expect_rc 0
expect_err ""
[[ $out == '<!DOCTYPE html>'* ]] || fail "does not start with the doctype"
expect_out_has "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'sha256-"
expect_out_has '<title>survey.json</title>'
expect_out_has '["height","Größe (cm)","numeric","F5.1","F8.3","scale","right","8",null,[],[],[]]'
expect_out_has '<noscript>'
# The policy's hashes are those of the page's own script and style sheet, or
# the browser would run neither.
/usr/bin/python3 - "$work/out" <<'PY' || fail "the CSP hashes do not match the inline script and style"
import base64, hashlib, re, sys
page = open(sys.argv[1], encoding="utf-8").read()
def digest(text):
    return "sha256-" + base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode()
script = re.findall(r"<script>(.*?)</script>", page, re.S)
style = re.findall(r"<style>(.*?)</style>", page, re.S)
policy = re.search(r"script-src '([^']*)'; style-src '([^']*)'", page)
sys.exit(0 if len(script) == 1 and len(style) == 1 and
         policy.groups() == (digest(script[0]), digest(style[0])) else 1)
PY
run "html --title, escaped" html --title '</title><b>&' - <"$survey"
expect_rc 0
expect_out_has '<title>&lt;/title&gt;&lt;b&gt;&amp;</title>'
expect_out_has '"title":"\u003c/title\u003e\u003cb\u003e\u0026","file":"stdin"'
run "html of a saved dictionary" html "$work/codebook-dict.xml"
expect_rc 0
expect_out_has '<title>Household Survey 2024</title>'
run "html of a plain XML file" html "$work/shop.xml"
expect_input_error "shop.xml: an XML document that is neither a DDI codebook nor a dictionary"
run "html of broken JSON" html "$work/broken.json"
expect_input_error "broken.json:3:"

# --- progress ---------------------------------------------------------------------------
# Standard input that arrives late keeps the tool waiting for more than a second.
slow="(sleep 1.5; cat '$survey') | '$tool' diff - '$survey'"
what="progress, not a terminal"
[ -z "$(bash -c "$slow" 2>&1)" ] || fail "printed something"
what="progress on a terminal"
shown=$(script -qec "bash -c \"$slow\"" /dev/null | od -An -c | tr -d ' \n')
[[ $shown == '\rtransspace:1/5loading<stdin>033[K'*'\r033[K' ]] || fail "showed: $shown"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all tool checks passed"
