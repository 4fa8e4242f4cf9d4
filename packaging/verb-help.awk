# Turns the --help text of one korvat verb (CLI11's layout) into a man page subsection:
# the usage line as the heading, the summary, each positional and option as a tagged paragraph,
# the footer as text with its indented lines (the examples) kept as they are.

# Roff escapes: backslashes, a minus that starts a word (an option; with `all` every minus, for
# option names), a control character at the start of a line.
function esc(s, all, out, i, c, before) {
    out = ""
    for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        before = i == 1 ? " " : substr(s, i - 1, 1)
        if (c == "\\") out = out "\\e"
        else if (c == "-" && (all || i == 1 || before ~ /[ ,=(\[`-]/)) out = out "\\-"
        else out = out c
    }
    if (out ~ /^[.']/) out = "\\&" out
    return out
}
function trim(s) { sub(/^ +/, "", s); sub(/ +$/, "", s); return s }
function endpre() { if (pre) { print ".fi"; pre = 0 } }
# "-a,--angle FLOAT=3": the names in bold, the value in plain text.
function entry(name, desc, n, parts, words, i, head) {
    n = split(name, words, " ")
    split(words[1], parts, ",")
    head = ""
    for (i = 1; parts[i] != ""; i++) head = head (i > 1 ? ", " : "") "\\fB" esc(parts[i], 1) "\\fR"
    for (i = 2; i <= n; i++) head = head " " esc(words[i])
    print ".TP"
    print head
    if (desc != "") print esc(desc)
}

NR == 1 { summary = $0; next }
/^Usage: / {
    sub(/^Usage: /, "")
    print ".SS \"" esc($0) "\""
    print esc(summary)
    next
}
/^(Positionals|Options|POSITIONALS|OPTIONS):$/ { endpre(); section = "entries"; next }
/^$/ {
    if (section == "entries") section = "footer"
    endpre()
    if (section == "footer") text = 0
    next
}
section == "entries" {
    if ($0 ~ /^      /) { print esc(trim($0)); next }  # the description of a long name
    line = $0
    sub(/^  /, "", line)
    if (match(line, /  +/)) entry(substr(line, 1, RSTART - 1), trim(substr(line, RSTART)))
    else entry(trim(line), "")
    next
}
{
    if ($0 ~ /^ /) {
        if (!pre) { print ".nf"; pre = 1 }
        print esc($0)
    } else {
        endpre()
        if (!text || $0 ~ /:$/) print ".PP"
        text = 1
        print esc($0)
    }
}
END { endpre() }
