#include "http/MultipartParser.h"

#include <gtest/gtest.h>

namespace velnor::server {
namespace {

QByteArray part(const QByteArray& boundary, const QByteArray& headers, const QByteArray& content)
{
    return "--" + boundary + "\r\n" + headers + "\r\n\r\n" + content + "\r\n";
}

// A quoted boundary with separators in it, a preamble and an epilogue, header
// names and values in any case, and binary content that looks like a boundary.
TEST(MultipartParser, ReadsTextAndFilePartsInOrder)
{
    const QByteArray boundary = "a b;c";
    const QByteArray audio("\x00\x01\r\n--a b;\r\n--not-the-boundary\r\n\xff", 33);
    const QByteArray body = "preamble text\r\n" + part(boundary, "Content-Disposition: form-data; name=\"file_type\"", "m4a")
        + part(boundary, "Content-Disposition: form-data; name=\"app_name\"", "")
        + part(boundary, "content-disposition: FORM-DATA; filename=\"x;y.m4a\"; name=file\r\nContent-Type: audio/m4a", audio)
        + "--" + boundary + "--\r\nepilogue";
    QString error;
    const auto form = MultipartParser::parse("Multipart/Form-Data; charset=utf-8; BOUNDARY=\"a b;c\"", body, &error);
    EXPECT_EQ(MultipartParser::boundary("multipart/form-data;boundary=xyz", &error).value_or(""), "xyz");
    ASSERT_TRUE(form) << error.toStdString();
    ASSERT_EQ(form->parts.size(), 3);
    EXPECT_EQ(form->parts[0].name, "file_type");
    EXPECT_EQ(form->parts[0].data, "m4a");
    EXPECT_TRUE(form->parts[1].data.isEmpty());
    const MultipartPart* file = form->part("file");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->data, audio) << "binary content with CR LF \"--\" must pass untouched";
    EXPECT_EQ(file->fileName, "x;y.m4a");
    EXPECT_EQ(file->contentType, "audio/m4a");
    EXPECT_EQ(form->part("missing"), nullptr);
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
