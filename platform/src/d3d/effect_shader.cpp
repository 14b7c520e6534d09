// The translator reads the assembly line by line into instructions (syntax, and what each version allows of
// registers, modifiers, selectors and masks), then walks them in order: the order of texture and arithmetic
// instructions, their counts, reads of registers not yet written, and the GLSL of each.
#include "effect_shader.h"

#include "program_link.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace win32::d3d {

namespace {

enum class Kind { Arithmetic, Texture, Define, Phase };

enum class Op {
    Mov,
    Add,
    Sub,
    Mul,
    Mad,
    Lrp,
    Dp3,
    Dp4,
    Cnd,
    Cmp,
    Nop,
    Def,
    Tex,
    TexCoord,
    TexKill,
    TexLd,
    TexCrd,
    Phase
};

struct OpInfo {
    std::string_view name;
    Op op;
    Kind kind;
    int operands;          // the destination included
    DWORD lowest, highest; // minor versions that have it
    std::string_view glsl; // an arithmetic instruction's value, #n standing for source n
};

constexpr std::array<OpInfo, 18> Ops = {{
    {"mov", Op::Mov, Kind::Arithmetic, 2, 0, 4, "#0"},
    {"add", Op::Add, Kind::Arithmetic, 3, 0, 4, "(#0 + #1)"},
    {"sub", Op::Sub, Kind::Arithmetic, 3, 0, 4, "(#0 - #1)"},
    {"mul", Op::Mul, Kind::Arithmetic, 3, 0, 4, "(#0 * #1)"},
    {"mad", Op::Mad, Kind::Arithmetic, 4, 0, 4, "(#0 * #1 + #2)"},
    {"lrp", Op::Lrp, Kind::Arithmetic, 4, 0, 4, "(#0 * #1 + (1.0 - #0) * #2)"},
    {"dp3", Op::Dp3, Kind::Arithmetic, 3, 0, 4, "vec4(dot(#0.rgb, #1.rgb))"},
    {"dp4", Op::Dp4, Kind::Arithmetic, 3, 2, 4, "vec4(dot(#0, #1))"},
    {"cnd", Op::Cnd, Kind::Arithmetic, 4, 0, 4, "mix(#2, #1, greaterThan(#0, vec4(0.5)))"},
    {"cmp", Op::Cmp, Kind::Arithmetic, 4, 2, 4, "mix(#2, #1, greaterThanEqual(#0, vec4(0.0)))"},
    {"nop", Op::Nop, Kind::Arithmetic, 0, 0, 4, ""},
    {"def", Op::Def, Kind::Define, 5, 0, 4, ""},
    {"tex", Op::Tex, Kind::Texture, 1, 0, 3, ""},
    {"texcoord", Op::TexCoord, Kind::Texture, 1, 0, 3, ""},
    {"texkill", Op::TexKill, Kind::Texture, 1, 0, 4, ""},
    {"texld", Op::TexLd, Kind::Texture, 2, 4, 4, ""},
    {"texcrd", Op::TexCrd, Kind::Texture, 2, 4, 4, ""},
    {"phase", Op::Phase, Kind::Phase, 0, 4, 4, ""},
}};

// Texture-addressing instructions: they need coordinate arithmetic between texture reads that this layer
// does not model.
constexpr std::array<std::string_view, 17> AddressingOps = {
    "texbem",       "texbeml",    "texdepth",  "texdp3",     "texdp3tex",   "texm3x2depth",
    "texm3x2pad",   "texm3x2tex", "texm3x3",   "texm3x3pad", "texm3x3spec", "texm3x3tex",
    "texm3x3vspec", "texreg2ar",  "texreg2gb", "texreg2rgb", "bem"};

// What one version has: registers, instruction slots per phase, and the range of every result.
struct Limits {
    int temps, textures;
    int arithmetic, textureOps;
    int range;
};

Limits LimitsOf(DWORD minor) {
    return minor == 4 ? Limits{6, 6, 8, 6, 8} : Limits{2, 4, 8, 4, 1};
}

constexpr int ConstantCount = PixelShaderConstants;
constexpr int ColourCount = 2;
constexpr unsigned FullMask = 0xF;
constexpr char Components[] = "rgba";

enum class SourceModifier { None, Bias, SignedScale, Double, Invert, DivideZ, DivideW };

struct Operand {
    char file = 0; // r, t, v or c
    int index = 0;
    std::array<int, 4> swizzle{0, 1, 2, 3};
    SourceModifier modifier = SourceModifier::None;
    bool negate = false;
};

struct Instruction {
    const OpInfo* info = nullptr;
    int line = 0;
    bool coIssued = false;
    int scale = 0; // power of two the result is multiplied by: -3 to 3
    bool saturate = false;
    Operand destination;
    unsigned mask = FullMask;
    std::array<Operand, 3> sources{};
    int sourceCount = 0;
    std::array<float, 4> values{}; // def
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = Lower(c);
    return out;
}

// A component letter in either naming: r g b a or x y z w.
int ComponentOf(char c) {
    switch (c) {
    case 'r':
    case 'x':
        return 0;
    case 'g':
    case 'y':
        return 1;
    case 'b':
    case 'z':
        return 2;
    case 'a':
    case 'w':
        return 3;
    default:
        return -1;
    }
}

// A GLSL float literal: always with a point or an exponent.
std::string Number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// A form of GLSL with its operands put in: `#n` is operand n, `#` alone operand 0.
std::string Fill(std::string_view form, const std::array<std::string, 3>& operands) {
    std::string text;
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (form[i] != '#') {
            text += form[i];
            continue;
        }
        std::size_t n = 0;
        if (i + 1 < form.size() && form[i + 1] >= '0' && form[i + 1] <= '2')
            n = static_cast<std::size_t>(form[++i] - '0');
        text += operands[n];
    }
    return text;
}

