#include "richtext/rtf_reader.h"

#include "win32/user.h"

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

// Reading stops, keeping what was read, below this many nested groups.
constexpr int MaximumDepth = 256;
constexpr std::size_t FontNameBytes = 31;
constexpr std::size_t StyleNameBytes = 31;
constexpr std::int32_t MaximumTabTwips = 0x7FFFFF;
constexpr std::int32_t NoStyleBase = 222;

constexpr std::int32_t H(std::string_view word) {
    return RtfHashControlWord(word);
}

// Words the reader knows only by their hashes.
constexpr std::int32_t HashMarker = 3252657;  // flag 0x80
constexpr std::int32_t HashShading = 9980455; // flag 0x200
constexpr std::int32_t HashIgnored = 495;

static_assert(H("\\outlcolor") == 58485916 && H("\\hatchcolor") == 30505853);
static_assert(H("\\marker") == HashMarker && H("\\*") == 134 && H("\\qc") == 114 && H("\\pc") == 113);

bool Letter(std::uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool Digit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

int HexValue(std::uint8_t c) {
    if (Digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The ANSI byte of every OEM byte, made once.
const std::array<std::uint8_t, 256>& OemTable() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char in[2] = {static_cast<char>(b), 0};
            char out[2] = {static_cast<char>(b), 0};
            t[static_cast<std::size_t>(b)] =
                b && OemToCharA(in, out) ? static_cast<std::uint8_t>(out[0]) : static_cast<std::uint8_t>(b);
        }
        return t;
    }();
    return table;
}

bool ReadByte(RtfInput& in, std::uint8_t& b) {
    if (!in.reader.U8(b)) return false;
    if (in.oem) b = OemTable()[b];
    return true;
}

bool PeekByte(RtfInput& in, std::uint8_t& b) {
    const std::size_t at = in.reader.Position();
    const bool ok = ReadByte(in, b);
    in.reader.Seek(at);
    return ok;
}

void Unread(RtfInput& in) {
    in.reader.Seek(in.reader.Position() - 1);
}

// A control word after its backslash: its letters, then an optional "-" and digits, then one space.
void ReadControlWord(RtfInput& in, RtfToken& t) {
    std::uint8_t b = 0;
    while (PeekByte(in, b) && Letter(b)) {
        ReadByte(in, b);
        t.word.push_back(static_cast<char>(b));
    }
    bool negative = false;
    if (PeekByte(in, b) && b == '-') {
        ReadByte(in, b);
        std::uint8_t next = 0;
        if (PeekByte(in, next) && Digit(next))
            negative = true;
        else
            Unread(in);
    }
    std::int64_t value = 0;
    bool digits = false;
    while (PeekByte(in, b) && Digit(b)) {
        ReadByte(in, b);
        digits = true;
        value = std::min<std::int64_t>(value * 10 + (b - '0'), INT32_MAX);
    }
    if (digits) t.parameter = static_cast<std::int32_t>(negative ? -value : value);
    if (PeekByte(in, b) && b == ' ') ReadByte(in, b);
    t.hash = H(t.word);
}

// A control symbol that stands for text adds it; any other symbol is a token of its own. True when the
// symbol became text.
bool ReadControlSymbol(RtfInput& in, RtfToken& t, std::uint8_t symbol) {
    switch (symbol) {
    case '\'': {
        int value = 0, digits = 0;
        std::uint8_t b = 0;
        while (digits < 2 && PeekByte(in, b) && HexValue(b) >= 0) {
            ReadByte(in, b);
            value = value * 16 + HexValue(b);
            ++digits;
        }
        if (digits) t.text.push_back(static_cast<char>(value));
        return true;
    }
    case '-':
        t.text.push_back(27);
        return true;
    case '_':
        t.text.push_back(26);
        return true;
    case '~':
        t.text.push_back(static_cast<char>(202));
        return true;
    case '\\':
    case '{':
    case '}':
        t.text.push_back(static_cast<char>(symbol));
        return true;
    default:
        t.word = std::string{'\\', static_cast<char>(symbol)};
        t.hash = H(t.word);
        return false;
    }
}

} // namespace

