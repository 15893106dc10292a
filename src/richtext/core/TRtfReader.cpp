#include "richtext/core/TRtfReader.h"

#include "common/CodePage1252.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace {

constexpr size_t kMaxDepth = 256;
constexpr int kMaxTwips = 31680 * 4;

int ClampTwips(int value) {
    return std::clamp(value, -kMaxTwips, kMaxTwips);
}

// Destinations whose contents are never shown.
const std::set<std::string>& SkippedDestinations() {
    static const std::set<std::string> words = {
        "author",
        "buptim",
        "colorschememapping",
        "creatim",
        "datastore",
        "fldinst",
        "footer",
        "footerf",
        "footerl",
        "footerr",
        "footnote",
        "ftncn",
        "ftnsep",
        "ftnsepc",
        "aftncn",
        "aftnsep",
        "aftnsepc",
        "generator",
        "header",
        "headerf",
        "headerl",
        "headerr",
        "keywords",
        "latentstyles",
        "listtable",
        "listoverridetable",
        "nonshppict",
        "object",
        "operator",
        "picfile",
        "printim",
        "private1",
        "revtbl",
        "revtim",
        "rsidtbl",
        "rxe",
        "shp",
        "stylesheet",
        "tc",
        "themedata",
        "txe",
        "xe",
        "xmlnstbl",
        "pntxta",
        "pntxtb",
        "wpfnnr",
        "bkmkstart",
        "bkmkend",
        "mmathPr",
        "userprops",
        "objdata",
        "blipuid",
        "fchars",
        "lchars",
        "pgdsctbl",
        "wgrffmtfilter",
        "hlinkbase",
        "template",
    };
    return words;
}

} // namespace

TRtfDocument TRtfReader::Read(std::string_view rtf) {
    TRtfReader reader(rtf);
    reader.Run();
    return std::move(reader.document_);
}

void TRtfReader::Run() {
    for (;;) {
        const TRtfTokenizer::Token token = tokenizer_.Next();
        if (token.kind != TRtfTokenizer::Kind::tkText && token.kind != TRtfTokenizer::Kind::tkHex) {
            FlushPendingBytes();
        }
        switch (token.kind) {
        case TRtfTokenizer::Kind::tkEnd:
            Finish();
            return;
        case TRtfTokenizer::Kind::tkGroupOpen:
            skipCharacters_ = 0;
            OpenGroup();
            break;
        case TRtfTokenizer::Kind::tkGroupClose:
            skipCharacters_ = 0;
            CloseGroup();
            break;
        case TRtfTokenizer::Kind::tkWord:
            if (skipCharacters_ > 0) {
                --skipCharacters_;
                if (token.word == "bin" && token.parameter > 0) {
                    tokenizer_.TakeBytes(token.parameter);
                }
                break;
            }
            HandleWord(token);
            break;
        case TRtfTokenizer::Kind::tkSymbol:
            if (skipCharacters_ > 0) {
                --skipCharacters_;
                break;
            }
            HandleSymbol(token.word.empty() ? '\0' : token.word[0]);
            break;
        case TRtfTokenizer::Kind::tkHex:
            HandleTextByte(token.byte, true);
            break;
        case TRtfTokenizer::Kind::tkText:
            HandleTextByte(token.byte, false);
            break;
        }
    }
}

void TRtfReader::OpenGroup() {
    if (stack_.size() >= kMaxDepth) {
        ++ignoredDepth_;
        return;
    }
    stack_.push_back(state_);
    starredGroup_ = false;
}

