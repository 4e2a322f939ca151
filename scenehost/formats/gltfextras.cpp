#include "gltfextras.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>

#include "gltfreader.h"

namespace {

// Whether a text would read back as another JSON value. Only these can begin a JSON text
// (after blanks), and a word only as one of the three literals; the rest is decided by the
// parser itself.
bool ReadsAsJson(const char* text, size_t length)
{
    // The parser skips a byte order mark before the text.
    if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0)
        return Json::accept(text, text + length);
    size_t at = 0;
    while (at < length && IsJsonBlank(text[at])) ++at;
    if (at == length) return false;
    const char first = text[at];
    if (first != '-' && first != '[' && first != '{' && first != '"' && first != 't' &&
        first != 'f' && first != 'n' && (first < '0' || first > '9'))
        return false;
    if (first == 't' || first == 'f' || first == 'n') {
        size_t end = length;
        while (end > at && IsJsonBlank(text[end - 1])) --end;
        const std::string_view word(text + at, end - at);
        return word == "true" || word == "false" || word == "null";
    }
    return Json::accept(text, text + length);
}

bool NeedsQuotes(const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (text[i] == '\r' || text[i] == '\n' || text[i] == '\0') return true;
    return (length > 0 && text[0] == '"') || ReadsAsJson(text, length);
}

bool IsValidUtf8(const std::string& text)
{
    try {
        Json(text).dump();
        return true;
    } catch (const Json::type_error&) {
        return false;
    }
}

// Calls take(number, line) for each line of text, counting from 1; CR LF, LF and CR each end
// a line.
template <typename Take>
bool ForEachLine(std::string_view all, Take take)
{
    int number = 1;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = all.size();
        if (!take(number++, all.substr(start, end - start))) return false;
        if (end + 1 < all.size() && all[end] == '\r' && all[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return true;
}

std::string LineLabel(int number, std::string_view line)
{
    const size_t shown = 40;
    const std::string text =
        line.size() > shown ? std::string(line.substr(0, shown)) + "..." : std::string(line);
    return "line " + std::to_string(number) + " \"" + text + "\"";
}

// The line read that an unchanged line keeps, each serving once; -1 for none.
int KeptLine(std::string_view line, const ExtrasText& asRead, std::vector<bool>& used)
{
    const std::string_view read(asRead.text);
    for (size_t i = 0; i < asRead.lines.size(); ++i) {
        const ExtrasText::Line& candidate = asRead.lines[i];
        if (used[i] || read.substr(candidate.begin, candidate.length) != line) continue;
        used[i] = true;
        return static_cast<int>(i);
    }
    return -1;
}

bool NewMember(std::string_view lineRead, const ExtrasText& asRead, const TextCodec& codec,
               std::string& key, Json& value, std::string& problem)
{
    const std::string line(lineRead);
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
        problem = "has no '='";
        return false;
    }
    if (equals == 0) {
        problem = "has an empty key";
        return false;
    }
    if (asRead.lost && line.find('?') != std::string::npos) {
        problem = "may hold characters that the system's code page could not show (as '?')";
        return false;
    }
    std::string valueText;
    if (!codec.ToUtf8(line.substr(0, equals), key) ||
        !codec.ToUtf8(line.substr(equals + 1), valueText) || !IsValidUtf8(key) ||
        !IsValidUtf8(valueText)) {
        problem = "holds bytes that are not text";
        return false;
    }
    const long depth = JsonDepth(valueText);
    if (depth > kMaxExtrasValueDepth) {
        problem = "is nested too deeply (" + std::to_string(depth) + " levels)";
        return false;
    }
    value = ValueOfText(valueText);
    return true;
}

}  // namespace

std::string ValueText(const Json& value)
{
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (!NeedsQuotes(text.data(), text.size())) return text;
    }
    return value.dump();
}

void AppendStringText(std::string& out, const char* utf8, size_t length)
{
    if (NeedsQuotes(utf8, length))
        out += Json(std::string(utf8, length)).dump();
    else
        out.append(utf8, length);
}

namespace {

// The double a JSON number reads as, where one correctly rounded operation gives it: at most
// 15 significant digits (exact in a double) times or over a power of ten up to 1e22 (exact
// too). That is what strtod gives, which some C libraries take long over.
bool ExactDouble(const char* number, size_t length, double& value)
{
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    size_t at = 0;
    const bool negative = length > 0 && number[0] == '-';
    if (negative) ++at;
    uint64_t mantissa = 0;
    int digits = 0;
    long exponent = 0;
    bool fraction = false;
    for (; at < length; ++at) {
        const char c = number[at];
        if (c == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        if (fraction) --exponent;
        if (mantissa == 0 && c == '0') continue;
        if (++digits > 15) return false;
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    }
    if (at < length && (number[at] == 'e' || number[at] == 'E')) {
        ++at;
        const bool down = at < length && number[at] == '-';
        if (at < length && (number[at] == '-' || number[at] == '+')) ++at;
        long written = 0;
        const size_t first = at;
        for (; at < length && number[at] >= '0' && number[at] <= '9'; ++at) {
            if (at - first >= 4) return false;
            written = written * 10 + (number[at] - '0');
        }
        if (at == first) return false;
        exponent += down ? -written : written;
    }
    if (at != length) return false;
    if (mantissa == 0) {
        value = negative ? -0.0 : 0.0;
        return true;
    }
    if (exponent < -22 || exponent > 22) return false;
    const double scaled = exponent < 0 ? static_cast<double>(mantissa) / kPowers[-exponent]
                                       : static_cast<double>(mantissa) * kPowers[exponent];
    value = negative ? -scaled : scaled;
    return true;
}

}  // namespace

// As the JSON library reads a number and writes it again: an integer within 64 bits as it is
// (-0 as 0), anything else as the double it reads as, in the shortest form that reads back.
void AppendNumberText(std::string& out, const char* number, size_t length)
{
    const bool negative = length > 0 && number[0] == '-';
    bool integer = true;
    for (size_t i = 0; i < length && integer; ++i)
        integer = number[i] != '.' && number[i] != 'e' && number[i] != 'E';
    const size_t digits = length - (negative ? 1 : 0);
    if (integer && digits <= 18) {
        if (negative && digits == 1 && number[1] == '0')
            out += '0';
        else
            out.append(number, length);
        return;
    }
    const std::string text(number, length);
    char* end = nullptr;
    errno = 0;
    if (integer) {
        if (negative) {
            const long long value = std::strtoll(text.c_str(), &end, 10);
            if (errno == 0) {
                out += std::to_string(value);
                return;
            }
        } else {
            const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
            if (errno == 0) {
                out += std::to_string(value);
                return;
            }
        }
    }
    double value = 0;
    if (!ExactDouble(number, length, value)) value = std::strtod(text.c_str(), &end);
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[64];
    const char* last = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<size_t>(last - buffer));
}

