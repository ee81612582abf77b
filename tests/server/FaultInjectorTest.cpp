#include "http/FaultInjector.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

TEST(FaultInjector, OutOfRangeValuesAreRefused)
{
    QString path;
    QString error;
    EXPECT_FALSE(Fault::fromJson({{"path", "qasr/adjust"}}, &path, &error));
    EXPECT_FALSE(Fault::fromJson({{"path", "/a"}, {"delay_ms", -1}}, &path, &error));
    EXPECT_FALSE(Fault::fromJson({{"path", "/a"}, {"count", 0}}, &path, &error));
    EXPECT_FALSE(Fault::fromJson({{"path", "/a"}, {"count", 1.5}}, &path, &error));
    EXPECT_FALSE(Fault::fromJson({{"path", "/a"}, {"http_status", 99}}, &path, &error));
    EXPECT_FALSE(Fault::fromJson({{"path", "/a"}, {"http_status", "500"}}, &path, &error));
    EXPECT_FALSE(error.isEmpty());
    const auto defaults = Fault::fromJson({{"path", "/a"}}, &path, &error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->count, 1);
    EXPECT_EQ(defaults->httpStatus, 0);
}

} // namespace
} // namespace velnor::server
