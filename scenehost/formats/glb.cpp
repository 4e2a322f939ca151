#include "glb.h"

#include <cstdint>

namespace {

const uint32_t kMagic = 0x46546C67;      // "glTF"
const uint32_t kJsonChunk = 0x4E4F534A;  // "JSON"
const size_t kHeaderSize = 12;
const size_t kChunkHeaderSize = 8;

uint32_t ReadUint32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void AppendUint32(std::string& bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool Fail(SceneFileError& error, const std::string& message)
{
    error.line = 0;
    error.message = message;
    return false;
}

// Every chunk after the JSON one must lie whole inside the file.
bool ChunksFit(const std::string& bytes, size_t at)
{
    while (at < bytes.size()) {
        if (bytes.size() - at < kChunkHeaderSize) return false;
        const size_t length = ReadUint32(bytes, at);
        at += kChunkHeaderSize;
        if (length > bytes.size() - at) return false;
        at += length;
    }
    return true;
}

}  // namespace

bool SplitGlb(const std::string& bytes, GlbParts& parts, SceneFileError& error)
{
    if (bytes.size() < kHeaderSize || ReadUint32(bytes, 0) != kMagic)
        return Fail(error, "not a binary glTF file (no 'glTF' header)");
    if (ReadUint32(bytes, 4) != 2)
        return Fail(error, "binary glTF version " + std::to_string(ReadUint32(bytes, 4)) +
                               " is not supported (only 2)");
    if (ReadUint32(bytes, 8) != bytes.size())
        return Fail(error, "the file is " + std::to_string(bytes.size()) +
                               " bytes long but its header says " +
                               std::to_string(ReadUint32(bytes, 8)));
    if (bytes.size() < kHeaderSize + kChunkHeaderSize || ReadUint32(bytes, 16) != kJsonChunk)
        return Fail(error, "the first chunk is not the JSON chunk");
    const size_t jsonLength = ReadUint32(bytes, 12);
    const size_t jsonStart = kHeaderSize + kChunkHeaderSize;
    if (jsonLength > bytes.size() - jsonStart || !ChunksFit(bytes, jsonStart + jsonLength))
        return Fail(error, "a chunk runs past the end of the file");
    parts.json = bytes.substr(jsonStart, jsonLength);
    // Some writers pad with NUL instead of spaces.
    while (!parts.json.empty() && parts.json.back() == '\0') parts.json.pop_back();
    parts.chunksAfterJson = bytes.substr(jsonStart + jsonLength);
    return true;
}

bool JoinGlb(const TextPieces& json, const std::string& chunksAfterJson, SavedText& text,
             SceneFileError& error)
{
    const size_t padding = static_cast<size_t>((4 - json.size % 4) % 4);
    const uint64_t chunkSize = json.size + padding;
    const uint64_t total = kHeaderSize + kChunkHeaderSize + chunkSize + chunksAfterJson.size();
    if (total > UINT32_MAX) return Fail(error, "the scene is too large for a binary glTF file");
    std::string header;
    AppendUint32(header, kMagic);
    AppendUint32(header, 2);
    AppendUint32(header, static_cast<uint32_t>(total));
    AppendUint32(header, static_cast<uint32_t>(chunkSize));
    AppendUint32(header, kJsonChunk);
    text.texts.push_back(std::move(header));
    text.texts.push_back(std::string(padding, ' '));
    TextPieces joined;
    joined.Add(text.texts[text.texts.size() - 2]);
    for (const TextPieces::Piece& piece : json.pieces) joined.Add(piece.data, piece.size);
    joined.Add(text.texts.back());
    joined.Add(chunksAfterJson);
    text.pieces = std::move(joined);
    return true;
}

bool JoinGlb(const std::string& json, const std::string& chunksAfterJson, std::string& bytes,
             SceneFileError& error)
{
    SavedText text;
    if (!JoinGlb(TextPieces(json), chunksAfterJson, text, error)) return false;
    bytes = text.pieces.Joined();
    return true;
}