std::int32_t RtfReadToken(RtfInput& in, RtfToken& t) {
    t.hash = TokenText;
    t.parameter = -1;
    t.word.clear();
    t.text.clear();
    std::uint8_t b = 0;
    while (t.text.size() < TokenTextBytes) {
        if (!ReadByte(in, b)) {
            if (t.text.empty()) t.hash = TokenEnd;
            return t.hash;
        }
        if (b == '\r' || b == '\n' || b == 0) continue;
        if (b == '{' || b == '}' || b == ';' || b == '\\') {
            if (!t.text.empty()) {
                Unread(in);
                return t.hash;
            }
            if (b != '\\') return t.hash = b;
            std::uint8_t next = 0;
            if (!PeekByte(in, next)) return t.hash = TokenEnd;
            if (Letter(next)) {
                t.word = "\\";
                ReadControlWord(in, t);
                return t.hash;
            }
            ReadByte(in, next);
            if (!ReadControlSymbol(in, t, next)) return t.hash;
            continue;
        }
        t.text.push_back(static_cast<char>(b));
    }
    return t.hash;
}

bool LooksLikeRtf(std::span<const std::uint8_t> text) {
    constexpr std::string_view Start = "{\\rtf";
    return text.size() >= Start.size() && std::equal(Start.begin(), Start.end(), text.begin());
}

namespace {

enum class Charset { Ansi, Pc, Pca, Mac };

// Words that turn a character flag on (off with a parameter of 0).
struct FlagWord {
    std::int32_t hash;
    std::uint32_t flag;
};
constexpr std::array FlagWords{FlagWord{H("\\b"), RtfBold},          FlagWord{H("\\i"), RtfItalic},
                               FlagWord{H("\\v"), RtfHidden},        FlagWord{H("\\strike"), RtfStrikeOut},
                               FlagWord{H("\\scaps"), RtfSmallCaps}, FlagWord{H("\\caps"), RtfCaps},
                               FlagWord{HashMarker, RtfMarker},      FlagWord{HashShading, RtfShading},
                               FlagWord{H("\\ul"), RtfUnderline},    FlagWord{H("\\uld"), RtfUnderline},
                               FlagWord{H("\\ulw"), RtfUnderline},   FlagWord{H("\\uldb"), RtfUnderline}};

// Words that set a paragraph distance in twips.
struct DistanceWord {
    std::int32_t hash;
    std::int16_t RtfParagraphFormat::*field;
};
constexpr std::array DistanceWords{DistanceWord{H("\\fi"), &RtfParagraphFormat::firstIndent},
                                   DistanceWord{H("\\li"), &RtfParagraphFormat::leftIndent},
                                   DistanceWord{H("\\ri"), &RtfParagraphFormat::rightIndent},
                                   DistanceWord{H("\\sb"), &RtfParagraphFormat::spaceBefore},
                                   DistanceWord{H("\\sa"), &RtfParagraphFormat::spaceAfter}};

// Words with a value of their own: an alignment, the kind of the next tab stop, a character set.
struct ValueWord {
    std::int32_t hash;
    std::int16_t value;
};
constexpr std::array AlignmentWords{ValueWord{H("\\ql"), AlignLeft}, ValueWord{H("\\qr"), AlignRight},
                                    ValueWord{H("\\qc"), AlignCentre}, ValueWord{H("\\qj"), AlignJustified}};
constexpr std::array TabKindWords{ValueWord{H("\\tqr"), 1}, ValueWord{H("\\tqc"), 2},
                                  ValueWord{H("\\tqdec"), 3}};
constexpr std::array CharsetWords{ValueWord{H("\\ansi"), static_cast<std::int16_t>(Charset::Ansi)},
                                  ValueWord{H("\\pc"), static_cast<std::int16_t>(Charset::Pc)},
                                  ValueWord{H("\\pca"), static_cast<std::int16_t>(Charset::Pca)},
                                  ValueWord{H("\\mac"), static_cast<std::int16_t>(Charset::Mac)}};

// The font families of the font table.
constexpr std::array FamilyWords{ValueWord{H("\\fnil"), 0},
                                 ValueWord{H("\\ftech"), 0},
                                 ValueWord{H("\\froman"), FF_ROMAN},
                                 ValueWord{H("\\fswiss"), FF_SWISS},
                                 ValueWord{H("\\fmodern"), FF_MODERN},
                                 ValueWord{H("\\fscript"), FF_SCRIPT},
                                 ValueWord{H("\\fdecor"), FF_DECORATIVE}};

// Words that set a field of the page in twips.
struct PageWord {
    std::int32_t hash;
    std::int32_t RtfDocument::*field;
};
constexpr std::array PageWords{
    PageWord{H("\\paperw"), &RtfDocument::pageWidth}, PageWord{H("\\paperh"), &RtfDocument::pageHeight},
    PageWord{H("\\margl"), &RtfDocument::marginLeft}, PageWord{H("\\margr"), &RtfDocument::marginRight},
    PageWord{H("\\margt"), &RtfDocument::marginTop},  PageWord{H("\\margb"), &RtfDocument::marginBottom}};

// The entry of a table whose word has the hash, or null.
template <typename Table> auto Known(const Table& table, std::int32_t hash) -> decltype(&table[0]) {
    for (const auto& entry : table)
        if (entry.hash == hash) return &entry;
    return nullptr;
}

class Reader {
public:
    Reader(RtfDocument& document, std::span<const std::uint8_t> text) : d_(document), in_(text) {}

