#include "platform/linux/wayland/DataControlPasteboard.h"

#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/x11/X11PasteChord.h"

#include "protocols/wlr-data-control-unstable-v1-client.h"

#include <QSocketNotifier>
#include <QTimer>

#include <wayland-client.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace velnor::wayland {

namespace {

// Text as every toolkit asks for it.
const QStringList kTextTypes = {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain"),
                                QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"), QStringLiteral("TEXT")};

// Writes one format to a reader's pipe without blocking the event loop.
class PipeWriter final : public QObject {
public:
    PipeWriter(int fd, QByteArray data)
        : m_fd(fd)
        , m_data(std::move(data))
        , m_notifier(fd, QSocketNotifier::Write)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeWriter::writeMore);
    }
    ~PipeWriter() override { ::close(m_fd); }

private:
    void writeMore()
    {
        while (m_written < m_data.size()) {
            const ssize_t n = ::write(m_fd, m_data.constData() + m_written, static_cast<size_t>(m_data.size() - m_written));
            if (n > 0) {
                m_written += n;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return; // the notifier calls again once the reader made room
            break; // the reader went away
        }
        m_notifier.setEnabled(false);
        deleteLater();
    }

    const int m_fd;
    const QByteArray m_data;
    qsizetype m_written = 0;
    QSocketNotifier m_notifier;
};

} // namespace

struct DataControlPasteboard::Offer {
    Owned<zwlr_data_control_offer_v1, zwlr_data_control_offer_v1_destroy> offer;
    QStringList mimeTypes;
};

struct DataControlPasteboard::Source {
    Owned<zwlr_data_control_source_v1, zwlr_data_control_source_v1_destroy> source;
    QList<PasteboardFormat> formats;
    ReadObserver onRead;
    bool cancelled = false;
};

// One read of the selection: a pipe per format, until all ended or the budget passed.
class DataControlPasteboard::Read final : public QObject {
public:
    using Done = std::function<void(QList<PasteboardFormat>, bool)>;
    Read(Duration budget, Done done)
        : m_done(std::move(done))
    {
        m_budget.setSingleShot(true);
        connect(&m_budget, &QTimer::timeout, this, [this] { finish(false); });
        m_budget.start(std::chrono::duration_cast<std::chrono::milliseconds>(budget));
    }

    void add(const QString& mimeType, int fd)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        auto& pipe = m_pipes.emplace_back(std::make_unique<Pipe>(mimeType, fd));
        connect(&pipe->notifier, &QSocketNotifier::activated, this, [this, p = pipe.get()] { readFrom(*p); });
    }
    void start()
    {
        if (m_pipes.empty())
            finish(true);
    }
    bool isDone() const { return m_finished && !m_delivering; }

private:
    struct Pipe {
        Pipe(const QString& type, int descriptor)
            : mimeType(type)
            , fd(descriptor)
            , notifier(descriptor, QSocketNotifier::Read)
        {
        }
        ~Pipe() { ::close(fd); }
        QString mimeType;
        int fd;
        QByteArray data;
        bool ended = false;
        QSocketNotifier notifier;
    };

    void readFrom(Pipe& pipe)
    {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(pipe.fd, chunk, sizeof chunk);
            if (n > 0) {
                pipe.data.append(chunk, n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            pipe.ended = true;
            pipe.notifier.setEnabled(false);
            break;
        }
        if (std::all_of(m_pipes.cbegin(), m_pipes.cend(), [](const auto& p) { return p->ended; }))
            finish(true);
    }

    void finish(bool complete)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_budget.stop();
        QList<PasteboardFormat> formats;
        for (const auto& pipe : m_pipes) {
            pipe->notifier.setEnabled(false);
            if (pipe->ended)
                formats.append({pipe->mimeType, pipe->data});
        }
        // The completion may start another read, which drops finished
        // ones: this one stays until its completion returned.
        m_delivering = true;
        m_done(formats, complete);
        m_delivering = false;
    }

    Done m_done;
    QTimer m_budget;
    std::vector<std::unique_ptr<Pipe>> m_pipes;
    bool m_finished = false;
    bool m_delivering = false;
};

// The protocol's listener callbacks.
struct DataControlEvents {
    using Self = DataControlPasteboard;
    static void dataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
    {
        static_cast<Self*>(data)->offered(offer);
    }
    static void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
    {
        static_cast<Self*>(data)->selected(offer);
    }
    static void finished(void* data, zwlr_data_control_device_v1* device)
    {
        auto* self = static_cast<Self*>(data);
        if (self->m_device == device) {
            zwlr_data_control_device_v1_destroy(device);
            self->m_device = nullptr;
        }
    }
    static void primarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
    {
        if (offer)
            zwlr_data_control_offer_v1_destroy(offer); // not bound at a version that sends it
    }
    static void offerType(void* data, zwlr_data_control_offer_v1*, const char* mimeType)
    {
        static_cast<Self::Offer*>(data)->mimeTypes.append(QString::fromUtf8(mimeType));
    }
    static void send(void* data, zwlr_data_control_source_v1*, const char* mimeType, int fd)
    {
        auto* source = static_cast<Self::Source*>(data);
        const QString type = QString::fromUtf8(mimeType);
        const auto format = std::find_if(source->formats.cbegin(), source->formats.cend(),
                                         [&type](const PasteboardFormat& f) { return f.mimeType == type; });
        new PipeWriter(fd, format != source->formats.cend() ? format->data : QByteArray());
        if (source->onRead)
            source->onRead();
    }
    static void cancelled(void* data, zwlr_data_control_source_v1*)
    {
        static_cast<Self::Source*>(data)->cancelled = true;
    }
};