void TRtfReader::CloseGroup() {
    if (ignoredDepth_ > 0) {
        --ignoredDepth_;
        return;
    }
    if (stack_.empty()) {
        return; // a stray brace: ignored
    }
    if (state_.destination == Destination::dFontTable) {
        CommitFont();
    }
    const Destination closing = state_.destination;
    state_ = stack_.back();
    stack_.pop_back();
    if (closing == Destination::dPicture && state_.destination != Destination::dPicture) {
        FinishPicture();
    }
    if (closing == Destination::dFontTable && state_.destination != Destination::dFontTable) {
        // The font table is complete: resolve the default font everywhere.
        const auto found = fonts_.find(defaultFontNumber_);
        if (found != fonts_.end()) {
            document_.defaultFont = found->second.font;
        }
        if (state_.chr.font.name.empty()) {
            state_.chr.font = document_.defaultFont;
        }
        for (State& saved : stack_) {
            if (saved.chr.font.name.empty()) {
                saved.chr.font = document_.defaultFont;
            }
        }
    }
    starredGroup_ = false;
}

void TRtfReader::HandleWord(const TRtfTokenizer::Token& token) {
    const std::string& word = token.word;
    if (word == "bin") {
        const std::string_view bytes = tokenizer_.TakeBytes(token.parameter);
        if (state_.destination == Destination::dPicture) {
            picture_.data.append(bytes);
        }
        return;
    }
    if (state_.destination == Destination::dSkip) {
        return;
    }
    if (HandleDestinationWord(word)) {
        starredGroup_ = false;
        return;
    }
    if (starredGroup_) {
        // "{\*\word ...}": a destination this reader does not know.
        state_.destination = Destination::dSkip;
        starredGroup_ = false;
        return;
    }
    if (state_.destination == Destination::dPicture) {
        HandlePictureWord(word, token.hasParameter, token.parameter);
        return;
    }
    if (state_.destination == Destination::dFontTable) {
        if (word == "f") {
            CommitFont();
            fontNumber_ = token.parameter;
        } else if (word == "fnil" || word == "froman" || word == "fswiss" || word == "fmodern" ||
                   word == "fscript" || word == "fdecor" || word == "ftech" || word == "fbidi") {
            font_.family = word == "fswiss"    ? TRtfFontFamily::ffSwiss
                           : word == "froman"  ? TRtfFontFamily::ffRoman
                           : word == "fmodern" ? TRtfFontFamily::ffModern
                           : word == "fscript" ? TRtfFontFamily::ffScript
                           : word == "fdecor"  ? TRtfFontFamily::ffDecor
                           : word == "ftech"   ? TRtfFontFamily::ffTech
                                               : TRtfFontFamily::ffNil;
        } else if (word == "fcharset" || word == "charset") {
            font_.charset = token.parameter;
        } else if (word == "cpg") {
            fontCodePage_ = token.parameter;
        } else if (word == "u") {
            HandleUnicode(token.parameter);
        }
        return;
    }
    if (state_.destination == Destination::dColorTable) {
        const int value = std::clamp(token.parameter, 0, 255);
        if (word == "red") {
            color_.red = value;
            colorGiven_ = true;
        } else if (word == "green") {
            color_.green = value;
            colorGiven_ = true;
        } else if (word == "blue") {
            color_.blue = value;
            colorGiven_ = true;
        }
        return;
    }
    if (HandleSpecialCharacter(word) || word == "u" || word == "uc") {
        if (word == "u") {
            HandleUnicode(token.parameter);
        } else if (word == "uc") {
            state_.unicodeSkip = std::clamp(token.parameter, 0, 16);
        }
        return;
    }
    if (HandleCharacterWord(word, token.hasParameter, token.parameter)) {
        return;
    }
    if (HandleParagraphWord(word, token.hasParameter, token.parameter)) {
        return;
    }
    HandleDocumentWord(word, token.parameter);
}

void TRtfReader::HandleSymbol(char symbol) {
    if (state_.destination == Destination::dSkip) {
        return;
    }
    switch (symbol) {
    case '*':
        starredGroup_ = true;
        break;
    case '\\':
    case '{':
    case '}':
        AppendCharacter(static_cast<char32_t>(symbol));
        break;
    case '~':
        AppendCharacter(0x00A0);
        break;
    case '_':
        AppendCharacter(0x2011);
        break;
    case '\t':
        AppendCharacter(U'\t');
        break;
    default:
        break; // "\-", "\:", "\|" and damaged escapes show nothing
    }
}