class Translator {
public:
    Translator(int firstLine, std::string* message) : firstLine_(firstLine), message_(message) {}

    bool Run(std::string_view assembly, PixelShaderProgram* out);

private:
    bool Fail(int line, const std::string& why) {
        if (message_) *message_ = "line " + std::to_string(line) + ": " + why;
        return false;
    }
    std::string VersionName() const { return "ps.1." + std::to_string(minor_); }

    bool ReadVersion(std::string_view text, int line);
    bool ReadInstruction(std::string_view text, int line);
    bool ReadMnemonic(std::string_view word, Instruction& in, int line);
    bool ReadRegister(std::string_view& text, Operand& o, int line);
    bool ReadDestination(std::string_view text, Instruction& in, int line);
    bool ReadSource(std::string_view text, const Instruction& in, Operand& o, int line);
    bool ReadSuffix(std::string_view part, const Instruction& in, Operand& o, bool& selected, int line);
    bool CheckOperands(Instruction& in);

    bool Walk();
    bool Reads(const Instruction& in);
    bool NeedWritten(const Instruction& in, const Operand& o, unsigned components);
    void Writes(const Instruction& in);
    std::string SourceText(const Operand& o) const;
    std::string ResultText(const Instruction& in) const;
    std::string CoordinateText(const Operand& o) const;
    void EmitTexture(const Instruction& in);
    void EmitArithmetic(const Instruction* first, const Instruction* second);
    std::string Program() const;

    int firstLine_;
    std::string* message_;
    DWORD minor_ = 0;
    Limits limits_{};
    std::vector<Instruction> instructions_;
    std::array<std::optional<std::array<float, 4>>, ConstantCount> defined_{};
    std::array<unsigned, 6> writtenR_{};
    std::array<unsigned, 6> writtenT_{};
    DWORD stages_ = 0;
    DWORD constantsRead_ = 0;
    std::string body_;
    int lastLine_ = 0;
};

