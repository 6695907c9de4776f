#include "chat/ListTexts.h"

#include "session/StrUtils.h"

std::string TrackListText(const TTrackList& trackNames) {
  std::string text = "TRACKS:";
  for (const std::string& name : trackNames)
    text += " " + Str::BlanksToUnderscores(Str::Trim(name));
  return text;
}

std::string CarListText(const std::array<std::string, 13>& carNames) {
  std::string text = "CARS:";
  for (const std::string& name : carNames) {
    std::string trimmed = Str::Trim(name);
    text += trimmed.empty() ? std::string(" *") : " " + Str::BlanksToUnderscores(trimmed);
  }
  return text;
}
