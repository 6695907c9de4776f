#pragma once

// Control identifiers of the status window. A radio group's items follow its
// own identifier (RGRalism's "Arcade" is kIdRGRalism + 1).
enum TMainControlId : int {
  kIdRGRalism = 1000,
  kIdRGRaceLen = 1010,
  kIdRGAIStr = 1020,
  kIdCBDemage = 1030,
  kIdCBRace,
  kIdCBReverse,
  kIdLedRosso,
  kIdLedVerde,
  kIdlchat,
  kIdLabel1,
  kIdAICC,
  kIdLabel2,
  kIdCBTrack,
  kIdSGRacer,
};