bool Translator::Run(std::string_view assembly, PixelShaderProgram* out) {
    bool versioned = false;
    int line = firstLine_;
    while (true) {
        const std::size_t end = assembly.find('\n');
        std::string_view text = assembly.substr(0, end);
        // Comments run to the end of the line, after `//` or `;`.
        text = text.substr(0, std::min(text.find("//"), text.find(';')));
        text = Trim(text);
        if (!text.empty()) {
            lastLine_ = line;
            if (!versioned) {
                if (!ReadVersion(text, line)) return false;
                versioned = true;
            } else if (!ReadInstruction(text, line)) {
                return false;
            }
        }
        if (end == std::string_view::npos) break;
        assembly.remove_prefix(end + 1);
        ++line;
    }
    if (!versioned)
        return Fail(firstLine_, "the pixel shader is empty: it begins with its version, ps.1.0 to ps.1.4");
    if (!Walk()) return false;
    out->glsl = Program();
    out->minorVersion = minor_;
    out->stages = stages_;
    out->constantsRead = constantsRead_;
    return true;
}

bool Translator::ReadVersion(std::string_view text, int line) {
    const std::string word = Lowered(text);
    if (word.size() == 6 && word.compare(0, 2, "ps") == 0 && word[3] == '1' &&
        ((word[2] == '.' && word[4] == '.') || (word[2] == '_' && word[4] == '_')) && word[5] >= '0' &&
        word[5] <= '4') {
        minor_ = static_cast<DWORD>(word[5] - '0');
        limits_ = LimitsOf(minor_);
        return true;
    }
    if (word.compare(0, 2, "vs") == 0) return Fail(line, "vertex shaders are not taken, only pixel shaders");
    return Fail(line, "the pixel shader does not begin with its version, ps.1.0 to ps.1.4");
}

bool Translator::ReadMnemonic(std::string_view word, Instruction& in, int line) {
    const std::string lowered = Lowered(word);
    std::string_view rest(lowered);
    const std::string_view name = rest.substr(0, rest.find('_'));
    rest.remove_prefix(name.size());
    for (const std::string_view addressing : AddressingOps)
        if (name == addressing)
            return Fail(line, "the texture-addressing instruction '" + std::string(name) + "' is not taken");
    const auto found = std::find_if(Ops.begin(), Ops.end(), [&](const OpInfo& o) { return o.name == name; });
    if (found == Ops.end())
        return Fail(line, "'" + std::string(name) + "' is not a pixel-shader instruction");
    if (minor_ < found->lowest || minor_ > found->highest)
        return Fail(line, "'" + std::string(name) + "' is not an instruction of " + VersionName());
    in.info = &*found;
    bool scaled = false;
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const std::string_view modifier = rest.substr(0, rest.find('_'));
        rest.remove_prefix(modifier.size());
        if (in.info->kind != Kind::Arithmetic || in.info->op == Op::Nop)
            return Fail(line, "'" + std::string(name) + "' takes no result modifier");
        if (modifier == "sat" && !in.saturate) {
            in.saturate = true;
            continue;
        }
        constexpr std::array<std::pair<std::string_view, int>, 6> Scales = {
            {{"x2", 1}, {"x4", 2}, {"x8", 3}, {"d2", -1}, {"d4", -2}, {"d8", -3}}};
        const auto scale =
            std::find_if(Scales.begin(), Scales.end(), [&](const auto& s) { return s.first == modifier; });
        if (scale == Scales.end() || scaled)
            return Fail(line, "'_" + std::string(modifier) + "' is not a result modifier here");
        if ((scale->second == 3 || scale->second < -1) && minor_ < 4)
            return Fail(line, "the result modifier '_" + std::string(modifier) + "' needs ps.1.4");
        in.scale = scale->second;
        scaled = true;
    }
    return true;
}