    int Parse() {
        for (RtfColorEntry& c : d_.colors)
            c.rtfIndex = -1;
        d_.pageWidth = 12240;
        d_.pageHeight = 15840;
        d_.marginLeft = d_.marginRight = 1800;
        d_.marginTop = d_.marginBottom = 1440;
        stack_.push_back(Fresh());
        if (Next() != '{' || Next() != H("\\rtf")) return 0;
        depth_ = 1;
        d_.placeLater = true;
        while (Next() != TokenEnd && Token())
            ;
        if (open_) EndParagraph();
        d_.placeLater = false;
        RtfPlacePages(d_);
        return 1;
    }

private:
    std::int32_t Next() {
        in_.oem = charset_ != Charset::Ansi;
        return RtfReadToken(in_, t_);
    }

    RtfFormatState& Top() { return stack_.back(); }

    RtfFormatState Fresh() const {
        RtfFormatState s;
        s.basedOn = NoStyleBase;
        s.paragraph = RtfDefaultParagraph(defaultTab_);
        s.chars.font = FontIndex(defaultFont_);
        return s;
    }

    std::int16_t FontIndex(std::int32_t number) const {
        for (std::size_t i = 0; i < d_.fonts.size(); ++i)
            if (d_.fonts[i].number == number) return static_cast<std::int16_t>(i);
        return 0;
    }

    std::int16_t ColourIndex(std::int32_t n) const {
        if (n == 0) return 0;
        for (std::size_t i = 0; i < d_.colors.size(); ++i)
            if (d_.colors[i].rtfIndex == n) return static_cast<std::int16_t>(i);
        return 0;
    }

    static std::int16_t Short(std::int32_t v) {
        return static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
    }

    // A flag word: on, or off with a parameter of 0.
    static void Switch(RtfCharFormat& c, std::uint32_t flag, std::int32_t n) {
        if (n == 0)
            c.flags &= ~flag;
        else
            c.flags |= flag;
    }

    static void SetColour(RtfCharFormat& c, std::uint32_t flag, std::int16_t& field, std::int16_t index) {
        field = index;
        if (index == 0)
            c.flags &= ~flag;
        else
            c.flags |= flag;
    }

