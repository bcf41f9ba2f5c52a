#include <gtest/gtest.h>

#include "text/WStrUtils.h"

TEST(Exception, WhatIsTheMessageInUtf8) { EXPECT_STREQ(Exception(u"\u00e7a").what(), "\xc3\xa7" "a"); }
