// Feeds arbitrary bytes to the line client through the memory socket layer and
// reads them back with an arbitrary mix of ReceiveLine, ReceiveChar,
// ReceiveBytes and PollForClose, then ReceiveUntilClose. Every byte handed out
// is checked against a model of the stream: nothing lost, repeated or out of
// order, lines cut at the right LF with one CR removed, split pieces of the
// right length, the unfinished line at the close kept. A mismatch, a crash or
// an error outside the line client's is a finding.
//
// Input: [options][split][count][count program bytes][stream...]

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "chat/TcpConnection.h"
#include "support/TcpMemorySocket.h"

namespace {

const int kLineLengths[] = {0, 1, 2, 5, 16, 16384};
const int kBufferSizes[] = {1, 2, 3, 7, 64, 32768};

void Check(bool ok) {
  if (!ok) std::abort();
}

struct TModel {
  std::string Stream;
  size_t At = 0;  // bytes handed out so far
  std::string Rest() const { return Stream.substr(At); }
};

void CheckLine(TModel& model, const std::string& line, int limit, TIdMaxLineAction action) {
  const std::string rest = model.Rest();
  const size_t lf = rest.find('\n');
  Check(line.find('\n') == std::string::npos);
  const size_t max = static_cast<size_t>(limit);
  if (limit > 0 && action == maSplit && line.size() == max &&
      (lf == std::string::npos || lf > max)) {
    Check(line == rest.substr(0, max));
    model.At += max;
    return;
  }
  if (lf == std::string::npos) {
    // The close met an unfinished line: it stays buffered.
    Check(line.empty());
    return;
  }
  Check(limit == 0 || lf <= max);
  std::string expected = rest.substr(0, lf);
  if (!expected.empty() && expected.back() == '\r') expected.pop_back();
  Check(line == expected);
  model.At += lf + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t options = data[0];
  const size_t split = data[1] == 0 ? size : data[1];
  const size_t programSize = std::min<size_t>(data[2], size - 3);
  const uint8_t* program = data + 3;
  TModel model;
  model.Stream.assign(reinterpret_cast<const char*>(program + programSize), size - 3 - programSize);

  auto stack = std::make_shared<TMemorySocketStack>();
  auto peer = stack->AddPeer();
  for (size_t at = 0; at < model.Stream.size(); at += split)
    peer->Feed(model.Stream.substr(at, split));
  peer->Close();

  TIdTCPClient client;
  client.UseSocketStack(stack);
  client.Host = "127.0.0.1";
  client.Port = 7777;
  client.ReadTimeout = 1000;  // the peer never leaves a read waiting; this only bounds a fault
  client.MaxLineLength = kLineLengths[options % 6];
  client.MaxLineAction = (options & 0x80) ? maSplit : maException;
  client.RecvBufferSize = kBufferSizes[(options >> 3) % 6];
  client.OpenConnection();

  for (size_t i = 0; i < programSize; ++i) {
    const uint8_t op = program[i];
    try {
      switch (op & 3) {
        case 0:
          CheckLine(model, client.ReceiveLine(), client.MaxLineLength, client.MaxLineAction);
          break;
        case 1: {
          const char c = client.ReceiveChar();
          Check(model.At < model.Stream.size() && c == model.Stream[model.At]);
          ++model.At;
          break;
        }
        case 2: {
          std::string got;
          const size_t count = op >> 2;
          try {
            client.ReceiveBytes(count, got);
          } catch (const EIdException&) {
            Check(got.size() <= count && got == model.Rest().substr(0, got.size()));
            model.At += got.size();
            throw;
          }
          Check(got.size() <= count && got == model.Rest().substr(0, got.size()));
          Check(got.size() == count || !client.IsConnected());
          model.At += got.size();
          break;
        }
        default:
          client.PollForClose();
          break;
      }
    } catch (const EIdConnClosedGracefully&) {
    } catch (const EIdNotConnected&) {
    } catch (const EIdReadLnMaxLineLengthExceeded&) {
      Check(client.MaxLineAction == maException && client.MaxLineLength > 0);
    }
  }
  std::string tail;
  try {
    client.ReceiveUntilClose(tail);
  } catch (const EIdNotConnected&) {
  }
  Check(tail == model.Rest());
  return 0;
}
