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
    EXPECT_EQ(str(MultipartParser::boundary("multipart/form-data;boundary=xyz", &error).value_or("")), "xyz");
    ASSERT_TRUE(form) << error.toStdString();
    ASSERT_EQ(form->parts.size(), 1);
    EXPECT_EQ(str(form->parts[0].name), "file");
    EXPECT_EQ(str(form->parts[0].fileName), "x;y.wav");
    EXPECT_EQ(str(form->parts[0].data), "RIFF");
}

TEST(MultipartParser, BrokenFormsAreRejectedWithAReason)
{
    const QByteArray type = "multipart/form-data; boundary=XX";
    const QByteArray good = part("XX", "Content-Disposition: form-data; name=\"a\"", "1");
    QByteArray many;
    for (int i = 0; i <= MultipartParser::kMaxParts; ++i)
        many += part("XX", "Content-Disposition: form-data; name=\"p\"", "x");
    const struct {
        const char* what;
        QByteArray contentType;
        QByteArray body;
        const char* reason = "";
    } cases[] = {
        {"not multipart", "application/json", good + "--XX--"},
        {"no boundary parameter", "multipart/form-data", good + "--XX--"},
        {"empty boundary", "multipart/form-data; boundary=\"\"", good + "--XX--"},
        {"no content type", "", good + "--XX--"},
        {"no boundary at all", type, "just some bytes"},
        {"no closing boundary", type, good.chopped(2) + "and the body ends"},
        {"truncated headers", type, "--XX\r\nContent-Disposition: form-data; name=\"a\""},
        {"part without headers", type, "--XX\r\n\r\nvalue\r\n--XX--"},
        {"header without colon", type, part("XX", "Content-Disposition form-data", "1") + "--XX--"},
        {"part without name", type, part("XX", "Content-Disposition: form-data", "1") + "--XX--"},
        {"not form-data", type, part("XX", "Content-Disposition: attachment; name=\"a\"", "1") + "--XX--"},
        {"garbage after boundary", type, "--XXjunk\r\n" + good + "--XX--"},
        {"empty body", type, ""},
        {"too many parts", type, many + "--XX--", "too many"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(MultipartParser::parse(c.contentType, c.body, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

} // namespace
} // namespace velnor::server
