#include "dialogs/TrackOpz.h"

#include "dialogs/DialogResources.h"
#include "session/SaveJournal.h"
#include "session/Settings.h"

TfmTrack::TfmTrack(HWND owner, TMessageBoxPort& messages)
    : Form(owner, messages, kCaption, kWidth, kHeight) {
  // Two columns of four, TRK1..TRK4 on the left; each label comes before its
  // edit, so TAB runs TRK1..TRK8, then "Save", then "Cancel".
  for (int n = 1; n <= kTracks; ++n) {
    const int row = (n - 1) % 4;
    const bool right = n > 4;
    Form.AddLabel("Track N\xB0 " + std::to_string(n) + ":", right ? 262 : 6, 12 + 24 * row,
                  kIdLabel1 + n - 1);
    TRK[n - 1] = Form.AddEdit(right ? 320 : 64, 8 + 24 * row, 185, 21, kIdTRK1 + n - 1);
  }
  BitBtn1 = Form.AddGlyphButton("Save", IDB_SAVEGLYPH, 112, 112, 75, 25, kIdBitBtn1);
  BitBtn2 = Form.AddGlyphButton("Cancel", IDB_CANCELGLYPH, 328, 112, 75, 25, kIdBitBtn2);
  Form.OnCommand([this](int id, int code) {
    if (id == kIdBitBtn1 && code == BN_CLICKED) BitBtn1Click();
  });
}

void TfmTrack::LoadTracks(const TTrackList& names, TTrackList& trackList,
                          std::mutex& trackListLock) {
  for (int n = 0; n < kTracks; ++n) SetWindowTextA(TRK[n], names[n].c_str());
  TrackList_ = &trackList;
  TrackListLock_ = &trackListLock;
}

TTrackList TfmTrack::Names() const {
  TTrackList names;
  for (int n = 0; n < kTracks; ++n) names[n] = TDialogWindow::Text(TRK[n]);
  return names;
}

void TfmTrack::BitBtn1Click() {
  TTrackList names = Names();
  // A failed write leaves here with its error; the list stays as it was.
  const TSaveResult result = JournalSave(
      Journal, "Track", [&] { return SaveTrackNames(names, Form.Messages()); },
      [] { return std::string("TRK1..TRK8"); });
  if (result == TSaveResult::Saved && TrackList_) {
    std::lock_guard<std::mutex> lock(*TrackListLock_);
    *TrackList_ = names;
  }
  Form.Close(IDOK);
}