bool TRtfReader::HandleDestinationWord(const std::string& word) {
    if (word == "fonttbl") {
        state_.destination = Destination::dFontTable;
        fontNumber_ = -1;
        font_ = TRtfFont();
        fontName_.clear();
    } else if (word == "colortbl") {
        state_.destination = Destination::dColorTable;
        colors_.clear();
        color_ = TRtfColor();
        colorGiven_ = false;
    } else if (word == "info") {
        state_.destination = Destination::dInfo;
    } else if (word == "title") {
        state_.destination = Destination::dTitle;
        document_.title.clear();
    } else if (word == "subject") {
        state_.destination = Destination::dSubject;
        document_.subject.clear();
    } else if (word == "comment" || word == "doccomm") {
        state_.destination = Destination::dComment;
        document_.comment.clear();
    } else if (word == "pict") {
        state_.destination =
            state_.destination == Destination::dText ? Destination::dPicture : Destination::dSkip;
        picture_ = TRtfPicture();
        picture_.format = TRtfPictureFormat::pfOther; // until a format word names it
        pictureNibble_ = -1;
    } else if (word == "shppict") {
        // The picture of a word processor's shape: shown like a plain "\pict".
    } else if (word == "qphidemarkers") {
        document_.insertPointMarkersHidden = true;
        state_.destination = Destination::dSkip;
    } else if (SkippedDestinations().count(word) > 0) {
        state_.destination = Destination::dSkip;
    } else {
        return false;
    }
    return true;
}

bool TRtfReader::HandleCharacterWord(const std::string& word, bool hasParameter, int parameter) {
    TRtfCharFormat& chr = state_.chr;
    const bool on = !hasParameter || parameter != 0;
    if (word == "plain") {
        chr = TRtfCharFormat();
        chr.font = document_.defaultFont;
        state_.insertPointId = 0;
        state_.codePage = CodePageOfFont(defaultFontNumber_);
    } else if (word == "f") {
        const auto found = fonts_.find(parameter);
        chr.font = found != fonts_.end() ? found->second.font : document_.defaultFont;
        state_.codePage = CodePageOfFont(found != fonts_.end() ? parameter : defaultFontNumber_);
    } else if (word == "fs") {
        chr.halfPoints = std::clamp(parameter, 0, 3276);
    } else if (word == "cf") {
        chr.color = ColorAt(parameter).value_or(TRtfColor());
    } else if (word == "cb" || word == "highlight" || word == "chcbpat") {
        chr.background = ColorAt(parameter);
    } else if (word == "b") {
        chr.bold = on;
    } else if (word == "i") {
        chr.italic = on;
    } else if (word == "ul" || word == "ulw" || word == "uld" || word == "uldash" ||
               word == "uldashd" || word == "uldashdd" || word == "ulth" || word == "ulwave" ||
               word == "ulhwave" || word == "ulldash" || word == "ulthd" || word == "ulthdash") {
        chr.underline = on;
        chr.doubleUnderline = false;
    } else if (word == "uldb" || word == "ululdbwave") {
        chr.doubleUnderline = on;
        chr.underline = false;
    } else if (word == "ulnone") {
        chr.underline = false;
        chr.doubleUnderline = false;
    } else if (word == "strike" || word == "striked") {
        chr.strike = on;
    } else if (word == "shad") {
        chr.shadow = on;
    } else if (word == "v") {
        chr.hidden = on;
    } else if (word == "super") {
        chr.superscript = on;
        chr.subscript = false;
    } else if (word == "sub") {
        chr.subscript = on;
        chr.superscript = false;
    } else if (word == "nosupersub") {
        chr.superscript = false;
        chr.subscript = false;
    } else if (word == "inspnt") {
        StartInsertPoint(hasParameter && parameter > 0 ? parameter : 1);
    } else {
        return false;
    }
    return true;
}