    void AddTab(RtfParagraphFormat& p, std::int32_t n) {
        if (p.tabCount >= TabStopCount) return;
        const auto k = static_cast<std::size_t>(p.tabCount);
        const std::int32_t at = std::clamp(n, 0, MaximumTabTwips);
        p.tabs[k].position = at;
        if (k + 1 < TabStopCount) {
            for (std::size_t j = k + 1; j < TabStopCount; ++j)
                p.tabs[j].position = at + static_cast<std::int32_t>(j - k) * defaultTab_;
            p.tabs[k + 1].kind = 0;
        }
        ++p.tabCount;
    }

    void NextTabKind(RtfParagraphFormat& p, std::int16_t kind) {
        if (p.tabCount < TabStopCount) p.tabs[static_cast<std::size_t>(p.tabCount)].kind = kind;
    }

    void ApplyStyle(RtfFormatState& s, std::int32_t number) {
        s.style = number;
        const auto style = std::find_if(styles_.begin(), styles_.end(),
                                        [&](const RtfFormatState& st) { return st.style == number; });
        if (style == styles_.end()) return;
        s.paragraph = style->paragraph;
        s.chars.flags |= style->chars.flags;
        RtfCopyFormatValues(s.chars, style->chars, style->chars.flags);
    }

    // The character and paragraph words, on a format state; false for any other word.
    bool FormatWord(RtfFormatState& s, std::int32_t hash, std::int32_t n) {
        RtfCharFormat& c = s.chars;
        RtfParagraphFormat& p = s.paragraph;
        if (const FlagWord* w = Known(FlagWords, hash)) {
            Switch(c, w->flag, n);
            return true;
        }
        if (const DistanceWord* w = Known(DistanceWords, hash)) {
            p.*(w->field) = Short(n);
            return true;
        }
        if (const ValueWord* w = Known(AlignmentWords, hash)) {
            // Ignored inside a table row.
            if (!inRow_) p.alignment = w->value;
            return true;
        }
        if (const ValueWord* w = Known(TabKindWords, hash)) {
            NextTabKind(p, w->value);
            return true;
        }
        switch (hash) {
        case H("\\ulnone"):
            c.flags &= ~RtfUnderline;
            break;
        case H("\\f"):
            c.font = FontIndex(n);
            c.flags |= RtfFontSet;
            break;
        case H("\\fs"):
            c.size = static_cast<std::int16_t>(std::clamp(n, 0, 32767));
            c.flags |= RtfSizeSet;
            break;
        case H("\\outl"):
            if (n == 0) {
                c.flags &= ~RtfOutline;
            } else {
                const std::int64_t twips = n == -1 ? 15 : n;
                c.flags |= RtfOutline;
                c.outlineThickness =
                    static_cast<std::int16_t>(std::clamp<std::int64_t>((twips + 7) / 15, 0, 32767));
                c.outlineColour = 0;
            }
            break;
        case H("\\outlcolor"):
            c.outlineColour = ColourIndex(n);
            break;
        case H("\\hatch"):
            Switch(c, RtfHatch, n);
            if (n != 0) c.hatchColour = 0;
            break;
        case H("\\hatchcolor"):
            c.hatchColour = ColourIndex(n);
            break;
        case H("\\cf"):
            SetColour(c, RtfTextColour, c.textColour, ColourIndex(n));
            break;
        case H("\\cb"):
        case H("\\highlight"):
            SetColour(c, RtfBackColour, c.backColour, ColourIndex(n));
            break;
        case H("\\sl"):
            p.lineSpacing = n;
            break;
        case H("\\tx"):
        case H("\\cellx"):
            AddTab(p, n);
            break;
        case H("\\pard"):
            if (!inRow_) p = RtfDefaultParagraph(defaultTab_);
            break;
        case H("\\plain"):
            c = RtfCharFormat{};
            c.font = FontIndex(defaultFont_);
            break;
        case H("\\s"):
            ApplyStyle(s, n);
            break;
        default:
            return false;
        }
        return true;
    }

    RtfParagraph& OpenParagraph() {
        std::vector<RtfParagraph>& paragraphs = d_.Page().paragraphs;
        if (!open_) {
            paragraphs.emplace_back();
            paragraphs.back().format = Top().paragraph;
            open_ = true;
        }
        return paragraphs.back();
    }

