#pragma once

#include <cstdint>
#include <string>

#include "platform/TextFile.h"

// Whole-file operations of the platform for the program's own files (the
// response copy and the journal). Each throws EInOutError with the system's
// text when the system refuses.

// Moves the closed file at from to to, replacing a file there. Fails while
// another program holds either without sharing its deletion (viewers and
// editors usually do), or when to is a folder.
void MoveReplacing(const std::string& from, const std::string& to);
// Copies the file at from to to, replacing a file there. Needs only reading
// of from and writing of to, which such holders usually share.
void CopyReplacing(const std::string& from, const std::string& to);
// Empties the file at path, creating it when missing.
void EmptyFile(const std::string& path);
// The file's size in bytes; -1 when there is no such file.
int64_t FileSizeOf(const std::string& path);
// Appends bytes to the file at path, creating it when missing. The file is
// open only for the call, and shared for reading, writing and deletion
// meanwhile, so that an operator may read, follow, copy or delete it at any
// time.
void AppendToFile(const std::string& path, const std::string& bytes);

// A full file's lines go to oldPath (replacing what was there) and the file is
// emptied, by a move where the system allows it and by a copy where a holder
// refuses the move, so no line is lost. Only when the copy fails too is the
// file emptied all the same (the bound holds; its lines are given up). Throws
// only when the file cannot be emptied either.
void RotateKeepingLines(const std::string& path, const std::string& oldPath);