bool Translator::ReadInstruction(std::string_view text, int line) {
    Instruction in;
    in.line = line;
    if (text.front() == '+') {
        in.coIssued = true;
        text = Trim(text.substr(1));
    }
    const std::size_t space = text.find_first_of(" \t");
    if (!ReadMnemonic(text.substr(0, space), in, line)) return false;
    std::vector<std::string_view> operands;
    std::string_view rest = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space));
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        operands.push_back(Trim(rest.substr(0, comma)));
        if (operands.back().empty()) return Fail(line, "an operand is missing");
        if (comma == std::string_view::npos) break;
        rest = Trim(rest.substr(comma + 1));
        if (rest.empty()) return Fail(line, "an operand is missing");
    }
    if (static_cast<int>(operands.size()) != in.info->operands)
        return Fail(line, "'" + std::string(in.info->name) + "' takes " + std::to_string(in.info->operands) +
                              " operands, not " + std::to_string(operands.size()));
    if (in.info->op == Op::Def) {
        std::string_view reg = operands[0];
        if (!ReadRegister(reg, in.destination, line)) return false;
        if (in.destination.file != 'c' || !reg.empty())
            return Fail(line, "def gives its value to a constant register, c0 to c7");
        for (int i = 0; i < 4; ++i) {
            const std::string_view number = operands[static_cast<std::size_t>(i) + 1];
            float value = 0;
            const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
            if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
                return Fail(line, "'" + std::string(number) + "' is not a number");
            // Constant registers hold -1 to 1 in every version.
            in.values[static_cast<std::size_t>(i)] = std::clamp(value, -1.0f, 1.0f);
        }
        instructions_.push_back(in);
        return true;
    }
    if (in.info->operands > 0 && !ReadDestination(operands[0], in, line)) return false;
    for (std::size_t i = 1; i < operands.size(); ++i)
        if (!ReadSource(operands[i], in, in.sources[in.sourceCount++], line)) return false;
    if (!CheckOperands(in)) return false;
    instructions_.push_back(in);
    return true;
}

bool Translator::ReadRegister(std::string_view& text, Operand& o, int line) {
    if (text.empty()) return Fail(line, "a register is missing");
    o.file = Lower(text.front());
    std::size_t digits = 1;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    const std::string_view name = text.substr(0, digits);
    if (digits == 1 || digits > 3) return Fail(line, "'" + std::string(text) + "' is not a register");
    o.index = std::stoi(std::string(name.substr(1)));
    int count = 0;
    switch (o.file) {
    case 'r':
        count = limits_.temps;
        break;
    case 't':
        count = limits_.textures;
        break;
    case 'v':
        count = ColourCount;
        break;
    case 'c':
        count = ConstantCount;
        break;
    default:
        return Fail(line, "'" + std::string(text) + "' is not a register");
    }
    if (o.index >= count)
        return Fail(line, "'" + std::string(name) + "' is not a register of " + VersionName());
    text.remove_prefix(digits);
    return true;
}

bool Translator::ReadDestination(std::string_view text, Instruction& in, int line) {
    Operand& d = in.destination;
    if (!ReadRegister(text, d, line)) return false;
    const Op op = in.info->op;
    const bool texture = in.info->kind == Kind::Texture;
    if (d.file == 'c' || d.file == 'v') return Fail(line, "constant and colour registers are read only");
    if (minor_ == 4 && d.file == 't' && op != Op::TexKill)
        return Fail(line, "t registers are read only in ps.1.4");
    if (minor_ < 4 && texture && d.file != 't')
        return Fail(line, "'" + std::string(in.info->name) + "' works on a t register");
    if (text.empty()) return true;
    if (text.front() != '.' || text.size() == 1 || (texture && op != Op::TexCrd))
        return Fail(line, "'" + std::string(text) + "' is not a write mask here");
    unsigned mask = 0;
    int last = -1;
    for (const char c : text.substr(1)) {
        const int component = ComponentOf(Lower(c));
        if (component <= last) return Fail(line, "'" + std::string(text) + "' is not a write mask");
        mask |= 1u << component;
        last = component;
    }
    if (minor_ < 4 && mask != FullMask && mask != 0x7 && mask != 0x8)
        return Fail(line, "write masks of " + VersionName() + " are .rgb, .a or all four");
    in.mask = mask;
    return true;
}

