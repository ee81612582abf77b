#include "http/FaultInjector.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

TEST(FaultInjector, FaultsLastForTheirCountAndOnlyOnTheirPath)
{
    FaultInjector faults;
    QString path;
    QString error;
    const auto fault = Fault::fromJson({{"path", "/qasr/adjust"}, {"envelope_code", 500}, {"count", 2}}, &path, &error);
    ASSERT_TRUE(fault) << error.toStdString();
    faults.arm(path, *fault);

    EXPECT_FALSE(faults.take(QStringLiteral("/qasr/recognize")));
    EXPECT_FALSE(faults.drops(QStringLiteral("/qasr/adjust"))) << "not a drop fault";
    EXPECT_EQ(faults.take(path)->envelopeCode, 500);
    EXPECT_EQ(faults.take(path)->envelopeCode, 500);
    EXPECT_FALSE(faults.take(path));

    faults.arm(path, *Fault::fromJson({{"path", "/qasr/adjust"}, {"drop_connection", true}, {"delay_ms", 40}}, &path, &error));
    EXPECT_TRUE(faults.drops(path));
    EXPECT_EQ(faults.dropDelayMs(), 40);
    EXPECT_FALSE(faults.drops(path)) << "used up";

    faults.arm(path, *fault);
    faults.clear();
    EXPECT_FALSE(faults.take(path));
}

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
