// A small lexer (names, numbers, symbols, comments, and the raw text of `asm { ... }` blocks) under a
// recursive-descent reader of the subset: declarations, techniques, passes and their states.
#include "effect_text.h"

#include "win32/d3d8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace win32::d3d {

namespace {

enum class Token { Name, Number, Symbol, End };

struct Lexeme {
    Token token = Token::End;
    std::string_view text;
    int line = 1;
};

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

class Lexer {
public:
    explicit Lexer(std::string_view text) : text_(text) {}

    // False with the error in `why` (and its line in `line()`) when the text has a character or a comment
    // the subset does not know.
    bool Next(Lexeme* out, std::string* why);
    // The text between `{` and the next `}`, for `asm`; false when either brace is missing.
    bool RawBlock(std::string_view* block, int* firstLine, std::string* why);
    int line() const { return line_; }

private:
    bool SkipSpace(std::string* why);

    std::string_view text_;
    std::size_t at_ = 0;
    int line_ = 1;
};

bool Lexer::SkipSpace(std::string* why) {
    while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '\n') {
            ++line_;
            ++at_;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++at_;
        } else if (text_.compare(at_, 2, "//") == 0) {
            while (at_ < text_.size() && text_[at_] != '\n')
                ++at_;
        } else if (text_.compare(at_, 2, "/*") == 0) {
            const std::size_t end = text_.find("*/", at_ + 2);
            if (end == std::string_view::npos) {
                *why = "a comment is not closed";
                return false;
            }
            line_ += static_cast<int>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(at_),
                                                 text_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
            at_ = end + 2;
        } else {
            break;
        }
    }
    return true;
}

bool Lexer::Next(Lexeme* out, std::string* why) {
    if (!SkipSpace(why)) return false;
    out->line = line_;
    if (at_ >= text_.size()) {
        out->token = Token::End;
        out->text = {};
        return true;
    }
    const std::size_t start = at_;
    const char c = text_[at_];
    if (IsNameStart(c)) {
        while (at_ < text_.size() && (IsNameStart(text_[at_]) || IsDigit(text_[at_])))
            ++at_;
        out->token = Token::Name;
        out->text = text_.substr(start, at_ - start);
        if (out->text.size() > MostEffectName) {
            *why = "a name is longer than " + std::to_string(MostEffectName) + " bytes";
            return false;
        }
        return true;
    }
    if (IsDigit(c) || (c == '.' && at_ + 1 < text_.size() && IsDigit(text_[at_ + 1]))) {
        while (at_ < text_.size()) {
            const char d = text_[at_];
            const bool sign = (d == '+' || d == '-') && (text_[at_ - 1] == 'e' || text_[at_ - 1] == 'E') &&
                              text_.compare(start, 2, "0x") != 0;
            if (!(IsDigit(d) || IsNameStart(d) || d == '.' || sign)) break;
            ++at_;
        }
        out->token = Token::Number;
        out->text = text_.substr(start, at_ - start);
        return true;
    }
    constexpr std::string_view Symbols = "{}()[]<>=;,-";
    if (Symbols.find(c) != std::string_view::npos) {
        ++at_;
        out->token = Token::Symbol;
        out->text = text_.substr(start, 1);
        return true;
    }
    const auto byte = static_cast<unsigned char>(c);
    char shown[8];
    if (byte >= 0x20 && byte < 0x7F)
        shown[0] = c, shown[1] = 0;
    else
        std::snprintf(shown, sizeof shown, "0x%02X", byte);
    *why = std::string("the character '") + shown + "' is not part of an effect";
    return false;
}

bool Lexer::RawBlock(std::string_view* block, int* firstLine, std::string* why) {
    if (!SkipSpace(why)) return false;
    if (at_ >= text_.size() || text_[at_] != '{') {
        *why = "'asm' is followed by '{'";
        return false;
    }
    ++at_;
    const std::size_t end = text_.find('}', at_);
    if (end == std::string_view::npos) {
        *why = "the asm block has no closing '}'";
        return false;
    }
    *firstLine = line_;
    *block = text_.substr(at_, end - at_);
    line_ += static_cast<int>(std::count(block->begin(), block->end(), '\n'));
    at_ = end + 1;
    return true;
}

// The states of the subset, and the values each takes by name.
enum class Values { Bool, Blend, Filter, Address, TextureParameter, ConstantParameter };

struct StateInfo {
    std::string_view name;
    StateKind kind;
    DWORD type;
    Values values;
    bool indexed; // takes [stage] or [register]
};

