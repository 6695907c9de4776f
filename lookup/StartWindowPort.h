#pragma once

// What the start sequence needs of the status window: the menu item "Retrive
// Auto IP", which lets the user repeat a failed lookup.
class TStartWindowPort {
 public:
  virtual ~TStartWindowPort() = default;
  virtual void EnableRetriveAutoIP(bool enabled) = 0;
};
