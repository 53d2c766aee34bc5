#pragma once
// The program's unit-wide state, owned by the main window so a test can make
// a window and start from a clean slate.
#include "config/app_paths.h"
#include "config/config_values.h"
#include "config/ini_file.h"
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "log/measurement_log_file.h"
#include "services/block_buffer.h"
#include "services/fault_codes.h"
#include "services/identification.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>

// The interface timing (InterByteTime, BlockDelayTime, KLineBaud) is
// configuration sent to the chip at each connection.
struct SessionState : InterfaceTiming {
    // Language chosen at start-up.
    int LanguageOffset = 0; // 0 German, 10000 English
    QString LanguageCode;   // "de" or "en"; empty without configuration file

    int FixedBaudMarked = 0;
    double U2 = 0;
    std::array<double, 6> TV{}; // TV0 .. TV5

    // Learnt at each connection.
    double ChipVersion = 0;
    ::ProtocolKind ProtocolKind = ::ProtocolKind::Unknown;
    ::ConnectionState ConnectionState = ::ConnectionState::NotConnected; // panel 0's colour
    AttemptSeen LastAttemptSeen; // what the last failed attempt saw

    bool StopRequested = false;
    bool Closing = false;        // the window is closing; nothing may resume
    bool SessionRunning = false; // a session or a search owns the port

    // Request flags, set by click handlers and carried out by the session loop.
    bool ClearDtcRequested = false;
    bool PrintRequested = false;
    bool ChooseLogFileRequested = false;
    bool CodingRequested = false;
    bool AdaptationSaveRequested = false;
    bool LoginRequested = false;
    bool OutputTestRequested = false;
    // Put the unit's last coding or adaptation change back (change journal).
    bool CodingUndoRequested = false;
    bool AdaptationUndoRequested = false;
    bool OutputTestConfirmed = false;

    // Files opened for reading.
    IniFile ConfigFile;
    IniFile LabelFile;
    IniFile DtcTextFile;
    IniFile DtcStatusFile;
    bool ConfigFileOpen() const { return ConfigFile.isOpen(); }
    bool LabelFileOpen() const { return LabelFile.isOpen(); }
    bool DtcTextFileOpen() const { return DtcTextFile.isOpen(); }
    bool DtcStatusFileOpen() const { return DtcStatusFile.isOpen(); }
    QStringList CarList;

    // Where the configuration, the data and the user's files are.
    AppPaths Paths;

    BlockBuffer Buffer;       // replies of block requests, entries 1 .. 100
    TecuID Identification;    // of the connected unit
    FaultCodeList FaultCodes; // of the last fault read

    // Numbers of the measuring pages, taken from their number fields.
    std::array<int, 4> GroupNumber{1, 1, 1, 1}; // group of each Group tab slot
    int BasicSettingGroup = 0;
    int SingleReadingChannel = 0;
    // Kanalanpassung tab: the channel read last; AdaptationSaved asks the
    // next pass to reload the value and help after an accepted save.
    int AdaptationChannel = 1;
    bool AdaptationSaved = false;
    // Per Group pass: ms since LogStartTick when each slot's turn began, -1 for
    // a slot that was not polled; the log row takes its time cells from here.
    std::array<int64_t, 4> SlotElapsed{-1, -1, -1, -1};

    // Measurement log (session/measurement_log.cpp): the file, whether one
    // was chosen, whether rows are being written, and the pending tick of
    // CheckBox7 that the next measuring pass carries out.
    MeasurementLogFile MeasurementLog;
    bool LogFileChosen = false;
    bool LoggingActive = false;
    bool LogToggled = false;
    int64_t LogStartTick = 0; // Clock::nowMs() when the log header was last written

    // Every session starts its pages from these numbers again.
    void ResetPageNumbers() {
        GroupNumber.fill(1);
        BasicSettingGroup = 0;
        SingleReadingChannel = 0;
        AdaptationChannel = 1;
        AdaptationSaved = false;
        SlotElapsed.fill(-1);
    }

    static constexpr int PollInterval = 20;
};
