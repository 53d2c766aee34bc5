#pragma once
// The interface check, which needs no car: wake-up, reset, the chip's name
// and version, and the interface's own input voltages ("ATA0" to "ATA5").
// It never dials a control unit ("ATD"). Each step keeps what actually
// arrived, so a failure can be shown as it was seen.
#include <QString>
#include <QStringList>
#include <array>

class CommandChannel;

enum class CheckStep { WakeUp, Reset, Chip, Voltages };
enum class CheckOutcome { NotRun, Passed, Failed };

struct CheckStepResult {
    CheckOutcome outcome = CheckOutcome::NotRun;
    // The lines received, CRs included, in order; empty when nothing came.
    QString received;
};

struct InterfaceCheckResult {
    static constexpr int Inputs = 6;
    // Chips before this version measure no voltages.
    static constexpr double FirstVersionWithInputs = 2.0;

    std::array<CheckStepResult, 4> steps; // indexed by CheckStep
    QString chipLine;                     // the reset line naming the chip
    double chipVersion = 0;               // 0 when unreadable
    // Readings, 0 to 1023 steps of the reference voltage; -1 where the input
    // refused, answered no number or was not asked.
    std::array<int, Inputs> inputs{-1, -1, -1, -1, -1, -1};

    const CheckStepResult& step(CheckStep s) const { return steps[size_t(s)]; }
    CheckStepResult& step(CheckStep s) { return steps[size_t(s)]; }
    // No step failed.
    bool passed() const;
};

// Runs the check on an open port. A silent interface ends the check after
// the channel's silence limit; the later steps are then not run. Port
// failures (an adapter pulled out) pass through as ESerialPort.
InterfaceCheckResult CheckInterface(CommandChannel& channel);

// The result as the user reads it, one line per step in the language of
// languageOffset: name, outcome, what was seen. volts holds each input's
// voltage text where the configuration allows one (empty: the reading only).
QStringList InterfaceCheckLines(const InterfaceCheckResult& result, int languageOffset,
                                const std::array<QString, InterfaceCheckResult::Inputs>& volts);
