#pragma once

#include <optional>
#include <string>

// The profile-file syntax as the Windows profile functions read it, on the
// bytes of a whole file. A line ends at CR LF, LF or CR. A line whose first
// non-blank character is "[" and that holds a "]" starts a section named by
// the text up to its last "]"; a "[" line without "]" is skipped; every other
// non-blank line is a key, "name=value" or just "name" (a key without value).
// Comment lines are keys too: their names start with ";" and match nothing the
// controller asks for. Lines before the first section belong to a section with
// the empty name. Only the first section of a name is searched, and the first
// key of a name in it wins. Names and values lose their blanks (space, TAB,
// VT, FF, CR, LF) at both ends and names match without regard to ASCII case.
namespace IniText {

// The value of key in the first section named section: blanks around it and one
// pair of matching quotes (" or ') removed, cut at maxLength. Nothing when the
// key is absent or has no "=" (the reader then gives the default).
std::optional<std::string> Find(const std::string& text, const std::string& section,
                                const std::string& key, size_t maxLength);

// def as the reader passes it back: trailing spaces dropped, one pair of
// matching quotes removed, cut at maxLength.
std::string Default(const std::string& def, size_t maxLength);

// text with key set to value, every other byte as it was. An existing key line
// keeps its name and the blanks after "="; a missing key is added after the
// last non-blank line of the section; a missing section is added at the end.
// New lines end as the file's first line does (CR LF in a file without one).
std::string Store(const std::string& text, const std::string& section, const std::string& key,
                  const std::string& value);

}  // namespace IniText
