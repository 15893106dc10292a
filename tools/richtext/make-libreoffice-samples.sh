#!/usr/bin/env bash
# Writes the LibreOffice test documents of tests/data/richtext once: flat ODF text
# documents made here are converted to RTF by LibreOffice Writer (headless). Needs the
# packages of testdata-packages.txt (scripts/install-deps tools/richtext/testdata-packages.txt).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/../../tests/data/richtext
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

header() {
    cat <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
  xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
  office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
<office:font-face-decls>
  <style:font-face style:name="Liberation Serif" svg:font-family="'Liberation Serif'" style:font-family-generic="roman"/>
  <style:font-face style:name="Liberation Sans" svg:font-family="'Liberation Sans'" style:font-family-generic="swiss"/>
  <style:font-face style:name="Liberation Mono" svg:font-family="'Liberation Mono'" style:font-family-generic="modern" style:font-pitch="fixed"/>
</office:font-face-decls>
<office:automatic-styles>
  <style:style style:name="Title" style:family="paragraph"><style:paragraph-properties fo:text-align="center"/><style:text-properties style:font-name="Liberation Sans" fo:font-size="18pt" fo:font-weight="bold"/></style:style>
  <style:style style:name="Right" style:family="paragraph"><style:paragraph-properties fo:text-align="end"/></style:style>
  <style:style style:name="Justify" style:family="paragraph"><style:paragraph-properties fo:text-align="justify"/></style:style>
  <style:style style:name="Indented" style:family="paragraph"><style:paragraph-properties fo:margin-left="1in" fo:margin-right="0.5in" fo:text-indent="0.5in" fo:margin-top="0.1667in" fo:margin-bottom="0.0833in"/></style:style>
  <style:style style:name="NewPage" style:family="paragraph"><style:paragraph-properties fo:break-before="page"/></style:style>
  <style:style style:name="NewPageCenter" style:family="paragraph"><style:paragraph-properties fo:break-before="page" fo:text-align="center"/></style:style>
  <style:style style:name="Mono" style:family="paragraph"><style:text-properties style:font-name="Liberation Mono" fo:font-size="9pt"/></style:style>
  <style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="I" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>
  <style:style style:name="U" style:family="text"><style:text-properties style:text-underline-style="solid" style:text-underline-width="auto" style:text-underline-color="font-color"/></style:style>
  <style:style style:name="S" style:family="text"><style:text-properties style:text-line-through-style="solid"/></style:style>
  <style:style style:name="Sup" style:family="text"><style:text-properties style:text-position="super 58%"/></style:style>
  <style:style style:name="Sub" style:family="text"><style:text-properties style:text-position="sub 58%"/></style:style>
  <style:style style:name="Red" style:family="text"><style:text-properties fo:color="#ff0000"/></style:style>
  <style:style style:name="Blue" style:family="text"><style:text-properties fo:color="#0000ff"/></style:style>
  <style:style style:name="Big" style:family="text"><style:text-properties fo:font-size="16pt"/></style:style>
  <style:style style:name="Sans" style:family="text"><style:text-properties style:font-name="Liberation Sans"/></style:style>
</office:automatic-styles>
<office:body><office:text>
XML
}

footer() {
    echo '</office:text></office:body></office:document>'
}

# A letter of three pages: styles, fonts, colours, alignment, indents, page breaks.
{
    header
    cat <<'XML'
<text:p text:style-name="Title">Quarterly Report</text:p>
<text:p>Plain text, <text:span text:style-name="B">bold</text:span>, <text:span text:style-name="I">italic</text:span>, <text:span text:style-name="U">underlined</text:span>, <text:span text:style-name="S">struck</text:span>, E=mc<text:span text:style-name="Sup">2</text:span> and H<text:span text:style-name="Sub">2</text:span>O.</text:p>
<text:p><text:span text:style-name="Red">Red words</text:span> and <text:span text:style-name="Blue">blue words</text:span> in <text:span text:style-name="Big">large</text:span> and <text:span text:style-name="Sans">sans serif</text:span> type.</text:p>
<text:p text:style-name="Right">Right aligned line</text:p>
<text:p text:style-name="Justify">Justified paragraph that runs long enough to wrap over more than one line of the page, so that the alignment can be seen on both lines of it when the page is rendered.</text:p>
<text:p text:style-name="Indented">Indented paragraph with space before and after.</text:p>
<text:p>Name<text:tab/>Number<text:line-break/>Caf&#233; cr&#232;me &#8364;5 &#8220;quoted&#8221; &#945;&#946;&#947;</text:p>
<text:p text:style-name="NewPage">Second page starts here.</text:p>
<text:p text:style-name="Mono">Fixed pitch text 0123456789</text:p>
<text:p text:style-name="NewPageCenter">Third page, centred.</text:p>
XML
    footer
} > "$work/lo-letter.fodt"

# A long document of several pages without forced breaks.
{
    header
    echo '<text:p text:style-name="Title">A Long Document</text:p>'
    for i in $(seq 1 120); do
        echo "<text:p text:style-name=\"Justify\">Paragraph $i. The quick brown fox jumps over the lazy dog while the fax modem waits for the carrier; every line of this paragraph has to reach the remote machine exactly once.</text:p>"
    done
    footer
} > "$work/lo-long.fodt"

(cd "$work" && soffice --headless --convert-to rtf --outdir "$work" lo-letter.fodt lo-long.fodt >/dev/null 2>&1)
mkdir -p "$out"
cp "$work/lo-letter.rtf" "$work/lo-long.rtf" "$out/"
echo "wrote $out/lo-letter.rtf $out/lo-long.rtf"
