#pragma once

#include <vector>

#include "lookup/StartWindowPort.h"

// The status window's "Retrive Auto IP" item; records every change.
class TRecordingStartWindow : public TStartWindowPort {
 public:
  void EnableRetriveAutoIP(bool enabled) override { Calls.push_back(enabled); }
  std::vector<bool> Calls;
};