bool Translator::ReadSuffix(std::string_view part, const Instruction& in, Operand& o, bool& selected,
                            int line) {
    const bool coordinates = in.info->op == Op::TexLd || in.info->op == Op::TexCrd;
    const std::string lowered = Lowered(part.substr(1));
    if (part.front() == '.') {
        if (selected) return Fail(line, "a source has two selectors");
        selected = true;
        if (lowered == "rgba" || lowered == "xyzw") return true;
        if (coordinates) {
            if (lowered == "rgb" || lowered == "xyz") return true;
            if (lowered == "rga" || lowered == "xyw") {
                o.swizzle = {0, 1, 3, 3};
                return true;
            }
            return Fail(line, "'." + lowered + "' is not a coordinate selector");
        }
        const int component = lowered.size() == 1 ? ComponentOf(lowered[0]) : -1;
        if (component < 0) return Fail(line, "'." + lowered + "' is not a source selector");
        if (minor_ < 4 && component < 2) return Fail(line, "the selector '." + lowered + "' needs ps.1.4");
        if (minor_ == 0 && component == 2) return Fail(line, "the selector '." + lowered + "' needs ps.1.1");
        o.swizzle = {component, component, component, component};
        return true;
    }
    if (o.modifier != SourceModifier::None) return Fail(line, "a source has two modifiers");
    if (coordinates) {
        if (lowered == "dz" || lowered == "db")
            o.modifier = SourceModifier::DivideZ;
        else if (lowered == "dw" || lowered == "da")
            o.modifier = SourceModifier::DivideW;
        else
            return Fail(line, "'_" + lowered + "' is not a coordinate modifier");
        return true;
    }
    if (lowered == "bias")
        o.modifier = SourceModifier::Bias;
    else if (lowered == "bx2")
        o.modifier = SourceModifier::SignedScale;
    else if (lowered == "x2" && minor_ == 4)
        o.modifier = SourceModifier::Double;
    else if (lowered == "x2")
        return Fail(line, "the source modifier '_x2' needs ps.1.4");
    else
        return Fail(line, "'_" + lowered + "' is not a source modifier");
    return true;
}

bool Translator::ReadSource(std::string_view text, const Instruction& in, Operand& o, int line) {
    std::string compact;
    for (const char c : text)
        if (c != ' ' && c != '\t') compact += c;
    std::string_view rest(compact);
    const auto malformed = [&] { return Fail(line, "'" + std::string(text) + "' is not a source"); };
    if (!rest.empty() && rest.front() == '-') {
        o.negate = true;
        rest.remove_prefix(1);
    }
    const bool inverted = rest.size() > 1 && rest[0] == '1' && rest[1] == '-';
    if (inverted) {
        if (o.negate) return malformed();
        rest.remove_prefix(2);
    }
    if (!ReadRegister(rest, o, line)) return false;
    bool selected = false;
    while (!rest.empty()) {
        if (rest.front() != '.' && rest.front() != '_') return malformed();
        const std::string_view part = rest.substr(0, rest.find_first_of("._", 1));
        if (part.size() < 2) return malformed();
        if (inverted && part.front() == '_') return Fail(line, "'1-' takes no other modifier");
        if (!ReadSuffix(part, in, o, selected, line)) return false;
        rest.remove_prefix(part.size());
    }
    if (inverted) o.modifier = SourceModifier::Invert;
    return true;
}

// What an instruction allows of its operands beyond their syntax.
bool Translator::CheckOperands(Instruction& in) {
    const Op op = in.info->op;
    const int line = in.line;
    for (int i = 0; i < in.sourceCount; ++i) {
        const Operand& s = in.sources[static_cast<std::size_t>(i)];
        if (in.info->kind == Kind::Arithmetic && minor_ == 4 && s.file == 't')
            return Fail(line, "t registers are read only by texld, texcrd and texkill in ps.1.4");
    }
    switch (op) {
    case Op::TexLd:
    case Op::TexCrd: {
        const Operand& s = in.sources[0];
        if (in.destination.file != 'r')
            return Fail(line, "'" + std::string(in.info->name) + "' writes an r register");
        if (s.negate || (s.file != 't' && s.file != 'r') || (op == Op::TexCrd && s.file != 't'))
            return Fail(line, "'" + std::string(in.info->name) + "' reads texture coordinates");
        if (op == Op::TexLd && in.mask != FullMask) return Fail(line, "texld writes the whole register");
        return true;
    }
    case Op::TexKill:
        if (minor_ == 4 && in.destination.file != 'r' && in.destination.file != 't')
            return Fail(line, "texkill works on an r or t register");
        return true;
    case Op::Cnd:
        if (minor_ < 4 &&
            (in.sources[0].file != 'r' || in.sources[0].index != 0 || in.sources[0].swizzle[0] != 3 ||
             in.sources[0].modifier != SourceModifier::None || in.sources[0].negate))
            return Fail(line, "the condition of cnd is r0.a in " + VersionName());
        return true;
    default:
        return true;
    }
}

