#include "backend/HotWordManager.h"
#include "backend/support/ClientFixture.h"

#include <QJsonArray>

#include <gmock/gmock.h>

namespace velnor {
namespace {

using Done = Result<std::monostate, ServiceError>;
using test::FakeHttpTransport;
using ::testing::ElementsAre;
using ::testing::Field;

QByteArray listBody(int count, const QString& prefix = QStringLiteral("w"))
{
    QJsonArray words;
    for (int i = 0; i < count; ++i)
        words.append(QJsonObject{{QStringLiteral("text"), prefix + QString::number(i)}, {QStringLiteral("weight"), 5}});
    return QJsonDocument(QJsonObject{{QStringLiteral("code"), 0}, {QStringLiteral("data"), words}})
        .toJson(QJsonDocument::Compact);
}

QJsonObject word(const char* text, int weight)
{
    return QJsonObject{{QStringLiteral("text"), QString::fromUtf8(text)}, {QStringLiteral("weight"), weight}};
}

class HotWordsTest : public test::ClientFixture {
protected:
    HotWordsTest()
    {
        EXPECT_EQ(transport.count(), 1); // the start-up fetch
        EXPECT_FALSE(transport.last().body.has_value()) << "a GET carries no body";
        EXPECT_FALSE(log.mentions(QStringLiteral("请求参数")));
        EXPECT_TRUE(manager.isLoading());
    }

