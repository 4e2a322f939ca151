// A text in pieces that follow one another, so that a large file's text made mostly of
// another text's bytes is written without a copy of it. Plain C++: no window code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The pieces' bytes stay where they are as long as the pieces are used.
struct TextPieces {
    struct Piece {
        const char* data;
        size_t size;
    };
    std::vector<Piece> pieces;
    std::uint64_t size = 0;

    TextPieces() = default;
    explicit TextPieces(const std::string& whole) { Add(whole.data(), whole.size()); }
    void Add(const char* data, size_t length)
    {
        if (length == 0) return;
        pieces.push_back({data, length});
        size += length;
    }
    void Add(const std::string& text) { Add(text.data(), text.size()); }
    std::uint64_t Hash() const;  // ContentHash of the whole
    std::string Joined() const;
};

// A file's text for a save, in pieces of the texts it holds or of what a format's document
// keeps of the file as read. It stays where it is: the pieces point into it.
struct SavedText {
    SavedText() = default;
    SavedText(const SavedText&) = delete;
    SavedText& operator=(const SavedText&) = delete;

    std::string bytes;               // a text made whole
    std::deque<std::string> texts;  // further texts: one added leaves the others where they are
    TextPieces pieces;
};