bool Translator::NeedWritten(const Instruction& in, const Operand& o, unsigned components) {
    const std::array<unsigned, 6>* written = nullptr;
    if (o.file == 'r') written = &writtenR_;
    if (o.file == 't' && minor_ < 4) written = &writtenT_;
    if (!written) return true;
    const unsigned missing = components & ~(*written)[static_cast<std::size_t>(o.index)];
    if (!missing) return true;
    const int component = missing & 1 ? 0 : missing & 2 ? 1 : missing & 4 ? 2 : 3;
    return Fail(in.line, std::string(1, o.file) + std::to_string(o.index) + "." + Components[component] +
                             " is read before it is written");
}

// Every component an instruction reads must have been written, in every source.
bool Translator::Reads(const Instruction& in) {
    const Op op = in.info->op;
    for (int i = 0; i < in.sourceCount; ++i) {
        const Operand& s = in.sources[static_cast<std::size_t>(i)];
        unsigned components = 0;
        if (op == Op::Dp4) {
            components = FullMask;
        } else if (op == Op::Dp3) {
            for (int c = 0; c < 3; ++c)
                components |= 1u << s.swizzle[static_cast<std::size_t>(c)];
        } else if (op == Op::TexLd || op == Op::TexCrd) {
            components = 0x3 | (s.modifier == SourceModifier::DivideZ ? 0x4 : 0) |
                         (s.modifier == SourceModifier::DivideW || s.swizzle[2] == 3 ? 0x8 : 0);
        } else {
            for (int c = 0; c < 4; ++c)
                if (in.mask & (1u << c)) components |= 1u << s.swizzle[static_cast<std::size_t>(c)];
        }
        if (!NeedWritten(in, s, components)) return false;
    }
    if (op == Op::TexKill && minor_ == 4) return NeedWritten(in, in.destination, 0x7);
    return true;
}

void Translator::Writes(const Instruction& in) {
    const Op op = in.info->op;
    if (op == Op::TexKill || op == Op::Nop) return;
    auto& written = in.destination.file == 'r' ? writtenR_ : writtenT_;
    written[static_cast<std::size_t>(in.destination.index)] |= in.mask;
}

bool Translator::Walk() {
    int arithmetic = 0, texture = 0;
    bool arithmeticSeen = false, instructionSeen = false, phased = false;
    for (std::size_t i = 0; i < instructions_.size(); ++i) {
        const Instruction& in = instructions_[i];
        const Kind kind = in.info->kind;
        // A second half is taken with its first below.
        if (in.coIssued) return Fail(in.line, "'+' joins an arithmetic instruction to the one before it");
        if (kind == Kind::Define) {
            if (instructionSeen) return Fail(in.line, "def comes before the instructions");
            defined_[static_cast<std::size_t>(in.destination.index)] = in.values;
            continue;
        }
        instructionSeen = true;
        if (kind == Kind::Phase) {
            if (phased) return Fail(in.line, "a shader has one phase marker");
            phased = true;
            arithmetic = texture = 0;
            arithmeticSeen = false;
            continue;
        }
        if (kind == Kind::Texture) {
            if (arithmeticSeen) return Fail(in.line, "texture instructions come before arithmetic ones");
            if (++texture > limits_.textureOps)
                return Fail(in.line, "too many texture instructions for " + VersionName() + " (at most " +
                                         std::to_string(limits_.textureOps) +
                                         (minor_ == 4 ? " a phase)" : ")"));
            if (!Reads(in)) return false;
            EmitTexture(in);
            Writes(in);
            continue;
        }
        arithmeticSeen = true;
        if (in.info->op == Op::Nop) continue;
        if (++arithmetic > limits_.arithmetic)
            return Fail(in.line, "too many arithmetic instructions for " + VersionName() + " (at most " +
                                     std::to_string(limits_.arithmetic) + (minor_ == 4 ? " a phase)" : ")"));
        const Instruction* partner = nullptr;
        if (i + 1 < instructions_.size() && instructions_[i + 1].coIssued) {
            partner = &instructions_[i + 1];
            if (partner->info->kind != Kind::Arithmetic || partner->info->op == Op::Nop)
                return Fail(partner->line, "only arithmetic instructions are co-issued");
            // One half runs in the colour pipe, the other in the alpha pipe.
            if ((in.mask & partner->mask) != 0)
                return Fail(partner->line, "co-issued instructions write different components (.rgb and .a)");
            ++i;
        }
        // The two halves of a pair read before either writes.
        if (!Reads(in) || (partner && !Reads(*partner))) return false;
        EmitArithmetic(&in, partner);
        Writes(in);
        if (partner) Writes(*partner);
    }
    if (writtenR_[0] != FullMask) {
        const int component = ~writtenR_[0] & 1 ? 0 : ~writtenR_[0] & 2 ? 1 : ~writtenR_[0] & 4 ? 2 : 3;
        return Fail(lastLine_, std::string("the result r0.") + Components[component] + " is never written");
    }
    return true;
}

