#pragma once

#include <gtest/gtest.h>

#include <string>

#include "lookup/Http.h"

// Runs FetchUrl and returns the protocol error it raised; a fetch that raises
// none fails the test.
inline EIdHTTPProtocolException FetchError(TIdHTTP& http, const std::string& url) {
  try {
    http.FetchUrl(url);
  } catch (const EIdHTTPProtocolException& e) {
    return e;
  }
  ADD_FAILURE() << "no EIdHTTPProtocolException from " << url;
  return EIdHTTPProtocolException("", 0, "");
}
