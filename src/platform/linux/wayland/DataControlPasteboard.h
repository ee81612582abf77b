#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <vector>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace velnor::wayland {

class WaylandConnection;

// The Wayland clipboard through the compositor's data-control protocol
// (wlroots compositors). XWayland's clipboard reaches Wayland clients only
// while an XWayland window has the focus, and a paste goes to a Wayland
// window, so the app writes the Wayland clipboard itself. Contents are read
// and served through pipes from the event loop; there is no primary
// selection here (its contents stay empty and untouched).
class DataControlPasteboard final : public QObject, public Pasteboard {
    Q_OBJECT
public:
    explicit DataControlPasteboard(WaylandConnection& connection, QObject* parent = nullptr);
    ~DataControlPasteboard() override;

    bool isAvailable() const override;
    void save(Duration budget, SaveCompletion completion) override;
    bool writeText(const QString& text, bool alsoSelection, ReadObserver onRead) override;
    void checkHoldsWrittenText(Duration budget, CheckCompletion completion) override;
    void restore(const PasteboardContents& contents) override;
    PasteChord pasteChordFor(const std::optional<FrontAppInfo>& app) const override;

    struct Offer;
    struct Source;
    class Read;

private:
    friend struct DataControlEvents;
    void offered(zwlr_data_control_offer_v1* offer);
    void selected(zwlr_data_control_offer_v1* offer);
    void serve(const QList<PasteboardFormat>& formats, ReadObserver onRead);
    // Reads the given formats of the current selection; `done` gets what
    // arrived and whether all of it did.
    void read(const QStringList& mimeTypes, Duration budget,
              std::function<void(QList<PasteboardFormat>, bool complete)> done);

    WaylandConnection& m_connection;
    zwlr_data_control_device_v1* m_device = nullptr;
    // Offers announced but not yet made the selection, and the selection.
    std::vector<std::unique_ptr<Offer>> m_offers;
    std::unique_ptr<Offer> m_selection;
    std::unique_ptr<Source> m_source;
    std::vector<std::shared_ptr<Read>> m_reads;
    QString m_writtenText;
};

} // namespace velnor::wayland