std::string Translator::SourceText(const Operand& o) const {
    std::string text = std::string(1, o.file) + std::to_string(o.index);
    if (o.swizzle != std::array<int, 4>{0, 1, 2, 3}) {
        text += '.';
        for (const int c : o.swizzle)
            text += Components[c];
    }
    // Indexed by SourceModifier; # stands for the register. The coordinate modifiers are texld's and
    // texcrd's (CoordinateText).
    constexpr std::array<std::string_view, 7> Forms = {
        "#", "(# - 0.5)", "(2.0 * (# - 0.5))", "(2.0 * #)", "(1.0 - #)", "#", "#"};
    text = Fill(Forms[static_cast<std::size_t>(o.modifier)], {text});
    return o.negate ? "(-" + text + ")" : text;
}

std::string Translator::ResultText(const Instruction& in) const {
    std::array<std::string, 3> s;
    for (int i = 0; i < in.sourceCount; ++i)
        s[static_cast<std::size_t>(i)] = SourceText(in.sources[static_cast<std::size_t>(i)]);
    // Below 1.4 the condition of cnd is one value, r0.a.
    const std::string_view form =
        in.info->op == Op::Cnd && minor_ < 4 ? "(#0.a > 0.5 ? #1 : #2)" : in.info->glsl;
    std::string value = Fill(form, s);
    if (in.scale > 0) value += " * " + Number(static_cast<float>(1 << in.scale));
    if (in.scale < 0) value += " / " + Number(static_cast<float>(1 << -in.scale));
    if (in.saturate) return "clamp(" + value + ", 0.0, 1.0)";
    const std::string range = Number(static_cast<float>(limits_.range));
    return "clamp(" + value + ", -" + range + ", " + range + ")";
}

std::string MaskText(unsigned mask) {
    if (mask == FullMask) return "";
    std::string text = ".";
    for (int c = 0; c < 4; ++c)
        if (mask & (1u << c)) text += Components[c];
    return text;
}

std::string Translator::CoordinateText(const Operand& o) const {
    const std::string reg = std::string(1, o.file) + std::to_string(o.index);
    switch (o.modifier) {
    case SourceModifier::DivideZ:
        return "vec4(" + reg + ".xy / " + reg + ".z, 1.0, 1.0)";
    case SourceModifier::DivideW:
        return "vec4(" + reg + ".xy / " + reg + ".w, 1.0, 1.0)";
    default:
        return o.swizzle[2] == 3 ? reg + ".xyww" : reg;
    }
}