bool TRtfReader::HandleParagraphWord(const std::string& word, bool hasParameter, int parameter) {
    TRtfParagraphFormat& para = state_.para;
    if (word == "pard") {
        para = TRtfParagraphFormat();
        state_.pageBreakBefore = false;
        state_.nextTabKind = TRtfTabKind::tkLeft;
        state_.inTable = false;
    } else if (word == "intbl") {
        state_.inTable = true;
    } else if (word == "trowd") {
        rowCells_.clear();
    } else if (word == "cellx") {
        if (rowCells_.size() < 64) {
            rowCells_.push_back(std::clamp(parameter, 0, kMaxTwips));
        }
    } else if (word == "ql") {
        para.alignment = TRtfAlignment::raLeft;
    } else if (word == "qc") {
        para.alignment = TRtfAlignment::raCenter;
    } else if (word == "qr") {
        para.alignment = TRtfAlignment::raRight;
    } else if (word == "qj" || word == "qd") {
        para.alignment = TRtfAlignment::raJustify;
    } else if (word == "li") {
        para.leftIndent = ClampTwips(parameter);
    } else if (word == "ri") {
        para.rightIndent = ClampTwips(parameter);
    } else if (word == "fi") {
        para.firstIndent = ClampTwips(parameter);
    } else if (word == "sb") {
        para.spaceBefore = std::clamp(parameter, 0, kMaxTwips);
    } else if (word == "sa") {
        para.spaceAfter = std::clamp(parameter, 0, kMaxTwips);
    } else if (word == "sl") {
        para.lineSpacing = ClampTwips(parameter);
        if (para.lineSpacing == 1000) {
            para.lineSpacing = 0; // "\sl1000" is Word's way of saying automatic
        }
    } else if (word == "slmult") {
        para.lineMultiple = hasParameter && parameter != 0;
    } else if (word == "tqr") {
        state_.nextTabKind = TRtfTabKind::tkRight;
    } else if (word == "tqc") {
        state_.nextTabKind = TRtfTabKind::tkCenter;
    } else if (word == "tqdec") {
        state_.nextTabKind = TRtfTabKind::tkDecimal;
    } else if (word == "tx" || word == "tb") {
        if (word == "tx" && parameter >= 0 && para.tabs.size() < 64) {
            para.tabs.push_back({std::min(parameter, kMaxTwips), state_.nextTabKind});
        }
        state_.nextTabKind = TRtfTabKind::tkLeft;
    } else if (word == "pagebb") {
        state_.pageBreakBefore = !hasParameter || parameter != 0;
    } else {
        return false;
    }
    return true;
}

bool TRtfReader::HandleDocumentWord(const std::string& word, int parameter) {
    TRtfPageLayout& page = document_.page;
    const int twips = std::clamp(parameter, 0, kMaxTwips);
    int* target = word == "paperw"   ? &page.paperWidth
                  : word == "paperh" ? &page.paperHeight
                  : word == "margl"  ? &page.marginLeft
                  : word == "margr"  ? &page.marginRight
                  : word == "margt"  ? &page.marginTop
                  : word == "margb"  ? &page.marginBottom
                                     : nullptr;
    if (target) {
        if (!document_.pageGiven) {
            // RTF's own defaults for the values a document leaves out.
            page = TRtfPageLayout{12240, 15840, 1800, 1800, 1440, 1440};
            document_.pageGiven = true;
        }
        *target = twips;
        return true;
    }
    if (word == "deff") {
        defaultFontNumber_ = parameter;
    } else if (word == "ansicpg") {
        ansiCodePage_ = parameter > 0 ? parameter : TRtfCodePage::kAnsi;
    } else if (word == "mac" || word == "pc" || word == "pca") {
        ansiCodePage_ = word == "mac" ? 10000 : word == "pc" ? 437 : 850;
    } else if (word == "sbknone" || word == "sbkcol") {
        sectionBreaksPage_ = false;
    } else if (word == "sbkpage" || word == "sbkeven" || word == "sbkodd" || word == "sectd") {
        sectionBreaksPage_ = true;
    } else {
        return false;
    }
    return true;
}

