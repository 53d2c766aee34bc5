#pragma once
// The requests to the control unit and the readers of their replies. Each
// talks through the command channel; "true" always means the unit answered
// with a data line (SendCommand returned true). The channel's LastReply holds
// the value line of the single-value requests.
//
// Errors pass through: EDataError (silence or "DATA ERROR"), ESerialPort
// (port failure), EConvertError (strict readers on non-numeric text).
#include "link/command_channel.h"
#include "services/block_buffer.h"

#include <QString>
#include <functional>

// Receives the lines for the hidden note list.
using NoteSink = std::function<void(const QString&)>;

// Noted when a measuring block reply carries an empty line.
inline const QString ExtraBytesNote = QStringLiteral("~~~~~ 4 extra Bytes ~~~~~");

// "08"+group: triplets into entries 1.. (lenient); an empty line is noted.
bool ReadGroup(CommandChannel& channel, BlockBuffer& buffer, int group, const NoteSink& note = {});
// "04"+group: as ReadGroup, every number strict, no empty-line case.
bool ReadBasicSetting(CommandChannel& channel, BlockBuffer& buffer, int group);
// "0800": one value per line into entries 1.. (lenient).
bool ReadRawGroup(CommandChannel& channel, BlockBuffer& buffer);
// "0400": as ReadRawGroup.
bool ReadRawBasicSetting(CommandChannel& channel, BlockBuffer& buffer);

// "10"+channel.
bool RequestAdaptation(CommandChannel& channel, int adaptationChannel);
// After RequestAdaptation returned true: the current value in decimal (strict),
// the block's triplets (strict) from entry 1 on. Entries no line reaches keep
// their content; the caller sets entry 1 to 0 first to tell "no block".
QString ReadAdaptationReply(CommandChannel& channel, BlockBuffer& buffer);
// "10"+channel+value; true when the unit accepted.
bool SaveAdaptation(CommandChannel& channel, int adaptationChannel, int value);

// "07"+coding+workshop code. True when the unit answers with its
// identification: its first line is then in LastReply and the caller reads
// the rest with ReadIdentification. False for a refusal, whose prompt has
// been read.
bool WriteCoding(CommandChannel& channel, int coding, int workshopCode);
// "11"+code+workshop code; true when accepted.
bool SendLogin(CommandChannel& channel, int code, int workshopCode);

// "02": true when the first fault line arrived; ReadFaultCodes reads the rest.
bool RequestFaultCodes(CommandChannel& channel);
// "05": false when the unit refused it with an error word ("NA", "ERROR",
// "?", an empty line); the prompt alone or any other answer is accepted, and
// a read after it tells what the memory holds.
bool ClearFaultCodes(CommandChannel& channel);

// "15", "09"+channel, "03": true when a line arrived in LastReply; the caller
// then reads the prompt with ReadReply.
bool RequestReadiness(CommandChannel& channel);
bool ReadSingleValue(CommandChannel& channel, int valueChannel);
bool StepOutputTest(CommandChannel& channel);

// "ATA"+input (0..5): true when the reading arrived in LastReply. Reads its
// prompt line itself; a refusal has none left to read and returns at once.
bool ReadInterfaceVoltage(CommandChannel& channel, int input);

// "ATH": ends the diagnosis; the answer is not examined.
void EndDiagnosis(CommandChannel& channel);