    void Append(std::string_view text) { RtfAppendText(d_, OpenParagraph(), text, Top().chars); }

    void EndParagraph() {
        RtfParagraph& p = OpenParagraph();
        RtfCharFormat mark = Top().chars;
        mark.flags |= RtfEndOfParagraph;
        RtfAppendText(d_, p, "\n", mark);
        RtfFinishParagraph(d_, p);
        open_ = false;
    }

    void Push() {
        ++depth_;
        stack_.push_back(Top());
    }

    // A group's end: false when it ends the document.
    bool Pop() {
        if (stack_.size() > 1) stack_.pop_back();
        return --depth_ > 0;
    }

    // Reads up to the end of the group being read, braces counted; false at the end of the input.
    bool SkipGroup() {
        for (int nest = 0;;) {
            const std::int32_t h = Next();
            if (h == TokenEnd) return false;
            if (h == '{') ++nest;
            if (h == '}' && nest-- == 0) return true;
        }
    }

    // The document token just read; false when reading ends.
    bool Token() {
        const std::int32_t h = t_.hash;
        const std::int32_t n = t_.parameter;
        if (h == TokenText) {
            Append(t_.text);
            return true;
        }
        if (h == '{') {
            if (depth_ >= MaximumDepth) return false;
            Push();
            return true;
        }
        if (h == '}') return Pop();
        if (h == ';') {
            // Outside the tables a semicolon is text.
            Append(";");
            return true;
        }
        if (FormatWord(Top(), h, n)) return true;
        if (const ValueWord* w = Known(CharsetWords, h)) {
            charset_ = static_cast<Charset>(w->value);
            return true;
        }
        if (const PageWord* w = Known(PageWords, h)) {
            d_.*(w->field) = std::max(0, n);
            return true;
        }
        switch (h) {
        case H("\\deff"):
            defaultFont_ = n;
            break;
        case H("\\deftab"):
            defaultTab_ = std::clamp(n, 1, MaximumTabTwips / TabStopCount);
            break;
        case H("\\par"):
            EndParagraph();
            break;
        case H("\\row"):
            if (open_) EndParagraph();
            break;
        case H("\\line"):
            Append("\n");
            break;
        case H("\\tab"):
        case H("\\cell"):
            Append("\t");
            break;
        case H("\\lquote"):
        case H("\\rquote"):
            Append("'");
            break;
        case H("\\ldblquote"):
        case H("\\rdblquote"):
            Append("\"");
            break;
        case H("\\trowd"):
            inRow_ = true;
            break;
        case H("\\fonttbl"):
            return Table(&Reader::FontTable);
        case H("\\colortbl"):
            return Table(&Reader::ColourTable);
        case H("\\stylesheet"):
            return Table(&Reader::StyleSheet);
        case H("\\*"):
        case H("\\info"):
        case H("\\footnote"):
        case H("\\pict"):
        case H("\\object"):
            // The formatting in force after the group is the one before it.
            return SkipGroup() && Pop();
        case HashIgnored:
        default:
            // \rtf, \page, \sect, \column, \pagebb, \chftn (one page only), and every unknown word.
            break;
        }
        return true;
    }

    // A table is read in place of its group: the level its "{" pushed is taken back first.
    bool Table(bool (Reader::*read)()) {
        if (stack_.size() > 1) stack_.pop_back();
        if (!(this->*read)()) return false;
        return --depth_ > 0;
    }

    void AddFont(RtfFontEntry& font, bool& have) {
        if (!have) return;
        if (font.name == "Times Roman") font.name = "Times New Roman";
        if (d_.fonts.size() < INT16_MAX) d_.fonts.push_back(font);
        font = RtfFontEntry{};
        have = false;
    }

