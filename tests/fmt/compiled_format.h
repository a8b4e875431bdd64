// A format compiled from its text for a test, freed at the end of scope.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "rtl/for_rtl.h"

struct compiled {
  uint8_t *pack = nullptr;
  explicit compiled(const char *text) {
    EXPECT_EQ(for__format_compiler(text, static_cast<int64_t>(strlen(text)), &pack, 0), 0) << text;
  }
  ~compiled() { for__format_free(pack); }
  compiled(const compiled &) = delete;
  compiled &operator=(const compiled &) = delete;
};
