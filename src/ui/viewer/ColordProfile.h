#pragma once
// The colour profile the desktop's colour manager (colord) keeps for one output, as GNOME and KDE set
// it, on Wayland too, where no X root carries a profile; and the window's follower of it.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace marquelo {

// Each call to colord waits at most this long: a colord that hangs must not hold anything up.
inline constexpr std::chrono::milliseconds kColordTimeout{200};

// The profile colord names for the output `outputName` (a QScreen's name: the connector, "DP-1"): the
// device whose XRANDR_name is that name (else the display device whose id ends with it), its default
// (first) profile, that profile's file. Asked on the bus MARQUELO_COLORD_BUS names (a D-Bus address),
// else on the system bus. Blocks for at most a few `timeout`s; empty when colord is not there, knows
// no such output or profile, or the file cannot be read. Safe on any thread.
QByteArray colordProfile(const QString& outputName, std::chrono::milliseconds timeout = kColordTimeout);

// Keeps the display profile that of the output the window is on: colord's, else the X root's
// _ICC_PROFILE, else sRGB. Asks on a thread of the loads pool, so the window never waits for the bus.
class DisplayProfileFollower : public QObject {
    Q_OBJECT
public:
    explicit DisplayProfileFollower(QObject* parent = nullptr);
    // Waits a bounded moment for a running lookup, then leaves it behind; its answer is dropped.
    ~DisplayProfileFollower() override;

    // Looks the profile of `outputName` up; only the answer of the latest call is applied.
    void follow(const QString& outputName);
    // Lookups asked and not answered yet (tests).
    bool busy() const;

Q_SIGNALS:
    // The display profile (PictureColour) has changed: pictures decoded so far are in the old one.
    void profileChanged();

private:
    // Applies the answers the lookups left in the shared mailbox (called queued, by name, so that
    // nothing a thread wrote is handed over outside the mailbox's lock).
    Q_INVOKABLE void takeAnswers();
    void apply(quint64 generation, const QString& outputName, const QByteArray& colord);

    struct Shared;
    std::shared_ptr<Shared> m_shared;
    quint64 m_generation = 0;
    int m_pending = 0;
};

} // namespace marquelo
