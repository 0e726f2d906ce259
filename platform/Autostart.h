#pragma once

#include <QByteArray>
#include <QString>

namespace oculet {

// Whether the desktop starts Oculet when the user logs in: an XDG autostart entry in the user's
// autostart folder (~/.config/autostart). The entry has the name of the menu entry, so it also
// stands in for a system-wide one of that name.
class Autostart {
public:
    // `folder`: the autostart folder; `program`: the absolute path of the program to start.
    Autostart(QString folder, QString program);
    // This user's autostart folder and the running program.
    static Autostart forThisProgram();

    QString entryPath() const;
    // An entry is there and not switched off inside (Hidden, or the GNOME-only switch), whoever
    // wrote it.
    bool isOn() const;
    // Writes the entry, or removes it. False with a plain text in `error` when that failed.
    bool setOn(bool on, QString* error = nullptr) const;

    // The entry's text; the program path quoted as the Exec key wants it.
    static QByteArray entryText(const QString& program);

private:
    QString folder_;
    QString program_;
};

} // namespace oculet
