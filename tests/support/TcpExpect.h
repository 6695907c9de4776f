#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <typeinfo>

// Runs f and checks that it raises an error of class E with exactly this
// message text; says what happened instead when it does not.
template <typename E, typename F>
::testing::AssertionResult Raises(F&& f, const std::string& text) {
  try {
    f();
  } catch (const E& e) {
    if (e.what() == text) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "message \"" << e.what() << "\", wanted \"" << text << "\"";
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure()
           << "raised " << typeid(e).name() << " \"" << e.what() << "\", wanted \"" << text << "\"";
  }
  return ::testing::AssertionFailure() << "raised nothing, wanted \"" << text << "\"";
}
