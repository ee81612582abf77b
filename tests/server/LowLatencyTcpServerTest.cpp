#include "http/LowLatencyTcpServer.h"

#include <QHttpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

TEST(LowLatencyTcpServer, ConnectionsSendWithoutNagleDelayAndHttpServerListensThroughIt)
{
    LowLatencyTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket* accepted = server.nextPendingConnection();
    ASSERT_NE(accepted, nullptr);
    EXPECT_EQ(accepted->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);

    QHttpServer http;
    const quint16 port = listenWithLowLatency(http, QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);
    ASSERT_EQ(http.servers().size(), 1);
    EXPECT_NE(dynamic_cast<LowLatencyTcpServer*>(http.servers().first()), nullptr);
    QHttpServer second;
    EXPECT_EQ(listenWithLowLatency(second, QHostAddress::LocalHost, port), 0);
    EXPECT_TRUE(second.servers().isEmpty());
}

} // namespace
} // namespace velnor::server