namespace {
const zwlr_data_control_device_v1_listener kDeviceListener = {&DataControlEvents::dataOffer, &DataControlEvents::selection,
                                                              &DataControlEvents::finished,
                                                              &DataControlEvents::primarySelection};
const zwlr_data_control_offer_v1_listener kOfferListener = {&DataControlEvents::offerType};
const zwlr_data_control_source_v1_listener kSourceListener = {&DataControlEvents::send, &DataControlEvents::cancelled};
} // namespace

DataControlPasteboard::DataControlPasteboard(WaylandConnection& connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
{
    const Globals& globals = connection.globals();
    if (!connection.isConnected() || !globals.dataControl || !globals.seat)
        return;
    m_device = zwlr_data_control_manager_v1_get_data_device(globals.dataControl, globals.seat);
    zwlr_data_control_device_v1_add_listener(m_device, &kDeviceListener, this);
    // The current selection arrives at once.
    connection.roundtrip();
}

DataControlPasteboard::~DataControlPasteboard()
{
    m_reads.clear();
    m_source.reset();
    m_selection.reset();
    m_offers.clear();
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
}

bool DataControlPasteboard::isAvailable() const
{
    return m_device != nullptr && m_connection.isConnected();
}

void DataControlPasteboard::offered(zwlr_data_control_offer_v1* offer)
{
    auto entry = std::make_unique<Offer>();
    entry->offer.reset(offer);
    zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, entry.get());
    m_offers.push_back(std::move(entry));
}

void DataControlPasteboard::selected(zwlr_data_control_offer_v1* offer)
{
    const auto it = std::find_if(m_offers.begin(), m_offers.end(),
                                 [offer](const auto& entry) { return entry->offer.get() == offer; });
    m_selection = it != m_offers.end() ? std::move(*it) : nullptr;
    // Offers never made the selection are dropped with the previous one.
    m_offers.clear();
}

void DataControlPasteboard::read(const QStringList& mimeTypes, Duration budget,
                                 std::function<void(QList<PasteboardFormat>, bool)> done)
{
    std::erase_if(m_reads, [](const auto& pending) { return pending->isDone(); });
    auto reading = std::make_shared<Read>(budget, std::move(done));
    for (const QString& type : mimeTypes) {
        int fds[2];
        if (!m_selection || ::pipe2(fds, O_CLOEXEC) != 0)
            continue;
        zwlr_data_control_offer_v1_receive(m_selection->offer.get(), type.toUtf8().constData(), fds[1]);
        ::close(fds[1]);
        reading->add(type, fds[0]);
    }
    m_connection.flush();
    m_reads.push_back(reading);
    reading->start();
}

void DataControlPasteboard::save(Duration budget, SaveCompletion completion)
{
    const QStringList types = m_selection ? m_selection->mimeTypes : QStringList();
    read(types, budget, [completion = std::move(completion)](QList<PasteboardFormat> formats, bool complete) {
        PasteboardContents contents;
        contents.clipboard = std::move(formats);
        contents.clipboardComplete = complete;
        completion(contents);
    });
}

void DataControlPasteboard::serve(const QList<PasteboardFormat>& formats, ReadObserver onRead)
{
    auto source = std::make_unique<Source>();
    source->source.reset(zwlr_data_control_manager_v1_create_data_source(m_connection.globals().dataControl));
    source->formats = formats;
    source->onRead = std::move(onRead);
    zwlr_data_control_source_v1_add_listener(source->source.get(), &kSourceListener, source.get());
    for (const PasteboardFormat& format : formats)
        zwlr_data_control_source_v1_offer(source->source.get(), format.mimeType.toUtf8().constData());
    zwlr_data_control_device_v1_set_selection(m_device, source->source.get());
    m_source = std::move(source);
    m_connection.flush();
}

bool DataControlPasteboard::writeText(const QString& text, bool, ReadObserver onRead)
{
    if (!isAvailable())
        return false;
    QList<PasteboardFormat> formats;
    for (const QString& type : kTextTypes)
        formats.append({type, text.toUtf8()});
    m_writtenText = text;
    serve(formats, std::move(onRead));
    return true;
}

void DataControlPasteboard::checkHoldsWrittenText(Duration budget, CheckCompletion completion)
{
    if (!isAvailable() || m_writtenText.isNull()) {
        completion(false);
        return;
    }
    if (m_source && !m_source->cancelled) {
        completion(true);
        return;
    }
    // A clipboard manager may have taken it over with a copy.
    const QString type = m_selection && m_selection->mimeTypes.contains(kTextTypes.first()) ? kTextTypes.first()
                                                                                            : kTextTypes.at(1);
    read({type}, budget, [this, completion = std::move(completion)](QList<PasteboardFormat> formats, bool complete) {
        completion(complete && formats.size() == 1 && QString::fromUtf8(formats.first().data) == m_writtenText);
    });
}

void DataControlPasteboard::restore(const PasteboardContents& contents)
{
    if (!isAvailable() || !contents.clipboardComplete)
        return;
    m_writtenText = QString();
    if (contents.clipboard.isEmpty()) {
        zwlr_data_control_device_v1_set_selection(m_device, nullptr);
        m_source.reset();
        m_connection.flush();
        return;
    }
    serve(contents.clipboard, {});
}

PasteChord DataControlPasteboard::pasteChordFor(const std::optional<FrontAppInfo>& app) const
{
    return x11::pasteChordForWindowClass(app && app->bundleId ? *app->bundleId : QString());
}

} // namespace velnor::wayland