bool TRtfReader::HandleSpecialCharacter(const std::string& word) {
    if (word == "par") {
        if (state_.destination == Destination::dText && state_.inTable) {
            AppendCharacter(U' '); // the paragraphs of a table cell share its row's line
        } else if (state_.destination == Destination::dText) {
            EndParagraph();
        }
    } else if (word == "row") {
        if (state_.destination == Destination::dText) {
            EndRow();
        }
    } else if (word == "sect") {
        if (state_.destination == Destination::dText) {
            SectionBreak();
        }
    } else if (word == "page") {
        if (state_.destination == Destination::dText) {
            PageBreak();
        }
    } else if (word == "line") {
        AppendCharacter(U'\n');
    } else if (word == "tab" || word == "cell" || word == "nestcell") {
        AppendCharacter(U'\t');
    } else if (word == "ldblquote") {
        AppendCharacter(0x201C);
    } else if (word == "rdblquote") {
        AppendCharacter(0x201D);
    } else if (word == "lquote") {
        AppendCharacter(0x2018);
    } else if (word == "rquote") {
        AppendCharacter(0x2019);
    } else if (word == "bullet") {
        AppendCharacter(0x2022);
    } else if (word == "endash") {
        AppendCharacter(0x2013);
    } else if (word == "emdash") {
        AppendCharacter(0x2014);
    } else if (word == "enspace") {
        AppendCharacter(0x2002);
    } else if (word == "emspace") {
        AppendCharacter(0x2003);
    } else if (word == "qmspace") {
        AppendCharacter(0x2005);
    } else {
        return false;
    }
    return true;
}

void TRtfReader::HandleUnicode(int parameter) {
    char32_t unit = static_cast<char32_t>(parameter < 0 ? parameter + 65536 : parameter) & 0xFFFF;
    skipCharacters_ = state_.unicodeSkip;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (highSurrogate_ != 0) {
            AppendCharacter(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00));
        }
        highSurrogate_ = 0;
        return;
    }
    highSurrogate_ = 0;
    AppendCharacter(unit == 0 ? 0xFFFD : unit);
}

void TRtfReader::HandleTextByte(unsigned char byte, bool escaped) {
    if (skipCharacters_ > 0) {
        --skipCharacters_;
        return;
    }
    if (!escaped && (byte == '\r' || byte == '\n' || byte == 0)) {
        return; // line ends in the file carry no meaning
    }
    if (state_.destination == Destination::dPicture) {
        if (!escaped) {
            HandlePictureByte(byte);
        }
        return;
    }
    if (state_.destination == Destination::dColorTable) {
        HandleColorTableText(byte);
        return;
    }
    if (!escaped && byte == '\t' && state_.destination != Destination::dText) {
        return; // the separator after "\subject" and "\comment"
    }
    if (state_.destination == Destination::dFontTable && byte == ';') {
        FlushPendingBytes();
        CommitFont();
        return;
    }
    const int codePage = TextCodePage();
    if (!pendingBytes_.empty() && pendingCodePage_ != codePage) {
        FlushPendingBytes();
    }
    if (pendingBytes_.empty() && (codePage == TRtfCodePage::kAnsi ||
                                  (byte < 0x80 && !TRtfCodePage::IsDoubleByte(codePage)))) {
        AppendCharacter(DecodeCp1252(byte));
        return;
    }
    pendingCodePage_ = codePage;
    pendingBytes_ += static_cast<char>(byte);
}

// Bytes of other code pages are collected and decoded together, so that the two bytes of
// a double-byte character (two "\'hh" escapes) form one character.
void TRtfReader::FlushPendingBytes() {
    if (pendingBytes_.empty()) {
        return;
    }
    const std::u32string text = codePages_.Decode(pendingCodePage_, pendingBytes_);
    pendingBytes_.clear();
    for (char32_t ch : text) {
        AppendCharacter(ch);
    }
}

