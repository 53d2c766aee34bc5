#pragma once
// What a recording says was sent to the interface, as commands: the sent
// bytes split at CR, to compare with the simulator's transcript.
#include "link/recording.h"

#include <QByteArray>
#include <QStringList>

inline QStringList RecordedCommands(const Recording::File& file) {
    QByteArray sent;
    for (const Recording::Chunk& c : file.chunks)
        if (c.direction == Recording::Direction::Sent)
            sent += c.bytes;
    QStringList commands = QString::fromLatin1(sent).split(QLatin1Char('\r'));
    commands.removeLast(); // after the last CR
    return commands;
}
