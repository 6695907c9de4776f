#include "platform/MessageBox.h"

#include <cstdio>

void TPlatformMessageBox::ShowMessage(const std::string& text) {
  if (OnShow) OnShow(text);
  std::fprintf(stderr, "%s: %s\n", kApplicationTitle, text.c_str());
}

void TPlatformMessageBox::ShowError(const std::string& text) {
  if (OnShow) OnShow(text);
  std::fprintf(stderr, "%s: error: %s\n", kApplicationTitle, text.c_str());
}
