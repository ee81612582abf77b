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
}

} // namespace
} // namespace velnor::server
