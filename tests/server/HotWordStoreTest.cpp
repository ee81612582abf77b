#include "ManualClock.h"

#include "accounts/AccountStore.h"
#include "hotwords/HotWordStore.h"
#include "records/RecognitionRecords.h"
#include "storage/Database.h"

#include "support/TempDir.h"

#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

using Status = HotWordStore::Status;

// Two users' records in a fresh database.
class Stores : public ::testing::Test {
protected:
    velnor::test::TempDir dir;
    test::ManualClock clock;
    const std::unique_ptr<Database> database = Database::open(dir.path(), nullptr);
    AccountStore accounts{*database, clock};
    const qint64 first = accounts.signIn(QStringLiteral("13800000001"), QString()).value().id;
    const qint64 second = accounts.signIn(QStringLiteral("13800000002"), QString()).value().id;
    RecognitionRecords records{*database, clock, RecordLimits{8, 3}};
};

TEST(HotWordRules, TextLengthAndWeightBounds)
{
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("a"), 1), Status::Ok);
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("十个汉字十个汉字十个"), 11), Status::Ok);
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("十一个汉字十一个汉字十"), 5), Status::InvalidText);
    // Ten user-perceived characters, as the app counts them, whatever their code points.
    const QString family = QStringLiteral("👨\u200D👩\u200D👧");
    const QString flagOfEngland = QString::fromUcs4(U"\U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067\U000E007F");
    for (const QString& character : {QStringLiteral("😀"), family, QStringLiteral("🇨🇳"), QStringLiteral("e\u0301"),
                                     QStringLiteral("👍🏽")}) {
        EXPECT_EQ(HotWordStore::validate(character.repeated(10), 5), Status::Ok) << character.toStdString();
        EXPECT_EQ(HotWordStore::validate(character.repeated(11), 5), Status::InvalidText) << character.toStdString();
    }
    // Seven code points each: ten such flags pass the character count but not the code point cap.
    EXPECT_EQ(HotWordStore::validate(flagOfEngland.repeated(9), 5), Status::Ok);
    EXPECT_EQ(HotWordStore::validate(flagOfEngland.repeated(10), 5), Status::InvalidText);
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("a\u202Eb"), 5), Status::InvalidText) << "a bidi override";
    // One character with thousands of combining marks is still one grapheme.
    const QString marked = QStringLiteral("e") + QString(HotWordStore::kMaxCodePoints - 1, QChar(0x0301));
    EXPECT_EQ(HotWordStore::validate(marked, 5), Status::Ok);
    EXPECT_EQ(HotWordStore::validate(marked + QChar(0x0301), 5), Status::InvalidText);
    EXPECT_EQ(HotWordStore::validate(QString(), 5), Status::InvalidText);
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("a\nb"), 5), Status::InvalidText);
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("ok"), 0), Status::InvalidWeight);
    EXPECT_EQ(HotWordStore::validate(QStringLiteral("ok"), 12), Status::InvalidWeight);
    EXPECT_EQ(HotWordStore::normalizedText(QStringLiteral("  Velnor \t")), QStringLiteral("Velnor"));
}

TEST_F(Stores, RecordUpdatesBelongToTheRecordsUser)
{
    RecognitionRecord mine;
    mine.kind = QStringLiteral("recognize");
    mine.userId = first;
    mine.text = QStringLiteral("hello");
    const std::optional<QString> id = records.add(mine, 1);
    ASSERT_TRUE(id);
    RecognitionRecord anonymous = mine;
    anonymous.userId.reset();
    const std::optional<QString> anonymousId = records.add(anonymous, 1);
    ASSERT_TRUE(anonymousId);
    EXPECT_NE(*id, *anonymousId);

    RecordUpdate update;
    update.textInputMethod = QStringLiteral("clipboard");
    EXPECT_EQ(records.update(*id, second, update), RecognitionRecords::Status::NotFound);
    EXPECT_EQ(records.update(*id, std::nullopt, update), RecognitionRecords::Status::NotFound);
    EXPECT_EQ(records.update(QStringLiteral("no-such-id"), first, update), RecognitionRecords::Status::NotFound);
    EXPECT_EQ(records.update(*id, first, update), RecognitionRecords::Status::Ok);
    EXPECT_EQ(records.update(*anonymousId, std::nullopt, update), RecognitionRecords::Status::Ok);

    RecordUpdate appOnly;
    appOnly.appName = QStringLiteral("Editor");
    EXPECT_EQ(records.update(*id, first, appOnly), RecognitionRecords::Status::Ok);
    const auto stored = records.find(*id);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->textInputMethod, QStringLiteral("clipboard")) << "absent fields stay as they were";
    EXPECT_EQ(stored->appName, QStringLiteral("Editor"));
}

TEST_F(Stores, RecordsAreCutCappedPerUserAndPrunedByAge)
{
    constexpr qint64 kTenDaysMs = 10LL * 24 * 3600 * 1000;
    RecognitionRecord record;
    record.kind = QStringLiteral("adjust");
    record.userId = first;
    record.rawText = QStringLiteral("1234567😀9");   // a cut after 8 units would split the emoji
    record.text = QString(100000, QLatin1Char('x'));
    QStringList ids;
    for (int i = 0; i < 5; ++i) {
        ids << records.add(record, 1).value_or(QString());
        clock.advanceMs(1000);
    }
    const std::optional<RecognitionRecord> newest = records.find(ids.last());
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->rawText, QStringLiteral("1234567"));
    EXPECT_EQ(newest->text, QString(8, QLatin1Char('x')));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(records.find(ids[i]).has_value(), i >= 2) << "the newest three are kept: " << i;

    record.userId = second;
    ASSERT_TRUE(records.add(record, 1));
    clock.advanceMs(kTenDaysMs + 1);
    ASSERT_TRUE(records.add(record, 1));
    EXPECT_EQ(records.prune(kTenDaysMs), std::optional<int>(4)) << "everything older than ten days, of five";
}

int permissionBits(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// The database holds the key that signs every session token.
TEST(DatabaseFiles, PrivateFromTheFirstByteWhateverTheUmask)
{
    velnor::test::TempDir dir;
    const QString data = dir.filePath(QStringLiteral("new/velnor-server"));
    const QString db = data + QStringLiteral("/velnor.db");
    const mode_t previous = ::umask(022);
    QString error;
    {
        const std::unique_ptr<Database> database = Database::open(data, &error);
        ASSERT_TRUE(database) << error.toStdString();
        EXPECT_EQ(permissionBits(data), 0700);
        EXPECT_EQ(permissionBits(dir.filePath(QStringLiteral("new"))), 0700) << "missing parents too";
        for (const char* suffix : {"", "-wal", "-shm"})
            EXPECT_EQ(permissionBits(db + QLatin1String(suffix)), 0600) << suffix;
    }
    // What an earlier version left readable is closed on the next start.
    ::chmod(QFile::encodeName(db).constData(), 0644);
    ::chmod(QFile::encodeName(data).constData(), 0755);
    EXPECT_TRUE(Database::open(data, &error)) << error.toStdString();
    EXPECT_EQ(permissionBits(db), 0600);
    EXPECT_EQ(permissionBits(data), 0700);
    ::umask(previous);
}

} // namespace
} // namespace velnor::server
