#pragma once

#include "recognition/Recognizer.h"

#include <QString>

#include <functional>
#include <memory>

class QCommandLineParser;

namespace velnor::server {

struct ServerOptions;

// What building a recogniser may read: its own options on the command line
// and the server's (model paths, recognition threads).
struct RecognizerSettings {
    const QCommandLineParser& parser;
    const ServerOptions& options;
};

// How one kind of recogniser is offered: its command-line options, and how it
// is built for whole files and for streams. A builder answers none, with
// *error set, when its settings are missing or unusable.
struct RecognizerBuilder {
    QString name;
    std::function<void(QCommandLineParser& parser)> addOptions;
    std::function<std::unique_ptr<FileRecognizer>(const RecognizerSettings& settings, QString* error)> file;
    std::function<std::unique_ptr<StreamRecognizer>(const RecognizerSettings& settings, QString* error)> stream;
};

// The builders of the recognisers velnor-server offers. Each lives with its
// recogniser: pocketsphinx in RecognizerChoice.cpp, openai in
// recognition/openai/, cloud in recognition/CloudRecognizer.cpp.
RecognizerBuilder pocketsphinxRecognizer();
// A recogniser this build does not hold: choosing it fails with `why`.
RecognizerBuilder unavailableRecognizer(const QString& name, const QString& why);
RecognizerBuilder openAiRecognizer();
RecognizerBuilder cloudRecognizer();

// The recognisers chosen on the command line: --recognizer NAME for file
// recognition (default pocketsphinx) and --realtime-recognizer NAME for the
// real-time endpoint (default: the same).
class RecognizerChoice final {
public:
    static void addOptions(QCommandLineParser& parser);
    // None (with *error: an unknown name, missing or unusable settings).
    static std::unique_ptr<RecognizerChoice> create(const QCommandLineParser& parser, const ServerOptions& options,
                                                    QString* error);

    FileRecognizer& file() { return *m_file; }
    StreamRecognizer& stream() { return *m_stream; }
    // The real-time endpoint takes streams: a local recogniser loads its first decoder now, in the background.
    void warmUpStreams();

private:
    RecognizerChoice(std::unique_ptr<FileRecognizer> file, std::unique_ptr<StreamRecognizer> stream);

    std::unique_ptr<FileRecognizer> m_file;
    std::unique_ptr<StreamRecognizer> m_stream;
};

} // namespace velnor::server
