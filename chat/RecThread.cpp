#include "chat/RecThread.h"

#include "chat/ChatBounds.h"
#include "chat/Envelope.h"
#include "session/StrUtils.h"

TRecThread::TRecThread(TSession& session, TIdTCPConnection& connection, TUiBridge& ui,
                       std::function<void()> connectionLost)
    : Session_(session),
      Connection_(connection),
      Ui_(ui),
      ConnectionLost_(std::move(connectionLost)) {
  Start();
}

TRecThread::~TRecThread() {
  StopAndWait();
}

void StopReceiveThread(TThread& thread, TUiBridge& ui) {
  thread.Terminate();
  if (ui.OnUiThread())
    ui.ServeUntilFinished(thread);
  else
    thread.WaitFor();
}

void TRecThread::StopAndWait() {
  StopReceiveThread(*this, Ui_);
}

void TRecThread::ReadMessage() {
  ReceivedText.clear();
  for (;;) {
    char c = Connection_.ReceiveChar();
    ReceivedText += c;
    if (c == '>' || ReceivedText.size() >= kMaxMessage) return;
  }
}

void TRecThread::Execute() {
  while (!Terminated()) {
    try {
      ReadMessage();
    } catch (const EIdReadTimeout&) {
      // A quiet chat server: the bytes of a half-read message are dropped and
      // the stop request gets its look.
      continue;
    } catch (const EIdException& e) {
      // The connection has died (closed by the peer or by this side, or a
      // socket error): every further read would fail at once. The loop ends,
      // and the watcher's next connect starts a new one. A reset leaves the
      // socket open (only a close met by a read closes it), and a link that
      // no longer reads would go on passing for connected, its pings
      // unanswered, until a send happened to fail: it is closed here, so the
      // next pass signs on again.
      if (!Terminated()) {
        Session_.LinkLog.Lost(dynamic_cast<const EIdConnClosedGracefully*>(&e)
                                  ? std::string("closed by the chat server")
                                  : std::string(e.what()));
        Connection_.CloseConnection();
        if (ConnectionLost_) ConnectionLost_();
      }
      return;
    } catch (...) {
      continue;
    }
    try {
      Session_.ResponseLog.WriteLine(ReceivedText);
      Ui_.Send([this] { HandleReceived(); });
    } catch (...) {
      // A failed copy or a failed pong costs that one message only.
    }
  }
}

void TRecThread::HandleReceived() {
  std::string& r = ReceivedText;
  if (Str::Pos("/ping", r) == 0) return;
  Str::Delete(r, 1, Str::Pos("\t", r));
  const std::string firstField = Str::Copy(r, 1, Str::Pos("\t", r) - 1);
  Str::Delete(r, 1, Str::Pos("\t", r));
  // For a well-formed envelope these are the closing "\"/>".
  if (r.size() >= 3) r.erase(r.size() - 3);
  // On the user-interface thread: a chat server that no longer reads costs
  // the link, not the window.
  try {
    Connection_.SendLine(ChatEnvelope("/pong\t" + firstField + "\t" + r), kWindowSendBound);
  } catch (const EIdException& e) {
    // The bound closed the link: told now, before the watcher connects anew.
    if (!Connection_.IsConnected()) Session_.LinkLog.Lost(e.what());
    throw;
  }
  Session_.ResponseLog.WriteLine(r);
}