int TRtfReader::TextCodePage() const {
    switch (state_.destination) {
    case Destination::dFontTable:
        return fontCodePage_ > 0 ? fontCodePage_
                                 : TRtfCodePage::OfCharset(font_.charset, ansiCodePage_);
    case Destination::dText:
        return state_.codePage > 0
                   ? state_.codePage
                   : TRtfCodePage::OfCharset(state_.chr.font.charset, ansiCodePage_);
    default:
        return ansiCodePage_;
    }
}

// The code page a font's "\cpg" names, or 0 when its character set decides.
int TRtfReader::CodePageOfFont(int number) const {
    const auto found = fonts_.find(number);
    return found != fonts_.end() ? found->second.codePage : 0;
}

void TRtfReader::StartInsertPoint(int tag) {
    state_.chr.insertPointTag = tag;
    state_.insertPointId = ++nextInsertPointId_;
    if (state_.destination == Destination::dText) {
        // The insert point exists from its marker on, also when its field text is empty.
        paragraph_.runs.push_back({state_.chr, {}, state_.insertPointId, nullptr});
    }
}

bool TRtfReader::HandlePictureWord(const std::string& word, bool hasParameter, int parameter) {
    static const std::map<std::string, TRtfPictureFormat> formats = {
        {"pngblip", TRtfPictureFormat::pfPng},   {"jpegblip", TRtfPictureFormat::pfJpeg},
        {"dibitmap", TRtfPictureFormat::pfDib},  {"wmetafile", TRtfPictureFormat::pfWmf},
        {"emfblip", TRtfPictureFormat::pfEmf},   {"wbitmap", TRtfPictureFormat::pfDdb},
        {"macpict", TRtfPictureFormat::pfOther}, {"pmmetafile", TRtfPictureFormat::pfOther},
    };
    const auto format = formats.find(word);
    if (format != formats.end()) {
        picture_.format = format->second;
        picture_.formatParameter = hasParameter ? parameter : 0;
        return true;
    }
    const int size = std::clamp(parameter, 0, kMaxTwips);
    int* target = word == "picw"            ? &picture_.width
                  : word == "pich"          ? &picture_.height
                  : word == "picwgoal"      ? &picture_.goalWidth
                  : word == "pichgoal"      ? &picture_.goalHeight
                  : word == "wbmbitspixel"  ? &picture_.bitsPerPixel
                  : word == "wbmplanes"     ? &picture_.planes
                  : word == "wbmwidthbytes" ? &picture_.widthBytes
                                            : nullptr;
    if (target) {
        *target = size;
        return true;
    }
    if (word == "picscalex" || word == "picscaley") {
        (word == "picscalex" ? picture_.scaleX : picture_.scaleY) = std::clamp(parameter, 1, 1000);
        return true;
    }
    return false;
}

void TRtfReader::HandlePictureByte(unsigned char byte) {
    int value = -1;
    if (byte >= '0' && byte <= '9') {
        value = byte - '0';
    } else if (byte >= 'a' && byte <= 'f') {
        value = byte - 'a' + 10;
    } else if (byte >= 'A' && byte <= 'F') {
        value = byte - 'A' + 10;
    }
    if (value < 0) {
        return; // line ends and blanks between the hex digits
    }
    if (pictureNibble_ < 0) {
        pictureNibble_ = value;
        return;
    }
    picture_.data += static_cast<char>(pictureNibble_ * 16 + value);
    pictureNibble_ = -1;
}

void TRtfReader::FinishPicture() {
    if (state_.destination == Destination::dText && !picture_.data.empty()) {
        TRtfCharFormat format = state_.chr;
        format.insertPointTag = 0;
        paragraph_.runs.push_back(
            {format, {}, 0, std::make_shared<const TRtfPicture>(std::move(picture_))});
    }
    picture_ = TRtfPicture();
    pictureNibble_ = -1;
}