Json ValueOfText(const std::string& utf8)
{
    Json value = Json::parse(utf8, nullptr, false);
    return value.is_discarded() ? Json(utf8) : value;
}

void ExtrasText::Clear()
{
    text.clear();
    lines.clear();
    lost = false;
    refusal.clear();
}

bool AddExtrasLine(ExtrasText& text, const std::string& key, const char* value, size_t length,
                   const TextCodec& codec, const Json* json)
{
    if (key.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        text.Clear();
        text.refusal = "its extras has a key holding a line break or NUL, which a line cannot hold";
        return false;
    }
    if (!text.lines.empty()) text.text += "\r\n";
    const size_t begin = text.text.size();
    if (&codec == &Utf8TextCodec()) {
        text.text += key;
        text.text += '=';
        text.text.append(value, length);
    } else {
        bool keyLost = false;
        bool valueLost = false;
        text.text += codec.FromUtf8(key, keyLost);
        text.text += '=';
        text.text += codec.FromUtf8(std::string(value, length), valueLost);
        text.lost = text.lost || keyLost || valueLost;
    }
    text.lines.push_back({begin, text.text.size() - begin, key, json ? *json : Json()});
    return true;
}

void RefuseExtrasOfType(ExtrasText& text, const char* typeName)
{
    text.Clear();
    text.refusal = std::string("its extras is of type ") + typeName +
                   ", not an object, so it cannot take properties";
}

ExtrasText TextOfExtras(const Json* extras, const TextCodec& codec)
{
    ExtrasText result;
    if (!extras) return result;
    if (!extras->is_object()) {
        RefuseExtrasOfType(result, extras->type_name());
        return result;
    }
    for (const auto& member : extras->items()) {
        const std::string value = ValueText(member.value());
        if (!AddExtrasLine(result, member.key(), value.data(), value.size(), codec,
                           &member.value()))
            break;
    }
    return result;
}

namespace {

// The key of a member, kept or new.
const std::string& KeyOf(const ExtrasMember& member, const ExtrasText& asRead)
{
    return member.kept >= 0 ? asRead.lines[member.kept].key : member.key;
}

// Finds an earlier member with the same key: by comparison among a few, by a map among many.
class RepeatedKeys {
public:
    // The line of the earlier member with the key of members.back(), or 0.
    int Repeated(const std::vector<ExtrasMember>& members, const ExtrasText& asRead)
    {
        const std::string& key = KeyOf(members.back(), asRead);
        const size_t earlier = members.size() - 1;
        if (earlier < kFew) {
            for (size_t i = 0; i < earlier; ++i)
                if (KeyOf(members[i], asRead) == key) return members[i].line;
            return 0;
        }
        if (lineOfKey_.empty())
            for (size_t i = 0; i < earlier; ++i)
                lineOfKey_.emplace(KeyOf(members[i], asRead), members[i].line);
        const auto first = lineOfKey_.emplace(key, members.back().line);
        return first.second ? 0 : first.first->second;
    }

private:
    static const size_t kFew = 16;
    std::map<std::string, int> lineOfKey_;
};

}  // namespace

bool MembersOfText(std::string_view text, const ExtrasText& asRead, const TextCodec& codec,
                   std::vector<ExtrasMember>& members, std::string& problem)
{
    members.clear();
    std::vector<bool> used(asRead.lines.size(), false);
    RepeatedKeys repeated;
    return ForEachLine(text, [&](int number, std::string_view line) {
        if (line.empty()) return true;
        if (!asRead.refusal.empty()) {
            problem = asRead.refusal;
            return false;
        }
        ExtrasMember& member = members.emplace_back();
        member.line = number;
        member.kept = KeptLine(line, asRead, used);
        std::string why;
        if (member.kept < 0 && !NewMember(line, asRead, codec, member.key, member.value, why)) {
            problem = LineLabel(number, line) + " " + why;
            return false;
        }
        if (const int first = repeated.Repeated(members, asRead)) {
            problem = LineLabel(number, line) + " repeats the key of line " + std::to_string(first);
            return false;
        }
        return true;
    });
}

bool ExtrasOfText(const std::string& text, const ExtrasText& asRead, const TextCodec& codec,
                  Json& extras, std::string& problem)
{
    extras = Json::object();
    std::vector<ExtrasMember> members;
    if (!MembersOfText(text, asRead, codec, members, problem)) return false;
    for (ExtrasMember& member : members) {
        if (member.kept >= 0) {
            const ExtrasText::Line& line = asRead.lines[member.kept];
            extras[line.key] = line.value;
        } else {
            extras[member.key] = std::move(member.value);
        }
    }
    return true;
}
