#pragma once

#include "recognition/Recognizer.h"

#include <memory>
#include <optional>

class QCommandLineParser;

namespace velnor::server::cloud {

// The cloud recogniser for both modes, from the command line: none (with
// *error naming the missing or unusable setting) when it cannot start.
struct CloudRecognizers {
    std::unique_ptr<FileRecognizer> files;
    std::unique_ptr<StreamRecognizer> streams;

    static void addOptions(QCommandLineParser& parser);
    static std::optional<CloudRecognizers> fromParser(const QCommandLineParser& parser, QString* error);
};

} // namespace velnor::server::cloud