constexpr std::array<StateInfo, 10> States = {{
    {"AlphaBlendEnable", StateKind::Render, D3DRS_ALPHABLENDENABLE, Values::Bool, false},
    {"SrcBlend", StateKind::Render, D3DRS_SRCBLEND, Values::Blend, false},
    {"DestBlend", StateKind::Render, D3DRS_DESTBLEND, Values::Blend, false},
    {"Texture", StateKind::Texture, 0, Values::TextureParameter, true},
    {"PixelShaderConstant", StateKind::Constant, 0, Values::ConstantParameter, true},
    {"MinFilter", StateKind::Stage, D3DTSS_MINFILTER, Values::Filter, true},
    {"MagFilter", StateKind::Stage, D3DTSS_MAGFILTER, Values::Filter, true},
    {"MipFilter", StateKind::Stage, D3DTSS_MIPFILTER, Values::Filter, true},
    {"AddressU", StateKind::Stage, D3DTSS_ADDRESSU, Values::Address, true},
    {"AddressV", StateKind::Stage, D3DTSS_ADDRESSV, Values::Address, true},
}};

struct NamedValue {
    Values values;
    std::string_view name;
    DWORD value;
};

constexpr std::array<NamedValue, 22> NamedValues = {{
    {Values::Bool, "False", 0},
    {Values::Bool, "True", 1},
    {Values::Blend, "Zero", D3DBLEND_ZERO},
    {Values::Blend, "One", D3DBLEND_ONE},
    {Values::Blend, "SrcColor", D3DBLEND_SRCCOLOR},
    {Values::Blend, "InvSrcColor", D3DBLEND_INVSRCCOLOR},
    {Values::Blend, "SrcAlpha", D3DBLEND_SRCALPHA},
    {Values::Blend, "InvSrcAlpha", D3DBLEND_INVSRCALPHA},
    {Values::Blend, "DestAlpha", D3DBLEND_DESTALPHA},
    {Values::Blend, "InvDestAlpha", D3DBLEND_INVDESTALPHA},
    {Values::Blend, "DestColor", D3DBLEND_DESTCOLOR},
    {Values::Blend, "InvDestColor", D3DBLEND_INVDESTCOLOR},
    {Values::Blend, "SrcAlphaSat", D3DBLEND_SRCALPHASAT},
    {Values::Filter, "None", D3DTEXF_NONE},
    {Values::Filter, "Point", D3DTEXF_POINT},
    {Values::Filter, "Linear", D3DTEXF_LINEAR},
    {Values::Filter, "Anisotropic", D3DTEXF_ANISOTROPIC},
    {Values::Address, "Wrap", D3DTADDRESS_WRAP},
    {Values::Address, "Mirror", 2},
    {Values::Address, "Clamp", D3DTADDRESS_CLAMP},
    {Values::Address, "Border", 4},
    {Values::Address, "MirrorOnce", 5},
}};

// Numbers each kind of value takes when a state is given a number.
std::pair<DWORD, DWORD> RangeOf(Values values) {
    switch (values) {
    case Values::Bool:
        return {0, 1};
    case Values::Blend:
        return {D3DBLEND_ZERO, D3DBLEND_SRCALPHASAT};
    case Values::Filter:
        return {D3DTEXF_NONE, D3DTEXF_ANISOTROPIC};
    default:
        return {D3DTADDRESS_WRAP, 5};
    }
}

constexpr DWORD StageCount = 8;

class Reader {
public:
    Reader(std::string_view text, std::string* message) : lexer_(text), message_(message) {}

    bool Run(EffectDescription* out);

private:
    bool Fail(int line, const std::string& why) {
        if (message_) *message_ = "line " + std::to_string(line) + ": " + why;
        return false;
    }
    bool Advance();
    bool Expect(std::string_view symbol);
    bool IsSymbol(std::string_view symbol) const {
        return next_.token == Token::Symbol && next_.text == symbol;
    }

    bool Declaration(ParameterType type);
    bool SignedNumber(double* value, DWORD* dword);
    bool Technique();
    bool Pass(EffectTechnique& technique, int line);
    bool State(EffectPass& pass);
    bool PixelShader(EffectPass& pass, int line);
    bool ParameterReference(const StateInfo& state, EffectState* out);

    Lexer lexer_;
    std::string* message_;
    Lexeme next_;
    EffectDescription description_;
    std::unordered_map<std::string, std::size_t> names_;
};

bool Reader::Advance() {
    std::string why;
    if (!lexer_.Next(&next_, &why)) return Fail(lexer_.line(), why);
    return true;
}

bool Reader::Expect(std::string_view symbol) {
    if (!IsSymbol(symbol)) {
        const std::string found =
            next_.token == Token::End ? "the end of the text" : "'" + std::string(next_.text) + "'";
        return Fail(next_.line, "'" + std::string(symbol) + "' is expected here, not " + found);
    }
    return Advance();
}

