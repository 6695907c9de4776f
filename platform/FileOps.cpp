#include "platform/FileOps.h"

void RotateKeepingLines(const std::string& path, const std::string& oldPath) {
  try {
    MoveReplacing(path, oldPath);
    return;
  } catch (const EInOutError&) {
    // A holder refused the move: the lines go over by copy.
  }
  try {
    CopyReplacing(path, oldPath);
  } catch (const EInOutError&) {
    // The old file is held without sharing its writing, or a folder is in its
    // place: the lines are given up rather than the bound.
  }
  EmptyFile(path);
}
