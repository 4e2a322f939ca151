// The scene file formats behind one small interface, each in a file of its own, chosen by
// the file name's extension. Plain C++: no window code.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene.h"
#include "textpieces.h"

struct FileStamp;  // fileio.h
class SceneFormat;

struct SceneFileError {
    int line = 0;          // 0 when the error concerns the file as a whole
    std::string message;   // what is wrong, without the file name
};

// What a format keeps of a file it read besides the nodes, so that saving can write the rest
// of the file back as it was. It belongs with the scene the file was read into.
class SceneDocument {
public:
    virtual ~SceneDocument() = default;
    // True when the scene written in format would give back the file's bytes as they were
    // read: a save to that file then has nothing to write.
    virtual bool SameAsRead(const Scene&, const SceneFormat&) const { return false; }
    // After a save to path went through: what the document's file now is.
    virtual void Saved(const char* savedPath) { path = savedPath; }

    std::string path;  // the file it was read from or last saved as
};

class SceneFormat {
public:
    virtual ~SceneFormat() = default;
    virtual const char* Description() const = 0;  // for the file dialogs: "Scene files"
    virtual const char* Extension() const = 0;    // without the dot: "scene"
    // Replaces the scene's nodes with those of the file's bytes; on failure the scene is left
    // untouched. document may be left empty when the format keeps nothing more.
    virtual bool Read(const std::string& bytes, Scene& scene,
                      std::unique_ptr<SceneDocument>& document, SceneFileError& error) const = 0;
    // Read, for bytes nobody needs after it: a format that keeps the file's bytes with its
    // document takes them over instead of copying them.
    virtual bool ReadOwned(std::string&& bytes, Scene& scene,
                           std::unique_ptr<SceneDocument>& document, SceneFileError& error) const
    {
        return Read(bytes, scene, document, error);
    }
    // The file's bytes for the scene. document is what Read kept, or null, or another
    // format's document (a Save As to another format).
    virtual bool Write(const Scene& scene, const SceneDocument* document, std::string& bytes,
                       SceneFileError& error) const = 0;
    // Write for the file at path. A format whose files refer to others by relative paths
    // takes them along into another folder; copied then names each file copied beside it.
    virtual bool WriteFile(const char* path, const Scene& scene, const SceneDocument* document,
                           std::string& bytes, std::vector<std::string>& copied,
                           SceneFileError& error) const
    {
        (void)path;
        (void)copied;
        return Write(scene, document, bytes, error);
    }
    // WriteFile for the save itself, in pieces that may lie in the document's own bytes.
    virtual bool WriteSaved(const char* path, const Scene& scene, const SceneDocument* document,
                            SavedText& text, std::vector<std::string>& copied,
                            SceneFileError& error) const
    {
        if (!WriteFile(path, scene, document, text.bytes, copied, error)) return false;
        text.pieces = TextPieces(text.bytes);
        return true;
    }
};

// The format the path's extension names, ignoring case; the scene text format for any other.
const SceneFormat& FormatOf(const char* path);

// Reads the file into the scene in its format; on failure the scene is left untouched.
// stamp, when given, describes the file as read.
bool LoadSceneFile(const char* path, Scene& scene, std::unique_ptr<SceneDocument>& document,
                   SceneFileError& error, FileStamp* stamp = nullptr);
bool LoadSceneFile(const char* path, Scene& scene, SceneFileError& error);
// Writes the scene in the format the path names; on failure the file on disk stays whole.
// stamp, when given, describes the file as written; copied, when given, gets the files the
// scene's file refers to that were copied beside it (SceneFormat::WriteFile).
bool SaveSceneFile(const char* path, const Scene& scene, const SceneDocument* document,
                   SceneFileError& error, FileStamp* stamp = nullptr,
                   std::vector<std::string>* copied = nullptr);
bool SaveSceneFile(const char* path, const Scene& scene, SceneFileError& error);

// The file dialogs' filter: each format, then all files (pairs of texts, double-NUL ended).
std::string SceneFileFilter();

// "file:line: message", the one line the application shows for a bad file.
std::string DescribeError(const char* path, const SceneFileError& error);