bool Reader::Run(EffectDescription* out) {
    if (!Advance()) return false;
    while (next_.token != Token::End) {
        const Lexeme word = next_;
        if (word.token != Token::Name)
            return Fail(word.line,
                        "'" + std::string(word.text) + "' begins neither a declaration nor a technique");
        constexpr std::array<std::pair<std::string_view, ParameterType>, 4> Types = {
            {{"dword", ParameterType::Dword},
             {"float", ParameterType::Float},
             {"vector", ParameterType::Vector},
             {"texture", ParameterType::Texture}}};
        const auto type = std::find_if(Types.begin(), Types.end(),
                                       [&](const auto& t) { return SameName(t.first, word.text); });
        if (type != Types.end()) {
            if (!Advance() || !Declaration(type->second)) return false;
        } else if (SameName(word.text, "technique")) {
            if (!Advance() || !Technique()) return false;
        } else if (SameName(word.text, "vertexshader")) {
            return Fail(word.line, "vertex shaders are not taken, only pixel shaders");
        } else if (SameName(word.text, "compile")) {
            return Fail(word.line, "high-level shader code (compile) is not taken, only assembly");
        } else {
            return Fail(word.line,
                        "'" + std::string(word.text) +
                            "' is not a parameter type of an effect (dword, float, vector, texture)");
        }
    }
    if (description_.techniques.empty()) return Fail(next_.line, "the effect has no technique");
    *out = std::move(description_);
    return true;
}

// An optional minus, then a number: its value, and as a dword (two's complement when negative, 0 when it
// has a fraction).
bool Reader::SignedNumber(double* value, DWORD* dword) {
    const bool negative = IsSymbol("-");
    if (negative && !Advance()) return false;
    if (next_.token != Token::Number) return Fail(next_.line, "a number is expected here");
    std::string_view text = next_.text;
    std::uint64_t whole = 0;
    bool integral = false;
    if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X")) {
        const auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), whole, 16);
        if (error != std::errc() || end != text.data() + text.size() || whole > 0xFFFFFFFFu)
            return Fail(next_.line, "'" + std::string(text) + "' is not a 32-bit number");
        *value = static_cast<double>(whole);
        integral = true;
    } else {
        if (text.back() == 'f' || text.back() == 'F') text.remove_suffix(1);
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
        if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(*value))
            return Fail(next_.line, "'" + std::string(next_.text) + "' is not a number");
        integral = *value == std::floor(*value) && *value <= 4294967295.0;
        whole = integral ? static_cast<std::uint64_t>(*value) : 0;
    }
    if (negative) *value = -*value;
    const auto low = static_cast<DWORD>(whole);
    *dword = integral ? (negative ? 0u - low : low) : 0;
    return Advance();
}

bool Reader::Declaration(ParameterType type) {
    if (next_.token != Token::Name) return Fail(next_.line, "a declaration names its parameter");
    EffectParameter p;
    p.name = std::string(next_.text);
    p.type = type;
    const int line = next_.line;
    if (names_.contains(p.name)) return Fail(line, "the parameter '" + p.name + "' is declared twice");
    if (!Advance()) return false;
    if (IsSymbol("=")) {
        if (!Advance()) return false;
        double value = 0;
        DWORD unused = 0;
        switch (type) {
        case ParameterType::Texture:
            return Fail(line, "a texture parameter takes no initial value");
        case ParameterType::Dword:
            if (!SignedNumber(&value, &p.dword)) return false;
            break;
        case ParameterType::Float:
            if (!SignedNumber(&value, &unused)) return false;
            p.vector[0] = static_cast<float>(value);
            break;
        case ParameterType::Vector: {
            const bool braces = IsSymbol("{");
            if (!Expect(braces ? "{" : "(")) return false;
            for (std::size_t i = 0; i < 4; ++i) {
                if (i > 0 && !Expect(",")) return false;
                if (!SignedNumber(&value, &unused)) return false;
                p.vector[i] = static_cast<float>(value);
            }
            if (!Expect(braces ? "}" : ")")) return false;
            break;
        }
        }
    }
    if (!Expect(";")) return false;
    names_.emplace(p.name, description_.parameters.size());
    description_.parameters.push_back(std::move(p));
    return true;
}

bool Reader::Technique() {
    EffectTechnique technique;
    const int line = next_.line;
    if (next_.token == Token::Name) {
        technique.name = std::string(next_.text);
        if (!Advance()) return false;
    }
    if (!Expect("{")) return false;
    while (!IsSymbol("}")) {
        if (next_.token != Token::Name || !SameName(next_.text, "pass"))
            return Fail(next_.line, "a technique holds passes");
        const int passLine = next_.line;
        if (!Advance() || !Pass(technique, passLine)) return false;
    }
    if (technique.passes.empty()) return Fail(line, "the technique has no pass");
    if (!Advance()) return false;
    description_.techniques.push_back(std::move(technique));
    return true;
}

