#include "monitor/LineRules.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

using TView = std::string_view;

uint64_t Load8(const char* at) {
  uint64_t bytes;
  std::memcpy(&bytes, at, sizeof bytes);
  return bytes;
}

bool SameBytes(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The top bit of each zero byte of x, and no other bit.
uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full;
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The first occurrence of text in line at or after from, or npos. Lines and
// texts are short, and the C library that ships with Windows (and Wine's) looks
// for a byte one at a time behind a call: a loop in place does better, looking
// at eight places at a time for the text's first and last bytes together, which
// leaves few places to compare.
size_t Find(TView line, TView text, size_t from = 0) {
  if (text.empty()) return from <= line.size() ? from : TView::npos;
  if (text.size() > line.size()) return TView::npos;
  const char* data = line.data();
  const size_t n = text.size();
  const size_t ends = line.size() - n + 1;  // places where text fits
  size_t at = from;
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  const uint64_t first = kOnes * static_cast<unsigned char>(text[0]);
  const uint64_t last = kOnes * static_cast<unsigned char>(text[n - 1]);
  for (; at + 8 <= ends; at += 8) {
    uint64_t places =
        ZeroBytes(Load8(data + at) ^ first) & ZeroBytes(Load8(data + at + n - 1) ^ last);
    for (; places != 0; places &= places - 1) {
      size_t place = at + static_cast<size_t>(__builtin_ctzll(places)) / 8;
      if (SameBytes(data + place, text.data(), n)) return place;
    }
  }
#endif
  for (; at < ends; ++at)
    if (data[at] == text[0] && SameBytes(data + at, text.data(), n)) return at;
  return TView::npos;
}

bool StartsWith(TView line, TView text) {
  if (text.size() > line.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (line[i] != text[i]) return false;
  return true;
}

// The string operations of the rules, on views. Positions count from 1.
bool Has(TView line, TView text) {
  return Find(line, text) != TView::npos;
}

// Position of the first occurrence of text, 0 when there is none.
int Pos(TView text, TView line) {
  size_t at = Find(line, text);
  return at == TView::npos ? 0 : static_cast<int>(at) + 1;
}

// Up to count characters from position index; an index below 1 counts as 1,
// one past the end or a count below 1 gives nothing.
TView Copy(TView s, int index, int count) {
  if (index < 1) index = 1;
  if (static_cast<size_t>(index) > s.size() || count <= 0) return {};
  return s.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

// Delete(1, count): the first count characters go.
void DeleteFront(TView& s, int count) {
  if (count > 0) s.remove_prefix(std::min(s.size(), static_cast<size_t>(count)));
}

// Drops leading and trailing characters of code 32 or less.
TView Trim(TView s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

std::string BlanksToUnderscores(TView s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), ' ', '_');
  return out;
}

// The first word of the list that the line contains decides; -1 when none.
template <size_t N>
int FirstWordIn(TView line, const TView (&words)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (Has(line, words[i])) return static_cast<int>(i);
  return -1;
}

constexpr TView kRealismWords[] = {"arcade", "intermediate realism", "simulation"};
constexpr TView kRaceTypeWords[] = {"sprint", "short", "long", "insane"};
constexpr TView kAIWords[] = {"easy ai", "intermediate ai", "hard ai"};
constexpr TView kDamageWords[] = {"damage off", "damage on"};
constexpr TView kReverseWords[] = {"forward", "reversed"};

// The digits 1 to 8 are tried in this order anywhere in the line, and the first
// found decides: that is the lowest of them that the line holds, which one look
// at each byte finds. The track index, or -1.
int TrackInLine(TView line) {
  unsigned digits = 0;
  for (char c : line) {
    unsigned d = static_cast<unsigned>(c - '1');
    if (d < 8) digits |= 1u << d;
  }
  return digits == 0 ? -1 : __builtin_ctz(digits);
}

constexpr TView kUserConnected = "Server: User Connected:";
constexpr TView kLatencyFor = "latency for";

}  // namespace

int SlotRow(TView line, int at) {
  // The integer conversion takes one character only when it is a decimal digit.
  TView slot = Copy(line, at, 1);
  if (slot.empty() || slot[0] < '0' || slot[0] > '9') return -1;
  int digit = slot[0] - '0';
  return digit < TRaceBoard::kDriverRows ? digit : -1;
}

bool TLineRules::TakeCaption(std::string& caption) {
  if (!CaptionPending_) return false;
  caption = Caption_;
  CaptionPending_ = false;
  return true;
}

void TLineRules::Apply(TView line) {
  Run(line, kAllTriggerWords, false, false);
}

void TLineRules::Apply(const TRuleLine& line) {
  Run(line.Text, line.Words, true, line.OneWordOpens);
}

void TLineRules::Run(TView line, unsigned words, bool exact, bool oneWordOpens) {
  // A trigger that is itself a trigger word is in the line exactly when the
  // word was, as long as no rule has cut the line yet.
  bool uncut = exact;
  auto fires = [&](unsigned word, TView trigger) {
    return (words & word) && (uncut || Has(line, trigger));
  };
  if (fires(kWordSync, "Server: SYNC: 2way:")) Board_.SetInRace(true);
  if (fires(kWordSingleton, "Server: Singleton player reset.")) Board_.SetInRace(false);
  if (fires(kWordCreated, "created, running...")) {
    ServerCreated(line);
    uncut = false;
  }
  // A line whose one trigger word opens it (and stands nowhere else) holds
  // "Server: User Connected:" only at its start, and no trigger at all once that
  // trigger's length is cut from its front: the rules below have nothing to do.
  bool alone = uncut && oneWordOpens;
  if (words & kWordChanging) SettingChanged(line, alone);
  if ((words & kWordUser) &&
      (alone ? StartsWith(line, kUserConnected) : Has(line, kUserConnected))) {
    UserConnected(line);
    uncut = false;
    if (alone) return;
  }
  if (fires(kWordUser, "Server: User")) ClearRow(line, Pos("(", line) + 1);
  if (fires(kWordDisconnecting, "Server: Disconnecting")) ClearRow(line, Pos("(", line) - 2);
  if (fires(kWordLatency, kLatencyFor)) LatencyReported(line);
}

// The line becomes the server's name, the text between its first two quotes
// (all of it without quotes, what follows the quote when there is one only).
void TLineRules::ServerCreated(TView& line) {
  DeleteFront(line, Pos("\"", line));
  int quote = Pos("\"", line);
  if (quote > 0) line = line.substr(0, static_cast<size_t>(quote) - 1);
  Caption_ = "Server Status: " + std::string(line);
  CaptionPending_ = true;
  Session_.ServerName = "_" + BlanksToUnderscores(line);
}

// Settings changed by the server's chat commands; none of these cuts the line.
// Each trigger is "chat: Changing " and the setting's name, so the line holds a
// trigger exactly when one of its "chat: Changing " is followed by the name.
void TLineRules::SettingChanged(TView line, bool oneWordOpens) {
  constexpr TView kChanging = "chat: Changing ";
  enum : unsigned {
    kRealism = 1,
    kTrack = 2,
    kRaceType = 4,
    kAI = 8,
    kAICount = 16,
    kDamage = 32,
    kReverse = 64
  };
  static const struct {
    TView Name;
    unsigned Bit;
  } kSettings[] = {{"realism to", kRealism}, {"track", kTrack},          {"race_type", kRaceType},
                   {"ai_strength", kAI},     {"ai car count", kAICount}, {"damage_on", kDamage},
                   {"is_reversed", kReverse}};
  unsigned named = 0;
  // One "chat: Changing " that opens the line is the only one in it.
  size_t at = oneWordOpens ? 0 : Find(line, kChanging);
  for (; at != TView::npos; at = oneWordOpens ? TView::npos : Find(line, kChanging, at + 1)) {
    TView rest = line.substr(at + kChanging.size());
    for (const auto& setting : kSettings)
      if (StartsWith(rest, setting.Name)) named |= setting.Bit;
  }
  int i;
  if ((named & kRealism) && (i = FirstWordIn(line, kRealismWords)) >= 0)
    Session_.CurrentRealism = i;
  if ((named & kTrack) && (i = TrackInLine(line)) >= 0) Board_.SelectTrack(i, Session_.TrackNames);
  if ((named & kRaceType) && (i = FirstWordIn(line, kRaceTypeWords)) >= 0) Board_.SetRaceLength(i);
  if ((named & kAI) && (i = FirstWordIn(line, kAIWords)) >= 0) Board_.SetAIStrength(i);
  if (named & kAICount) Board_.AICount.assign(line.substr(line.size() - 1));
  if ((named & kDamage) && (i = FirstWordIn(line, kDamageWords)) >= 0) Board_.Damage = i == 1;
  if ((named & kReverse) && (i = FirstWordIn(line, kReverseWords)) >= 0) Board_.Reverse = i == 1;
}

// A player joined. The trigger's length is cut from the front of the line
// wherever the trigger stands, so the leave rule after it no longer sees
// "Server: User" when the trigger opened the line.
void TLineRules::UserConnected(TView& line) {
  DeleteFront(line, static_cast<int>(kUserConnected.size()));
  int paren = Pos("(", line);
  int row = SlotRow(line, paren + 1);
  if (row < 0) return;
  TDriverRow& driver = Board_.Drivers[static_cast<size_t>(row)];
  // Assigned in place: a row that is filled again keeps the room its texts had.
  driver.Slot.assign(Copy(line, paren + 1, 1));
  driver.Name.assign(Trim(Copy(line, 1, paren - 2)));
  driver.Address.assign(Trim(Copy(line, Pos("@", line) + 2, 16)));
}

// A player left; the slot character sits at digitAt.
void TLineRules::ClearRow(TView line, int digitAt) {
  int row = SlotRow(line, digitAt);
  if (row < 0) return;
  TDriverRow& driver = Board_.Drivers[static_cast<size_t>(row)];
  // Emptied in place, keeping the room for the next player in the slot.
  driver.Slot.clear();
  driver.Name.clear();
  driver.Address.clear();
  driver.Latency.clear();
}

namespace {

// The rows' names are short: comparing them by hand beats a library call.
bool SameText(const std::string& a, TView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < b.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

// "latency for NAME is N". The line is cut by the trigger's length, the name is
// what stands before " is ", and the latency is what is left after cutting the
// name's length and four more characters (a blank, the name, a blank and "is"
// of the untrimmed line).
void TLineRules::LatencyReported(TView line) {
  DeleteFront(line, static_cast<int>(kLatencyFor.size()));
  TView name = Trim(Copy(line, 1, Pos(" is ", line) - 1));
  int row = -1;
  for (int r = 0; r < TRaceBoard::kDriverRows && row < 0; ++r)
    if (SameText(Board_.Drivers[static_cast<size_t>(r)].Name, name)) row = r;
  if (row < 0) return;
  DeleteFront(line, static_cast<int>(name.size()) + 4);
  Board_.Drivers[static_cast<size_t>(row)].Latency.assign(Trim(line));
}