    // Up to the table's closing brace; false at the end of the input.
    bool FontTable() {
        RtfFontEntry font;
        bool have = false;
        for (int nest = 0;;) {
            const std::int32_t h = Next();
            switch (h) {
            case TokenEnd:
                return false;
            case '{':
                ++nest;
                break;
            case '}':
                AddFont(font, have);
                if (nest-- == 0) {
                    for (RtfFormatState& s : stack_)
                        s.chars.font = FontIndex(defaultFont_);
                    return true;
                }
                break;
            case ';':
                break;
            case TokenText:
                if (!have) {
                    have = true;
                    font.number = -1;
                }
                font.name.append(
                    t_.text.substr(0, FontNameBytes - std::min(FontNameBytes, font.name.size())));
                break;
            case H("\\f"):
                AddFont(font, have);
                have = true;
                font.number = Short(t_.parameter);
                break;
            case H("\\*"):
                // An alternative name or a panose number: not the font's name.
                if (!SkipGroup()) return false;
                --nest;
                break;
            default:
                if (const ValueWord* family = Known(FamilyWords, h))
                    font.family = static_cast<std::uint8_t>(family->value);
                break;
            }
            if (nest < 0) return true;
        }
    }

    bool ColourTable() {
        std::int32_t red = 0, green = 0, blue = 0;
        std::int32_t index = 0;
        for (int nest = 0;;) {
            const std::int32_t h = Next();
            switch (h) {
            case TokenEnd:
                return false;
            case '{':
                ++nest;
                break;
            case '}':
                if (nest-- == 0) return true;
                break;
            case ';': {
                const std::uint32_t value = 0x02000000u | static_cast<std::uint32_t>(blue) << 16 |
                                            static_cast<std::uint32_t>(green) << 8 |
                                            static_cast<std::uint32_t>(red);
                const auto found = std::find_if(d_.colors.begin(), d_.colors.end(),
                                                [&](const RtfColorEntry& c) { return c.value == value; });
                if (found != d_.colors.end())
                    found->rtfIndex = Short(index);
                else if (d_.colors.size() < INT16_MAX)
                    d_.colors.push_back({value, Short(index)});
                ++index;
                red = green = blue = 0;
                break;
            }
            case H("\\red"):
                red = std::clamp(t_.parameter, 0, 255);
                break;
            case H("\\green"):
                green = std::clamp(t_.parameter, 0, 255);
                break;
            case H("\\blue"):
                blue = std::clamp(t_.parameter, 0, 255);
                break;
            default:
                break;
            }
        }
    }

    bool StyleSheet() {
        RtfFormatState style = Fresh();
        for (int nest = 0;;) {
            const std::int32_t h = Next();
            switch (h) {
            case TokenEnd:
                return false;
            case '{':
                ++nest;
                break;
            case '}':
                if (nest-- == 0) return true;
                break;
            case ';':
                styles_.push_back(style);
                style = Fresh();
                break;
            case TokenText:
                style.name.append(
                    t_.text.substr(0, StyleNameBytes - std::min(StyleNameBytes, style.name.size())));
                break;
            case H("\\s"):
                style.style = t_.parameter;
                break;
            case H("\\sbasedon"):
                style.basedOn = t_.parameter;
                break;
            case H("\\snext"):
                style.next = t_.parameter;
                break;
            case H("\\*"):
                // A character style and the like: read no further into it.
                if (!SkipGroup()) return false;
                --nest;
                break;
            default:
                FormatWord(style, h, t_.parameter);
                break;
            }
            if (nest < 0) return true;
        }
    }

    RtfDocument& d_;
    RtfInput in_;
    RtfToken t_;
    std::int32_t defaultFont_ = 0;
    Charset charset_ = Charset::Ansi;
    std::int32_t defaultTab_ = DefaultTabTwips;
    int depth_ = 0;
    bool inRow_ = false;
    bool open_ = false;
    std::vector<RtfFormatState> stack_;
    std::vector<RtfFormatState> styles_;
};

} // namespace

int RtfParseDocument(RtfDocument& document, std::span<const std::uint8_t> text) {
    return Reader(document, text).Parse();
}

} // namespace vtrrt