void Translator::EmitTexture(const Instruction& in) {
    const Operand& d = in.destination;
    const std::string reg = std::string(1, d.file) + std::to_string(d.index);
    const std::string stage = "stage" + std::to_string(d.index);
    switch (in.info->op) {
    case Op::Tex:
        stages_ |= 1u << d.index;
        body_ += "    " + reg + " = texture(" + stage + ", vTexCoord);\n";
        break;
    case Op::TexCoord:
        body_ += "    " + reg + " = clamp(vec4(vTexCoord, 0.0, 1.0), 0.0, 1.0);\n";
        break;
    case Op::TexKill: {
        // Below 1.4 the register names the coordinates of its stage.
        const std::string kill = minor_ < 4 ? "vec3(vTexCoord, 0.0)" : reg + ".xyz";
        body_ += "    if (any(lessThan(" + kill + ", vec3(0.0)))) discard;\n";
        break;
    }
    case Op::TexLd:
        stages_ |= 1u << d.index;
        body_ += "    " + reg + " = texture(" + stage + ", " + CoordinateText(in.sources[0]) + ".xy);\n";
        break;
    case Op::TexCrd:
        body_ += "    " + reg + MaskText(in.mask) + " = clamp(" + CoordinateText(in.sources[0]) +
                 ", -8.0, 8.0)" + MaskText(in.mask) + ";\n";
        break;
    default:
        break;
    }
}

void Translator::EmitArithmetic(const Instruction* first, const Instruction* second) {
    for (const Instruction* in : {first, second}) {
        if (!in) continue;
        for (int i = 0; i < in->sourceCount; ++i) {
            const Operand& s = in->sources[static_cast<std::size_t>(i)];
            if (s.file == 'c' && !defined_[static_cast<std::size_t>(s.index)])
                constantsRead_ |= 1u << s.index;
        }
    }
    body_ += "    {\n        vec4 p0 = " + ResultText(*first) + ";\n";
    if (second) body_ += "        vec4 p1 = " + ResultText(*second) + ";\n";
    const auto assign = [&](const Instruction& in, const char* value) {
        const std::string mask = MaskText(in.mask);
        body_ += "        " + std::string(1, in.destination.file) + std::to_string(in.destination.index) +
                 mask + " = " + value + mask + ";\n";
    };
    assign(*first, "p0");
    if (second) assign(*second, "p1");
    body_ += "    }\n";
}

std::string Translator::Program() const {
    std::string text = "#version 330 core\n";
    text += VertexStageOutputs;
    text += AlphaTestFunction;
    for (int n = 0; n < limits_.textures; ++n)
        if (stages_ & (1u << n)) text += "uniform sampler2D stage" + std::to_string(n) + ";\n";
    for (int n = 0; n < ConstantCount; ++n)
        if (constantsRead_ & (1u << n)) text += "uniform vec4 constant" + std::to_string(n) + ";\n";
    text += "out vec4 colour;\nvoid main() {\n";
    for (int n = 0; n < limits_.temps; ++n)
        text += "    vec4 r" + std::to_string(n) + " = vec4(0.0);\n";
    // Texture registers are coordinates in 1.4 and texture results below it.
    for (int n = 0; n < limits_.textures; ++n)
        text += "    vec4 t" + std::to_string(n) +
                (minor_ == 4 ? " = vec4(vTexCoord, 0.0, 1.0);\n" : " = vec4(0.0);\n");
    text += "    vec4 v0 = vDiffuse;\n    vec4 v1 = vec4(0.0);\n";
    for (int n = 0; n < ConstantCount; ++n) {
        const std::string name = std::to_string(n);
        if (const auto& value = defined_[static_cast<std::size_t>(n)]) {
            text += "    const vec4 c" + name + " = vec4(" + Number((*value)[0]) + ", " +
                    Number((*value)[1]) + ", " + Number((*value)[2]) + ", " + Number((*value)[3]) + ");\n";
        } else if (constantsRead_ & (1u << n)) {
            // Constant registers hold -1 to 1 in every version.
            text += "    vec4 c" + name + " = clamp(constant" + name + ", -1.0, 1.0);\n";
        }
    }
    text += body_;
    text += "    colour = clamp(r0, 0.0, 1.0);\n";
    text += "    if (!Passes(int(round(colour.a * 255.0)))) discard;\n}\n";
    return text;
}

} // namespace

bool TranslatePixelShader(std::string_view assembly, int firstLine, PixelShaderProgram* out,
                          std::string* message) {
    if (!out) return false;
    Translator translator(firstLine, message);
    return translator.Run(assembly, out);
}

} // namespace win32::d3d
