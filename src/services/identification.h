#pragma once
// The identification a control unit sends after "ATD" connected it or after a
// coding write: part number, description, extra lines and the tagged numbers.
#include "link/command_channel.h"

#include <QString>
#include <optional>

struct TecuID {
    QString VAGTyp;         // part number, "036 906 034 AM"
    QString Part;           // description: line 2 trimmed, then line 3 with its CR
    QString Zusatz;         // lines 4 and later, each trimmed at the right, joined
    QString WSC;            // workshop code, five digits, or empty
    QString EXT;            // "Gerät: 0001234" / "Tool: 0001234", or empty (the front end's)
    QString IMP;            // "Importeur: 123" / "Importer: 123", or empty (the front end's)
    QString Coding;         // software coding, five digits, or empty
    bool Erfolg = false;    // some line other than ">", "?" and "DATA ERROR" came
    QString DeviceNumber;   // the seven digits of the EXT line, or empty
    QString ImporterNumber; // the three digits of the IMP line, or empty
};

// Reads the identification lines the interface is sending now, up to the
// prompt; sends nothing. EXT and IMP stay empty: their labels are the front
// end's to add (IdentificationTexts).
// Five seconds without any character throw EDataError: the prompt is not
// coming, and the session ends with its communication error. A lone CR that
// the interface does send is an identification line like any other.
void ReadIdentification(CommandChannel& channel, TecuID& record);
// The same, for an identification whose first line (without its CR) the
// caller has already taken from the channel, as SendCommand does with the
// answer to a coding write.
void ReadIdentification(CommandChannel& channel, TecuID& record, std::optional<QString> firstLine);
