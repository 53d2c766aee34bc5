#pragma once
// The interface check, which needs no car: wake-up, reset, the chip's name and
// version, and the six input voltages ("ATA0" to "ATA5"). It never dials a
// control unit ("ATD"), so it never sends "ATH" either. Each step keeps what
// actually arrived, so a failure can be reported as it was seen.
#include "link/command_channel.h"

#include <QString>
#include <array>

enum class CheckStep { WakeUp, Reset, Chip, Voltages };
enum class CheckOutcome { NotRun, Passed, Failed };

struct CheckStepResult {
    CheckOutcome outcome = CheckOutcome::NotRun;
    // The characters received, CRs included, in order; empty when nothing came.
    QString received;
};

struct InterfaceCheckResult {
    static constexpr int Inputs = 6;
    static constexpr double FirstVersionWithInputs = 2.0;

    std::array<CheckStepResult, 4> steps; // indexed by CheckStep
    QString chipLine;                     // the reset line naming the chip
    double chipVersion = 0;               // 0 when unreadable
    // Raw readings, 0 .. 1023 steps of the reference voltage; -1 where the
    // input refused, answered no number or was not asked.
    std::array<int, Inputs> inputs{-1, -1, -1, -1, -1, -1};

    const CheckStepResult& step(CheckStep s) const { return steps[size_t(s)]; }
    CheckStepResult& step(CheckStep s) { return steps[size_t(s)]; }
    // The step an error of the link broke off (marked failed), -1 when none.
    int brokenStep = -1;

    // No step failed.
    bool passed() const;
};

// Runs the check on an open port. A silent interface costs the channel's
// silence limit per step that waits. Port failures (an adapter pulled out)
// pass through as ESerialPort.
InterfaceCheckResult CheckInterface(CommandChannel& channel);
// The same, filling result as it goes: when an error passes through, result
// keeps the steps that ran and marks the one it broke off as failed.
void CheckInterface(CommandChannel& channel, InterfaceCheckResult& result);

// Received text made readable on one line: CR as \r, LF as \n, every other
// control character and every character above 127 as \xNN.
QString EscapedReceived(const QString& text);
