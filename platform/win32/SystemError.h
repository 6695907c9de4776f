#pragma once

#include <string>

// The system's text for a Win32 error code, without the trailing line end.
std::string SystemErrorText(unsigned long code);
