#pragma once
// The pieces of text and JSON several commands print: a unit's
// identification, a fault table, a measured value.
#include "services/fault_codes.h"
#include "services/fault_texts.h"
#include "services/identification.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

struct CliContext;

// A displayed value ("13,50 V") as value and unit; a text without a blank
// ("NA") is all value.
struct ValueText {
    QString value;
    QString unit;
};
ValueText SplitValue(const QString& shown);
// {"name", "number" (null when the value is no number), "unit", "text"}.
// The number is read in the separators the value was formatted with.
QJsonObject ValueJson(const QString& name, const QString& shown);

// The Info page's copy: six caption and value rows; CRs inside values go.
QList<QStringList> IdentificationRows(const CliContext& context, const QString& unitEntry,
                                      const TecuID& id);
QJsonObject IdentificationJson(const TecuID& id);

// The fault table as the fault page's copy has it, the header first; the
// code cell's line break becomes a blank.
QList<QStringList> FaultRows(const CliContext& context, const FaultCodeList& faults,
                             const FaultTexts& texts);
// {"outcome" ("found", "empty", "unsupported", "refused"), "faults": [...] (null
// when refused), "message" (null when faults were found)}.
QJsonObject FaultsJson(const CliContext& context, FaultReadOutcome outcome,
                       const FaultCodeList& faults, const FaultTexts& texts);
// A command's document before it ran: every key it can have, null until read,
// so a failed run has the shape of a successful one.
QJsonObject CommandSkeleton(const QString& command);
// The text the fault page shows when it has no fault rows.
QString NoFaultMessage(const CliContext& context, FaultReadOutcome outcome);