bool Reader::Pass(EffectTechnique& technique, int line) {
    EffectPass pass;
    pass.line = line;
    if (next_.token == Token::Name) {
        pass.name = std::string(next_.text);
        if (!Advance()) return false;
    }
    if (!Expect("{")) return false;
    while (!IsSymbol("}"))
        if (!State(pass)) return false;
    if (!Advance()) return false;
    technique.passes.push_back(std::move(pass));
    return true;
}

bool Reader::State(EffectPass& pass) {
    const Lexeme name = next_;
    if (name.token != Token::Name) {
        const std::string found =
            name.token == Token::End ? "the end of the text" : "'" + std::string(name.text) + "'";
        return Fail(name.line, "a state is expected here, not " + found);
    }
    if (SameName(name.text, "VertexShader"))
        return Fail(name.line, "vertex shaders are not taken, only pixel shaders");
    if (!Advance()) return false;
    if (SameName(name.text, "PixelShader")) {
        if (!Expect("=")) return false;
        return PixelShader(pass, name.line);
    }
    const auto info = std::find_if(States.begin(), States.end(),
                                   [&](const StateInfo& s) { return SameName(s.name, name.text); });
    if (info == States.end())
        return Fail(name.line,
                    "the state '" + std::string(name.text) + "' is not one an effect can set here");
    EffectState state;
    state.kind = info->kind;
    state.type = info->type;
    if (info->indexed) {
        if (!Expect("[")) return false;
        double index = 0;
        DWORD dword = 0;
        const int line = next_.line;
        if (!SignedNumber(&index, &dword)) return false;
        if (index < 0 || index >= StageCount || index != std::floor(index))
            return Fail(line, "'" + std::string(name.text) + "' is indexed 0 to 7");
        state.stage = dword;
        if (!Expect("]")) return false;
    }
    if (!Expect("=")) return false;
    if (info->values == Values::TextureParameter || info->values == Values::ConstantParameter) {
        if (!ParameterReference(*info, &state)) return false;
    } else if (next_.token == Token::Name) {
        const auto value = std::find_if(NamedValues.begin(), NamedValues.end(), [&](const NamedValue& v) {
            return v.values == info->values && SameName(v.name, next_.text);
        });
        if (value == NamedValues.end())
            return Fail(next_.line, "'" + std::string(next_.text) + "' is not a value of '" +
                                        std::string(info->name) + "'");
        state.value = value->value;
        if (!Advance()) return false;
    } else {
        double number = 0;
        const int line = next_.line;
        if (!SignedNumber(&number, &state.value)) return false;
        const auto [low, high] = RangeOf(info->values);
        if (number < low || number > high || number != std::floor(number))
            return Fail(line, "the value is out of the range of '" + std::string(info->name) + "'");
    }
    if (!Expect(";")) return false;
    pass.states.push_back(state);
    return true;
}

bool Reader::ParameterReference(const StateInfo& info, EffectState* out) {
    if (!Expect("<")) return false;
    const Lexeme name = next_;
    if (name.token != Token::Name) return Fail(name.line, "'<' is followed by a parameter's name");
    const auto found = names_.find(std::string(name.text));
    if (found == names_.end())
        return Fail(name.line, "'" + std::string(name.text) + "' is not a declared parameter");
    const bool texture = description_.parameters[found->second].type == ParameterType::Texture;
    if (texture != (info.values == Values::TextureParameter))
        return Fail(name.line, texture ? "a texture parameter cannot fill a constant register"
                                       : "'Texture' takes a texture parameter");
    out->parameter = found->second;
    if (!Advance()) return false;
    return Expect(">");
}

bool Reader::PixelShader(EffectPass& pass, int line) {
    if (next_.token != Token::Name || !SameName(next_.text, "asm")) {
        if (next_.token == Token::Name && SameName(next_.text, "compile"))
            return Fail(next_.line, "high-level shader code (compile) is not taken, only assembly");
        return Fail(next_.line, "a pixel shader is given as asm { ... }");
    }
    if (pass.shader) return Fail(line, "the pass has two pixel shaders");
    std::string_view block;
    int firstLine = 0;
    std::string why;
    if (!lexer_.RawBlock(&block, &firstLine, &why)) return Fail(lexer_.line(), why);
    PixelShaderProgram program;
    if (!TranslatePixelShader(block, firstLine, &program, message_)) return false;
    pass.shader = std::move(program);
    if (!Advance()) return false;
    return Expect(";");
}

} // namespace

bool ReadEffectText(std::string_view text, EffectDescription* out, std::string* message) {
    if (!out) return false;
    if (text.size() > MostEffectText) {
        const auto line = 1 + std::count(text.begin(), text.begin() + MostEffectText, '\n');
        if (message)
            *message = "line " + std::to_string(line) + ": the effect text is longer than " +
                       std::to_string(MostEffectText) + " bytes";
        return false;
    }
    Reader reader(text, message);
    return reader.Run(out);
}

} // namespace win32::d3d
