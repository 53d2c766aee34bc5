#pragma once
// One function per command. Each prints its text as it goes, fills the JSON
// document, and returns its exit status; failures arrive as CliFailure.
#include "cli/context.h"

#include <QJsonObject>

class CliOutput;

using CommandFunction = int (*)(const CliContext&, CliOutput&, QJsonObject&);

int RunPorts(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunCheck(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunIdent(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunFaults(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunGroups(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunReadiness(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunVoltages(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunScan(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunDiff(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunRaw(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunSingle(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunBasic(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunRequest(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunMonitor(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunCoding(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunAdaptation(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunLogin(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunOutputTests(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunJournal(const CliContext& context, CliOutput& out, QJsonObject& doc);
int RunUndo(const CliContext& context, CliOutput& out, QJsonObject& doc);

// Helpers shared by the commands of one unit.
// The address argument, or a usage failure.
int RequireAddress(const CliContext& context, const QString& text);
// The airbag unit is reached only past its warning: asked on a terminal,
// --yes elsewhere. Fails with the usage status when not confirmed.
void ConfirmAirbag(const CliContext& context, CliOutput& out, int address);
// "address", "unit" and "port" of a unit command's document, and the status
// line that names the unit.
void DescribeUnit(const CliContext& context, CliOutput& out, int address, QJsonObject& doc);