void TRtfReader::AppendCharacter(char32_t ch) {
    switch (state_.destination) {
    case Destination::dText:
        AppendToParagraph(ch);
        break;
    case Destination::dFontTable:
        AppendFontNameCharacter(ch);
        break;
    case Destination::dTitle:
        document_.title += ch;
        break;
    case Destination::dSubject:
        document_.subject += ch;
        break;
    case Destination::dComment:
        document_.comment += ch;
        break;
    default:
        break;
    }
}

void TRtfReader::AppendToParagraph(char32_t ch) {
    if (ch <= 3) {
        return;
    }
    std::vector<TRtfRun>& runs = paragraph_.runs;
    if (runs.empty() || runs.back().picture || runs.back().insertPointId != state_.insertPointId ||
        !(runs.back().format == state_.chr)) {
        runs.push_back({state_.chr, {}, state_.insertPointId});
    }
    runs.back().text += ch;
}

void TRtfReader::AppendFontNameCharacter(char32_t ch) {
    if (fontName_.size() < 256) {
        fontName_ += ch;
    }
}

void TRtfReader::HandleColorTableText(unsigned char byte) {
    if (byte != ';') {
        return;
    }
    if (colorGiven_) {
        colors_.push_back(color_);
    } else {
        colors_.push_back(std::nullopt);
    }
    color_ = TRtfColor();
    colorGiven_ = false;
}

void TRtfReader::CommitFont() {
    if (fontNumber_ >= 0 || !fontName_.empty()) {
        // Trim blanks around the face name.
        size_t begin = 0;
        size_t end = fontName_.size();
        while (begin < end && fontName_[begin] == U' ') {
            ++begin;
        }
        while (end > begin && fontName_[end - 1] == U' ') {
            --end;
        }
        font_.name = ToUtf8(fontName_.substr(begin, end - begin));
        if (fontNumber_ >= 0 && fonts_.count(fontNumber_) == 0) {
            fonts_[fontNumber_] = {font_, fontCodePage_};
        }
    }
    fontNumber_ = -1;
    font_ = TRtfFont();
    fontCodePage_ = 0;
    fontName_.clear();
}

void TRtfReader::EndRow() {
    std::vector<TRtfRun>& runs = paragraph_.runs;
    if (!runs.empty() && !runs.back().text.empty() && runs.back().text.back() == U'\t') {
        runs.back().text.pop_back(); // the end of the last cell
    }
    // The cells' left edges become the tab stops of the row's line.
    TRtfParagraphFormat row = state_.para;
    if (row.tabs.empty()) {
        for (size_t i = 0; i + 1 < rowCells_.size(); ++i) {
            row.tabs.push_back({rowCells_[i], TRtfTabKind::tkLeft});
        }
    }
    EndParagraph(&row);
}

void TRtfReader::EndParagraph(const TRtfParagraphFormat* format) {
    paragraph_.format = format ? *format : state_.para;
    TRtfCharFormat end = state_.chr;
    end.insertPointTag = 0;
    paragraph_.endFormat = end;
    paragraph_.pageBreakBefore = paragraph_.pageBreakBefore || state_.pageBreakBefore;
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = TRtfParagraph();
    paragraph_.pageBreakBefore = pendingPageBreak_;
    pendingPageBreak_ = false;
}

void TRtfReader::PageBreak() {
    if (paragraph_.runs.empty() && !paragraph_.pageBreakBefore) {
        paragraph_.pageBreakBefore = true;
        return;
    }
    pendingPageBreak_ = true;
    EndParagraph();
}

void TRtfReader::SectionBreak() {
    pendingPageBreak_ = sectionBreaksPage_;
    EndParagraph();
}

void TRtfReader::Finish() {
    if (!paragraph_.runs.empty()) {
        EndParagraph();
    }
}

std::optional<TRtfColor> TRtfReader::ColorAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= colors_.size()) {
        return std::nullopt;
    }
    return colors_[index];
}
