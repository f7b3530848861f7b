#include "common/ConfigFormat.h"

#include <gtest/gtest.h>

using namespace zen::config;

TEST(FieldReader, ReadsQuotedFieldsLineByLine) {
    FieldReader r("\"ON\"\r\n\"OFF\"\r\n");
    EXPECT_EQ(r.next(), "ON");
    EXPECT_EQ(r.next(), "OFF");
    EXPECT_EQ(r.next(), "");
}
