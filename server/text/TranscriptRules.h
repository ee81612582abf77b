#pragma once

#include <QString>

namespace velnor::server {

// Small rules applied to every recognised text.
class TranscriptRules final {
public:
    struct Ending {
        QString text;          // without the spoken ending
        bool overOver = false; // whether it ended with "over over"
    };

    // A dictation that ends with the words "over over" (any case, any
    // punctuation around them) asks the client to submit; the words are cut.
    static Ending stripOverOver(const QString& text);

    // Words for the user's statistics: each Han or kana character counts as one
    // word, other runs of letters and digits count one each.
    static qint64 wordCount(const QString& text);
};

} // namespace velnor::server
