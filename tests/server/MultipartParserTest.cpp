#include "http/MultipartParser.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

QByteArray part(const QByteArray& boundary, const QByteArray& headers, const QByteArray& content)
{
    return "--" + boundary + "\r\n" + headers + "\r\n\r\n" + content + "\r\n";
}

std::string str(const QByteArray& bytes)
{
    return bytes.toStdString();
}

TEST(MultipartParser, ReadsTextAndFilePartsInOrder)
{
    const QByteArray boundary = "Boundary-6F1E0C2A-1111-2222-3333-444455556666";
    const QByteArray audio("\x00\x01\r\n--not-the-boundary\r\n\xff", 24);
    const QByteArray body = part(boundary, "Content-Disposition: form-data; name=\"file_type\"", "m4a")
        + part(boundary, "Content-Disposition: form-data; name=\"app_name\"", "")
        + part(boundary, "Content-Disposition: form-data; name=\"file\"; filename=\"audio.m4a\"\r\nContent-Type: audio/m4a",
               audio)
        + "--" + boundary + "--\r\n";

    QString error;
    const auto form = MultipartParser::parse("multipart/form-data; boundary=" + boundary, body, &error);
    ASSERT_TRUE(form) << error.toStdString();
    ASSERT_EQ(form->parts.size(), 3);
    EXPECT_EQ(str(form->parts[0].name), "file_type");
    EXPECT_EQ(str(form->parts[0].data), "m4a");
    EXPECT_TRUE(form->parts[1].data.isEmpty());
    const MultipartPart* file = form->part("file");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->data, audio) << "binary content with CR LF \"--\" must pass untouched";
    EXPECT_EQ(str(file->fileName), "audio.m4a");
    EXPECT_EQ(str(file->contentType), "audio/m4a");
    EXPECT_EQ(form->part("missing"), nullptr);
}

TEST(MultipartParser, AcceptsQuotedBoundaryPreambleAndCaseVariants)
{
    const QByteArray boundary = "a b;c";
    const QByteArray body = "preamble text\r\n"
        + part(boundary, "content-disposition: FORM-DATA; filename=\"x;y.wav\"; name=file", "RIFF")
        + "--" + boundary + "--\r\nepilogue";
    QString error;
    const auto form = MultipartParser::parse("Multipart/Form-Data; charset=utf-8; BOUNDARY=\"a b;c\"", body, &error);
    ASSERT_TRUE(form) << error.toStdString();
    ASSERT_EQ(form->parts.size(), 1);
    EXPECT_EQ(str(form->parts[0].name), "file");
    EXPECT_EQ(str(form->parts[0].fileName), "x;y.wav");
    EXPECT_EQ(str(form->parts[0].data), "RIFF");
}

TEST(MultipartParser, ContentTypeProblemsAreReported)
{
    QString error;
    EXPECT_FALSE(MultipartParser::boundary("application/json", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(MultipartParser::boundary("multipart/form-data", &error));
    EXPECT_FALSE(MultipartParser::boundary("multipart/form-data; boundary=\"\"", &error));
    EXPECT_FALSE(MultipartParser::boundary("", &error));
    const auto boundary = MultipartParser::boundary("multipart/form-data;boundary=xyz", &error);
    ASSERT_TRUE(boundary);
    EXPECT_EQ(str(*boundary), "xyz");
}

TEST(MultipartParser, BrokenBodiesAreRejectedWithAReason)
{
    const QByteArray type = "multipart/form-data; boundary=XX";
    const QByteArray good = part("XX", "Content-Disposition: form-data; name=\"a\"", "1");
    const struct {
        const char* what;
        QByteArray body;
    } cases[] = {
        {"no boundary at all", "just some bytes"},
        {"no closing boundary", good.chopped(2) + "and the body ends"},
        {"truncated headers", "--XX\r\nContent-Disposition: form-data; name=\"a\""},
        {"header without colon", part("XX", "Content-Disposition form-data", "1") + "--XX--"},
        {"part without name", part("XX", "Content-Disposition: form-data", "1") + "--XX--"},
        {"not form-data", part("XX", "Content-Disposition: attachment; name=\"a\"", "1") + "--XX--"},
        {"garbage after boundary", "--XXjunk\r\n" + good + "--XX--"},
        {"empty body", ""},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(MultipartParser::parse(type, c.body, &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
}

TEST(MultipartParser, PartWithoutHeadersAndTooManyParts)
{
    QString error;
    // A part needs a name; one with an empty header block is refused, not misread.
    EXPECT_FALSE(MultipartParser::parse("multipart/form-data; boundary=B", "--B\r\n\r\nvalue\r\n--B--", &error));

    QByteArray many;
    for (int i = 0; i <= MultipartParser::kMaxParts; ++i)
        many += part("B", "Content-Disposition: form-data; name=\"p\"", "x");
    many += "--B--";
    EXPECT_FALSE(MultipartParser::parse("multipart/form-data; boundary=B", many, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("too many")));
}

} // namespace
} // namespace velnor::server