    HotwordService service{client, log.logger()};
    HotWordManager manager{service, log.printSink()};
    std::optional<Done> done;
};

// A failed fetch keeps the cache, a null list empties it; getAll fetches only
// for an empty cache.
TEST_F(HotWordsTest, FailedOrEmptyFetches)
{
    transport.respondBody(listBody(2));
    QList<HotWord> returned;
    manager.getHotwordList([&](const QList<HotWord>& list) { returned = list; });
    transport.respondError(TransportErrorKind::Other);
    EXPECT_EQ(returned.size(), 2);
    EXPECT_EQ(manager.cachedHotWords().size(), 2);
    EXPECT_FALSE(manager.isLoading());
    EXPECT_TRUE(log.printed().contains(QStringLiteral("获取热词列表失败: 网络请求失败: Connection refused")));

    manager.getHotwordList();
    transport.respondBody(R"({"code":0,"data":null})");
    EXPECT_TRUE(manager.cachedHotWords().isEmpty());
    manager.getAllHotWords([&](const QList<HotWord>& list) { returned = list; });
    ASSERT_EQ(transport.count(), 4);
    transport.respondBody(listBody(1));
    EXPECT_EQ(returned.size(), 1);
    manager.getAllHotWords([&](const QList<HotWord>& list) { returned = list; });
    EXPECT_EQ(transport.count(), 4);
}

TEST_F(HotWordsTest, AnOlderListNeverReplacesANewerOne)
{
    // The start-up fetch (call 0) is still running when an add refreshes the list.
    manager.addHotword(QStringLiteral("new"), 5, into(done));
    transport.respond(1, FakeHttpTransport::bodyResponse(R"({"code":0,"data":true})"));
    ASSERT_EQ(transport.count(), 3);
    transport.respond(2, FakeHttpTransport::bodyResponse(R"({"code":0,"data":[{"text":"new","weight":5}]})"));
    ASSERT_TRUE(done && done->ok());
    EXPECT_FALSE(manager.isLoading()) << "the newest fetch has ended";
    transport.respond(0, FakeHttpTransport::bodyResponse(R"({"code":0,"data":[]})"));
    EXPECT_THAT(manager.cachedHotWords(), ElementsAre(Field(&HotWord::text, "new"))) << "the just-added word vanished";

    // Two refreshes answered in order: loading lasts until the second ends.
    QList<HotWord> answered;
    manager.getHotwordList([&](const QList<HotWord>& list) { answered = list; });
    manager.getHotwordList();
    transport.respond(3, FakeHttpTransport::bodyResponse(listBody(1, QStringLiteral("a"))));
    EXPECT_TRUE(manager.isLoading());
    EXPECT_EQ(answered.size(), 1);
    const QUuid idA0 = manager.cachedHotWords().at(0).id;
    transport.respond(4, FakeHttpTransport::bodyResponse(R"({"code":0,"data":[{"text":"b","weight":9},{"text":"a0","weight":1}]})"));
    EXPECT_FALSE(manager.isLoading());
    // The backend's order; a text already cached keeps its id and takes the new weight.
    EXPECT_THAT(manager.cachedHotWords(), ElementsAre(Field(&HotWord::text, "b"), Field(&HotWord::text, "a0")));
    EXPECT_EQ(manager.cachedHotWords().at(1).id, idA0);
    EXPECT_EQ(manager.cachedHotWords().at(1).weight, 1.0);
    EXPECT_NE(manager.cachedHotWords().at(0).id, idA0);
}

// The fiftieth word is sent and done only after the refresh; weights still
// change at fifty, but a fifty-first word is refused at once, without a request.
TEST_F(HotWordsTest, AddIsDoneAfterTheRefreshAndRefusedAtFifty)
{
    transport.respondBody(listBody(49));
    manager.addHotword(QStringLiteral("new"), 7.9, into(done));
    ASSERT_EQ(transport.count(), 2);
    EXPECT_EQ(transport.last().method, "POST");
    EXPECT_EQ(jsonBody(1), word("new", 7));
    transport.respondBody(R"({"code":0,"data":true})");
    EXPECT_FALSE(done.has_value()); // not before the refresh
    ASSERT_EQ(transport.count(), 3);
    transport.respondBody(listBody(50));
    ASSERT_TRUE(done && done->ok());
    EXPECT_EQ(manager.cachedHotWords().size(), 50);

    // A listed word's weight still changes at a full list, clamped.
    for (const auto& [weight, sent] : {std::pair<qint64, int>{8, 8}, {0, 1}, {40, 11}}) {
        const qsizetype before = transport.count();
        manager.updateHotwordWeight(QStringLiteral("w3"), weight, into(done));
        ASSERT_EQ(transport.count(), before + 1) << weight;
        EXPECT_EQ(transport.last().method, "POST"); // never a delete: the word cannot get lost
        EXPECT_EQ(jsonBody(before), word("w3", sent));
        transport.respondBody(R"({"code":0,"data":true})");
        transport.respondBody(listBody(50));
        ASSERT_TRUE(done && done->ok()) << weight;
    }
    EXPECT_EQ(HotWordManager::wireWeight(std::nan("")), 0);
    EXPECT_EQ(HotWordManager::wireWeight(1e300), std::numeric_limits<qint64>::max());

    const qsizetype before = transport.count();
    manager.addHotword(QStringLiteral("one more"), 3, into(done));
    EXPECT_EQ(transport.count(), before);
    ASSERT_TRUE(done && !done->ok());
    EXPECT_EQ(done->error().domain, QStringLiteral("HotWordManager"));
    EXPECT_EQ(done->error().code, 1);
}

// A failed change says why and refreshes nothing; one about a word that is
// not cached sends nothing.
TEST_F(HotWordsTest, FailedChangesSayWhy)
{
    transport.respondBody(R"({"code":0,"data":[{"text":"abc","weight":5}]})");
    using Change = std::function<void(HotWordManager&, HotWordManager::DoneCallback)>;
    const Change add = [](HotWordManager& m, auto cb) { m.addHotword(QStringLiteral("x"), -2.7, cb); };
    const Change remove = [](HotWordManager& m, auto cb) { m.deleteHotword(QStringLiteral("abc"), 9, cb); };
    const Change removeUnknown = [](HotWordManager& m, auto cb) { m.deleteHotword(QStringLiteral("zzz"), 5, cb); };
    const Change reweighUnknown = [](HotWordManager& m, auto cb) { m.updateHotwordWeight(QStringLiteral("zzz"), 5, cb); };
    // Without an answer, no request goes out.
    for (const auto& [change, answer, error] : {
             std::tuple<Change, const char*, const char*>{add, R"({"code":0,"data":false})", R"(Error Domain=HotWordManager Code=3 "添加热词API调用返回失败")"},
             {add, R"({"code":1001,"msg":"duplicate"})", R"(Error Domain=HotwordServiceErrorDomain Code=1001 "API错误: duplicate")"},
             {remove, R"({"code":0,"data":false})", R"(Error Domain=HotWordManager Code=5 "删除热词API调用返回失败")"},
             {removeUnknown, nullptr, R"(Error Domain=HotWordManager Code=4 "尝试删除的热词不在本地缓存中")"},
             {reweighUnknown, nullptr, R"(Error Domain=HotWordManager Code=4 "尝试修改的热词不在本地缓存中")"},
         }) {
        SCOPED_TRACE(error);
        const qsizetype before = transport.count();
        change(manager, into(done));
        ASSERT_EQ(transport.count(), before + (answer ? 1 : 0));
        if (answer)
            transport.respondBody(answer);
        EXPECT_EQ(test::outcomeText(done), error);
        EXPECT_EQ(transport.count(), before + (answer ? 1 : 0)) << "no refresh after a failure";
    }
    EXPECT_EQ(jsonBody(1).value(QStringLiteral("weight")).toInt(), -2);
    EXPECT_EQ(transport.request(3).method, "DELETE");
    EXPECT_EQ(jsonBody(3), word("abc", 5)) << "a delete names the cached entry";
    EXPECT_TRUE(log.printed().contains(QStringLiteral("调用API添加热词失败: 添加热词API调用返回失败")));
}

} // namespace
} // namespace velnor
