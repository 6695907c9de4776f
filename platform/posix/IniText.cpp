#include "platform/posix/IniText.h"

#include <vector>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// [begin, end) of s without blanks at both ends.
void TrimRange(const std::string& s, size_t& begin, size_t& end) {
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
}

std::string Trimmed(const std::string& s) {
  size_t begin = 0, end = s.size();
  TrimRange(s, begin, end);
  return s.substr(begin, end - begin);
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& text, size_t begin, size_t end, const std::string& name) {
  if (end - begin != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (AsciiLower(text[begin + i]) != AsciiLower(name[i])) return false;
  return true;
}

std::string Unquoted(std::string value, size_t maxLength) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  if (value.size() > maxLength) value.resize(maxLength);
  return value;
}

enum class TLineKind { Blank, Section, Skipped, Key };

// One line of the file: its bytes are [Begin, End), its line end [End, Next).
struct TLine {
  size_t Begin, End, Next;
  TLineKind Kind;
  // Section: the trimmed name. Key: the trimmed name, and the "=" when present.
  size_t NameBegin = 0, NameEnd = 0;
  size_t Equals = std::string::npos;
};

TLine Classify(const std::string& text, size_t begin, size_t end, size_t next) {
  TLine line{begin, end, next, TLineKind::Blank};
  size_t first = begin, last = end;
  TrimRange(text, first, last);
  if (first == last) return line;
  if (text[first] == '[') {
    size_t close = text.rfind(']', end - 1);
    if (close == std::string::npos || close <= first) {
      line.Kind = TLineKind::Skipped;
      return line;
    }
    line.Kind = TLineKind::Section;
    line.NameBegin = first + 1;
    line.NameEnd = close;
  } else {
    line.Kind = TLineKind::Key;
    size_t equals = text.find('=', first);
    if (equals >= last) equals = std::string::npos;
    line.Equals = equals;
    line.NameBegin = first;
    line.NameEnd = equals == std::string::npos ? last : equals;
  }
  TrimRange(text, line.NameBegin, line.NameEnd);
  return line;
}

std::vector<TLine> SplitLines(const std::string& text) {
  std::vector<TLine> lines;
  size_t begin = 0, n = text.size();
  // A file saved as UTF-8 by an editor starts with a byte-order mark, which is
  // no part of its first line.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) begin = 3;
  while (begin < n) {
    size_t end = text.find_first_of("\r\n", begin);
    size_t next;
    if (end == std::string::npos) {
      end = next = n;
    } else {
      next = end + 1;
      if (text[end] == '\r' && next < n && text[next] == '\n') ++next;
    }
    lines.push_back(Classify(text, begin, end, next));
    begin = next;
  }
  return lines;
}

// Where the first section named section lies in lines: [First, Last) are the
// lines after its header. Found is false when no such section exists; the
// unnamed section before the first header always exists.
struct TSectionSpan {
  bool Found = false;
  size_t First = 0, Last = 0;
};

TSectionSpan FindSection(const std::string& text, const std::vector<TLine>& lines,
                         const std::string& section) {
  TSectionSpan span;
  span.Found = section.empty();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].Kind != TLineKind::Section) continue;
    if (span.Found) {
      span.Last = i;
      return span;
    }
    if (SameName(text, lines[i].NameBegin, lines[i].NameEnd, section)) {
      span.Found = true;
      span.First = i + 1;
    }
  }
  span.Last = lines.size();
  return span;
}

// Index of the first key line named key in the span, or lines.size().
size_t FindKey(const std::string& text, const std::vector<TLine>& lines, const TSectionSpan& span,
               const std::string& key) {
  for (size_t i = span.First; i < span.Last; ++i)
    if (lines[i].Kind == TLineKind::Key &&
        SameName(text, lines[i].NameBegin, lines[i].NameEnd, key))
      return i;
  return lines.size();
}

std::string LineEnd(const std::string& text) {
  size_t at = text.find_first_of("\r\n");
  if (at == std::string::npos) return "\r\n";
  if (text[at] == '\n') return "\n";
  return at + 1 < text.size() && text[at + 1] == '\n' ? "\r\n" : "\r";
}

}  // namespace

namespace IniText {

std::optional<std::string> Find(const std::string& text, const std::string& section,
                                const std::string& key, size_t maxLength) {
  std::vector<TLine> lines = SplitLines(text);
  TSectionSpan span = FindSection(text, lines, Trimmed(section));
  if (!span.Found) return std::nullopt;
  size_t at = FindKey(text, lines, span, Trimmed(key));
  if (at == lines.size() || lines[at].Equals == std::string::npos) return std::nullopt;
  size_t begin = lines[at].Equals + 1, end = lines[at].End;
  TrimRange(text, begin, end);
  return Unquoted(text.substr(begin, end - begin), maxLength);
}

std::string Default(const std::string& def, size_t maxLength) {
  size_t end = def.find_last_not_of(' ');
  return Unquoted(def.substr(0, end == std::string::npos ? 0 : end + 1), maxLength);
}

std::string Store(const std::string& text, const std::string& section, const std::string& key,
                  const std::string& value) {
  std::vector<TLine> lines = SplitLines(text);
  std::string name = Trimmed(section);
  TSectionSpan span = FindSection(text, lines, name);
  std::string eol = LineEnd(text);
  if (!span.Found) {
    std::string tail;
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') tail = eol;
    return text + tail + "[" + name + "]" + eol + key + "=" + value + eol;
  }
  size_t at = FindKey(text, lines, span, Trimmed(key));
  if (at != lines.size()) {
    const TLine& line = lines[at];
    size_t keep = line.NameEnd;
    std::string glue = "=";
    if (line.Equals != std::string::npos) {
      // Keep "name = " as the file spells it.
      keep = line.Equals + 1;
      while (keep < line.End && (text[keep] == ' ' || text[keep] == '\t')) ++keep;
      glue.clear();
    }
    return text.substr(0, keep) + glue + value + text.substr(line.End);
  }
  // After the last line that belongs to the section, so that the blank lines
  // that part it from the next one stay where they are.
  size_t insertAt = 0;
  bool needsEnd = false;
  if (span.First > 0) insertAt = lines[span.First - 1].Next;
  for (size_t i = span.First; i < span.Last; ++i)
    if (lines[i].Kind != TLineKind::Blank) insertAt = lines[i].Next;
  if (insertAt > 0 && insertAt == text.size() && text.back() != '\n' && text.back() != '\r')
    needsEnd = true;
  return text.substr(0, insertAt) + (needsEnd ? eol : "") + key + "=" + value + eol +
         text.substr(insertAt);
}

}  // namespace IniText
