// The controls as the view of the race board, both ways: the board's changes
// are put on the controls on the user-interface thread, and a change the user
// makes in a control goes to the board at once, under the session's lock.
#include <mutex>
#include <vector>

#include "app/ControlIds.h"
#include "app/MainWindow.h"
#include "app/Resources.h"

namespace {
bool Checked(HWND button) {
  return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND button, bool checked) {
  SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TextOf(HWND control) {
  int length = GetWindowTextLengthA(control);
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  int n = GetWindowTextA(control, buffer.data(), length + 1);
  return std::string(buffer.data(), static_cast<size_t>(n > 0 ? n : 0));
}

void SetTextIfDiffers(HWND control, const std::string& text) {
  if (TextOf(control) != text) SetWindowTextA(control, text.c_str());
}

// Marks the view as writing to its controls for as long as it lives.
class TUpdating {
 public:
  explicit TUpdating(bool& flag) : Flag_(flag), Previous_(flag) { Flag_ = true; }
  ~TUpdating() { Flag_ = Previous_; }

 private:
  bool& Flag_;
  bool Previous_;
};
}  // namespace

void TfmMain::ShowBoard() {
  TRaceBoard board;
  {
    std::lock_guard<std::mutex> lock(Session.StateLock);
    board = Board;
  }
  TUpdating updating(Updating_);
  RGRalism.SetItemIndex(board.Realism());
  RGRaceLen.SetItemIndex(board.RaceLength());
  RGAIStr.SetItemIndex(board.AIStrength());
  SetChecked(CBDemage, board.Damage);
  SetChecked(CBReverse, board.Reverse);
  // The indicator's caption and colour follow InRace whenever the controller
  // set it; a click of the user flipped only the check mark.
  if (board.InRaceSets != ShownInRaceSets_)
    ShowInRace(board.InRace, board.InRaceSets);
  else if (board.InRace != Checked(CBRace))
    SetChecked(CBRace, board.InRace);
  SetTextIfDiffers(AICC, board.AICount);
  ShowTrackList();
  if (SendMessageA(CBTrack, CB_GETCURSEL, 0, 0) != board.TrackIndex())
    SendMessageA(CBTrack, CB_SETCURSEL, static_cast<WPARAM>(board.TrackIndex()), 0);
  SetTextIfDiffers(CBTrack, board.TrackText());
  for (int row = 0; row < TRaceBoard::kDriverRows; ++row) {
    const TDriverRow& driver = board.Drivers[static_cast<size_t>(row)];
    SGRacer.SetCell(0, row, driver.Slot);
    SGRacer.SetCell(1, row, driver.Name);
    SGRacer.SetCell(2, row, driver.Address);
    SGRacer.SetCell(3, row, driver.Latency);
  }
}

void TfmMain::Repaint() {
  ShowTrackList();
  ShowBoard();
  RedrawWindow(Handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TfmMain::ShowTrackList() {
  // The list entries are the track names in order; they change only when the
  // Track dialog saves.
  TTrackList names = Session.TrackNames;
  bool same = SendMessageA(CBTrack, CB_GETCOUNT, 0, 0) == static_cast<LRESULT>(names.size());
  for (size_t i = 0; same && i < names.size(); ++i) {
    LRESULT length = SendMessageA(CBTrack, CB_GETLBTEXTLEN, i, 0);
    std::vector<char> item(static_cast<size_t>(length < 0 ? 0 : length) + 1);
    SendMessageA(CBTrack, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    same = names[i] == item.data();
  }
  if (same) return;
  TUpdating updating(Updating_);
  std::string text = TextOf(CBTrack);
  LRESULT selected = SendMessageA(CBTrack, CB_GETCURSEL, 0, 0);
  SendMessageA(CBTrack, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names)
    SendMessageA(CBTrack, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageA(CBTrack, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  SetWindowTextA(CBTrack, text.c_str());
}

void TfmMain::SetInRace(bool inRace) {
  unsigned sets;
  {
    std::lock_guard<std::mutex> lock(Session.StateLock);
    Board.SetInRace(inRace);
    sets = Board.InRaceSets;
  }
  ShowInRace(inRace, sets);
}

void TfmMain::ShowInRace(bool inRace, unsigned sets) {
  TUpdating updating(Updating_);
  ShownInRaceSets_ = sets;
  SetChecked(CBRace, inRace);
  SetWindowTextA(CBRace, inRace ? "In Race" : "Available");
  RaceColour_ = inRace ? kRed : kGreen;
  InvalidateRect(CBRace, nullptr, TRUE);
}

void TfmMain::ControlChanged(int id, int code) {
  if (Updating_) return;
  std::unique_lock<std::mutex> lock(Session.StateLock, std::defer_lock);
  if (code == BN_CLICKED) {
    if (int item = RGRalism.ItemOf(id); item >= 0) {
      RGRalism.SetItemIndex(item);
      lock.lock();
      Board.SetRealism(item);
    } else if (int item = RGRaceLen.ItemOf(id); item >= 0) {
      RGRaceLen.SetItemIndex(item);
      lock.lock();
      Board.SetRaceLength(item);
    } else if (int item = RGAIStr.ItemOf(id); item >= 0) {
      RGAIStr.SetItemIndex(item);
      lock.lock();
      Board.SetAIStrength(item);
    } else if (id == kIdCBDemage) {
      bool checked = Checked(CBDemage);
      lock.lock();
      Board.Damage = checked;
    } else if (id == kIdCBReverse) {
      bool checked = Checked(CBReverse);
      lock.lock();
      Board.Reverse = checked;
    } else if (id == kIdCBRace) {
      // Only the check mark and InRace: caption and colour stay as they are
      // until the controller next sets InRace.
      bool checked = Checked(CBRace);
      lock.lock();
      Board.InRace = checked;
    }
  } else if (id == kIdAICC && code == EN_CHANGE) {
    std::string text = TextOf(AICC);
    lock.lock();
    Board.AICount = text;
  } else if (id == kIdCBTrack && code == CBN_SELCHANGE) {
    int index = static_cast<int>(SendMessageA(CBTrack, CB_GETCURSEL, 0, 0));
    lock.lock();
    Board.SelectTrack(index, Session.TrackNames);
  } else if (id == kIdCBTrack && code == CBN_EDITCHANGE) {
    std::string text = TextOf(CBTrack);
    lock.lock();
    Board.SetTrackText(text);
  }
}

void TfmMain::FormPaint() {
  // The board's realism is what the log last announced: a choice the user made
  // in the radio group lasts until the next paint.
  int realism;
  {
    std::lock_guard<std::mutex> lock(Session.StateLock);
    Board.SetRealism(Session.CurrentRealism);
    realism = Board.Realism();
  }
  if (RGRalism.ItemIndex() != realism) {
    TUpdating updating(Updating_);
    RGRalism.SetItemIndex(realism);
  }
}

void TfmMain::ShowChatState(int state) {
  if (!Bridge_.OnUiThread()) {
    Bridge_.Post([this, state] { ShowChatState(state); });
    return;
  }
  if (state != 0 && state != 1) return;
  bool connected = state == 0;
  ShowWindow(LedRosso, connected ? SW_HIDE : SW_SHOW);
  ShowWindow(LedVerde, connected ? SW_SHOW : SW_HIDE);
  ChatColour_ = connected ? kGreen : kRed;
  InvalidateRect(lchat, nullptr, TRUE);
  EnableMenuItem(MainMenu1, IDM_CHAT1, MF_BYCOMMAND | (connected ? MF_GRAYED : MF_ENABLED));
}

void TfmMain::EnableRetriveAutoIP(bool enabled) {
  EnableMenuItem(MainMenu1, IDM_RETRIVEAUTOIP1, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TfmMain::SetCaption(const std::string& caption) {
  if (!Bridge_.OnUiThread()) {
    Bridge_.Post([this, caption] { SetCaption(caption); });
    return;
  }
  SetWindowTextA(Handle_, caption.c_str());
}

void TfmMain::ShowModalMessage(const std::string& text) {
  // The watcher waits until the user has closed the box.
  Bridge_.Send([this, &text] { Messages_->ShowMessage(text); });
}

void TfmMain::BoardChanged() {
  if (!Bridge_.OnUiThread()) {
    Bridge_.Post([this] { ShowBoard(); });
    return;
  }
  ShowBoard();
}
