#include "gltfextras.h"

#include <map>

namespace {

bool NeedsQuotes(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
           (!text.empty() && text[0] == '"') || Json::accept(text);
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
bool ForEachLine(const std::string& text, Take take)
{
    int number = 1;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (!take(number++, text.substr(start, end - start))) return false;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return true;
}

std::string LineLabel(int number, const std::string& line)
{
    const size_t shown = 40;
    const std::string text = line.size() > shown ? line.substr(0, shown) + "..." : line;
    return "line " + std::to_string(number) + " \"" + text + "\"";
}

// The member of an unchanged line, each line read serving once.
bool KeptMember(const std::string& line, const ExtrasText& asRead, std::vector<bool>& used,
                std::string& key, Json& value)
{
    for (size_t i = 0; i < asRead.lines.size(); ++i) {
        if (used[i] || asRead.lines[i].text != line) continue;
        used[i] = true;
        key = asRead.lines[i].key;
        value = asRead.lines[i].value;
        return true;
    }
    return false;
}

bool NewMember(const std::string& line, const ExtrasText& asRead, const TextCodec& codec,
               std::string& key, Json& value, std::string& problem)
{
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
    value = ValueOfText(valueText);
    return true;
}

}  // namespace

std::string ValueText(const Json& value)
{
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (!NeedsQuotes(text)) return text;
    }
    return value.dump();
}

Json ValueOfText(const std::string& utf8)
{
    Json value = Json::parse(utf8, nullptr, false);
    return value.is_discarded() ? Json(utf8) : value;
}

ExtrasText TextOfExtras(const Json* extras, const TextCodec& codec)
{
    ExtrasText result;
    if (!extras) return result;
    if (!extras->is_object()) {
        result.refusal = std::string("its extras is of type ") + extras->type_name() +
                         ", not an object, so it cannot take properties";
        return result;
    }
    for (const auto& member : extras->items()) {
        if (member.key().find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            result = ExtrasText();
            result.refusal =
                "its extras has a key holding a line break or NUL, which a line cannot hold";
            return result;
        }
        bool keyLost = false;
        bool valueLost = false;
        std::string line = codec.FromUtf8(member.key(), keyLost) + "=" +
                           codec.FromUtf8(ValueText(member.value()), valueLost);
        result.lost = result.lost || keyLost || valueLost;
        if (!result.lines.empty()) result.text += "\r\n";
        result.text += line;
        result.lines.push_back({std::move(line), member.key(), member.value()});
    }
    return result;
}

bool ExtrasOfText(const std::string& text, const ExtrasText& asRead, const TextCodec& codec,
                  Json& extras, std::string& problem)
{
    extras = Json::object();
    std::vector<bool> used(asRead.lines.size(), false);
    std::map<std::string, int> lineOfKey;
    return ForEachLine(text, [&](int number, const std::string& line) {
        if (line.empty()) return true;
        if (!asRead.refusal.empty()) {
            problem = asRead.refusal;
            return false;
        }
        std::string key;
        Json value;
        std::string why;
        if (!KeptMember(line, asRead, used, key, value) &&
            !NewMember(line, asRead, codec, key, value, why)) {
            problem = LineLabel(number, line) + " " + why;
            return false;
        }
        const auto first = lineOfKey.emplace(key, number);
        if (!first.second) {
            problem = LineLabel(number, line) + " repeats the key of line " +
                      std::to_string(first.first->second);
            return false;
        }
        extras[key] = std::move(value);
        return true;
    });
}
